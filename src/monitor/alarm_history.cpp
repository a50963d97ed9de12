#include "monitor/alarm_history.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/clock.h"
#include "common/file_path.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/translation.h"
#include "paradb/archive.h"
#include "paradb/drive_record.h"

namespace korvane {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFileExistsQuestion =
    "%s ファイルはすでに存在します.\n上書きを希望しますか？";

// The smallest element a column can hold: a one-byte 8-bit string or a 2-byte word. Used to
// reject counts the file cannot back before looping over them.
constexpr std::size_t kMinTextBytes = 1;
constexpr std::size_t kMinWordBytes = 2;

std::uint16_t word(int value) {
    return static_cast<std::uint16_t>(value);
}

template <typename T, typename ReadOne>
std::vector<T> readColumn(ArchiveReader& in, std::size_t limit, std::size_t minBytes,
                          ReadOne readOne) {
    const std::uint32_t count = in.ReadCount();
    in.RequireRecords(count, minBytes);
    std::vector<T> column;
    column.reserve(std::min<std::size_t>(count, limit));
    // Elements past the limit are still read: the next column starts after them.
    for (std::uint32_t i = 0; i < count; ++i) {
        T value = readOne(in);
        if (column.size() < limit) column.push_back(std::move(value));
    }
    return column;
}

std::vector<std::string> readTexts(ArchiveReader& in, std::size_t limit) {
    return readColumn<std::string>(in, limit, kMinTextBytes,
                                   [](ArchiveReader& r) { return r.ReadString(); });
}

std::vector<std::uint16_t> readWords(ArchiveReader& in, std::size_t limit) {
    return readColumn<std::uint16_t>(in, limit, kMinWordBytes,
                                     [](ArchiveReader& r) { return r.ReadWord(); });
}

// A path the history can be written to later: an existing directory, and not itself one.
bool canBind(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    const fs::path p = PathFromUtf8(path);
    if (fs::is_directory(p, ec)) return false;
    const fs::path dir = p.parent_path();
    return dir.empty() || fs::is_directory(dir, ec);
}

// An unreadable history would be overwritten by the next save; keep a copy of it for whoever
// wants to look at what went wrong.
bool keepDamagedCopy(const std::string& path, std::span<const std::uint8_t> bytes) {
    return SafeSaveFile(path + ".damaged", bytes);
}

}  // namespace

std::vector<std::uint8_t> SerializeHistory(const std::vector<HistoryEntry>& entries) {
    ArchiveWriter out;
    const auto count = static_cast<std::uint32_t>(entries.size());
    auto texts = [&](auto field) {
        out.WriteCount(count);
        for (const HistoryEntry& e : entries) out.WriteString(field(e));
    };
    auto words = [&](auto field) {
        out.WriteCount(count);
        for (const HistoryEntry& e : entries) out.WriteWord(field(e));
    };
    texts([](const HistoryEntry& e) { return e.date; });
    texts([](const HistoryEntry& e) { return e.time; });
    words([](const HistoryEntry& e) { return e.station; });
    words([](const HistoryEntry& e) { return e.seriesCode; });
    words([](const HistoryEntry& e) { return e.capacityCode; });
    words([](const HistoryEntry& e) { return e.inputVoltageCode; });
    for (std::size_t w = 0; w < 6; ++w) {
        words([w](const HistoryEntry& e) { return e.faultWords[w]; });
    }
    texts([](const HistoryEntry& e) { return e.deviceName; });
    return out.take();
}

bool ParseHistory(std::span<const std::uint8_t> bytes, std::vector<HistoryEntry>& out,
                  std::size_t limit) {
    out.clear();
    try {
        ArchiveReader in(bytes);
        auto dates = readTexts(in, limit);
        auto times = readTexts(in, limit);
        auto stations = readWords(in, limit);
        auto series = readWords(in, limit);
        auto capacities = readWords(in, limit);
        auto voltages = readWords(in, limit);
        std::array<std::vector<std::uint16_t>, 6> faults;
        for (auto& column : faults) column = readWords(in, limit);
        auto names = readTexts(in, limit);

        // Every writer keeps the columns equal; a damaged file may not, and the columns are
        // only meaningful side by side, so take the rows all of them have.
        std::size_t rows = std::min({dates.size(), times.size(), stations.size(), series.size(),
                                     capacities.size(), voltages.size(), names.size()});
        for (const auto& column : faults) rows = std::min(rows, column.size());

        out.resize(rows);
        for (std::size_t i = 0; i < rows; ++i) {
            HistoryEntry& e = out[i];
            e.date = std::move(dates[i]);
            e.time = std::move(times[i]);
            e.station = stations[i];
            e.seriesCode = series[i];
            e.capacityCode = capacities[i];
            e.inputVoltageCode = voltages[i];
            for (std::size_t w = 0; w < 6; ++w) e.faultWords[w] = faults[w][i];
            e.deviceName = std::move(names[i]);
        }
        return true;
    } catch (const ArchiveError&) {
        out.clear();
        return false;
    }
}

CHistory::CHistory(const Clock& clock) : clock_(clock) {}

bool CHistory::add(const DriveRecord& drive, const std::string& deviceName) {
    const LocalTime t = clock_.now();
    HistoryEntry e;
    e.date = strprintf("%04d.%02d.%02d", t.year, t.month, t.day);
    e.time = strprintf("%02d:%02d:%02d", t.hour, t.minute, t.second);
    e.station = word(drive.station);
    e.seriesCode = word(drive.seriesCode);
    e.capacityCode = word(drive.capacityCode);
    e.inputVoltageCode = word(drive.inputVoltageCode);
    e.faultWords = {word(drive.faultWord1),        word(drive.faultWord2),
                    word(drive.faultWords3to6[0]), word(drive.faultWords3to6[1]),
                    word(drive.faultWords3to6[2]), word(drive.faultWords3to6[3])};
    e.deviceName = deviceName;
    entries_.insert(entries_.begin(), std::move(e));
    if (entries_.size() <= kCapacity) return false;
    entries_.pop_back();
    return true;
}

void CHistory::askAndClear(Prompter& prompter, const std::string& caption,
                           std::function<void()> cleared) {
    prompter.ask(Tr(kHistoryClearQuestion), caption,
                 WhileAlive(alive_.watch(), [this, cleared = std::move(cleared)](bool yes) {
                     if (!yes) return;
                     clear();
                     if (cleared) cleared();
                 }));
}

bool CHistory::load(const std::string& path) {
    entries_.clear();
    if (!canBind(path)) {
        bound_ = false;
        return false;
    }
    path_ = path;
    bound_ = true;
    keepFile_ = false;

    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        // Someone's record that this run cannot see; writing ours over it would lose it.
        keepFile_ = PathExists(path);
        return true;
    }
    if (bytes.empty()) return true;
    if (!ParseHistory(bytes, entries_, kCapacity)) keepFile_ = !keepDamagedCopy(path, bytes);
    return true;
}

void CHistory::loadAtStartup(const std::string& path, Prompter& prompter,
                             const std::string& caption) {
    if (!load(path)) prompter.error(Tr(kHistoryInitError), caption);
}

bool CHistory::save() const {
    if (!bound_ || keepFile_) return false;
    return SafeSaveFile(path_, SerializeHistory(entries_));
}

void CHistory::changeFile(const std::string& newPath, Prompter& prompter,
                          const std::string& caption, std::function<void(ChangeResult)> done) {
    if (newPath.empty() || (bound_ && newPath == path_)) return done(ChangeResult::kUnchanged);
    if (!PathExists(newPath)) return done(moveTo(newPath, prompter, caption));
    prompter.ask(strprintf(Tr(kFileExistsQuestion), newPath.c_str()), caption,
                 WhileAlive(alive_.watch(), [this, newPath, &prompter, caption, done](bool yes) {
                     // The bound file may have changed while the question was open.
                     if (!yes || (bound_ && newPath == path_))
                         return done(ChangeResult::kUnchanged);
                     done(moveTo(newPath, prompter, caption));
                 }));
}

CHistory::ChangeResult CHistory::moveTo(const std::string& newPath, Prompter& prompter,
                                        const std::string& caption) {
    // The old file gets the history up to now; the new one gets the same entries at once
    // rather than at the next close, so neither a crash nor a failure here loses them.
    // A file that could not be read is left as it is; the history moves to the new file.
    const bool saved = (!bound_ || keepFile_ || save()) && canBind(newPath) &&
                       SafeSaveFile(newPath, SerializeHistory(entries_));
    if (!saved) {
        prompter.error(Tr(kHistoryChangeError), caption);
        return ChangeResult::kFailed;
    }
    path_ = newPath;
    bound_ = true;
    keepFile_ = false;
    return ChangeResult::kChanged;
}

}  // namespace korvane
