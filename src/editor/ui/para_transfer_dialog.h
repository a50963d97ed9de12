#pragma once
// The window of an upload, download or compare: path field with a browse button, the run's
// status and progress, Start and Close. All behaviour is the transfer core's; this window shows
// its state and hands it the user's clicks.
//
// The parameter editor opens it with one call:
//     OpenTransferDialog(this, services, stationKey, TransferMode::kCompare,
//                        [this] { list_->RefreshValues(); });
// and, while it is open, passes on the drives that go away (its drive events keep arriving
// while it is open):
//     ForwardDriveDisconnected(this, event.station);
#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

#include "editor/transfer_run.h"
#include "host/ui/qt_prompter.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace korvane {

class CompareResultDialog;
class SettingsStore;
struct ToolServices;

// Caption of the list of writes a drive refused during a download.
inline constexpr const char* kRefusedWritesTitle = "書き込みを拒否されたパラメータ";

class ParaTransferDialog : public QDialog {
    Q_OBJECT
public:
    // `onValuesChanged` runs when a run has changed the values of the drive's items.
    ParaTransferDialog(ToolServices& services, int stationKey, TransferMode mode,
                       QWidget* parent = nullptr, std::function<void()> onValuesChanged = {});
    ~ParaTransferDialog() override;

    TransferRun& core() { return *core_; }
    QLineEdit* pathField() const { return path_; }
    QToolButton* browseButton() const { return browse_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* closeButton() const { return close_; }
    QLabel* statusText() const { return status_; }
    QProgressBar* progressBar() const { return progress_; }
    // The results list of the last run, while it is open.
    CompareResultDialog* resultDialog() const { return results_; }

    void driveDisconnected(int station);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // What the core tells its window.
    void listen();
    void stateChanged();
    void focusPath();
    void showCompareResults(const std::vector<CompareRow>& rows);
    void showRefusedWrites(const std::vector<CompareRow>& rows);
    void showUnreadEntries(const std::vector<CompareRow>& rows);
    void partialResultHeld();
    void valuesChanged();
    void closeDialog();

    void arrange();
    void browse();
    void start();
    void showResults(const std::vector<CompareRow>& rows, const std::string& title);

    SettingsStore& settings_;
    TransferMode mode_;
    WindowPrompter prompter_;
    std::function<void()> onValuesChanged_;
    std::unique_ptr<TransferRun> core_;
    std::vector<Connection> coreConnections_;  // after the core: go first
    QLabel* description_;
    QLineEdit* path_;
    QToolButton* browse_;
    QLabel* status_;
    QProgressBar* progress_;
    QPushButton* start_;
    QPushButton* close_;
    QPointer<CompareResultDialog> results_;
    bool ending_ = false;
};

// Opens the transfer dialog window-modal over `parent` for the drive of `stationKey`; it
// deletes itself once closed, after telling `onClosed` how its last run ended (not when it goes
// with its parent).
ParaTransferDialog* OpenTransferDialog(QWidget* parent, ToolServices& services, int stationKey,
                                       TransferMode mode,
                                       std::function<void()> onValuesChanged = {},
                                       std::function<void(TransferEnd)> onClosed = {});

// Tells a transfer dialog open over `parent` that the drive of `station` is gone.
void ForwardDriveDisconnected(QWidget* parent, int station);

}  // namespace korvane
