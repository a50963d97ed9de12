#include "comm/posix_line_io.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace korvane {

std::string ErrnoText(int err) {
    char buffer[256];
    return strerror_r(err, buffer, sizeof buffer);  // the GNU form returns the text
}

bool PollingLineIo::openWake() {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return wakeFd_ >= 0;
}

void PollingLineIo::closeWake() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
}

void PollingLineIo::interrupt() {
    if (wakeFd_ < 0) return;
    std::uint64_t one = 1;
    [[maybe_unused]] long n = ::write(wakeFd_, &one, sizeof one);
}

bool PollingLineIo::takeWake() {
    std::uint64_t count = 0;
    return ::read(wakeFd_, &count, sizeof count) == static_cast<long>(sizeof count);
}

int PollingLineIo::pollFds(pollfd* fds, unsigned long count, int timeoutMs) {
    return ::poll(fds, count, timeoutMs);
}

LineIo::Wait PollingLineIo::wait(bool watchLine, int timeoutMs, std::string& error) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {watchLine ? lineFd_ : -1, POLLIN, 0}};
    const int r = pollFds(fds, 2, timeoutMs);
    if (r < 0) {
        if (errno == EINTR) return Wait::Woken;
        error = failureText("poll()", errno);
        return Wait::Failed;
    }
    if (r == 0) return Wait::TimedOut;
    if (fds[0].revents & POLLIN) takeWake();
    // A hang-up or an error is there to be read: the read says what it is.
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) return Wait::Input;
    return Wait::Woken;
}

}  // namespace korvane
