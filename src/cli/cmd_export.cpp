// export STATION OUT.txt [--data-dir DIR] [--freq-mode 0|1]
// export --series CODE --version WORD [--file SET.par|GROUP.usr] [--data-dir DIR]
//        [--freq-mode 0|1] [--time1 1|10|100] OUT.txt
// The parameter text file as the editor writes it: online after reading every parameter of the
// drive one request at a time, offline from a data file (with a parameter set's values).
#include <algorithm>
#include <cctype>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/identified_drive.h"
#include "cli/link_session.h"
#include "cli/stream_prompter.h"
#include "editor/group_reader.h"
#include "editor/text_export.h"
#include "paradb/custom_group.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/para_array.h"

namespace korvane::cli {
namespace {

struct ExportOptions {
    int station = 0;  // 0: offline
    int seriesCode = -1;
    int version = -1;
    std::string file;
    std::string dataDir = CliDefaultDataDir();
    int frequencyMode = 1;
    int time1Divisor = 10;
    std::string out;
};

std::string Extension(const std::string& path) {
    auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

ExportOptions ParseOptions(const std::vector<std::string>& args) {
    ExportOptions o;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
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
            const std::string ext = Extension(o.file);
            if (ext != "par" && ext != "usr") throw UsageError("--file names a .par or .usr file");
        } else if (a == "--data-dir") {
            o.dataDir = value();
            if (o.dataDir.empty()) throw UsageError("--data-dir needs a directory");
        } else if (a == "--freq-mode") {
            o.frequencyMode = static_cast<int>(ParseNumberArg(value(), 0, 1, "frequency mode"));
        } else if (a == "--time1") {
            long divisor = ParseNumberArg(value(), 1, 100, "TIME1 divisor");
            if (divisor != 1 && divisor != 10 && divisor != 100)
                throw UsageError("--time1 is 1, 10 or 100");
            o.time1Divisor = static_cast<int>(divisor);
        } else if (a.rfind("--", 0) == 0) {
            throw UsageError("export does not take " + a);
        } else {
            positional.push_back(a);
        }
    }
    const bool offline = o.seriesCode >= 0 || o.version >= 0;
    if (offline) {
        if (o.seriesCode < 0 || o.version < 0)
            throw UsageError("export needs --series and --version");
        if (positional.size() != 1) throw UsageError("export needs one output file");
    } else {
        if (positional.size() != 2) throw UsageError("export needs a station and an output file");
        if (!o.file.empty()) throw UsageError("--file is for the offline form");
        o.station = static_cast<int>(ParseNumberArg(positional[0], 1, 255, "station"));
    }
    o.out = positional.back();
    if (o.out.empty()) throw UsageError("export needs an output file");
    return o;
}

int Report(CommandContext& context, const ExportOptions& o, const CDataFile& data,
           const DriveRecord& record) {
    EncodedText written;
    std::string error;
    if (!SaveParameterText(o.out, data, record, &written, &error)) {
        context.err << "テキストファイルでパラメータを保存できません: " << error << "\n";
        return 1;
    }
    nlohmann::ordered_json j;
    j["file"] = o.out;
    j["bytes"] = written.bytes.size();
    j["encoding"] = TextEncodingName(written.encoding);
    context.out << j.dump() << std::endl;
    return context.out ? 0 : 1;
}

int RunOffline(CommandContext& context, const ExportOptions& o) {
    // An offline editor's record: past the stations, so nothing counts as an unread live value.
    DriveRecord record(kStationRecordCount);
    record.seriesCode = o.seriesCode;
    record.version = o.version;
    record.driveData = std::make_shared<CDataFile>();
    CDataFile& data = *record.driveData;
    if (!data.Load(&record, o.dataDir)) {
        context.err << data.GetStatusText() << "\n";
        return 1;
    }
    data.SetSpeedMode(o.frequencyMode, o.time1Divisor);
    StreamPrompter prompter(context.err);
    if (Extension(o.file) == "par") {
        CParaArray set(record.seriesCode, record.version);
        switch (ReadParaFile(o.file, set, prompter)) {
            case FileReadOutcome::kOk:
                (void)ApplyParaArray(data, set);
                break;
            case FileReadOutcome::kFailed:
                prompter.error(kParaFileOpenFailedText, kParameterEditorCaption);
                return 1;
            case FileReadOutcome::kAbandoned:
                return 1;
        }
    } else if (Extension(o.file) == "usr") {
        // An open user group does not change what the editor exports; it must still open.
        if (!OpenUserGroupFile(o.file, data, prompter)) return 1;
    }
    return Report(context, o, data, record);
}

int RunOnline(CommandContext& context, const ExportOptions& o) {
    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    IdentifiedDrive drive(session, o.dataDir, context.options.retries);
    if (!drive.identify(o.station, context.err)) return 1;
    // Held here too: the record may be reset while the export still needs the items.
    std::shared_ptr<CDataFile> data = drive.record().driveData;
    data->SetSpeedMode(o.frequencyMode, drive.record().timeScale);
    // Fresh values first, read as the editor reads all groups; a failed parameter keeps 0.
    GroupReader reader(session.link(), o.station, data,
                       ReadTargetsOf({ReadNodeKind::kAllGroups}, *data));
    if (reader.Start() && !session.runUntil([&] { return !reader.IsRunning(); })) return 1;
    const int status = Report(context, o, *data, drive.record());
    const auto& outcomes = reader.Outcomes();
    const bool allRead = std::all_of(outcomes.begin(), outcomes.end(), [](const auto& r) {
        return r.answered && r.errorCode == kErrNone;
    });
    return allRead ? status : 1;
}

int RunExport(CommandContext& context) {
    const ExportOptions o = ParseOptions(context.args);
    return o.station > 0 ? RunOnline(context, o) : RunOffline(context, o);
}

const CommandRegistrar registrar(
    {"export",
     "export STATION OUT.txt [--data-dir DIR] [--freq-mode 0|1]\n"
     "         export --series CODE --version WORD [--file SET.par|GROUP.usr] [--data-dir DIR]\n"
     "         [--freq-mode 0|1] [--time1 1|10|100] OUT.txt   (offline: no line needed)",
     RunExport});

}  // namespace
}  // namespace korvane::cli
