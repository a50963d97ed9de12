// upload STATION FILE [--force] [--data-dir DIR]: every parameter of the drive into a parameter
// file, or the parameters of a user-group file (.usr) back into it.
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/transfer_command.h"

namespace korvane::cli {
namespace {

int reportUpload(const CParaTransferDlg& dlg, const TransferArgs&, CommandContext& context) {
    nlohmann::ordered_json j;
    j["op"] = "upload";
    j["file"] = dlg.PathText();
    j["kind"] = dlg.FileKind() == TransferFileKind::kUserGroup ? "usr" : "par";
    j["read"] = dlg.Counts().read;
    j["unread"] = dlg.Counts().unread;
    j["status"] = dlg.StatusText();
    context.out << j.dump() << std::endl;
    return dlg.LastEnd() == TransferEnd::kDone && dlg.Counts().unread == 0 ? 0 : 1;
}

int runUpload(CommandContext& context) {
    TransferArgs args = ParseTransferArgs(context.args, "upload", true);
    return RunTransfer(context, TransferMode::kUpload, args, reportUpload);
}

const CommandRegistrar registrar({"upload", "upload STATION FILE [--force] [--data-dir DIR]",
                                  runUpload});

}  // namespace
}  // namespace korvane::cli
