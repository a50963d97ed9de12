#pragma once
// The main window's list of open tool windows (keypad, parameter editor, graph monitor,
// report). It keeps one window per kind and station, fans drive events out to the windows
// that belong to a drive, remembers where each window was, and closes them all at the end.
// The windows themselves live in the UI; the list sees them only through ToolFrame.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvane {

class CDataFile;
class Executor;
class SettingsStore;

// Window kinds are the ids of the frames' caption strings; stored placements are keyed by them.
// The information sheet has no caption id of that range; it takes 130 so that it can be listed,
// closed at exit and sent drive events like the others.
constexpr int kKindInformation = 130;
constexpr int kKindKeypad = 131;
constexpr int kKindParaEditor = 132;
constexpr int kKindGraphMonitor = 133;
constexpr int kKindReport = 134;

// There is one graph monitor for the whole program, always under this key.
constexpr int kGraphMonitorKey = 1;
// There is one information sheet, re-targeted to whichever drive is chosen; it is listed under
// this key (no station), and told its drive when it is created or re-targeted.
constexpr int kInformationKey = 0;

// Frames with a key at or above this belong to offline editors, which see no drive events.
constexpr int kFirstOfflineKey = 256;

// Section of the settings store that holds the "%d-%d" window placements.
inline constexpr const char* kPlacementSection = "Main";

enum class DriveEventKind {
    kConnected,       // a drive was identified and added
    kDisconnected,    // a drive was removed; its record is already reset
    kNameChanged,     // the user renamed the station's device
    kGraphWatchMode,  // the graph monitor switched graph watch mode on or off
};

// Events are posted, so they carry copies: by the time a window sees one, the record it came
// from may already have been reset or reused by another drive.
struct DriveEvent {
    explicit DriveEvent(DriveEventKind k = DriveEventKind::kConnected, int s = 0)
        : kind(k), station(s) {}

    DriveEventKind kind;
    int station;  // 0 for kGraphWatchMode
    // kConnected: the drive's identification, and its data file, which stays alive for as long
    // as a window holds this pointer.
    int seriesCode = 0;
    int version = 0;
    std::shared_ptr<CDataFile> driveData;
    bool graphWatchActive = false;  // kGraphWatchMode: the mode as it was when announced
};

// What the UI's tool window offers the list.
class ToolFrame {
public:
    virtual ~ToolFrame() = default;
    // Restore if minimised and bring to the top.
    virtual void activate() = 0;
    // Ask the window to close as if the user closed it; it calls frameClosing() on its way out.
    virtual void requestClose() = 0;
    // Opaque geometry for the settings store; empty means "nothing worth keeping".
    virtual std::vector<std::uint8_t> savePlacement() const = 0;
    virtual void restorePlacement(const std::vector<std::uint8_t>& placement) = 0;
    virtual void onDriveEvent(const DriveEvent& event) = 0;
    // Only the information sheet, one window for whichever drive is chosen, takes a new station
    // while open.
    virtual void retarget(int /*station*/) {}
    // What closing the program would lose, as a line of the one question asked before it
    // closes; empty when nothing. Once the user agreed, the window closes without asking again.
    virtual std::string unsavedWork() const { return {}; }
    virtual void discardUnsavedWork() {}
};

// Made by the UI: builds the window of a kind for a station key. The information sheet gets the
// chosen station as its key here, although it is listed under kInformationKey.
class ToolWindowFactory {
public:
    virtual ~ToolWindowFactory() = default;
    // Whether windows of this kind exist in this build.
    virtual bool provides(int kind) const = 0;
    // nullptr when the user cancelled (a mode dialog) or the window could not be made.
    virtual ToolFrame* create(int kind, int stationKey) = 0;
};

class ToolFrameRegistry {
public:
    // Drive events are delivered through `executor`, never inside the caller's own handling:
    // the main window announces a disconnection while it is still resetting the record.
    ToolFrameRegistry(SettingsStore& settings, Executor& executor);
    ToolFrameRegistry(const ToolFrameRegistry&) = delete;
    ToolFrameRegistry& operator=(const ToolFrameRegistry&) = delete;

    // Activates the listed frame of this kind and key, or creates one with `create`, restores
    // its saved placement and lists it. `create` may return nullptr (nothing is listed).
    ToolFrame* openOrActivate(int kind, int stationKey, const std::function<ToolFrame*()>& create);

    ToolFrame* find(int kind, int stationKey) const;

    // Called by a frame that is closing: saves its placement and forgets it. Unknown frames
    // and repeated calls are ignored.
    void frameClosing(const ToolFrame* frame);

    // Posts the event to every listed frame whose key is a station ID (below 256). A frame
    // closed before the posted call runs does not get it.
    void broadcast(const DriveEvent& event);

    // Asks every listed frame to close (main-window close).
    void closeAll();
    // The distinct lines of unsavedWork() of every listed frame, in list order.
    std::vector<std::string> unsavedWork() const;
    void discardUnsavedWork();

    std::size_t size() const { return entries_.size(); }

    static std::string placementKey(int kind, int stationKey);

private:
    struct Entry {
        int kind;
        int stationKey;
        ToolFrame* frame;
        std::uint64_t serial;  // tells a reopened frame at a reused address from the old one
    };

    const Entry* findEntry(int kind, int stationKey) const;
    bool isListed(const ToolFrame* frame, std::uint64_t serial) const;

    SettingsStore& settings_;
    Executor& executor_;
    std::vector<Entry> entries_;
    std::uint64_t nextSerial_ = 1;
    // Posted deliveries check this first: the registry may go before the event loop drains.
    std::shared_ptr<const ToolFrameRegistry*> self_ =
        std::make_shared<const ToolFrameRegistry*>(this);
};

// A frame's own most-recently-used file list, kept as "File1".."FileN" in the frame's section.
class RecentFileList {
public:
    static constexpr int kDefaultSize = 8;
    static constexpr std::size_t kDisplayChars = 30;

    explicit RecentFileList(std::string section, int size = kDefaultSize);

    void load(const SettingsStore& settings);
    void save(SettingsStore& settings) const;

    // Puts the path at the top; an entry for the same path moves rather than repeats.
    void add(const std::string& path);
    void remove(std::size_t index);

    // Runs the frame's open operation with entry `index`; an entry that cannot be opened is
    // dropped. Returns what `open` returned (false for an index out of range).
    bool choose(std::size_t index, const std::function<bool(const std::string&)>& open);

    const std::vector<std::string>& paths() const { return paths_; }
    // The menu text of an entry: the path shortened to at most 30 characters.
    std::string displayName(std::size_t index) const;

private:
    std::string section_;
    std::size_t size_;
    std::vector<std::string> paths_;
};

// Shortens a path for a menu: keeps the root and the file name and drops directories in
// between ("/home/.../dir/name.par"); falls back to the file name alone. Counts characters.
std::string AbbreviatePath(const std::string& path, std::size_t maxChars);

}  // namespace korvane
