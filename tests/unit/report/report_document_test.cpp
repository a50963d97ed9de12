#include "report/report_document.h"

#include <gtest/gtest.h>

#include "report/report_sheet.h"
#include "report_test_data.h"

namespace korvane {
namespace {

using testing::ReportDrive;

ReportDocument Refreshed(const ReportDrive& drive, ReportKind kind, const std::string& name = {}) {
    ReportDocument doc;
    doc.setNode({drive.record.station, kind, name});
    doc.refresh(drive.source());
    return doc;
}

// Joined blocks of one row, as (first column, column count).
std::vector<std::pair<int, int>> RowJoins(const ReportSheet& sheet, int row) {
    std::vector<std::pair<int, int>> out;
    for (int c = 1; c <= ReportSheet::columnCount(); ++c) {
        const ReportJoin* j = sheet.joinAt(c, row);
        if (j && j->column == c) out.emplace_back(c, j->columnCount);
    }
    return out;
}

TEST(ReportDocument, RowCountCoversEveryBlockOfTheSheet) {
    struct Case {
        std::vector<int> groups;
        int rows;
    };
    // Two groups of 3 and 4 items take 20 rows; a third group must not fall off the sheet.
    for (const Case& c : std::vector<Case>{
             {{}, 5}, {{0}, 9}, {{2}, 11}, {{3, 4}, 20}, {{3, 4, 5}, 29}, {{1, 1, 1, 1}, 25}}) {
        SCOPED_TRACE(c.rows);
        EXPECT_EQ(ReportRowCount(c.groups), c.rows);
        ReportDrive drive(c.groups);
        ReportDocument doc = Refreshed(drive, ReportKind::kAllGroups);
        ASSERT_TRUE(doc.found());
        ASSERT_EQ(doc.sheet().rowCount(), c.rows);
        if (!c.groups.empty() && c.groups.back() > 0) {
            // The last item of the last group is the sheet's last row.
            const int last = static_cast<int>(c.groups.size());
            EXPECT_EQ(doc.sheet().cell(3, c.rows).text,
                      "P" + std::to_string(last) + "-" + std::to_string(c.groups.back() - 1));
        }
    }
}

TEST(ReportDocument, AllGroupsPlaceTitlesHeadingsAndItems) {
    ReportDrive drive({3, 4});
    const ReportDocument doc_s = Refreshed(drive, ReportKind::kAllGroups);
    const ReportSheet& s = doc_s.sheet();
    EXPECT_EQ(s.cell(2, 8).text, "[ パラメータグループ名 : G1 ]");
    EXPECT_EQ(s.cell(2, 15).text, "[ パラメータグループ名 : G2 ]");
    EXPECT_TRUE(s.cell(2, 15).bold);
    EXPECT_EQ(RowJoins(s, 15), (std::vector<std::pair<int, int>>{{2, 10}}));

    for (int row : {9, 16}) {
        EXPECT_EQ(RowJoins(s, row),
                  (std::vector<std::pair<int, int>>{{3, 3}, {6, 2}, {8, 2}, {10, 2}}));
        EXPECT_EQ(s.cell(2, row).text, "住所");
        EXPECT_EQ(s.cell(3, row).text, "パラメータ名");
        EXPECT_EQ(s.cell(6, row).text, "値");
        EXPECT_EQ(s.cell(8, row).text, "デフォルト");
        EXPECT_EQ(s.cell(10, row).text, "単位");
        EXPECT_TRUE(s.cell(11, row).bold);
        EXPECT_EQ(s.cell(11, row).background, kReportLabelGreen);
    }
    // Second group, item 2: address 0x0202 shows its low byte.
    EXPECT_EQ(s.cell(2, 19).text, "2");
    EXPECT_EQ(s.cell(3, 19).text, "P2-2");
    EXPECT_EQ(s.cell(6, 19).text, "2.0");
    EXPECT_EQ(s.cell(8, 19).text, "2.0");
    EXPECT_EQ(s.cell(10, 19).text, "Hz");
    EXPECT_FALSE(s.cell(3, 19).bold);
    EXPECT_FALSE(s.cell(3, 19).background.has_value());
    // The two rows after a block stay empty.
    for (int c = 1; c <= 12; ++c)
        EXPECT_TRUE(s.cell(c, 13).text.empty() && s.cell(c, 14).text.empty());
}

TEST(ReportDocument, RowsAreOutlinedAcrossColumnsTwoToEleven) {
    ReportDrive drive({2});
    const ReportDocument doc_s = Refreshed(drive, ReportKind::kGroup, "G1");
    const ReportSheet& s = doc_s.sheet();
    const int row = 10;
    EXPECT_EQ(s.cell(2, row).edges, kReportEdgeTop | kReportEdgeBottom | kReportEdgeLeft);
    EXPECT_EQ(s.cell(5, row).edges, kReportEdgeTop | kReportEdgeBottom);
    EXPECT_EQ(s.cell(11, row).edges, kReportEdgeTop | kReportEdgeBottom | kReportEdgeRight);
    EXPECT_EQ(s.cell(1, row).edges, 0);
    EXPECT_EQ(s.cell(12, row).edges, 0);
    // The header is one box: inner rows carry only the side edges.
    EXPECT_EQ(s.cell(2, 3).edges, kReportEdgeLeft);
    EXPECT_EQ(s.cell(11, 5).edges, kReportEdgeRight | kReportEdgeBottom);
    EXPECT_EQ(s.cell(6, 2).edges, kReportEdgeTop);
    EXPECT_EQ(s.blockEdges(s.blockAt(9, 2)), kReportEdgeTop | kReportEdgeRight);
}

TEST(ReportDocument, RowColourFollowsReadStateAndDefault) {
    ReportDrive drive({6});
    drive.item(0, 1).readState = 0;
    drive.item(0, 2).readState = 2;
    drive.item(0, 3).value = 31;
    // A negative default kept sign-extended and the 16-bit word the drive returns are equal.
    drive.item(0, 4).defaultValue = 0xFFFFFFF6u;
    drive.item(0, 4).value = 0xFFF6u;
    const ReportDocument doc_s = Refreshed(drive, ReportKind::kGroup, "G1");
    const ReportSheet& s = doc_s.sheet();
    const ReportColour expected[] = {kReportTextBlack,   kReportNotReadGrey, kReportErrorRed,
                                     kReportChangedBlue, kReportTextBlack,   kReportTextBlack};
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        for (int c = 2; c <= 11; ++c) EXPECT_EQ(s.cell(c, 10 + k).foreground, expected[k]);
    }
    // An online drive's unread value is blank rather than a stale number.
    EXPECT_EQ(s.cell(6, 11).text, "");
    EXPECT_EQ(ReportRowColour(nullptr, 1, 0), kReportErrorRed);
}

TEST(ReportDocument, UserGroupShowsEntriesWithItemsOnly) {
    ReportDrive drive({2, 3});
    UserGroup& group = drive.addUserGroup("Fans");
    group.AddEntry(0x0201, 0xFFF6).state = 1;  // signed item: -1.0
    group.AddEntry(0x7777, 5).state = 1;       // unknown to the data file: no row
    group.AddEntry(0x0100, 0).state = 0;
    drive.addUserGroup("Other").AddEntry(0x0101, 1);

    ReportDocument doc = Refreshed(drive, ReportKind::kUserGroup, "Fans");
    ASSERT_TRUE(doc.found());
    const ReportSheet& s = doc.sheet();
    ASSERT_EQ(s.rowCount(), ReportRowCount({2}));
    EXPECT_EQ(s.cell(2, 8).text, "[ ユーザグループ名 : Fans ]");
    EXPECT_EQ(RowJoins(s, 9), (std::vector<std::pair<int, int>>{{4, 3}, {7, 2}, {9, 2}}));
    EXPECT_EQ(s.cell(2, 9).text, "グループ名");
    EXPECT_EQ(s.cell(3, 9).text, "住所");
    EXPECT_EQ(s.cell(4, 9).text, "パラメータ名");
    EXPECT_EQ(s.cell(7, 9).text, "値");
    EXPECT_EQ(s.cell(9, 9).text, "デフォルト");
    EXPECT_EQ(s.cell(11, 9).text, "単位");

    EXPECT_EQ(s.cell(2, 10).text, "G2");
    EXPECT_EQ(s.cell(3, 10).text, "1");
    EXPECT_EQ(s.cell(4, 10).text, "P2-1");
    EXPECT_EQ(s.cell(7, 10).text, "-1.0");
    EXPECT_EQ(s.cell(9, 10).text, "1.0");
    EXPECT_EQ(s.cell(11, 10).text, "Hz");
    EXPECT_EQ(s.cell(7, 10).foreground, kReportChangedBlue);
    EXPECT_EQ(s.cell(4, 11).text, "P1-0");
    EXPECT_EQ(s.cell(4, 11).foreground, kReportNotReadGrey);
}

TEST(ReportDocument, MissingNodeLeavesAnEmptySheet) {
    ReportDrive drive({2});
    drive.addUserGroup("Fans");
    struct Case {
        ReportKind kind;
        const char* name;
        bool unload;
    };
    for (const Case& c :
         {Case{ReportKind::kGroup, "nope", false}, Case{ReportKind::kUserGroup, "Closed", false},
          Case{ReportKind::kAllGroups, "", true}}) {
        drive.file.loaded = c.unload ? 0 : 1;
        ReportDocument doc = Refreshed(drive, c.kind, c.name);
        EXPECT_FALSE(doc.found());
        EXPECT_EQ(doc.sheet().rowCount(), 0);
        EXPECT_EQ(doc.windowTitle(), "Parameter Report");
        doc.rewriteHeader({"a", "b", "c"});  // nothing to rewrite, nothing to break
        doc.rewriteDeviceName("x");
    }
}

TEST(ReportDocument, HeaderBlockOnlineAndOffline) {
    ReportDrive online({1});
    const ReportDocument doc_s = Refreshed(online, ReportKind::kAllGroups);
    const ReportSheet& s = doc_s.sheet();
    for (int row = 2; row <= 5; ++row)
        EXPECT_EQ(RowJoins(s, row),
                  (std::vector<std::pair<int, int>>{{2, 2}, {4, 3}, {7, 2}, {9, 3}}));
    EXPECT_EQ(s.cell(2, 2).text, "企業");
    EXPECT_EQ(s.cell(4, 2).text, "ACME");
    EXPECT_EQ(s.cell(7, 2).text, "部門");
    EXPECT_EQ(s.cell(9, 2).text, "Plant");
    EXPECT_EQ(s.cell(2, 3).text, "日付");
    EXPECT_EQ(s.cell(4, 3).text, "2009.03.05  14:07:09");
    EXPECT_EQ(s.cell(7, 3).text, "著者");
    EXPECT_EQ(s.cell(9, 3).text, "Sato");
    EXPECT_EQ(s.cell(2, 4).text, "モデル");
    EXPECT_EQ(s.cell(4, 4).text, "3 : Kapok");
    EXPECT_EQ(s.cell(7, 4).text, "バージョン");
    EXPECT_EQ(s.cell(9, 4).text, "Ver3.17");
    EXPECT_EQ(s.cell(2, 5).text, "デバイス名");
    EXPECT_EQ(s.cell(4, 5).text, "Pump 7");
    EXPECT_EQ(s.cell(9, 5).text, "ON-LINE");
    EXPECT_TRUE(s.cell(8, 5).bold);
    EXPECT_EQ(s.cell(3, 4).background, kReportLabelGreen);
    EXPECT_FALSE(s.cell(4, 4).bold);
    EXPECT_FALSE(s.cell(4, 4).background.has_value());

    ReportDrive offline({1}, 256);
    const ReportDocument doc_o = Refreshed(offline, ReportKind::kAllGroups);
    const ReportSheet& o = doc_o.sheet();
    EXPECT_EQ(o.cell(4, 4).text, "Kapok");
    EXPECT_EQ(o.cell(4, 5).text, "");
    EXPECT_EQ(o.cell(9, 5).text, "OFF-LINE");
    // The window says whose report it is.
    EXPECT_EQ(doc_s.windowTitle(), "Parameter Report - 3 : Kapok");
    EXPECT_EQ(doc_o.windowTitle(), "Parameter Report - Kapok");

    // A drive that has gone away since the editor opened is reported off the line.
    online.record.connected = 0;
    EXPECT_EQ(Refreshed(online, ReportKind::kAllGroups).sheet().cell(9, 5).text, "OFF-LINE");
}

TEST(ReportDocument, HeaderRewriteTouchesOnlyTheThreeHeaderCells) {
    ReportDrive drive({2, 2});
    ReportDocument doc = Refreshed(drive, ReportKind::kAllGroups);
    const ReportSheet before = doc.sheet();
    // Texts are data: printf directives stay as typed.
    doc.rewriteHeader({"%s%n", "B&<", "%d"});
    const ReportSheet& after = doc.sheet();
    for (int r = 1; r <= after.rowCount(); ++r)
        for (int c = 1; c <= 12; ++c) {
            const bool header = (c == 4 && r == 2) || (c == 9 && (r == 2 || r == 3));
            if (!header) {
                EXPECT_EQ(after.cell(c, r).text, before.cell(c, r).text) << c << "," << r;
            }
        }
    EXPECT_EQ(after.cell(4, 2).text, "%s%n");
    EXPECT_EQ(after.cell(9, 2).text, "B&<");
    EXPECT_EQ(after.cell(9, 3).text, "%d");

    doc.rewriteDeviceName("Conveyor");
    EXPECT_EQ(doc.sheet().cell(4, 5).text, "Conveyor");
}

}  // namespace
}  // namespace korvane
