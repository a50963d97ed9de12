#include "comm/rfc2217_framing.h"

#include <chrono>
#include <functional>

#include "comm/socket_port.h"

namespace korvane {

namespace rfc2217 {

std::uint8_t ParityCode(Parity parity) {
    return static_cast<std::uint8_t>(static_cast<int>(parity) + 1);  // NONE 1 ... SPACE 5
}

std::uint8_t StopSizeCode(StopBits stopBits) {
    switch (stopBits) {
        case StopBits::Two:
            return 2;
        case StopBits::OnePointFive:
            return 3;
        default:
            return 1;
    }
}

}  // namespace rfc2217

namespace {

using namespace telnet;
using Clock = std::chrono::steady_clock;

constexpr int kAgreed = 2, kRefused = 3, kAsked = 1;

// The baud rate goes in four bytes, network order; every other value in one.
ByteVector comPortRequest(std::uint8_t command, std::uint32_t value, bool fourBytes) {
    ByteVector payload = {command};
    if (fourBytes) {
        for (int shift = 24; shift >= 0; shift -= 8)
            payload.push_back(static_cast<std::uint8_t>(value >> shift));
    } else {
        payload.push_back(static_cast<std::uint8_t>(value));
    }
    return Subnegotiation(kOptComPort, payload);
}

std::uint32_t answerValue(const ByteVector& payload) {
    std::uint32_t v = 0;
    for (std::size_t i = 1; i < payload.size(); ++i) v = (v << 8) | payload[i];
    return v;
}

}  // namespace

std::unique_ptr<StreamFraming> MakeRfc2217Framing() {
    return std::make_unique<Rfc2217Framing>();
}

void Rfc2217Framing::handle(const Event& e, ByteVector& answer) {
    auto say = [&answer](std::uint8_t verb, std::uint8_t option) {
        ByteVector n = Negotiation(verb, option);
        answer.insert(answer.end(), n.begin(), n.end());
    };
    switch (e.kind) {
        case Event::Will:  // the server offers to send with an option
            if (e.option == kOptBinary || e.option == kOptSuppressGoAhead) {
                if (e.option == kOptBinary && theirBinary_ != kAgreed) {
                    if (theirBinary_ != kAsked) say(kDo, e.option);
                    theirBinary_ = kAgreed;
                } else if (e.option == kOptSuppressGoAhead && !theirSga_) {
                    say(kDo, e.option);
                    theirSga_ = true;
                }
            } else {
                say(kDont, e.option);
            }
            break;
        case Event::Wont:
            if (e.option == kOptBinary) theirBinary_ = kRefused;
            break;
        case Event::Do:  // the server asks us to use an option
            if (e.option == kOptBinary) {
                if (ourBinary_ != kAgreed && ourBinary_ != kAsked) say(kWill, e.option);
                ourBinary_ = kAgreed;
            } else if (e.option == kOptComPort) {
                if (comPort_ != kAgreed && comPort_ != kAsked) say(kWill, e.option);
                comPort_ = kAgreed;
            } else {
                say(kWont, e.option);
            }
            break;
        case Event::Dont:
            if (e.option == kOptBinary) ourBinary_ = kRefused;
            if (e.option == kOptComPort) comPort_ = kRefused;
            break;
        case Event::Subnegotiation:
            // Line and modem state notices come unasked; during the handshake the answers
            // to our settings are kept to be checked.
            if (handshaking_ && e.option == kOptComPort && !e.payload.empty())
                subnegotiations_.push_back(e);
            break;
        case Event::Command:
            break;
    }
}

void Rfc2217Framing::decode(const std::uint8_t* bytes, std::size_t length, ByteVector& data,
                            ByteVector& answer) {
    std::vector<Event> events;
    decoder_.push(bytes, length, data, events);
    for (const Event& e : events) handle(e, answer);
}

bool Rfc2217Framing::waitFor(SocketChannel& channel, const std::function<bool()>& done,
                             std::string& error) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    std::uint8_t buffer[256];
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return error = "the server did not answer the telnet negotiation", false;
        long n = channel.receive(buffer, sizeof buffer, static_cast<int>(left), error);
        if (n < 0) return false;
        ByteVector data, answer;  // data before the line is set up is stale
        decode(buffer, static_cast<std::size_t>(n), data, answer);
        if (!answer.empty() && !channel.send(answer, error)) return false;
    }
    return true;
}

bool Rfc2217Framing::negotiateOptions(SocketChannel& channel, std::string& error) {
    ByteVector offer;
    for (const auto& n : {Negotiation(kWill, kOptBinary), Negotiation(kDo, kOptBinary),
                          Negotiation(kWill, kOptComPort)})
        offer.insert(offer.end(), n.begin(), n.end());
    ourBinary_ = theirBinary_ = comPort_ = kAsked;
    if (!channel.send(offer, error)) return false;
    auto settled = [this] {
        return ourBinary_ >= kAgreed && theirBinary_ >= kAgreed && comPort_ >= kAgreed;
    };
    if (!waitFor(channel, settled, error)) return false;
    if (comPort_ == kRefused)
        return error =
                   "the server refused the COM-PORT-OPTION (RFC 2217); it cannot set the "
                   "serial line",
               false;
    if (ourBinary_ == kRefused || theirBinary_ == kRefused)
        return error = "the server refused binary transmission", false;
    return true;
}

bool Rfc2217Framing::setLine(SocketChannel& channel, const PortSettings& s, std::string& error) {
    using namespace rfc2217;
    struct Request {
        std::uint8_t command;
        std::uint32_t value;
        const char* what;
    };
    const Request requests[] = {
        {kSetBaudRate, static_cast<std::uint32_t>(s.baudRate), "baud rate"},
        {kSetDataSize, static_cast<std::uint32_t>(s.dataBits), "data size"},
        {kSetParity, ParityCode(s.parity), "parity"},
        {kSetStopSize, StopSizeCode(s.stopBits), "stop size"},
    };
    for (const Request& r : requests) {
        subnegotiations_.clear();
        if (!channel.send(comPortRequest(r.command, r.value, r.command == kSetBaudRate), error))
            return false;
        const std::uint8_t expected = r.command + kServerOffset;
        auto answered = [&] {
            for (const auto& e : subnegotiations_)
                if (e.payload[0] == expected) return true;
            return false;
        };
        if (!waitFor(channel, answered, error)) return false;
        for (const auto& e : subnegotiations_) {
            if (e.payload[0] != expected) continue;
            const std::uint32_t got = answerValue(e.payload);
            if (got != r.value)
                return error = std::string("the server did not take the ") + r.what + " (asked " +
                               std::to_string(r.value) + ", answered " + std::to_string(got) + ")",
                       false;
        }
    }
    return true;
}

bool Rfc2217Framing::handshake(SocketChannel& channel, const PortSettings& settings,
                               std::string& error) {
    settings_ = settings;
    handshaking_ = true;
    const bool ok = negotiateOptions(channel, error) && setLine(channel, settings, error);
    handshaking_ = false;
    subnegotiations_.clear();
    return ok;
}

bool Rfc2217Framing::encode(const std::uint8_t* frame, std::size_t length, ByteVector& out,
                            std::string&) {
    using namespace rfc2217;
    out = Subnegotiation(kOptComPort, {kPurgeData, kPurgeBoth});
    const bool driveRts = settings_.autoTxEnable == 0;
    const bool highWhileSending = settings_.txActiveHigh != 0;
    auto rts = [&](bool level) {
        ByteVector c =
            Subnegotiation(kOptComPort, {kSetControl, level ? kControlRtsOn : kControlRtsOff});
        out.insert(out.end(), c.begin(), c.end());
    };
    if (driveRts) rts(highWhileSending);
    AppendEscaped(frame, length, out);
    if (driveRts) rts(!highWhileSending);
    return true;
}

}  // namespace korvane
