// params --series CODE --version WORD [--file PATH.par|PATH.usr] [--data-dir DIR]
//        [--freq-mode 0|1] [--time1 1|10|100]
// The parameters of one drive model and version as an offline parameter editor shows them:
// from the data file alone, with the values of a parameter set, or as a user group. Needs no
// line, so scripts can check data files and saved files without a drive.
#include <memory>
#include <ostream>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/offline_data.h"
#include "cli/parameter_json.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "paradb/value_codec.h"

namespace korvane::cli {
namespace {

OfflineOptions parseOptions(const std::vector<std::string>& args) {
    OfflineOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!TakeOfflineOption(o, args, i)) throw UsageError("params does not take " + args[i]);
    }
    if (o.seriesCode < 0 || o.version < 0) throw UsageError("params needs --series and --version");
    return o;
}

// With a parameter set's values, each line says whether its value can be the item's word.
void printDataFile(const CDataFile& data, bool fromFile, std::ostream& out) {
    if (!data.groups) return;
    for (const CGroup& group : data.groups->elements) {
        for (const CItem& item : group.items)
            out << (fromFile ? FileParameterJson(item, group.name, item.value)
                             : ParameterJson(item, group.name, FormatValue(item, item.value, true)))
                << "\n";
    }
}

void printUserGroup(const UserGroup& group, const CDataFile& data, std::ostream& out) {
    for (const auto& entry : group.entries) {
        const CItem* item = entry->address <= 0xFFFF
                                ? data.FindItem(static_cast<std::uint16_t>(entry->address))
                                : nullptr;
        if (item == nullptr) continue;
        out << FileParameterJson(*item, group.title, entry->value) << "\n";
    }
}

int runParams(CommandContext& context) {
    const OfflineOptions o = parseOptions(context.args);

    const auto record = LoadOfflineDrive(o, context.err);
    if (!record) return 1;
    CDataFile& data = *record->driveData;

    StreamPrompter prompter(context.err);
    switch (o.fileKind) {
        case FileKind::kNone:
            printDataFile(data, false, context.out);
            break;
        case FileKind::kParaSet:
            if (!ApplyParaSetFile(data, o.file, prompter)) return 1;
            printDataFile(data, true, context.out);
            break;
        case FileKind::kUserGroup: {
            auto group = OpenUserGroupOrSay(o.file, data, prompter);
            if (!group) return 1;
            printUserGroup(*group, data, context.out);
            break;
        }
    }
    context.out.flush();
    return context.out ? 0 : 1;
}

const CommandRegistrar registrar(
    {"params",
     "params --series CODE --version WORD [--file PATH.par|PATH.usr] [--data-dir DIR]\n"
     "         [--freq-mode 0|1] [--time1 1|10|100]   (no line needed)",
     runParams});

}  // namespace
}  // namespace korvane::cli
