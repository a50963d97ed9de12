// read STATION ADDR...: one queued read after another, in the order given.
#include <vector>

#include "cli/request_runner.h"

namespace korvane::cli {
namespace {

int runRead(CommandContext& context) {
    if (context.args.size() < 2) throw UsageError("read needs a station and at least one address");
    int station = static_cast<int>(ParseNumberArg(context.args[0], 1, 255, "station"));
    std::vector<int> addresses;
    for (std::size_t i = 1; i < context.args.size(); ++i) {
        addresses.push_back(static_cast<int>(ParseNumberArg(context.args[i], 0, 0xFFFF, "address")));
    }
    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    bool allGood = true;
    for (int address : addresses) allGood = RunRequest(session, context, 'R', station, address) && allGood;
    return allGood ? 0 : 1;
}

const CommandRegistrar registrar({"read", "read STATION ADDR...", runRead});

}  // namespace
}  // namespace korvane::cli
