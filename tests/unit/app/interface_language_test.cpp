#include "app/interface_language.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/settings.h"

namespace korvane {
namespace {

// Restores the language the other tests expect.
struct SpeakingJapanese {
    SpeakingJapanese() { SetLanguage(Language::Japanese); }
    ~SpeakingJapanese() { SetLanguage(Language::Japanese); }
};

TEST(InterfaceLanguage, OptionThenStoredChoiceThenEnvironmentDecide) {
    const std::optional<Language> none;
    const struct Case {
        std::optional<Language> option;
        const char* stored;  // nullptr: no key
        const char* lang;    // LANG, nullptr: unset
        Language expected;
        std::optional<Language> system = std::nullopt;  // what Windows' display language says
    } cases[] = {
        {Language::English, "ja", "ja_JP.UTF-8", Language::English},
        {Language::Japanese, "en", "en_US.UTF-8", Language::Japanese},
        {none, "en", "ja_JP.UTF-8", Language::English},
        {none, "ja", "en_GB.UTF-8", Language::Japanese},
        {none, nullptr, "en_GB.UTF-8", Language::English},
        {none, nullptr, "C", Language::Japanese},
        {none, nullptr, nullptr, Language::Japanese},
        {none, nullptr, nullptr, Language::English, Language::English},
        {none, nullptr, "ja_JP.UTF-8", Language::Japanese, Language::English},
        {none, "ja", nullptr, Language::Japanese, Language::English},
        // Not written by this program: passed over.
        {none, "english", "en_US.UTF-8", Language::English},
        {none, "", "C.UTF-8", Language::Japanese},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stored ? c.stored : "-") + " " + (c.lang ? c.lang : "-"));
        MemorySettingsStore settings;
        if (c.stored) settings.setString(kSettingsSectionComm, kLanguageKey, c.stored);
        const char* lang = c.lang;
        auto getenv = [lang](const char* name) -> const char* {
            return std::strcmp(name, "LANG") == 0 ? lang : nullptr;
        };
        EXPECT_EQ(ChooseLanguage(c.option, settings, getenv, c.system), c.expected);
    }
}

TEST(InterfaceLanguage, AChangeIsStoredAndAnnouncedInTheChosenLanguageOnlyWhenItDiffers) {
    SpeakingJapanese restore;
    const struct Case {
        Language running, chosen;
        const char* stored;
        bool told;
    } cases[] = {
        {Language::Japanese, Language::English, "en", true},
        {Language::English, Language::Japanese, "ja", true},
        {Language::Japanese, Language::Japanese, "ja", false},
        {Language::English, Language::English, "en", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        SetLanguage(c.running);
        MemorySettingsStore settings;
        RecordingPrompter prompter;
        ChangeLanguage(c.chosen, settings, prompter);
        EXPECT_EQ(settings.getString(kSettingsSectionComm, kLanguageKey, ""), c.stored);
        ASSERT_EQ(prompter.entries().size(), c.told ? 1u : 0u);
        if (!c.told) continue;
        EXPECT_EQ(prompter.entries()[0].kind, "info");
        // Japanese is the source text itself; English must be the catalog's, not the source.
        const std::string& text = prompter.entries()[0].text;
        EXPECT_EQ(text == kLanguageTakesEffectText, c.chosen == Language::Japanese) << text;
    }
}

}  // namespace
}  // namespace korvane
