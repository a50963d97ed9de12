// run STATION forward|reverse|stop [--data-dir DIR]: the keypad's run-command write, then the
// status word read back. Stop resets the trip of a tripped drive, as the keypad's key does.
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/identified_drive.h"
#include "cli/link_session.h"
#include "cli/reply_json.h"
#include "monitor/keypad_model.h"
#include "paradb/model_tables.h"

namespace korvane::cli {
namespace {

using Json = nlohmann::ordered_json;

class OneReply : public ReplySink {
public:
    explicit OneReply(LinkSession& session) : session_(session) {}
    void OnDriveReply(int, const DriveReply& reply) override {
        if (IsFinalReply(reply))
            result = reply;
        else
            session_.traceNotice(reply);
    }
    std::optional<DriveReply> result;

private:
    LinkSession& session_;
};

// Runs one queued request to its final result; nullopt when interrupted.
std::optional<DriveReply> exchange(LinkSession& session, char command, int station, int address,
                                   int value = 0) {
    OneReply sink(session);
    if (command == 'W')
        session.link().QueueWrite(station, address, value, &sink);
    else
        session.link().QueueRead(station, address, &sink);
    if (!session.runUntil([&] { return sink.result.has_value(); })) return std::nullopt;
    return sink.result;
}

int runRun(CommandContext& context) {
    std::vector<std::string> args = context.args;
    const std::string dataDir = TakeDataDirOption(args);
    if (args.size() != 2) throw UsageError("run needs a station and forward, reverse or stop");
    const int station = static_cast<int>(ParseNumberArg(args[0], 1, 255, "station"));
    const std::string command = args[1];
    if (command != "forward" && command != "reverse" && command != "stop")
        throw UsageError("run takes forward, reverse or stop");

    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    IdentifiedDrive drive(session, dataDir, context.options.retries);
    if (!drive.identify(station, context.err)) return 1;
    const int series = drive.record().seriesCode;

    constexpr int kStatusAddress = 0x000E;
    int value = command == "forward" ? kRunCommandForward : kRunCommandReverse;
    if (command == "stop") {
        // The keypad knows the status word from its polling; here it is read fresh.
        auto status = exchange(session, 'R', station, kStatusAddress);
        if (!status) return 1;
        if (status->errorCode != kErrNone) {
            context.out << RequestJson(*status) << std::endl;
            return 1;
        }
        value = StopKeyValue(status->values[0]);
    }
    auto written = exchange(session, 'W', station, kRunCommandAddress, value);
    if (!written) return 1;
    if (written->errorCode != kErrNone) {
        context.out << RequestJson(*written) << std::endl;
        return 1;
    }
    auto status = exchange(session, 'R', station, kStatusAddress);
    if (!status) return 1;
    if (status->errorCode != kErrNone) {
        context.out << RequestJson(*status) << std::endl;
        return 1;
    }
    const int word = status->values[0] & 0xFFFF;
    Json j;
    j["station"] = station;
    j["command"] = command;
    j["value"] = value;
    j["status"] = word;
    j["state"] = StatusText(series, word);
    context.out << j.dump() << std::endl;
    return 0;
}

const CommandRegistrar registrar({"run", "run STATION forward|reverse|stop [--data-dir DIR]",
                                  runRun});

}  // namespace
}  // namespace korvane::cli
