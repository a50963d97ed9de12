#include "paradb/typed_value.h"

#include <gtest/gtest.h>

#include "unit/editor/editor_rig.h"

namespace korvane {
namespace {

using test::EditorRig;

TEST(ValueEntry, CommandLineTextsBecomeRawOrDisplayNumbers) {
    EditorRig rig;
    rig.AddGroup("Basic", {{0x1101, "Acc Time", "TIME1", 0, 6000},
                           {0x1103, "Run Freq", "FREQ3", 0, 40000},
                           {0x1104, "Lock", "MSG", 0, 1},
                           {0x1105, "Terminals", "BIT4", 0, 15},
                           {0x1106, "Mask", "HEX4", 0, 0xFFFF}});
    rig.record.speedDisplayMode = 1;
    rig.record.motorPoles = 4;
    struct Case {
        int address;
        const char* text;
        bool ok;
        bool raw;
        double number;
    } cases[] = {
        {0x1101, "20.5", true, false, 20.5},     {0x1101, "20.5 sec", true, false, 20.5},
        {0x1101, "20.5sec", true, false, 20.5},  {0x1101, "20.5 Hz", false, false, 0},
        {0x1101, "0x10", true, false, 16},       {0x1101, "-3", true, false, -3},
        {0x1101, "1e3", false, false, 0},        {0x1101, "nan", false, false, 0},
        {0x1101, "", false, false, 0},           {0x1101, "20.5 rpm", false, false, 0},
        {0x1103, "1800 rpm", true, false, 1800}, {0x1103, "1800", true, false, 1800},
        {0x1104, "Yes", true, true, 1},          {0x1104, "0", true, true, 0},
        {0x1104, "yes", false, false, 0},        {0x1104, "0.5", false, false, 0},
        {0x1105, "b0101", true, true, 5},        {0x1105, "0x0C", true, true, 12},
        {0x1105, "b0120", false, false, 0},      {0x1106, "0xBEEF", true, false, 0xBEEF},
    };
    for (const auto& c : cases) {
        auto v = ParseEnteredValue(rig.Item(c.address), c.text);
        ASSERT_EQ(v.has_value(), c.ok) << c.text;
        if (!v) continue;
        EXPECT_EQ(v->raw, c.raw) << c.text;
        EXPECT_DOUBLE_EQ(v->number, c.number) << c.text;
    }
}

TEST(ValueEntry, MoreDecimalsThanTheParameterHoldsAreRefusedNotRounded) {
    EditorRig rig;
    rig.AddGroup("Basic", {{0x1101, "Acc Time", "TIME1", 0, 6000},
                           {0x1102, "Offset", "NUM", -100, 100},
                           {0x1106, "Mask", "HEX4", 0, 0xFFFF}});
    struct Case {
        int address;
        const char* text;
        EntryProblem problem;
    } cases[] = {
        {0x1101, "12.3", EntryProblem::kNone},
        {0x1101, "12.300 sec", EntryProblem::kNone},
        {0x1101, "12.345", EntryProblem::kTooManyDecimals},
        {0x1101, "12.35sec", EntryProblem::kTooManyDecimals},
        {0x1102, "-4.0", EntryProblem::kNone},
        {0x1102, "-4.5", EntryProblem::kTooManyDecimals},
        {0x1106, "0x00FF", EntryProblem::kNone},
    };
    for (const auto& c : cases) {
        auto v = ParseEnteredValue(rig.Item(c.address), c.text);
        ASSERT_TRUE(v.has_value()) << c.text;
        EXPECT_EQ(v->problem, c.problem) << c.text;
    }
    const FieldPattern one{FieldPattern::Kind::kDecimal, 4, 1, false};
    EXPECT_EQ(ReadFieldNumber(one, "abc").problem, EntryProblem::kNotANumber);
    EXPECT_EQ(ReadFieldNumber(one, " 7.25 ").problem, EntryProblem::kTooManyDecimals);
    EXPECT_EQ(ReadFieldNumber(one, " 7.20 ").value, 7.2);
    EXPECT_EQ(EntryProblemText(EntryProblem::kTooManyDecimals, one),
              "小数点以下は1桁まで入力できます");
}

// One text means one word, whether typed in the edit dialog, the offline list or on the
// command line.
TEST(ValueEntry, TypedTextBecomesTheWordToWriteOrSaysWhyNot) {
    EditorRig rig;
    rig.AddGroup("Basic", {{0x1101, "Acc Time", "TIME1", 0, 6000},
                           {0x1102, "Offset", "NUM", -100, 100},
                           {0x1103, "Run Freq", "FREQ3", 0, 40000},
                           {0x1104, "Lock", "MSG", 0, 1},
                           {0x1105, "Terminals", "BIT4", 0, 12},
                           {0x1106, "Mask", "HEX4", 0, 0xFFFF}});
    rig.record.speedDisplayMode = 1;
    rig.record.motorPoles = 4;
    constexpr auto kOk = EntryProblem::kNone;
    constexpr auto kNaN = EntryProblem::kNotANumber;
    constexpr auto kDecimals = EntryProblem::kTooManyDecimals;
    constexpr auto kRange = EntryProblem::kOutOfRange;
    struct Case {
        int address;
        const char* text;
        EntryProblem problem;
        std::uint32_t word;
    } cases[] = {
        // Units: the parameter's own, with or without a blank; another is no value of it.
        {0x1101, "20.5", kOk, 205},
        {0x1101, " 20.5 sec ", kOk, 205},
        {0x1101, "20.5 Hz", kNaN, 0},
        {0x1101, "0x10", kOk, 160},
        {0x1101, "20.55", kDecimals, 0},
        {0x1101, "20.50", kOk, 205},
        {0x1101, "600.1", kRange, 0},
        {0x1101, "", kNaN, 0},
        {0x1102, "-10", kOk, 0xFFFFFFF6u},
        {0x1102, "-101", kRange, 0},
        {0x1102, "-4.5", kDecimals, 0},
        // Shown in rpm: the drive gets the frequency.
        {0x1103, "1800 rpm", kOk, 6000},
        {0x1103, "900", kOk, 3000},
        {0x1103, "12000", kOk, 40000},
        {0x1103, "12001", kRange, 0},
        // Option lists: the text or the index.
        {0x1104, "Yes", kOk, 1},
        {0x1104, "0", kOk, 0},
        {0x1104, "2", kRange, 0},
        {0x1104, "Maybe", kNaN, 0},
        // Bit strings and their hexadecimal word, checked raw.
        {0x1105, "b1100", kOk, 12},
        {0x1105, "0x0C", kOk, 12},
        {0x1105, "b1101", kRange, 0},
        {0x1105, "b0120", kNaN, 0},
        // Hexadecimal parameters read digits as they show them.
        {0x1106, "0xBEEF", kOk, 0xBEEF},
        {0x1106, "beef", kOk, 0xBEEF},
        {0x1106, "0x10000", kRange, 0},
        {0x1106, "0xG1", kNaN, 0},
    };
    for (const auto& c : cases) {
        const TypedWord typed = TypedTextToWord(rig.Item(c.address), c.text);
        EXPECT_EQ(typed.problem, c.problem) << c.text;
        if (typed.ok()) {
            EXPECT_EQ(typed.word, c.word) << c.text;
        }
    }
}

TEST(ValueEntry, FieldTextAndParseRoundTripEachPattern) {
    struct Case {
        FieldPattern pattern;
        double value;
        const char* text;
    } cases[] = {
        {{FieldPattern::Kind::kDecimal, 3, 2, false}, 60.0, "60.00"},
        {{FieldPattern::Kind::kDecimal, 5, 0, true}, -10.0, "-10"},
        {{FieldPattern::Kind::kHex, 4, 0, false}, 26.0, "0x001A"},
        {{FieldPattern::Kind::kBits, 4, 0, false}, 5.0, "b0101"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FieldText(c.pattern, c.value), c.text);
        auto back = ParseFieldNumber(c.pattern, c.text);
        ASSERT_TRUE(back) << c.text;
        EXPECT_DOUBLE_EQ(*back, c.value);
    }
    EXPECT_FALSE(ParseFieldNumber({FieldPattern::Kind::kHex, 4}, "0xG1"));
    EXPECT_FALSE(ParseFieldNumber({FieldPattern::Kind::kBits, 4}, "b2"));
    EXPECT_FALSE(ParseFieldNumber({}, "12abc"));
}

}  // namespace
}  // namespace korvane
