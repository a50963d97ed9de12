#include "comm/port_address.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(ParsePortAddress, ReadsEveryTransportAndHostForm) {
    struct Case {
        const char* name;
        PortTransport transport;
        const char* host;
        int port;
    } cases[] = {
        {"ttyUSB0", PortTransport::Serial, "", 0},
        {"/dev/serial/by-id/usb-x:y", PortTransport::Serial, "", 0},
        {"SIM", PortTransport::Serial, "", 0},
        {"tcp://192.168.1.20:4001", PortTransport::RawTcp, "192.168.1.20", 4001},
        {"TCP://gateway.plant-3.local:1", PortTransport::RawTcp, "gateway.plant-3.local", 1},
        {"rfc2217://ds1:2217", PortTransport::Rfc2217, "ds1", 2217},
        {"modbus-tcp://10.0.0.5:502", PortTransport::ModbusTcp, "10.0.0.5", 502},
        {"modbus-tcp://[::1]:4001", PortTransport::ModbusTcp, "::1", 4001},
        {"tcp://[fe80::1%eth0]:65535", PortTransport::RawTcp, "fe80::1%eth0", 65535},
        {"tcp://host:502/", PortTransport::RawTcp, "host", 502},
    };
    for (const auto& c : cases) {
        std::string error;
        auto a = ParsePortAddress(c.name, error);
        ASSERT_TRUE(a) << c.name << ": " << error;
        EXPECT_EQ(a->transport, c.transport) << c.name;
        EXPECT_EQ(a->host, c.host) << c.name;
        EXPECT_EQ(a->port, c.port) << c.name;
    }
}

TEST(ParsePortAddress, RefusesBadFormsWithAMessageNamingTheProblem) {
    struct Case {
        const char* name;
        const char* says;
    } cases[] = {
        {"tcp://host", "needs a port"},
        {"tcp://:502", "needs a host"},
        {"tcp://host:0", "1 to 65535"},
        {"tcp://host:65536", "1 to 65535"},
        {"tcp://host:50x", "1 to 65535"},
        {"tcp://host:", "1 to 65535"},
        {"tcp://::1:502", "[address]:port"},
        {"tcp://[::1]502", "[address]:port"},
        {"tcp://[::1", "[address]:port"},
        {"tcp://[nothex!]:1", "no IPv6 address"},
        {"tcp://ho st:1", "no host name"},
        {"udp://host:1", "tcp://, rfc2217:// or modbus-tcp://"},
        {"modbus-tcp://", "needs a port"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParsePortAddress(c.name, error)) << c.name;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find(c.name), std::string::npos) << error;
    }
}

TEST(DescribeEndpoint, BracketsIpv6Hosts) {
    EXPECT_EQ(DescribeEndpoint({PortTransport::RawTcp, "::1", 4001}), "[::1]:4001");
    EXPECT_EQ(DescribeEndpoint({PortTransport::RawTcp, "ds1", 23}), "ds1:23");
}

}  // namespace
}  // namespace korvane
