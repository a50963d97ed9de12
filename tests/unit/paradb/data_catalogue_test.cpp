#include "paradb/data_catalogue.h"

#include <gtest/gtest.h>

#include "common/format.h"
#include "paradb_test_util.h"

namespace korvane {
namespace {

using Versions = std::vector<std::uint16_t>;

TEST(VersionCatalogue, ListsHexadecimalVersionsOfEachSeriesInAscendingOrder) {
    testing::TempDir dir;
    for (const char* name : {"Kapok/Kapok_0311.dat", "Kapok/Kapok_0310.dat", "Kapok/Kapok_031G.dat",
                             "Kapok/Kapok_00A1.dat", "Kapok/Kapok_0312.txt",
                             "Kapok/Kapok_0313.dat.bak", "Kapok/Elm_0400.dat", "Kapok/Kapok_.dat",
                             "Elm/Elm_0102.dat", "Ivy/ivy_0100.dat", "Gum/Gum_0100.dat"}) {
        testing::writeFile(dir.file(name), {0});
    }
    std::filesystem::create_directories(dir.file("Fir/Fir_0200.dat"));  // a directory, not a file

    VersionCatalogue catalogue;
    catalogue.Build(dir.path());
    EXPECT_EQ(catalogue.Versions(11), (Versions{0x00A1, 0x0310, 0x0311}));
    EXPECT_EQ(catalogue.Versions(4), (Versions{0x0102}));
    EXPECT_EQ(catalogue.Versions(9), Versions{});
    EXPECT_EQ(catalogue.Versions(5), Versions{});
    EXPECT_EQ(catalogue.Versions(13), Versions{});  // no directory at all
    EXPECT_EQ(catalogue.Versions(7), Versions{});

    catalogue.Build(dir.path() + "/nowhere");
    EXPECT_EQ(catalogue.Versions(11), Versions{});
}

TEST(VersionCatalogue, TakesTheLastFourCharactersOfTheTitle) {
    VersionCatalogue catalogue;
    for (const char* name : {"Kapok_0320.dat", "Kapok_beta0310.dat", "Kapok_0310.dat",
                             "Kapok_ffff.dat", "Kapok_10.dat", "Kapok_0x12.dat"}) {
        catalogue.AddFileName(11, name);
    }
    EXPECT_EQ(catalogue.Versions(11), (Versions{0x0310, 0x0310, 0x0320, 0xFFFF}));
}

TEST(VersionCatalogue, ChoicesNameEverySeriesWithDataFilesAndFormatTheirVersions) {
    std::vector<std::pair<std::string, int>> series;
    for (const SeriesChoice& c : SeriesChoices()) series.emplace_back(c.name, c.seriesCode);
    EXPECT_EQ(series, (std::vector<std::pair<std::string, int>>{{"Elm", 4},
                                                                {"Fir", 5},
                                                                {"Hazel", 8},
                                                                {"Ivy", 9},
                                                                {"Juniper", 10},
                                                                {"Kapok", 11},
                                                                {"Larch", 13}}));

    VersionCatalogue catalogue;
    catalogue.AddFileName(11, "Kapok_0311.dat");
    catalogue.AddFileName(11, "Kapok_0310.dat");
    auto format = [](int seriesCode, int v) {
        return strprintf("%d:%d.%02d", seriesCode, v >> 8, v & 0xFF);
    };
    std::vector<VersionChoice> choices = VersionChoices(catalogue, 11, format);
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[0].text, "11:3.16");
    EXPECT_EQ(choices[0].version, 0x0310);
    EXPECT_EQ(choices[1].text, "11:3.17");
    EXPECT_TRUE(VersionChoices(catalogue, 4, format).empty());
    EXPECT_EQ(VersionChoices(catalogue, 11)[1].text, "3.17");
}

}  // namespace
}  // namespace korvane
