#include "comm/socket_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "comm/mbap_framing.h"
#include "comm/modbus_codec.h"
#include "comm/network_port.h"
#include "comm/rfc2217_framing.h"
#include "comm/serial_port.h"
#include "common/executor.h"
#include "support/device_server.h"

namespace korvane {
namespace {

using testing::DeviceServer;

struct Client {
    QueueExecutor executor;
    std::vector<std::string> errors;
    ByteVector received;
    NetworkAwarePort port{
        executor, [this](const std::string& text, const std::string&) { errors.push_back(text); },
        MakeSerialPort(executor, nullptr)};

    bool open(const PortSettings& settings) {
        if (!port.Open(settings, [this](std::uint8_t b) { received.push_back(b); })) return false;
        return port.Start();
    }
    bool send(const ByteVector& bytes) { return port.SendBytes(bytes.data(), bytes.size()); }
    // Runs the protocol thread until pred holds or ten seconds passed.
    bool waitFor(const std::function<bool()>& pred) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            executor.waitAndDrain(std::chrono::milliseconds(20));
        }
        return true;
    }
};

PortSettings Named(const std::string& name) {
    PortSettings s;
    s.portName = name;
    return s;
}

TEST(SocketPort, OpenFailureNamesTheAddressAndTheReason) {
    int freePort = 0;
    {
        DeviceServer probe({});  // a port nobody listens on once it is gone
        freePort = probe.port();
    }
    struct Case {
        std::string name;
        std::vector<std::string> says;
    } cases[] = {
        {"tcp://127.0.0.1:" + std::to_string(freePort), {"127.0.0.1:", "refused"}},
        {"rfc2217://no-such-host.invalid:2217", {"no-such-host.invalid:2217", "resolve"}},
        {"tcp://host", {"needs a port"}},
    };
    for (const auto& c : cases) {
        Client client;
        EXPECT_FALSE(client.open(Named(c.name))) << c.name;
        ASSERT_EQ(client.errors.size(), 1u) << c.name;
        for (const auto& s : c.says)
            EXPECT_NE(client.errors[0].find(s), std::string::npos) << client.errors[0];
    }
}

TEST(SocketPort, RawTcpCarriesBytesUnchangedBothWays) {
    const ByteVector reply = {0xFF, 0x00, 0xFF, 0xFF, 0x0D};
    DeviceServer server({}, [&](const testing::Bytes&) { return DeviceServer::Reply{{reply}}; });
    Client client;
    ASSERT_TRUE(client.open(Named(server.url("tcp")))) << client.errors.front();
    ASSERT_TRUE(client.send({0x01, 0xFF, 0x02}));
    ASSERT_TRUE(client.waitFor([&] { return client.received.size() >= reply.size(); }));
    EXPECT_EQ(client.received, reply);
    EXPECT_EQ(server.recorded().data, (testing::Bytes{0x01, 0xFF, 0x02}));
}

// The server goes away while the link uses it, in order or with a reset: one report, as an
// unplugged adapter gives, and sending on does not report again.
TEST(SocketPort, ALostConnectionIsReportedOnce) {
    for (const bool reset : {false, true}) {
        DeviceServer server({}, [&](const testing::Bytes&) {
            return DeviceServer::Reply{{{0x01, 0x04}}, !reset, reset};  // half a reply, then gone
        });
        Client client;
        ASSERT_TRUE(client.open(Named(server.url("tcp"))));
        ASSERT_TRUE(client.send({0x01}));
        ASSERT_TRUE(client.waitFor([&] { return !client.errors.empty(); })) << reset;
        EXPECT_NE(client.errors[0].find("lost"), std::string::npos) << client.errors[0];
        // A reset may take the bytes before it along.
        if (!reset) {
            EXPECT_EQ(client.received, (ByteVector{0x01, 0x04}));
        }
        ASSERT_TRUE(client.send({0x02}));
        ASSERT_TRUE(client.send({0x03}));
        client.executor.waitAndDrain(std::chrono::milliseconds(300));
        EXPECT_EQ(client.errors.size(), 1u) << reset;
    }
}

// More than the worker hands over at once, in one burst: every byte arrives, in order, though
// the worker stops reading while the protocol thread is behind; a server that closes right
// after the burst is reported only once the bytes before its close are delivered.
TEST(SocketPort, ALongReplyArrivesWholeAndACloseAfterItComesLast) {
    testing::Bytes reply(100000);
    for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(i * 7);
    for (const bool close : {false, true}) {
        DeviceServer server({}, [&](const testing::Bytes&) {
            return DeviceServer::Reply{{reply}, close};
        });
        Client client;
        ASSERT_TRUE(client.open(Named(server.url("tcp"))));
        ASSERT_TRUE(client.send({0x01}));
        ASSERT_TRUE(client.waitFor([&] {
            return client.received.size() >= reply.size() && client.errors.size() == close;
        })) << client.received.size();
        EXPECT_EQ(client.received, reply);
        if (close) {
            EXPECT_NE(client.errors[0].find("lost"), std::string::npos) << client.errors[0];
        }
    }
}

// Stop() ends the worker's wait on a connection that says nothing, and the port starts again.
TEST(SocketPort, StopEndsAQuietWaitAndTheLineCarriesOnAfterStart) {
    const ByteVector reply = {0x06};
    DeviceServer server({}, [&](const testing::Bytes&) { return DeviceServer::Reply{{reply}}; });
    Client client;
    ASSERT_TRUE(client.open(Named(server.url("tcp"))));
    for (int round = 0; round < 3; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // let the worker wait
        const auto before = std::chrono::steady_clock::now();
        EXPECT_TRUE(client.port.Stop());
        // Generous: a wait nobody ends would last forever.
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(20));
        ASSERT_TRUE(client.port.Start());
    }
    ASSERT_TRUE(client.send({0x05}));
    ASSERT_TRUE(client.waitFor([&] { return !client.received.empty(); }));
    EXPECT_EQ(client.received, reply);
    EXPECT_TRUE(client.errors.empty());
}

TEST(Rfc2217Port, SetsTheSerialLineAndChecksTheAnswers) {
    struct Case {
        int baud, dataBits;
        Parity parity;
        StopBits stop;
        int parityCode, stopCode;
    } cases[] = {
        {19200, 7, Parity::Even, StopBits::Two, 3, 2},
        {9600, 8, Parity::None, StopBits::One, 1, 1},
        {38400, 8, Parity::Space, StopBits::OnePointFive, 5, 3},
        {115200, 5, Parity::Mark, StopBits::One, 4, 1},
        {1200, 6, Parity::Odd, StopBits::One, 2, 1},
    };
    for (const auto& c : cases) {
        DeviceServer server({.telnet = true});
        Client client;
        PortSettings s = Named(server.url("rfc2217"));
        s.baudRate = c.baud;
        s.dataBits = c.dataBits;
        s.parity = c.parity;
        s.stopBits = c.stop;
        ASSERT_TRUE(client.open(s)) << (client.errors.empty() ? "" : client.errors[0]);
        auto r = server.recorded();
        EXPECT_EQ(r.baud, static_cast<std::uint32_t>(c.baud));
        EXPECT_EQ(r.dataSize, c.dataBits);
        EXPECT_EQ(r.parity, c.parityCode);
        EXPECT_EQ(r.stopSize, c.stopCode);
    }
}

TEST(Rfc2217Port, ARefusalOrAWrongAnswerIsAnOpenFailureThatSaysSo) {
    struct Case {
        DeviceServer::Options options;
        const char* says;
    } cases[] = {
        {{.telnet = true, .refuseComPort = true}, "refused the COM-PORT-OPTION"},
        {{.telnet = true, .answeredBaud = 9600}, "did not take the baud rate"},
        {{.telnet = false}, "did not answer the telnet negotiation"},
    };
    for (const auto& c : cases) {
        DeviceServer server(c.options);
        Client client;
        PortSettings s = Named(server.url("rfc2217"));
        s.baudRate = 38400;
        EXPECT_FALSE(client.open(s));
        ASSERT_EQ(client.errors.size(), 1u) << c.says;
        EXPECT_NE(client.errors[0].find(c.says), std::string::npos) << client.errors[0];
    }
}

// A MODBUS value of 0xFFFF puts IAC into the data both ways; the server answers with telnet
// commands between the bytes and cuts the reply inside a doubled IAC.
TEST(Rfc2217Port, DataWithIacSurvivesCommandsAndSplitsInTheReply) {
    const ByteVector reply = modbus::BuildReadReply(1, 0xFFFF);
    const testing::Bytes wire = DeviceServer::Escape(reply);
    const auto iac = std::find(wire.begin(), wire.end(), 0xFF) - wire.begin();
    std::vector<std::vector<testing::Bytes>> ways = {
        {wire},
        {testing::Bytes(wire.begin(), wire.begin() + iac + 1),
         testing::Bytes(wire.begin() + iac + 1, wire.end())},
        {testing::Bytes(wire.begin(), wire.begin() + 2),
         {255, 241, 255, 251, 3},  // NOP, WILL SGA
         testing::Bytes(wire.begin() + 2, wire.end())},
        {{255, 250, 44, 107, 0x30, 255, 240}, wire},  // a modem state notice first
    };
    for (const auto& chunks : ways) {
        DeviceServer server({.telnet = true},
                            [&](const testing::Bytes&) { return DeviceServer::Reply{chunks}; });
        Client client;
        ASSERT_TRUE(client.open(Named(server.url("rfc2217"))));
        const ByteVector request = modbus::BuildWriteRequest(1, 0x0101, 0xFFFF);
        ASSERT_TRUE(client.send(request));
        ASSERT_TRUE(client.waitFor([&] { return client.received.size() >= reply.size(); }));
        EXPECT_EQ(client.received, reply);
        EXPECT_EQ(server.recorded().data, request);
        EXPECT_TRUE(client.errors.empty());
    }
}

TEST(Rfc2217Port, PurgesBeforeEachFrameAndSwitchesRtsAroundItWhenAsked) {
    struct Case {
        int autoTx, activeHigh;
        std::vector<std::string> order;
    } cases[] = {
        {1, 1, {"purge", "data"}},
        {0, 1, {"purge", "rts-on", "data", "rts-off"}},
        {0, 0, {"purge", "rts-off", "data", "rts-on"}},
    };
    for (const auto& c : cases) {
        DeviceServer server({.telnet = true});
        Client client;
        PortSettings s = Named(server.url("rfc2217"));
        s.autoTxEnable = c.autoTx;
        s.txActiveHigh = c.activeHigh;
        ASSERT_TRUE(client.open(s));
        ASSERT_TRUE(client.send({0x10, 0x20}));
        ASSERT_TRUE(
            server.waitFor([&](const auto& r) { return r.order.size() >= c.order.size(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(server.recorded().order, c.order) << c.autoTx << c.activeHigh;
    }
}

TEST(ModbusTcpPort, ExchangesMbapAndDeliversTheRtuReply) {
    DeviceServer server({}, [](const testing::Bytes& request) {
        // Answer the read of unit 2 with 0xFFFF, after a stale reply with another transaction.
        testing::Bytes late = mbap::BuildAdu(static_cast<std::uint16_t>(request[1] - 1), 2,
                                             ByteVector{4, 2, 0, 7}.data(), 4);
        testing::Bytes good =
            mbap::BuildAdu(static_cast<std::uint16_t>((request[0] << 8) | request[1]), 2,
                           ByteVector{4, 2, 0xFF, 0xFF}.data(), 4);
        return DeviceServer::Reply{{late, good}};
    });
    Client client;
    ASSERT_TRUE(client.open(Named(server.url("modbus-tcp"))));
    ASSERT_TRUE(client.send(modbus::BuildReadRequest(2, 0x0010)));
    const ByteVector expected = modbus::BuildReadReply(2, 0xFFFF);
    ASSERT_TRUE(client.waitFor([&] { return client.received.size() >= expected.size(); }));
    EXPECT_EQ(client.received, expected);
}

}  // namespace
}  // namespace korvane
