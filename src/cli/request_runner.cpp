#include "cli/request_runner.h"

#include <optional>
#include <ostream>

#include "cli/reply_json.h"

namespace korvane::cli {

namespace {

class FinalReply : public ReplySink {
public:
    explicit FinalReply(LinkSession& session) : session_(session) {}
    void OnDriveReply(int, const DriveReply& reply) override {
        if (IsFinalReply(reply)) {
            result = reply;
        } else {
            session_.traceNotice(reply);
        }
    }
    std::optional<DriveReply> result;

private:
    LinkSession& session_;
};

}  // namespace

bool RunRequest(LinkSession& session, CommandContext& context, char command, int station,
                int address, int value) {
    FinalReply sink(session);
    if (command == 'W') {
        session.link().QueueWrite(station, address, value, &sink);
    } else {
        session.link().QueueRead(station, address, &sink);
    }
    if (!session.runUntil([&] { return sink.result.has_value(); })) return false;
    context.out << RequestJson(*sink.result) << std::endl;
    return sink.result->errorCode == kErrNone;
}

}  // namespace korvane::cli
