#include "comm/port_address.h"

#include <cctype>

namespace korvane {

namespace {

struct Scheme {
    const char* prefix;
    PortTransport transport;
};

constexpr Scheme kSchemes[] = {{"tcp://", PortTransport::RawTcp},
                               {"rfc2217://", PortTransport::Rfc2217},
                               {"modbus-tcp://", PortTransport::ModbusTcp}};

std::optional<int> parsePortNumber(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > 65535) return std::nullopt;
    return n;
}

bool validHostName(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '-' && c != '.' && c != '_') return false;
    }
    return true;
}

bool validIpv6(const std::string& host) {
    if (host.empty() || host.size() > 45 || host.find(':') == std::string::npos) return false;
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        // A zone ("%eth0") may follow a link-local address.
        if (!std::isxdigit(u) && c != ':' && c != '.' && c != '%' && !std::isalnum(u)) return false;
    }
    return true;
}

// Splits "host:port" or "[v6]:port"; false with `error` set when the form is wrong.
bool splitEndpoint(const std::string& rest, PortAddress& out, std::string& error) {
    std::string portText;
    if (!rest.empty() && rest[0] == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return error = "an IPv6 address is written as [address]:port", false;
        out.host = rest.substr(1, close - 1);
        portText = rest.substr(close + 2);
        if (!validIpv6(out.host)) return error = "\"" + out.host + "\" is no IPv6 address", false;
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string::npos)
            return error = "the address needs a port (HOST:PORT)", false;
        out.host = rest.substr(0, colon);
        portText = rest.substr(colon + 1);
        if (out.host.find(':') != std::string::npos)
            return error = "an IPv6 address is written as [address]:port", false;
        if (!validHostName(out.host))
            return error = out.host.empty() ? "the address needs a host (HOST:PORT)"
                                            : "\"" + out.host + "\" is no host name or address",
                   false;
    }
    auto port = parsePortNumber(portText);
    if (!port) return error = "the port number must be 1 to 65535", false;
    out.port = *port;
    return true;
}

}  // namespace

std::optional<PortAddress> ParsePortAddress(const std::string& name, std::string& error) {
    PortAddress address;
    for (const auto& scheme : kSchemes) {
        const std::string prefix = scheme.prefix;
        if (name.size() < prefix.size()) continue;
        bool match = true;
        for (std::size_t i = 0; i < prefix.size(); ++i)
            match = match && std::tolower(static_cast<unsigned char>(name[i])) == prefix[i];
        if (!match) continue;
        address.transport = scheme.transport;
        std::string rest = name.substr(prefix.size());
        while (!rest.empty() && rest.back() == '/') rest.pop_back();
        if (!splitEndpoint(rest, address, error)) {
            error = name + ": " + error;
            return std::nullopt;
        }
        return address;
    }
    const auto sep = name.find("://");
    if (sep != std::string::npos) {
        error = name + ": the address starts with tcp://, rfc2217:// or modbus-tcp://";
        return std::nullopt;
    }
    return address;  // a device
}

PortTransport TransportOfPortName(const std::string& name) {
    std::string error;
    auto address = ParsePortAddress(name, error);
    return address ? address->transport : PortTransport::Serial;
}

bool IsNetworkPortName(const std::string& name) {
    return name.find("://") != std::string::npos;
}

std::string DescribeEndpoint(const PortAddress& address) {
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

}  // namespace korvane
