#include "app/command_line.h"

#include "host/settings.h"

namespace korvane {

namespace {

std::string usage() {
    return "Usage: korvane [options]\n"
           "Commissioning and monitoring of variable-frequency drives on an RS-485 line.\n"
           "\n"
           "Options:\n"
           "  -h, --help       Displays help on commandline options.\n"
           "  -v, --version    Displays version information.\n"
           "  --demo           Start on the simulated line with throw-away settings.\n"
           "  --app-dir <DIR>  Application directory (Data, Log, Temp).\n";
}

// The first option `pick` answers for, skipping --app-dir's value and what follows "--".
template <class Pick>
auto firstOption(const std::vector<std::string>& args, Pick pick) -> decltype(pick(args[0])) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") break;
        if (a == "--app-dir" || a == "-app-dir") {
            ++i;  // its value may look like an option
            continue;
        }
        if (auto answer = pick(a)) return answer;
    }
    return {};
}

}  // namespace

std::optional<EarlyAnswer> AnswerWithoutDisplay(const std::vector<std::string>& args) {
    return firstOption(args, [](const std::string& a) -> std::optional<EarlyAnswer> {
        if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all")
            return EarlyAnswer{0, usage()};
        if (a == "-v" || a == "--version") return EarlyAnswer{0, std::string(kAppTitle) + "\n"};
        return std::nullopt;
    });
}

bool IsDemoStart(const std::vector<std::string>& args) {
    return firstOption(args, [](const std::string& a) { return a == "--demo"; });
}

}  // namespace korvane
