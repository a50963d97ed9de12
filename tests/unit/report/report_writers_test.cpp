#include "report/report_writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "../paradb/paradb_test_util.h"
#include "report_file_reading.h"
#include "report_test_data.h"

namespace korvane {
namespace {

using testing::CellRef;
using testing::NumberCellsAsShown;
using testing::ReportDrive;
using testing::TempDir;
using testing::Unzip;
using testing::XmlUnescape;

// A report with texts that need escaping in both formats.
ReportDocument SampleReport(ReportDrive& drive) {
    drive.item(0, 0).displayName = "Max <freq> & \"limit\"";
    drive.item(1, 1).value = 99;
    ReportDocument doc;
    doc.setNode({drive.record.station, ReportKind::kAllGroups, ""});
    ReportSource source = drive.source();
    source.header.company = "A&B <Co>";
    doc.refresh(source);
    return doc;
}

TEST(ReportXlsx, WorkbookHoldsTheSheetsJoinsTextsAndLook) {
    TempDir dir;
    ReportDrive drive({3, 4});
    const ReportDocument doc = SampleReport(drive);
    const ReportSheet& sheet = doc.sheet();
    const std::string path = dir.file("report.xlsx");
    if (!CanWriteReportXlsx()) GTEST_SKIP() << "this build writes no workbooks";
    const ReportExportResult result = WriteReportXlsx(sheet, path);
    ASSERT_TRUE(result.ok) << result.error;

    const std::string xml = Unzip(path, "xl/worksheets/sheet1.xml");
    ASSERT_FALSE(xml.empty());
    std::set<std::string> merges;
    const std::regex mergeRe("<mergeCell ref=\"([A-Z]+[0-9]+:[A-Z]+[0-9]+)\"/>");
    for (std::sregex_iterator it(xml.begin(), xml.end(), mergeRe), end; it != end; ++it)
        merges.insert((*it)[1]);
    std::set<std::string> expected;
    for (const ReportJoin& j : sheet.joins())
        expected.insert(CellRef(j.column, j.row) + ":" + CellRef(j.lastColumn(), j.lastRow()));
    EXPECT_EQ(merges, expected);
    EXPECT_TRUE(merges.count("B15:K15"));

    // Every text is a shared string; figures are numbers shown as the sheet shows them.
    std::vector<std::string> strings;
    const std::string shared = Unzip(path, "xl/sharedStrings.xml");
    const std::regex siRe("<si><t(?: [^>]*)?>([^<]*)</t></si>");
    for (std::sregex_iterator it(shared.begin(), shared.end(), siRe), end; it != end; ++it)
        strings.push_back(XmlUnescape((*it)[1]));
    std::map<std::string, std::string> texts;
    const std::regex cellRe("<c r=\"([A-Z]+[0-9]+)\"[^>]*t=\"s\"[^>]*><v>([0-9]+)</v></c>");
    for (std::sregex_iterator it(xml.begin(), xml.end(), cellRe), end; it != end; ++it)
        texts[(*it)[1]] = strings.at(std::stoul((*it)[2]));
    const std::map<std::string, std::string> numbers = NumberCellsAsShown(path, xml);
    std::map<std::string, std::string> wanted;
    std::map<std::string, std::string> wantedNumbers;
    for (int r = 1; r <= sheet.rowCount(); ++r)
        for (int c = 1; c <= 12; ++c) {
            const ReportCell& cell = sheet.cell(c, r);
            if (cell.text.empty()) continue;
            (cell.figure ? wantedNumbers : wanted)[CellRef(c, r)] = cell.text;
        }
    EXPECT_EQ(texts, wanted);
    EXPECT_EQ(numbers, wantedNumbers);
    EXPECT_EQ(numbers.at("F11"), "1.0");  // a value of the first group, one decimal
    EXPECT_EQ(numbers.at("B11"), "1");    // its address
    EXPECT_EQ(texts["D2"], "A&B <Co>");
    EXPECT_NE(xml.find("<dimension ref=\"A2:L20\"/>"), std::string::npos) << xml.substr(0, 400);

    const std::string styles = Unzip(path, "xl/styles.xml");
    EXPECT_NE(styles.find("FFBDFF94"), std::string::npos);  // label green
    EXPECT_NE(styles.find("FF0000FF"), std::string::npos);  // changed value blue
    EXPECT_NE(styles.find("<b/>"), std::string::npos);
    EXPECT_NE(styles.find("MS Sans Serif"), std::string::npos);
    EXPECT_NE(styles.find("<left style=\"thin\">"), std::string::npos);
}

TEST(ReportExport, ReplacesTheTargetWholeAndReportsFailures) {
    TempDir dir;
    ReportDrive drive({2, 2});
    const ReportDocument doc = SampleReport(drive);
    for (ReportFormat format : {ReportFormat::kXlsx, ReportFormat::kHtml}) {
        if (format == ReportFormat::kXlsx && !CanWriteReportXlsx()) continue;
        const std::string path = dir.file(format == ReportFormat::kXlsx ? "r.xlsx" : "r.htm");
        testing::writeFile(path, {'o', 'l', 'd'});
        ASSERT_TRUE(ExportReport(doc.sheet(), {path, format}, "t").ok);
        EXPECT_GT(std::filesystem::file_size(path), 3u);

        const std::string missing = dir.file("no/such/dir/r.out");
        const ReportExportResult failed = ExportReport(doc.sheet(), {missing, format}, "t");
        EXPECT_FALSE(failed.ok);
        EXPECT_NE(failed.error.find(missing), std::string::npos) << failed.error;
    }
    // Nothing but the two reports is left behind.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, CanWriteReportXlsx() ? 2 : 1);
}

struct HtmlCell {
    int colspan = 1;
    std::string style;
    std::string text;
};

// The page's rows and cells; the page is ours, so a small scan is enough.
std::vector<std::vector<HtmlCell>> ParseRows(const std::string& html) {
    std::vector<std::vector<HtmlCell>> rows;
    const std::regex trRe("<tr>(.*?)</tr>");
    const std::regex tdRe("<td([^>]*)>([^<]*)</td>");
    const std::regex spanRe("colspan=\"([0-9]+)\"");
    const std::regex styleRe("style=\"([^\"]*)\"");
    for (std::sregex_iterator tr(html.begin(), html.end(), trRe), end; tr != end; ++tr) {
        const std::string body = (*tr)[1];
        auto& row = rows.emplace_back();
        for (std::sregex_iterator td(body.begin(), body.end(), tdRe); td != end; ++td) {
            HtmlCell cell;
            const std::string attrs = (*td)[1];
            std::smatch m;
            if (std::regex_search(attrs, m, spanRe)) cell.colspan = std::stoi(m[1]);
            if (std::regex_search(attrs, m, styleRe)) cell.style = m[1];
            cell.text = XmlUnescape((*td)[2]);
            row.push_back(cell);
        }
    }
    return rows;
}

TEST(ReportHtml, PageCarriesJoinsLookAndEscapedTexts) {
    ReportDrive drive({3, 4});
    const ReportDocument doc = SampleReport(drive);
    const ReportSheet& sheet = doc.sheet();
    const std::string html = RenderReportHtml(sheet, "Report <1>");
    EXPECT_NE(html.find("<meta charset=\"UTF-8\">"), std::string::npos);
    EXPECT_NE(html.find("<title>Report &lt;1&gt;</title>"), std::string::npos);
    EXPECT_EQ(html.find("<freq>"), std::string::npos);

    const auto rows = ParseRows(html);
    ASSERT_EQ(static_cast<int>(rows.size()), sheet.rowCount());
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        SCOPED_TRACE(r);
        const auto& row = rows[static_cast<std::size_t>(r - 1)];
        int column = 1;
        for (const HtmlCell& cell : row) {
            const ReportJoin block = sheet.blockAt(column, r);
            EXPECT_EQ(cell.colspan, block.columnCount);
            EXPECT_EQ(cell.text, sheet.cell(column, r).text);
            column += cell.colspan;
        }
        EXPECT_EQ(column, 13);
    }
    EXPECT_EQ(rows[1][2].text, "A&B <Co>");
    EXPECT_EQ(rows[9][2].text, "Max <freq> & \"limit\"");
    // The company label: bold on green, boxed on top and left.
    const std::string& label = rows[1][1].style;
    EXPECT_NE(label.find("font-weight:bold"), std::string::npos);
    EXPECT_NE(label.find("background-color:#bdff94"), std::string::npos);
    EXPECT_NE(label.find("border-left"), std::string::npos);
    EXPECT_NE(label.find("border-top"), std::string::npos);
    EXPECT_EQ(label.find("border-bottom"), std::string::npos);
    // The changed value of the second group's second item is blue.
    EXPECT_NE(rows[17][3].style.find("color:#0000ff"), std::string::npos);
}

}  // namespace
}  // namespace korvane
