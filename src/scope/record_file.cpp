#include "scope/record_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace korvane::scope {
namespace {
constexpr std::size_t kBufferBytes = 64 * 1024;
}  // namespace

std::string FormatFixed2(double value) {
    if (!std::isfinite(value)) value = 0.0;
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (ec != std::errc()) return "0.00";
    return std::string(buffer, end);
}

std::string FormatRecordLine(const std::array<double, 4>& values) {
    std::string line;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) line += ", ";
        line += FormatFixed2(values[i]);
    }
    line += "\r\n";
    return line;
}

RecordFile::~RecordFile() {
    close();
}

bool RecordFile::open(const std::string& path, Mode mode) {
    if (file_) return true;
    if (mode == Mode::kReplace) std::remove(path.c_str());
    file_ = std::fopen(path.c_str(), mode == Mode::kReplace ? "wb" : "ab");
    linesSinceFlush_ = 0;
    flushes_ = 0;
    if (!file_) return false;
    // Room for 200 lines of any width, so that the stream writes when we flush, not before.
    std::setvbuf(file_, nullptr, _IOFBF, kBufferBytes);
    return true;
}

bool RecordFile::writeLine(const std::array<double, 4>& values) {
    if (!file_) return false;
    const std::string line = FormatRecordLine(values);
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size()) return false;
    if (++linesSinceFlush_ >= kRecordFlushLines) {
        linesSinceFlush_ = 0;
        ++flushes_;
        if (std::fflush(file_) != 0) return false;
    }
    return true;
}

void RecordFile::close() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace korvane::scope
