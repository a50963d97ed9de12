#pragma once
// The event log: one time-stamped line per drive event (connected, removed, fault, change of
// run state), shown in the main window's pane and, while logging is on, appended to a text file.
// The main window decides when an event happens; this formats, shows and stores the line.
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "comm/drive_reply.h"

namespace korvane {

class Clock;
class Prompter;

enum EventLogStatus : int {
    kEventLogNoError = 0,
    kEventLogCannotOpen = 1,
    kEventLogCannotWrite = 2,
    kEventLogCannotChangePath = 3,
};

// The text of a status code; codes outside the table give the text of 0.
const char* EventLogStatusText(int status);

// The save dialog of the change-file command, and the default file in the log directory.
inline constexpr const char* kEventLogFileFilter = "イベントログファイル (*.txt)|*.txt||";
inline constexpr const char* kEventLogFileDialogTitle = "イベントログファイルパス";
inline constexpr const char* kEventLogFileExtension = "txt";
inline constexpr const char* kEventLogDefaultFileName = "event.txt";

// The event texts the main window logs.
inline constexpr const char* kEventConnected = "接続済み";
inline constexpr const char* kEventDisconnected = "切断済み";

// "%d:%s(%s) %s" when the station has a device name, else "%d:%s %s".
std::string FormatEventLine(int station, std::string_view seriesName, std::string_view deviceName,
                            std::string_view text);

// One open log file. Writes are already in the file's final form (CR LF line ends).
class LogFile {
public:
    virtual ~LogFile() = default;
    [[nodiscard]] virtual bool write(std::string_view text) = 0;
    [[nodiscard]] virtual bool flush() = 0;
};

class LogFileSystem {
public:
    virtual ~LogFileSystem() = default;
    virtual bool exists(const std::string& path) const = 0;
    // Replaces any file at `path` with a new empty one; nullptr when it cannot be created.
    virtual std::unique_ptr<LogFile> createFresh(const std::string& path) = 0;
};

class DiskLogFileSystem : public LogFileSystem {
public:
    bool exists(const std::string& path) const override;
    std::unique_ptr<LogFile> createFresh(const std::string& path) override;
};

// The lines the log pane shows: the newest 200, the newest selected.
class EventLogPane {
public:
    static constexpr std::size_t kMaxLines = 200;
    static constexpr int kItemHeight = 14;

    // Returns true when the oldest line had to go.
    bool add(std::string line);
    const std::deque<std::string>& lines() const { return lines_; }
    // The selected row (the newest), or -1 when empty.
    int selected() const { return static_cast<int>(lines_.size()) - 1; }

private:
    std::deque<std::string> lines_;
};

class CEventLog {
public:
    CEventLog(const Clock& clock, LogFileSystem& files);
    ~CEventLog();
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    // Start logging (command 32782): opens the file at `path` unless one is open already.
    // False leaves logging off; status()/statusText() tell why (the caller shows the box).
    [[nodiscard]] bool start(const std::string& path);
    // Stop logging (command 32783): the file stays open, so a restart appends without a header.
    void stop();

    // Shows the event and, while logging is on, writes it. False after a write failure: the
    // file is closed, logging is off, the status is 2 and the line is not shown.
    [[nodiscard]] bool append(int station, std::string_view seriesName, std::string_view deviceName,
                              std::string_view text);
    [[nodiscard]] bool appendEventLine(std::string_view eventLine);

    enum class ChangeResult { kUnchanged, kChanged, kFailed };
    // Change the log file (command 32784) to `newPath`, the path chosen in the save dialog.
    // Asks before replacing an existing file; a failure shows status 3's text and keeps the
    // current file. On kChanged the caller stores `newPath` as the log file path. `done` runs
    // once decided (never if the log is gone by then).
    void changeFile(const std::string& currentPath, const std::string& newPath, Prompter& prompter,
                    const std::string& caption, std::function<void(ChangeResult)> done);

    // The pane is going away: flush and close the file.
    void close();

    bool isLogging() const { return logging_; }
    bool isOpen() const { return file_ != nullptr; }
    int status() const { return status_; }
    const char* statusText() const { return EventLogStatusText(status_); }
    const EventLogPane& pane() const { return pane_; }

private:
    ChangeResult switchTo(const std::string& newPath, Prompter& prompter,
                          const std::string& caption);
    // Opens a fresh file with its header, or nullptr with the status set.
    std::unique_ptr<LogFile> openFresh(const std::string& path);
    bool writeLine(const std::string& line);
    void failWrite();
    std::string timestamp() const;

    const Clock& clock_;
    LogFileSystem& files_;
    std::unique_ptr<LogFile> file_;
    bool logging_ = false;
    int status_ = kEventLogNoError;
    EventLogPane pane_;
    LifetimeToken alive_;
};

}  // namespace korvane
