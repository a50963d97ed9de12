#include "paradb/value_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "paradb/data_file.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {

CType MakeType(std::string name, std::string unit, std::uint32_t n, std::uint32_t d,
               std::uint8_t flags = 0) {
    CType t;
    t.name = std::move(name);
    t.unit = std::move(unit);
    t.numerator = n;
    t.denominator = d;
    t.flags = flags;
    t.numeratorD = n;
    t.denominatorD = d;
    return t;
}

// One drive with its data file and one group, wired the way a load leaves them.
struct Drive {
    explicit Drive(int station = 1) : record(station) {
        file.drive = &record;
        group.dataFile = &file;
    }
    Drive(const Drive&) = delete;

    CItem Item(const CType& type, std::int32_t min, std::int32_t max, std::uint32_t value) {
        CItem item;
        item.typeName = type.name;
        item.type = &type;
        item.minimum = min;
        item.maximum = max;
        item.value = value;
        item.readState = 1;
        item.group = &group;
        return item;
    }
    CItem Option(const MessageTable& mess, std::int32_t min, std::int32_t max,
                 std::uint32_t value) {
        CItem item;
        item.typeName = "MSG";
        item.optionListName = mess.name;
        item.optionFlag = kItemOptionFlag;
        item.mess = &mess;
        item.minimum = min;
        item.maximum = max;
        item.value = value;
        item.readState = 1;
        item.group = &group;
        return item;
    }

    DriveRecord record;
    CDataFile file;
    CGroup group;
};

TEST(ValueCodec, FormatsScaledSignedHexAndBinaryValues) {
    struct Case {
        const char* what;
        CType type;
        std::int32_t min;
        std::uint32_t raw;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"hundredths", MakeType("FREQ1", "Hz", 1, 100), 0, 6000, "60.00"},
        {"signed hundredths", MakeType("FREQ1", "Hz", 1, 100), -1, 0xFFFF, "-0.01"},
        {"signed tenths positive", MakeType("V", "V", 1, 10), -100, 6000, "600.0"},
        {"signed tenths negative", MakeType("V", "V", 1, 10), -100, 0xE890, "-600.0"},
        {"ten-thousandths", MakeType("A", "A", 1, 10000), 0, 5, "0.0005"},
        {"numerator scales", MakeType("P", "%", 3, 10), 0, 7, "2.1"},
        {"denominator 5 truncates", MakeType("Q", "", 1, 5), 0, 12, "2"},
        {"denominator 5 negative truncates toward zero", MakeType("Q", "", 1, 5), -10, 0xFFF4,
         "-2"},
        {"hex", MakeType("H", "", 4, 4, kTypeFlagHex), 0, 0x1A, "0x001A"},
        {"binary", MakeType("B", "", 8, 1, kTypeFlagBinary), 0, 0x81, "b10000001"},
        {"binary 4 bits", MakeType("B", "", 4, 1, kTypeFlagBinary), 0, 5, "b0101"},
        // Untrusted data-file numbers: a zero scale counts as 1, widths are capped.
        {"zero denominator", MakeType("Z", "", 1, 0), 0, 250, "250"},
        {"zero numerator", MakeType("Z", "", 0, 10), 0, 250, "25.0"},
        {"huge hex width", MakeType("H", "", 0xFFFFFFFF, 0xFFFFFFFF, kTypeFlagHex), 0, 0x1A,
         "0x000000000000001A"},
        {"huge bit count", MakeType("B", "", 0xFFFFFFFF, 1, kTypeFlagBinary), 0, 1,
         "b00000000000000000000000000000001"},
    };
    for (const auto& c : cases) {
        Drive drive;
        CItem item = drive.Item(c.type, c.min, 0xFFFF, c.raw);
        EXPECT_EQ(FormatValue(item, c.raw), c.text) << c.what;
        EXPECT_EQ(GetUnitText(item), c.type.unit) << c.what;
    }
}

TEST(ValueCodec, FormatsLargeStoredLimitsWithoutWrapping) {
    Drive drive;
    CType whole = MakeType("X", "", 3, 1);
    CItem big = drive.Item(whole, 0, std::numeric_limits<std::int32_t>::max(), 0);
    big.defaultValue = 0xFFFFFFFF;
    EXPECT_EQ(FormatMaximum(big), "6442450941");
    EXPECT_EQ(FormatDefault(big), "12884901885");
}

TEST(ValueCodec, FrequencyFollowsTheDrivesRpmDisplay) {
    struct Case {
        const char* what;
        int station;
        int speedMode;  // common word 0x001A
        int poles;      // common word 0x001B
        const char* typeName;
        std::int32_t min;
        std::uint32_t raw;
        const char* text;
        const char* unit;
    };
    const std::vector<Case> cases = {
        {"rpm", 1, 1, 4, "FREQ3", 0, 6000, "1800", "rpm"},
        {"rpm truncates twice", 1, 1, 4, "FREQ3", 0, 6099, "1829", "rpm"},
        {"six poles", 1, 1, 6, "FREQ3", 0, 5000, "1000", "rpm"},
        {"signed rpm", 200, 1, 4, "FREQ3", -1, 0xE890, "-1800", "rpm"},
        {"Hz display mode", 1, 0, 4, "FREQ3", 0, 6000, "60.00", "Hz"},
        {"offline record", 256, 1, 4, "FREQ3", 0, 6000, "60.00", "Hz"},
        {"pole count unknown", 1, 1, 0, "FREQ3", 0, 6000, "60.00", "Hz"},
        {"another frequency type", 1, 1, 4, "FREQ1", 0, 6000, "60.00", "Hz"},
    };
    for (const auto& c : cases) {
        Drive drive(c.station);
        drive.record.speedDisplayMode = c.speedMode;
        drive.record.motorPoles = c.poles;
        CType type = MakeType(c.typeName, "Hz", 1, 100);
        CItem item = drive.Item(type, c.min, 40000, c.raw);
        EXPECT_EQ(FormatValue(item, c.raw), c.text) << c.what;
        EXPECT_EQ(GetUnitText(item), c.unit) << c.what;
        EXPECT_EQ(UsesRpmDisplay(item), std::string(c.unit) == "rpm") << c.what;
    }
}

TEST(ValueCodec, RpmOfALargeLimitDoesNotOverflow) {
    Drive drive;
    drive.record.speedDisplayMode = 1;
    drive.record.motorPoles = 2;
    CType type = MakeType("FREQ3", "Hz", 1, 100);
    CItem item = drive.Item(type, 0, std::numeric_limits<std::int32_t>::max(), 0);
    EXPECT_EQ(FormatMaximum(item), "1288490188");
    EXPECT_EQ(FormatMinimum(item), "0");
    EXPECT_EQ(GetDecimals(item), 0);
}

TEST(ValueCodec, DecimalsFollowTheDenominator) {
    const std::vector<std::pair<std::uint32_t, int>> cases = {
        {1, 0}, {10, 1}, {100, 2}, {1000, 3}, {10000, 4}, {5, 0}, {0, 0}, {100000, 0}};
    Drive drive;
    for (auto [d, decimals] : cases) {
        CType type = MakeType("T", "", 1, d);
        EXPECT_EQ(GetDecimals(drive.Item(type, 0, 1, 0)), decimals) << d;
    }
}

TEST(ValueCodec, LiveValuesShowOnlyOnceRead) {
    struct Case {
        int station;
        std::uint32_t readState;
        bool force;
        const char* text;
    };
    const std::vector<Case> cases = {
        {1, 0, false, ""},        {1, 2, false, ""},        {1, 1, false, "60.00"},
        {1, 0, true, "60.00"},    {1, 2, true, "60.00"},    {255, 0, false, ""},
        {256, 0, false, "60.00"}, {256, 2, false, "60.00"},
    };
    CType type = MakeType("FREQ1", "Hz", 1, 100);
    MessageTable mess{"M", {"a", "b"}};
    for (const auto& c : cases) {
        Drive drive(c.station);
        CItem item = drive.Item(type, 0, 40000, 6000);
        item.readState = c.readState;
        EXPECT_EQ(FormatValue(item, item.value, c.force), c.text)
            << c.station << "/" << c.readState << "/" << c.force;
        CItem option = drive.Option(mess, 0, 1, 1);
        option.readState = c.readState;
        EXPECT_EQ(FormatValue(option, 1, c.force), *c.text ? "b" : "")
            << c.station << "/" << c.readState << "/" << c.force;
    }
    // An item that belongs to no drive has nothing live about it.
    CItem loose;
    loose.type = &type;
    EXPECT_EQ(FormatValue(loose, 6000), "60.00");
}

TEST(ValueCodec, OptionListsShowTextsInRangeAndNumbersOutside) {
    struct Case {
        std::int32_t min;
        std::int32_t max;
        std::uint32_t raw;
        const char* text;
    };
    const std::vector<Case> cases = {
        {0, 5, 0, "Stop"},        {0, 5, 2, "Coast"}, {0, 5, 3, "3"},
        {0, 5, 4, "4"},           {1, 5, 0, "0"},     {0, 1, 2, "2"},
        {0, 5, 0xFFFFFFFF, "-1"}, {-1, 5, 1, "1"},  // a negative minimum is a huge unsigned bound
    };
    MessageTable mess{"STOPMODE", {"Stop", "Ramp", "Coast"}};
    for (const auto& c : cases) {
        Drive drive;
        CItem item = drive.Option(mess, c.min, c.max, c.raw);
        item.defaultValue = c.raw;
        EXPECT_EQ(FormatValue(item, c.raw), c.text) << c.raw;
        EXPECT_EQ(FormatDefault(item), c.text) << c.raw;
    }
    Drive drive;
    CItem item = drive.Option(mess, 0, 5, 0);
    EXPECT_EQ(FormatMinimum(item), "0");
    EXPECT_EQ(FormatMaximum(item), "5");
    EXPECT_EQ(GetUnitText(item), "");
    EXPECT_EQ(GetDecimals(item), 0);
    EXPECT_EQ(FormatRaw(item, 1, false), "");
}

TEST(ValueCodec, FindsOptionIndexByExactText) {
    MessageTable mess{"M", {"Stop", "Ramp", "Coast", "Ramp"}};
    Drive drive;
    CItem item = drive.Option(mess, 0, 3, 0);
    const std::vector<std::pair<const char*, int>> cases = {
        {"Stop", 0}, {"Ramp", 1}, {"Coast", 2}, {"coast", -1}, {"Coast ", -1}, {"", -1}};
    for (auto [text, index] : cases) EXPECT_EQ(FindOptionIndex(item, text), index) << text;

    CType type = MakeType("T", "", 1, 1);
    EXPECT_EQ(FindOptionIndex(drive.Item(type, 0, 1, 0), "Stop"), -1);
}

TEST(ValueCodec, ItemWithoutFormatShowsNothingAndKeepsItsValue) {
    Drive drive(256);
    CItem noType;
    noType.group = &drive.group;
    CItem noList;
    noList.group = &drive.group;
    noList.optionFlag = kItemOptionFlag;
    for (CItem* item : {&noType, &noList}) {
        item->minimum = 0;
        item->maximum = 100;
        item->value = 7;
        item->defaultValue = 3;
        EXPECT_EQ(FormatValue(*item, 7, true), "");
        EXPECT_EQ(FormatMinimum(*item), "");
        EXPECT_EQ(FormatMaximum(*item), "");
        EXPECT_EQ(FormatDefault(*item), "");
        EXPECT_EQ(GetUnitText(*item), "");
        EXPECT_EQ(RawToDisplay(*item, 7), 0.0);
        EXPECT_EQ(SignedRawToDisplay(*item, 7), 0.0);
        EXPECT_EQ(FindOptionIndex(*item, ""), -1);
        EXPECT_FALSE(IsInEntryRange(*item, 5));
        SetValueFromDisplay(*item, 50);
        EXPECT_EQ(item->value, 7u);
    }
}

TEST(ValueCodec, RawToDisplayRoundsScaledValues) {
    struct Case {
        const char* what;
        CType type;
        bool option;
        std::uint32_t raw;
        double unsignedValue;
        double signedValue;
    };
    MessageTable mess{"M", {"a"}};
    const std::vector<Case> cases = {
        {"hundredths", MakeType("F", "", 1, 100), false, 6000, 60.0, 60.0},
        {"negative word", MakeType("F", "", 1, 100), false, 0xFFFF, 655.35, -0.01},
        {"numerator", MakeType("F", "", 3, 10), false, 7, 2.1, 2.1},
        {"binary is raw", MakeType("B", "", 8, 1, kTypeFlagBinary), false, 0x81, 129.0, 129.0},
        {"binary all ones", MakeType("B", "", 8, 1, kTypeFlagBinary), false, 0xFFFFFFFF,
         4294967295.0, -1.0},
        {"option is raw", MakeType("", "", 1, 1), true, 0xFFFFFFFF, 4294967295.0, -1.0},
        {"zero denominator", MakeType("Z", "", 1, 0), false, 7, 7.0, 7.0},
    };
    for (const auto& c : cases) {
        Drive drive;
        CItem item = c.option ? drive.Option(mess, 0, 1, 0) : drive.Item(c.type, 0, 1, 0);
        EXPECT_DOUBLE_EQ(RawToDisplay(item, c.raw), c.unsignedValue) << c.what;
        EXPECT_DOUBLE_EQ(SignedRawToDisplay(item, c.raw), c.signedValue) << c.what;
    }
}

TEST(ValueCodec, DisplayToRawRoundsHalfUpAndClamps) {
    struct Case {
        const char* what;
        CType type;
        bool option;
        double display;
        std::int32_t raw;
    };
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    MessageTable mess{"M", {"a"}};
    const std::vector<Case> cases = {
        {"half rounds up", MakeType("F", "", 1, 100), false, 0.125, 13},
        {"inexact decimal", MakeType("F", "", 1, 100), false, 12.34, 1234},
        {"negative", MakeType("F", "", 1, 100), false, -0.01, -1},
        {"negative half rounds up", MakeType("F", "", 1, 100), false, -0.005, 0},
        {"numerator divides", MakeType("F", "", 3, 10), false, 2.1, 7},
        {"binary truncates", MakeType("B", "", 8, 1, kTypeFlagBinary), false, 7.9, 7},
        {"option truncates", MakeType("", "", 1, 1), true, 2.7, 2},
        {"option truncates toward zero", MakeType("", "", 1, 1), true, -2.7, -2},
        {"zero numerator", MakeType("Z", "", 0, 100), false, 1.5, 150},
        {"too large", MakeType("F", "", 1, 100), false, 1e12, kMax},
        {"too small", MakeType("F", "", 1, 100), false, -1e12, kMin},
        {"infinite", MakeType("F", "", 1, 1), true, INFINITY, kMax},
        {"not a number", MakeType("F", "", 1, 100), false, NAN, 0},
    };
    for (const auto& c : cases) {
        Drive drive;
        CItem item = c.option ? drive.Option(mess, 0, 1, 0) : drive.Item(c.type, 0, 1, 0);
        EXPECT_EQ(DisplayToRaw(item, c.display), c.raw) << c.what;
    }
}

TEST(ValueCodec, SetValueFromDisplayRoundTripsSignedValues) {
    Drive drive(256);
    CType type = MakeType("F", "Hz", 1, 100);
    CItem item = drive.Item(type, -1000, 1000, 0);
    SetValueFromDisplay(item, -0.01);
    EXPECT_EQ(item.value, 0xFFFFFFFFu);
    EXPECT_EQ(FormatValue(item, item.value), "-0.01");
}

TEST(ValueCodec, EntryRangeUsesScaledLimitsForNumbersAndRawLimitsForBitsAndOptions) {
    struct Case {
        const char* what;
        CType type;
        bool option;
        std::int32_t min;
        std::int32_t max;
        double display;
        bool accepted;
    };
    MessageTable mess{"M", {"a", "b", "c"}};
    const CType hundredths = MakeType("F", "", 1, 100);
    const CType tenths = MakeType("F", "", 1, 10);
    const CType bits = MakeType("B", "", 8, 1, kTypeFlagBinary);
    const std::vector<Case> cases = {
        {"top", hundredths, false, 0, 40000, 400.0, true},
        {"above top", hundredths, false, 0, 40000, 400.01, false},
        {"bottom", hundredths, false, 0, 40000, 0.0, true},
        {"below bottom", hundredths, false, 0, 40000, -0.01, false},
        {"signed bottom", tenths, false, -100, 100, -10.0, true},
        {"below signed bottom", tenths, false, -100, 100, -10.1, false},
        {"not a number", hundredths, false, 0, 40000, NAN, false},
        {"zero denominator", MakeType("Z", "", 1, 0), false, 0, 10, 10.0, true},
        {"bits top", bits, false, 0, 255, 255, true},
        {"bits not scaled by the bit count", bits, false, 0, 255, 2040, false},
        {"option top", hundredths, true, 0, 2, 2, true},
        {"option above top", hundredths, true, 0, 2, 3, false},
    };
    for (const auto& c : cases) {
        Drive drive;
        CItem item =
            c.option ? drive.Option(mess, c.min, c.max, 0) : drive.Item(c.type, c.min, c.max, 0);
        EXPECT_EQ(IsInEntryRange(item, c.display), c.accepted) << c.what;
    }
}

TEST(ValueCodec, AFileValueFitsOnlyWithinTheItemsWordAndRange) {
    struct Case {
        const char* what;
        std::int32_t min;
        std::int32_t max;
        std::uint32_t value;
        bool fits;
        const char* shown;
    };
    const CType tenths = MakeType("F", "Hz", 1, 10);
    const std::vector<Case> cases = {
        {"in range", 0, 6000, 100, true, "10.0"},
        {"top", 0, 6000, 6000, true, "600.0"},
        {"above the range", 0, 6000, 6001, false, "600.1"},
        {"upper bits set", 0, 6000, 0x10064, false, "0x00010064"},
        {"upper bits of an unsigned item", 0, 0xFFFF, 0xFFFF0064, false, "0xFFFF0064"},
        {"full unsigned word", 0, 0xFFFF, 0xFFFF, true, "6553.5"},
        {"signed, sign-extended", -100, 100, 0xFFFFFF9Cu, true, "-10.0"},
        {"signed, as a word", -100, 100, 0xFF9C, true, "-10.0"},
        {"signed, below the range", -100, 100, 0xFF9B, false, "-10.1"},
        {"signed, not a sign extension", -100, 100, 0x1FF9C, false, "0x0001FF9C"},
        {"reversed range checks the word only", 10, 0, 0x8000, true, "3276.8"},
        {"reversed range, still 16 bits", 10, 0, 0x10000, false, "0x00010000"},
    };
    for (const auto& c : cases) {
        Drive drive;
        const CItem item = drive.Item(tenths, c.min, c.max, 0);
        EXPECT_EQ(FitsItemWord(item, c.value), c.fits) << c.what;
        EXPECT_EQ(FormatFileValue(item, c.value), c.shown) << c.what;
    }
}

TEST(ValueCodec, EditorPaneTexts) {
    EXPECT_STREQ(FrequencyModeText(1), "FREQ MODE");
    EXPECT_STREQ(FrequencyModeText(-1), "FREQ MODE");
    EXPECT_STREQ(FrequencyModeText(0), "RPM MODE");
    const std::vector<std::pair<int, const char*>> cases = {{1, "TIME1 : 1 sec"},
                                                            {10, "TIME1 : 0.1 sec"},
                                                            {100, "TIME1 : 0.01 sec"},
                                                            {0, "TIME1 : 0.1 sec"},
                                                            {1000, "TIME1 : 0.1 sec"}};
    for (auto [divisor, text] : cases) EXPECT_STREQ(Time1ModeText(divisor), text) << divisor;
}

}  // namespace
}  // namespace korvane
