#pragma once
// The one way the program replaces a file: a temporary file beside it, flushed to disk, then
// renamed over the target, so that a crash or a full disk never leaves half a file.
#include <cstdint>
#include <span>
#include <string>

namespace korvane {

// Writes `bytes` to a temporary file in the target's directory, flushes and syncs it, then
// renames it over `path`. On any failure the temporary file is removed and the previous file
// at `path`, if any, is left exactly as it was.
[[nodiscard]] bool SafeSaveFile(const std::string& path, std::span<const std::uint8_t> bytes,
                                std::string* error = nullptr);

// Whether SafeSaveFile could save `path` now: its directory exists and takes a new file, and
// the path is not a directory. Tried with a temporary file that is removed at once, so that a
// run that ends in a save can fail before it starts instead of after all its work.
[[nodiscard]] bool CanSaveFile(const std::string& path, std::string* error = nullptr);

}  // namespace korvane
