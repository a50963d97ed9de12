#include "paradb/model_tables.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace korvane {
namespace {

const std::string kUnknown = "未知";

TEST(SeriesName, NamesEveryCodeAndFallsBackForCodesOutsideTheTable) {
    const std::vector<std::string> names = {
        "Alder", "Birch", "Cedar", "Dogwood", "Elm",   "Fir",    "------",
        "Gum",   "Hazel", "Ivy",   "Juniper", "Kapok", "------", "Larch",
    };
    for (int code = 0; code < static_cast<int>(names.size()); ++code) {
        EXPECT_EQ(SeriesName(code), names[static_cast<std::size_t>(code)]) << code;
    }
    for (int code : {14, 255, 0xFFFF, INT_MAX, -1, INT_MIN}) {
        EXPECT_EQ(SeriesName(code), kUnknown) << code;
    }
}

TEST(GeneralWord, GivesTheThreeWordsAndUnknownForAnyOtherIndex) {
    EXPECT_EQ(GeneralWord(kWordUnknown), "未知");
    EXPECT_EQ(GeneralWord(kWordNoConnection), "接続なし");
    EXPECT_EQ(GeneralWord(kWordNotSupported), "サポートなし");
    for (int index : {3, 100, -1, INT_MIN}) EXPECT_EQ(GeneralWord(index), kUnknown) << index;
}

// Every entry of each capacity table, in both voltage classes, and the first code past its end.
TEST(CapacityText, EveryTableEntryCarriesTheVoltageClassSuffix) {
    const std::vector<std::string> general = {
        "0.75kW", "1.5kW", "2.2kW", "3.7kW", "5.5kW", "7.5kW", "11kW", "15kW",
        "18.5kW", "22kW",  "30kW",  "37kW",  "45kW",  "55kW",  "75kW", "90kW",
        "110kW",  "132kW", "160kW", "220kW", "280kW", "375kW"};
    const std::vector<std::string> juniper = {"0.75kW", "0.75kW-NC", "1.5kW",  "2.2kW",
                                              "3.7kW",  "4.0kW",     "5.5kW",  "7.5kW",
                                              "11kW",   "15kW",      "18.5kW", "22kW"};
    const std::vector<std::string> gum = {"0.75kW", "1.5kW", "2.2kW", "3.7kW", "4.0kW"};
    const std::vector<std::string> larch = {"100W", "200W", "400W"};
    struct Case {
        int series;
        int version;
        const std::vector<std::string>* table;
    };
    const Case cases[] = {
        {4, 0x0100, &general}, {5, 0x0100, &general},  {8, 0x0010, &general},
        {9, 0x0100, &general}, {11, 0x0100, &general}, {0, 0, &general},
        {7, 0x04FF, &general}, {10, 0x0015, &juniper}, {7, 0x0500, &gum},
        {13, 0x0100, &larch},
    };
    for (const Case& c : cases) {
        const auto& table = *c.table;
        for (std::size_t code = 0; code < table.size(); ++code) {
            const int i = static_cast<int>(code);
            EXPECT_EQ(CapacityText(c.series, c.version, i, 0), table[code] + "-2") << c.series;
            EXPECT_EQ(CapacityText(c.series, c.version, i, 1), table[code] + "-4") << c.series;
        }
        EXPECT_EQ(CapacityText(c.series, c.version, static_cast<int>(table.size()), 1), kUnknown)
            << c.series;
    }
}

TEST(CapacityText, SpecialCodesVersionsAndUntrustedCodes) {
    struct Case {
        int series;
        int version;
        int code;
        int voltage;
        const char* expected;
    };
    const Case cases[] = {
        {4, 0x0100, 3, 1, "3.7kW-4"},
        {4, 0x0100, 3, 0, "3.7kW-2"},
        {4, 0x0100, 4, 2, "5.5kW-4"},  // any nonzero voltage code is the 400 V class
        {10, 0x0015, 0xFFFF, 0, "0.4kW-2"},
        {10, 0x0015, 0xFFFF, 1, "0.4kW-4"},
        {8, 0x0010, 0xFFFF, 0, "0.4kW-2"},
        {8, 0x0010, 0xFFFF, 1, "0.4kW-4"},
        {13, 0x0100, 0xFFFF, 0, "100W-2"},
        {13, 0x0100, 0xFFFF, 1, "100W-4"},
        {4, 0x0100, 0xFFFF, 1, "未知"},
        {5, 0x0100, 0xFFFF, 0, "未知"},
        // Newer Gum drives have their code lowered by one, so the smallest arrives as -1.
        {7, 0x0500, -1, 0, "0.4kW-2"},
        {7, 0x0500, -1, 1, "0.4kW-4"},
        {7, 0x04FF, -1, 0, "未知"},
        {7, 0x0500, 0xFFFF, 0, "未知"},
        {7, 0x04FF, 4, 0, "5.5kW-2"},
        {7, 0x0500, 4, 0, "4.0kW-2"},
        {10, 0x0015, -1, 1, "未知"},
        {13, 0x0100, -1, 1, "未知"},
        {4, 0x0100, -1, 1, "未知"},
        {4, 0x0100, INT_MAX, 1, "未知"},
        {4, 0x0100, INT_MIN, 1, "未知"},
        {99, 0, 21, 1, "375kW-4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CapacityText(c.series, c.version, c.code, c.voltage), c.expected)
            << "series " << c.series << " version " << c.version << " code " << c.code;
    }
}

TEST(VersionText, FormatsTheVersionWordAsEachSeriesShowsIt) {
    struct Case {
        int series;
        int version;
        const char* expected;
    };
    const Case cases[] = {
        {11, 0x0312, "3.18"},
        {4, 0x0312, "3.18"},
        {4, 0x0105, "1.05"},
        {5, 0x0312, "3.12"},
        {5, 0x01AB, "1.AB"},
        {5, 0x0105, "1.5"},
        {5, 0x00FF, "0.255"},
        {5, 0x0005, "0.05"},
        {10, 0x0312, "1.2"},
        {10, 0x0015, "1.5"},
        {8, 0x00AB, "10.11"},
        {9, 0x0312, "3.18"},
        {9, 0x0105, "1.5"},
        {13, 0x0312, "3.12"},
        {13, 0x01AB, "1.ab"},
        {7, 0x0312, "未知"},
        {0, 0x0312, "未知"},
        {-1, 0x0312, "未知"},
        // Bits above the word are not part of the version.
        {4, 0x12345, "35.69"},
        {4, -1, "255.255"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionText(c.series, c.version), c.expected)
            << "series " << c.series << " version " << c.version;
    }
}

TEST(StatusText, RunStateWithRampOrBrakingUnlessTripped) {
    struct Case {
        int series;
        int status;
        const char* expected;
    };
    const Case cases[] = {
        {4, 0x0000, "停止"},           {4, 0x0001, "停止"},
        {4, 0x0003, "順方向"},         {4, 0x0004, "逆方向"},
        {4, 0x0006, "順方向"},         {4, 0x0008, "障害"},
        {4, 0x0018, "障害"},           {4, 0x001A, "順方向"},
        {4, 0x0088, "障害"},           {4, 0x0012, "順方向 加速中…"},
        {4, 0x0024, "逆方向 減速中…"}, {4, 0x0031, "停止 加速中…"},
        {4, 0x0081, "停止DC制動中…"},  {10, 0x0082, "順方向DC制動中…"},
        {4, 0x00A1, "停止 減速中…"},   {5, 0x0081, "停止"},
        {5, 0x00A1, "停止 減速中…"},   {5, 0x0012, "順方向 加速中…"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatusText(c.series, c.status), c.expected)
            << "series " << c.series << " status " << c.status;
    }
}

}  // namespace
}  // namespace korvane
