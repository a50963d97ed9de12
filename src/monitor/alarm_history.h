#pragma once
// The alarm history: the last 200 faults of any connected drive, newest first, each a snapshot
// of the drive's identification and fault words with the PC's date and time. It outlives the
// program in a history file, written column by column in the archive format older copies of
// the program read and write.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "comm/drive_reply.h"

namespace korvane {

class Clock;
class Prompter;
struct DriveRecord;

inline constexpr const char* kHistoryClearQuestion = "全てのアラーム来歴を消去しますか";
inline constexpr const char* kHistoryInitError = "アラーム来歴ファイルを初期化できません";
inline constexpr const char* kHistoryChangeError = "アラーム来歴ファイルパスを変更できません";
// The save dialog of the change-file command.
inline constexpr const char* kHistoryFileFilter = "アラーム来歴ファイル (*.log)|*.log||";
inline constexpr const char* kHistoryFileDialogTitle = "アラーム来歴ファイルパス";
inline constexpr const char* kHistoryFileExtension = "log";
inline constexpr const char* kHistoryDefaultFileName = "history1.log";

struct HistoryEntry {
    std::string date;  // "%Y.%m.%d"
    std::string time;  // "%H:%M:%S"
    std::uint16_t station = 0;
    std::uint16_t seriesCode = 0;
    std::uint16_t capacityCode = 0;
    std::uint16_t inputVoltageCode = 0;
    // Fault words 1..6 in record order: addresses 15, 29, 816, 817, 818, 819.
    std::array<std::uint16_t, 6> faultWords{};
    std::string deviceName;

    bool operator==(const HistoryEntry&) const = default;
};

// The file holds thirteen counted arrays, one per column. Never fails; the result is what
// older copies of the program wrote.
std::vector<std::uint8_t> SerializeHistory(const std::vector<HistoryEntry>& entries);

// Reads a history file's bytes into `out` (newest first), at most `limit` entries. Columns of
// unequal length, which only a damaged file has, are cut to the shortest. False when the bytes
// are not a history file; `out` is then empty.
[[nodiscard]] bool ParseHistory(std::span<const std::uint8_t> bytes, std::vector<HistoryEntry>& out,
                                std::size_t limit);

class CHistory {
public:
    static constexpr std::size_t kCapacity = 200;

    explicit CHistory(const Clock& clock);

    // Snapshots the drive at index 0. Returns true when the oldest entry was dropped to stay
    // within 200 (the pane then deletes its last row).
    bool add(const DriveRecord& drive, const std::string& deviceName);

    // Asks the Clear question; Yes empties the history, then `cleared` runs.
    void askAndClear(Prompter& prompter, const std::string& caption, std::function<void()> cleared);
    void clear() { entries_.clear(); }

    const std::vector<HistoryEntry>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }

    // Binds the history to `path` and reads it. A missing or unreadable file leaves the history
    // empty; false only when the path cannot be bound (no such directory, or a directory). A file
    // that is there but cannot be read (permissions, size) is never replaced by save().
    [[nodiscard]] bool load(const std::string& path);
    // load() as start-up does it: a path that cannot be bound shows kHistoryInitError.
    void loadAtStartup(const std::string& path, Prompter& prompter, const std::string& caption);

    // Writes the history to the bound file, replacing it only once the new copy is complete.
    // Silent; false when unbound, when the bound file could not be read, or when the write
    // failed (the previous file is then intact).
    [[nodiscard]] bool save() const;

    enum class ChangeResult { kUnchanged, kChanged, kFailed };
    // The change-file command with the path chosen in the save dialog. Asks before replacing an
    // existing file; a failure shows kHistoryChangeError and keeps the current file. On
    // kChanged the caller stores `newPath` as "Fault File Path". `done` runs once decided
    // (never if the history is gone by then).
    void changeFile(const std::string& newPath, Prompter& prompter, const std::string& caption,
                    std::function<void(ChangeResult)> done);

    bool isBound() const { return bound_; }
    const std::string& path() const { return path_; }

private:
    ChangeResult moveTo(const std::string& newPath, Prompter& prompter, const std::string& caption);

    LifetimeToken alive_;
    const Clock& clock_;
    std::vector<HistoryEntry> entries_;
    std::string path_;
    bool bound_ = false;
    bool keepFile_ = false;  // the bound file exists but could not be read
};

}  // namespace korvane
