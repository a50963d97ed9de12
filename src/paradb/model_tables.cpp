#include "paradb/model_tables.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/format.h"
#include "common/translation.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {

constexpr std::array<std::string_view, kSeriesCodeCount> kSeriesNames = {
    "Alder", "Birch", "Cedar", "Dogwood", "Elm",   "Fir",    "------",
    "Gum",   "Hazel", "Ivy",   "Juniper", "Kapok", "------", "Larch",
};

constexpr std::array<std::string_view, 3> kGeneralWords = {"未知", "接続なし", "サポートなし"};

constexpr std::string_view kGeneralCapacities[] = {
    "0.75kW", "1.5kW", "2.2kW", "3.7kW", "5.5kW", "7.5kW", "11kW", "15kW",
    "18.5kW", "22kW",  "30kW",  "37kW",  "45kW",  "55kW",  "75kW", "90kW",
    "110kW",  "132kW", "160kW", "220kW", "280kW", "375kW",
};
constexpr std::string_view kJuniperCapacities[] = {
    "0.75kW", "0.75kW-NC", "1.5kW", "2.2kW", "3.7kW",  "4.0kW",
    "5.5kW",  "7.5kW",     "11kW",  "15kW",  "18.5kW", "22kW",
};
// Only drives of version 0x0500 and later use their own table.
constexpr std::string_view kGumCapacities[] = {"0.75kW", "1.5kW", "2.2kW", "3.7kW", "4.0kW"};
constexpr std::string_view kLarchCapacities[] = {"100W", "200W", "400W"};

// The smallest model of several series reports all ones instead of a table index.
constexpr int kSmallestModelCode = 0xFFFF;
// The connection manager lowers a newer Gum drive's code by one, so its smallest model arrives
// as -1 rather than as the 16-bit all-ones word.
constexpr std::uint32_t kGumSmallestModelCode = 0xFFFFFFFFu;
constexpr int kGumOwnTableVersion = 0x0500;

constexpr std::string_view kStatusStop = "停止";
constexpr std::string_view kStatusForwardText = "順方向";
constexpr std::string_view kStatusReverseText = "逆方向";
constexpr std::string_view kStatusFaultText = "障害";
constexpr std::string_view kStatusAccelText = " 加速中…";
constexpr std::string_view kStatusDecelText = " 減速中…";
constexpr std::string_view kStatusDcBrakeText = "DC制動中…";

// Empty when the index is outside the table.
std::string_view pick(std::span<const std::string_view> table, long long index) {
    if (index < 0 || index >= static_cast<long long>(table.size())) return {};
    return table[static_cast<std::size_t>(index)];
}

std::string_view capacityBase(int seriesCode, int version, int code) {
    switch (seriesCode) {
        case kSeriesJuniper:
            return code == kSmallestModelCode ? "0.4kW" : pick(kJuniperCapacities, code);
        case kSeriesGum:
            if (version < kGumOwnTableVersion) break;
            if (static_cast<std::uint32_t>(code) == kGumSmallestModelCode) return "0.4kW";
            return pick(kGumCapacities, code);
        case kSeriesHazel:
            if (code == kSmallestModelCode) return "0.4kW";
            break;
        case kSeriesLarch:
            return code == kSmallestModelCode ? "100W" : pick(kLarchCapacities, code);
        default:
            break;
    }
    return pick(kGeneralCapacities, code);
}

}  // namespace

std::string SeriesName(int seriesCode) {
    std::string_view name = pick(kSeriesNames, seriesCode);
    return name.empty() ? Tr(kGeneralWords[kWordUnknown]) : std::string(name);
}

std::string GeneralWord(int index) {
    std::string_view word = pick(kGeneralWords, index);
    return Tr(word.empty() ? kGeneralWords[kWordUnknown] : word);
}

std::string CapacityText(int seriesCode, int version, int capacityCode, int inputVoltageCode) {
    std::string_view base = capacityBase(seriesCode, version, capacityCode);
    if (base.empty()) return GeneralWord(kWordUnknown);
    return strprintf("%s-%d", std::string(base).c_str(), inputVoltageCode != 0 ? 4 : 2);
}

std::string VersionText(int seriesCode, int version) {
    const auto v = static_cast<std::uint32_t>(version);
    const int hi = static_cast<int>((v >> 8) & 0xFFu);
    const int lo = static_cast<int>(v & 0xFFu);
    switch (seriesCode) {
        case kSeriesElm:
        case kSeriesKapok:
            return strprintf("%d.%02d", hi, lo);
        case kSeriesFir:
            return v < 0x0100u ? strprintf("%d.%02d", hi, lo) : strprintf("%d.%X", hi, lo);
        case kSeriesHazel:
        case kSeriesJuniper:
            return strprintf("%d.%d", static_cast<int>((v >> 4) & 0xFu),
                             static_cast<int>(v & 0xFu));
        case kSeriesIvy:
            return strprintf("%d.%d", hi, lo);
        case kSeriesLarch:
            return strprintf("%d.%x", hi, lo);
        default:
            return GeneralWord(kWordUnknown);
    }
}

std::string StatusText(int seriesCode, int statusWord) {
    std::string text = Tr(kStatusStop);
    if (statusWord & kStatusForward) {
        text = Tr(kStatusForwardText);
    } else if (statusWord & kStatusReverse) {
        text = Tr(kStatusReverseText);
    } else if (statusWord & kStatusFault) {
        text = Tr(kStatusFaultText);
    }
    // A tripped drive is neither ramping nor braking, whatever the other bits say.
    if (statusWord & kStatusFault) return text;
    if (statusWord & kStatusAccelerating) {
        text += Tr(kStatusAccelText);
    } else if (statusWord & kStatusDecelerating) {
        text += Tr(kStatusDecelText);
    } else if (seriesCode != kSeriesFir && (statusWord & kStatusDcBraking)) {
        text += Tr(kStatusDcBrakeText);
    }
    return text;
}

}  // namespace korvane
