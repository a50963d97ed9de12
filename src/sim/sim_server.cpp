#include "sim/sim_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace korvane::sim {

namespace {

std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How often the drives' ramps and MODBUS framing move on while the line is quiet.
constexpr int kIdlePollMs = 20;

}  // namespace

SimServer::SimServer(SimEngine& engine, int fd) : engine_(engine), fd_(fd), epochNs_(steadyNs()) {}

SimServer::~SimServer() {
    stop();
}

std::int64_t SimServer::nowUs() const {
    return (steadyNs() - epochNs_) / 1000;
}

bool SimServer::start() {
    if (thread_.joinable()) return true;
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return false;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void SimServer::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
}

void SimServer::withEngine(const std::function<void(SimEngine&)>& fn) {
    {
        std::lock_guard lock(mutex_);
        fn(engine_);
    }
    // A changed delay or a new drive may move the next reply's time.
    if (wakeFd_ >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
}

void SimServer::writeReplies(std::int64_t now) {
    Bytes out;
    {
        std::lock_guard lock(mutex_);
        out = engine_.takeDue(now);
    }
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::write(fd_, out.data() + done, out.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // nobody listening, or a full buffer: the bytes are lost as on a wire
        }
    }
}

void SimServer::run() {
    std::uint8_t buffer[512];
    bool lineUp = true;
    while (!stopping_) {
        // To the microsecond: a reply held to the next whole millisecond would make every
        // exchange on the emulated line up to a millisecond slower than on a real one.
        std::int64_t waitUs = std::int64_t{kIdlePollMs} * 1000;
        {
            std::lock_guard lock(mutex_);
            if (auto due = engine_.nextDueUs())
                waitUs = std::clamp<std::int64_t>(*due - nowUs(), 0, waitUs);
        }
        const timespec timeout{static_cast<time_t>(waitUs / 1000000),
                               static_cast<long>(waitUs % 1000000) * 1000};
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {lineUp ? fd_ : -1, POLLIN, 0}};
        int r = ::ppoll(fds, 2, &timeout, nullptr);
        if (r < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] auto n = ::read(wakeFd_, &count, sizeof count);
        }
        if (fds[1].revents & POLLIN) {
            ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                std::lock_guard lock(mutex_);
                engine_.receive(buffer, static_cast<std::size_t>(n), nowUs());
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                lineUp = false;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            lineUp = false;  // keep serving commands and ramps; the line itself is gone
        }
        {
            std::lock_guard lock(mutex_);
            engine_.idle(nowUs());
        }
        writeReplies(nowUs());
    }
}

}  // namespace korvane::sim
