#include "sim/data_file_parameters.h"

#include <limits>
#include <set>

#include "paradb/data_file.h"
#include "paradb/drive_record.h"

namespace korvane::sim {

std::vector<ParameterRule> ParametersFromDataFile(const CDataFile& file) {
    std::vector<ParameterRule> rules;
    if (!file.groups) return rules;
    std::set<std::uint16_t> seen;
    for (const CGroup& group : file.groups->elements) {
        for (const CItem& item : group.items) {
            if (!seen.insert(item.address).second) continue;
            ParameterRule rule;
            rule.address = item.address;
            rule.defaultValue = static_cast<std::uint16_t>(item.defaultValue & 0xFFFF);
            rule.minimum = item.minimum;
            rule.maximum = item.maximum;
            // A file that gives no usable range must not make every value illegal.
            if (rule.maximum < rule.minimum) {
                rule.minimum = std::numeric_limits<std::int32_t>::min();
                rule.maximum = std::numeric_limits<std::int32_t>::max();
            }
            rule.writable = item.writable != 0;
            rules.push_back(rule);
        }
    }
    return rules;
}

bool ApplyDataFile(SimDrive& drive, const std::string& dataDir) {
    const DriveIdentity& id = drive.identity();
    DriveRecord record(id.station);
    record.seriesCode = id.series;
    record.version = id.version;
    CDataFile file;
    if (!file.Load(&record, dataDir)) return false;
    drive.applyParameters(ParametersFromDataFile(file));
    return true;
}

}  // namespace korvane::sim
