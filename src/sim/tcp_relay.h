#pragma once
// Puts the simulated line on a TCP port for tests and demos: as a serial device server in raw
// mode does (bytes both ways), as one speaking telnet with the COM-PORT-OPTION (every setting
// acknowledged, none applied: the simulated line has none), or as a MODBUS TCP gateway (MBAP
// requests in, one unit id per simulated station). One client at a time; a new connection takes the
// line over, and answers still owed to the one before are not passed to it.
#include <atomic>
#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <thread>

#include "comm/mbap_framing.h"
#include "comm/port_address.h"
#include "comm/telnet_codec.h"

namespace korvane::sim {

// RTU replies out of the line's byte stream, each ended by its computed length.
class RtuReplySplitter {
public:
    // True when `byte` completed a frame, then in `frame`.
    bool push(std::uint8_t byte, ByteVector& frame);
    void reset() { buffer_.clear(); }

private:
    ByteVector buffer_;
};

class TcpRelay {
public:
    enum class Mode { Raw, Rfc2217, ModbusTcp };
    // `lineFd` is the relay's end of the simulated line; not owned.
    TcpRelay(Mode mode, int lineFd);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    // Binds and listens; port 0 takes a free port. False with `error` set.
    [[nodiscard]] bool listen(const PortAddress& address, std::string& error);
    // "host:port" as bound.
    std::string boundAddress() const;
    [[nodiscard]] bool start();
    void stop();

private:
    void run();
    void takeClient();
    void fromClient();
    void fromLine();
    void dropClient();
    void sendToClient(const ByteVector& bytes);
    // The client's telnet: data to the line, negotiation answered.
    void fromTelnetClient(const std::uint8_t* bytes, std::size_t length);

    Mode mode_;
    int lineFd_;
    int listenFd_ = -1;
    int clientFd_ = -1;
    int wakeFd_ = -1;
    std::string bound_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    telnet::Decoder telnet_;
    mbap::AduReader adus_;
    RtuReplySplitter replies_;
    bool pending_ = false;
    std::uint16_t transaction_ = 0;
    std::uint8_t unit_ = 0;
    // Requests the line has not answered yet, of this connection and of the one it took over:
    // the drives answer in order, and an answer to the previous connection's request carries
    // no transaction the new client sent.
    struct Unanswered {
        std::uint8_t unit;
        std::chrono::steady_clock::time_point sent;
    };
    std::deque<Unanswered> unanswered_, previousUnanswered_;
    // Settles the oldest request to `unit` still waited for; false when there is none.
    static bool Settle(std::deque<Unanswered>& requests, std::uint8_t unit);
};

// "PORT", "HOST:PORT" or "[V6]:PORT"; the host is 127.0.0.1 when not given.
std::optional<PortAddress> ParseListenAddress(const std::string& text, std::string& error);

}  // namespace korvane::sim
