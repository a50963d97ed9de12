#include "cli/cli_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace korvane::cli {

namespace {

std::vector<CliCommand>& registry() {
    static std::vector<CliCommand> commands;  // filled before main by the registrars
    return commands;
}

}  // namespace

CommandRegistrar::CommandRegistrar(const CliCommand& command) {
    registry().push_back(command);
}

std::vector<CliCommand> Commands() {
    auto commands = registry();
    std::sort(commands.begin(), commands.end(), [](const CliCommand& a, const CliCommand& b) {
        return std::string(a.name) < b.name;
    });
    return commands;
}

const CliCommand* FindCommand(const std::string& name) {
    for (const auto& c : registry()) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

long ParseNumberArg(const std::string& text, long low, long high, const char* what) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    const bool hex =
        digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    errno = 0;
    char* end = nullptr;
    long value = digits.empty() || digits[0] == '+' || digits[0] == '-'
                     ? 0
                     : std::strtol(digits.c_str(), &end, hex ? 16 : 10);
    if (digits.empty() || end == nullptr || *end != '\0' || end == digits.c_str() || errno != 0) {
        throw UsageError(std::string("bad ") + what + " \"" + text + "\"");
    }
    if (negative) value = -value;
    if (value < low || value > high) {
        throw UsageError(std::string(what) + " \"" + text + "\" is outside " + std::to_string(low) +
                         ".." + std::to_string(high));
    }
    return value;
}

std::vector<int> ParseStationIds(const std::string& text) {
    std::vector<int> ids;
    std::stringstream parts(text);
    std::string part;
    while (std::getline(parts, part, ',')) {
        const auto dash = part.find('-');
        if (dash == std::string::npos) {
            ids.push_back(static_cast<int>(ParseNumberArg(part, 1, 255, "station")));
            continue;
        }
        const int from = static_cast<int>(ParseNumberArg(part.substr(0, dash), 1, 255, "station"));
        const int to = static_cast<int>(ParseNumberArg(part.substr(dash + 1), 1, 255, "station"));
        if (from > to) throw UsageError("station range " + part + " runs backwards");
        for (int id = from; id <= to; ++id) ids.push_back(id);
    }
    if (ids.empty()) throw UsageError("scan needs station IDs such as 1-31 or 1,3,5");
    return ids;
}

}  // namespace korvane::cli
