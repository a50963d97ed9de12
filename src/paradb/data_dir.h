#pragma once
// Where the sample data files (the drive models' parameter tables) are found, for the programs
// that read them without an application directory of their own: korvane-cli and korvane-sim,
// and the GUI when installed.
#include <optional>
#include <string>

namespace korvane {

// The data directory of a package installed around `executableDir` (<prefix>/bin beside
// <prefix>/share/korvane/Data); nothing for a program run from its build tree.
std::optional<std::string> InstalledDataDir(const std::string& executableDir);
// The sample data directory of korvane-cli and korvane-sim: the build tree's while it exists,
// else the installed package's when that exists.
std::string DefaultDataDir(const std::string& buildDataDir, const std::string& installedDataDir);

}  // namespace korvane
