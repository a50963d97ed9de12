#pragma once
// The line options every command shares, wherever they stand on the command line.
#include <string>
#include <vector>

#include "cli/cli_command.h"

namespace korvane::cli {

struct ParsedCommandLine {
    GlobalOptions options;
    std::string command;
    std::vector<std::string> commandArgs;
    bool help = false;
};

// Throws UsageError.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace korvane::cli
