// Printed pages of a report and the figures a workbook keeps as numbers.
#include <gtest/gtest.h>

#include "report/report_document.h"
#include "report/report_sheet.h"
#include "report_test_data.h"

namespace korvane {
namespace {

using testing::ReportDrive;

std::string Describe(const std::vector<ReportPageRows>& pages) {
    std::string out;
    for (const ReportPageRows& p : pages)
        out.append("[")
            .append(std::to_string(p.repeatedHeading))
            .append(":")
            .append(std::to_string(p.first))
            .append("-")
            .append(std::to_string(p.last))
            .append("]");
    return out;
}

TEST(ReportPages, APageStartingInsideAListRepeatsItsHeading) {
    // Groups of 12 and 3 items: header to row 5, first title 8, heading 9, items 10..21, two
    // empty rows, second title 24, heading 25, items 26..28.
    ReportDrive drive({12, 3});
    ReportDocument doc;
    doc.setNode({drive.record.station, ReportKind::kAllGroups, ""});
    doc.refresh(drive.source());
    const ReportSheet& sheet = doc.sheet();
    ASSERT_EQ(sheet.rowCount(), 28);
    EXPECT_EQ(sheet.headingOf(10), 9);
    EXPECT_EQ(sheet.headingOf(21), 9);
    EXPECT_EQ(sheet.headingOf(22), 0);
    EXPECT_EQ(sheet.headingOf(26), 25);
    const struct Case {
        int rowsPerPage;
        const char* pages;
    } cases[] = {
        {40, "[0:1-28]"},
        // Page 2 starts at item row 16, under heading 9: the heading, then 14 rows.
        {15, "[0:1-15][9:16-28]"},
        {10, "[0:1-10][9:11-19][9:20-28]"},
        {24, "[0:1-24][0:25-28]"},  // a page starting at a heading needs no copy of it
    };
    for (const Case& c : cases)
        EXPECT_EQ(Describe(PaginateReport(sheet, c.rowsPerPage)), c.pages) << c.rowsPerPage;
    // A page of one row has no room for a heading above it.
    for (const ReportPageRows& p : PaginateReport(sheet, 1)) EXPECT_EQ(p.repeatedHeading, 0);
    // Every row is printed exactly once besides the repeated headings.
    for (int perPage : {1, 2, 3, 7, 11, 29}) {
        int next = 1;
        for (const ReportPageRows& p : PaginateReport(sheet, perPage)) {
            EXPECT_EQ(p.first, next) << perPage;
            EXPECT_LE(p.last - p.first + 1 + (p.repeatedHeading ? 1 : 0), perPage);
            next = p.last + 1;
        }
        EXPECT_EQ(next, 29) << perPage;
    }
}

TEST(ReportPages, FiguresReadAsNumbersOnlyWhenANumberShowsTheSame) {
    const struct Case {
        const char* text;
        bool number;
        double value;
        int decimals;
    } cases[] = {
        {"3", true, 3, 0},
        {"-50.0", true, -50, 1},
        {"0.25", true, 0.25, 2},
        {"0", true, 0, 0},
        {"007", false, 0, 0},
        {"-0.0", false, 0, 0},
        {"1.", false, 0, 0},
        {".5", false, 0, 0},
        {"60.00 Hz", false, 0, 0},
        {"0x1A", false, 0, 0},
        {"b0101", false, 0, 0},
        {"", false, 0, 0},
        {"1e3", false, 0, 0},
        {"+5", false, 0, 0},
        {"1234567890123456", false, 0, 0},
        {"123456789012.345", true, 123456789012.345, 3},
    };
    for (const Case& c : cases) {
        const auto n = ReportCellNumber(c.text);
        ASSERT_EQ(n.has_value(), c.number) << c.text;
        if (!n) continue;
        EXPECT_DOUBLE_EQ(n->value, c.value) << c.text;
        EXPECT_EQ(n->decimals, c.decimals) << c.text;
    }
}

}  // namespace
}  // namespace korvane
