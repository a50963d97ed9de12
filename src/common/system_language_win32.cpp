#include <windows.h>

#include "common/translation.h"

namespace korvane {

// The language of Windows' own menus and dialogs, as the user chose it; the program's speaks
// the same unless an environment variable says otherwise.
std::optional<Language> SystemLanguage() {
    return LanguageFromWindowsLangId(GetUserDefaultUILanguage());
}

}  // namespace korvane
