// winsock2.h before anything that brings in windows.h, which would declare the old Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

#include "comm/socket_port.h"
#include "common/wide_text.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

// Winsock for the whole process, started by the first network port and never ended: sockets
// may still be closing on other threads when any one port is done.
int StartWinsock() {
    static const int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return result;
}

std::string LastSocketError() {
    return SystemErrorText(static_cast<unsigned long>(WSAGetLastError()));
}

// Waits until `s` can be read (or written) or timeoutMs passed: 1, 0 on time-out, -1 (see
// WSAGetLastError). A failed connect shows in the exception set.
int SelectOn(SOCKET s, bool forWrite, int timeoutMs) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int r = ::select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed,
                           timeoutMs < 0 ? nullptr : &limit);
    return r == SOCKET_ERROR ? -1 : r > 0 ? 1 : 0;
}

// One attempt on one resolved address; 0 or the Winsock error that ended it.
int ConnectOne(const addrinfo& ai, Clock::time_point deadline, SOCKET& out) {
    SOCKET s = ::socket(ai.ai_family, ai.ai_socktype, ai.ai_protocol);
    if (s == INVALID_SOCKET) return WSAGetLastError();
    u_long nonBlocking = 1;
    int err = 0;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        err = WSAGetLastError();
    } else if (::connect(s, ai.ai_addr, static_cast<int>(ai.ai_addrlen)) != 0) {
        err = WSAGetLastError();
        if (err == WSAEWOULDBLOCK) {
            const int r = SelectOn(s, true, MillisecondsLeft(deadline));
            int len = sizeof err;
            if (r == 0) {
                err = WSAETIMEDOUT;
            } else if (r < 0 || ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err),
                                             &len) != 0) {
                err = WSAGetLastError();
            }
        }
    }
    if (err != 0) {
        ::closesocket(s);
        return err;
    }
    // Requests are short and wait for their answer: never hold one back for more bytes.
    BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    out = s;
    return 0;
}

class WinsockStream : public TcpStream {
public:
    SOCKET socket() const { return s_; }

    Connect connect(const PortAddress& address, int timeoutMs, std::string& reason) override;
    void close() override {
        if (s_ != INVALID_SOCKET) ::closesocket(s_);
        s_ = INVALID_SOCKET;
    }
    bool sendAll(const ByteVector& bytes, int timeoutMs, std::string& reason) override;
    long receive(std::uint8_t* buffer, std::size_t size, std::string& reason) override;
    int waitReadable(int timeoutMs, std::string& reason) override {
        const int r = SelectOn(s_, false, timeoutMs);
        if (r < 0) reason = LastSocketError();
        return r;
    }

private:
    SOCKET s_ = INVALID_SOCKET;
};

TcpStream::Connect WinsockStream::connect(const PortAddress& address, int timeoutMs,
                                          std::string& reason) {
    if (const int err = StartWinsock(); err != 0) {
        reason = "WSAStartup(): " + SystemErrorText(static_cast<unsigned long>(err));
        return Connect::Failed;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    // getaddrinfo() returns the Winsock error itself.
    if (const int rc = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found)) {
        reason = SystemErrorText(static_cast<unsigned long>(rc));
        return Connect::Unresolved;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int err = WSAETIMEDOUT;
    for (addrinfo* ai = found; ai && s_ == INVALID_SOCKET && MillisecondsLeft(deadline) > 0;
         ai = ai->ai_next)
        err = ConnectOne(*ai, deadline, s_);
    ::freeaddrinfo(found);
    if (s_ != INVALID_SOCKET) return Connect::Done;
    reason = SystemErrorText(static_cast<unsigned long>(err));
    return Connect::Failed;
}

bool WinsockStream::sendAll(const ByteVector& bytes, int timeoutMs, std::string& reason) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (done < bytes.size()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        const int n = ::send(s_, reinterpret_cast<const char*>(bytes.data() + done), chunk, 0);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK)
            return reason = LastSocketError(), false;
        const int r = SelectOn(s_, true, MillisecondsLeft(deadline));
        if (r < 0) return reason = LastSocketError(), false;
        if (r == 0) return reason = SystemErrorText(WSAETIMEDOUT), false;
    }
    return true;
}

long WinsockStream::receive(std::uint8_t* buffer, std::size_t size, std::string& reason) {
    const int want = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    const int n = ::recv(s_, reinterpret_cast<char*>(buffer), want, 0);
    if (n > 0) return n;
    if (n == 0) return reason = kServerClosedConnection, -1;
    if (WSAGetLastError() == WSAEWOULDBLOCK) return 0;
    return reason = LastSocketError(), -1;
}

// The worker waits on the socket's network event and its own wake-up event together, so that
// Stop() and a new frame end a wait at once.
class WinsockLineIo : public LineIo {
public:
    explicit WinsockLineIo(std::unique_ptr<StreamFraming> framing)
        : line_(std::move(framing), stream_),
          wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          network_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~WinsockLineIo() override {
        close();
        for (HANDLE h : {wake_, network_})
            if (h) CloseHandle(h);
    }

    bool open(const PortSettings& settings,
              const std::function<void(const std::string&)>& say) override;
    void close() override { stream_.close(); }
    Wait wait(bool watchLine, int timeoutMs, std::string& error) override;
    void interrupt() override {
        if (wake_) SetEvent(wake_);
    }
    Read read(std::size_t size, ByteVector& data, std::string& error) override {
        return line_.read(size, data, error);
    }
    void transmit(const ByteVector& frame, LineEvents& events) override {
        line_.transmit(frame, events);
    }

private:
    WinsockStream stream_;
    SocketLine line_;
    HANDLE wake_;     // auto-reset: one interrupt ends one wait
    HANDLE network_;  // set by Winsock for FD_READ and FD_CLOSE
    // FD_CLOSE is signalled once; bytes may still be waiting before the end is read.
    bool peerClosed_ = false;
};

bool WinsockLineIo::open(const PortSettings& settings,
                         const std::function<void(const std::string&)>& say) {
    peerClosed_ = false;
    if (!wake_ || !network_) {
        say(line_.failureText("CreateEvent()", SystemErrorText(GetLastError())));
        return false;
    }
    if (!line_.open(settings, say)) return false;
    ResetEvent(wake_);
    ResetEvent(network_);
    if (::WSAEventSelect(stream_.socket(), network_, FD_READ | FD_CLOSE) != 0) {
        say(line_.failureText("WSAEventSelect()", LastSocketError()));
        return false;
    }
    return true;
}

LineIo::Wait WinsockLineIo::wait(bool watchLine, int timeoutMs, std::string& error) {
    if (watchLine && peerClosed_) return Wait::Input;  // the read says what is left
    const HANDLE handles[2] = {wake_, network_};
    const DWORD r =
        WaitForMultipleObjects(watchLine ? 2 : 1, handles, FALSE,
                               timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (r == WAIT_OBJECT_0) return Wait::Woken;
    if (r == WAIT_TIMEOUT) return Wait::TimedOut;
    if (r == WAIT_OBJECT_0 + 1) {
        // Clears the event; Winsock sets it again for bytes a read leaves behind.
        WSANETWORKEVENTS events{};
        if (::WSAEnumNetworkEvents(stream_.socket(), network_, &events) == 0 &&
            (events.lNetworkEvents & FD_CLOSE))
            peerClosed_ = true;
        return Wait::Input;
    }
    error = line_.failureText("WaitForMultipleObjects()", SystemErrorText(GetLastError()));
    return Wait::Failed;
}

}  // namespace

SocketPort::SocketPort(Executor& executor, PortErrorReport report,
                       std::unique_ptr<StreamFraming> framing)
    : PortWorker(executor, std::move(report), std::make_unique<WinsockLineIo>(std::move(framing))) {
}

}  // namespace korvane
