// The drive link on a real serial port, talking to simulated drives over a pseudo-terminal.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "integration/sim_line.h"

namespace korvane::testing {
namespace {

constexpr int kBaud = 115200;

class Collector : public ReplySink {
public:
    void OnDriveReply(int, const DriveReply& reply) override {
        const bool final =
            reply.errorCode == kErrNone || reply.errorCode == kErrRetriesExhausted ||
            (reply.errorCode >= kErrIllegalFunction && reply.errorCode <= kErrWriteMode);
        if (final) finals.push_back(reply);
    }
    std::vector<DriveReply> finals;
};

// Each station's words differ from the other's: an answer lent across stations shows.
std::uint16_t patternFor(int station, int address) {
    return static_cast<std::uint16_t>(0x1000 + (address & 0xFF) * 0x0111 + station * 0x0800);
}

// Two drives with their patterns at 0x0200.. and reads alternating between them, in queue order.
struct TwoDrives {
    static constexpr int kStations = 2;
    static void Fill(SimLine& line, int addresses) {
        for (int station = 1; station <= kStations; ++station) {
            auto& drive = line.engine().addDrive({station, 4, 0x0100, 3, 1});
            for (int a = 0; a < addresses; ++a)
                ASSERT_EQ(drive.write(0x0200 + a, patternFor(station, 0x0200 + a)),
                          sim::Access::Ok);
        }
    }
    static int Station(std::size_t i) { return 1 + static_cast<int>(i % kStations); }
    static int Address(std::size_t i, int addresses) {
        return 0x0200 + static_cast<int>((i / kStations) % static_cast<std::size_t>(addresses));
    }
};

struct FaultCase {
    const char* name;
    sim::SimProtocol simProtocol;
    int commMode;
    Pacing pacing;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkUnderFaults : public ::testing::TestWithParam<FaultCase> {};

// Lost and spoilt replies may cost retries and even whole requests, but a value the link
// reports as good must be the drive's word at the address that was asked for.
TEST_P(LinkUnderFaults, ManyReadsGiveOnlyRightValuesOrReportedFailures) {
    sim::SimConfig config;
    config.protocol = GetParam().simProtocol;
    config.line.baud = kBaud;
    config.line.turnaroundMs = 1;
    config.seed = 2024;
    config.faults.dropPct = 3;
    config.faults.corruptPct = 5;
    config.faults.garbagePct = 3;
    SimLine line(config);
    const int kAddresses = 16;
    TwoDrives::Fill(line, kAddresses);
    ASSERT_TRUE(line.start());

    LinkRig rig;
    rig.link.SetPacing(GetParam().pacing);
    // A time-out that a loaded machine running sanitizers still meets; each lost reply costs
    // it twice over (the time-out, then the silence before the repeat).
    ASSERT_EQ(rig.open(line.path(), GetParam().commMode, kBaud, 200, 2, 3), kLinkOpenOk);
    Collector sink;
    const std::size_t kReads = 600;
    for (std::size_t i = 0; i < kReads; ++i)
        rig.link.QueueRead(TwoDrives::Station(i), TwoDrives::Address(i, kAddresses), &sink);
    ASSERT_TRUE(
        rig.runUntil([&] { return sink.finals.size() >= kReads; }, std::chrono::seconds(100)));

    std::size_t good = 0, failed = 0;
    for (std::size_t i = 0; i < sink.finals.size(); ++i) {
        const DriveReply& r = sink.finals[i];
        // Results come back in queue order.
        const int asked = TwoDrives::Address(i, kAddresses);
        ASSERT_EQ(r.station, TwoDrives::Station(i)) << "result " << i;
        ASSERT_EQ(r.addresses[0], asked) << "result " << i;
        if (r.errorCode == kErrNone) {
            ASSERT_EQ(r.values[0], patternFor(r.station, asked)) << "result " << i;
            ++good;
        } else {
            EXPECT_EQ(r.errorCode, kErrRetriesExhausted) << "result " << i;
            EXPECT_NE(r.failingCode, kErrNone);
            ++failed;
        }
    }
    EXPECT_EQ(good + failed, kReads);
    EXPECT_GT(good, kReads * 9 / 10);  // four tries each: failing all of them is rare
    sim::SimStats stats;
    line.withEngine([&](sim::SimEngine& e) { stats = e.stats(); });
    EXPECT_GT(stats.dropped, 0);
    EXPECT_GT(stats.corrupted, 0);
    EXPECT_TRUE(rig.prompter.entries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Protocols, LinkUnderFaults,
    ::testing::Values(FaultCase{"tk485", sim::SimProtocol::Tk485, kCommTk485, Pacing::kTick},
                      FaultCase{"modbus", sim::SimProtocol::Modbus, kCommModbus, Pacing::kTick},
                      FaultCase{"tk485_fast", sim::SimProtocol::Tk485, kCommTk485, Pacing::kFast},
                      FaultCase{"modbus_fast", sim::SimProtocol::Modbus, kCommModbus,
                                Pacing::kFast}),
    [](const auto& info) { return std::string(info.param.name); });

struct LateCase {
    const char* name;
    sim::SimProtocol simProtocol;
    int commMode;
    int delayMs;
    Pacing pacing;
};

void PrintTo(const LateCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkWithSlowDrive : public ::testing::TestWithParam<LateCase> {};

// A drive that answers later than the time-out: its late answers must never be taken for the
// answers to later requests at other addresses.
TEST_P(LinkWithSlowDrive, ReadsGiveTheRightValuesOrReportedFailures) {
    constexpr int kTimeoutMs = 200;
    sim::SimConfig config;
    config.protocol = GetParam().simProtocol;
    config.line.baud = kBaud;
    config.faults.delayMs = GetParam().delayMs;
    SimLine line(config);
    const int kAddresses = 5;
    TwoDrives::Fill(line, kAddresses);
    ASSERT_TRUE(line.start());

    LinkRig rig;
    rig.link.SetPacing(GetParam().pacing);
    ASSERT_EQ(rig.open(line.path(), GetParam().commMode, kBaud, kTimeoutMs, 5, 1), kLinkOpenOk);
    Collector sink;
    const std::size_t kReads = 2 * TwoDrives::kStations * kAddresses;
    for (std::size_t i = 0; i < kReads; ++i)
        rig.link.QueueRead(TwoDrives::Station(i), TwoDrives::Address(i, kAddresses), &sink);
    // Halfway through the drive becomes quick again: what it still owes must not leak.
    bool quick = false;
    ASSERT_TRUE(rig.runUntil([&] {
        if (!quick && sink.finals.size() >= kReads / 2) {
            quick = true;
            line.withEngine([](sim::SimEngine& e) {
                sim::FaultConfig f = e.faults();
                f.delayMs = 0;
                e.setFaults(f);
            });
        }
        return sink.finals.size() >= kReads;
    }));
    std::size_t good = 0;
    for (std::size_t i = 0; i < sink.finals.size(); ++i) {
        const DriveReply& r = sink.finals[i];
        const int asked = TwoDrives::Address(i, kAddresses);
        ASSERT_EQ(r.station, TwoDrives::Station(i)) << "result " << i;
        ASSERT_EQ(r.addresses[0], asked) << "result " << i;
        if (r.errorCode == kErrNone) {
            EXPECT_EQ(r.values[0], patternFor(r.station, asked)) << "result " << i;
            ++good;
        } else {
            EXPECT_EQ(r.errorCode, kErrRetriesExhausted) << "result " << i;
        }
    }
    EXPECT_GE(good, kReads / 2 - 2);  // the quick half, nearly all
}

INSTANTIATE_TEST_SUITE_P(
    Delays, LinkWithSlowDrive,
    ::testing::Values(
        LateCase{"tk485_1_2x", sim::SimProtocol::Tk485, kCommTk485, 240, Pacing::kTick},
        LateCase{"tk485_1_8x", sim::SimProtocol::Tk485, kCommTk485, 360, Pacing::kTick},
        LateCase{"modbus_1_2x", sim::SimProtocol::Modbus, kCommModbus, 240, Pacing::kTick},
        LateCase{"modbus_1_8x", sim::SimProtocol::Modbus, kCommModbus, 360, Pacing::kTick},
        LateCase{"tk485_1_2x_fast", sim::SimProtocol::Tk485, kCommTk485, 240, Pacing::kFast},
        LateCase{"modbus_1_8x_fast", sim::SimProtocol::Modbus, kCommModbus, 360, Pacing::kFast}),
    [](const auto& info) { return std::string(info.param.name); });

class MonitorCollector : public MonitorListener {
public:
    void OnDriveMonitor(int station, const DriveReply& reply) override {
        if (reply.errorCode == kErrNone && reply.command != 'X') results[station].push_back(reply);
    }
    std::map<int, std::vector<DriveReply>> results;
};

TEST(LinkOverPty, MonitorsSeveralDrivesRoundRobinInBothProtocols) {
    for (auto [simProtocol, mode] : {std::pair{sim::SimProtocol::Tk485, kCommTk485},
                                     std::pair{sim::SimProtocol::Modbus, kCommModbus}}) {
        sim::SimConfig config;
        config.protocol = simProtocol;
        config.line.baud = kBaud;
        SimLine line(config);
        line.engine().addDrive({1, 4, 0x0100, 3, 1});
        line.engine().addDrive({2, 11, 0x0310, 5, 0});
        ASSERT_TRUE(line.start());
        LinkRig rig;
        ASSERT_EQ(rig.open(line.path(), mode, kBaud, 200, 5, 3), kLinkOpenOk);
        MonitorCollector listener;
        const int addresses[] = {0x0000, 0x0002, 0x0003};
        for (int station : {1, 2}) {
            (void)rig.link.AddMonitorAddresses(station, addresses, 3);
            rig.link.AddListener(station, &listener);
        }
        rig.link.SetPollRange(1, 2);
        ASSERT_TRUE(rig.runUntil(
            [&] { return listener.results[1].size() >= 3 && listener.results[2].size() >= 3; }));
        const std::map<int, std::map<int, int>> expected = {{1, {{0, 4}, {2, 1}, {3, 0x0100}}},
                                                            {2, {{0, 11}, {2, 0}, {3, 0x0310}}}};
        for (const auto& [station, replies] : listener.results) {
            for (const auto& r : replies) {
                for (int w = 0; w < r.wordCount; ++w) {
                    EXPECT_EQ(r.values[static_cast<std::size_t>(w)],
                              expected.at(station).at(r.addresses[static_cast<std::size_t>(w)]))
                        << "station " << station;
                }
            }
        }
        rig.link.RemoveListener(1, &listener);
        rig.link.RemoveListener(2, &listener);
    }
}

TEST(LinkOverPty, UnpluggedLineTimesOutWithOneReportAndWorksAgainAfterReopening) {
    sim::SimConfig config;
    config.line.baud = kBaud;
    auto line = std::make_unique<SimLine>(config);
    line->engine().addDrive({1, 4, 0x0100, 3, 1});
    ASSERT_TRUE(line->start());
    LinkRig rig;
    ASSERT_EQ(rig.open(line->path(), kCommTk485, kBaud, 100, 5, 1), kLinkOpenOk);
    Collector sink;
    rig.link.QueueRead(1, 0x0003, &sink);
    ASSERT_TRUE(rig.runUntil([&] { return sink.finals.size() == 1; }));
    EXPECT_EQ(sink.finals[0].values[0], 0x0100);

    line->unplug();
    for (int i = 0; i < 3; ++i) rig.link.QueueRead(1, 0x0003, &sink);
    ASSERT_TRUE(rig.runUntil([&] { return sink.finals.size() == 4; }));
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(sink.finals[i].errorCode, kErrRetriesExhausted);
        EXPECT_EQ(sink.finals[i].failingCode, kErrTimeout);
    }
    ASSERT_EQ(rig.prompter.entries().size(), 1u);
    EXPECT_EQ(rig.prompter.entries()[0].caption, "Application Error");

    line = std::make_unique<SimLine>(config);
    line->engine().addDrive({1, 4, 0x0100, 3, 1});
    ASSERT_TRUE(line->start());
    ASSERT_EQ(rig.open(line->path(), kCommTk485, kBaud, 100, 5, 1), kLinkOpenOk);
    rig.link.QueueRead(1, 0x0003, &sink);
    ASSERT_TRUE(rig.runUntil([&] { return sink.finals.size() == 5; }));
    EXPECT_EQ(sink.finals[4].errorCode, kErrNone);
    EXPECT_EQ(rig.prompter.entries().size(), 1u);
}

}  // namespace
}  // namespace korvane::testing
