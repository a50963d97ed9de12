#include "app/command_line.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(CommandLine, HelpAndVersionAreAnsweredWithoutStartingAndOtherOptionsStart) {
    const struct Case {
        std::vector<std::string> args;
        const char* answerStartsWith;  // nullptr: the program starts
    } cases[] = {
        {{"korvane", "--help"}, "Usage: korvane"},
        {{"korvane", "--demo", "-h"}, "Usage: korvane"},
        {{"korvane", "--version"}, "Korvane 3.3\n"},
        {{"korvane", "-v", "--help"}, "Korvane 3.3\n"},
        {{"korvane"}, nullptr},
        {{"korvane", "--demo", "--app-dir", "/tmp/x"}, nullptr},
        {{"korvane", "--app-dir", "--help"}, nullptr},  // a directory of that name
        {{"korvane", "--", "--version"}, nullptr},
        {{"korvane", "-platform", "offscreen"}, nullptr},
        {{"korvane", "--lang", "--help"}, "korvane: --lang takes ja or en, not \"--help\""},
        {{"korvane", "--lang", "en", "--version"}, "Korvane 3.3\n"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        auto answer = AnswerWithoutDisplay(c.args);
        ASSERT_EQ(answer.has_value(), c.answerStartsWith != nullptr);
        if (!answer) continue;
        EXPECT_EQ(answer->exitCode, answer->toStandardError ? 2 : 0);
        EXPECT_EQ(answer->text.rfind(c.answerStartsWith, 0), 0u) << answer->text;
    }
}

TEST(CommandLine, OnlyADemoOptionMakesADemoStart) {
    const struct Case {
        std::vector<std::string> args;
        bool demo;
    } cases[] = {
        {{"korvane"}, false},
        {{"korvane", "--demo"}, true},
        {{"korvane", "--app-dir", "/tmp/x", "--demo"}, true},
        {{"korvane", "--app-dir", "--demo"}, false},  // a directory of that name
        {{"korvane", "--", "--demo"}, false},
        {{"korvane", "--demos"}, false},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(IsDemoStart(c.args), c.demo) << joined;
    }
}

TEST(CommandLine, LangTakesJaOrEnAndAnythingElseIsAUsageError) {
    const struct Case {
        std::vector<std::string> args;
        std::optional<std::string> value;
        bool usageError;
    } cases[] = {
        {{"korvane"}, std::nullopt, false},
        {{"korvane", "--lang", "en"}, "en", false},
        {{"korvane", "--lang=ja", "--demo"}, "ja", false},
        {{"korvane", "--lang", "ja", "--lang", "en"}, "en", false},
        {{"korvane", "--app-dir", "--lang", "--demo"}, std::nullopt, false},  // a directory
        {{"korvane", "--", "--lang", "xx"}, std::nullopt, false},
        {{"korvane", "--lang", "EN"}, "EN", true},
        {{"korvane", "--lang=english"}, "english", true},
        {{"korvane", "--lang="}, "", true},
        {{"korvane", "--demo", "--lang"}, std::nullopt, true},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        EXPECT_EQ(LanguageOption(c.args), c.value);
        const auto answer = AnswerWithoutDisplay(c.args);
        ASSERT_EQ(answer.has_value(), c.usageError);
        if (!answer) continue;
        EXPECT_EQ(answer->exitCode, 2);
        EXPECT_TRUE(answer->toStandardError);
        EXPECT_EQ(answer->text.rfind("korvane: --lang ", 0), 0u) << answer->text;
    }
}

TEST(CommandLine, HelpListsTheLanguageOption) {
    const auto answer = AnswerWithoutDisplay({"korvane", "--help"});
    ASSERT_TRUE(answer);
    EXPECT_NE(answer->text.find("--lang <ja|en>"), std::string::npos);
}

}  // namespace
}  // namespace korvane
