#include "app/interface_language.h"

#include <algorithm>
#include <string_view>

#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/settings.h"

namespace korvane {

namespace {

// `source` in `language` rather than in the one the program speaks now.
const char* InLanguage(Language language, const char* source) {
    const auto catalog = Catalog(language);
    const auto it = std::find_if(catalog.begin(), catalog.end(), [source](const CatalogEntry& e) {
        return std::string_view(e.source) == source;
    });
    return it != catalog.end() ? it->text : source;
}

}  // namespace

const char* LanguageNativeName(Language language) {
    // untranslated: a language's own name, the same in every interface language
    return language == Language::English ? "English" : "日本語";
}

Language ChooseLanguage(std::optional<Language> option, const SettingsStore& settings,
                        const EnvironmentLookup& getenv, std::optional<Language> system) {
    if (option) return *option;
    if (auto stored = ParseLanguage(settings.getString(kSettingsSectionComm, kLanguageKey, "")))
        return *stored;
    return LanguageFromEnvironment(getenv, system);
}

void ChangeLanguage(Language language, SettingsStore& settings, Prompter& prompter) {
    settings.setString(kSettingsSectionComm, kLanguageKey, std::string(LanguageName(language)));
    // Said in the language chosen: the one the user reads.
    if (language != CurrentLanguage())
        prompter.info(InLanguage(language, kLanguageTakesEffectText), kAppTitle);
}

}  // namespace korvane
