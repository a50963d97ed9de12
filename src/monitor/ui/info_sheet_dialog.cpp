#include "monitor/ui/info_sheet_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "host/tool_services.h"
#include "host/ui/qt_text.h"
#include "host/ui/stale_look.h"
#include "host/ui/window_placement.h"
#include "monitor/device_name.h"
#include "monitor/info_sheet.h"

namespace korvane {
namespace {

// A check box that shows a state and takes no input.
QCheckBox* displayBox(QWidget* parent) {
    auto* box = new QCheckBox(parent);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

// A value that is not live is shown in grey, in the palette so that disabling still works.
void showLive(QWidget& widget, bool live) {
    QPalette p = widget.palette();
    const QColor colour =
        live ? QApplication::palette(&widget).color(QPalette::WindowText) : StaleTextColour();
    if (p.color(QPalette::Active, QPalette::WindowText) == colour) return;
    p.setColor(QPalette::Active, QPalette::WindowText, colour);
    p.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    widget.setPalette(p);
}

QLabel* valueField(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(140);
    return label;
}

}  // namespace

InfoSheetDialog::InfoSheetDialog(ToolServices& services, int station, QWidget* parent)
    : QDialog(parent) {
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    tabs_ = new QTabWidget(this);
    runPage_ = buildRunPage();
    terminalPage_ = buildTerminalPage();
    faultPage_ = buildFaultPage();
    tabs_->addTab(runPage_, qtTr("実行ステータス情報"));
    tabs_->addTab(terminalPage_, qtTr("端末情報"));
    tabs_->addTab(faultPage_, qtTr("障害情報"));

    auto* close = new QPushButton(qtTr("閉じます"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    // One size for every page, the largest one's: the sheet must not change size as the user
    // goes from tab to tab.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(tabs_);
    layout->addLayout(bottom);

    sheet_ = std::make_unique<InfoSheet>(services, station);
    nameEdit_->setText(qtText(sheet_->runPage().nameField()));
    sheetChanged_ = sheet_->changed.connect([this] { refresh(); });
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        sheet_->showPage(index);
        refresh();
    });
    sizeForAllPages();
}

InfoSheetDialog::~InfoSheetDialog() = default;

QWidget* InfoSheetDialog::buildRunPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    commandLabel_ = new QLabel(page);
    outputLabel_ = new QLabel(page);
    QLabel* labels[] = {commandLabel_,
                        new QLabel(qtTr("加速時間:"), page),
                        new QLabel(qtTr("減速時間:"), page),
                        outputLabel_,
                        new QLabel(qtTr("出力電流:"), page),
                        new QLabel(qtTr("出力電力:"), page),
                        new QLabel(qtTr("ステータス:"), page),
                        new QLabel(qtTr("DC-リンク電圧:"), page)};
    for (int i = 0; i < RunStatusPage::kValueCount; ++i) {
        values_.push_back(valueField(page));
        grid->addWidget(labels[i], i, 0);
        grid->addWidget(values_.back(), i, 1);
    }
    nameEdit_ = new QLineEdit(page);
    nameEdit_->setMaxLength(static_cast<int>(kDeviceNameMaxChars));
    applyButton_ = new QPushButton(qtTr("適用"), page);
    applyButton_->setAutoDefault(false);
    connect(applyButton_, &QPushButton::clicked, this, &InfoSheetDialog::applyName);
    grid->addWidget(new QLabel(qtTr("デバイス名:"), page), RunStatusPage::kValueCount, 0);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameEdit_);
    nameRow->addWidget(applyButton_);
    grid->addLayout(nameRow, RunStatusPage::kValueCount, 1);
    // The sheet is as tall as its trip page: the fields keep their height, the rest stays empty.
    grid->setRowStretch(RunStatusPage::kValueCount + 1, 1);
    return page;
}

QWidget* InfoSheetDialog::buildTerminalPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(qtTr("入力"), page), 0, 0);
    grid->addWidget(new QLabel(qtTr("出力"), page), 0, 1);
    for (std::size_t i = 0; i < kInfoInputBoxes; ++i) {
        inputs_.push_back(displayBox(page));
        grid->addWidget(inputs_.back(), static_cast<int>(i) + 1, 0);
    }
    for (std::size_t i = 0; i < kInfoOutputBoxes; ++i) {
        outputs_.push_back(displayBox(page));
        grid->addWidget(outputs_.back(), static_cast<int>(i) + 1, 1);
    }
    grid->setRowStretch(static_cast<int>(kInfoInputBoxes) + 1, 1);
    return page;
}

QWidget* InfoSheetDialog::buildFaultPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    const std::size_t perColumn = (kInfoTripBoxes + 1) / 2;
    for (std::size_t i = 0; i < kInfoTripBoxes; ++i) {
        trips_.push_back(displayBox(page));
        grid->addWidget(trips_.back(), static_cast<int>(i % perColumn),
                        static_cast<int>(i / perColumn));
    }
    grid->setRowStretch(static_cast<int>(perColumn), 1);
    return page;
}

void InfoSheetDialog::retarget(int station) {
    sheet_->retarget(station);
    nameEdit_->setText(qtText(sheet_->runPage().nameField()));
    sizeForAllPages();
    BringToTop(*this);
}

void InfoSheetDialog::activate() {
    BringToTop(*this);
}

std::vector<std::uint8_t> InfoSheetDialog::savePlacement() const {
    return PlacementBytes(*this);
}

void InfoSheetDialog::restorePlacement(const std::vector<std::uint8_t>& placement) {
    RestorePlacementBytes(*this, placement);
}

void InfoSheetDialog::onDriveEvent(const DriveEvent& event) {
    DispatchDriveEvent(*this, event);
}

void InfoSheetDialog::applyName() {
    sheet_->applyDeviceName(nameEdit_->text().toStdString());
    nameEdit_->setText(qtText(ReadDeviceName(sheet_->services().settings, sheet_->station())));
}

void InfoSheetDialog::refreshBoxes(const std::vector<InfoBox>& model,
                                   const std::vector<QCheckBox*>& boxes, bool enabled,
                                   const InfoPage* page) {
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        QCheckBox* box = boxes[i];
        if (i >= model.size()) {
            box->hide();
            continue;
        }
        box->setText(qtText(model[i].caption));
        box->setChecked(model[i].on);
        box->setEnabled(enabled);
        if (page) showLive(*box, page->live(model[i].address));
        box->show();
    }
}

// Pages are filled only when first shown; the window is sized for all of them at once, with
// the boxes they will have for this drive, so that it keeps one size from tab to tab.
void InfoSheetDialog::sizeForAllPages() {
    const DriveRecord& drive = sheet_->drive();
    refreshBoxes(InfoPageBoxes(drive, kMonitorListInputs), inputs_, false);
    refreshBoxes(InfoPageBoxes(drive, kMonitorListOutputs), outputs_, false);
    refreshBoxes(InfoPageBoxes(drive, kMonitorListTrips), trips_, false);
    tabs_->setMinimumSize(0, 0);
    pagesSize_ = tabs_->sizeHint();
    setWindowTitle(QString());  // makes refresh() fit the title again
    refresh();
}

// A fixed-size window cuts a title wider than itself: it is made wide enough for the longest
// title its drive can have, the graph-watch prefix included, so that the title never changes
// the window's size as graph watch comes and goes.
void InfoSheetDialog::fitTitle() {
    const std::string name = ReadDeviceName(sheet_->services().settings, sheet_->station());
    const QString longest = qtText(InfoSheetTitle(sheet_->drive(), name, true));
    QFont titleFont = font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    // The window icon and its three buttons share the title bar with the text.
    const int bar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const int text =
        std::max(metrics.horizontalAdvance(longest), metrics.horizontalAdvance(windowTitle()));
    const QMargins margins = layout()->contentsMargins();
    const int titleWidth = text + 4 * bar - margins.left() - margins.right();
    tabs_->setMinimumSize(std::max(titleWidth, pagesSize_.width()), pagesSize_.height());
}

void InfoSheetDialog::refresh() {
    const QString title = qtText(sheet_->title());
    if (title != windowTitle()) {
        setWindowTitle(title);
        fitTitle();
    }
    RunStatusPage& run = sheet_->runPage();
    commandLabel_->setText(qtText(run.commandLabel()));
    outputLabel_->setText(qtText(run.outputLabel()));
    for (int i = 0; i < RunStatusPage::kValueCount; ++i) {
        QLabel* value = values_[static_cast<std::size_t>(i)];
        value->setText(qtText(run.text(i)));
        showLive(*value, run.textLive(i));
    }
    runPage_->setEnabled(run.controlsEnabled());
    TerminalPage& io = sheet_->terminalPage();
    refreshBoxes(io.inputs(), inputs_, io.controlsEnabled(), &io);
    refreshBoxes(io.outputs(), outputs_, io.controlsEnabled(), &io);
    auto& faults = sheet_->faultPage();
    refreshBoxes(faults.trips(), trips_, faults.controlsEnabled(), &faults);
}

// Enter and Escape on the run-status page belong to the name field, not to the dialog.
void InfoSheetDialog::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool closing = key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
    if (closing && tabs_->currentWidget() == runPage_) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace korvane
