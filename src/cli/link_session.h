#pragma once
// The drive link as korvane-cli runs it: a real serial port, the protocol thread being this
// one, and a loop that ticks the link every 30 ms (or, in fast pacing, whenever the link has
// something due) and feeds it the received bytes.
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>

#include "cli/cli_command.h"
#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/executor.h"
#include "host/settings.h"
#include "host/tool_services.h"

namespace korvane::cli {

constexpr int kTickMs = 30;

class LinkSession {
public:
    LinkSession(const GlobalOptions& options, std::ostream& err);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Opens the port and starts the link; false (with the reason on err) if the port failed.
    [[nodiscard]] bool open();
    CDriveLink& link() { return *link_; }
    // The protocol thread's queue: what the link's users post runs inside runUntil().
    Executor& executor() { return executor_; }

    // What a command hands the tool cores it runs: this session's link, and its executor, which
    // runUntil() runs, so that work a tool posts is done between the ticks.
    ToolServices services(DriveRecords& records, SettingsStore& settings, Prompter& prompter,
                          AppDirectories dirs = {});

    // Runs the link until done() holds; false if interrupted (Ctrl-C, SIGTERM) first.
    bool runUntil(const std::function<bool()>& done);

    // Writes one retry notice to err when --trace is on.
    void traceNotice(const DriveReply& reply);

private:
    bool runFast(const std::function<bool()>& done);

    const GlobalOptions& options_;
    std::ostream& err_;
    // Work posted by the port's worker, run by the session's loop between ticks.
    QueueExecutor executor_;  // declared first: outlives the link and its port
    std::unique_ptr<CDriveLink> link_;
    SystemClock clock_;
    // A tool on its own: no other windows to tell of graph watch.
    StandaloneToolHost host_;
    // One tick grid for the whole session: a request queued right after the previous one
    // ended goes out on the next tick, not a whole tick after it was queued.
    QueueExecutor::Clock::time_point nextTick_;
};

}  // namespace korvane::cli
