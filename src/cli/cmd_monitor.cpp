// monitor STATION ADDR... [--polls N]: registers the addresses for cyclic polling and prints
// every monitoring result until N were printed, the station's monitoring failed for good, or
// the user interrupts.
#include <ostream>
#include <vector>

#include "cli/link_session.h"
#include "cli/reply_json.h"

namespace korvane::cli {
namespace {

class MonitorPrinter : public MonitorListener {
public:
    MonitorPrinter(LinkSession& session, std::ostream& out) : session_(session), out_(out) {}
    void OnDriveMonitor(int, const DriveReply& reply) override {
        if (!IsFinalReply(reply)) {
            session_.traceNotice(reply);
            return;
        }
        if (reply.errorCode == kErrNone && reply.command == 'X') return;  // registration, no values
        out_ << MonitorJson(reply) << std::endl;
        ++printed;
        if (reply.errorCode != kErrNone) failed = true;
        // Retries exhausted: the link has dropped the station's monitoring.
        if (reply.errorCode == kErrRetriesExhausted) stationDropped = true;
    }
    long printed = 0;
    bool failed = false;
    bool stationDropped = false;

private:
    LinkSession& session_;
    std::ostream& out_;
};

int runMonitor(CommandContext& context) {
    std::vector<std::string> positional;
    long polls = -1;
    for (std::size_t i = 0; i < context.args.size(); ++i) {
        if (context.args[i] == "--polls") {
            if (i + 1 >= context.args.size()) throw UsageError("--polls needs a number");
            polls = ParseNumberArg(context.args[++i], 1, 1000000000L, "poll count");
        } else {
            positional.push_back(context.args[i]);
        }
    }
    if (positional.size() < 2) throw UsageError("monitor needs a station and at least one address");
    int station = static_cast<int>(ParseNumberArg(positional[0], 1, 255, "station"));
    std::vector<int> addresses;
    for (std::size_t i = 1; i < positional.size(); ++i) {
        addresses.push_back(static_cast<int>(ParseNumberArg(positional[i], 0, 0xFFFF, "address")));
    }

    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    MonitorPrinter printer(session, context.out);
    session.link().SetPollRange(station, station);
    (void)session.link().AddMonitorAddresses(station, addresses.data(),
                                             static_cast<int>(addresses.size()));
    session.link().AddListener(station, &printer);
    // Being interrupted is how a user ends monitoring: only failed results make it fail.
    (void)session.runUntil(
        [&] { return printer.stationDropped || (polls > 0 && printer.printed >= polls); });
    session.link().RemoveListener(station, &printer);
    return printer.failed ? 1 : 0;
}

const CommandRegistrar registrar({"monitor", "monitor STATION ADDR... [--polls N]", runMonitor});

}  // namespace
}  // namespace korvane::cli
