#pragma once
// What upload, download and compare share on the command line: the drive identified as the
// program does it, the transfer dialog's chain run to its end, and its questions answered from
// the options (nobody is there to click).
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "cli/cli_command.h"
#include "editor/transfer_run.h"

namespace korvane::cli {

struct TransferArgs {
    int station = 0;
    std::string file;
    bool force = false;    // upload: overwrite an existing parameter file
    bool partial = false;  // upload: even with a result that lacks values the old file holds
    std::string dataDir;
};

// STATION FILE [--data-dir DIR], plus --force and --partial when `allowForce`. Throws
// UsageError.
TransferArgs ParseTransferArgs(const std::vector<std::string>& args, const char* command,
                               bool allowForce);

// Called once the run has ended, with the dialog as it then stands.
using TransferReport = int (*)(const TransferRun& dlg, const TransferArgs& args,
                               CommandContext& context);

// Identifies the drive, runs the chain and hands the result to `report`, whose return is the
// exit status. Every entry of a download is printed as the chain meets it when `entryLines`.
int RunTransfer(CommandContext& context, TransferMode mode, const TransferArgs& args,
                TransferReport report, bool entryLines = false);

}  // namespace korvane::cli
