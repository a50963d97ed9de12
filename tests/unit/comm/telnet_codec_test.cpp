#include "comm/telnet_codec.h"

#include <gtest/gtest.h>

namespace korvane::telnet {
namespace {

struct Decoded {
    ByteVector data;
    std::vector<Event> events;
};

Decoded DecodeInPieces(const ByteVector& stream, std::size_t cut) {
    Decoder d;
    Decoded r;
    d.push(stream.data(), cut, r.data, r.events);
    d.push(stream.data() + cut, stream.size() - cut, r.data, r.events);
    return r;
}

// Every case is decoded whole and cut in two at every position: a server's TCP segments may
// split a doubled 0xFF or a command anywhere.
TEST(TelnetDecoder, SeparatesDataFromCommandsWhereverTheStreamIsCut) {
    struct Case {
        const char* what;
        ByteVector stream;
        ByteVector data;
        std::vector<Event> events;
    } cases[] = {
        {"doubled IAC", {1, kIac, kIac, 2}, {1, 0xFF, 2}, {}},
        {"two doubled IACs", {kIac, kIac, kIac, kIac}, {0xFF, 0xFF}, {}},
        {"negotiation between data bytes",
         {1, kIac, kWill, kOptBinary, 2, kIac, kDont, 7, 3},
         {1, 2, 3},
         {{Event::Will, kOptBinary, {}}, {Event::Dont, 7, {}}}},
        {"subnegotiation with a doubled IAC",
         {9, kIac, kSb, kOptComPort, 101, 0, 0, kIac, kIac, kIac, kSe, 8},
         {9, 8},
         {{Event::Subnegotiation, kOptComPort, {101, 0, 0, 0xFF}}}},
        {"no-operation", {5, kIac, 241, 6}, {5, 6}, {{Event::Command, 241, {}}}},
        {"IAC without SE ends the subnegotiation",
         {kIac, kSb, kOptComPort, 112, kIac, kWill, 1, 4},
         {4},
         {{Event::Subnegotiation, kOptComPort, {112}}, {Event::Will, 1, {}}}},
    };
    for (const auto& c : cases) {
        for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
            Decoded r = DecodeInPieces(c.stream, cut);
            EXPECT_EQ(r.data, c.data) << c.what << " cut at " << cut;
            EXPECT_EQ(r.events, c.events) << c.what << " cut at " << cut;
        }
    }
}

TEST(TelnetDecoder, BoundsASubnegotiationThatNeverEnds) {
    Decoder d;
    ByteVector stream = {kIac, kSb, kOptComPort};
    stream.resize(10000, 7);
    ByteVector data;
    std::vector<Event> events;
    d.push(stream.data(), stream.size(), data, events);
    const ByteVector end = {kIac, kSe, 1};
    d.push(end.data(), end.size(), data, events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].payload.size(), kMaxSubnegotiation);
    EXPECT_EQ(data, ByteVector{1});
}

TEST(TelnetEncoding, DoublesIacInDataAndSubnegotiations) {
    ByteVector out;
    const ByteVector data = {0x01, 0xFF, 0xFF, 0x02};
    AppendEscaped(data.data(), data.size(), out);
    EXPECT_EQ(out, (ByteVector{0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x02}));
    EXPECT_EQ(Subnegotiation(kOptComPort, {1, 0, 0, 0xFF}),
              (ByteVector{kIac, kSb, kOptComPort, 1, 0, 0, 0xFF, 0xFF, kIac, kSe}));
}

}  // namespace
}  // namespace korvane::telnet
