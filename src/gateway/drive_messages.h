#pragma once
// The JSON a plant's broker receives about one drive: its identification, its monitored values
// in the units the drive list shows, and its faults. Pure functions of a drive's record, so
// every consumer (the gateway, tests, a future exporter) words a drive the same way.
#include <array>
#include <chrono>
#include <cstddef>
#include <string>

namespace korvane {

struct DriveRecord;

// One MQTT message as the gateway hands it to a publisher.
struct OutgoingMessage {
    std::string topic;
    std::string payload;
    int qos = 0;
    bool retain = false;

    bool operator==(const OutgoingMessage&) const = default;
};

// "2026-12-09T10:00:00.123Z": UTC, so that a historian in another time zone orders it right.
std::string IsoUtcTime(std::chrono::system_clock::time_point t);

// The snake_case key of a monitored word of this series; null for words not monitored.
const char* MonitoredWordKey(int seriesCode, int address);

// {"station":S,"connected":true,"series":..,"series_name":..,"capacity":..,"version":..,"name":..}
std::string DriveStateJson(const DriveRecord& record, const std::string& deviceName);
// {"station":S,"connected":false}
std::string DriveRemovedJson(int station);
// Every monitored word of the drive by its key, as the number the drive list shows (null
// while the word is not live), plus the raw status word and its run-state text. Empty when no
// word is live: a message of nulls would tell a subscriber nothing.
std::string DriveValuesJson(const DriveRecord& record, const std::string& time);
// The addresses of the six fault words, in the record's order.
inline constexpr std::array<int, 6> kFaultWordAddresses{15, 29, 816, 817, 818, 819};

// Fault word `index` (0..5) went from clear to `value`; named as the alarm history names it.
std::string FaultJson(const DriveRecord& record, std::size_t index, int value,
                      const std::string& time);

}  // namespace korvane
