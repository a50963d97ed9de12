#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "comm/posix_line_io.h"
#include "comm/socket_port.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// One attempt on one resolved address; 0 or the errno that ended it.
int connectOne(const addrinfo& ai, Clock::time_point deadline, int& fdOut) {
    int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
    if (fd < 0) return errno;
    int err = 0;
    if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
        err = errno;
        if (err == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int r = 0;
            do {
                r = ::poll(&p, 1, MillisecondsLeft(deadline));
            } while (r < 0 && errno == EINTR);
            socklen_t len = sizeof err;
            if (r == 0) {
                err = ETIMEDOUT;
            } else if (r < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
                err = errno;
            }
        }
    }
    if (err != 0) {
        ::close(fd);
        return err;
    }
    // Requests are short and wait for their answer: never hold one back for more bytes.
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fdOut = fd;
    return 0;
}

class FdStream : public TcpStream {
public:
    int fd() const { return fd_; }

    Connect connect(const PortAddress& address, int timeoutMs, std::string& reason) override;
    void close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool sendAll(const ByteVector& bytes, int timeoutMs, std::string& reason) override;
    long receive(std::uint8_t* buffer, std::size_t size, std::string& reason) override;
    int waitReadable(int timeoutMs, std::string& reason) override {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno != EINTR) return reason = ErrnoText(errno), -1;
        return r > 0 ? 1 : 0;
    }

private:
    int fd_ = -1;
};

TcpStream::Connect FdStream::connect(const PortAddress& address, int timeoutMs,
                                     std::string& reason) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    int rc = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        reason = rc == EAI_SYSTEM ? ErrnoText(errno) : gai_strerror(rc);
        return Connect::Unresolved;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int err = ETIMEDOUT;
    for (addrinfo* ai = found; ai && fd_ < 0 && MillisecondsLeft(deadline) > 0; ai = ai->ai_next)
        err = connectOne(*ai, deadline, fd_);
    ::freeaddrinfo(found);
    if (fd_ >= 0) return Connect::Done;
    reason = ErrnoText(err);
    return Connect::Failed;
}

bool FdStream::sendAll(const ByteVector& bytes, int timeoutMs, std::string& reason) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (done < bytes.size()) {
        long n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return reason = ErrnoText(errno), false;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, MillisecondsLeft(deadline)) == 0)
            return reason = ErrnoText(ETIMEDOUT), false;
    }
    return true;
}

long FdStream::receive(std::uint8_t* buffer, std::size_t size, std::string& reason) {
    for (;;) {
        const long n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
        if (n > 0) return n;
        if (n == 0) return reason = kServerClosedConnection, -1;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return reason = ErrnoText(errno), -1;
    }
}

class SocketLineIo : public PollingLineIo {
public:
    explicit SocketLineIo(std::unique_ptr<StreamFraming> framing)
        : line_(std::move(framing), stream_) {}

    bool open(const PortSettings& settings,
              const std::function<void(const std::string&)>& say) override {
        if (!line_.open(settings, say)) return false;
        lineFd_ = stream_.fd();
        if (openWake()) return true;
        say(failureText("eventfd()", errno));
        return false;
    }
    void close() override {
        closeWake();
        stream_.close();
        lineFd_ = -1;
    }
    Read read(std::size_t size, ByteVector& data, std::string& error) override {
        return line_.read(size, data, error);
    }
    void transmit(const ByteVector& frame, LineEvents& events) override {
        line_.transmit(frame, events);
    }

private:
    std::string failureText(const char* operation, int err) const override {
        return line_.failureText(operation, ErrnoText(err));
    }

    FdStream stream_;
    SocketLine line_;
};

}  // namespace

SocketPort::SocketPort(Executor& executor, PortErrorReport report,
                       std::unique_ptr<StreamFraming> framing)
    : PortWorker(executor, std::move(report), std::make_unique<SocketLineIo>(std::move(framing))) {}

}  // namespace korvane
