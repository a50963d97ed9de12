#pragma once
// The values, terminals and trips a series offers to the keypad, graph monitor and information
// sheet, and the names of the trips a trip word reports.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

struct MonitorItem {
    std::string name;
    std::uint16_t address = 0;
    // 1 for command values the user may write to the drive.
    std::int32_t writable = 0;
    // 1 when the item is one bit of the word at the address.
    std::int32_t bitItem = 0;
    // Displayed value = raw / divisor.
    std::int32_t divisor = 1;
    std::uint16_t bit = 0;
    // Raw units; a chart's scale, 0/0 where the series gives no range.
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::string unit;

    bool operator==(const MonitorItem&) const = default;
};

enum MonitorListKind : int {
    kMonitorListAll = 0,
    kMonitorListValues = 1,
    kMonitorListInputs = 2,
    kMonitorListOutputs = 3,
    kMonitorListTrips = 4,
};

// Appends copies of the series' list of that kind to `out` and returns how many were appended.
// "All" is what the graph monitor samples: the values but the ramp times, the terminals and a
// single fault item. Series without lists and unknown kinds append nothing.
std::size_t BuildMonitorList(int seriesCode, int version, int kind, std::vector<MonitorItem>& out);

// The name of the first trip, in list order, that `tripWord` read from `address` reports;
// empty when no listed bit of that word is set or the series has no trips at that address.
std::string TripName(int seriesCode, int version, int address, int tripWord);

}  // namespace korvane
