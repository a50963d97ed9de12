#include "cli/identified_drive.h"

#include <ostream>

#include "paradb/model_tables.h"

#ifndef KORVANE_DEFAULT_DATA_DIR
#define KORVANE_DEFAULT_DATA_DIR "Data"
#endif

namespace korvane::cli {

std::string TakeDataDir(std::vector<std::string>& args) {
    std::string dataDir = KORVANE_DEFAULT_DATA_DIR;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--data-dir") continue;
        if (i + 1 >= args.size() || args[i + 1].empty())
            throw UsageError("--data-dir needs a directory");
        dataDir = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        break;
    }
    return dataDir;
}

IdentifiedDrive::IdentifiedDrive(LinkSession& session, const std::string& dataDir, int retries)
    : session_(session),
      manager_(session.link(), records_, quiet_, ConnectionConfig{dataDir, retries}) {}

bool IdentifiedDrive::identify(int station, std::ostream& err) {
    station_ = station;
    manager_.ScanIds({station});
    if (!session_.runUntil([&] { return !manager_.IsScanning(); })) return false;
    const DriveRecord& r = records_[station];
    if (!r.connected) {
        err << "korvane-cli: station " << station << " did not answer" << std::endl;
        return false;
    }
    if (!r.supported) {
        err << "korvane-cli: station " << station << " is a " << SeriesName(r.seriesCode)
            << " drive, which has no data files" << std::endl;
        return false;
    }
    return true;
}

}  // namespace korvane::cli
