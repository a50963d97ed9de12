#include "scope/record_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/file_path.h"

namespace korvane::scope {

std::string FormatFixed2(double value) {
    if (!std::isfinite(value)) value = 0.0;
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (ec != std::errc()) return "0.00";
    return std::string(buffer, end);
}

std::string FormatRecordLine(const RecordValues& values, const std::string& time) {
    std::string line = time.empty() ? std::string() : time + ", ";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) line += ", ";
        if (values[i]) line += FormatFixed2(*values[i]);
    }
    line += "\r\n";
    return line;
}

RecordFile::~RecordFile() {
    close();
}

bool RecordFile::open(const std::string& path, Mode mode) {
    if (file_) return true;
    if (mode == Mode::kReplace) {
        std::error_code ec;
        std::filesystem::remove(PathFromUtf8(path), ec);
    }
    file_ = OpenFile(path, mode == Mode::kReplace ? "wb" : "ab");
    flushes_ = 0;
    return file_ != nullptr;
}

bool RecordFile::writeLine(const RecordValues& values, const std::string& time) {
    if (!file_) return false;
    const std::string line = FormatRecordLine(values, time);
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size()) return false;
    ++flushes_;
    return std::fflush(file_) == 0;
}

void RecordFile::close() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace korvane::scope
