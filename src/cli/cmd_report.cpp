// report OUT.xlsx|OUT.htm STATION [--group NAME] [header options] [--data-dir DIR]
// report OUT.xlsx|OUT.htm --series CODE --version WORD [--file SET.par|GROUP.usr]
//        [--group NAME] [header options] [--data-dir DIR]
// header options: [--company TEXT] [--division TEXT] [--author TEXT] [--settings FILE]
// Header texts not given are the ones the report window stores, read from the user's settings
// file (or FILE).
// The parameter report an editor makes, written as a workbook or a web page. Online, the drive
// is identified and the reported groups are read first, as the editor's group read does.
// Offline: of one group, of the user group in a .usr file, or of all groups, with the values of
// a parameter set when one is given.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/identified_drive.h"
#include "cli/link_session.h"
#include "cli/offline_data.h"
#include "common/clock.h"
#include "common/ini_settings_store.h"
#include "common/text.h"
#include "editor/group_reader.h"
#include "host/settings.h"
#include "paradb/data_file.h"
#include "report/report_document.h"
#include "report/report_settings.h"
#include "report/report_writers.h"

namespace korvane::cli {
namespace {

struct ReportOptions {
    std::string out;
    ReportFormat format = ReportFormat::kXlsx;
    int station = 0;  // online when set
    OfflineOptions offline;
    std::string group;
    bool haveGroup = false;
    // The header texts given on the command line; the rest come from the settings.
    std::optional<std::string> company, division, author;
    std::string settingsPath = UserSettingsPath(kSettingsCompany, kAppTitle);
    ReportHeaderTexts header;
};

void parseOption(ReportOptions& o, const std::vector<std::string>& args, std::size_t& i) {
    if (TakeOfflineOption(o.offline, args, i, false)) return;
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
        if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
        return args[++i];
    };
    if (a == "--group") {
        o.group = value();
        o.haveGroup = true;
    } else if (a == "--company") {
        o.company = value();
    } else if (a == "--division") {
        o.division = value();
    } else if (a == "--author") {
        o.author = value();
    } else if (a == "--settings") {
        o.settingsPath = value();
        if (o.settingsPath.empty()) throw UsageError("--settings needs a file");
    } else {
        throw UsageError("report does not take " + a);
    }
}

// The header the report window would show: the texts stored by its header dialog, unless the
// command line gives its own; each clipped as the dialog's fields clip them. An argument is bytes:
// what is not UTF-8 in it is read as the settings file's texts are, so the workbook and the web
// page stay valid.
ReportHeaderTexts HeaderOf(const ReportOptions& o) {
    ReportHeaderTexts header = LoadReportHeader(IniSettingsStore::Load(o.settingsPath));
    if (o.company) header.company = ValidUtf8(*o.company);
    if (o.division) header.division = ValidUtf8(*o.division);
    if (o.author) header.author = ValidUtf8(*o.author);
    for (std::string* text : {&header.company, &header.division, &header.author})
        *text = ClipChars(*text, kReportHeaderTextLimit);
    return header;
}

ReportOptions parseOptions(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError("report needs an output file");
    ReportOptions o;
    o.out = args[0];
    if (!ReportFormatOfPath(o.out, o.format))
        throw UsageError("report writes a .xlsx or .htm file");
    if (std::string why; o.format == ReportFormat::kXlsx && !CanWriteReportXlsx(&why))
        throw UsageError(why);
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0)
            parseOption(o, args, i);
        else if (o.station == 0)
            o.station = static_cast<int>(ParseNumberArg(args[i], 1, 255, "station"));
        else
            throw UsageError("report does not take " + args[i]);
    }
    const bool offline = o.offline.named();
    if (o.station != 0 && offline)
        throw UsageError("report takes a station or --series and --version, not both");
    if (o.station == 0 && (o.offline.seriesCode < 0 || o.offline.version < 0))
        throw UsageError("report needs a station, or --series and --version");
    if (o.haveGroup && o.offline.fileKind == FileKind::kUserGroup)
        throw UsageError("--group names a parameter group; a .usr file is its own group");
    o.header = HeaderOf(o);
    return o;
}

std::string ResultJson(const ReportOptions& o, int rows) {
    nlohmann::ordered_json j;
    j["file"] = o.out;
    j["rows"] = rows;
    j["format"] = o.format == ReportFormat::kHtml ? "html" : "xlsx";
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// Builds and writes the report; prints the result line. Exit status as the command's.
int WriteReport(const ReportOptions& o, const ReportNode& node, const ReportSource& source,
                CommandContext& context) {
    ReportDocument report;
    report.setNode(node);
    report.refresh(source);
    if (!report.found()) {
        context.err << "korvane-cli: no parameter group \"" << o.group << "\"\n";
        return 1;
    }
    const ReportExportResult written =
        ExportReport(report.sheet(), {o.out, o.format}, kReportCaption);
    if (!written.ok) {
        context.err << written.error << "\n";
        return 1;
    }
    context.out << ResultJson(o, report.sheet().rowCount()) << "\n";
    context.out.flush();
    return context.out ? 0 : 1;
}

ReportSource SourceOf(const ReportOptions& o, const DriveRecord& record) {
    ReportSource source;
    source.drive = &record;
    source.dataFile = record.driveData.get();
    source.header = o.header;
    source.now = SystemClock().now();
    return source;
}

int runOffline(const ReportOptions& o, CommandContext& context) {
    const auto record = LoadOfflineDrive(o.offline, context.err);
    if (!record) return 1;
    CDataFile& data = *record->driveData;

    StreamPrompter prompter(context.err);
    ReportNode node{record->station, ReportKind::kAllGroups, ""};
    if (o.haveGroup) node = {record->station, ReportKind::kGroup, o.group};
    ReportSource source = SourceOf(o, *record);

    std::unique_ptr<UserGroup> userGroup;
    const OfflineOptions& off = o.offline;
    if (off.fileKind == FileKind::kParaSet && !ApplyParaSetFile(data, off.file, prompter)) return 1;
    if (off.fileKind == FileKind::kUserGroup) {
        userGroup = OpenUserGroupOrSay(off.file, data, prompter);
        if (!userGroup) return 1;
        // The title is the file's name, which need not be UTF-8.
        userGroup->title = ValidUtf8(userGroup->title);
        node = {record->station, ReportKind::kUserGroup, userGroup->title};
        source.userGroups.push_back(userGroup.get());
    }
    return WriteReport(o, node, source, context);
}

// The group's parameters, or every group's; false when the data file has no such group.
bool ReportTargets(const ReportOptions& o, CDataFile& data, std::vector<ReadTarget>& targets) {
    if (!o.haveGroup) {
        targets = ReadTargetsOf({ReadNodeKind::kAllGroups}, data);
        return true;
    }
    for (CGroup& group : data.groups->elements) {
        if (group.name != o.group) continue;
        targets = ReadTargetsOf({ReadNodeKind::kGroup, &group}, data);
        return true;
    }
    return false;
}

int runOnline(const ReportOptions& o, CommandContext& context) {
    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    IdentifiedDrive drive(session, o.offline.dataDir, context.options.retries);
    if (!drive.identify(o.station, context.err) || !drive.readEditWords(context.err)) return 1;
    DriveRecord& record = drive.record();

    std::vector<ReadTarget> targets;
    if (!ReportTargets(o, *record.driveData, targets)) {
        context.err << "korvane-cli: no parameter group \"" << o.group << "\"\n";
        return 1;
    }
    GroupReader reader(session.link(), o.station, record.driveData, targets);
    if (reader.Start() && !session.runUntil([&] { return !reader.IsRunning(); })) return 1;

    const ReportNode node{o.station, o.haveGroup ? ReportKind::kGroup : ReportKind::kAllGroups,
                          o.group};
    const int status = WriteReport(o, node, SourceOf(o, record), context);
    // The report shows what could not be read as blank; the run still says it fell short.
    const auto& outcomes = reader.Outcomes();
    const auto unread = std::count_if(outcomes.begin(), outcomes.end(), [](const auto& x) {
        return !x.answered || x.errorCode != kErrNone;
    });
    if (status == 0 && unread > 0) {
        context.err << "korvane-cli: " << unread << " parameters could not be read\n";
        return 1;
    }
    return status;
}

int runReport(CommandContext& context) {
    const ReportOptions o = parseOptions(context.args);
    return o.station != 0 ? runOnline(o, context) : runOffline(o, context);
}

const CommandRegistrar registrar(
    {"report",
     "report OUT.xlsx|OUT.htm STATION [--group NAME] [--company TEXT] [--division TEXT]\n"
     "         [--author TEXT] [--settings FILE] [--data-dir DIR]\n"
     "  report OUT.xlsx|OUT.htm --series CODE --version WORD [--file SET.par|GROUP.usr]\n"
     "         [--group NAME] [--company TEXT] [--division TEXT] [--author TEXT]\n"
     "         [--settings FILE] [--data-dir DIR]   (no line needed)\n"
     "         (header texts not given: the report window's, from the user's settings)",
     runReport});

}  // namespace
}  // namespace korvane::cli
