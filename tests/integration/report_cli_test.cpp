// korvane-cli report against the sample data files: the workbook and web page of all groups, of
// one group with a parameter set's values and of a user group, read back rather than compared
// as bytes.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "integration/programs.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "unit/paradb/paradb_test_util.h"
#include "unit/report/report_file_reading.h"

namespace korvane::testing {
namespace {

using Json = nlohmann::json;

ProgramResult report(const std::string& out, std::vector<std::string> more) {
    std::vector<std::string> argv{
        KORVANE_CLI_PATH, "report", out,         "--data-dir", KORVANE_TEST_DATA_DIR,
        "--series",       "11",     "--version", "0x0311"};
    argv.insert(argv.end(), more.begin(), more.end());
    return RunProgram(argv);
}

// Item counts per group, in the data file's order, from the params listing.
std::vector<std::pair<std::string, int>> GroupSizes(const std::string& version = "0x0311") {
    ProgramResult r = RunProgram({KORVANE_CLI_PATH, "params", "--data-dir", KORVANE_TEST_DATA_DIR,
                                  "--series", "11", "--version", version});
    std::vector<std::pair<std::string, int>> sizes;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        const std::string group = Json::parse(line)["group"];
        if (sizes.empty() || sizes.back().first != group) sizes.emplace_back(group, 0);
        ++sizes.back().second;
    }
    return sizes;
}

// Texts of the workbook's cells by reference ("B8"), numbers as their format shows them.
std::map<std::string, std::string> WorkbookTexts(const std::string& path) {
    std::vector<std::string> strings;
    const std::string shared = Unzip(path, "xl/sharedStrings.xml");
    const std::regex siRe("<si><t(?: [^>]*)?>([^<]*)</t></si>");
    for (std::sregex_iterator it(shared.begin(), shared.end(), siRe), end; it != end; ++it)
        strings.push_back(XmlUnescape((*it)[1]));
    std::map<std::string, std::string> texts;
    const std::string xml = Unzip(path, "xl/worksheets/sheet1.xml");
    const std::regex cellRe("<c r=\"([A-Z]+[0-9]+)\"[^>]*t=\"s\"[^>]*><v>([0-9]+)</v></c>");
    for (std::sregex_iterator it(xml.begin(), xml.end(), cellRe), end; it != end; ++it)
        texts[(*it)[1]] = strings.at(std::stoul((*it)[2]));
    texts.merge(NumberCellsAsShown(path, xml));
    return texts;
}

TEST(ReportCli, AllGroupsWorkbookPlacesEveryGroupBlock) {
    TempDir tmp;
    const std::string out = tmp.file("all.xlsx");
    ProgramResult r = report(out, {"--company", "Kanto & Co", "--author", "山田"});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const auto sizes = GroupSizes();
    ASSERT_GE(sizes.size(), 3u);
    int rows = 7 - 2;
    for (const auto& [name, count] : sizes) rows += count + 4;
    EXPECT_EQ(Json::parse(r.out), (Json{{"file", out}, {"rows", rows}, {"format", "xlsx"}}));

    const auto texts = WorkbookTexts(out);
    EXPECT_EQ(texts.at("D2"), "Kanto & Co");
    EXPECT_EQ(texts.at("I3"), "山田");
    EXPECT_EQ(texts.at("D4"), "Kapok");
    EXPECT_EQ(texts.at("I4"), "Ver3.17");
    EXPECT_EQ(texts.at("I5"), "OFF-LINE");
    int row = 8;
    for (const auto& [name, count] : sizes) {
        EXPECT_EQ(texts.at(CellRef(2, row)), "[ パラメータグループ名 : " + name + " ]");
        EXPECT_EQ(texts.at(CellRef(2, row + 1)), "住所");
        row += count + 4;
    }
    // The last group's last row is on the sheet.
    const std::string xml = Unzip(out, "xl/worksheets/sheet1.xml");
    EXPECT_NE(xml.find("<mergeCell ref=\"C" + std::to_string(rows) + ":E" + std::to_string(rows)),
              std::string::npos);
}

// The header texts the report window stored are the defaults; the command line overrides each.
TEST(ReportCli, HeaderTextsDefaultToTheWindowsStoredOnes) {
    TempDir tmp;
    const std::string conf = tmp.file("Korvane.conf");
    const std::string stored(
        "[Main]\nCompany%20Header=\"Kanto, Ltd \"\nDevision%20Header=\xE8\xA8\xAD\xE8"
        "\xA8\x88\\t2\nManager%20Header=@@Tanaka\n");
    writeFile(conf, Bytes(stored.begin(), stored.end()));
    struct Case {
        std::vector<std::string> options;
        const char *company, *division, *author;
    } cases[] = {
        {{}, "Kanto, Ltd ", "設計\t2", "@Tanaka"},
        {{"--author", "山田"}, "Kanto, Ltd ", "設計\t2", "山田"},
        {{"--company", "123456789012345678901234"}, "12345678901234567890", "設計\t2", "@Tanaka"},
    };
    for (const Case& c : cases) {
        const std::string out = tmp.file("header.xlsx");
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"--settings", conf});
        ProgramResult r = report(out, options);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto texts = WorkbookTexts(out);
        EXPECT_EQ(texts.at("D2"), c.company);
        EXPECT_EQ(texts.at("I2"), c.division);
        EXPECT_EQ(texts.at("I3"), c.author);
    }
    // No stored settings: empty header texts, and no failure.
    const std::string out = tmp.file("bare.xlsx");
    ProgramResult r = report(out, {"--settings", tmp.file("missing.conf")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(WorkbookTexts(out).count("D2"), 0u);
}

TEST(ReportCli, GroupPageShowsTheParameterSetsValues) {
    TempDir tmp;
    CParaArray set(11, 0x0311);
    set.Add(0x1003, 450);
    const std::string par = tmp.file("saved.par");
    ASSERT_TRUE(SaveParaFile(par, set));
    const std::string out = tmp.file("drive.htm");
    ProgramResult r = report(out, {"--file", par, "--group", "Drive Group"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Json::parse(r.out)["format"], "html");

    const std::string page = XmlUnescape(
        std::string(reinterpret_cast<const char*>(readFile(out).data()), readFile(out).size()));
    EXPECT_NE(page.find("[ パラメータグループ名 : Drive Group ]"), std::string::npos);
    // 0x1003 is item 3 of its group: its row carries the set's value, blue as changed.
    const std::regex rowRe(
        "<tr><td></td><td[^>]*>3</td><td[^>]*>[^<]*</td><td [^>]*color:#0000ff;\">45.0</td>");
    EXPECT_TRUE(std::regex_search(page, rowRe));
}

TEST(ReportCli, UserGroupReportAndRefusals) {
    TempDir tmp;
    UserGroup group;
    group.seriesCode = 11;
    group.version = 0x0311;
    group.AddEntry(0x1209, 2);
    group.AddEntry(0x1FFF, 5);  // unknown to the data file: no row
    group.AddEntry(0x1003, 450);
    const std::string usr = tmp.file("pumps.usr");
    ASSERT_TRUE(SaveUserGroupFile(usr, group));

    const std::string out = tmp.file("pumps.xlsx");
    ProgramResult r = report(out, {"--file", usr});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Json::parse(r.out)["rows"], 7 + 2 + 4 - 2);
    const auto texts = WorkbookTexts(out);
    EXPECT_EQ(texts.at("B8"), "[ ユーザグループ名 : pumps ]");
    EXPECT_EQ(texts.at("G11"), "45.0");

    struct Refusal {
        std::string out;
        std::vector<std::string> more;
        int exitCode;
    };
    const Refusal refusals[] = {
        {tmp.file("r.xlsx"), {"--group", "No Such Group"}, 1},
        {tmp.file("gone/r.xlsx"), {}, 1},
        {tmp.file("r.pdf"), {}, 2},
        {tmp.file("r.htm"), {"--file", usr, "--group", "Drive Group"}, 2},
        {tmp.file("r.htm"), {"--file", tmp.file("absent.usr")}, 1},
    };
    for (const Refusal& f : refusals) {
        ProgramResult refused = report(f.out, f.more);
        EXPECT_EQ(refused.exitCode, f.exitCode) << f.out << "\n" << refused.err;
        EXPECT_EQ(refused.out, "");
        EXPECT_FALSE(std::filesystem::exists(f.out)) << f.out;
    }
}

// The online form reads the reported groups from the drive first.
TEST(ReportCli, OnlineReportReadsTheDriveFirst) {
    SimProcess sim{{"--baud", "115200", "--drive", "3:11:0x0310:5:1"}};
    ASSERT_TRUE(sim.started());
    auto cli = [&](const std::string& out, std::vector<std::string> more) {
        std::vector<std::string> argv{KORVANE_CLI_PATH,
                                      "--port",
                                      sim.pty(),
                                      "--baud",
                                      "115200",
                                      "--timeout",
                                      "500",
                                      "--retries",
                                      "2",
                                      "report",
                                      out,
                                      "--data-dir",
                                      KORVANE_TEST_DATA_DIR};
        argv.insert(argv.end(), more.begin(), more.end());
        return RunProgram(argv);
    };
    TempDir tmp;
    const std::string one = tmp.file("drive.xlsx");
    ProgramResult r = cli(one, {"3", "--group", "Drive Group", "--division", "Line 2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int driveGroup = 0;
    for (const auto& [name, count] : GroupSizes("0x0310"))
        if (name == "Drive Group") driveGroup = count;
    EXPECT_EQ(Json::parse(r.out)["rows"], 7 + driveGroup + 4 - 2);
    const auto texts = WorkbookTexts(one);
    EXPECT_EQ(texts.at("D4"), "3 : Kapok");
    EXPECT_EQ(texts.at("I2"), "Line 2");
    EXPECT_EQ(texts.at("I5"), "ON-LINE");
    EXPECT_EQ(texts.at("C12"), "Acceleration Time");
    EXPECT_EQ(texts.at("F12"), "20.0");  // read from the drive, not left blank

    const std::string nobody = tmp.file("nobody.htm");
    EXPECT_EQ(cli(nobody, {"9"}).exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(nobody));
    EXPECT_EQ(cli(nobody, {"3", "--group", "No Such Group"}).exitCode, 1);
    EXPECT_EQ(cli(nobody, {"3", "--series", "11"}).exitCode, 2);
}

}  // namespace
}  // namespace korvane::testing
