#pragma once
// The one way the program reads a whole file. Only a regular file is read: a FIFO, a device or a
// directory named where a file is expected is refused at once instead of blocking or pouring
// bytes forever, and a file larger than the caller allows is refused before anything is read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// False (with `error` set) when `path` cannot be opened, is not a regular file, is larger than
// `maxBytes` or cannot be read. `out` is empty on failure.
[[nodiscard]] bool ReadRegularFile(const std::string& path, std::vector<std::uint8_t>& out,
                                   std::size_t maxBytes, std::string* error = nullptr);

}  // namespace korvane
