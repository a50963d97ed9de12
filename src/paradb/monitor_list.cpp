#include "paradb/monitor_list.h"

#include <span>

#include "common/translation.h"
#include "paradb/model_tables.h"
#include "paradb/monitor_tables.h"

namespace korvane {
namespace {

constexpr std::uint16_t kTripWordAddress = 0x000F;

MonitorItem toItem(const MonitorValueDef& def) {
    MonitorItem item;
    item.name = Tr(def.name);
    item.address = def.address;
    item.writable = def.writable;
    item.divisor = def.divisor;
    item.minimum = def.minimum;
    item.maximum = def.maximum;
    item.unit = def.unit;
    return item;
}

MonitorItem toItem(const MonitorBitDef& def) {
    MonitorItem item;
    item.name = Tr(def.name);
    item.address = def.address;
    item.bitItem = 1;
    item.bit = def.bit;
    return item;
}

template <typename Def>
void appendAll(std::span<const Def> defs, std::vector<MonitorItem>& out) {
    for (const Def& def : defs) out.push_back(toItem(def));
}

// The graph monitor leaves the ramp times out: they are settings, not signals worth a trace.
bool isRampTime(int seriesCode, std::uint16_t address) {
    if (seriesCode == kSeriesFir) return address == 0x0503 || address == 0x0504;
    return address == 0x0007 || address == 0x0008;
}

void appendAllKind(const SeriesMonitorTables& tables, std::vector<MonitorItem>& out) {
    for (const MonitorValueDef& def : tables.values) {
        if (!isRampTime(tables.seriesCode, def.address)) out.push_back(toItem(def));
    }
    appendAll(tables.inputs, out);
    appendAll(tables.outputs, out);
    MonitorItem fault;
    fault.name = Tr("障害");
    fault.address = kTripWordAddress;
    out.push_back(fault);
}

}  // namespace

std::size_t BuildMonitorList(int seriesCode, int version, int kind, std::vector<MonitorItem>& out) {
    const SeriesMonitorTables* tables = FindMonitorTables(seriesCode);
    if (tables == nullptr) return 0;
    const std::size_t before = out.size();
    switch (kind) {
        case kMonitorListAll:
            appendAllKind(*tables, out);
            break;
        case kMonitorListValues:
            appendAll(tables->values, out);
            break;
        case kMonitorListInputs:
            appendAll(tables->inputs, out);
            break;
        case kMonitorListOutputs:
            appendAll(tables->outputs, out);
            break;
        case kMonitorListTrips:
            appendAll(TripListFor(*tables, version), out);
            break;
        default:
            break;
    }
    return out.size() - before;
}

std::string TripName(int seriesCode, int version, int address, int tripWord) {
    const SeriesMonitorTables* tables = FindMonitorTables(seriesCode);
    if (tables == nullptr) return {};
    const auto word = static_cast<std::uint32_t>(tripWord);
    for (const MonitorBitDef& trip : TripListFor(*tables, version)) {
        if (trip.address == address && (word >> trip.bit) & 1u) return Tr(trip.name);
    }
    return {};
}

}  // namespace korvane
