#include "editor/mode_choice.h"

#include <gtest/gtest.h>

#include "editor/para_texts.h"
#include "editor_fixture.h"
#include "paradb/data_catalogue.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

struct ModeEnv {
    ModeEnv() {
        writeFile(DataFilePath(env.services.dirs.data, kKapok, kKapokVersion),
                  WriteDataFile(ExportImage()));
        catalogue.AddFileName(kKapok, "Kapok_0310.dat");
        catalogue.AddFileName(kKapok, "Kapok_0311.dat");  // listed, but not on disk
    }
    TempDir dir;
    EditorServices env{dir.path()};
    VersionCatalogue catalogue;
};

TEST(EditorModeDialog, NewOfflineEditorLoadsTheChosenDataFileAndRemembersTheChoice) {
    ModeEnv t;
    t.env.settings.setInt("Main", "Para Model", kKapok);
    t.env.settings.setInt("Main", "Para Version", kKapokVersion);
    t.env.settings.setInt("Main", "Para TIME1", 0);
    ModeChoice dialog(t.env.services, 257, ModeChoice::Use::kOffline, &t.catalogue);
    EXPECT_EQ(dialog.Title(), std::string("OFF LINE - ") + kModeDialogTitle);
    EXPECT_EQ(dialog.Models()[static_cast<std::size_t>(dialog.ModelIndex())].seriesCode, kKapok);
    EXPECT_EQ(dialog.Versions().size(), 2u);
    EXPECT_EQ(dialog.VersionIndex(), 0);
    EXPECT_EQ(dialog.Time1Divisor(), 100);
    dialog.SetFreqModeChecked(false);
    ASSERT_TRUE(dialog.Ok());
    ASSERT_TRUE(t.env.records[257].driveData);
    EXPECT_EQ(t.env.records[257].driveData->loaded, 1);
    dialog.Close();
    EXPECT_EQ(t.env.settings.getInt("Main", "Para Mode", -1), 0);
    EXPECT_EQ(t.env.settings.getInt("Main", "Para Version", -1), kKapokVersion);
}

TEST(EditorModeDialog, FailedLoadKeepsTheDialogAndResetsTheRecord) {
    ModeEnv t;
    ModeChoice dialog(t.env.services, 257, ModeChoice::Use::kOffline, &t.catalogue);
    dialog.SelectModel(static_cast<int>(
        std::find_if(dialog.Models().begin(), dialog.Models().end(),
                     [](const SeriesChoice& c) { return c.seriesCode == kKapok; }) -
        dialog.Models().begin()));
    dialog.SelectVersion(1);
    EXPECT_FALSE(dialog.Ok());
    EXPECT_TRUE(dialog.StatusIsError());
    EXPECT_EQ(dialog.StatusText(), CDataFile::StatusText(kDataFileNotFound));
    EXPECT_EQ(t.env.records[257].seriesCode, 0);
    EXPECT_EQ(t.env.records[257].station, 257);
    EXPECT_FALSE(t.env.records[257].driveData);
}

TEST(EditorModeDialog, ModelWithoutDataFilesDisablesOkButLeavesTheModelListUsable) {
    ModeEnv t;
    t.env.settings.setInt("Main", "Para Model", 7);  // not a model with data files: 10
    t.env.settings.setInt("Main", "Para TIME1", 5);
    ModeChoice dialog(t.env.services, 257, ModeChoice::Use::kOffline, &t.catalogue);
    EXPECT_EQ(dialog.Models()[static_cast<std::size_t>(dialog.ModelIndex())].seriesCode, 10);
    EXPECT_EQ(dialog.Time1Index(), 1);
    EXPECT_EQ(dialog.StatusText(), kNoDataFileForModelText);
    EXPECT_FALSE(dialog.OkEnabled());
    EXPECT_FALSE(dialog.VersionEnabled());
    EXPECT_TRUE(dialog.ModelEnabled());
    EXPECT_FALSE(dialog.Ok());
}

TEST(EditorModeDialog, OnlineDialogShowsTheDriveAndFollowsItsTimeScale) {
    struct Case {
        int timeScale;
        bool hasData;
        const char* name;
        std::string title;
        int time1Index;
        bool ok;
        std::string status;
    } cases[] = {
        {100, true, "", std::string("ON LINE - ") + kModeDialogTitle, 0, true, ""},
        {1, true, "Fan", std::string("ON LINE(Fan) - ") + kModeDialogTitle, 2, true, ""},
        {10, false, "", std::string("ON LINE - ") + kModeDialogTitle, 1, false, kNoDataObjectText},
    };
    for (const Case& c : cases) {
        ModeEnv t;
        DriveRecord& r = t.env.drive(9);
        r.timeScale = c.timeScale;
        if (!c.hasData) r.driveData.reset();
        t.env.settings.setString("InvName", "Inv Name9", c.name);
        ModeChoice dialog(t.env.services, 9, ModeChoice::Use::kOnline, &t.catalogue);
        EXPECT_EQ(dialog.Title(), c.title);
        EXPECT_EQ(dialog.Time1Index(), c.time1Index);
        EXPECT_EQ(dialog.OkEnabled(), c.ok);
        EXPECT_EQ(dialog.StatusText(), c.status);
        EXPECT_FALSE(dialog.ModelEnabled() || dialog.VersionEnabled() || dialog.Time1Enabled());
        EXPECT_EQ(dialog.Versions()[static_cast<std::size_t>(dialog.VersionIndex())].version,
                  kKapokVersion);
    }
}

}  // namespace
}  // namespace korvane::testing
