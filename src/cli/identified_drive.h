#pragma once
// One drive on the line as the editor commands need it: identified as the scan does it, with
// its data file loaded, and the words the edit path decides on (status for the run lock, speed
// display mode and pole count for rpm) read fresh.
#include <iosfwd>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "cli/link_session.h"
#include "paradb/drive_record.h"

namespace korvane::cli {

// Takes "--data-dir DIR" out of `args`; the default data directory when absent.
std::string TakeDataDirOption(std::vector<std::string>& args);

class IdentifiedDrive {
public:
    IdentifiedDrive(LinkSession& session, const std::string& dataDir, int retries);
    ~IdentifiedDrive();

    // Whether the command works on the drive's parameters (and so needs its data file) or only
    // on its common words, as the information sheet does.
    enum class DataFileNeed { kRequired, kNotNeeded };

    // False, with the reason on `err`, unless the station answered, its series is supported
    // and, where the command needs it, its data file loaded.
    [[nodiscard]] bool identify(int station, std::ostream& err,
                                DataFileNeed need = DataFileNeed::kRequired);
    // Reads the status word and, where the drive's series is monitored for them, the speed
    // display mode and pole count into the record. False if a read failed.
    [[nodiscard]] bool readEditWords(std::ostream& err);

    DriveRecord& record() { return records_[station_]; }
    DriveRecords& records() { return records_; }

private:
    LinkSession& session_;
    DriveRecords records_;
    ConnectionEvents quiet_;
    ConnectionManager manager_;
    int station_ = 0;
};

}  // namespace korvane::cli
