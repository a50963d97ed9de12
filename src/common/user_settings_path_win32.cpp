// Windows keeps a user's roaming settings under %APPDATA%. The window program opens the same INI
// file there (not the registry), so that korvane-cli reads what it wrote. The variable is read
// wide: a user name in Japanese does not survive the ANSI code page.
#include <cstdlib>

#include "common/ini_settings_store.h"
#include "common/wide_text.h"

namespace korvane {

std::string UserSettingsPath(const std::string& organisation, const std::string& application) {
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (!appData || !*appData) return {};
    return Utf8FromWide(appData) + '\\' + organisation + '\\' + application + ".ini";
}

}  // namespace korvane
