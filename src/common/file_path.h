#pragma once
// Paths are UTF-8 text everywhere in the program. The system's own path type and C's FILE
// take the ANSI code page on Windows, which cannot spell a Japanese folder name on most
// machines; every path therefore crosses into them here, and nowhere else.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvane {

// The system path for UTF-8 text. Invalid UTF-8 never throws: on POSIX the bytes are kept as
// they are, on Windows they become U+FFFD.
std::filesystem::path PathFromUtf8(std::string_view utf8);
// The UTF-8 text of a system path, the inverse of PathFromUtf8.
std::string Utf8FromPath(const std::filesystem::path& path);

// Whether something, a directory, or a regular file is at `path`; false when it cannot be told.
[[nodiscard]] bool PathExists(const std::string& path);
[[nodiscard]] bool IsDirectory(const std::string& path);
[[nodiscard]] bool IsRegularFile(const std::string& path);

// std::fopen for a UTF-8 path; `mode` as fopen's ("rb", "wb", "ab").
[[nodiscard]] std::FILE* OpenFile(const std::string& path, const char* mode);

}  // namespace korvane
