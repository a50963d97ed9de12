// write STATION ADDR VALUE: one queued write; the drive's echo is printed as the value.
#include "cli/request_runner.h"

namespace korvane::cli {
namespace {

int runWrite(CommandContext& context) {
    if (context.args.size() != 3) throw UsageError("write needs a station, an address and a value");
    int station = static_cast<int>(ParseNumberArg(context.args[0], 1, 255, "station"));
    int address = static_cast<int>(ParseNumberArg(context.args[1], 0, 0xFFFF, "address"));
    // Signed words are written as their 16-bit pattern.
    int value = static_cast<int>(ParseNumberArg(context.args[2], -32768, 0xFFFF, "value")) & 0xFFFF;
    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    return RunRequest(session, context, 'W', station, address, value) ? 0 : 1;
}

const CommandRegistrar registrar({"write", "write STATION ADDR VALUE", runWrite});

}  // namespace
}  // namespace korvane::cli
