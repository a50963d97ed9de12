#include "sim/data_file_parameters.h"

#include <limits>
#include <set>

#include "app/drive_record.h"
#include "paradb/data_file.h"

namespace korvane::sim {

std::vector<ParameterSpec> ParametersFromDataFile(const CDataFile& file) {
    std::vector<ParameterSpec> specs;
    if (!file.groups) return specs;
    std::set<std::uint16_t> seen;
    for (const CGroup& group : file.groups->elements) {
        for (const CItem& item : group.items) {
            if (!seen.insert(item.address).second) continue;
            ParameterSpec spec;
            spec.address = item.address;
            spec.defaultValue = static_cast<std::uint16_t>(item.defaultValue & 0xFFFF);
            spec.minimum = item.minimum;
            spec.maximum = item.maximum;
            // A file that gives no usable range must not make every value illegal.
            if (spec.maximum < spec.minimum) {
                spec.minimum = std::numeric_limits<std::int32_t>::min();
                spec.maximum = std::numeric_limits<std::int32_t>::max();
            }
            spec.writable = item.writable != 0;
            specs.push_back(spec);
        }
    }
    return specs;
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
