#include "editor/group_reader.h"

#include <gtest/gtest.h>

#include "editor/edit_texts.h"
#include "editor/node_reading.h"
#include "paradb/user_group.h"
#include "unit/editor/editor_rig.h"

namespace korvane {
namespace {

using test::EditorRig;

class GroupReaderTest : public ::testing::Test {
protected:
    GroupReaderTest() {
        rig.AddGroup("Basic", {{0x1101, "Acc Time", "TIME1", 0, 6000, 50},
                               {0x1102, "Dec Time", "TIME1", 0, 6000, 50},
                               {0x1103, "Offset", "NUM", -100, 100, 0}});
        rig.AddGroup("Drive", {{0x1001, "Command Freq", "FREQ3", 0, 40000, 6000}});
        for (int a : {0x1101, 0x1102, 0x1103, 0x1001}) rig.drive.words[a] = a & 0xFF;
    }

    std::unique_ptr<GroupReader> Reader(ReadNode node) {
        auto r = std::make_unique<GroupReader>(rig.link, test::kStation, rig.record.driveData,
                                               ReadTargetsOf(node, rig.data()));
        subscriptions.push_back(r->ended.connect([this] { ++ended; }));
        return r;
    }
    bool RunToEnd(GroupReader& r) {
        return rig.TickUntil([&] { return !r.IsRunning(); });
    }

    EditorRig rig;
    int ended = 0;
    std::vector<Connection> subscriptions;
};

// The outcome of each parameter for one line behaviour, over all groups.
TEST_F(GroupReaderTest, EachParameterEndsAsTheDriveAnswered) {
    struct Case {
        const char* what;
        std::function<void(test::FakeDrive&)> setUp;
        std::vector<unsigned> readStates;  // 0x1101, 0x1102, 0x1103, 0x1001
        std::vector<unsigned> values;
        int requests;  // frames sent
    } cases[] = {
        {"all answered", [](test::FakeDrive&) {}, {1, 1, 1, 1}, {1, 2, 3, 1}, 4},
        // The drive refuses one address: failed, value 0, and the read goes on.
        {"refused",
         [](test::FakeDrive& d) { d.nak[0x1102] = "IA"; },
         {1, 2, 1, 1},
         {1, 0, 3, 1},
         4},
        // A checksum error is a retry notice: the same read is repeated and then succeeds.
        {"repeated",
         [](test::FakeDrive& d) { d.badChecksumNext = 1; },
         {1, 1, 1, 1},
         {1, 2, 3, 1},
         5},
        // Time-out after every retry: that parameter fails, the rest keep what they had.
        {"timed out",
         [](test::FakeDrive& d) { d.silent.insert(0x1102); },
         {1, 2, 0, 0},
         {1, 0, 0, 6000},
         1 + 3},
    };
    for (const auto& c : cases) {
        rig.drive = test::FakeDrive{};
        for (int a : {0x1101, 0x1102, 0x1103, 0x1001}) {
            rig.drive.words[a] = a & 0xFF;
            rig.Item(a).readState = 0;
            rig.Item(a).value = rig.Item(a).defaultValue;
            rig.Item(a).fromFile = true;  // a parameter file's value until read again
        }
        c.setUp(rig.drive);
        auto r = Reader({ReadNodeKind::kAllGroups});
        ASSERT_TRUE(r->Start());
        ASSERT_TRUE(RunToEnd(*r)) << c.what;
        std::vector<unsigned> states, values;
        for (int a : {0x1101, 0x1102, 0x1103, 0x1001}) {
            states.push_back(rig.Item(a).readState);
            values.push_back(rig.Item(a).value);
            EXPECT_EQ(rig.Item(a).fromFile, rig.Item(a).readState == 0) << c.what << " " << a;
        }
        EXPECT_EQ(states, c.readStates) << c.what;
        EXPECT_EQ(values, c.values) << c.what;
        EXPECT_EQ(static_cast<int>(rig.drive.requests.size()), c.requests) << c.what;
        EXPECT_EQ(r->state(), GroupReader::State::kFinished) << c.what;
        EXPECT_TRUE(r->ShouldRefillList()) << c.what;
    }
    EXPECT_EQ(ended, 4);
}

TEST_F(GroupReaderTest, KeepsOneRequestOutstandingAndCountsProgress) {
    auto r = Reader({ReadNodeKind::kGroup, &rig.data().groups->elements.front()});
    std::vector<int> progress;
    Connection changed = r->changed.connect([&] { progress.push_back(r->Progress()); });
    ASSERT_TRUE(r->Start());
    EXPECT_EQ(r->FrameText(), "[Basicパラメータ読み取り…");
    EXPECT_EQ(r->StaticText(), "1 : Acc Time");
    while (r->IsRunning()) {
        EXPECT_LE(rig.link.QueueLength(), 1u);
        rig.Tick();
    }
    EXPECT_EQ(progress, (std::vector<int>{0, 33, 66, 100}));
    EXPECT_EQ(rig.drive.requests.size(), 3u);
}

TEST_F(GroupReaderTest, CancelSendsNothingMoreAndDropsTheOutstandingReply) {
    auto r = Reader({ReadNodeKind::kAllGroups});
    ASSERT_TRUE(r->Start());
    ASSERT_TRUE(rig.TickUntil([&] { return r->Answered() == 1; }));
    r->Cancel();
    EXPECT_EQ(r->state(), GroupReader::State::kCancelled);
    EXPECT_TRUE(r->ShouldRefillList());
    rig.Tick(20);
    // The second read was already queued; its answer is not stored.
    EXPECT_EQ(rig.drive.requests.size(), 2u);
    EXPECT_EQ(rig.Item(0x1102).readState, 0u);
    EXPECT_EQ(ended, 1);
}

TEST_F(GroupReaderTest, ClosedFromOutsideDoesNotRefillAndKeepsTheDataFileAlive) {
    auto r = Reader({ReadNodeKind::kAllGroups});
    ASSERT_TRUE(r->Start());
    // The drive is removed while reading: its record lets go of the data file.
    rig.record.reset();
    rig.Tick(3);
    r->CloseFromOutside();
    EXPECT_FALSE(r->ShouldRefillList());
    EXPECT_FALSE(r->StaticText().empty());  // the items are still there
    rig.Tick(10);
}

TEST_F(GroupReaderTest, UserGroupReadsBoundEntriesAndMarksRealChangesOnly) {
    UserGroup group;
    group.AddEntry(0x1101, 1);            // unchanged
    group.AddEntry(0x7777, 5);            // no such parameter: skipped
    group.AddEntry(0x1103, 0xFFFFFFFDu);  // -3 sign-extended; the drive says 0xFFFD
    group.Bind(rig.data());
    group.AddEntry(0x7777, 5);  // an entry whose parameter the data file lacks
    group.modified = 0;
    rig.drive.words[0x1103] = 0xFFFD;
    auto targets = ReadTargetsOf({ReadNodeKind::kUserGroup, nullptr, &group}, rig.data());
    ASSERT_EQ(targets.size(), 2u);
    auto r = Reader({ReadNodeKind::kUserGroup, nullptr, &group});
    ASSERT_TRUE(r->Start());
    ASSERT_TRUE(RunToEnd(*r));
    EXPECT_EQ(group.modified, 0);
    EXPECT_EQ(group.entries[0]->state, 1u);
    EXPECT_EQ(group.entries[1]->state, 1u);
    // The items themselves are not touched by a user-group read.
    EXPECT_EQ(rig.Item(0x1101).readState, 0u);

    rig.drive.words[0x1101] = 9;
    r = Reader({ReadNodeKind::kUserGroup, nullptr, &group});
    ASSERT_TRUE(r->Start());
    ASSERT_TRUE(RunToEnd(*r));
    EXPECT_EQ(group.modified, 1);
    EXPECT_EQ(group.entries[0]->value, 9u);
}

TEST_F(GroupReaderTest, NodesWithoutParametersReadNothing) {
    UserGroup empty;
    CGroup none;
    for (ReadNode node :
         {ReadNode{ReadNodeKind::kUserGroupRoot}, ReadNode{ReadNodeKind::kGroup, &none},
          ReadNode{ReadNodeKind::kUserGroup, nullptr, &empty}}) {
        auto r = Reader(node);
        EXPECT_FALSE(r->Start());
    }
    rig.Tick(5);
    EXPECT_TRUE(rig.drive.requests.empty());
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(NodeReading, ReadsOnlyWhereTheEditorMayAndRefillsUnlessClosedFromOutside) {
    test::EditorRig rig;
    CGroup& basic = rig.AddGroup("Basic", {{0x1101, "A", "NUM", 0, 9}, {0x1102, "B", "NUM", 0, 9}});
    CGroup empty;
    bool graphWatch = false;
    NodeReading reading(rig.link, rig.record, [&] { return graphWatch; });
    struct Case {
        const char* what;
        ReadNode node;
        bool graphWatch;
        int station;
        bool closeFromOutside;
        int requests;
        bool finished;
    } cases[] = {
        {"group", {ReadNodeKind::kGroup, &basic}, false, test::kStation, false, 2, true},
        // The read queued before the close still goes out; its answer is dropped.
        {"closed from outside", {ReadNodeKind::kAllGroups}, false, test::kStation, true, 2, false},
        {"graph watch", {ReadNodeKind::kGroup, &basic}, true, test::kStation, false, 0, true},
        {"offline", {ReadNodeKind::kGroup, &basic}, false, 256, false, 0, true},
        {"user-group root", {ReadNodeKind::kUserGroupRoot}, false, test::kStation, false, 0, true},
        {"no parameters", {ReadNodeKind::kGroup, &empty}, false, test::kStation, false, 0, true},
    };
    for (const auto& c : cases) {
        rig.drive.requests.clear();
        rig.record.station = c.station;
        graphWatch = c.graphWatch;
        bool finished = false;
        reading.Read(c.node, [&] { finished = true; });
        if (c.closeFromOutside) {
            rig.Tick();
            reading.CloseFromOutside();
        }
        ASSERT_TRUE(rig.TickUntil([&] { return !reading.IsReading(); })) << c.what;
        rig.Tick(10);
        EXPECT_EQ(static_cast<int>(rig.drive.requests.size()), c.requests) << c.what;
        EXPECT_EQ(finished, c.finished) << c.what;
    }
}

}  // namespace
}  // namespace korvane
