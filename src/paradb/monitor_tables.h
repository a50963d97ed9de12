#pragma once
// The constant per-series lists of monitor items. Internal to the model tables: callers get
// copies through BuildMonitorList and texts through TripName.
#include <cstdint>
#include <span>
#include <string_view>

namespace korvane {

struct MonitorValueDef {
    std::string_view name;
    std::uint16_t address;
    std::int32_t writable;
    std::int32_t divisor;
    std::int32_t minimum;
    std::int32_t maximum;
    std::string_view unit;
};

// One bit of a status, terminal or trip word.
struct MonitorBitDef {
    std::string_view name;
    std::uint16_t address;
    std::uint16_t bit;
};

struct SeriesMonitorTables {
    int seriesCode;
    std::span<const MonitorValueDef> values;
    std::span<const MonitorBitDef> inputs;
    std::span<const MonitorBitDef> outputs;
    std::span<const MonitorBitDef> trips;
    // Juniper drives before the second trip word had only the first; empty for other series.
    std::span<const MonitorBitDef> tripsBeforeSecondWord;
};

// From this version on, Juniper drives report a second trip word at 0x001D.
constexpr int kJuniperSecondTripWordVersion = 0x0015;

// Null for series without monitor lists.
const SeriesMonitorTables* FindMonitorTables(int seriesCode);

// The trip list that applies to a drive of this version.
std::span<const MonitorBitDef> TripListFor(const SeriesMonitorTables& tables, int version);

}  // namespace korvane
