#include "monitor/ui/keypad_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "host/tool_services.h"
#include "host/ui/qt_text.h"
#include "host/ui/stale_look.h"
#include "host/ui/window_placement.h"

namespace korvane {
namespace {

constexpr int kDigits = 7;

QString numberText(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

}  // namespace

LampWidget::LampWidget(QColor colour, QWidget* parent) : QWidget(parent), colour_(colour) {
    setFixedSize(sizeHint());
}

void LampWidget::setLit(bool lit) {
    if (lit == lit_) return;
    lit_ = lit;
    update();
}

void LampWidget::setDimmed(bool dimmed) {
    if (dimmed == dimmed_) return;
    dimmed_ = dimmed;
    update();
}

void LampWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(dimmed_ ? StaleTextColour() : QColor(Qt::darkGray), 2));
    QColor fill = lit_ ? colour_ : colour_.darker(400);
    if (dimmed_) {
        // Half way to the grey of a stale value: the state still reads, but not as live.
        const QColor grey = StaleTextColour();
        fill = QColor((fill.red() + grey.red()) / 2, (fill.green() + grey.green()) / 2,
                      (fill.blue() + grey.blue()) / 2);
    }
    p.setBrush(fill);
    p.drawEllipse(rect().adjusted(2, 2, -2, -2));
}

// ---------------------------------------------------------------------------------------------

KeypadEditorDialog::KeypadEditorDialog(KeypadEditor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
    setWindowTitle(qtText(editor.caption()));
    box_ = new QLineEdit(this);
    auto* validator = new QDoubleValidator(this);
    validator->setDecimals(editor.decimals());
    validator->setNotation(QDoubleValidator::StandardNotation);
    box_->setValidator(validator);
    box_->setMaxLength(editor.integerDigits() + editor.decimals() + 2);  // sign and point
    status_ = new QLabel(" ", this);
    read_ = new QPushButton(qtTr("読み込み"), this);
    write_ = new QPushButton(qtTr("書き込み"), this);
    read_->setAutoDefault(false);
    connect(read_, &QPushButton::clicked, this, [this] { editor_.read(); });
    connect(write_, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const double v = box_->text().toDouble(&ok);
        if (ok) editor_.write(v);
    });
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(qtText(editor.item().name), this), 0, 0, 1, 2);
    grid->addWidget(box_, 1, 0, 1, 2);
    grid->addWidget(
        new QLabel(qtTr("最小: ") + numberText(editor.minimum(), editor.decimals()), this), 2, 0);
    grid->addWidget(
        new QLabel(qtTr("最大: ") + numberText(editor.maximum(), editor.decimals()), this), 2, 1);
    grid->addWidget(read_, 3, 0);
    grid->addWidget(write_, 3, 1);
    grid->addWidget(status_, 4, 0, 1, 2);
    editorChanged_ = editor_.changed.connect([this] { refresh(); });
    refresh();
}

void KeypadEditorDialog::refresh() {
    status_->setText(qtText(editor_.status()));
    read_->setEnabled(editor_.buttonsEnabled());
    write_->setEnabled(editor_.buttonsEnabled());
    box_->setEnabled(editor_.boxEnabled());
    if (auto v = editor_.boxValue())
        box_->setText(numberText(*v, editor_.decimals()));
    else if (!editor_.boxEnabled())
        box_->clear();
}

// ---------------------------------------------------------------------------------------------

KeypadWindow::KeypadWindow(ToolServices& services, int station, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    model_ = std::make_unique<KeypadModel>(services, station);
    stationLabel_ = new QLabel(this);
    nameLabel_ = new QLabel(this);
    auto* layout = new QVBoxLayout(this);
    auto* header = new QHBoxLayout;
    header->addWidget(stationLabel_);
    header->addWidget(nameLabel_);
    header->addStretch();
    layout->addLayout(header);

    for (int i = 0; i < kKeypadSlots; ++i) {
        auto* row = new QHBoxLayout;
        auto* lcd = new QLCDNumber(kDigits, this);
        lcd->setSegmentStyle(QLCDNumber::Filled);
        lcd->setMinimumSize(180, 48);
        lcd->setCursor(Qt::PointingHandCursor);
        lcd->installEventFilter(this);
        displays_[static_cast<std::size_t>(i)] = lcd;
        units_[static_cast<std::size_t>(i)] = new QLabel(this);
        units_[static_cast<std::size_t>(i)]->setMinimumWidth(40);
        selectors_[static_cast<std::size_t>(i)] = new QComboBox(this);
        connect(selectors_[static_cast<std::size_t>(i)], &QComboBox::currentIndexChanged, this,
                [this] { chooseItems(); });
        row->addWidget(lcd);
        row->addWidget(units_[static_cast<std::size_t>(i)]);
        layout->addLayout(row);
        layout->addWidget(selectors_[static_cast<std::size_t>(i)]);
    }

    auto* lamps = new QHBoxLayout;
    forwardLamp_ = new LampWidget(QColor(0, 220, 0), this);
    reverseLamp_ = new LampWidget(QColor(0, 220, 0), this);
    faultLamp_ = new LampWidget(QColor(230, 0, 0), this);
    lamps->addWidget(forwardLamp_);
    lamps->addWidget(new QLabel("FWD", this));
    lamps->addWidget(reverseLamp_);
    lamps->addWidget(new QLabel("REV", this));
    lamps->addWidget(faultLamp_);
    lamps->addWidget(new QLabel("FAULT", this));
    layout->addLayout(lamps);

    auto* keys = new QHBoxLayout;
    forward_ = new QPushButton("FWD", this);
    stop_ = new QPushButton("STOP/RESET", this);
    reverse_ = new QPushButton("REV", this);
    connect(forward_, &QPushButton::clicked, this, [this] { model_->pressForward(); });
    connect(reverse_, &QPushButton::clicked, this, [this] { model_->pressReverse(); });
    connect(stop_, &QPushButton::clicked, this, [this] { model_->pressStop(); });
    keys->addWidget(forward_);
    keys->addWidget(stop_);
    keys->addWidget(reverse_);
    layout->addLayout(keys);

    timer_ = new QTimer(this);
    timer_->setInterval(kKeypadTickMs);
    connect(timer_, &QTimer::timeout, this, [this] { model_->onTick(); });

    fillSelectors();
    modelConnections_.push_back(model_->changed.connect([this] { refresh(); }));
    modelConnections_.push_back(
        model_->closeRequested.connect([this] { QTimer::singleShot(0, this, &QWidget::close); }));
    refresh();
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

KeypadWindow::~KeypadWindow() {
    closeEditorDialog();
}

void KeypadWindow::fillSelectors() {
    filling_ = true;
    for (int i = 0; i < kKeypadSlots; ++i) {
        QComboBox* combo = selectors_[static_cast<std::size_t>(i)];
        combo->clear();
        for (const MonitorItem& item : model_->items())
            combo->addItem(qtText(item.name), static_cast<int>(item.address));
        combo->setCurrentIndex(model_->slot(i).position);
    }
    filling_ = false;
}

void KeypadWindow::chooseItems() {
    if (filling_) return;
    model_->chooseItems(selectors_[0]->currentIndex(), selectors_[1]->currentIndex());
}

void KeypadWindow::refresh() {
    setWindowTitle(qtText(model_->frameCaption()));
    stationLabel_->setText(qtText(model_->stationLabel()));
    nameLabel_->setText(qtText(model_->nameLabel()));
    for (int i = 0; i < kKeypadSlots; ++i) {
        showDisplay(i);
        selectors_[static_cast<std::size_t>(i)]->setEnabled(model_->selectorsEnabled());
    }
    const KeypadLamps& lamps = model_->lamps();
    const bool dim = !model_->lampsLive();
    for (LampWidget* lamp : {forwardLamp_, reverseLamp_, faultLamp_}) lamp->setDimmed(dim);
    forwardLamp_->setLit(lamps.forward);
    reverseLamp_->setLit(lamps.reverse);
    faultLamp_->setLit(lamps.fault);
    const bool keys = model_->keysEnabled();
    forward_->setEnabled(keys);
    reverse_->setEnabled(keys);
    stop_->setEnabled(keys);
    if (model_->timerRunning() && !timer_->isActive()) timer_->start();
    if (!model_->timerRunning() && timer_->isActive()) timer_->stop();
    if (editorDialog_ && model_->editor() == nullptr) closeEditorDialog();
}

void KeypadWindow::showDisplay(int slot) {
    const auto i = static_cast<std::size_t>(slot);
    const KeypadDisplay d = model_->display(slot);
    units_[i]->setText(qtText(d.unit));
    displays_[i]->display(numberText(d.sign ? d.value : std::fabs(d.value), d.decimals));
    // Segments are drawn in the palette's window text colour (and its light and dark shades).
    const QColor colour =
        model_->displayLive(slot) ? palette().color(QPalette::WindowText) : StaleTextColour();
    if (displays_[i]->palette().color(QPalette::WindowText) == colour) return;
    QPalette p = displays_[i]->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Light, colour.lighter(120));
    p.setColor(QPalette::Dark, colour.darker(120));
    displays_[i]->setPalette(p);
}

void KeypadWindow::openEditor(int slot) {
    closeEditorDialog();
    KeypadEditor* editor = model_->openEditor(slot);
    if (!editor) return;
    editorDialog_ = new KeypadEditorDialog(*editor, this);
    editorDialog_->move(displays_[static_cast<std::size_t>(slot)]->mapToGlobal(QPoint(0, 0)));
    connect(editorDialog_, &QDialog::finished, this, [this] {
        // Finished also comes while the window itself takes the dialog down.
        if (!editorDialog_) return;
        editorDialog_->deleteLater();
        editorDialog_ = nullptr;
        model_->closeEditor();
    });
    editorDialog_->show();
}

void KeypadWindow::closeEditorDialog() {
    if (!editorDialog_) return;
    KeypadEditorDialog* dialog = editorDialog_;
    editorDialog_ = nullptr;
    dialog->hide();
    dialog->deleteLater();
    model_->closeEditor();
}

void KeypadWindow::onDriveDisconnected(int station) {
    model_->onDriveDisconnected(station);
}

void KeypadWindow::onGraphWatchChanged(bool active) {
    model_->onGraphWatchChanged(active);
}

bool KeypadWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < kKeypadSlots; ++i)
            if (watched == displays_[static_cast<std::size_t>(i)]) openEditor(i);
    }
    return QWidget::eventFilter(watched, event);
}

void KeypadWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) model_->activate();
    QWidget::changeEvent(event);
}

void KeypadWindow::closeEvent(QCloseEvent* event) {
    closeEditorDialog();
    timer_->stop();
    model_->close();
    event->accept();
    if (closedSent_) return;
    closedSent_ = true;
    emit closed();
}

void KeypadWindow::activate() {
    BringToTop(*this);
}

std::vector<std::uint8_t> KeypadWindow::savePlacement() const {
    return PlacementBytes(*this);
}

void KeypadWindow::restorePlacement(const std::vector<std::uint8_t>& placement) {
    RestorePlacementBytes(*this, placement);
}

void KeypadWindow::onDriveEvent(const DriveEvent& event) {
    DispatchDriveEvent(*this, event);
}

}  // namespace korvane
