// upload STATION FILE [--force] [--partial] [--data-dir DIR]: every parameter of the drive into
// a parameter file, or the parameters of a user-group file (.usr) back into it. A parameter set
// that could not read everything replaces a file holding values it lacks only with --partial.
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/transfer_command.h"
#include "editor/transfer_path.h"
#include "paradb/archive.h"

namespace korvane::cli {
namespace {

// The entries of a user group the upload could not read: the file keeps these values.
void printUnread(const TransferRun& dlg, CommandContext& context) {
    for (const CompareRow& row : dlg.UnreadRows()) {
        nlohmann::ordered_json j;
        j["address"] = row.address;
        j["number"] = row.number();
        j["name"] = row.name;
        j["result"] = "unread";
        j["kept"] = row.file;
        context.out << j.dump() << "\n";
    }
}

int reportUpload(const TransferRun& dlg, const TransferArgs&, CommandContext& context) {
    printUnread(dlg, context);
    nlohmann::ordered_json j;
    j["op"] = "upload";
    j["file"] = dlg.PathText();
    j["kind"] = dlg.FileKind() == TransferFileKind::kUserGroup ? "usr" : "par";
    j["read"] = dlg.Counts().read;
    j["unread"] = dlg.Counts().unread;
    j["status"] = dlg.StatusText();
    context.out << j.dump() << std::endl;
    if (dlg.LastEnd() == TransferEnd::kHeld)
        context.err << "korvane-cli: " << dlg.PathText()
                    << " holds values this upload could not read; it is left as it was "
                       "(--partial replaces it)\n";
    return dlg.LastEnd() == TransferEnd::kDone && dlg.Counts().unread == 0 ? 0 : 1;
}

// The file's folder must take a file before the drive is asked anything. The name as the run
// resolves it (an extension added) is checked, since that is the file it saves.
bool savable(const TransferArgs& args, CommandContext& context) {
    TransferFileChoice choice;
    const TransferPath resolved = ResolveTransferPath(args.file, choice);
    const std::string& path =
        resolved.outcome == TransferPathOutcome::kOk ? resolved.path : args.file;
    std::string error;
    if (CanSaveFile(path, &error)) return true;
    context.err << "korvane-cli: " << error << "\n";
    return false;
}

int runUpload(CommandContext& context) {
    TransferArgs args = ParseTransferArgs(context.args, "upload", true);
    if (!savable(args, context)) return 1;
    return RunTransfer(context, TransferMode::kUpload, args, reportUpload);
}

const CommandRegistrar registrar({"upload",
                                  "upload STATION FILE [--force] [--partial] [--data-dir DIR]",
                                  runUpload});

}  // namespace
}  // namespace korvane::cli
