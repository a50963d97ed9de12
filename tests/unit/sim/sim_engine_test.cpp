#include "sim/sim_engine.h"

#include <gtest/gtest.h>

#include "comm/modbus_codec.h"
#include "comm/tk485_codec.h"
#include "sim/sim_commands.h"

namespace korvane::sim {
namespace {

void send(SimEngine& e, const std::string& frame, std::int64_t nowUs) {
    e.receive(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size(), nowUs);
}

TEST(SimEngine, DelaysRepliesByTheLineTimeOfRequestAndReplyPlusTurnaround) {
    struct Case {
        int baud, dataBits, parityBits;
        double stopBits, turnaroundMs;
    } cases[] = {{9600, 8, 0, 1, 2}, {38400, 8, 0, 1, 0}, {9600, 7, 1, 2, 5}, {1200, 8, 1, 1, 2}};
    const std::string request = tk485::BuildRead(1, 0x0000);  // 11 characters
    const std::size_t replyChars = 11;                        // ACK 01R 0004 sum EOT
    for (const auto& c : cases) {
        SimConfig config;
        config.line = {c.baud, c.dataBits, c.parityBits, c.stopBits, c.turnaroundMs};
        SimEngine e(config);
        e.addDrive({1, 4, 0x0100, 3, 1});
        send(e, request, 1'000'000);
        const double bits = 1 + c.dataBits + c.parityBits + c.stopBits;
        const double expectedUs =
            (request.size() + replyChars) * bits * 1e6 / c.baud + c.turnaroundMs * 1000;
        auto due = e.nextDueUs();
        ASSERT_TRUE(due);
        EXPECT_NEAR(static_cast<double>(*due - 1'000'000), expectedUs, 1.0) << c.baud;
        EXPECT_TRUE(e.takeDue(*due - 1).empty());
        EXPECT_EQ(e.takeDue(*due).size(), replyChars);
        EXPECT_FALSE(e.nextDueUs());
    }
}

TEST(SimEngine, SilentStationsAndAbsentStationsNeverAnswer) {
    SimConfig config;
    config.faults.silentStations = {2};
    SimEngine e(config);
    e.addDrive({1, 4, 0x0100, 3, 1});
    e.addDrive({2, 4, 0x0100, 3, 1});
    send(e, tk485::BuildRead(2, 0x0000), 0);
    send(e, tk485::BuildRead(9, 0x0000), 0);
    EXPECT_FALSE(e.nextDueUs());
    send(e, tk485::BuildRead(1, 0x0000), 0);
    EXPECT_TRUE(e.nextDueUs());
}

// Every fault leaves the reply either missing or visibly wrong to the master's codec: none of
// them may turn into a good-looking reply with a wrong value.
TEST(SimEngine, InjectedFaultsNeverLookLikeAGoodWrongValue) {
    for (SimProtocol protocol : {SimProtocol::Tk485, SimProtocol::Modbus}) {
        SimConfig config;
        config.protocol = protocol;
        config.seed = 7;
        config.faults.dropPct = 10;
        config.faults.corruptPct = 20;
        config.faults.garbagePct = 20;
        SimEngine e(config);
        e.addDrive({1, 4, 0x0100, 3, 1});
        ASSERT_EQ(e.drive(1)->write(0x0200, 0x4321), Access::Ok);
        int good = 0, bad = 0, missing = 0;
        std::int64_t now = 0;
        for (int i = 0; i < 500; ++i) {
            tk485::Tk485Assembler ta;
            modbus::ModbusAssembler ma;
            if (protocol == SimProtocol::Tk485) {
                ta.Expect({1, 'R', 1});
                send(e, tk485::BuildRead(1, 0x0200), now);
            } else {
                ma.Expect({1, modbus::kReadInputRegisters, modbus::RegisterOf(0x0200)});
                auto f = modbus::BuildReadRequest(1, 0x0200);
                e.receive(f.data(), f.size(), now);
            }
            now += 100'000;
            bool complete = false;
            for (auto b : e.takeDue(now)) {
                if (protocol == SimProtocol::Tk485 ? ta.PushByte(b) : ma.PushByte(b)) {
                    complete = true;
                    int error = protocol == SimProtocol::Tk485 ? ta.errorCode() : ma.errorCode();
                    int value = protocol == SimProtocol::Tk485 ? ta.values()[0] : ma.value();
                    if (error == kErrNone) {
                        EXPECT_EQ(value, 0x4321);
                        ++good;
                    } else {
                        ++bad;
                    }
                    break;
                }
            }
            if (!complete) ++missing;
        }
        const SimStats& s = e.stats();
        EXPECT_EQ(s.requests, 500);
        EXPECT_EQ(missing + bad + good, 500);
        EXPECT_GT(s.dropped, 25);
        EXPECT_GT(s.corrupted, 50);
        EXPECT_GE(missing, s.dropped);
        EXPECT_GT(good, 250);
    }
}

TEST(SimEngine, TheSameSeedGivesTheSameFaultPattern) {
    auto pattern = [](std::uint32_t seed) {
        SimConfig config;
        config.seed = seed;
        config.faults.dropPct = 30;
        SimEngine e(config);
        e.addDrive({1, 4, 0x0100, 3, 1});
        std::string answered;
        for (int i = 0; i < 64; ++i) {
            send(e, tk485::BuildRead(1, 0x0000), i * 100'000);
            answered += e.takeDue(i * 100'000 + 99'000).empty() ? '-' : '+';
        }
        return answered;
    };
    EXPECT_EQ(pattern(5), pattern(5));
    EXPECT_NE(pattern(5), pattern(6));
}

TEST(SimEngine, DelayPushesRepliesBeyondATimeOut) {
    SimConfig config;
    config.line.baud = 115200;
    SimEngine e(config);
    e.addDrive({1, 4, 0x0100, 3, 1});
    std::string message;
    ASSERT_TRUE(ApplySimCommand(e, "delay 1500", message));
    send(e, tk485::BuildRead(1, 0x0000), 0);
    ASSERT_TRUE(e.nextDueUs());
    EXPECT_GT(*e.nextDueUs(), 1'500'000);
}

TEST(SimCommands, ParseAndApply) {
    SimEngine e(SimConfig{});
    e.addDrive({2, 11, 0x0310, 5, 1});
    struct Case {
        const char* line;
        bool ok;
    } cases[] = {
        {"drop 10", true},   {"corrupt 5", true},  {"garbage 0x0A", true}, {"nak WM", true},
        {"nak 2 50", true},  {"silent 2", true},   {"speak 2", true},      {"delay 1200", true},
        {"trip 2", true},    {"trip 2 40", true},  {"clear", true},        {"status", true},
        {"drop 101", false}, {"drop", false},      {"drop 5 6", false},    {"silent 0", false},
        {"trip 9", false},   {"trip 2 64", false}, {"fly 3", false},       {"3", false},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(ApplySimCommand(e, c.line, message), c.ok) << c.line << ": " << message;
    }
    std::string message;
    ASSERT_TRUE(ApplySimCommand(e, "drop 10", message));
    ASSERT_TRUE(ApplySimCommand(e, "nak IA 25", message));
    ASSERT_TRUE(ApplySimCommand(e, "silent 4", message));
    EXPECT_EQ(e.faults().dropPct, 10);
    EXPECT_EQ(e.faults().nakCode, "IA");
    EXPECT_EQ(e.faults().nakPct, 25);
    EXPECT_EQ(e.faults().silentStations, std::set<int>{4});
    ASSERT_TRUE(ApplySimCommand(e, "clear", message));
    EXPECT_EQ(e.faults(), FaultConfig{});
}

// In-process users (the tests, the app's simulated line) choose whether drives take their data
// files; a drive whose series and version have none keeps the permissive parameter area.
TEST(SimEngine, DrivesTakeTheParametersOfTheirDataFileWhenOneFits) {
    struct Case {
        const char* dataDir;
        DriveIdentity id;
        bool strict;
        std::uint16_t address;
        std::uint16_t value;  // what a fresh drive reads there
    } cases[] = {
        {KORVANE_TEST_DATA_DIR, {1, 11, 0x0310, 5, 1}, true, 0x1003, 200},
        {KORVANE_TEST_DATA_DIR, {2, 4, 0x0100, 3, 1}, false, 0x5101, 0},
        {"", {3, 11, 0x0310, 5, 1}, false, 0x1209, 1},
        // The ramp times a master reads from Fir drives stay although its file lacks them.
        {KORVANE_TEST_DATA_DIR, {4, 5, 0x0312, 3, 0}, true, 0x0503, 50},
        {"/nonexistent", {5, 11, 0x0310, 5, 1}, false, 0x1003, 0},
    };
    for (const auto& c : cases) {
        SimConfig config;
        config.dataDir = c.dataDir;
        SimEngine e(config);
        SimDrive& d = e.addDrive(c.id);
        EXPECT_EQ(d.hasParameterTable(), c.strict) << c.id.station;
        std::uint16_t v = 0xBEEF;
        ASSERT_EQ(d.read(c.address, v), Access::Ok) << c.id.station;
        EXPECT_EQ(v, c.value) << c.id.station;
        EXPECT_EQ(d.write(c.address, c.value), Access::Ok) << c.id.station;
    }
}

TEST(SimCommands, DriveSpecs) {
    struct Case {
        const char* text;
        bool ok;
        DriveIdentity id;
    } cases[] = {
        {"3:11:0x0310:5:1", true, {3, 11, 0x0310, 5, 1}},
        {"1:4", true, {1, 4, 0x0100, 3, 1}},
        {"255:5:256:0:0", true, {255, 5, 256, 0, 0}},
        {"0:4", false, {}},
        {"256:4", false, {}},
        {"1", false, {}},
        {"1:4:0x0100:3:1:9", false, {}},
        {"1:x", false, {}},
        {"1:4::3", false, {}},
    };
    for (const auto& c : cases) {
        auto id = ParseDriveSpec(c.text);
        ASSERT_EQ(id.has_value(), c.ok) << c.text;
        if (!id) continue;
        EXPECT_EQ(id->station, c.id.station) << c.text;
        EXPECT_EQ(id->series, c.id.series) << c.text;
        EXPECT_EQ(id->version, c.id.version) << c.text;
        EXPECT_EQ(id->capacity, c.id.capacity) << c.text;
        EXPECT_EQ(id->voltage, c.id.voltage) << c.text;
    }
}

}  // namespace
}  // namespace korvane::sim
