#pragma once
// The software keypad of one drive without its window: two monitored values for the seven-
// segment displays, three lamps that follow the status word on a 300 ms tick, the run, reverse
// and stop/reset keys, and the small editor that reads and writes a display's address.
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "comm/monitor_subscription.h"
#include "common/signal.h"
#include "host/tool_services.h"
#include "paradb/monitor_list.h"

namespace korvane {

class CDriveLink;
struct DriveRecord;

constexpr int kKeypadNoAddress = 0xFFFF;
constexpr int kKeypadTickMs = 300;
constexpr int kKeypadSlots = 2;
inline constexpr char kKeypadSettingsSection[] = "KPDMon";

// The run-command word and the values the keys write to it.
constexpr int kRunCommandAddress = 6;
constexpr int kRunCommandStop = 1;
constexpr int kRunCommandForward = 2;
constexpr int kRunCommandReverse = 4;
constexpr int kRunCommandReset = 8;

// What the stop/reset key writes for a status word: the fault reset while tripped.
int StopKeyValue(int statusWord);

// The addresses a keypad shows when nothing is saved for the station.
int DefaultSlotAddress(int seriesCode, int slot);

struct KeypadLamps {
    bool forward = false;
    bool reverse = false;
    bool fault = false;
    bool operator==(const KeypadLamps&) const = default;
};

// The lamps for a status word in a blink phase: run lamps blink while ramping or tripped, and
// both blink while a stopped drive shows a trip.
KeypadLamps LampsFor(int statusWord, bool blinkPhase);

struct KeypadSlot {
    int address = kKeypadNoAddress;
    int position = -1;  // in the item list
    int raw = 0;
    bool received = false;  // `raw` came from the drive for this address
};

struct KeypadDisplay {
    std::string unit;
    bool sign = false;
    int decimals = 0;
    double value = 0.0;
};

// The "パラメータを編集" dialog of a display: reads the address when it opens, writes a typed
// value after checking it against the item's range.
class KeypadEditor : public ReplySink {
public:
    KeypadEditor(CDriveLink& link, const DriveRecord& drive, const MonitorItem& item);

    std::string caption() const;
    int decimals() const { return decimals_; }
    int integerDigits() const { return 5 - decimals_; }
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    const std::string& status() const { return status_; }
    bool buttonsEnabled() const { return !pending_; }
    bool boxEnabled() const { return boxEnabled_; }
    // Empty when the box is empty.
    std::optional<double> boxValue() const { return boxValue_; }
    const MonitorItem& item() const { return item_; }

    void read();
    void write(double entry);
    void OnDriveReply(int station, const DriveReply& reply) override;

    Signal<> changed;
    // The drive acknowledged a write of this raw word to the item's address.
    Signal<int /*address*/, int /*raw*/> written;

private:
    CDriveLink& link_;
    int station_;
    int seriesCode_;
    int timeScale_;
    MonitorItem item_;
    int divisor_;
    int decimals_;
    double minimum_;
    double maximum_;
    std::string status_;
    bool pending_ = false;
    char pendingCommand_ = 0;
    int pendingRaw_ = 0;
    bool boxEnabled_ = true;
    std::optional<double> boxValue_;
};

class KeypadModel : public MonitorListener, public ReplySink {
public:
    // Opens the keypad for the drive at `station`: slots from the settings, registration,
    // timer running.
    KeypadModel(ToolServices& services, int station);
    ~KeypadModel() override;
    KeypadModel(const KeypadModel&) = delete;
    KeypadModel& operator=(const KeypadModel&) = delete;

    // Stops the timer, withdraws and saves the slots; the destructor does it if not done.
    void close();

    int station() const { return station_; }
    std::string frameCaption() const;
    std::string stationLabel() const;
    std::string nameLabel() const;

    const std::vector<MonitorItem>& items() const { return items_; }
    const KeypadSlot& slot(int index) const { return slots_.at(static_cast<std::size_t>(index)); }
    KeypadDisplay display(int index) const;
    // False while a display's value or the lamps are not live (polling overdue or failed, not
    // received yet) or frozen by graph watch mode: the window dims them.
    bool displayLive(int index) const;
    bool lampsLive() const;
    // The selectors chose list positions (-1 or out of range: none).
    void chooseItems(int position0, int position1);

    // Timer 203: the window calls this every kKeypadTickMs while timerRunning().
    void onTick();
    bool timerRunning() const { return timerRunning_; }
    const KeypadLamps& lamps() const { return lamps_; }

    void pressForward();
    void pressReverse();
    void pressStop();
    // Keys come back only when the last run command got its final answer.
    bool keysEnabled() const;
    bool selectorsEnabled() const;

    // The window was activated: after the link dropped the drive's polling for a failure other
    // than no answer, the slots are registered again while the drive is still connected.
    void activate();

    void onDriveConnected(int station);
    void onDriveDisconnected(int station);
    void onGraphWatchChanged(bool active);
    void onNameChanged(int station);

    // Null when the editor may not open for that slot.
    KeypadEditor* openEditor(int slot);
    KeypadEditor* editor() { return editor_.get(); }
    void closeEditor();

    Signal<> changed;
    // The drive went away: the window closes itself.
    Signal<> closeRequested;

    void OnDriveMonitor(int station, const DriveReply& reply) override;
    void OnMonitorFreshness(int station) override;
    void OnDriveReply(int station, const DriveReply& reply) override;

private:
    void takeWrittenWord(int address, int raw);
    const DriveRecord& drive() const;
    bool graphWatch() const;
    void loadSlots();
    void registerSlots();
    void withdraw();
    void sendRunCommand(int value);
    void notify();

    ToolServices services_;  // references into the main window, which outlives every tool window
    int station_;
    int seriesCode_;
    std::vector<MonitorItem> items_;
    std::array<KeypadSlot, kKeypadSlots> slots_{};
    MonitorSubscription subscription_;
    bool skipNext_ = false;
    bool blinkPhase_ = false;
    KeypadLamps lamps_;
    bool lampsLive_ = false;
    bool timerRunning_ = false;
    bool controlsEnabled_ = true;
    bool stoppedForNoAnswer_ = false;
    bool commandPending_ = false;
    bool closed_ = false;
    std::string failureCaption_;
    std::unique_ptr<KeypadEditor> editor_;
    Connection editorWritten_;
};

}  // namespace korvane
