#include "editor/ui/para_transfer_dialog.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "common/settings_store.h"
#include "editor/para_texts.h"
#include "editor/ui/compare_result_dialog.h"
#include "host/settings.h"
#include "host/tool_services.h"
#include "host/ui/file_dialogs.h"
#include "host/ui/qt_text.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {

// "text|pattern|text|pattern||" into one Qt name filter per file type, in the same order, so
// that the file-type choice is the index of a filter.
const char* directoryKey(int choice) {
    return choice == 2 ? kCustomFileDirKey : kParaFileDirKey;
}

// Wide enough for the longest description and status texts on two lines each.
constexpr int kMinimumWidth = 480;
// Rounding of the text layout, so that a line measured to fit is not wrapped after all.
constexpr int kSlack = 8;

}  // namespace

ParaTransferDialog::ParaTransferDialog(ToolServices& services, int stationKey, TransferMode mode,
                                       QWidget* parent, std::function<void()> onValuesChanged)
    : QDialog(parent),
      settings_(services.settings),
      mode_(mode),
      prompter_(services.prompter, this),
      onValuesChanged_(std::move(onValuesChanged)),
      core_(std::make_unique<TransferRun>(
          TransferContext{services.link, services.records[stationKey], prompter_, services.executor,
                          TransferFileChoice::Process()},
          mode)),
      description_(new QLabel(this)),
      path_(new QLineEdit(this)),
      browse_(new QToolButton(this)),
      status_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      start_(new QPushButton(qtTr(kStartLabel), this)),
      close_(new QPushButton(qtTr(kCloseLabel), this)) {
    description_->setText(qtText(core_->Description()));
    description_->setWordWrap(true);
    browse_->setText(QStringLiteral("..."));
    status_->setWordWrap(true);
    // Room for a two-line text, so that the window does not jump as the texts change.
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 2);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    progress_->setTextVisible(false);
    // The bar comes and goes with a run; the texts above it must not be squeezed when it comes.
    QSizePolicy keep = progress_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    progress_->setSizePolicy(keep);
    start_->setDefault(true);

    arrange();

    connect(path_, &QLineEdit::textEdited, this,
            [this](const QString& text) { core_->SetPathText(text.toStdString()); });
    connect(browse_, &QToolButton::clicked, this, &ParaTransferDialog::browse);
    connect(start_, &QPushButton::clicked, this, &ParaTransferDialog::start);
    connect(close_, &QPushButton::clicked, this, &ParaTransferDialog::reject);
    listen();
    stateChanged();
}

void ParaTransferDialog::listen() {
    TransferEvents& events = core_->events;
    auto rows = [this](void (ParaTransferDialog::*show)(const std::vector<CompareRow>&)) {
        return [this, show](const std::vector<CompareRow>& r) { (this->*show)(r); };
    };
    coreConnections_.push_back(events.stateChanged.connect([this] { stateChanged(); }));
    coreConnections_.push_back(events.focusPath.connect([this] { focusPath(); }));
    coreConnections_.push_back(
        events.compareResults.connect(rows(&ParaTransferDialog::showCompareResults)));
    coreConnections_.push_back(
        events.refusedWrites.connect(rows(&ParaTransferDialog::showRefusedWrites)));
    coreConnections_.push_back(
        events.unreadEntries.connect(rows(&ParaTransferDialog::showUnreadEntries)));
    coreConnections_.push_back(events.partialResultHeld.connect([this] { partialResultHeld(); }));
    coreConnections_.push_back(events.valuesChanged.connect([this] { valuesChanged(); }));
    coreConnections_.push_back(events.closeDialog.connect([this] { closeDialog(); }));
}

void ParaTransferDialog::arrange() {
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(description_);
    layout->addLayout(pathRow);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addStretch(1);
    layout->addLayout(buttons);
    // Each line of the description on one line of the window.
    int widest = kMinimumWidth;
    for (const QString& line : description_->text().split('\n'))
        widest = std::max(widest, description_->fontMetrics().horizontalAdvance(line) +
                                      layout->contentsMargins().left() +
                                      layout->contentsMargins().right() + kSlack);
    setMinimumWidth(widest);
}

ParaTransferDialog::~ParaTransferDialog() {
    // The core may still tell its window something on its way out.
    coreConnections_.clear();
}

void ParaTransferDialog::stateChanged() {
    const TransferRun& c = *core_;
    setWindowTitle(qtText(c.Title()));
    const QString path = qtText(c.PathText());
    if (path_->text() != path) path_->setText(path);
    path_->setEnabled(c.PathEnabled());
    browse_->setEnabled(c.PathEnabled());
    start_->setEnabled(c.StartEnabled());
    close_->setText(qtText(c.CloseButtonLabel()));
    status_->setText(qtText(c.StatusText()));
    progress_->setVisible(c.ProgressVisible());
    progress_->setRange(0, std::max(c.ProgressRange(), 1));
    progress_->setValue(std::min(c.ProgressPosition(), progress_->maximum()));
}

void ParaTransferDialog::focusPath() {
    path_->setFocus();
    path_->selectAll();
}

void ParaTransferDialog::showCompareResults(const std::vector<CompareRow>& rows) {
    showResults(rows, Tr(CompareResult::kTitle));
}

void ParaTransferDialog::showRefusedWrites(const std::vector<CompareRow>& rows) {
    showResults(rows, Tr(kRefusedWritesTitle));
}

void ParaTransferDialog::showUnreadEntries(const std::vector<CompareRow>& rows) {
    showResults(rows, Tr(kUnreadEntriesTitle));
}

void ParaTransferDialog::partialResultHeld() {
    core_->AskPartialReplace();
}

// Window-modal without a nested event loop: the core has finished its run when it hands over
// the rows, and the user may read them while the dialog waits for the next Start.
void ParaTransferDialog::showResults(const std::vector<CompareRow>& rows,
                                     const std::string& title) {
    if (results_) results_->close();
    results_ = new CompareResultDialog(rows, this, title);
    results_->setAttribute(Qt::WA_DeleteOnClose);
    results_->open();
}

void ParaTransferDialog::valuesChanged() {
    if (onValuesChanged_) onValuesChanged_();
}

void ParaTransferDialog::closeDialog() {
    ending_ = true;
    CloseOpenDialogs(this);
    if (results_) results_->close();
    QDialog::reject();
}

void ParaTransferDialog::driveDisconnected(int station) {
    core_->OnDriveDisconnected(station);
}

void ParaTransferDialog::reject() {
    // While a run is going on the core asks whether to stop, and the dialog stays.
    if (ending_ || core_->Close()) QDialog::reject();
}

void ParaTransferDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

void ParaTransferDialog::start() {
    core_->SetPathText(path_->text().toStdString());
    core_->Start();
}

void ParaTransferDialog::browse() {
    const int choice = core_->FilterIndex();
    QString directory = QFileInfo(path_->text().trimmed()).absolutePath();
    if (path_->text().trimmed().isEmpty() || !QFileInfo(directory).isDir())
        directory = qtText(settings_.getString(kSettingsSectionMain, directoryKey(choice), ""));

    const bool upload = mode_ == TransferMode::kUpload;
    // Overwriting is the transfer's own question, asked at Start once the name has the suffix
    // of the type picked here.
    const FileDialogRequest request{.filter = kTransferFileFilter,
                                    .startDir = directory.toStdString(),
                                    .save = upload,
                                    .selectedFilter = choice};
    OpenFileDialog(this, request, [this, choice](const QString& chosen, int picked) {
        if (chosen.isEmpty()) return;
        // The type picked in the file dialog is the one a name without extension
        // gets.
        if (picked > 0) TransferFileChoice::Process().set(picked);
        int kind = picked > 0 ? picked : choice;
        if (chosen.endsWith(QStringLiteral(".usr"), Qt::CaseInsensitive)) kind = 2;
        if (chosen.endsWith(QStringLiteral(".par"), Qt::CaseInsensitive)) kind = 1;
        settings_.setString(kSettingsSectionMain, directoryKey(kind),
                            QFileInfo(chosen).absolutePath().toStdString());
        path_->setText(chosen);
        core_->SetPathText(chosen.toStdString());
    });
}

ParaTransferDialog* OpenTransferDialog(QWidget* parent, ToolServices& services, int stationKey,
                                       TransferMode mode, std::function<void()> onValuesChanged,
                                       std::function<void(TransferEnd)> onClosed) {
    // On the heap: a parent closed while the dialog is open takes the dialog with it.
    auto* dialog =
        new ParaTransferDialog(services, stationKey, mode, parent, std::move(onValuesChanged));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (onClosed) {
        QObject::connect(dialog, &QDialog::finished, dialog,
                         [dialog, onClosed](int) { onClosed(dialog->core().LastEnd()); });
    }
    dialog->open();
    return dialog;
}

void ForwardDriveDisconnected(QWidget* parent, int station) {
    if (parent == nullptr) return;
    for (ParaTransferDialog* dialog : parent->findChildren<ParaTransferDialog*>())
        dialog->driveDisconnected(station);
}

}  // namespace korvane
