#pragma once
// Port names that reach the line over the network instead of a local device:
//   tcp://HOST:PORT        raw bytes; the device server owns the serial settings
//   rfc2217://HOST:PORT    telnet, the client sets the serial settings
//   modbus-tcp://HOST:PORT MBAP framing to a MODBUS TCP gateway
// HOST is a name, an IPv4 address or a bracketed IPv6 address. Anything without a scheme is a
// device name or path, as before.
#include <optional>
#include <string>

namespace korvane {

enum class PortTransport { Serial, RawTcp, Rfc2217, ModbusTcp };

struct PortAddress {
    PortTransport transport = PortTransport::Serial;
    std::string host;  // without brackets
    int port = 0;

    bool operator==(const PortAddress&) const = default;
};

// The address a port name stands for; nullopt with `error` set for a network name that is
// malformed (an unknown scheme, a missing host, a port outside 1..65535).
std::optional<PortAddress> ParsePortAddress(const std::string& name, std::string& error);

// What the network transports look at without wanting a message.
PortTransport TransportOfPortName(const std::string& name);
bool IsNetworkPortName(const std::string& name);

// "host:port", IPv6 hosts in brackets, for messages.
std::string DescribeEndpoint(const PortAddress& address);

}  // namespace korvane
