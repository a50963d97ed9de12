#include "cli/identified_drive.h"

#include <algorithm>
#include <optional>
#include <ostream>

#include "cli/cli_options.h"
#include "cli/reply_json.h"
#include "common/format.h"
#include "paradb/data_file.h"

namespace korvane::cli {
namespace {

constexpr int kAddrStatus = 0x000E;
constexpr int kAddrSpeedMode = 0x001A;
constexpr int kAddrPoles = 0x001B;

class FinalReply : public ReplySink {
public:
    void OnDriveReply(int, const DriveReply& reply) override {
        if (IsFinalReply(reply)) result = reply;
    }
    std::optional<DriveReply> result;
};

}  // namespace

std::string TakeDataDirOption(std::vector<std::string>& args) {
    std::string dataDir = CliDefaultDataDir();
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

IdentifiedDrive::~IdentifiedDrive() = default;

bool IdentifiedDrive::identify(int station, std::ostream& err, DataFileNeed need) {
    station_ = station;
    manager_.ScanIds({station});
    if (!session_.runUntil([&] { return !manager_.IsScanning(); })) return false;
    const DriveRecord& r = records_[station];
    if (!r.connected) {
        err << strprintf("korvane-cli: station %d does not answer\n", station);
        return false;
    }
    if (!r.supported || !r.driveData) {
        err << CDataFile::StatusText(kDataFileNoSeries) << "\n";
        return false;
    }
    if (!r.driveData->loaded && need == DataFileNeed::kNotNeeded) return true;
    if (!r.driveData->loaded) {
        err << r.driveData->GetStatusText() << "\n";
        return false;
    }
    // As an online editor opens with the mode dialog's defaults: frequency names, and TIME1 in
    // the drive's own time scale.
    records_[station].driveData->SetSpeedMode(1, r.timeScale);
    return true;
}

bool IdentifiedDrive::readEditWords(std::ostream& err) {
    DriveRecord& r = record();
    std::vector<int> addresses{kAddrStatus};
    const auto monitored = MonitoredAddresses(r.seriesCode, r.version);
    if (std::count(monitored.begin(), monitored.end(), kAddrSpeedMode))
        addresses.insert(addresses.end(), {kAddrSpeedMode, kAddrPoles});
    for (int address : addresses) {
        FinalReply sink;
        session_.link().QueueRead(station_, address, &sink);
        if (!session_.runUntil([&] { return sink.result.has_value(); })) return false;
        if (sink.result->errorCode != kErrNone) {
            err << RequestJson(*sink.result) << "\n";
            return false;
        }
        const int value = sink.result->values[0] & 0xFFFF;
        if (address == kAddrStatus) r.statusWord = value;
        if (address == kAddrSpeedMode) r.speedDisplayMode = value;
        if (address == kAddrPoles) r.motorPoles = value;
    }
    return true;
}

}  // namespace korvane::cli
