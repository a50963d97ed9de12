#pragma once
// korvane-cli's command table. Each command lives in its own file and registers itself with a
// static CommandRegistrar, so a new command is one new file and main.cpp never changes.
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "comm/port.h"

namespace korvane::cli {

struct GlobalOptions {
    PortSettings port;  // portName empty until --port
    int commMode = kCommTk485;
    int timeoutMs = 1000;
    int retries = 3;
    bool trace = false;
    Pacing pacing = Pacing::kTick;
};

// A command line that cannot be run; main prints the message and the usage text, exit 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CommandContext {
    const GlobalOptions& options;
    std::vector<std::string> args;  // everything after the command name
    std::ostream& out;              // one JSON object per line
    std::ostream& err;              // diagnostics and, with --trace, the frames
};

struct CliCommand {
    const char* name;
    const char* synopsis;  // the usage line after "korvane-cli [OPTIONS] "
    // Exit status: 0 every request succeeded, 1 any failed. Throws UsageError.
    int (*run)(CommandContext& context);
};

class CommandRegistrar {
public:
    explicit CommandRegistrar(const CliCommand& command);
};

// Sorted by name.
std::vector<CliCommand> Commands();
const CliCommand* FindCommand(const std::string& name);

// Whole-string numbers, decimal or 0x-hex, within [low, high]; UsageError naming `what`.
long ParseNumberArg(const std::string& text, long low, long high, const char* what);

// "1-31", "1,3,5" or a mix such as "1-3,7"; UsageError when malformed or empty.
std::vector<int> ParseStationIds(const std::string& text);

}  // namespace korvane::cli
