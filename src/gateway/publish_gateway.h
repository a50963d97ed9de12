#pragma once
// The plant gateway's core: turns what the connection manager reports about the line into MQTT
// messages. It only ever reads the drive records; nothing it receives reaches a drive.
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "gateway/drive_messages.h"

namespace korvane {

// Where the gateway's messages go. Implementations must return at once: the caller is the
// link's thread, whose tick nothing may hold off.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void publish(const OutgoingMessage& message) = 0;
};

// Wall time for the timestamps, steady time for the pacing: a clock step must neither stall
// nor flood the values.
class GatewayClock {
public:
    virtual ~GatewayClock() = default;
    virtual std::chrono::system_clock::time_point wall() const = 0;
    virtual std::chrono::steady_clock::time_point steady() const = 0;
};

class SystemGatewayClock : public GatewayClock {
public:
    std::chrono::system_clock::time_point wall() const override;
    std::chrono::steady_clock::time_point steady() const override;
};

struct GatewayConfig {
    std::string topicPrefix = "korvane";
    std::chrono::milliseconds interval{1000};
};

class PublishGateway : public ConnectionEvents {
public:
    using NameLookup = std::function<std::string(int station)>;

    PublishGateway(const DriveRecords& records, MessageSink& sink, const GatewayClock& clock,
                   GatewayConfig config, NameLookup deviceName = {});

    // The retained status; the last will is the same topic with online false.
    OutgoingMessage statusMessage(bool online) const;

    // Sends the values of drives whose interval has passed since their last values and that
    // changed meanwhile. Call it often (every turn of the link's loop).
    void flush();
    // After the first scan: clears the retained state a previous run left for listed stations
    // that are not on the line now, so the broker holds exactly the drives present.
    void forgetAbsent(const std::vector<int>& stations);

    void driveConnected(int station, const DriveRecord& record) override;
    void driveDisconnected(int station, const DriveRecord& record) override;
    void driveValuesChanged(int station) override;
    void faultRecorded(const DriveRecord& record) override;

private:
    struct StationState {
        bool announced = false;  // a state message has been sent for the station
        bool pending = false;    // values changed since they were last sent
        bool everSent = false;
        std::chrono::steady_clock::time_point lastSent{};
        std::array<int, 6> faultWords{};
    };
    std::string driveTopic(int station) const;
    void sendValues(int station, StationState& state);
    static std::array<int, 6> faultWordsOf(const DriveRecord& record);

    const DriveRecords& records_;
    MessageSink& sink_;
    const GatewayClock& clock_;
    GatewayConfig config_;
    NameLookup deviceName_;
    std::map<int, StationState> stations_;
};

}  // namespace korvane
