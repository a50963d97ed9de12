#pragma once
// What a network port does with its connection on every platform: the address it connects to,
// the framing's handshake, reading through the framing (answering its negotiation), writing a
// frame after dropping stale bytes, and the texts the user sees. The platform supplies the
// connected socket (a TcpStream) and the worker's wait.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "comm/port_address.h"
#include "comm/port_worker.h"
#include "comm/stream_framing.h"

namespace korvane {

// What is left of a deadline, in the milliseconds poll() and select() take; 0 once it passed.
inline int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// The reason given when the peer ends the connection in order.
extern const char kServerClosedConnection[];  // "the server closed the connection"

// A TCP connection as the platform makes it: non-blocking, without Nagle's delay.
class TcpStream {
public:
    enum class Connect { Done, Unresolved, Failed };

    virtual ~TcpStream() = default;
    // Tries each address `address` resolves to until timeoutMs passed. Not Done: `reason` is
    // the system's text.
    virtual Connect connect(const PortAddress& address, int timeoutMs, std::string& reason) = 0;
    virtual void close() = 0;
    // Sends every byte within timeoutMs; false with `reason` set.
    [[nodiscard]] virtual bool sendAll(const ByteVector& bytes, int timeoutMs,
                                       std::string& reason) = 0;
    // Takes up to `size` waiting bytes without blocking: their count, 0 if none was waiting, -1
    // with `reason` set when the connection failed or the peer closed it.
    virtual long receive(std::uint8_t* buffer, std::size_t size, std::string& reason) = 0;
    // Waits up to timeoutMs until receive() has something to say: 1, 0 on time-out, -1 with
    // `reason` set.
    virtual int waitReadable(int timeoutMs, std::string& reason) = 0;
};

// The error box text for a network port.
std::string NetworkErrorText(const std::string& portName, const std::string& reason);

constexpr int kConnectTimeoutMs = 3000;

class SocketLine {
public:
    SocketLine(std::unique_ptr<StreamFraming> framing, TcpStream& stream)
        : framing_(std::move(framing)), stream_(stream) {}

    // Connects to the address the port name gives and lets the framing negotiate.
    [[nodiscard]] bool open(const PortSettings& settings,
                            const std::function<void(const std::string&)>& say);
    // LineIo::read and LineIo::transmit for the connection.
    LineIo::Read read(std::size_t size, ByteVector& data, std::string& error);
    void transmit(const ByteVector& frame, LineEvents& events);

    // The error box text for a failed system call.
    std::string failureText(const char* operation, const std::string& reason) const {
        return NetworkErrorText(portName_, std::string(operation) + ": " + reason);
    }

private:
    std::string lostText(const std::string& reason) const {
        return NetworkErrorText(portName_, "the connection to the server was lost: " + reason);
    }

    std::unique_ptr<StreamFraming> framing_;
    TcpStream& stream_;
    std::string portName_;
};

}  // namespace korvane
