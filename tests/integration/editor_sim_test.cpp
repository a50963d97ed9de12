// The parameter editor's core against korvane-sim: an online editor session on a Kapok drive
// reads every group, edits three parameters, undoes two, and the drive holds what it should.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/connection_manager.h"
#include "editor/edit_session.h"
#include "editor/group_reader.h"
#include "editor/undo_redo.h"
#include "editor/write_history.h"
#include "integration/programs.h"
#include "integration/sim_line.h"
#include "paradb/data_file.h"

namespace korvane {
namespace {

using testing::LinkRig;
using testing::ProgramResult;
using testing::RunProgram;
using testing::SimProcess;

constexpr int kStation = 3;

struct Edit {
    int address;
    const char* typed;  // option text or field text
};

TEST(EditorOverSim, ReadAllGroupsEditThreeUndoTwo) {
    SimProcess sim({"--baud", "115200", "--drive", "3:11:0x0310:5:1"});
    ASSERT_TRUE(sim.started());
    {
        LinkRig rig;
        ASSERT_EQ(rig.open(sim.pty(), kCommTk485, 115200, 1000, 10, 3), kLinkOpenOk);
        DriveRecords records;
        ConnectionEvents quiet;
        ConnectionManager manager(rig.link, records, quiet, {KORVANE_TEST_DATA_DIR, 2});
        manager.ScanIds({kStation});
        ASSERT_TRUE(rig.runUntil([&] { return !manager.IsScanning(); }));
        DriveRecord& record = records[kStation];
        ASSERT_TRUE(record.isConnected());
        ASSERT_TRUE(record.driveData && record.driveData->loaded);
        CDataFile& data = *record.driveData;

        GroupReader reader(rig.link, kStation, record.driveData,
                           ReadTargetsOf({ReadNodeKind::kAllGroups}, data));
        ASSERT_TRUE(reader.Start());
        ASSERT_TRUE(rig.runUntil([&] { return !reader.IsRunning(); }, std::chrono::seconds(120)));
        EXPECT_EQ(reader.state(), GroupReader::State::kFinished);
        EXPECT_EQ(reader.Progress(), 100);
        EXPECT_EQ(reader.Total(), static_cast<std::size_t>(data.GetTotalItemCount()));
        for (const auto& o : reader.Outcomes()) EXPECT_EQ(o.errorCode, 0);
        EXPECT_EQ(data.FindItem(0x1003)->value, 200u);
        // The monitoring has told the record that the drive stands still.
        ASSERT_TRUE(rig.runUntil([&] { return (record.statusWord & kStatusStopped) != 0; }));

        CWriteHistory history;
        const Edit edits[] = {{0x1003, "25.0"}, {0x1002, "-50.0"}, {0x1005, "Int 485"}};
        for (const Edit& e : edits) {
            EditSession s({rig.link, record, history, rig.prompter}, record.driveData,
                          data.FindItem(static_cast<std::uint16_t>(e.address)), nullptr);
            s.Open();
            ASSERT_TRUE(rig.runUntil([&] { return !s.IsBusy(); }));
            if (s.IsOptionList()) {
                const auto& texts = *s.OptionTexts();
                s.SetSelectedIndex(static_cast<int>(std::find(texts.begin(), texts.end(), e.typed) -
                                                    texts.begin()));
            } else {
                s.SetFieldText(e.typed);
            }
            s.Write();
            ASSERT_TRUE(rig.runUntil([&] { return !s.IsBusy(); }));
            EXPECT_EQ(s.LastWriteError(), 0) << e.address << " " << s.StatusText();
            EXPECT_TRUE(s.RequestClose());
        }
        EXPECT_EQ(history.UndoCount(), 3u);
        EXPECT_EQ(data.FindItem(0x1002)->value, static_cast<std::uint32_t>(-500));

        UndoRedo undo(&rig.link, kStation, data, history);
        int modified = 0;
        undo.hooks.markModified = [&] { ++modified; };
        ASSERT_TRUE(undo.Undo());
        ASSERT_TRUE(undo.Undo());
        ASSERT_TRUE(rig.runUntil([&] { return undo.PendingCount() == 0; }));
        EXPECT_EQ(modified, 2);
        EXPECT_EQ(history.UndoCount(), 1u);
        EXPECT_EQ(history.RedoCount(), 2u);
        EXPECT_EQ(data.FindItem(0x1005)->value, 1u);
    }
    // The editor's link is closed; the drive's own words, read afresh.
    ProgramResult r = RunProgram({KORVANE_CLI_PATH, "--port", sim.pty(), "--baud", "115200",
                                  "--timeout", "1000", "read", "3", "0x1003", "0x1002", "0x1005"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream in(r.out);
    std::vector<int> values;
    for (std::string line; std::getline(in, line);)
        values.push_back(nlohmann::json::parse(line)["value"].get<int>());
    EXPECT_EQ(values, (std::vector<int>{250, 0, 1}));
}

}  // namespace
}  // namespace korvane
