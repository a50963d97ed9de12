#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb_test_util.h"

namespace korvane {
namespace {

#ifdef KORVANE_DATABUILD_PATH

struct RunResult {
    int exitCode;
    std::string output;
};

RunResult runBuilder(const std::string& in, const std::string& out) {
    std::string command =
        std::string("'") + KORVANE_DATABUILD_PATH + "' '" + in + "' '" + out + "' 2>&1";
    RunResult result{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) result.output += buffer;
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(DataBuild, BuildsAFileTheLoaderAccepts) {
    testing::TempDir dir;
    const std::string out = dir.file("Data/Kapok/Kapok_0310.dat");
    RunResult r =
        runBuilder(std::string(KORVANE_SOURCE_DIR) + "/tests/fixtures/databuild/small.json", out);
    ASSERT_EQ(r.exitCode, 0) << r.output;

    DriveRecord record(1);
    record.seriesCode = 11;
    record.version = 0x0310;
    CDataFile file;
    ASSERT_EQ(file.Load(&record, dir.file("Data")), 1) << file.GetStatusText();
    EXPECT_EQ(file.title, "Kapok test file");
    EXPECT_EQ(file.GetGroupName(0), "基本");
    EXPECT_EQ(file.GetTotalItemCount(), 6);
    const CItem* max = file.FindItem(0x1201);
    ASSERT_NE(max, nullptr);
    EXPECT_EQ(max->placeholderFlag, 1u);
    EXPECT_EQ(max->writable, 1u);
    EXPECT_EQ(max->runWritable, 0u);
    EXPECT_EQ(file.FindItem(4610)->runWritable, 1u);
    EXPECT_EQ(file.FindItem(0x1204)->minimum, -1000);
    EXPECT_EQ(file.FindItem(0x1204)->defaultValue, static_cast<std::uint32_t>(-5));
    EXPECT_EQ(file.FindItem(0x1301)->maximum, 0xFFFF);
    EXPECT_EQ(file.FindItem(0x1301)->writable, 0u);
    EXPECT_EQ(file.FindItem(0x1203)->GetOptionTexts()->at(1), "端子");
    EXPECT_EQ(file.types->Find("HEX4")->flags, 2);
}

TEST(DataBuild, RefusesDescriptionsItCannotTurnIntoAGoodFileAndSaysWhere) {
    const std::string head = R"({"title": "t", "series": 11, "version": "0x0310",
        "types": [{"name": "FREQ3", "unit": "Hz", "numerator": 1, "denominator": 100}],
        "option_lists": [{"name": "L", "texts": ["a"]}], )";
    auto withItem = [&](const std::string& item) {
        return head + R"("groups": [{"name": "g", "items": [)" + item + "]}]}";
    };
    struct Case {
        const char* name;
        std::string json;
        const char* mentions;
    } cases[] = {
        {"not JSON", "{", "parse"},
        {"unknown key", withItem(R"({"address": 1, "name": "n", "type": "FREQ3", "min": 0,
            "max": 1, "default": 0, "run_writeable": 1})"),
         "groups[0].items[0].run_writeable"},
        {"bad hex", withItem(R"({"address": "0x12G4", "name": "n", "type": "FREQ3", "min": 0,
            "max": 1, "default": 0})"),
         "groups[0].items[0].address"},
        {"address too big", withItem(R"({"address": 65536, "name": "n", "type": "FREQ3",
            "min": 0, "max": 1, "default": 0})"),
         "groups[0].items[0].address"},
        {"float", withItem(R"({"address": 1.5, "name": "n", "type": "FREQ3", "min": 0,
            "max": 1, "default": 0})"),
         "groups[0].items[0].address"},
        {"unknown type", withItem(R"({"address": 1, "name": "n", "type": "FREQ4", "min": 0,
            "max": 1, "default": 0})"),
         "groups[0].items[0].type"},
        {"unknown option list", withItem(R"({"address": 1, "name": "n", "type": "MSG",
            "options": "M", "min": 0, "max": 1, "default": 0})"),
         "groups[0].items[0].options"},
        {"min above max", withItem(R"({"address": 1, "name": "n", "type": "FREQ3", "min": 5,
            "max": 1, "default": 0})"),
         "groups[0].items[0]"},
        {"missing default", withItem(R"({"address": 1, "name": "n", "type": "FREQ3", "min": 0,
            "max": 1})"),
         "groups[0].items[0].default"},
        {"zero denominator", R"({"title": "t", "series": 11, "version": 1,
            "types": [{"name": "X", "denominator": 0}]})",
         "types[0].denominator"},
        {"duplicate type", R"({"title": "t", "series": 11, "version": 1,
            "types": [{"name": "X"}, {"name": "X"}]})",
         "types[1].name"},
        {"header words", R"({"title": "t", "series": 11, "version": 1, "header_words": [1, 2]})",
         "header_words"},
        {"missing version", R"({"title": "t", "series": 11})", "version"},
    };
    for (const Case& c : cases) {
        testing::TempDir dir;
        {
            std::ofstream in(dir.file("in.json"));
            in << c.json;
        }
        RunResult r = runBuilder(dir.file("in.json"), dir.file("out.dat"));
        EXPECT_EQ(r.exitCode, 1) << c.name << ": " << r.output;
        EXPECT_NE(r.output.find(c.mentions), std::string::npos) << c.name << ": " << r.output;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.dat"))) << c.name;
    }
}

#endif

}  // namespace
}  // namespace korvane
