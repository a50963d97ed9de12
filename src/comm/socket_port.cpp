#include "comm/socket_port.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/executor.h"

namespace korvane {

namespace {

// A frame that cannot leave within this time means the server stopped taking data.
constexpr int kWriteTimeoutMs = 2000;
constexpr std::size_t kReadBatchBytes = 512;

std::string errnoText(int err) {
    char buffer[256];
    return strerror_r(err, buffer, sizeof buffer);
}

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
                return error = errnoText(errno), false;
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, msLeft(deadline)) == 0) return error = errnoText(ETIMEDOUT), false;
        }
        return true;
    }
    long receive(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                 std::string& error) override {
        pollfd p{fd_, POLLIN, 0};
        int r = ::poll(&p, 1, timeoutMs);
        if (r == 0) return 0;
        if (r < 0) return errno == EINTR ? 0 : (error = errnoText(errno), -1);
        long n = ::recv(fd_, buffer, size, 0);
        if (n > 0) return n;
        if (n == 0) return error = "the server closed the connection", -1;
        if (errno == EAGAIN || errno == EINTR) return 0;
        return error = errnoText(errno), -1;
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
                (rc == EAI_SYSTEM ? errnoText(errno) : gai_strerror(rc));
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int fd = -1;
    int err = ETIMEDOUT;
    for (addrinfo* ai = found; ai && fd < 0 && msLeft(deadline) > 0; ai = ai->ai_next)
        err = connectOne(*ai, deadline, fd);
    ::freeaddrinfo(found);
    if (fd < 0) error = "cannot connect to " + where + ": " + errnoText(err);
    return fd;
}

std::string NetworkErrorText(const std::string& portName, const std::string& reason) {
    return "WARNING:  " + reason + "\nPort: " + portName + "\n";
}

SocketPort::SocketPort(Executor& executor, PortErrorReport report,
                       std::unique_ptr<StreamFraming> framing)
    : executor_(executor), report_(std::move(report)), framing_(std::move(framing)) {}

SocketPort::~SocketPort() {
    Close();
}

void SocketPort::reportNow(const std::string& reason) {
    if (report_) report_(NetworkErrorText(settings_.portName, reason), kPortErrorCaption);
}

void SocketPort::reportFromWorker(const std::string& reason) {
    std::string text = NetworkErrorText(settings_.portName, reason);
    executor_.post([weak = workerSession_, text] {
        if (auto session = weak.lock()) {
            if (session->report) session->report(text, kPortErrorCaption);
        }
    });
}

bool SocketPort::Open(const PortSettings& settings, ByteHandler onByte) {
    Close();
    settings_ = settings;
    lineLost_ = false;
    std::string error;
    auto address = ParsePortAddress(settings.portName, error);
    if (!address || address->transport == PortTransport::Serial) {
        reportNow(address ? settings.portName + " is no network address" : error);
        return false;
    }
    fd_ = ConnectTcp(*address, kConnectTimeoutMs, error);
    if (fd_ < 0) {
        reportNow(error);
        return false;
    }
    FdChannel channel(fd_);
    if (!framing_->handshake(channel, settings, error)) {
        reportNow(DescribeEndpoint(*address) + ": " + error);
        Close();
        return false;
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        reportNow("eventfd(): " + errnoText(errno));
        Close();
        return false;
    }
    session_ = std::make_shared<Session>(Session{std::move(onByte), report_});
    workerSession_ = session_;
    return true;
}

bool SocketPort::Start() {
    if (fd_ < 0) return false;
    if (worker_.joinable()) return true;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = false;
    }
    worker_ = std::thread([this] { workerLoop(); });
    return true;
}

bool SocketPort::Stop() {
    if (!worker_.joinable()) return fd_ >= 0;
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake();
    worker_.join();
    return true;
}

void SocketPort::wake() {
    if (wakeFd_ < 0) return;
    std::uint64_t one = 1;
    [[maybe_unused]] long n = ::write(wakeFd_, &one, sizeof one);
}

bool SocketPort::SendBytes(const std::uint8_t* data, std::size_t length) {
    if (fd_ < 0 || data == nullptr || length == 0 || length > settings_.queueSize) return false;
    {
        std::lock_guard lock(mutex_);
        txBuffer_.assign(data, data + length);
        txPending_ = true;
    }
    wake();
    return true;
}

bool SocketPort::SendText(const char* text) {
    if (text == nullptr) return false;
    return SendBytes(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

void SocketPort::Close() {
    Stop();
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    session_.reset();
    workerSession_.reset();
    std::lock_guard lock(mutex_);
    txBuffer_.clear();
    txPending_ = false;
}

void SocketPort::lineLost(const std::string& reason) {
    if (lineLost_) return;
    lineLost_ = true;
    reportFromWorker("the connection to the server was lost: " + reason);
}

bool SocketPort::writeAll(const ByteVector& bytes) {
    FdChannel channel(fd_);
    std::string error;
    if (channel.send(bytes, error)) return true;
    lineLost(error);
    return false;
}

void SocketPort::transmit(const ByteVector& frame) {
    if (lineLost_) return;  // the link's time-out tells the rest
    // Bytes of an earlier exchange that nobody has read yet must not pass for the reply, as
    // the serial port's purge makes sure.
    if (!readAvailable(true)) return;
    ByteVector out;
    std::string error;
    if (!framing_->encode(frame.data(), frame.size(), out, error)) {
        reportFromWorker(error);
        return;
    }
    writeAll(out);
}

void SocketPort::deliver(ByteVector bytes) {
    executor_.post([weak = workerSession_, bytes = std::move(bytes)] {
        for (std::uint8_t b : bytes) {
            // Checked per byte: a handler may close the port halfway through.
            auto session = weak.lock();
            if (!session) return;
            if (session->onByte) session->onByte(b);
        }
    });
}

bool SocketPort::readAvailable(bool discard) {
    std::uint8_t buffer[kReadBatchBytes];
    for (;;) {
        long n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            ByteVector data, answer;
            framing_->decode(buffer, static_cast<std::size_t>(n), data, answer);
            if (!answer.empty() && !writeAll(answer)) return false;
            if (!discard && !data.empty()) deliver(std::move(data));
            continue;
        }
        if (n == 0) {
            lineLost("the server closed the connection");
            return false;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        lineLost(errnoText(errno));
        return false;
    }
}

void SocketPort::workerLoop() {
    for (;;) {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {lineLost_ ? -1 : fd_, POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        if (r > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count;
            [[maybe_unused]] long n = ::read(wakeFd_, &count, sizeof count);
        }
        ByteVector frame;
        bool haveFrame = false;
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_) return;
            if (txPending_) {
                frame.swap(txBuffer_);
                txPending_ = false;
                haveFrame = true;
            }
        }
        if (haveFrame) {
            transmit(frame);
            continue;  // what arrived meanwhile is read on the next round, after the purge
        }
        if (r <= 0 || lineLost_) continue;
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) readAvailable(false);
    }
}

}  // namespace korvane
