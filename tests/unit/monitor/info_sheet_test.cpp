#include "monitor/info_sheet.h"

#include <gtest/gtest.h>

#include "monitor/device_name.h"
#include "unit/monitor/monitor_rig.h"

namespace korvane {
namespace {

using test::MonitorRig;

std::size_t countOn(const std::vector<InfoBox>& boxes) {
    std::size_t n = 0;
    for (const InfoBox& b : boxes) n += b.on ? 1 : 0;
    return n;
}

DriveReply Values(int station, std::vector<std::pair<int, int>> words) {
    DriveReply r;
    r.station = station;
    r.command = 'Y';
    r.wordCount = static_cast<int>(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        r.addresses[i] = words[i].first;
        r.values[i] = words[i].second;
    }
    return r;
}

DriveReply Failure(int station, int failingCode) {
    DriveReply r;
    r.station = station;
    r.command = 'Y';
    r.errorCode = kErrRetriesExhausted;
    r.failingCode = failingCode;
    return r;
}

TEST(InfoSheetPages, PollAndShowWhatTheSeriesAndVersionHave) {
    struct Case {
        int series, version;
        std::vector<int> fault;
        std::size_t inputs, outputs, trips;
    };
    const Case cases[] = {
        {4, 0x0100, {0x000F}, 11, 5, 16},
        {10, 0x0014, {0x000F}, 0, 0, 16},
        {10, 0x0015, {0x000F, 0x001D}, 0, 0, 20},
        {11, 0x0100, {0x0330, 0x0331, 0x0332, 0x0333}, 0, 0, 37},
        {13, 0x0100, {0x000F}, 0, 0, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "series " << c.series << " version " << c.version);
        MonitorRig rig;
        rig.connect(3, c.series, c.version);
        InfoSheet sheet(rig.services, 3);
        sheet.showPage(InfoSheet::kTerminalPage);
        sheet.showPage(InfoSheet::kFaultPage);
        EXPECT_EQ(rig.polled(3), c.fault);
        EXPECT_EQ(sheet.faultPage().trips().size(), c.trips);
        if (c.inputs) {
            EXPECT_EQ(sheet.terminalPage().inputs().size(), c.inputs);
            EXPECT_EQ(sheet.terminalPage().outputs().size(), c.outputs);
        }
        EXPECT_LE(sheet.terminalPage().inputs().size(), kInfoInputBoxes);
        EXPECT_LE(sheet.terminalPage().outputs().size(), kInfoOutputBoxes);
        EXPECT_LE(sheet.faultPage().trips().size(), kInfoTripBoxes);
    }
    EXPECT_EQ(RunPageAddresses(5),
              (std::vector<int>{0x0502, 0x0503, 0x0504, 0x0009, 0x0020, 0x000D, 0x000E, 0x000C}));
    EXPECT_EQ(RunPageAddresses(13),
              (std::vector<int>{0x0005, 0x0007, 0x0008, 0x0009, 0x000A, 0x000E, 0x000C}));
}

TEST(InfoSheetPages, EachTripWordTicksOnlyItsOwnBoxes) {
    struct Case {
        int series, version, address, word;
        std::size_t first, last;  // boxes expected on, inclusive
    };
    const Case cases[] = {
        {11, 0x0100, 0x0333, 0xFFFF, 32, 36}, {11, 0x0100, 0x0330, 0xFFFF, 0, 15},
        {10, 0x0015, 0x001D, 0xFFFF, 16, 19}, {10, 0x0015, 0x000F, 0xFFFF, 0, 15},
        {4, 0x0100, 0x000F, 0x0002, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "series " << c.series << " word " << c.address);
        MonitorRig rig;
        rig.connect(2, c.series, c.version);
        InfoSheet sheet(rig.services, 2);
        sheet.showPage(InfoSheet::kFaultPage);
        sheet.faultPage().OnDriveMonitor(2, Values(2, {{c.address, c.word}}));
        const auto& boxes = sheet.faultPage().trips();
        EXPECT_EQ(countOn(boxes), c.last - c.first + 1);
        for (std::size_t i = c.first; i <= c.last; ++i) EXPECT_TRUE(boxes.at(i).on) << i;
    }
}

TEST(InfoSheetPages, TerminalsAndRunValuesFollowTheReplies) {
    MonitorRig rig;
    DriveRecord& d = rig.connect(1, 4, 0x0100);
    InfoSheet sheet(rig.services, 1);
    d.outputCurrent = 123;
    d.statusWord = 0x0002;
    sheet.runPage().OnDriveMonitor(1, Values(1, {{0x0005, 5000}, {0x0009, 0}, {0x000E, 0}}));
    EXPECT_EQ(sheet.runPage().text(RunStatusPage::kFrequencyCommand), "50.00 Hz");
    EXPECT_EQ(sheet.runPage().text(RunStatusPage::kOutputCurrent), "12.3 A");  // the record's
    EXPECT_EQ(sheet.runPage().text(RunStatusPage::kRunStatus), "順方向");
    EXPECT_EQ(sheet.runPage().commandLabel(), "Freq. コマンド:");

    sheet.showPage(InfoSheet::kTerminalPage);
    sheet.terminalPage().OnDriveMonitor(1, Values(1, {{0x0010, 0x0109}, {0x0011, 0x0010}}));
    const auto& in = sheet.terminalPage().inputs();
    EXPECT_TRUE(in[0].on);  // FX bit 0
    EXPECT_TRUE(in[3].on);  // RST bit 3
    EXPECT_TRUE(in[5].on);  // P1 bit 8
    EXPECT_EQ(countOn(in), 3u);
    EXPECT_TRUE(sheet.terminalPage().outputs()[4].on);  // 30AC bit 4
    EXPECT_EQ(in[0].caption, "FX");
}

TEST(InfoSheetTitle, NameGraphWatchAndFailures) {
    DriveRecord d(7);
    d.connected = d.supported = 1;
    d.seriesCode = 4;
    d.capacityCode = 4;
    d.inputVoltageCode = 1;
    d.version = 0x0312;
    EXPECT_EQ(InfoSheetTitle(d, "", false), "7 : Elm (5.5kW-4) Ver3.18");
    EXPECT_EQ(InfoSheetTitle(d, "  pump ", false), "7 : Elm (5.5kW-4) Ver3.18 - pump");
    EXPECT_EQ(InfoSheetTitle(d, "pump", true),
              "グラフ警戒モード - 7 : Elm (5.5kW-4) Ver3.18 - pump");
    EXPECT_EQ(InfoSheetTitle(d, "   ", true), "グラフ警戒モード - 7 : Elm (5.5kW-4) Ver3.18");
    // A name is text, never a format.
    EXPECT_EQ(InfoSheetTitle(d, "%s%n%d", false), "7 : Elm (5.5kW-4) Ver3.18 - %s%n%d");
    EXPECT_EQ(InfoFailureTitle(7, kErrTimeout), "7番号インバータが切断されます");
    EXPECT_EQ(InfoFailureTitle(7, kErrSum), "*** 合計エラー ***");
    EXPECT_EQ(TripCaption("過電流 (OCT)"), "過電流");
    EXPECT_EQ(TripCaption("(x) first"), "(x) first");
    EXPECT_EQ(TripCaption("過熱"), "過熱");
}

TEST(InfoSheetName, ApplyTrimsCutsAndTellsTheMainWindowOnlyOnChange) {
    MonitorRig rig;
    rig.connect(5, 4, 0x0100);
    InfoSheet sheet(rig.services, 5);
    EXPECT_TRUE(sheet.applyDeviceName("  conveyor %s  "));
    EXPECT_EQ(ReadDeviceName(rig.settings, 5), "conveyor %s");
    EXPECT_NE(sheet.title().find(" - conveyor %s"), std::string::npos);
    EXPECT_FALSE(sheet.applyDeviceName("conveyor %s"));
    EXPECT_EQ(rig.host.renamed, std::vector<int>{5});

    EXPECT_TRUE(sheet.applyDeviceName("あいうえおかきくけこさしすせそたち"));  // 17 characters
    EXPECT_EQ(ReadDeviceName(rig.settings, 5), "あいうえおかきくけこさしすせそ");
    EXPECT_TRUE(sheet.applyDeviceName("   "));
    EXPECT_EQ(ReadDeviceName(rig.settings, 5), "");
    EXPECT_EQ(sheet.title().find(" - "), std::string::npos);
}

// Registrations are counted by the link: the sheet must take back exactly what it gave, or a
// second window that polls the same words loses them.
TEST(InfoSheetRegistration, ActivationRetargetGraphWatchAndDisconnection) {
    MonitorRig rig;
    rig.connect(1, 4, 0x0100);
    rig.connect(2, 11, 0x0100);
    const std::vector<int> run4 = {5, 7, 8, 9, 10, 12, 13, 14};
    {
        InfoSheet sheet(rig.services, 1);
        EXPECT_EQ(rig.polled(1), run4);

        // Another window polls the status word too.
        int status = 0x000E;
        rig.link.AddMonitorAddresses(1, &status, 1);

        sheet.showPage(InfoSheet::kFaultPage);
        EXPECT_EQ(rig.polled(1), (std::vector<int>{0x000E, 0x000F}));
        sheet.showPage(InfoSheet::kFaultPage);  // already shown: nothing twice
        sheet.showPage(InfoSheet::kRunPage);
        EXPECT_EQ(rig.polled(1), run4);

        rig.host.graphWatch = true;
        sheet.onGraphWatchChanged(true);
        EXPECT_EQ(rig.polled(1), std::vector<int>{0x000E});
        EXPECT_FALSE(sheet.runPage().controlsEnabled());
        EXPECT_EQ(sheet.title().rfind("グラフ警戒モード - 1 : Elm", 0), 0u);
        rig.host.graphWatch = false;
        sheet.onGraphWatchChanged(false);
        sheet.onGraphWatchChanged(false);
        // Every page built so far takes up its polling again, the hidden one too.
        EXPECT_EQ(rig.polled(1), (std::vector<int>{5, 7, 8, 9, 10, 12, 13, 14, 15}));

        // Both built pages follow the new drive; the old one keeps only the other window's word.
        sheet.retarget(2);
        EXPECT_EQ(rig.polled(1), std::vector<int>{0x000E});
        EXPECT_EQ(rig.polled(2),
                  (std::vector<int>{0x0005, 0x0007, 0x0008, 0x0009, 0x000A, 0x000C, 0x000D, 0x000E,
                                    0x0330, 0x0331, 0x0332, 0x0333}));
        EXPECT_EQ(sheet.faultPage().trips().size(), 37u);

        rig.records[2].reset();
        sheet.onDriveDisconnected(2);
        EXPECT_TRUE(rig.polled(2).empty());
        EXPECT_EQ(sheet.title(), "2番号インバータが切断されます");
        sheet.showPage(InfoSheet::kRunPage);  // a disconnected drive registers nothing
        EXPECT_TRUE(rig.polled(2).empty());
        rig.link.RemoveMonitorAddresses(1, &status, 1);
    }
    EXPECT_TRUE(rig.polled(1).empty());
}

// The link forgets a station whose polling failed for good; the page registers again on its
// next activation while the drive is still connected.
TEST(InfoSheetRegistration, RecoversAfterAFinalFailure) {
    MonitorRig rig(0);
    DriveRecord& d = rig.connect(4, 4, 0x0100);
    InfoSheet sheet(rig.services, 4);
    d.outputCurrent = 10;
    sheet.runPage().OnDriveMonitor(4, Values(4, {{0x0009, 0}}));
    EXPECT_FALSE(sheet.runPage().text(RunStatusPage::kOutputCurrent).empty());

    rig.drives.silent.insert(4);
    rig.tick(60);
    EXPECT_EQ(sheet.title(), "4番号インバータが切断されます");
    EXPECT_FALSE(sheet.runPage().controlsEnabled());
    EXPECT_TRUE(sheet.runPage().text(RunStatusPage::kOutputCurrent).empty());
    EXPECT_FALSE(sheet.runPage().registered());

    rig.drives.silent.clear();
    sheet.showPage(InfoSheet::kTerminalPage);
    EXPECT_EQ(rig.polled(4), TerminalPageAddresses());
    EXPECT_TRUE(sheet.terminalPage().controlsEnabled());
    EXPECT_EQ(sheet.title().rfind("4 : Elm", 0), 0u);

    sheet.runPage().OnDriveMonitor(4, Failure(4, kErrSum));
    EXPECT_EQ(sheet.title(), "*** 合計エラー ***");
}

// The sheet greys a value that is not live: after a failed poll, on a page that is not shown,
// and in graph watch mode; the next good reply brings it back.
TEST(InfoSheetPages, ValuesAreLiveOnlyWhileTheirPollingIs) {
    MonitorRig rig(3);
    rig.connect(3, 4, 0x0100);
    InfoSheet sheet(rig.services, 3);
    int changes = 0;
    Connection changed = sheet.changed.connect([&] { ++changes; });
    const RunStatusPage& run = sheet.runPage();
    rig.tick(4);
    EXPECT_TRUE(run.textLive(RunStatusPage::kOutputFrequency));
    EXPECT_TRUE(run.textLive(RunStatusPage::kDcLinkVoltage));

    rig.drives.silent.insert(3);
    changes = 0;
    rig.tick(12);  // the first time-out
    EXPECT_GT(changes, 0);
    EXPECT_FALSE(run.textLive(RunStatusPage::kOutputFrequency));
    rig.drives.silent.clear();
    rig.tick(30);
    EXPECT_TRUE(run.textLive(RunStatusPage::kOutputFrequency));

    sheet.showPage(InfoSheet::kTerminalPage);
    // The silent spell left an answer owed: a read of another word waits out the guard first.
    rig.tick(40);
    EXPECT_FALSE(run.textLive(RunStatusPage::kOutputFrequency));
    const TerminalPage& io = sheet.terminalPage();
    ASSERT_FALSE(io.inputs().empty());
    EXPECT_TRUE(io.live(io.inputs()[0].address));

    rig.host.graphWatch = true;
    sheet.onGraphWatchChanged(true);
    EXPECT_FALSE(io.live(io.inputs()[0].address));
}

}  // namespace
}  // namespace korvane
