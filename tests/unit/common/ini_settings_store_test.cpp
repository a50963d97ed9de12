#include "common/ini_settings_store.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

// Each line as Qt 6.4's QSettings wrote it, or read it back, beside the text it stands for.
TEST(IniSettingsStore, ReadsValuesAsQtWritesAndReadsThem) {
    struct Case {
        const char* line;
        const char* text;
    } cases[] = {
        {"v=plain", "plain"},
        {"v=\xE6\xA0\xAA\xE5\xBC\x8F\xE4\xBC\x9A\xE7\xA4\xBE \xE3\x82\xAA", "株式会社 オ"},
        {"v=\" lead, trail ; x=y \"", " lead, trail ; x=y "},
        {"v=a\\\\b\\\"c\\nd\\te@f", "a\\b\"c\nd\te@f"},
        {"v=@@start", "@start"},
        {"v=", ""},
        {"v=\"  \"", "  "},
        {"v=x\\x1\\x61\\x62\x7f"
         "9z",
         "x\x01"
         "ab\x7f"
         "9z"},
        {"v = spaced value  ", "spaced value"},
        {"v=\"quoted\" tail", "quotedtail"},
        {"v=\\x41\\x3042\\101z",
         "Aあ"
         "Az"},
        {"v=x ; y", "x"},
        {"v=; comment", ""},
        {"v = \"a\" \"b\"", "ab"},
        {"v=line\\\n continued", "line continued"},
        {"v=one, two", ""},  // a list: no single text
        {"v=\"unterminated", "unterminated"},
        {"v=trailing\\", "trailing"},
        {"v=tail\\\\", "tail\\"},
    };
    for (const Case& c : cases) {
        const auto store = IniSettingsStore::Parse(std::string("[Main]\n") + c.line + "\n");
        EXPECT_EQ(store.getString("Main", "v", "absent"), c.text) << c.line;
    }
}

TEST(IniSettingsStore, DecodesSectionAndKeyNames) {
    const auto store = IniSettingsStore::Parse(
        "[%General]\r\nk=g\r\n[General]\ntop=1\n[Main]\nCompany%20Header=c\n%U65E5%U672C=jp\n"
        "hash%23semi%3B=#x\n%E9=e\n[Sec%25tion]\nk%3Dy%3Bz=v\na\\b=slash\n");
    struct Case {
        const char* section;
        const char* key;
        const char* text;
    } cases[] = {
        {"General", "k", "g"},           {"", "top", "1"},
        {"Main", "Company Header", "c"}, {"Main", "日本", "jp"},
        {"Main", "hash#semi;", "#x"},    {"Main", "\u00e9", "e"},
        {"Sec%tion", "k=y;z", "v"},      {"Sec%tion", "a/b", "slash"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(store.getString(c.section, c.key, "absent"), c.text) << c.section << "/" << c.key;
}

TEST(IniSettingsStore, NumbersBytesAndWhatIsNotUnderstood) {
    const auto store = IniSettingsStore::Parse(
        "; a comment\n# another\n[Main]\nInt=42\nNeg=-7\nBig=99999999999\nWord=12abc\n"
        "Bytes=@ByteArray(\\x1\\x2\\0z)\nRect=@Rect(1 2 3 4)\nList=1, 2\nno separator\n=v\n");
    EXPECT_EQ(store.getInt("Main", "Int", -1), 42);
    EXPECT_EQ(store.getInt("Main", "Neg", -1), -7);
    for (const char* key : {"Big", "Word", "Bytes", "Rect", "List", "Missing"})
        EXPECT_EQ(store.getInt("Main", key, -1), -1) << key;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(store.getBytes("Main", "Bytes", bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2, 0, 'z'}));
    EXPECT_FALSE(store.getBytes("Main", "Rect", bytes));
    EXPECT_EQ(store.getString("Main", "Rect", "absent"), "absent");
    EXPECT_EQ(store.getString("", "", "absent"), "absent");
}

TEST(IniSettingsStore, AMissingFileIsAnEmptyStore) {
    EXPECT_TRUE(IniSettingsStore::Load("/nonexistent/korvane/none.conf").empty());
}

}  // namespace
}  // namespace korvane
