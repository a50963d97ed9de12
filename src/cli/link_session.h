#pragma once
// The drive link as korvane-cli runs it: a real serial port, the protocol thread being this
// one, and a loop that ticks the link every 30 ms (or, in fast pacing, whenever the link has
// something due) and feeds it the received bytes.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>

#include "app/settings.h"
#include "app/tool_services.h"
#include "cli/cli_command.h"
#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/executor.h"

namespace korvane::cli {

constexpr int kTickMs = 30;

// Work posted by the port's worker, run by the session's loop between ticks. Unlike draining
// everything, running up to a deadline leaves the tick its turn however fast bytes come in.
class TickLoopExecutor : public Executor {
public:
    using Clock = std::chrono::steady_clock;
    void post(std::function<void()> fn) override;
    // Waits until work comes or the deadline passes, then runs work until none is left or the
    // deadline has passed.
    void runUntil(Clock::time_point deadline);
    // Waits until work comes or the deadline passes, and runs nothing.
    void waitForWork(Clock::time_point deadline);
    // Runs what was posted before this call, and nothing posted meanwhile.
    void runPosted();

private:
    bool runOne();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
};

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
    TickLoopExecutor executor_;  // declared first: outlives the link and its port
    std::unique_ptr<CDriveLink> link_;
    SystemClock clock_;
    // A tool on its own: no other windows to tell of graph watch.
    StandaloneToolHost host_;
    // One tick grid for the whole session: a request queued right after the previous one
    // ended goes out on the next tick, not a whole tick after it was queued.
    TickLoopExecutor::Clock::time_point nextTick_;
};

}  // namespace korvane::cli
