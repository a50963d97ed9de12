#pragma once
// The graph monitor's window: the strip chart, the three setting panels, the view's lists,
// clocks, LEDs and status panes. Everything it shows comes from the ScopeMonitor; everything
// the user does goes to it.
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <map>
#include <memory>

#include "host/tool_frames.h"
#include "host/tool_services.h"
#include "host/ui/qt_prompter.h"
#include "scope/scope_monitor.h"
#include "scope/ui/qcp_scope_chart.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QCustomPlot;

namespace korvane::scope {

class ScopeLed;

class ScopeWindow : public QMainWindow, public ToolFrame, public ScopeTimers {
    Q_OBJECT
public:
    ScopeWindow(const ToolServices& services, QWidget* parent = nullptr);
    ~ScopeWindow() override;

    ScopeMonitor& monitor() { return *monitor_; }
    QcpScopeChart& chart() { return *chart_; }
    QAction* action(ScopeCommand command) const { return commandActions_.at(command); }

    // Prints the chart with its title line to a PDF file (no printer needed).
    bool printToPdf(const QString& path);
    // The status pane 61280 as shown.
    QString statusPaneText() const;
    // The graph watch pane 61359 as shown.
    QString graphWatchPaneText() const;
    QcpScopeChart& chart() const { return *chart_; }
    QComboBox* stationList(int channel) const {
        return rows_.at(static_cast<std::size_t>(channel)).station;
    }
    QLabel* valueLabel(int channel) const {
        return rows_.at(static_cast<std::size_t>(channel)).value;
    }
    QCheckBox* recordTimeBox() const { return recordTimeBox_; }

    // ToolFrame.
    void activate() override;
    void requestClose() override;
    std::vector<std::uint8_t> savePlacement() const override;
    void restorePlacement(const std::vector<std::uint8_t>& placement) override;
    void onDriveEvent(const DriveEvent& event) override;
    // Closing the program would stop the recording.
    std::string unsavedWork() const override;

    // ScopeTimers.
    void start(ScopeClock clock, int periodMs) override;
    void stop(ScopeClock clock) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setSmallestTrackingSize();
    void buildActions();
    QWidget* buildChannelPanel();
    QWidget* buildDisplayPanel();
    QWidget* buildTriggerPanel();
    QWidget* buildViewBar();
    void stateChanged();
    void refresh();
    void refreshEnabling();
    void chooseColour(int which);
    void chooseSnapshotPath();
    void chooseRecordPath();
    void exportImage(ImageFormat format);
    void openFile();
    bool openPath(const QString& path);
    void rebuildRecentMenu();
    void remember(const QString& path);
    void saveFile(bool askPath);
    void print();
    void copyToClipboard();
    // `then` runs when `chosen` may be written: it is the current file, it does not exist, or
    // the user agreed to replace it.
    void confirmOverwrite(const QString& chosen, const QString& current,
                          std::function<void()> then);

    WindowPrompter prompter_;
    ToolServices services_;
    QCustomPlot* plot_;
    QcpScopeChart* chart_;
    std::unique_ptr<ScopeMonitor> monitor_;
    Connection monitorChanged_;
    std::map<ScopeClock, QTimer*> timers_;
    std::map<ScopeCommand, QAction*> commandActions_;
    std::array<QAction*, 4> modeActions_{};
    std::array<QAction*, 4> cursorActions_{};
    QAction* gridAction_ = nullptr;
    QAction* legendAction_ = nullptr;
    QAction* autoScaleAction_ = nullptr;
    QAction* graphWatchAction_ = nullptr;
    std::vector<QAction*> fileActions_;
    RecentFileList recent_{"Scope"};
    QMenu* recentMenu_ = nullptr;
    struct ChannelRow {
        QCheckBox* on;
        QComboBox* station;
        QComboBox* item;
        QLabel* value;
        QComboBox* offset;
        QComboBox* div;
        QPushButton* colour;
        QComboBox* width;
    };
    std::array<ChannelRow, kChannelCount> rows_{};
    // The lists' revision each row shows; none shown yet.
    std::array<unsigned, kChannelCount> shownLists_{~0u, ~0u, ~0u, ~0u};
    void fillChannelLists(const ChannelRow& r, const ScopeChannel& c);
    std::array<QPushButton*, 4> colourButtons_{};  // background, text, grid, cursor
    QCheckBox* gridBox_ = nullptr;
    QCheckBox* legendBox_ = nullptr;
    QCheckBox* autoScaleBox_ = nullptr;
    QLineEdit* yMinBox_ = nullptr;
    QLineEdit* yMaxBox_ = nullptr;
    QComboBox* cursorChannel_ = nullptr;
    QComboBox* triggerChannel_ = nullptr;
    QComboBox* triggerEdge_ = nullptr;
    QLineEdit* triggerLevel_ = nullptr;
    QCheckBox* snapshotBox_ = nullptr;
    QLineEdit* snapshotPath_ = nullptr;
    QPushButton* snapshotButton_ = nullptr;
    QLineEdit* recordPath_ = nullptr;
    QPushButton* recordButton_ = nullptr;
    QCheckBox* recordTimeBox_ = nullptr;
    QComboBox* timeSpan_ = nullptr;
    QComboBox* scanTime_ = nullptr;
    QComboBox* recordTime_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QLabel* recordCount_ = nullptr;
    ScopeLed* recordLed_ = nullptr;
    ScopeLed* triggerLed_ = nullptr;
    QLabel* statusPane_ = nullptr;
    QLabel* graphWatchPane_ = nullptr;
    bool closed_ = false;
};

// The graph monitor as the tool-window list opens it: shown, and deleted once closed.
ToolFrame* MakeScopeWindow(ToolServices& services, int stationKey);

}  // namespace korvane::scope
