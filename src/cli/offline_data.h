#pragma once
// What the offline commands share: a drive record past the stations with its data file loaded,
// and the parameter set or user group named on the command line read against it, with the
// editor's messages going to the diagnostics stream.
#include <iosfwd>
#include <memory>
#include <string>

#include "common/prompter.h"
#include "paradb/custom_group.h"
#include "paradb/drive_record.h"

namespace korvane::cli {

enum class FileKind { kNone, kParaSet, kUserGroup };

// By extension, in any case: .par or .usr.
FileKind FileKindOf(const std::string& path);

// The editor's message boxes, on a command line: every text goes to the diagnostics stream and
// nobody is there to say yes.
class StreamPrompter : public Prompter {
public:
    explicit StreamPrompter(std::ostream& err) : err_(err) {}
    bool askYesNo(const std::string& text, const std::string&) override;
    void info(const std::string& text, const std::string&) override;
    void error(const std::string& text, const std::string&) override;

private:
    std::ostream& err_;
};

// The record of an offline editor: past the stations, so no value counts as a drive's unread
// live value and nothing switches to rpm. Null (with the data file's status text on `err`)
// when the data file cannot be loaded.
std::unique_ptr<DriveRecord> LoadOfflineDrive(int seriesCode, int version,
                                              const std::string& dataDir, int frequencyMode,
                                              int time1Divisor, std::ostream& err);

// Reads a parameter set into the items; false once the user has been told why not.
bool ApplyParaSetFile(CDataFile& data, const std::string& path, Prompter& prompter);

}  // namespace korvane::cli
