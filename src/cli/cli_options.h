#pragma once
// The line options every command shares, wherever they stand on the command line.
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "common/translation.h"

namespace korvane::cli {

struct ParsedCommandLine {
    GlobalOptions options;
    std::string command;
    std::vector<std::string> commandArgs;
    bool help = false;
    // --lang; without it the environment decides.
    std::optional<Language> language;
};

// Throws UsageError.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

// The sample data files: those of the build tree, or of the installed package when the program
// runs from there.
std::string CliDefaultDataDir();

}  // namespace korvane::cli
