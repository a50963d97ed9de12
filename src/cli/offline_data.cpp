#include "cli/offline_data.h"

#include <algorithm>
#include <ostream>

#include "cli/cli_command.h"
#include "common/text.h"
#include "paradb/data_file.h"
#include "paradb/para_array.h"

namespace korvane::cli {

FileKind FileKindOf(const std::string& path) {
    auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return FileKind::kNone;
    const std::string ext = AsciiLower(path.substr(dot + 1));
    if (ext == "par") return FileKind::kParaSet;
    if (ext == "usr") return FileKind::kUserGroup;
    return FileKind::kNone;
}

bool TakeOfflineOption(OfflineOptions& o, const std::vector<std::string>& args, std::size_t& i,
                       bool speedOptions) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
        if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
        return args[++i];
    };
    if (a == "--series") {
        o.seriesCode = static_cast<int>(ParseNumberArg(value(), 0, 0xFFFF, "series code"));
    } else if (a == "--version") {
        o.version = static_cast<int>(ParseNumberArg(value(), 0, 0xFFFF, "version"));
    } else if (a == "--file") {
        o.file = value();
        o.fileKind = FileKindOf(o.file);
        if (o.fileKind == FileKind::kNone) throw UsageError("--file names a .par or .usr file");
    } else if (a == "--data-dir") {
        o.dataDir = value();
        if (o.dataDir.empty()) throw UsageError("--data-dir needs a directory");
    } else if (speedOptions && a == "--freq-mode") {
        o.frequencyMode = static_cast<int>(ParseNumberArg(value(), 0, 1, "frequency mode"));
    } else if (speedOptions && a == "--time1") {
        const long divisor = ParseNumberArg(value(), 1, 100, "TIME1 divisor");
        if (divisor != 1 && divisor != 10 && divisor != 100)
            throw UsageError("--time1 is 1, 10 or 100");
        o.time1Divisor = static_cast<int>(divisor);
    } else {
        return false;
    }
    return true;
}

std::unique_ptr<DriveRecord> LoadOfflineDrive(const OfflineOptions& o, std::ostream& err) {
    auto record = std::make_unique<DriveRecord>(kStationRecordCount);
    record->seriesCode = o.seriesCode;
    record->version = o.version;
    record->driveData = std::make_shared<CDataFile>();
    CDataFile& data = *record->driveData;
    if (!data.Load(record.get(), o.dataDir)) {
        err << data.GetStatusText() << "\n";
        return nullptr;
    }
    data.SetSpeedMode(o.frequencyMode, o.time1Divisor);
    return record;
}

bool ApplyParaSetFile(CDataFile& data, const std::string& path, Prompter& prompter) {
    CParaArray set(data.seriesCode, data.version);
    const FileReadResult read = ReadParaFile(path, set);
    if (!read.ok()) {
        SayReadFailure(prompter, read);
        return false;
    }
    (void)ApplyParaArray(data, set);
    return true;
}

std::unique_ptr<UserGroup> OpenUserGroupOrSay(const std::string& path, CDataFile& data,
                                              Prompter& prompter) {
    OpenedUserGroup opened = OpenUserGroupFile(path, data);
    if (!opened.group) SayReadFailure(prompter, opened.result);
    return std::move(opened.group);
}

void SayReadFailure(Prompter& prompter, const FileReadResult& result) {
    // A diagnostics stream has room for the archive's explanation before the message itself.
    if (!result.detail.empty()) prompter.error(result.detail, kParameterEditorCaption);
    prompter.error(result.text, kParameterEditorCaption);
}

}  // namespace korvane::cli
