#include "gateway/publish_gateway.h"

#include <utility>

#include "paradb/drive_record.h"

namespace korvane {

std::chrono::system_clock::time_point SystemGatewayClock::wall() const {
    return std::chrono::system_clock::now();
}

std::chrono::steady_clock::time_point SystemGatewayClock::steady() const {
    return std::chrono::steady_clock::now();
}

PublishGateway::PublishGateway(const DriveRecords& records, MessageSink& sink,
                               const GatewayClock& clock, GatewayConfig config,
                               NameLookup deviceName)
    : records_(records),
      sink_(sink),
      clock_(clock),
      config_(std::move(config)),
      deviceName_(std::move(deviceName)) {}

OutgoingMessage PublishGateway::statusMessage(bool online) const {
    return {config_.topicPrefix + "/status", online ? "online" : "offline", 1, true};
}

std::string PublishGateway::driveTopic(int station) const {
    return config_.topicPrefix + "/drive/" + std::to_string(station);
}

std::array<int, 6> PublishGateway::faultWordsOf(const DriveRecord& r) {
    return {r.faultWord1,        r.faultWord2,        r.faultWords3to6[0],
            r.faultWords3to6[1], r.faultWords3to6[2], r.faultWords3to6[3]};
}

void PublishGateway::driveConnected(int station, const DriveRecord& record) {
    // Unsupported drives are not monitored, so a consumer could never tell them from dead ones.
    if (!record.isConnected()) return;
    StationState& state = stations_[station];
    state = StationState{};
    state.announced = true;
    state.faultWords = faultWordsOf(record);
    const std::string name = deviceName_ ? deviceName_(station) : std::string();
    sink_.publish({driveTopic(station), DriveStateJson(record, name), 1, true});
}

void PublishGateway::driveDisconnected(int station, const DriveRecord&) {
    auto it = stations_.find(station);
    if (it == stations_.end() || !it->second.announced) return;
    stations_.erase(it);
    sink_.publish({driveTopic(station), DriveRemovedJson(station), 1, true});
}

void PublishGateway::forgetAbsent(const std::vector<int>& stations) {
    for (int station : stations) {
        if (stations_.count(station)) continue;
        // An empty retained message deletes what the broker keeps for the topic.
        sink_.publish({driveTopic(station), "", 1, true});
    }
}

void PublishGateway::driveValuesChanged(int station) {
    auto it = stations_.find(station);
    if (it == stations_.end()) return;
    StationState& state = it->second;
    // Cleared words are taken here, so that the next 0-to-set change is recognised as new.
    state.faultWords = faultWordsOf(records_[station]);
    state.pending = true;
    if (!state.everSent || clock_.steady() - state.lastSent >= config_.interval)
        sendValues(station, state);
}

void PublishGateway::flush() {
    const auto now = clock_.steady();
    for (auto& [station, state] : stations_) {
        if (state.pending && now - state.lastSent >= config_.interval) sendValues(station, state);
    }
}

void PublishGateway::sendValues(int station, StationState& state) {
    const DriveRecord& record = records_[station];
    state.pending = false;
    if (!record.isConnected()) return;
    std::string payload = DriveValuesJson(record, IsoUtcTime(clock_.wall()));
    if (payload.empty()) return;
    state.everSent = true;
    state.lastSent = clock_.steady();
    sink_.publish({driveTopic(station) + "/values", std::move(payload), 0, false});
}

void PublishGateway::faultRecorded(const DriveRecord& record) {
    auto it = stations_.find(record.station);
    if (it == stations_.end()) return;
    StationState& state = it->second;
    const std::array<int, 6> words = faultWordsOf(record);
    const std::string time = IsoUtcTime(clock_.wall());
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (state.faultWords[i] != 0 || words[i] == 0) continue;
        sink_.publish({driveTopic(record.station) + "/fault", FaultJson(record, i, words[i], time),
                       1, false});
    }
    state.faultWords = words;
}

}  // namespace korvane
