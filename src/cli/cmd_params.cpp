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
#include "paradb/custom_group.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/para_array.h"
#include "paradb/value_codec.h"

namespace korvane::cli {
namespace {

struct ParamsOptions {
    int seriesCode = -1;
    int version = -1;
    std::string file;
    FileKind fileKind = FileKind::kNone;
    std::string dataDir = CliDefaultDataDir();
    int frequencyMode = 1;
    int time1Divisor = 10;
};

ParamsOptions parseOptions(const std::vector<std::string>& args) {
    ParamsOptions o;
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
            o.fileKind = FileKindOf(o.file);
            if (o.fileKind == FileKind::kNone) throw UsageError("--file names a .par or .usr file");
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
        } else {
            throw UsageError("params does not take " + a);
        }
    }
    if (o.seriesCode < 0 || o.version < 0) throw UsageError("params needs --series and --version");
    return o;
}

void printDataFile(const CDataFile& data, std::ostream& out) {
    if (!data.groups) return;
    for (const CGroup& group : data.groups->elements) {
        for (const CItem& item : group.items)
            out << ParameterJson(item, group.name, FormatValue(item, item.value, true)) << "\n";
    }
}

void printUserGroup(const CCustom& group, const CDataFile& data, std::ostream& out) {
    for (const auto& entry : group.entries) {
        const CItem* item = entry->address <= 0xFFFF
                                ? data.FindItem(static_cast<std::uint16_t>(entry->address))
                                : nullptr;
        if (item == nullptr) continue;
        out << ParameterJson(*item, group.title, FormatUserGroupValue(*item, entry->value)) << "\n";
    }
}

int runParams(CommandContext& context) {
    const ParamsOptions o = parseOptions(context.args);

    const auto record = LoadOfflineDrive(o.seriesCode, o.version, o.dataDir, o.frequencyMode,
                                         o.time1Divisor, context.err);
    if (!record) return 1;
    CDataFile& data = *record->driveData;

    StreamPrompter prompter(context.err);
    switch (o.fileKind) {
        case FileKind::kNone:
            printDataFile(data, context.out);
            break;
        case FileKind::kParaSet:
            if (!ApplyParaSetFile(data, o.file, prompter)) return 1;
            printDataFile(data, context.out);
            break;
        case FileKind::kUserGroup: {
            auto group = OpenUserGroupFile(o.file, data, prompter);
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
