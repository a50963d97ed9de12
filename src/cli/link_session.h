#pragma once
// The drive link as korvane-cli runs it: a real serial port, the protocol thread being this
// one, and a loop that ticks the link every 30 ms and feeds it the received bytes.
#include <functional>
#include <iosfwd>
#include <memory>

#include "cli/cli_command.h"
#include "comm/drive_link.h"
#include "common/executor.h"

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

    // Runs the link until done() holds; false if interrupted (Ctrl-C, SIGTERM) first.
    bool runUntil(const std::function<bool()>& done);

    // Writes one retry notice to err when --trace is on.
    void traceNotice(const DriveReply& reply);

  private:
    const GlobalOptions& options_;
    std::ostream& err_;
    QueueExecutor executor_;  // declared first: outlives the link and its port
    std::unique_ptr<CDriveLink> link_;
};

}  // namespace korvane::cli
