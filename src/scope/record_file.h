#pragma once
// The CSV record of the graph monitor: one line of four values per record tick, no header,
// appended as it runs and flushed every 200 lines rather than per line, so that an hours-long
// record costs no disk sync per tick. It is the one file not written through a temporary copy:
// a record must survive a crash up to its last flush.
#include <array>
#include <cstdio>
#include <string>

namespace korvane::scope {

constexpr int kRecordFlushLines = 200;

// "%.2f, %.2f, %.2f, %.2f" in the C locale, whatever the user's locale, ended by CR LF.
std::string FormatRecordLine(const std::array<double, 4>& values);
// Two decimals in the C locale.
std::string FormatFixed2(double value);

class RecordFile {
public:
    enum class Mode { kReplace, kAppend };

    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // An open file is kept as it is. kReplace starts a new file; kAppend continues the one
    // there (a resumed recording must not lose the earlier run).
    [[nodiscard]] bool open(const std::string& path, Mode mode);
    [[nodiscard]] bool writeLine(const std::array<double, 4>& values);
    void close();
    bool isOpen() const { return file_ != nullptr; }
    int flushCount() const { return flushes_; }

private:
    std::FILE* file_ = nullptr;
    int linesSinceFlush_ = 0;
    int flushes_ = 0;
};

}  // namespace korvane::scope
