#include "app/log_path_command.h"

#include <filesystem>
#include <system_error>

#include "common/format.h"
#include "common/prompter.h"

namespace korvane {

LogPathChange ChangeLogFilePath(const std::string& chosen, std::string& currentPath,
                                const LogFileSwitch& switchTo, Prompter& prompter,
                                const std::string& caption) {
    if (chosen.empty() || chosen == currentPath) return LogPathChange::Unchanged;
    std::error_code ec;
    if (std::filesystem::exists(chosen, ec)) {
        std::string question =
            strprintf("%s ファイルはすでに存在します.\n上書きを希望しますか？", chosen.c_str());
        if (!prompter.askYesNo(question, caption)) return LogPathChange::Declined;
    }
    std::string errorText;
    if (!switchTo(chosen, errorText)) {
        prompter.error(errorText, caption);
        return LogPathChange::Failed;
    }
    currentPath = chosen;
    return LogPathChange::Switched;
}

}  // namespace korvane
