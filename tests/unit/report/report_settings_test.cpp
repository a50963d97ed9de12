#include "report/report_settings.h"

#include <gtest/gtest.h>

#include "common/settings_store.h"

namespace korvane {
namespace {

TEST(ReportSettings, HeaderTextsRoundTripClippedToTwentyCharacters) {
    MemorySettingsStore store;
    EXPECT_EQ(LoadReportHeader(store).company, "");
    const std::string longJapanese = "株式会社あいうえおかきくけこさしすせそたちつてと";  // 24
    SaveReportHeader(store, {longJapanese, "Plant 2", "12345678901234567890X"});
    EXPECT_EQ(store.getString("Main", "Company Header", ""),
              "株式会社あいうえおかきくけこさしすせそた");
    EXPECT_EQ(store.getString("Main", "Devision Header", ""), "Plant 2");
    EXPECT_EQ(store.getString("Main", "Manager Header", ""), "12345678901234567890");
    const ReportHeaderTexts back = LoadReportHeader(store);
    EXPECT_EQ(back.division, "Plant 2");
    EXPECT_EQ(back.author, "12345678901234567890");
}

TEST(ReportSettings, FilterIndexOutsideTheTwoChoicesIsTheWorkbook) {
    MemorySettingsStore store;
    EXPECT_EQ(LoadReportFilterIndex(store), 1);
    for (auto [stored, read] : {std::pair{1, 1}, {2, 2}, {0, 1}, {3, 1}, {-2, 1}}) {
        store.setInt("Main", "ReportFile Filter Index", stored);
        EXPECT_EQ(LoadReportFilterIndex(store), read) << stored;
    }
    SaveReportExportChoice(store, "/tmp/out", 2);
    EXPECT_EQ(LoadReportExportDir(store), "/tmp/out");
    EXPECT_EQ(LoadReportFilterIndex(store), 2);
}

TEST(ReportSettings, ExportTargetTakesExtensionOrFilter) {
    struct Case {
        const char* chosen;
        int index;
        const char* path;
        ReportFormat format;
    };
    const Case cases[] = {
        {"/d/report", 1, "/d/report.xlsx", ReportFormat::kXlsx},
        {"/d/report", 2, "/d/report.htm", ReportFormat::kHtml},
        {"/d/report.xlsx", 1, "/d/report.xlsx", ReportFormat::kXlsx},
        // A name that says what it is is written as that, whatever filter was left selected.
        {"/d/report.HTM", 1, "/d/report.HTM", ReportFormat::kHtml},
        {"/d/report.html", 1, "/d/report.html", ReportFormat::kHtml},
        {"/d/report.xlsx", 2, "/d/report.xlsx", ReportFormat::kXlsx},
        {"/d/report.v2", 2, "/d/report.v2", ReportFormat::kHtml},
        {"/d.x/report", 1, "/d.x/report.xlsx", ReportFormat::kXlsx},
    };
    for (const Case& c : cases) {
        const ReportExportTarget t = ResolveReportExportTarget(c.chosen, c.index);
        EXPECT_EQ(t.path, c.path) << c.chosen;
        EXPECT_EQ(t.format, c.format) << c.chosen;
    }
}

TEST(ReportSettings, JobNamesCountUpFromZeroAndFooterNumbersPages) {
    ReportJobCounter counter;
    EXPECT_EQ(counter.next(), "KVNE Report0");
    EXPECT_EQ(counter.next(), "KVNE Report1");
    EXPECT_EQ(counter.next(), "KVNE Report2");
    EXPECT_EQ(ReportPageFooter(2, 5), "2 / 5 ページ");
}

}  // namespace
}  // namespace korvane
