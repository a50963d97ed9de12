// korvane-cli: the drive link without a window. Parses the line options, then hands the rest
// to the command named on the command line.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "common/process.h"
#include "common/translation.h"

using namespace korvane::cli;

int main(int argc, char** argv) {
    korvane::UseUtf8Console();
    std::vector<std::string> args = korvane::ProgramArguments(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    korvane::SetLanguage(korvane::LanguageFromEnvironment(std::getenv));
    try {
        ParsedCommandLine parsed = ParseCommandLine(args);
        if (parsed.language) korvane::SetLanguage(*parsed.language);
        if (parsed.help) {
            std::cout << UsageText();
            return 0;
        }
        const CliCommand* command = FindCommand(parsed.command);
        if (!command)
            throw UsageError(parsed.command.empty() ? "no command"
                                                    : "unknown command " + parsed.command);
        CommandContext context{parsed.options, parsed.commandArgs, std::cout, std::cerr};
        return command->run(context);
    } catch (const UsageError& e) {
        std::cerr << "korvane-cli: " << e.what() << "\n" << UsageText();
        return 2;
    }
}
