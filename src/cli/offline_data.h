#pragma once
// What the offline commands share: a drive record past the stations with its data file loaded,
// and the parameter set or user group named on the command line read against it, with the
// editor's messages going to the diagnostics stream.
#include <iosfwd>
#include <memory>
#include <string>

#include "cli/stream_prompter.h"
#include "common/prompter.h"
#include "paradb/custom_group.h"
#include "paradb/drive_record.h"

namespace korvane::cli {

enum class FileKind { kNone, kParaSet, kUserGroup };

// By extension, in any case: .par or .usr.
FileKind FileKindOf(const std::string& path);

// The record of an offline editor: past the stations, so no value counts as a drive's unread
// live value and nothing switches to rpm. Null (with the data file's status text on `err`)
// when the data file cannot be loaded.
std::unique_ptr<DriveRecord> LoadOfflineDrive(int seriesCode, int version,
                                              const std::string& dataDir, int frequencyMode,
                                              int time1Divisor, std::ostream& err);

// Reads a parameter set into the items; false once the user has been told why not.
bool ApplyParaSetFile(CDataFile& data, const std::string& path, Prompter& prompter);

}  // namespace korvane::cli
