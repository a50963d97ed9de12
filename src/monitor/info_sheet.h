#pragma once
// The drive information sheet without its window: three pages (run values, terminals, active
// trips) that poll their drive's words through the link while they are active, the sheet title,
// and the device-name edit. The window shows what the pages hold and calls in on tab changes,
// drive events and the apply button.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "comm/monitor_subscription.h"
#include "common/signal.h"
#include "host/tool_services.h"
#include "paradb/monitor_list.h"

namespace korvane {

struct DriveRecord;
class InfoSheet;

// Boxes the terminal and trip pages have; longer lists are cut to these.
constexpr std::size_t kInfoInputBoxes = 11;
constexpr std::size_t kInfoOutputBoxes = 8;
constexpr std::size_t kInfoTripBoxes = 38;

// "%d : %s (%s) Ver%s", with " - name" when the drive has a name and the graph-watch prefix
// while graph watch mode is on.
std::string InfoSheetTitle(const DriveRecord& drive, const std::string& deviceName,
                           bool graphWatch);
// The title after the page's polling failed for good.
std::string InfoFailureTitle(int station, int failingCode);
// A trip's name without its bracketed abbreviation.
std::string TripCaption(const std::string& name);

// The addresses each page polls for a drive of this series and version.
std::vector<int> RunPageAddresses(int seriesCode);
std::vector<int> TerminalPageAddresses();
std::vector<int> FaultPageAddresses(int seriesCode, int version);

class InfoPage : public MonitorListener {
public:
    explicit InfoPage(InfoSheet& sheet);
    ~InfoPage() override;

    // The page's window exists: only then does it poll and take drive events.
    bool created() const { return created_; }
    bool registered() const;
    bool controlsEnabled() const { return controlsEnabled_; }
    // Whether the page's value of that word is live: the page polls it, graph watch mode does
    // not hold it, and the link's verdict is fresh. The window greys what is not.
    bool live(int address) const;

    // Builds the page for the sheet's drive and activates it.
    void initialise();
    void activate();
    void deactivate();
    void onGraphWatchChanged(bool active);
    // The drive went away: whatever is registered is withdrawn.
    void onDisconnected(int station);
    // The sheet is closing: withdraws and takes no more part.
    void shutDown();

    void OnDriveMonitor(int station, const DriveReply& reply) override;
    void OnMonitorFreshness(int station) override;

protected:
    virtual std::vector<int> addresses() const = 0;
    virtual void rebuild() {}
    virtual void takeWord(int address, int value) = 0;
    virtual void clearValues() {}
    const DriveRecord& drive() const;

    InfoSheet& sheet_;

private:
    void setControls();

    MonitorSubscription subscription_;
    bool created_ = false;
    bool controlsEnabled_ = false;
};

// Run status: eight value texts and the series' label pair.
class RunStatusPage : public InfoPage {
public:
    enum Value : int {
        kFrequencyCommand,
        kAccelerationTime,
        kDecelerationTime,
        kOutputFrequency,
        kOutputCurrent,
        kOutputPower,
        kRunStatus,
        kDcLinkVoltage,
        kValueCount
    };
    using InfoPage::InfoPage;
    const std::string& text(int value) const { return texts_.at(static_cast<std::size_t>(value)); }
    bool textLive(int value) const;
    // The command and output labels, which name a speed for series 5.
    std::string commandLabel() const;
    std::string outputLabel() const;
    // The name the edit shows after building the page.
    const std::string& nameField() const { return nameField_; }

protected:
    std::vector<int> addresses() const override;
    void rebuild() override;
    void takeWord(int address, int value) override;
    void clearValues() override;

private:
    std::array<std::string, kValueCount> texts_;
    std::string nameField_;
};

// One labelled check box of the terminal or trip page.
struct InfoBox {
    std::string caption;
    bool on = false;
    int address = 0;  // the word the box follows
};

// The boxes (unticked) a page will show for the drive's list of that kind (inputs, outputs or
// trips), known before the page is first shown, so that a window can be sized for every page.
std::vector<InfoBox> InfoPageBoxes(const DriveRecord& drive, int kind);

class TerminalPage : public InfoPage {
public:
    using InfoPage::InfoPage;
    const std::vector<InfoBox>& inputs() const { return inputBoxes_; }
    const std::vector<InfoBox>& outputs() const { return outputBoxes_; }

protected:
    std::vector<int> addresses() const override;
    void rebuild() override;
    void takeWord(int address, int value) override;

private:
    std::vector<MonitorItem> inputs_, outputs_;
    std::vector<InfoBox> inputBoxes_, outputBoxes_;
};

class FaultPage : public InfoPage {
public:
    using InfoPage::InfoPage;
    const std::vector<InfoBox>& trips() const { return tripBoxes_; }

protected:
    std::vector<int> addresses() const override;
    void rebuild() override;
    void takeWord(int address, int value) override;

private:
    std::vector<MonitorItem> trips_;
    std::vector<InfoBox> tripBoxes_;
};

class InfoSheet {
public:
    enum Page : int { kRunPage, kTerminalPage, kFaultPage, kPageCount };

    // Creates the sheet on its first page for the drive at `station`.
    InfoSheet(ToolServices& services, int station);
    ~InfoSheet();
    InfoSheet(const InfoSheet&) = delete;
    InfoSheet& operator=(const InfoSheet&) = delete;

    int station() const { return station_; }
    const DriveRecord& drive() const;
    ToolServices& services() { return services_; }
    const std::string& title() const { return title_; }
    int currentPage() const { return current_; }
    InfoPage& page(int index);
    RunStatusPage& runPage() { return run_; }
    TerminalPage& terminalPage() { return terminals_; }
    FaultPage& faultPage() { return faults_; }

    // The window is closing: every page withdraws now, while the link is sure to exist.
    void close();

    // Tab change: the page left stops polling, the page shown starts.
    void showPage(int index);
    // Shows another drive: every built page withdraws, takes the drive and builds again.
    void retarget(int station);

    void onDriveConnected(int station);
    void onDriveDisconnected(int station);
    void onGraphWatchChanged(bool active);
    void onNameChanged(int station);

    // The apply button: stores the trimmed name when it changed, rebuilds the title and tells
    // the main window. True when the name changed.
    bool applyDeviceName(const std::string& text);

    // Anything the window shows has changed.
    Signal<> changed;

    // For the pages.
    bool graphWatchActive() const;
    void refreshTitle();
    void setFailureTitle(int failingCode);
    void notifyChanged();

private:
    ToolServices services_;  // references into the main window, which outlives every tool window
    int station_;
    int current_ = kRunPage;
    std::string title_;
    RunStatusPage run_;
    TerminalPage terminals_;
    FaultPage faults_;
};

}  // namespace korvane
