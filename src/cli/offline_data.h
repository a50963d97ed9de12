#pragma once
// What the offline commands share: a drive record past the stations with its data file loaded,
// and the parameter set or user group named on the command line read against it, with the
// editor's messages going to the diagnostics stream.
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/stream_prompter.h"
#include "common/prompter.h"
#include "paradb/drive_record.h"
#include "paradb/user_group.h"

namespace korvane::cli {

enum class FileKind { kNone, kParaSet, kUserGroup };

// By extension, in any case: .par or .usr.
FileKind FileKindOf(const std::string& path);

// The options that name a drive model and its saved values without a line.
struct OfflineOptions {
    int seriesCode = -1;
    int version = -1;
    std::string file;
    FileKind fileKind = FileKind::kNone;
    std::string dataDir = CliDefaultDataDir();
    int frequencyMode = 1;
    int time1Divisor = 10;

    // Whether any option asks for the offline form.
    bool named() const { return seriesCode >= 0 || version >= 0 || !file.empty(); }
};

// Takes args[i], and its value, when it is --series, --version, --file, --data-dir,
// --freq-mode or --time1 (the last two only with `speedOptions`); false for any other
// argument. Throws UsageError for a missing or bad value.
bool TakeOfflineOption(OfflineOptions& o, const std::vector<std::string>& args, std::size_t& i,
                       bool speedOptions = true);

// The record of an offline editor: past the stations, so no value counts as a drive's unread
// live value and nothing switches to rpm. Null (with the data file's status text on `err`)
// when the data file cannot be loaded.
std::unique_ptr<DriveRecord> LoadOfflineDrive(const OfflineOptions& o, std::ostream& err);

// Reads a parameter set into the items; false once the user has been told why not.
bool ApplyParaSetFile(CDataFile& data, const std::string& path, Prompter& prompter);
// Reads, checks and binds a user group; null once the user has been told why not.
std::unique_ptr<UserGroup> OpenUserGroupOrSay(const std::string& path, CDataFile& data,
                                              Prompter& prompter);
// Tells why a file could not be used: the archive's explanation, if any, then the message.
void SayReadFailure(Prompter& prompter, const FileReadResult& result);

}  // namespace korvane::cli
