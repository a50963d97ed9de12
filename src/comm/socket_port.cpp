#include "comm/socket_port.h"

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

namespace korvane {

namespace {

// A frame that cannot leave within this time means the server stopped taking data.
constexpr int kWriteTimeoutMs = 2000;

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

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
                r = ::poll(&p, 1, msLeft(deadline));
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

class FdChannel : public SocketChannel {
public:
    explicit FdChannel(int fd) : fd_(fd) {}
    bool send(const ByteVector& bytes, std::string& error) override {
        std::size_t done = 0;
        const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
        while (done < bytes.size()) {
            long n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return error = ErrnoText(errno), false;
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, msLeft(deadline)) == 0) return error = ErrnoText(ETIMEDOUT), false;
        }
        return true;
    }
    long receive(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                 std::string& error) override {
        pollfd p{fd_, POLLIN, 0};
        int r = ::poll(&p, 1, timeoutMs);
        if (r == 0) return 0;
        if (r < 0) return errno == EINTR ? 0 : (error = ErrnoText(errno), -1);
        long n = ::recv(fd_, buffer, size, 0);
        if (n > 0) return n;
        if (n == 0) return error = "the server closed the connection", -1;
        if (errno == EAGAIN || errno == EINTR) return 0;
        return error = ErrnoText(errno), -1;
    }

private:
    int fd_;
};

}  // namespace

int ConnectTcp(const PortAddress& address, int timeoutMs, std::string& error) {
    const std::string where = DescribeEndpoint(address);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    int rc = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        error = "cannot resolve " + where + ": " +
                (rc == EAI_SYSTEM ? ErrnoText(errno) : gai_strerror(rc));
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int fd = -1;
    int err = ETIMEDOUT;
    for (addrinfo* ai = found; ai && fd < 0 && msLeft(deadline) > 0; ai = ai->ai_next)
        err = connectOne(*ai, deadline, fd);
    ::freeaddrinfo(found);
    if (fd < 0) error = "cannot connect to " + where + ": " + ErrnoText(err);
    return fd;
}

std::string NetworkErrorText(const std::string& portName, const std::string& reason) {
    return "WARNING:  " + reason + "\nPort: " + portName + "\n";
}

namespace {

class SocketLineIo : public PollingLineIo {
public:
    explicit SocketLineIo(std::unique_ptr<StreamFraming> framing) : framing_(std::move(framing)) {}

    bool open(const PortSettings& settings,
              const std::function<void(const std::string&)>& say) override;
    void close() override;
    Read read(std::size_t size, ByteVector& data, std::string& error) override;
    void transmit(const ByteVector& frame, LineEvents& events) override;

private:
    std::string failureText(const char* operation, int err) const override {
        return NetworkErrorText(portName_, std::string(operation) + ": " + ErrnoText(err));
    }
    std::string lostText(const std::string& reason) const {
        return NetworkErrorText(portName_, "the connection to the server was lost: " + reason);
    }

    std::unique_ptr<StreamFraming> framing_;
    std::string portName_;
};

bool SocketLineIo::open(const PortSettings& settings,
                        const std::function<void(const std::string&)>& say) {
    portName_ = settings.portName;
    std::string error;
    auto address = ParsePortAddress(settings.portName, error);
    if (!address || address->transport == PortTransport::Serial) {
        say(NetworkErrorText(portName_, address ? portName_ + " is no network address" : error));
        return false;
    }
    lineFd_ = ConnectTcp(*address, kConnectTimeoutMs, error);
    if (lineFd_ < 0) {
        say(NetworkErrorText(portName_, error));
        return false;
    }
    FdChannel channel(lineFd_);
    if (!framing_->handshake(channel, settings, error)) {
        say(NetworkErrorText(portName_, DescribeEndpoint(*address) + ": " + error));
        return false;
    }
    if (!openWake()) {
        say(failureText("eventfd()", errno));
        return false;
    }
    return true;
}

void SocketLineIo::close() {
    closeWake();
    if (lineFd_ >= 0) ::close(lineFd_);
    lineFd_ = -1;
}

LineIo::Read SocketLineIo::read(std::size_t size, ByteVector& data, std::string& error) {
    ByteVector buffer(size);
    for (;;) {
        long n = ::recv(lineFd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0) {
            ByteVector answer;
            framing_->decode(buffer.data(), static_cast<std::size_t>(n), data, answer);
            std::string reason;
            if (!answer.empty() && !FdChannel(lineFd_).send(answer, reason)) {
                error = lostText(reason);
                return Read::Lost;
            }
            return Read::Data;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Read::Nothing;
        error = lostText(n == 0 ? "the server closed the connection" : ErrnoText(errno));
        return Read::Lost;
    }
}

void SocketLineIo::transmit(const ByteVector& frame, LineEvents& events) {
    // Bytes of an earlier exchange that nobody has read yet must not pass for the reply, as
    // the serial port's purge makes sure; negotiation answers still go out.
    for (;;) {
        ByteVector stale;
        std::string error;
        const Read r = read(512, stale, error);
        if (r == Read::Nothing) break;
        if (r == Read::Lost) return events.lose(error);
    }
    ByteVector out;
    std::string error;
    if (!framing_->encode(frame.data(), frame.size(), out, error)) {
        events.report(NetworkErrorText(portName_, error));
        return;
    }
    if (!FdChannel(lineFd_).send(out, error)) events.lose(lostText(error));
}

}  // namespace

SocketPort::SocketPort(Executor& executor, PortErrorReport report,
                       std::unique_ptr<StreamFraming> framing)
    : PortWorker(executor, std::move(report), std::make_unique<SocketLineIo>(std::move(framing))) {}

}  // namespace korvane
