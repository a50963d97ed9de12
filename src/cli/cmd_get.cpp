// get STATION [GROUP-NAME|ADDR ...] [--data-dir DIR]: identifies the drive and reads the named
// parameter groups or parameters (default: all groups) one request at a time, as the parameter
// editor's group read does; one JSON object per parameter.
#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/identified_drive.h"
#include "cli/parameter_json.h"
#include "editor/group_reader.h"
#include "paradb/data_file.h"
#include "paradb/value_codec.h"

namespace korvane::cli {
namespace {

// A group's name, else a parameter's address; false (with the reason on err) for an address
// this drive's data file does not have.
bool AddTargets(CDataFile& data, const std::string& name, std::vector<ReadTarget>& targets,
                std::ostream& err) {
    for (CGroup& group : data.groups->elements) {
        if (group.name != name) continue;
        auto more = ReadTargetsOf({ReadNodeKind::kGroup, &group}, data);
        targets.insert(targets.end(), more.begin(), more.end());
        return true;
    }
    long address = 0;
    try {
        address = ParseNumberArg(name, 0, 0xFFFF, "address");
    } catch (const UsageError&) {
        throw UsageError("\"" + name + "\" is neither a group name nor an address");
    }
    CItem* item = data.FindItem(static_cast<std::uint16_t>(address));
    if (item == nullptr) {
        err << "korvane-cli: the data file has no parameter at address " << name << "\n";
        return false;
    }
    targets.push_back({item, nullptr});
    return true;
}

// Each parameter once, in the order first named.
std::vector<ReadTarget> WithoutRepeats(const std::vector<ReadTarget>& targets) {
    std::vector<ReadTarget> out;
    std::set<const CItem*> seen;
    for (const ReadTarget& t : targets) {
        if (seen.insert(t.item).second) out.push_back(t);
    }
    return out;
}

void Print(const GroupReader& reader, std::ostream& out) {
    const auto& targets = reader.Targets();
    const auto& outcomes = reader.Outcomes();
    // A run that ended at a dead drive leaves the rest unanswered, for the same reason.
    GroupReader::Outcome last{true, kErrRetriesExhausted, kErrTimeout};
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const CItem& item = *targets[i].item;
        const std::string group = item.group ? item.group->name : "";
        GroupReader::Outcome o = outcomes[i].answered ? outcomes[i] : last;
        if (outcomes[i].answered) last = outcomes[i];
        if (o.errorCode == kErrNone) {
            out << ParameterJson(item, group, FormatValue(item, item.value)) << "\n";
        } else {
            out << FailedParameterJson(item, group, o.errorCode, o.failingCode) << "\n";
        }
    }
}

int runGet(CommandContext& context) {
    std::vector<std::string> args = context.args;
    const std::string dataDir = TakeDataDirOption(args);
    if (args.empty()) throw UsageError("get needs a station");
    const int station = static_cast<int>(ParseNumberArg(args[0], 1, 255, "station"));

    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    IdentifiedDrive drive(session, dataDir, context.options.retries);
    if (!drive.identify(station, context.err)) return 1;
    CDataFile& data = *drive.record().driveData;

    std::vector<ReadTarget> targets;
    if (args.size() == 1) targets = ReadTargetsOf({ReadNodeKind::kAllGroups}, data);
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (!AddTargets(data, args[i], targets, context.err)) return 1;
    }
    GroupReader reader(session.link(), station, drive.record().driveData, WithoutRepeats(targets));
    if (reader.Start() && !session.runUntil([&] { return !reader.IsRunning(); })) return 1;
    Print(reader, context.out);
    context.out.flush();
    const auto& outcomes = reader.Outcomes();
    const bool allRead = std::all_of(outcomes.begin(), outcomes.end(), [](const auto& o) {
        return o.answered && o.errorCode == kErrNone;
    });
    return allRead && context.out ? 0 : 1;
}

const CommandRegistrar registrar({"get", "get STATION [GROUP-NAME|ADDR ...] [--data-dir DIR]",
                                  runGet});

}  // namespace
}  // namespace korvane::cli
