#pragma once
// What the program knows about its own process, the same way on every system.
#include <cstdint>
#include <string>

namespace korvane {

std::uint32_t CurrentProcessId();

// The folder the running program's file is in (UTF-8, '/' or the system's separators), or
// empty when the system does not say.
std::string ProgramDirectory();

}  // namespace korvane
