#include "host/tool_frames.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/executor.h"
#include "common/settings_store.h"

namespace korvane {
namespace {

class FakeFrame : public ToolFrame {
public:
    FakeFrame(ToolFrameRegistry& registry, std::vector<std::uint8_t> geometry = {})
        : registry_(registry), geometry_(std::move(geometry)) {}

    void activate() override { ++activations; }
    void requestClose() override {
        ++closeRequests;
        if (onClose) onClose();
        registry_.frameClosing(this);
    }
    std::vector<std::uint8_t> savePlacement() const override { return geometry_; }
    void restorePlacement(const std::vector<std::uint8_t>& p) override { restored = p; }
    void onDriveEvent(const DriveEvent& e) override { events.push_back(e); }

    std::function<void()> onClose;
    int activations = 0;
    int closeRequests = 0;
    std::vector<std::uint8_t> restored;
    std::vector<DriveEvent> events;

private:
    ToolFrameRegistry& registry_;
    std::vector<std::uint8_t> geometry_;
};

struct RegistryFixture : ::testing::Test {
    MemorySettingsStore settings;
    QueueExecutor executor;
    ToolFrameRegistry registry{settings, executor};
    std::vector<std::unique_ptr<FakeFrame>> frames;

    ToolFrame* open(int kind, int key, std::vector<std::uint8_t> geometry = {}) {
        return registry.openOrActivate(kind, key, [&] {
            frames.push_back(std::make_unique<FakeFrame>(registry, geometry));
            return frames.back().get();
        });
    }
};

TEST_F(RegistryFixture, OpenTwiceActivatesTheFirstAndCreatesNothing) {
    ToolFrame* first = open(kKindKeypad, 5);
    ToolFrame* second = open(kKindKeypad, 5);
    EXPECT_EQ(first, second);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0]->activations, 1);

    // Same station, other kind; same kind, other station: new windows.
    EXPECT_NE(open(kKindParaEditor, 5), first);
    EXPECT_NE(open(kKindKeypad, 6), first);
    EXPECT_EQ(registry.size(), 3u);
}

TEST_F(RegistryFixture, FailedCreationListsNothing) {
    EXPECT_EQ(registry.openOrActivate(kKindParaEditor, 3, [] { return nullptr; }), nullptr);
    EXPECT_EQ(registry.size(), 0u);
}

TEST_F(RegistryFixture, ReopenedWindowComesBackAtItsSavedPlacement) {
    const std::vector<std::uint8_t> geometry{1, 2, 3, 4};
    open(kKindReport, 257, geometry);
    registry.frameClosing(frames[0].get());
    EXPECT_EQ(registry.size(), 0u);
    std::vector<std::uint8_t> stored;
    ASSERT_TRUE(settings.getBytes(kPlacementSection, "134-257", stored));
    EXPECT_EQ(stored, geometry);

    open(kKindReport, 257);
    EXPECT_EQ(frames[1]->restored, geometry);
    open(kKindReport, 258);  // nothing saved for this key
    EXPECT_TRUE(frames[2]->restored.empty());
}

TEST_F(RegistryFixture, BroadcastReachesOnlyStationFramesAndIsPosted) {
    open(kKindGraphMonitor, kGraphMonitorKey);
    open(kKindKeypad, 12);
    open(kKindParaEditor, 255);
    open(kKindParaEditor, 256);
    open(kKindParaEditor, 257);

    registry.broadcast(DriveEvent(DriveEventKind::kDisconnected, 12));
    for (auto& f : frames) EXPECT_TRUE(f->events.empty()) << "delivered before the post ran";
    executor.drain();

    const std::vector<std::size_t> expected{1, 1, 1, 0, 0};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]->events.size(), expected[i]) << "frame " << i;
    }
    EXPECT_EQ(frames[1]->events[0].station, 12);
    EXPECT_EQ(frames[1]->events[0].kind, DriveEventKind::kDisconnected);
}

TEST_F(RegistryFixture, FrameClosedBeforeThePostRunsIsNotCalled) {
    open(kKindKeypad, 1);
    open(kKindKeypad, 2);
    registry.broadcast(DriveEvent(DriveEventKind::kGraphWatchMode));
    frames[0]->requestClose();
    executor.drain();
    EXPECT_TRUE(frames[0]->events.empty());
    EXPECT_EQ(frames[1]->events.size(), 1u);
}

TEST(ToolFrameRegistry, EventsPostedBeforeTheRegistryWentAwayAreDropped) {
    MemorySettingsStore settings;
    QueueExecutor executor;
    auto registry = std::make_unique<ToolFrameRegistry>(settings, executor);
    FakeFrame frame(*registry);
    registry->openOrActivate(kKindKeypad, 4, [&] { return &frame; });
    registry->broadcast(DriveEvent(DriveEventKind::kNameChanged, 4));
    registry.reset();
    executor.drain();
    EXPECT_TRUE(frame.events.empty());
}

TEST_F(RegistryFixture, CloseAllClosesEveryFrameOnceEvenWhenClosingOneClosesAnother) {
    open(kKindParaEditor, 3);
    open(kKindReport, 3);
    open(kKindKeypad, 3);
    // An editor closes its own report on its way out.
    frames[0]->onClose = [this] { frames[1]->requestClose(); };

    registry.closeAll();
    EXPECT_EQ(registry.size(), 0u);
    for (auto& f : frames) EXPECT_EQ(f->closeRequests, 1);
}

TEST(RecentFileList, KeepsNewestFirstWithoutDuplicatesAndDropsFailedEntries) {
    RecentFileList list("Para");
    for (int i = 1; i <= 9; ++i) list.add("/d/f" + std::to_string(i) + ".usr");
    list.add("/d/f5.usr");
    ASSERT_EQ(list.paths().size(), 8u);
    EXPECT_EQ(list.paths()[0], "/d/f5.usr");
    EXPECT_EQ(list.paths()[1], "/d/f9.usr");
    EXPECT_EQ(list.paths()[7], "/d/f2.usr");  // f1 fell off the end, f5 did not repeat

    std::string opened;
    EXPECT_FALSE(list.choose(1, [&](const std::string& p) {
        opened = p;
        return false;
    }));
    EXPECT_EQ(opened, "/d/f9.usr");
    EXPECT_EQ(list.paths().size(), 7u);
    EXPECT_EQ(list.paths()[1], "/d/f8.usr");

    EXPECT_TRUE(list.choose(2, [&](const std::string& p) {
        list.add(p);  // a successful open re-adds the path at the top
        return true;
    }));
    EXPECT_EQ(list.paths()[0], "/d/f7.usr");
    EXPECT_EQ(list.paths().size(), 7u);
    EXPECT_FALSE(list.choose(99, [](const std::string&) { return true; }));
}

TEST(RecentFileList, SavesFileKeysAndAShorterListDoesNotResurrectOldEntries) {
    MemorySettingsStore settings;
    RecentFileList list("Scope");
    list.add("/a.sco");
    list.add("/b.sco");
    list.save(settings);
    EXPECT_EQ(settings.getString("Scope", "File1", ""), "/b.sco");
    EXPECT_EQ(settings.getString("Scope", "File2", ""), "/a.sco");

    list.remove(0);
    list.save(settings);
    RecentFileList reloaded("Scope");
    reloaded.load(settings);
    EXPECT_EQ(reloaded.paths(), std::vector<std::string>{"/a.sco"});
}

TEST(AbbreviatePath, ShortensToThirtyCharactersKeepingRootAndName) {
    struct Case {
        std::string path;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"/home/u/a.par", "/home/u/a.par"},
        {"/home/user/projects/plant/line3/pump.par", "/.../plant/line3/pump.par"},
        {"C:\\Users\\operator\\Documents\\drive7.par", "C:\\...\\Documents\\drive7.par"},
        {"/xyzw/averyverylongname_12345678.par", "averyverylongname_12345678.par"},
        {"/x/a_name_that_is_far_too_long_for_any_menu.par", "a_name_that_is_far_too_long..."},
        // Characters, not bytes: 30 kana fit.
        {"/d/ポンプポンプポンプポンプポンプポンプポンプ.par",
         "/d/ポンプポンプポンプポンプポンプポンプポンプ.par"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AbbreviatePath(c.path, 30), c.shown) << c.path;
    }
}

}  // namespace
}  // namespace korvane
