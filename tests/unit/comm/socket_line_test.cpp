#include "comm/socket_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

namespace korvane {
namespace {

// A connection whose peer is a script: what it has sent, what it took, how it fails.
class ScriptedStream : public TcpStream {
public:
    Connect outcome = Connect::Done;
    std::string connectReason;
    std::deque<ByteVector> incoming;  // each a receive()
    std::string receiveFailure;       // once incoming is drained; empty: nothing waiting
    bool sendFails = false;
    std::vector<ByteVector> sent;

    Connect connect(const PortAddress&, int, std::string& reason) override {
        reason = connectReason;
        return outcome;
    }
    void close() override {}
    bool sendAll(const ByteVector& bytes, int, std::string& reason) override {
        if (sendFails) return reason = "broken pipe", false;
        sent.push_back(bytes);
        return true;
    }
    long receive(std::uint8_t* buffer, std::size_t size, std::string& reason) override {
        if (incoming.empty()) {
            if (receiveFailure.empty()) return 0;
            return reason = receiveFailure, -1;
        }
        ByteVector& next = incoming.front();
        const std::size_t n = std::min(size, next.size());
        std::copy(next.begin(), next.begin() + static_cast<long>(n), buffer);
        next.erase(next.begin(), next.begin() + static_cast<long>(n));
        if (next.empty()) incoming.pop_front();
        return static_cast<long>(n);
    }
    int waitReadable(int, std::string&) override { return incoming.empty() ? 0 : 1; }
};

struct Events : LineEvents {
    std::vector<std::string> reports, losses;
    void report(const std::string& text) override { reports.push_back(text); }
    void lose(const std::string& text) override { losses.push_back(text); }
    bool stopping() override { return false; }
};

// Refuses every frame, as MBAP refuses a frame that is no MODBUS request.
class RefusingFraming : public RawFraming {
public:
    bool encode(const std::uint8_t*, std::size_t, ByteVector&, std::string& error) override {
        error = "not a request";
        return false;
    }
};

PortSettings Named(const std::string& name) {
    PortSettings s;
    s.portName = name;
    return s;
}

TEST(SocketLine, OpenFailuresNameTheAddressAndTheReason) {
    struct Case {
        std::string name;
        TcpStream::Connect outcome;
        std::string says;
    } cases[] = {
        {"tcp://[::1]:4001", TcpStream::Connect::Unresolved,
         "WARNING:  cannot resolve [::1]:4001: no such host\nPort: tcp://[::1]:4001\n"},
        {"modbus-tcp://gw:502", TcpStream::Connect::Failed,
         "WARNING:  cannot connect to gw:502: no such host\nPort: modbus-tcp://gw:502\n"},
        {"COM3", TcpStream::Connect::Done, "WARNING:  COM3 is no network address\nPort: COM3\n"},
    };
    for (const auto& c : cases) {
        ScriptedStream stream;
        stream.outcome = c.outcome;
        stream.connectReason = "no such host";
        SocketLine line(std::make_unique<RawFraming>(), stream);
        std::vector<std::string> said;
        EXPECT_FALSE(line.open(Named(c.name), [&](const std::string& t) { said.push_back(t); }));
        EXPECT_EQ(said, std::vector<std::string>{c.says}) << c.name;
    }
}

// Bytes an earlier exchange left must not pass for the reply to the next frame.
TEST(SocketLine, TransmitDropsStaleBytesThenSendsTheFrame) {
    ScriptedStream stream;
    SocketLine line(std::make_unique<RawFraming>(), stream);
    ASSERT_TRUE(line.open(Named("tcp://host:1"), [](const std::string&) {}));
    stream.incoming = {ByteVector(700, 0x11), {0x22}};
    Events events;
    line.transmit({0x01, 0x02}, events);
    EXPECT_EQ(stream.sent, (std::vector<ByteVector>{{0x01, 0x02}}));
    EXPECT_TRUE(stream.incoming.empty());
    EXPECT_TRUE(events.reports.empty());
    EXPECT_TRUE(events.losses.empty());
}

TEST(SocketLine, AFailedConnectionIsALossAndARefusedFrameOnlyAReport) {
    struct Case {
        const char* what;
        std::string receiveFailure;
        bool sendFails, refuse;
        std::size_t reports, losses;
        std::string says;
    } cases[] = {
        {"peer gone before the write", kServerClosedConnection, false, false, 0, 1,
         "lost: the server closed the connection"},
        {"write fails", "", true, false, 0, 1, "lost: broken pipe"},
        {"frame refused", "", false, true, 1, 0, "not a request"},
    };
    for (const auto& c : cases) {
        ScriptedStream stream;
        SocketLine line(
            c.refuse ? std::make_unique<RefusingFraming>() : std::make_unique<RawFraming>(),
            stream);
        ASSERT_TRUE(line.open(Named("tcp://host:1"), [](const std::string&) {}));
        stream.receiveFailure = c.receiveFailure;
        stream.sendFails = c.sendFails;
        Events events;
        line.transmit({0x01}, events);
        EXPECT_EQ(events.reports.size(), c.reports) << c.what;
        ASSERT_EQ(events.losses.size(), c.losses) << c.what;
        const std::string text = c.losses ? events.losses[0] : events.reports[0];
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_NE(text.find("Port: tcp://host:1\n"), std::string::npos) << text;
    }
}

TEST(SocketLine, ReadTakesWhatWaitsAndSaysWhenTheConnectionEnded) {
    ScriptedStream stream;
    SocketLine line(std::make_unique<RawFraming>(), stream);
    ASSERT_TRUE(line.open(Named("tcp://host:1"), [](const std::string&) {}));
    stream.incoming = {{0x05, 0x06, 0x07}};
    stream.receiveFailure = kServerClosedConnection;
    ByteVector data;
    std::string error;
    EXPECT_EQ(line.read(2, data, error), LineIo::Read::Data);
    EXPECT_EQ(line.read(2, data, error), LineIo::Read::Data);
    EXPECT_EQ(data, (ByteVector{0x05, 0x06, 0x07}));
    EXPECT_EQ(line.read(2, data, error), LineIo::Read::Lost);
    EXPECT_NE(error.find("lost: the server closed the connection"), std::string::npos) << error;
    stream.receiveFailure.clear();
    EXPECT_EQ(line.read(2, data, error), LineIo::Read::Nothing);
}

}  // namespace
}  // namespace korvane
