#pragma once
// The CSV record of the graph monitor: one line of four values per record tick, no header,
// appended as it runs. Each line is flushed as it is written, as the event log is: a crash or
// a pulled cable must not take the last minutes of a record with it. It is the one file not
// written through a temporary copy: a record must survive a crash up to its last line.
#include <array>
#include <cstdio>
#include <optional>
#include <string>

namespace korvane::scope {

// The four values of one record tick; a value that is not live is left out (nullopt) and
// written as an empty field, so that nobody reads an old or made-up number as measured.
using RecordValues = std::array<std::optional<double>, 4>;

// "%.2f, %.2f, %.2f, %.2f" in the C locale, whatever the user's locale, ended by CR LF; an
// empty field keeps its column (", ,"). A non-empty `time` is the first column.
std::string FormatRecordLine(const RecordValues& values, const std::string& time = {});
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
    [[nodiscard]] bool writeLine(const RecordValues& values, const std::string& time = {});
    void close();
    bool isOpen() const { return file_ != nullptr; }
    int flushCount() const { return flushes_; }

private:
    std::FILE* file_ = nullptr;
    int flushes_ = 0;
};

}  // namespace korvane::scope
