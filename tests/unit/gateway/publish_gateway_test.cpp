#include "gateway/publish_gateway.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "paradb/drive_record.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class FakeClock : public GatewayClock {
public:
    std::chrono::system_clock::time_point wall() const override { return wall_; }
    std::chrono::steady_clock::time_point steady() const override { return steady_; }
    void advance(std::chrono::milliseconds d) {
        wall_ += d;
        steady_ += d;
    }
    // 2026-12-09T10:00:00.123Z
    std::chrono::system_clock::time_point wall_{std::chrono::milliseconds(1796810400123LL)};
    std::chrono::steady_clock::time_point steady_{};
};

class RecordingSink : public MessageSink {
public:
    void publish(const OutgoingMessage& m) override { sent.push_back(m); }
    std::vector<OutgoingMessage> on(const std::string& topic) const {
        std::vector<OutgoingMessage> out;
        for (const auto& m : sent)
            if (m.topic == topic) out.push_back(m);
        return out;
    }
    std::vector<OutgoingMessage> sent;
};

void MakeKapok(DriveRecord& r, int station) {
    r.station = station;
    r.connected = 1;
    r.supported = 1;
    r.seriesCode = 11;
    r.capacityCode = 4;
    r.inputVoltageCode = 1;
    r.version = 0x0310;
    r.statusWord = kStatusForward | kStatusAccelerating;
    r.frequencyCommand = 3000;
    r.outputFrequency = 2950;
    r.outputCurrent = 34;
}

class PublishGatewayTest : public ::testing::Test {
protected:
    void connect(int station) {
        MakeKapok(records_[station], station);
        gateway_.driveConnected(station, records_[station]);
    }
    DriveRecords records_;
    RecordingSink sink_;
    FakeClock clock_;
    PublishGateway gateway_{records_, sink_, clock_, GatewayConfig{"plant", 1000ms},
                            [](int station) { return station == 3 ? "Pump A" : ""; }};
};

TEST(DriveMessagesTest, UtcTimeHasMillisecondsAndZone) {
    EXPECT_EQ(IsoUtcTime(std::chrono::system_clock::time_point(1796810400123ms)),
              "2026-12-09T10:00:00.123Z");
    EXPECT_EQ(IsoUtcTime(std::chrono::system_clock::time_point(0ms)), "1970-01-01T00:00:00.000Z");
}

TEST_F(PublishGatewayTest, ConnectionAndRemovalGiveRetainedStates) {
    connect(3);
    records_[3].reset();
    gateway_.driveDisconnected(3, records_[3]);

    const auto states = sink_.on("plant/drive/3");
    ASSERT_EQ(states.size(), 2u);
    const json up = json::parse(states[0].payload);
    EXPECT_TRUE(states[0].retain);
    EXPECT_EQ(up["station"], 3);
    EXPECT_EQ(up["connected"], true);
    EXPECT_EQ(up["series"], 11);
    EXPECT_EQ(up["series_name"], "Kapok");
    EXPECT_EQ(up["capacity"], "5.5kW-4");  // as the drive list words it
    EXPECT_EQ(up["name"], "Pump A");
    EXPECT_EQ(states[1].payload, R"({"station":3,"connected":false})");
    EXPECT_TRUE(states[1].retain);
    EXPECT_EQ(gateway_.statusMessage(false), (OutgoingMessage{"plant/status", "offline", 1, true}));
}

TEST_F(PublishGatewayTest, UnsupportedDrivesAndUnknownRemovalsSendNothing) {
    records_[4].station = 4;
    records_[4].connected = 1;
    records_[4].seriesCode = 99;
    gateway_.driveConnected(4, records_[4]);
    gateway_.driveDisconnected(5, records_[5]);
    gateway_.driveValuesChanged(4);
    EXPECT_TRUE(sink_.sent.empty());
}

TEST_F(PublishGatewayTest, ValuesCarryDisplayUnitsStatusAndRunState) {
    connect(3);
    records_[3].runCommand = 0x11;
    records_[3].motorPoles = 4;
    gateway_.driveValuesChanged(3);

    const auto values = sink_.on("plant/drive/3/values");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].qos, 0);
    EXPECT_FALSE(values[0].retain);
    const json v = json::parse(values[0].payload);
    EXPECT_EQ(v["t"], "2026-12-09T10:00:00.123Z");
    EXPECT_DOUBLE_EQ(v["frequency_command"].get<double>(), 30.0);
    EXPECT_DOUBLE_EQ(v["output_frequency"].get<double>(), 29.5);
    EXPECT_DOUBLE_EQ(v["output_current"].get<double>(), 3.4);
    EXPECT_EQ(v["status"], kStatusForward | kStatusAccelerating);
    EXPECT_EQ(v["run_state"], "順方向 加速中…");
    EXPECT_TRUE(v["run_command"].is_number_integer());
    EXPECT_EQ(v["run_command"], 0x11);  // no display text: raw
    EXPECT_TRUE(v["motor_poles"].is_number_integer());
    EXPECT_EQ(v["motor_poles"], 4);
}

TEST_F(PublishGatewayTest, WordsNotLiveAreNull) {
    connect(3);
    records_[3].staleAddresses = {10, kStatusWordAddress};
    gateway_.driveValuesChanged(3);
    const json v = json::parse(sink_.on("plant/drive/3/values").at(0).payload);
    EXPECT_TRUE(v["output_frequency"].is_null());
    EXPECT_TRUE(v["status"].is_null());
    EXPECT_TRUE(v["run_state"].is_null());
    EXPECT_FALSE(v["output_current"].is_null());

    records_[3].staleAddresses = MonitoredAddresses(11, records_[3].version);
    clock_.advance(5000ms);
    gateway_.driveValuesChanged(3);
    EXPECT_EQ(sink_.on("plant/drive/3/values").size(), 1u);  // nothing live: nothing to say
}

TEST_F(PublishGatewayTest, ValuesGoOutAtMostOncePerIntervalAndTheLatestIsNotLost) {
    connect(3);
    struct Step {
        std::chrono::milliseconds advance;
        bool change;
        int frequency;
        std::size_t expectedCount;
    };
    const Step steps[] = {
        {0ms, true, 1000, 1},                          // first values at once
        {300ms, true, 1100, 1},                        // within the interval: held
        {300ms, false, 0, 1},                          // flush, still within
        {400ms, false, 0, 2},                          // interval passed: the held values go
        {100ms, false, 0, 2},                          // nothing changed: nothing to send
        {2000ms, false, 0, 2},  {0ms, true, 1200, 3},  // a change long after the last goes at once
    };
    for (const Step& s : steps) {
        clock_.advance(s.advance);
        if (s.change) {
            records_[3].outputFrequency = s.frequency;
            gateway_.driveValuesChanged(3);
        }
        gateway_.flush();
        EXPECT_EQ(sink_.on("plant/drive/3/values").size(), s.expectedCount)
            << "after " << s.advance.count() << " ms";
    }
    const auto values = sink_.on("plant/drive/3/values");
    EXPECT_DOUBLE_EQ(json::parse(values[1].payload)["output_frequency"].get<double>(), 11.0);
}

TEST_F(PublishGatewayTest, OneFaultMessagePerWordThatGoesFromClearToSet) {
    connect(3);
    DriveRecord& r = records_[3];
    struct Step {
        int word1;
        int word3;
        bool recorded;  // the connection manager reports a fault
        std::size_t expectedFaults;
    };
    const Step steps[] = {
        {0x0001, 0, true, 1},     // first trip
        {0x0001, 0, false, 1},    // still set: no repeat
        {0x0003, 0x10, true, 2},  // another word set; word 1 only changed bits
        {0, 0, false, 2},         // cleared
        {0x0002, 0, true, 3},     // set again: a new fault
    };
    for (const Step& s : steps) {
        r.faultWord1 = s.word1;
        r.faultWords3to6[0] = s.word3;
        if (s.recorded) gateway_.faultRecorded(r);
        gateway_.driveValuesChanged(3);
        EXPECT_EQ(sink_.on("plant/drive/3/fault").size(), s.expectedFaults);
    }
    const auto faults = sink_.on("plant/drive/3/fault");
    const json first = json::parse(faults[0].payload);
    EXPECT_EQ(faults[0].qos, 1);
    EXPECT_FALSE(faults[0].retain);
    EXPECT_EQ(first["word"], 15);
    EXPECT_EQ(first["value"], 1);
    const json kapokWord = json::parse(faults[1].payload);
    EXPECT_EQ(kapokWord["word"], 816);
    EXPECT_FALSE(kapokWord["fault"].get<std::string>().empty());
}

TEST_F(PublishGatewayTest, AbsentStationsLoseTheirRetainedState) {
    connect(3);
    gateway_.forgetAbsent({1, 2, 3});
    EXPECT_EQ(sink_.on("plant/drive/1").at(0).payload, "");
    EXPECT_TRUE(sink_.on("plant/drive/1").at(0).retain);
    EXPECT_EQ(sink_.on("plant/drive/2").size(), 1u);
    EXPECT_EQ(sink_.on("plant/drive/3").size(), 1u);  // only its connection state
}

}  // namespace
}  // namespace korvane
