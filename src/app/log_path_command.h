#pragma once
// Choosing another alarm-history or event-log file: the save dialog's set-up, and what happens
// once the user has picked a name. The owning object switches files; the path setting follows
// only when it succeeded, so the setting never names a file nobody writes.
#include <functional>
#include <string>

namespace korvane {

class Prompter;

struct LogPathDialog {
    const char* defaultExtension;
    const char* filter;
    const char* title;
};

inline constexpr LogPathDialog kFaultFilePathDialog{"log", "アラーム来歴ファイル (*.log)|*.log||",
                                                    "アラーム来歴ファイルパス"};
inline constexpr LogPathDialog kLogFilePathDialog{"txt", "イベントログファイル (*.txt)|*.txt||",
                                                  "イベントログファイルパス"};

// Asks the alarm history or the event log to continue in `path`; on failure fills errorText
// with that object's own text.
using LogFileSwitch = std::function<bool(const std::string& path, std::string& errorText)>;

enum class LogPathChange { Unchanged, Declined, Switched, Failed };

// After the save dialog returned `chosen`. A chosen file that exists needs the user's yes
// before it is taken over. Message boxes carry `caption`.
[[nodiscard]] LogPathChange ChangeLogFilePath(const std::string& chosen, std::string& currentPath,
                                              const LogFileSwitch& switchTo, Prompter& prompter,
                                              const std::string& caption);

}  // namespace korvane
