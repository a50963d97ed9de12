#pragma once
// One drive identified on the line as the main window would: scanned by the connection manager,
// its record filled and then kept up to date by the manager's monitoring.
#include <iosfwd>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "cli/link_session.h"
#include "paradb/drive_record.h"

namespace korvane::cli {

// Takes "--data-dir DIR" out of `args`; the built-in data directory when absent.
std::string TakeDataDir(std::vector<std::string>& args);

class IdentifiedDrive {
public:
    IdentifiedDrive(LinkSession& session, const std::string& dataDir, int retries);

    // Scans the station; false, with the reason on `err`, when the drive did not answer, is of a
    // series without data files, or the wait was interrupted.
    bool identify(int station, std::ostream& err);

    DriveRecords& records() { return records_; }
    DriveRecord& drive() { return records_[station_]; }

private:
    LinkSession& session_;
    DriveRecords records_;
    ConnectionEvents quiet_;
    ConnectionManager manager_;
    int station_ = 0;
};

}  // namespace korvane::cli
