// The sheet's joins: which block covers a cell, and a later join replacing the ones it overlaps.
#include "report/report_sheet.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

struct At {
    int column, row;
    std::optional<std::pair<int, int>> anchor;  // the covering join's first cell, if any
};

void expectJoins(const ReportSheet& sheet, const std::vector<At>& cells) {
    for (const At& at : cells) {
        const ReportJoin* j = sheet.joinAt(at.column, at.row);
        if (!at.anchor) {
            EXPECT_EQ(j, nullptr) << at.column << "," << at.row;
            continue;
        }
        ASSERT_NE(j, nullptr) << at.column << "," << at.row;
        EXPECT_EQ(std::make_pair(j->column, j->row), *at.anchor) << at.column << "," << at.row;
    }
}

TEST(ReportSheet, JoinsCoverTheirCellsAndALaterOverlapReplacesThem) {
    ReportSheet sheet;
    sheet.reset(6);
    sheet.join(2, 2, 3);     // 2..4 of row 2
    sheet.join(6, 2, 2, 3);  // 6..7 of rows 2..4
    sheet.join(9, 5, 2);
    expectJoins(sheet, {{2, 2, {{2, 2}}},
                        {4, 2, {{2, 2}}},
                        {5, 2, {}},
                        {7, 4, {{6, 2}}},
                        {10, 5, {{9, 5}}},
                        {1, 1, {}},
                        {13, 1, {}},
                        {2, 7, {}}});

    sheet.join(4, 2, 3);  // overlaps the first two; the third stays
    ASSERT_EQ(sheet.joins().size(), 2u);
    expectJoins(sheet,
                {{2, 2, {}}, {4, 2, {{4, 2}}}, {6, 2, {{4, 2}}}, {7, 3, {}}, {9, 5, {{9, 5}}}});
    EXPECT_EQ(sheet.blockAt(7, 3).columnCount, 1);

    sheet.reset(6);
    EXPECT_TRUE(sheet.joins().empty());
    expectJoins(sheet, {{4, 2, {}}});
}

}  // namespace
}  // namespace korvane
