#pragma once
// What the program knows about its own process, the same way on every system.
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

std::uint32_t CurrentProcessId();

// The folder the running program's file is in (UTF-8, '/' or the system's separators), or
// empty when the system does not say.
std::string ProgramDirectory();

// The command line's arguments as UTF-8, argv[0] included. POSIX hands them over as they were
// typed; Windows gives main() the ANSI code page, so they are taken from the wide command line
// instead, and a Japanese file name arrives intact.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A console shows the program's UTF-8 output as text (Windows otherwise reads it in the ANSI
// code page). The bytes written, to a console or a pipe, are the same either way.
void UseUtf8Console();

}  // namespace korvane
