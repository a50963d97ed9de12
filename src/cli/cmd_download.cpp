// download STATION FILE [--data-dir DIR]: every writable parameter of a parameter or user-group
// file to the drive, one line per entry as the chain meets it.
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/transfer_command.h"

namespace korvane::cli {
namespace {

int reportDownload(const TransferRun& dlg, const TransferArgs&, CommandContext& context) {
    nlohmann::ordered_json j;
    j["op"] = "download";
    j["written"] = dlg.Counts().read;
    j["passed"] = dlg.Counts().passed;
    j["refused"] = dlg.Counts().refused;
    j["status"] = dlg.StatusText();
    context.out << j.dump() << std::endl;
    return dlg.LastEnd() == TransferEnd::kDone && dlg.Counts().refused == 0 ? 0 : 1;
}

int runDownload(CommandContext& context) {
    TransferArgs args = ParseTransferArgs(context.args, "download", false);
    return RunTransfer(context, TransferMode::kDownload, args, reportDownload, true);
}

const CommandRegistrar registrar({"download", "download STATION FILE [--data-dir DIR]",
                                  runDownload});

}  // namespace
}  // namespace korvane::cli
