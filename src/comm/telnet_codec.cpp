#include "comm/telnet_codec.h"

namespace korvane::telnet {

void Decoder::push(const std::uint8_t* bytes, std::size_t length, ByteVector& data,
                   std::vector<Event>& events) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state_) {
            case State::Data:
                if (b == kIac)
                    state_ = State::Iac;
                else
                    data.push_back(b);
                break;
            case State::Iac:
                state_ = State::Data;
                if (b == kIac) {
                    data.push_back(b);
                } else if (b >= kWill) {
                    verb_ = b;
                    state_ = State::Option;
                } else if (b == kSb) {
                    state_ = State::SbOption;
                } else {
                    events.push_back(Event{Event::Command, b, {}});
                }
                break;
            case State::Option: {
                static constexpr Event::Kind kKinds[] = {Event::Will, Event::Wont, Event::Do,
                                                         Event::Dont};
                events.push_back(Event{kKinds[verb_ - kWill], b, {}});
                state_ = State::Data;
                break;
            }
            case State::SbOption:
                sb_ = Event{Event::Subnegotiation, b, {}};
                state_ = b == kIac ? State::SbIac : State::SbData;
                break;
            case State::SbData:
                if (b == kIac)
                    state_ = State::SbIac;
                else if (sb_.payload.size() < kMaxSubnegotiation)
                    sb_.payload.push_back(b);
                break;
            case State::SbIac:
                if (b == kSe) {
                    events.push_back(std::move(sb_));
                    sb_ = Event{};
                    state_ = State::Data;
                } else if (b == kIac) {
                    if (sb_.payload.size() < kMaxSubnegotiation) sb_.payload.push_back(b);
                    state_ = State::SbData;
                } else {
                    // IAC followed by anything but SE or IAC inside SB: the peer broke the
                    // rule; end the subnegotiation there rather than swallow the data after it.
                    events.push_back(std::move(sb_));
                    sb_ = Event{};
                    state_ = State::Iac;
                    --i;
                }
                break;
        }
    }
}

void AppendEscaped(const std::uint8_t* bytes, std::size_t length, ByteVector& out) {
    for (std::size_t i = 0; i < length; ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == kIac) out.push_back(kIac);
    }
}

ByteVector Negotiation(std::uint8_t verb, std::uint8_t option) {
    return {kIac, verb, option};
}

ByteVector Subnegotiation(std::uint8_t option, const ByteVector& payload) {
    ByteVector out = {kIac, kSb, option};
    AppendEscaped(payload.data(), payload.size(), out);
    out.push_back(kIac);
    out.push_back(kSe);
    return out;
}

}  // namespace korvane::telnet
