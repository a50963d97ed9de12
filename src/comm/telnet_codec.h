#pragma once
// Telnet as a serial device server speaks it: data bytes with 0xFF doubled, option
// negotiation (WILL/WONT/DO/DONT) and subnegotiations (SB ... SE) mixed in between them. The
// decoder keeps its state across reads, so a command or a doubled 0xFF may be split anywhere.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "comm/stream_framing.h"

namespace korvane::telnet {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240;
constexpr std::uint8_t kOptBinary = 0, kOptSuppressGoAhead = 3, kOptComPort = 44;
// A subnegotiation longer than this is no COM-PORT-OPTION message; its tail is dropped.
constexpr std::size_t kMaxSubnegotiation = 64;

struct Event {
    enum Kind { Will, Wont, Do, Dont, Subnegotiation, Command } kind = Command;
    std::uint8_t option = 0;  // the option, or the command byte for Command
    ByteVector payload;       // a subnegotiation's bytes after the option, IAC undoubled
    bool operator==(const Event&) const = default;
};

class Decoder {
public:
    void push(const std::uint8_t* bytes, std::size_t length, ByteVector& data,
              std::vector<Event>& events);

private:
    enum class State { Data, Iac, Option, SbOption, SbData, SbIac };
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    Event sb_;
};

// Data with every 0xFF doubled.
void AppendEscaped(const std::uint8_t* bytes, std::size_t length, ByteVector& out);
ByteVector Negotiation(std::uint8_t verb, std::uint8_t option);
ByteVector Subnegotiation(std::uint8_t option, const ByteVector& payload);

}  // namespace korvane::telnet
