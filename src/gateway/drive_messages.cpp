#include "gateway/drive_messages.h"

#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>

#include "app/connection_manager.h"
#include "common/format.h"
#include "monitor/drive_event_text.h"
#include "paradb/drive_record.h"
#include "paradb/drive_value_text.h"
#include "paradb/model_tables.h"
#include "paradb/monitor_list.h"

namespace korvane {
namespace {

constexpr int kAddrCapacity = 1;
constexpr int kAddrVersion = 3;

// The record keeps the last value of each monitored word; 0 for words it does not keep.
int recordedWord(const DriveRecord& r, int address) {
    const int* word = r.monitoredWord(address);
    return word ? *word : 0;
}

// The number the drive list shows for the word. Reading it back from the list's own text keeps
// the two from ever disagreeing on a divisor, a sign or a rounding; words the list has no text
// for go out raw. Texts without a decimal point stay integers.
nlohmann::ordered_json displayNumber(const DriveRecord& r, int address, int raw) {
    const std::string text = FormatDriveValue(r, address, raw);
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return raw;
    const std::string digits = text.substr(0, static_cast<std::size_t>(end - text.c_str()));
    if (digits.find_first_of(".eE") == std::string::npos) return static_cast<long long>(number);
    return number;
}

}  // namespace

std::string IsoUtcTime(std::chrono::system_clock::time_point t) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    const long millis = static_cast<long>((ms % 1000 + 1000) % 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    return strprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                     utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
}

const char* MonitoredWordKey(int seriesCode, int address) {
    if (seriesCode == kSeriesFir) {
        switch (address) {
            case 9:
                return "output_current";
            case 32:
                return "motor_speed";
            case 34:
                return "torque_feedback";
            case kStatusWordAddress:
                return "status";
            default:
                return nullptr;
        }
    }
    switch (address) {
        case 5:
            return "frequency_command";
        case 6:
            return "run_command";
        case 9:
            return "output_current";
        case 10:
            return "output_frequency";
        case kStatusWordAddress:
            return "status";
        case 26:
            return "speed_display_mode";
        case 27:
            return "motor_poles";
        default:
            return nullptr;
    }
}

std::string DriveStateJson(const DriveRecord& r, const std::string& deviceName) {
    nlohmann::ordered_json j;
    j["station"] = r.station;
    j["connected"] = true;
    j["series"] = r.seriesCode;
    j["series_name"] = SeriesName(r.seriesCode);
    j["capacity"] = FormatDriveValue(r, kAddrCapacity, r.capacityCode);
    j["version"] = FormatDriveValue(r, kAddrVersion, r.version);
    j["name"] = deviceName;
    return j.dump();
}

std::string DriveRemovedJson(int station) {
    nlohmann::ordered_json j;
    j["station"] = station;
    j["connected"] = false;
    return j.dump();
}

std::string DriveValuesJson(const DriveRecord& r, const std::string& time) {
    nlohmann::ordered_json j;
    j["t"] = time;
    bool anyLive = false;
    for (int address : MonitoredAddresses(r.seriesCode, r.version)) {
        const char* key = MonitoredWordKey(r.seriesCode, address);
        if (key == nullptr) continue;
        const int raw = recordedWord(r, address);
        const bool live = r.isFresh(address);
        anyLive = anyLive || live;
        if (address == kStatusWordAddress) {
            j[key] = live ? nlohmann::ordered_json(raw) : nlohmann::ordered_json();
            j["run_state"] = live ? nlohmann::ordered_json(FormatDriveValue(r, address, raw))
                                  : nlohmann::ordered_json();
            continue;
        }
        j[key] = live ? displayNumber(r, address, raw) : nlohmann::ordered_json();
    }
    return anyLive ? j.dump() : std::string();
}

std::string FaultJson(const DriveRecord& r, std::size_t index, int value, const std::string& time) {
    std::array<int, 6> words{};
    words.at(index) = value;
    const int address = kFaultWordAddresses.at(index);
    std::string name = FaultName(r.seriesCode, r.version, words);
    if (name.empty()) name = TripName(r.seriesCode, r.version, address, value);
    nlohmann::ordered_json j;
    j["t"] = time;
    j["fault"] = name;
    j["word"] = address;
    j["value"] = value;
    return j.dump();
}

}  // namespace korvane
