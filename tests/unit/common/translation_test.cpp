#include "common/translation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "support/language_scope.h"

namespace korvane {
namespace {

using korvane::testing::LanguageScope;

TEST(Translation, JapaneseIsTheSourceItself) {
    LanguageScope japanese(Language::Japanese);
    const char* source = "パラメータグループ";
    EXPECT_EQ(Tr(source), source);
    EXPECT_EQ(Tr(std::string_view(source)), source);
}

TEST(Translation, EnglishLooksUpAndFallsBackToTheSource) {
    LanguageScope english(Language::English);
    EXPECT_STREQ(Tr("パラメータグループ"), "Parameter Groups");
    // A text no catalog has (data from a drive or a file) passes through unchanged.
    EXPECT_STREQ(Tr("未知のテキスト"), "未知のテキスト");
    EXPECT_EQ(Tr(std::string_view("")), "");
}

TEST(Translation, CatalogIsSortedSoLookupsFindEveryEntry) {
    auto catalog = Catalog(Language::English);
    ASSERT_FALSE(catalog.empty());
    LanguageScope english(Language::English);
    for (size_t i = 0; i < catalog.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(std::strcmp(catalog[i - 1].source, catalog[i].source), 0);
        }
        EXPECT_STREQ(Tr(catalog[i].source), catalog[i].text);
    }
}

TEST(Translation, EnvironmentChoosesTheLanguage) {
    struct Case {
        std::map<std::string, std::string> env;
        Language expected;
        std::optional<Language> system = std::nullopt;  // Windows' display language
    };
    const Case cases[] = {
        {{}, Language::Japanese},
        {{{"LANG", "en_US.UTF-8"}}, Language::English},
        {{{"LANG", "C"}}, Language::Japanese},
        {{{"LANG", "POSIX"}}, Language::Japanese},
        {{{"LANG", "ja_JP.UTF-8"}}, Language::Japanese},
        {{{"LC_ALL", "ja_JP.UTF-8"}, {"LANG", "en_GB.UTF-8"}}, Language::Japanese},
        {{{"LC_MESSAGES", "en_US"}, {"LANG", "ja_JP"}}, Language::English},
        {{{"LANGUAGE", "en:ja"}, {"LC_ALL", "C"}}, Language::English},
        {{{"LANGUAGE", ""}, {"LANG", "en_US"}}, Language::English},
        // Where none is set, as on Windows, the system's language decides.
        {{}, Language::English, Language::English},
        {{}, Language::Japanese, Language::Japanese},
        {{{"LANG", ""}}, Language::English, Language::English},
        {{{"LANG", "ja_JP"}}, Language::Japanese, Language::English},
        {{{"LC_ALL", "en_US"}}, Language::English, Language::Japanese},
    };
    for (const Case& c : cases) {
        auto lookup = [&](const char* name) -> const char* {
            auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(LanguageFromEnvironment(lookup, c.system), c.expected) << c.env.size();
    }
}

TEST(Translation, WindowsDisplayLanguageIsJapaneseOnlyForJapanese) {
    const struct Case {
        unsigned langId;
        Language expected;
    } cases[] = {
        {0x0411, Language::Japanese},  // ja-JP
        {0x0011, Language::Japanese},  // Japanese, no region
        {0x0409, Language::English},   // en-US
        {0x0809, Language::English},   // en-GB
        {0x0804, Language::English},   // zh-CN: no catalogue of its own
        {0x0412, Language::English},   // ko-KR
        {0x0000, Language::English},   // neutral
        {0x0c11, Language::Japanese},  // another sublanguage of Japanese
    };
    for (const Case& c : cases)
        EXPECT_EQ(LanguageFromWindowsLangId(c.langId), c.expected) << std::hex << c.langId;
}

TEST(Translation, LanguageNamesRoundTrip) {
    EXPECT_EQ(ParseLanguage("en"), Language::English);
    EXPECT_EQ(ParseLanguage("ja"), Language::Japanese);
    EXPECT_EQ(ParseLanguage("EN"), std::nullopt);
    EXPECT_EQ(ParseLanguage(""), std::nullopt);
    for (Language l : {Language::Japanese, Language::English})
        EXPECT_EQ(ParseLanguage(LanguageName(l)), l);
}

}  // namespace
}  // namespace korvane
