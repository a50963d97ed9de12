#include "report/report_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../paradb/paradb_test_util.h"
#include "common/settings_store.h"
#include "report/report_settings.h"
#include "report_test_data.h"

namespace korvane {
namespace {

class FakeEditor : public ReportHost {
public:
    explicit FakeEditor(testing::ReportDrive& drive) : drive_(drive) {}
    ReportSource reportSource() const override {
        ReportSource s = drive_.source();
        s.deviceName = deviceName;
        if (gone) s.dataFile = nullptr;
        return s;
    }
    void reportClosed() override {}

    std::string deviceName = "Fan";
    bool gone = false;

private:
    testing::ReportDrive& drive_;
};

struct SessionRig {
    testing::ReportDrive drive{{2, 3}};
    FakeEditor editor{drive};
    MemorySettingsStore settings;
    FixedClock clock{LocalTime{2024, 4, 1, 9, 30, 0, 0}};
    ReportSession session{editor, settings, clock};
};

TEST(ReportSession, TakesHeaderFromSettingsAndFollowsTheEditorOnlyWhenAsked) {
    SessionRig rig;
    SaveReportHeader(rig.settings, {"ACME", "Works", "Ito"});
    rig.session.show({3, ReportKind::kGroup, "G2"});
    const ReportSheet* sheet = &rig.session.document().sheet();
    EXPECT_EQ(sheet->cell(4, 2).text, "ACME");
    EXPECT_EQ(sheet->cell(4, 3).text, "2024.04.01  09:30:00");
    EXPECT_EQ(sheet->cell(2, 8).text, "[ パラメータグループ名 : G2 ]");

    SaveReportHeader(rig.settings, {"New", "Dept", "Kato"});
    rig.clock.set({2025, 1, 2, 3, 4, 5, 0});
    rig.session.headerChanged();
    EXPECT_EQ(sheet->cell(9, 3).text, "Kato");
    EXPECT_EQ(sheet->cell(4, 3).text, "2024.04.01  09:30:00");  // not refreshed

    rig.editor.deviceName = "Blower";
    rig.session.deviceNameChanged();
    EXPECT_EQ(sheet->cell(4, 5).text, "Blower");

    // The editor's data went away: the next refresh shows nothing and nothing breaks.
    rig.editor.gone = true;
    rig.session.refresh();
    EXPECT_FALSE(rig.session.document().found());
    rig.session.headerChanged();
    rig.session.deviceNameChanged();
}

TEST(ReportSession, ExportKeepsDirectoryAndFilterForNextTime) {
    SessionRig rig;
    testing::TempDir dir;
    rig.session.show({3, ReportKind::kAllGroups, ""});
    const ReportExportResult r = rig.session.exportTo(dir.file("sheet"), 2);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(std::filesystem::exists(dir.file("sheet.htm")));
    EXPECT_EQ(LoadReportExportDir(rig.settings), dir.path());
    EXPECT_EQ(LoadReportFilterIndex(rig.settings), 2);
}

}  // namespace
}  // namespace korvane
