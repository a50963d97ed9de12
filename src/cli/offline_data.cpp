#include "cli/offline_data.h"

#include <algorithm>
#include <cctype>
#include <ostream>

#include "paradb/data_file.h"
#include "paradb/para_array.h"

namespace korvane::cli {

FileKind FileKindOf(const std::string& path) {
    auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return FileKind::kNone;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "par") return FileKind::kParaSet;
    if (ext == "usr") return FileKind::kUserGroup;
    return FileKind::kNone;
}

std::unique_ptr<DriveRecord> LoadOfflineDrive(int seriesCode, int version,
                                              const std::string& dataDir, int frequencyMode,
                                              int time1Divisor, std::ostream& err) {
    auto record = std::make_unique<DriveRecord>(kStationRecordCount);
    record->seriesCode = seriesCode;
    record->version = version;
    record->driveData = std::make_shared<CDataFile>();
    CDataFile& data = *record->driveData;
    if (!data.Load(record.get(), dataDir)) {
        err << data.GetStatusText() << "\n";
        return nullptr;
    }
    data.SetSpeedMode(frequencyMode, time1Divisor);
    return record;
}

bool ApplyParaSetFile(CDataFile& data, const std::string& path, Prompter& prompter) {
    CParaArray set(data.seriesCode, data.version);
    switch (ReadParaFile(path, set, prompter)) {
        case FileReadOutcome::kOk:
            (void)ApplyParaArray(data, set);
            return true;
        case FileReadOutcome::kFailed:
            prompter.error(kParaFileOpenFailedText, kParameterEditorCaption);
            return false;
        case FileReadOutcome::kAbandoned:
            break;
    }
    return false;
}

}  // namespace korvane::cli
