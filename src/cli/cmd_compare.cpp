// compare STATION FILE [--data-dir DIR]: the parameters whose drive value differs from a
// parameter or user-group file. Exit 3 when any differs (or could not be read).
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/transfer_command.h"

namespace korvane::cli {
namespace {

constexpr int kExitDifferent = 3;

int reportCompare(const TransferRun& dlg, const TransferArgs&, CommandContext& context) {
    for (const CompareRow& row : dlg.CompareRows()) {
        nlohmann::ordered_json j;
        j["group"] = row.group;
        j["address"] = row.address;
        j["number"] = row.number();
        j["name"] = row.name;
        j["drive"] = row.drive ? nlohmann::ordered_json(*row.drive) : nullptr;
        j["file"] = row.file;
        j["unit"] = row.unit;
        context.out << j.dump() << "\n";
    }
    nlohmann::ordered_json j;
    j["op"] = "compare";
    j["differences"] = dlg.CompareRows().size();
    j["unread"] = dlg.Counts().unread;
    j["status"] = dlg.StatusText();
    context.out << j.dump() << std::endl;
    if (dlg.LastEnd() != TransferEnd::kDone) return 1;
    return dlg.CompareRows().empty() ? 0 : kExitDifferent;
}

int runCompare(CommandContext& context) {
    TransferArgs args = ParseTransferArgs(context.args, "compare", false);
    return RunTransfer(context, TransferMode::kCompare, args, reportCompare);
}

const CommandRegistrar registrar({"compare", "compare STATION FILE [--data-dir DIR]", runCompare});

}  // namespace
}  // namespace korvane::cli
