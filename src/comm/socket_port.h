#pragma once
// The drive link's line through a TCP connection to a serial device server or a MODBUS TCP
// gateway. One worker thread writes the frames handed to it and reads whatever arrives, as the
// serial port does; a StreamFraming says what goes around the bytes. A connection lost in use
// is reported once and ends the line until the port is opened again: no reconnecting behind
// the link's back.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "comm/port_address.h"
#include "comm/posix_serial_port.h"
#include "comm/stream_framing.h"

namespace korvane {

class Executor;

constexpr int kConnectTimeoutMs = 3000;

// Connects to `address` within timeoutMs, with TCP_NODELAY; the socket (non-blocking), or -1
// with `error` naming the address and the system's reason.
int ConnectTcp(const PortAddress& address, int timeoutMs, std::string& error);

// The error box text for a network port.
std::string NetworkErrorText(const std::string& portName, const std::string& reason);

class SocketPort : public Port {
public:
    SocketPort(Executor& executor, PortErrorReport report, std::unique_ptr<StreamFraming> framing);
    ~SocketPort() override;
    SocketPort(const SocketPort&) = delete;
    SocketPort& operator=(const SocketPort&) = delete;

    [[nodiscard]] bool Open(const PortSettings& settings, ByteHandler onByte) override;
    [[nodiscard]] bool Start() override;
    bool Stop() override;
    [[nodiscard]] bool SendBytes(const std::uint8_t* data, std::size_t length) override;
    [[nodiscard]] bool SendText(const char* text) override;
    bool IsOpen() const override { return fd_ >= 0; }
    void Close() override;

private:
    struct Session {
        ByteHandler onByte;
        PortErrorReport report;
    };

    void reportNow(const std::string& reason);
    void reportFromWorker(const std::string& reason);
    void workerLoop();
    void transmit(const ByteVector& frame);
    // Reads what is there: false when the connection ended. With `discard` the data is
    // dropped (bytes of an earlier exchange), answers still go out.
    bool readAvailable(bool discard);
    bool writeAll(const ByteVector& bytes);
    void lineLost(const std::string& reason);
    void deliver(ByteVector bytes);
    void wake();

    Executor& executor_;
    PortErrorReport report_;
    std::unique_ptr<StreamFraming> framing_;
    PortSettings settings_;
    int fd_ = -1;
    int wakeFd_ = -1;

    std::shared_ptr<Session> session_;
    std::weak_ptr<Session> workerSession_;

    std::thread worker_;
    std::mutex mutex_;  // guards the transmit buffer and the stop request
    ByteVector txBuffer_;
    bool txPending_ = false;
    bool stopRequested_ = false;
    bool lineLost_ = false;  // the worker's, or Open's while no worker runs
};

}  // namespace korvane
