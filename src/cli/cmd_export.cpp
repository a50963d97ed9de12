// export STATION OUT.txt [--complete-only] [--data-dir DIR] [--freq-mode 0|1]
// export --series CODE --version WORD [--file SET.par|GROUP.usr] [--data-dir DIR]
//        [--freq-mode 0|1] [--time1 1|10|100] OUT.txt
// The parameter text file as the editor writes it: online after reading every parameter of the
// drive one request at a time, offline from a data file (with a parameter set's values). Online,
// a value the drive did not give is left blank and counted; --complete-only writes no file then.
#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/identified_drive.h"
#include "cli/link_session.h"
#include "cli/offline_data.h"
#include "cli/stream_prompter.h"
#include "common/format.h"
#include "common/translation.h"
#include "editor/group_reader.h"
#include "editor/text_export.h"
#include "editor/transfer_run.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/user_group.h"

namespace korvane::cli {
namespace {

struct ExportOptions {
    int station = 0;  // 0: offline
    OfflineOptions offline;
    std::string out;
    bool completeOnly = false;  // online: no file unless every value was read
};

ExportOptions ParseOptions(const std::vector<std::string>& args) {
    ExportOptions o;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (TakeOfflineOption(o.offline, args, i)) continue;
        if (args[i] == "--complete-only") {
            o.completeOnly = true;
            continue;
        }
        if (args[i].rfind("--", 0) == 0) throw UsageError("export does not take " + args[i]);
        positional.push_back(args[i]);
    }
    if (o.offline.seriesCode >= 0 || o.offline.version >= 0) {
        if (o.offline.seriesCode < 0 || o.offline.version < 0)
            throw UsageError("export needs --series and --version");
        if (positional.size() != 1) throw UsageError("export needs one output file");
    } else {
        if (positional.size() != 2) throw UsageError("export needs a station and an output file");
        if (!o.offline.file.empty()) throw UsageError("--file is for the offline form");
        o.station = static_cast<int>(ParseNumberArg(positional[0], 1, 255, "station"));
    }
    if (o.completeOnly && o.station == 0)
        throw UsageError("--complete-only is for the online form");
    o.out = positional.back();
    if (o.out.empty()) throw UsageError("export needs an output file");
    return o;
}

int Report(CommandContext& context, const ExportOptions& o, const CDataFile& data,
           const DriveRecord& record, int unread = 0) {
    EncodedText written;
    std::string error;
    if (!SaveParameterText(o.out, data, record, &written, &error)) {
        context.err << Tr("テキストファイルでパラメータを保存できません: ") << error << "\n";
        return 1;
    }
    nlohmann::ordered_json j;
    j["file"] = o.out;
    j["bytes"] = written.bytes.size();
    j["encoding"] = TextEncodingName(written.encoding);
    if (record.isOnline()) j["unread"] = unread;
    context.out << j.dump() << std::endl;
    return context.out ? 0 : 1;
}

int RunOffline(CommandContext& context, const ExportOptions& o) {
    const auto record = LoadOfflineDrive(o.offline, context.err);
    if (!record) return 1;
    CDataFile& data = *record->driveData;
    StreamPrompter prompter(context.err);
    if (o.offline.fileKind == FileKind::kParaSet &&
        !ApplyParaSetFile(data, o.offline.file, prompter))
        return 1;
    // An open user group does not change what the editor exports; it must still open.
    if (o.offline.fileKind == FileKind::kUserGroup &&
        !OpenUserGroupOrSay(o.offline.file, data, prompter))
        return 1;
    return Report(context, o, data, *record);
}

void SayUnread(CommandContext& context, int unread) {
    context.err << strprintf(Tr(kUnreadCountText) + 1, unread) << "\n";
}

int RunOnline(CommandContext& context, const ExportOptions& o) {
    // Before the first request: a file that cannot be saved would waste the whole read.
    std::string error;
    if (!CanSaveFile(o.out, &error)) {
        context.err << Tr("テキストファイルでパラメータを保存できません: ") << error << "\n";
        return 1;
    }
    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    IdentifiedDrive drive(session, o.offline.dataDir, context.options.retries);
    if (!drive.identify(o.station, context.err)) return 1;
    // Held here too: the record may be reset while the export still needs the items.
    std::shared_ptr<CDataFile> data = drive.record().driveData;
    data->SetSpeedMode(o.offline.frequencyMode, drive.record().timeScale);
    // Fresh values first, read as the editor reads all groups; a value not read stays blank.
    GroupReader reader(session.link(), o.station, data,
                       ReadTargetsOf({ReadNodeKind::kAllGroups}, *data));
    if (reader.Start() && !session.runUntil([&] { return !reader.IsRunning(); })) return 1;
    const int unread = UnreadValueCount(*data, drive.record());
    if (unread > 0) SayUnread(context, unread);
    if (unread > 0 && o.completeOnly) {
        context.err << "korvane-cli: " << o.out << " not written (--complete-only)\n";
        return 1;
    }
    const int status = Report(context, o, *data, drive.record(), unread);
    // Read-only parameters are read too; any of them missing still makes the run fall short.
    const auto& outcomes = reader.Outcomes();
    const bool allRead = std::all_of(outcomes.begin(), outcomes.end(), [](const auto& r) {
        return r.answered && r.errorCode == kErrNone;
    });
    return allRead && unread == 0 ? status : 1;
}

int RunExport(CommandContext& context) {
    const ExportOptions o = ParseOptions(context.args);
    return o.station > 0 ? RunOnline(context, o) : RunOffline(context, o);
}

const CommandRegistrar registrar(
    {"export",
     "export STATION OUT.txt [--complete-only] [--data-dir DIR] [--freq-mode 0|1]\n"
     "         export --series CODE --version WORD [--file SET.par|GROUP.usr] [--data-dir DIR]\n"
     "         [--freq-mode 0|1] [--time1 1|10|100] OUT.txt   (offline: no line needed)",
     RunExport});

}  // namespace
}  // namespace korvane::cli
