#pragma once
// One queued read or write, run to its final result and printed.
#include "cli/cli_command.h"
#include "cli/link_session.h"

namespace korvane::cli {

// Queues the request, waits for its final result, prints its JSON line. False if it failed or
// the wait was interrupted.
bool RunRequest(LinkSession& session, CommandContext& context, char command, int station, int address,
                int value = 0);

}  // namespace korvane::cli
