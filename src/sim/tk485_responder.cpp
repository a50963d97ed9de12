#include <algorithm>
#include <cstdio>

#include "comm/tk485_codec.h"
#include "sim/responder.h"

namespace korvane::sim {

namespace {

constexpr std::size_t kMaxRequest = 64;  // the longest request (X with 8 addresses) has 40

bool parseHex(const Bytes& frame, std::size_t at, std::size_t digits, unsigned& value) {
    if (at + digits > frame.size()) return false;
    value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        char c = static_cast<char>(frame[at + i]);
        unsigned d;
        if (c >= '0' && c <= '9') {
            d = static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            d = static_cast<unsigned>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            d = static_cast<unsigned>(c - 'a' + 10);
        } else {
            return false;
        }
        value = value * 16 + d;
    }
    return true;
}

bool parseHex(const std::string& text, std::size_t at, std::size_t digits, unsigned& value) {
    return parseHex(Bytes(text.begin(), text.end()), at, digits, value);
}

Bytes reply(std::uint8_t lead, const std::string& body) {
    // Built in one go: growing a one-byte vector by insert() trips a false -Warray-bounds
    // in g++ 12 at -O2.
    Bytes out(body.size() + 4);
    out[0] = lead;
    std::copy(body.begin(), body.end(), out.begin() + 1);
    out.resize(body.size() + 1);
    char sum[3];
    std::snprintf(sum, sizeof sum, "%02X", tk485::Checksum(body));
    out.insert(out.end(), sum, sum + 2);
    out.push_back(Tk485Responder::kEot);
    return out;
}

std::string head(const SimRequest& request) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X%c", request.station & 0xFF,
                  static_cast<char>(request.command));
    return text;
}

Bytes nak(const SimRequest& request, const std::string& code) {
    return reply(Tk485Responder::kNak, head(request) + code.substr(0, 2));
}

std::string hex4(std::uint16_t v) {
    char text[5];
    std::snprintf(text, sizeof text, "%04X", v);
    return text;
}

const char* nakFor(Access access) {
    switch (access) {
        case Access::UnknownAddress:
            return "IA";
        case Access::ReadOnly:
            return "WM";
        case Access::OutOfRange:
            return "ID";
        case Access::Ok:
            break;
    }
    return "FE";
}

}  // namespace

std::optional<SimRequest> Tk485Responder::push(std::uint8_t byte, std::int64_t) {
    if (byte == kEnq) {
        buffer_.clear();
        collecting_ = true;
    }
    if (!collecting_) return std::nullopt;
    if (buffer_.size() >= kMaxRequest) {  // runaway frame: wait for the next ENQ
        collecting_ = false;
        return std::nullopt;
    }
    buffer_.push_back(byte);
    if (byte != kEot) return std::nullopt;
    collecting_ = false;

    SimRequest request;
    request.frame = buffer_;
    const Bytes& f = request.frame;
    unsigned station = 0, sum = 0;
    // ENQ, station (2), letter, checksum (2), EOT at the least.
    if (f.size() < 7 || !parseHex(f, 1, 2, station)) return request;
    request.station = static_cast<int>(station);
    request.command = f[3];
    request.intact = parseHex(f, f.size() - 3, 2, sum) &&
                     sum == tk485::Checksum(std::string_view(
                                reinterpret_cast<const char*>(f.data()) + 1, f.size() - 4));
    return request;
}

Bytes Tk485Responder::answer(const SimRequest& request, SimDrive& drive) {
    if (!request.intact) return nak(request, "FE");
    const Bytes& f = request.frame;
    const std::string body(f.begin() + 4, f.end() - 3);
    unsigned address = 0, count = 0;
    switch (request.command) {
        case 'R':
            if (body.size() != 5 || !parseHex(body, 0, 4, address) ||
                !parseHex(body, 4, 1, count)) {
                return nak(request, "FE");
            }
            if (count < 1 || count > 8) return nak(request, "ID");
            {
                std::vector<std::uint16_t> addresses;
                for (unsigned i = 0; i < count; ++i)
                    addresses.push_back(static_cast<std::uint16_t>(address + i));
                return readWords(request, drive, addresses);
            }
        case 'W':
            return write(request, drive, body);
        case 'X':
            return registerMonitor(request, drive, body);
        case 'Y':
            if (!body.empty()) return nak(request, "FE");
            if (registered_[request.station & 0xFF].empty()) return nak(request, "IF");
            return readWords(request, drive, registered_[request.station & 0xFF]);
        default:
            return nak(request, "IF");
    }
}

Bytes Tk485Responder::readWords(const SimRequest& request, SimDrive& drive,
                                const std::vector<std::uint16_t>& addresses) {
    std::string body = head(request);
    for (auto a : addresses) {
        std::uint16_t value = 0;
        Access access = drive.read(a, value);
        if (access != Access::Ok) return nak(request, nakFor(access));
        body += hex4(value);
    }
    return reply(kAck, body);
}

Bytes Tk485Responder::write(const SimRequest& request, SimDrive& drive, const std::string& body) {
    unsigned address = 0, count = 0, value = 0;
    if (body.size() != 9 || !parseHex(body, 0, 4, address) || !parseHex(body, 4, 1, count) ||
        !parseHex(body, 5, 4, value)) {
        return nak(request, "FE");
    }
    if (count != 1) return nak(request, "ID");
    Access access =
        drive.write(static_cast<std::uint16_t>(address), static_cast<std::uint16_t>(value));
    if (access != Access::Ok) return nak(request, nakFor(access));
    std::uint16_t now = 0;
    if (drive.read(static_cast<std::uint16_t>(address), now) != Access::Ok)
        now = static_cast<std::uint16_t>(value);
    return reply(kAck, head(request) + hex4(now));
}

Bytes Tk485Responder::registerMonitor(const SimRequest& request, SimDrive& drive,
                                      const std::string& body) {
    unsigned count = 0;
    if (body.empty() || !parseHex(body, 0, 1, count)) return nak(request, "FE");
    if (count < 1 || count > 8) return nak(request, "ID");
    if (body.size() != 1 + 4 * count) return nak(request, "FE");
    std::vector<std::uint16_t> addresses;
    for (unsigned i = 0; i < count; ++i) {
        unsigned a = 0;
        if (!parseHex(body, 1 + 4 * i, 4, a)) return nak(request, "FE");
        if (drive.probe(static_cast<std::uint16_t>(a)) != Access::Ok) return nak(request, "IA");
        addresses.push_back(static_cast<std::uint16_t>(a));
    }
    registered_[request.station & 0xFF] = std::move(addresses);
    return reply(kAck, head(request));
}

Bytes Tk485Responder::refuse(const SimRequest& request, const std::string& code) {
    static const struct {
        int exception;
        const char* letters;
    } kLetters[] = {{1, "IF"}, {2, "IA"}, {3, "ID"}, {20, "WM"}};
    std::string letters = code;
    if (!code.empty() && code[0] >= '0' && code[0] <= '9') {
        letters = "??";
        int number = std::atoi(code.c_str());
        for (const auto& l : kLetters) {
            if (l.exception == number) letters = l.letters;
        }
    }
    while (letters.size() < 2) letters += '?';
    return nak(request, letters);
}

void Tk485Responder::spoilCheck(Bytes& reply) {
    if (reply.size() < 3) return;
    std::uint8_t& digit = reply[reply.size() - 2];
    // Still a hex digit, so the frame fails its checksum and nothing else.
    digit = digit == '0' ? '1' : '0';
}

}  // namespace korvane::sim
