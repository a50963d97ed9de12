#pragma once
// The graph monitor's behaviour without its window: four channels sampled from any connected
// drives, the trigger, the CSV record, the saved settings and the scope file. The window (or
// korvane-cli) drives the clocks by calling onSample, onRecord, onSecond and onBlink, and
// renders what this class holds.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "comm/monitor_subscription.h"
#include "host/tool_services.h"
#include "paradb/monitor_list.h"
#include "scope/record_file.h"
#include "scope/scope_chart.h"
#include "scope/scope_settings.h"
#include "scope/scope_trigger.h"
#include "scope/value_freshness.h"

namespace korvane::scope {

struct ScoFile;

enum class ScopeClock { kScan, kRecord, kElapsed, kBlink };

// The periodic clocks the window runs for the monitor.
class ScopeTimers {
public:
    virtual ~ScopeTimers() = default;
    virtual void start(ScopeClock clock, int periodMs) = 0;
    virtual void stop(ScopeClock clock) = 0;
};

// Told after the monitor changed what a window shows; all calls are optional.
class ScopeObserver {
public:
    virtual ~ScopeObserver() = default;
    virtual void stateChanged() {}
    // A sample tick appended this point (before the trigger looked at it).
    virtual void sampled(int /*point*/) {}
    virtual void triggerDetected(int /*channel*/, int /*point*/, double /*value*/) {}
};

enum class ScopeCommand {
    kStartMonitor,
    kStopMonitor,
    kStartRecord,
    kStopRecord,
    kArmTrigger,
    kDisarmTrigger,
    kGraphWatch,
    kFileCommands,  // open, save, save as, print, picture export, chart modes
};

struct ScopeChannel {
    int on = 0;
    int station = 0;
    int address = kNoAddress;
    int itemIndex = 0;
    int savedSeries = 255;
    int savedVersion = 0;
    double value = 0.0;
    std::vector<MonitorItem> items;
    // The lists of the channel panel: stations offered, the chosen one's position (-1 none),
    // the chosen item's position (-1 none).
    std::vector<int> stationChoices;
    int stationSelection = -1;
    int itemSelection = -1;
    bool listsEnabled = false;
    std::string valueLabel;
    // The label holds the last live value, shown dimmed, while the value is not live.
    bool valueStale = false;
    ValueFreshness freshness;
    // Newer Juniper drives split their trips over two words; either one non-zero is a trip.
    std::uint16_t tripWord = 0;
    std::uint16_t secondTripWord = 0;
};

class ScopeMonitor : public MonitorListener {
public:
    ScopeMonitor(const ToolServices& services, ScopeChart& chart, ScopeTimers& timers,
                 ScopeObserver* observer = nullptr);
    ~ScopeMonitor() override;
    ScopeMonitor(const ScopeMonitor&) = delete;
    ScopeMonitor& operator=(const ScopeMonitor&) = delete;

    // Loads the settings, builds the chart, fills the lists and resumes a saved run.
    void open();
    // Stops the clocks, withdraws, saves the settings (running flags included) and closes the
    // record file.
    void close();

    // A drive was connected or removed.
    void refreshStations();

    bool enabled(ScopeCommand command) const;
    void startMonitoring();
    void stopMonitoring();
    void startRecording();
    void stopRecording();
    void armTrigger();
    void disarmTrigger();
    void toggleGraphWatch();

    // The clocks.
    void onSample();
    void onRecord();
    void onSecond();
    void onBlink();

    // Channel panel.
    void setChannelOn(int channel, bool on);
    void chooseStation(int channel, int station);
    void chooseItem(int channel, int position);
    void setOffsetIndex(int channel, int index);
    void setDivIndex(int channel, int index);
    // Trigger and record panel.
    void setTriggerChannel(int channel);
    void setTriggerEdge(TriggerEdge edge);
    void setTriggerLevelText(const std::string& text);
    void setSnapshot(bool on);
    void setSnapshotPath(const std::string& path, int filterIndex);
    void setRecordPath(const std::string& path);
    void setRecordTimeColumn(bool on);
    // View lists.
    void setTimeSpan(int index);
    void setScanTime(int index);
    void setRecordTime(int index);
    // Display panel.
    void setChannelColour(int channel, std::uint32_t colour);
    void setChannelWidth(int channel, int index);
    void setColours(std::uint32_t background, std::uint32_t text, std::uint32_t grid,
                    std::uint32_t cursor);
    void setLegend(bool on);
    void setGrid(bool on);
    void setAutoScale(bool on);
    void setCursorChannel(int channel);
    // The Y boxes: each trimmed text read as a number, an empty box keeps its value.
    void applyYRange(const std::string& minText, const std::string& maxText);
    void setChartMode(ChartMode mode);
    // The chart's cursor moved.
    void onCursorMoved();
    // The user moved the chart's cursor to another channel.
    void onCursorChannelChanged(int channel);

    // Scope files; both tell the user the outcome.
    bool openScoFile(const std::string& path);
    bool saveScoFile(const std::string& path);
    ScoFile snapshotFile() const;
    // Applies a parsed file to the view and the chart.
    void applyScoFile(const ScoFile& file);
    const std::string& scoPath() const { return scoPath_; }
    // The window title: the caption, and the scope file's name while the chart shows it.
    std::string titleText() const;

    // MonitorListener.
    void OnDriveMonitor(int station, const DriveReply& reply) override;
    bool ReceivesDuringGraphWatch() const override { return true; }

    // State a window shows.
    const std::array<ScopeChannel, kChannelCount>& channels() const { return channels_; }
    const ScopeSettings& settings() const { return settings_; }
    // The channel is set up to be sampled: on, with a drive and one of its items.
    bool isLive(int channel) const;
    // A set-up channel whose value is a reading the drive just gave.
    bool hasLiveValue(int channel) const;
    bool monitoring() const { return monitoring_; }
    bool recording() const { return recording_; }
    bool triggerArmed() const { return armed_; }
    bool triggered() const { return detector_.triggered(); }
    bool graphWatchOption() const { return settings_.graphWatchMode != 0; }
    bool recordLed() const { return recordLed_; }
    bool triggerLed() const { return triggerLed_; }
    int elapsedSeconds() const { return elapsed_; }
    std::string elapsedText() const;
    int recordLines() const { return recordLines_; }
    int recordFlushes() const { return record_.flushCount(); }
    bool onBoxesEnabled() const;
    // The (station, address) pairs registered with the link now.
    const std::vector<std::pair<int, int>>& registrations() const { return subscription_.pairs(); }
    bool loadedFromFile() const { return loadedFromFile_; }
    // Status pane: the text and whether it is a warning (red) rather than news (blue).
    std::string statusText() const;
    bool statusIsWarning() const;
    // Graph watch pane: shown (in red) while the program-wide graph watch flag is set.
    std::string graphWatchText() const;
    // The first opening ever sizes the frame to fit the view; later ones keep the saved layout.
    bool fitFrameToView() const { return settings_.first != 0; }
    // The shown name of a monitor item: cut before "(" and trimmed on the right.
    static std::string ShownName(const std::string& name);

private:
    static bool ValidChannel(int channel);
    // "%.02f %s": the value and its item's unit.
    static std::string ValueText(double value, const MonitorItem* item);
    ScopeChannel& ch(int channel) { return channels_[static_cast<std::size_t>(channel)]; }
    const ScopeChannel& ch(int channel) const {
        return channels_[static_cast<std::size_t>(channel)];
    }
    const MonitorItem* itemOf(const ScopeChannel& c) const;
    bool anyOn() const;
    bool anyLive() const;
    void registerAll();
    void registerChannel(const ScopeChannel& c);
    void withdrawAll();
    void rebuildItems(ScopeChannel& c, bool takeFirstWhenMissing);
    void resetChannel(ScopeChannel& c);
    void keepFileChannel(ScopeChannel& c);
    void takeWord(ScopeChannel& c, int address, int word);
    void stopIfNoneOn();
    void resume();
    void resetAxes();
    void buildChart();
    ChartStyle style() const;
    void restyle();
    void updateLegends();
    void sampleChannel(int channel, int point);
    void runTriggerOn(int point);
    void finishTrigger();
    void saveSnapshot();
    void showCursorReadings();
    bool openRecord(RecordFile::Mode mode);
    void startRecordClocks();
    void stopRecordClocks();
    void raiseGraphWatch(bool active);
    bool armFromLevel(bool tellUser);
    void changed();

    const ToolServices& services_;
    ScopeChart& chart_;
    ScopeTimers& timers_;
    ScopeObserver* observer_;
    MonitorSubscription subscription_;
    ScopeSettings settings_;
    std::array<ScopeChannel, kChannelCount> channels_;
    TriggerDetector detector_;
    RecordFile record_;
    bool opened_ = false;
    bool monitoring_ = false;
    bool recording_ = false;
    bool armed_ = false;
    bool recordLed_ = false;
    bool triggerLed_ = false;
    bool snapshotFailed_ = false;
    bool loadedFromFile_ = false;
    bool raisedGraphWatch_ = false;
    int elapsed_ = 0;
    int recordLines_ = 0;
    std::string scoPath_;
};

}  // namespace korvane::scope
