#include "app/command_line.h"

#include "common/translation.h"
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
           "  --app-dir <DIR>  Application directory (Data, Log, Temp).\n"
           "  --lang <ja|en>   Language of the interface (default: the last choice made in\n"
           "                   the program, else the environment's LANGUAGE, LC_ALL,\n"
           "                   LC_MESSAGES or LANG: English when it starts with \"en\").\n";
}

bool takesValue(const std::string& option) {
    return option == "--app-dir" || option == "-app-dir" || option == "--lang";
}

// The value in "--lang=value".
std::optional<std::string> joinedLanguage(const std::string& arg) {
    constexpr std::string_view kPrefix = "--lang=";
    if (arg.rfind(kPrefix, 0) != 0) return std::nullopt;
    return arg.substr(kPrefix.size());
}

// The first option `pick` answers for, skipping the values of --app-dir and --lang and what
// follows "--".
template <class Pick>
auto firstOption(const std::vector<std::string>& args, Pick pick) -> decltype(pick(args[0])) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") break;
        if (takesValue(a)) {
            ++i;  // its value may look like an option
            continue;
        }
        if (auto answer = pick(a)) return answer;
    }
    return {};
}

std::optional<EarlyAnswer> badLanguage(const std::vector<std::string>& args) {
    bool given = false;
    for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == "--lang" || joinedLanguage(args[i])) given = true;
        if (takesValue(args[i])) ++i;
    }
    if (!given) return std::nullopt;
    const std::optional<std::string> value = LanguageOption(args);
    if (value && ParseLanguage(*value)) return std::nullopt;
    const std::string problem = value ? "--lang takes ja or en, not \"" + *value + "\""
                                      : std::string("--lang needs a value: ja or en");
    return EarlyAnswer{2, "korvane: " + problem + ".\nTry 'korvane --help' for more information.\n",
                       true};
}

}  // namespace

std::optional<EarlyAnswer> AnswerWithoutDisplay(const std::vector<std::string>& args) {
    if (auto answer = badLanguage(args)) return answer;
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

std::optional<std::string> LanguageOption(const std::vector<std::string>& args) {
    std::optional<std::string> value;
    for (std::size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
        if (auto joined = joinedLanguage(args[i])) {
            value = *joined;
        } else if (args[i] == "--lang") {
            value = i + 1 < args.size() ? std::optional(args[i + 1]) : std::nullopt;
            ++i;
        } else if (takesValue(args[i])) {
            ++i;
        }
    }
    return value;
}

}  // namespace korvane
