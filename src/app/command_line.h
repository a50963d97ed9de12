#pragma once
// The program's own options. --help and --version are answered before any window system is
// touched, so that they work over ssh and in scripts without a display.
#include <optional>
#include <string>
#include <vector>

namespace korvane {

struct EarlyAnswer {
    int exitCode = 0;
    std::string text;
    bool toStandardError = false;  // a usage error; otherwise the text is for standard output
};

// The answer to --help/-h or --version/-v anywhere among the options (not as the value of
// --app-dir or --lang, not after "--"), or to a --lang without "ja" or "en" (exit code 2);
// nothing when the program should start.
std::optional<EarlyAnswer> AnswerWithoutDisplay(const std::vector<std::string>& args);

// Whether the program starts as a demo (--demo among the options, as above). A demo keeps its
// settings, line and log files to itself, so it is not the one running copy per user: it may
// run beside the real program and beside other demos.
bool IsDemoStart(const std::vector<std::string>& args);

// The value of --lang ("--lang en" or "--lang=en"); nothing without the option. The last one
// counts, as with Qt's own options.
std::optional<std::string> LanguageOption(const std::vector<std::string>& args);

// Said on standard error when another copy already runs and was asked to show its window.
inline constexpr char kHandedOverText[] =
    "korvane: already running; the running window was brought to the front.\n";

}  // namespace korvane
