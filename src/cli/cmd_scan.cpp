// scan IDS [--quick] [--data-dir DIR]: the connection manager's identification over the line,
// one JSON object per drive found.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "cli/identified_drive.h"
#include "cli/link_session.h"
#include "paradb/data_file.h"
#include "paradb/drive_value_text.h"
#include "paradb/model_tables.h"

namespace korvane::cli {
namespace {

std::string DriveJson(const DriveRecord& r) {
    nlohmann::ordered_json j;
    j["station"] = r.station;
    j["series"] = r.seriesCode;
    j["series_name"] = SeriesName(r.seriesCode);
    j["capacity"] = FormatDriveValue(r, 1, r.capacityCode);
    j["version"] = FormatDriveValue(r, 3, r.version);
    j["version_word"] = r.version;
    j["time_scale"] = r.timeScale;
    j["supported"] = r.supported == 1;
    j["data_file"] =
        r.driveData ? r.driveData->GetStatusText() : CDataFile::StatusText(kDataFileNoSeries);
    return j.dump();
}

int runScan(CommandContext& context) {
    std::vector<std::string> args = context.args;
    const std::string dataDir = TakeDataDirOption(args);
    const auto quickFlag = std::find(args.begin(), args.end(), "--quick");
    const bool quick = quickFlag != args.end();
    if (quick) args.erase(quickFlag);
    if (args.size() != 1) throw UsageError("scan needs one list of station IDs");
    const std::vector<int> ids = ParseStationIds(args[0]);

    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    DriveRecords records;
    ConnectionEvents quiet;
    ConnectionManager manager(session.link(), records, quiet,
                              ConnectionConfig{dataDir, context.options.retries});
    manager.ScanIds(ids, quick);
    if (!session.runUntil([&] { return !manager.IsScanning(); })) return 1;
    for (int station = 1; station <= 255; ++station)
        if (records[station].connected) context.out << DriveJson(records[station]) << "\n";
    return 0;
}

const CommandRegistrar registrar({"scan", "scan IDS [--quick] [--data-dir DIR]", runScan});

}  // namespace
}  // namespace korvane::cli
