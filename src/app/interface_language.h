#pragma once
// Which language the interface speaks, and the user's choice of it for the next start.
#include <optional>

#include "common/translation.h"

namespace korvane {

class Prompter;
class SettingsStore;

// In the program's own settings section ("Comm"): "ja" or "en", written only by this program.
inline constexpr char kLanguageKey[] = "Language";

// The main window's submenu, next to the port setup.
inline constexpr char kLanguageMenuText[] = "言語";
inline constexpr char kLanguageTakesEffectText[] = "表示言語は次回の起動時に切り替わります。";

// A language's name as its speakers write it; the same in every interface language, so that
// a user who cannot read the current one still finds their own.
const char* LanguageNativeName(Language language);

// The language at start-up: --lang (already checked), else the stored choice, else the
// environment, else the system's. A stored value that is no language is passed over.
Language ChooseLanguage(std::optional<Language> option, const SettingsStore& settings,
                        const EnvironmentLookup& getenv,
                        std::optional<Language> system = SystemLanguage());

// The menu's choice: kept for the next start. When it differs from the language the program
// speaks now, the user is told, in the chosen language, that it takes effect at the next start.
void ChangeLanguage(Language language, SettingsStore& settings, Prompter& prompter);

}  // namespace korvane
