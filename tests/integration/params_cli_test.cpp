// korvane-cli params against the sample data files built beside it: the listing an offline
// editor shows, parameter sets and user groups read through it, and every way they are refused.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "integration/programs.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

using Json = nlohmann::json;

ProgramResult params(std::vector<std::string> args,
                     const std::string& dataDir = KORVANE_TEST_DATA_DIR) {
    std::vector<std::string> argv{KORVANE_CLI_PATH, "params", "--data-dir", dataDir};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
}

std::vector<Json> lines(const std::string& out) {
    std::vector<Json> parsed;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) parsed.push_back(Json::parse(line));
    return parsed;
}

// The listing by address; the sample files give every address once.
std::map<int, Json> byAddress(const std::string& out) {
    std::map<int, Json> m;
    for (auto& j : lines(out)) m[j["address"].get<int>()] = j;
    return m;
}

const std::vector<std::string> kKapok310{"--series", "11", "--version", "0x0310"};

std::vector<std::string> kapok(std::vector<std::string> more, const char* version = "0x0310") {
    std::vector<std::string> args{"--series", "11", "--version", version};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(ParamsCli, ListsEveryParameterWithTheTextsOfItsType) {
    ProgramResult r = params(kKapok310);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    auto all = lines(r.out);
    ASSERT_GT(all.size(), 200u);
    // The whole line, so that key order and quoting are checked too.
    std::istringstream in(r.out);
    std::string line, timeScale;
    while (std::getline(in, line)) {
        if (line.find("\"address\":4617,") != std::string::npos) timeScale = line;
    }
    EXPECT_EQ(timeScale,
              R"({"group":"Advanced Group","address":4617,"number":9,"name":"Acc/Dec Time Scale",)"
              R"("value":"0.1 sec","default":"0.1 sec","min":"0","max":"2","unit":"",)"
              R"("writable":true,"run_writable":false})");
    EXPECT_EQ(all.front()["group"], "Drive Group");
}

TEST(ParamsCli, FrequencyAndTime1ModesChangeNamesAndDecimals) {
    struct Case {
        std::vector<std::string> args;
        int address;
        const char* field;
        const char* text;
    } cases[] = {
        {kKapok310, 0x1001, "name", "Command Freq"},
        {kapok({"--freq-mode", "0"}), 0x1001, "name", "Command Speed"},
        {kapok({"--freq-mode", "0"}), 0x1006, "name", "Speed Reference Source"},
        {kKapok310, 0x1003, "value", "20.0"},
        {kapok({"--time1", "100"}), 0x1003, "value", "2.00"},
        {kapok({"--time1", "1"}), 0x1003, "max", "6000"},
        {kapok({"--time1", "100"}), 0x1004, "default", "3.00"},
        // A type other than TIME1 keeps its own scale whatever the TIME1 mode.
        {kapok({"--time1", "100"}), 0x1002, "min", "-180.0"},
        // The series whose drives always speak of frequency.
        {{"--series", "9", "--version", "0x0102", "--freq-mode", "0"},
         0x9247,
         "name",
         "Dwell Freq"},
        {kKapok310, 0x142C, "max", "b11111111111"},
        {kKapok310, 0x1347, "default", "0x0310"},
    };
    for (const auto& c : cases) {
        ProgramResult r = params(c.args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(byAddress(r.out).at(c.address)[c.field], c.text) << std::hex << c.address;
    }
}

// The values of a parameter set saved by the editor of the same model and version.
TEST(ParamsCli, ParameterSetValuesReplaceTheDefaults) {
    TempDir tmp;
    CParaArray set(11, 0x0310);
    set.Add(0x1003, 450);
    set.Add(0x1002, 0xFF9C);  // -100: the item's minimum is negative
    set.Add(0x1001, 40000);   // above 0x7FFF in an unsigned item
    set.Add(0x1FFF, 1);       // not a parameter of this model
    // An address beyond 16 bits must not land on the parameter its low bits name.
    set.Add(0x11003, 7);
    const std::string path = tmp.file("saved.par");
    ASSERT_TRUE(SaveParaFile(path, set));

    ProgramResult r = params(kapok({"--file", path}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto m = byAddress(r.out);
    EXPECT_EQ(m.at(0x1003)["value"], "45.0");
    EXPECT_EQ(m.at(0x1003)["default"], "20.0");
    EXPECT_EQ(m.at(0x1002)["value"], "-10.0");
    EXPECT_EQ(m.at(0x1001)["value"], "400.00");
    EXPECT_EQ(m.at(0x1004)["value"], "30.0");  // not in the set: its default
    EXPECT_EQ(m.count(0x1FFF), 0u);
}

TEST(ParamsCli, RefusedFilesPrintTheEditorsMessageAndFail) {
    TempDir tmp;
    auto savedPar = [&](int series, int version) {
        CParaArray set(series, version);
        set.Add(0x1003, 450);
        std::string path =
            tmp.file("set_" + std::to_string(series) + "_" + std::to_string(version) + ".par");
        EXPECT_TRUE(SaveParaFile(path, set));
        return path;
    };
    auto savedUsr = [&](int series, int version) {
        UserGroup group;
        group.seriesCode = series;
        group.version = version;
        group.AddEntry(0x1003, 450);
        std::string path =
            tmp.file("group_" + std::to_string(series) + "_" + std::to_string(version) + ".usr");
        EXPECT_TRUE(SaveUserGroupFile(path, group));
        return path;
    };
    const std::string junk = tmp.file("junk.par");
    writeFile(junk, {1, 2, 3, 4, 5, 6, 7, 8});
    const std::string junkUsr = tmp.file("junk.usr");
    writeFile(junkUsr, {0x6A, 0x3F, 0, 0, 11});  // the right magic, then cut short

    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> texts;
    } cases[] = {
        {kapok({"--file", savedPar(11, 0x0310)}, "0x0311"),
         {"インバータバージョンは異なっていますt", "3.17", "3.16"}},
        {kapok({"--file", savedPar(4, 0x020A)}), {"インバータモデルは異なっていますt"}},
        {kapok({"--file", junk}), {kParaFileOpenFailedText}},
        {kapok({"--file", tmp.file("absent.par")}), {kParaFileOpenFailedText}},
        {kapok({"--file", savedUsr(11, 0x0311)}), {kUserGroupVersionMismatchText}},
        {kapok({"--file", savedUsr(5, 0x0310)}), {kUserGroupSeriesMismatchText}},
        {kapok({"--file", junkUsr}), {kUserGroupOpenFailedText}},
        {kapok({"--file", tmp.file("absent.usr")}), {kUserGroupOpenFailedText}},
    };
    for (const auto& c : cases) {
        ProgramResult r = params(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args.back();
        EXPECT_EQ(r.out, "") << c.args.back();
        for (const auto& text : c.texts) EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    }
    // The version message names the editor's version before the file's.
    ProgramResult r = params(kapok({"--file", savedPar(11, 0x0310)}, "0x0311"));
    EXPECT_LT(r.err.find("3.17"), r.err.find("3.16")) << r.err;
}

TEST(ParamsCli, UserGroupListsItsKnownEntriesInOrderWithTheirStoredValues) {
    TempDir tmp;
    UserGroup group;
    group.seriesCode = 11;
    group.version = 0x0310;
    group.AddEntry(0x1209, 2);
    group.AddEntry(0x1FFF, 5);  // the data file lacks it: not listed
    group.AddEntry(0x1002, 0xFF9C);
    group.AddEntry(0x1001, 40000);
    group.AddEntry(0x1003, 450);
    const std::string path = tmp.file("my pumps.usr");
    ASSERT_TRUE(SaveUserGroupFile(path, group));

    ProgramResult r = params(kapok({"--file", path}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto got = lines(r.out);
    struct Row {
        int address;
        const char* value;
        const char* defaultText;
    } rows[] = {{0x1209, "1 sec", "0.1 sec"},
                {0x1002, "-10.0", "0.0"},
                {0x1001, "400.00", "0.00"},
                {0x1003, "45.0", "20.0"}};
    ASSERT_EQ(got.size(), std::size(rows));
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i]["group"], "my pumps");
        EXPECT_EQ(got[i]["address"], rows[i].address);
        EXPECT_EQ(got[i]["number"], rows[i].address & 0xFF);
        EXPECT_EQ(got[i]["value"], rows[i].value) << i;
        EXPECT_EQ(got[i]["default"], rows[i].defaultText) << i;
    }
}

TEST(ParamsCli, DataFilesThatDoNotLoadPrintTheirStatus) {
    TempDir empty;
    struct Case {
        std::vector<std::string> args;
        std::string dataDir;
        const char* text;
    } cases[] = {
        {{"--series", "11", "--version", "0x0999"},
         KORVANE_TEST_DATA_DIR,
         "データファイルを検出できません"},
        {kKapok310, empty.path(), "データファイルを検出できません"},
        {{"--series", "3", "--version", "0x0100"},
         KORVANE_TEST_DATA_DIR,
         "このモデルをサポートしていません"},
    };
    for (const auto& c : cases) {
        ProgramResult r = params(c.args, c.dataDir);
        EXPECT_EQ(r.exitCode, 1) << c.text;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
    }
}

TEST(ParamsCli, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--series", "11"},
        {"--version", "0x0310"},
        kapok({"--time1", "5"}),
        kapok({"--freq-mode", "2"}),
        kapok({"--file", "values.txt"}),
        kapok({"--file"}),
        kapok({"--color"}),
        {"--series", "eleven", "--version", "0x0310"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> argv{KORVANE_CLI_PATH, "params"};
        argv.insert(argv.end(), args.begin(), args.end());
        ProgramResult r = RunProgram(argv);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args.back());
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
}  // namespace korvane::testing
