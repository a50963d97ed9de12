#pragma once
// What the tty and the socket share on POSIX: one descriptor for the line and an eventfd that
// ends the worker's wait, both watched with poll().
#include <poll.h>

#include <string>

#include "comm/port_worker.h"

namespace korvane {

class PollingLineIo : public LineIo {
public:
    Wait wait(bool watchLine, int timeoutMs, std::string& error) override;
    void interrupt() override;

protected:
    // False with errno set when no wake-up descriptor could be made.
    [[nodiscard]] bool openWake();
    void closeWake();
    // True if a wake-up was waiting; it is taken.
    bool takeWake();
    // The poll every wait makes: a seam for tests of the tty.
    virtual int pollFds(pollfd* fds, unsigned long count, int timeoutMs);
    // The error box text for a failed call (`err` an errno value).
    virtual std::string failureText(const char* operation, int err) const = 0;

    int lineFd_ = -1;
    int wakeFd_ = -1;
};

// strerror_r's text for an errno value.
std::string ErrnoText(int err);

}  // namespace korvane
