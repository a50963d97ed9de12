#include "common/text.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(Text, Utf16AndUtf8ConvertBothWaysIncludingSurrogatePairs) {
    struct Case {
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {u"", ""},
        {u"ABC", "ABC"},
        {u"周波数", "周波数"},
        {u"\u00e9\u3000x", "\u00e9\u3000x"},
        {u"\U0001F600", "\U0001F600"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
    }
}

TEST(Text, DamagedInputBecomesReplacementCharactersWithoutLosingTheRest) {
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\uFFFDb");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00)}), "\uFFFD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', char16_t(0xD83D)}), "x\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xE3\x81"), u"\uFFFD\uFFFD");            // cut short
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(Text, Cp932DecodesJapaneseAndKeepsInvalidBytesAsLatin1) {
    struct Case {
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"Accel", "Accel"},
        {"\x82\xA0\x82\xA2", "あい"},
        {"\xB1\xB2", "ｱｲ"},      // half-width katakana, one byte each
        {"\x81\x60", "\uFF5E"},  // the code page's own mapping of the wave dash
        {"\x80", "\u0080"},
        {"a\xFF"
         "b",
         "a\u00FFb"},
        {"\x82\x20x", "\u0082 x"},  // a lead byte without a valid trail byte
        {"\x82", "\u0082"},         // a lead byte at the very end
        {std::string("\x00\x82\xA0", 3), std::string("\x00", 1) + "あ"},
    };
    for (const Case& c : cases) EXPECT_EQ(Cp932ToUtf8(c.bytes), c.utf8) << c.utf8;
}

TEST(Text, TrimRemovesAsciiIdeographicAndNoBreakSpaces) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {" \t\r\nName \n", "Name"},
        {"\u3000周波数\u3000", "周波数"},
        {"\u00a0A B\u00a0", "A B"},
        {"inner  spaces", "inner  spaces"},
    };
    for (const Case& c : cases) EXPECT_EQ(TrimWhitespace(c.in), c.out) << c.in;
}

// Only A-Z change: the bytes of a multi-byte character (some of which a Latin-1 locale would
// call upper case) pass through, so a lowered UTF-8 text stays the same text.
TEST(Text, AsciiLowerTouchesOnlyAsciiLetters) {
    EXPECT_EQ(AsciiLower("PAR.Usr-09_Z@["), "par.usr-09_z@[");
    EXPECT_EQ(AsciiLower("設定ÀÉ.XLSX"), "設定ÀÉ.xlsx");
    EXPECT_EQ(AsciiLower(std::string("\xC0\xDE", 2)), std::string("\xC0\xDE", 2));
}

TEST(Text, WidthsCountCharactersNotBytes) {
    EXPECT_EQ(Utf8CharCount("周波数"), 3u);
    EXPECT_EQ(Utf8CharCount("Hz"), 2u);
    EXPECT_EQ(PadRightChars("周波数", 5), "周波数  ");
    EXPECT_EQ(PadLeftChars("周波数", 5), "  周波数");
    EXPECT_EQ(PadRightChars("toolong", 3), "toolong");
}

}  // namespace
}  // namespace korvane
