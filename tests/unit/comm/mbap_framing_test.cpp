#include "comm/mbap_framing.h"

#include <gtest/gtest.h>

#include "comm/modbus_codec.h"

namespace korvane::mbap {
namespace {

ByteVector Encode(MbapClientFraming& f, const ByteVector& rtu) {
    ByteVector out;
    std::string error;
    EXPECT_TRUE(f.encode(rtu.data(), rtu.size(), out, error)) << error;
    return out;
}

ByteVector Decode(MbapClientFraming& f, const ByteVector& in) {
    ByteVector data, answer;
    f.decode(in.data(), in.size(), data, answer);
    EXPECT_TRUE(answer.empty());
    return data;
}

ByteVector MakeAdu(std::uint16_t tid, std::uint16_t protocol, std::uint8_t unit,
                   const ByteVector& pdu, int lengthAdjust = 0) {
    ByteVector a = BuildAdu(tid, unit, pdu.data(), pdu.size());
    a[2] = static_cast<std::uint8_t>(protocol >> 8);
    a[3] = static_cast<std::uint8_t>(protocol);
    const int field = static_cast<int>(pdu.size()) + 1 + lengthAdjust;
    a[4] = static_cast<std::uint8_t>(field >> 8);
    a[5] = static_cast<std::uint8_t>(field);
    return a;
}

TEST(MbapClientFraming, WrapsTheRtuRequestWithoutItsCrcAndCountsTransactions) {
    MbapClientFraming f;
    const auto first = Encode(f, modbus::BuildReadRequest(7, 0x0101));
    const ByteVector pdu(first.begin() + 7, first.end());
    EXPECT_EQ(first, (ByteVector{0, 1, 0, 0, 0, 6, 7, 4, 0x01, 0x00, 0, 1}));
    const auto second = Encode(f, modbus::BuildWriteRequest(7, 0x0101, 0xFFFF));
    EXPECT_EQ(second[1], 2);
    EXPECT_EQ(second.back(), 0xFF);  // the value goes as it is: MBAP has no escaping
}

TEST(MbapClientFraming, RefusesFramesThatAreNoModbusRtu) {
    MbapClientFraming f;
    const ByteVector tk485 = {0x05, '0', '1', 'R', 0x03};
    ByteVector out;
    std::string error;
    EXPECT_FALSE(f.encode(tk485.data(), tk485.size(), out, error));
    EXPECT_NE(error.find("MODBUS"), std::string::npos);
}

// Whatever does not answer the request on the line is dropped, never handed to the link as a
// reply: the link's own time-out and retries then go on as on a serial line.
TEST(MbapClientFraming, TakesOnlyTheReplyThatAnswersTheRequest) {
    const ByteVector value = {4, 2, 0xFF, 0xFF};  // 0xFFFF read back
    struct Case {
        const char* what;
        ByteVector reply;
        bool taken;
    } cases[] = {
        {"matching", MakeAdu(1, 0, 7, value), true},
        {"wrong transaction", MakeAdu(2, 0, 7, value), false},
        {"wrong unit", MakeAdu(1, 0, 8, value), false},
        {"wrong protocol", MakeAdu(1, 1, 7, value), false},
        {"wrong function", MakeAdu(1, 0, 7, {3, 2, 0, 1}), false},
        {"short data", MakeAdu(1, 0, 7, {4, 1, 0xFF}), false},
        {"long data", MakeAdu(1, 0, 7, {4, 4, 0, 1, 0, 2}), false},
        {"length field too long", MakeAdu(1, 0, 7, value, 1), false},
        {"length field over the bound", MakeAdu(1, 0, 7, value, 300), false},
        {"length field too short", MakeAdu(1, 0, 7, value, -4), false},
        {"exception", MakeAdu(1, 0, 7, {0x84, 0x02}), true},
        {"gateway path unavailable", MakeAdu(1, 0, 7, {0x84, 0x0A}), false},
        {"gateway target did not answer", MakeAdu(1, 0, 7, {0x84, 0x0B}), false},
    };
    for (const auto& c : cases) {
        MbapClientFraming f;
        Encode(f, modbus::BuildReadRequest(7, 0x0101));
        const ByteVector data = Decode(f, c.reply);
        if (!c.taken) {
            EXPECT_TRUE(data.empty()) << c.what;
            continue;
        }
        ASSERT_GE(data.size(), 4u) << c.what;
        EXPECT_TRUE(modbus::CrcMatches(data.data(), data.size())) << c.what;
        EXPECT_EQ(data[0], 7) << c.what;
        EXPECT_EQ(ByteVector(data.begin() + 1, data.end() - 2),
                  ByteVector(c.reply.begin() + 7, c.reply.end()))
            << c.what;
    }
}

TEST(MbapClientFraming, AssemblesAReplySplitAnywhereAndTakesItOnce) {
    const ByteVector reply = MakeAdu(1, 0, 3, {4, 2, 0x12, 0x34});
    for (std::size_t cut = 0; cut <= reply.size(); ++cut) {
        MbapClientFraming f;
        Encode(f, modbus::BuildReadRequest(3, 0x0001));
        ByteVector data = Decode(f, ByteVector(reply.begin(), reply.begin() + cut));
        const ByteVector rest = Decode(f, ByteVector(reply.begin() + cut, reply.end()));
        data.insert(data.end(), rest.begin(), rest.end());
        EXPECT_EQ(data, modbus::BuildReadReply(3, 0x1234)) << cut;
        EXPECT_TRUE(Decode(f, reply).empty()) << "a repeated reply is no second answer";
    }
}

// A reply that comes after the link gave up on its request carries the old transaction id:
// the next request's answer is the only one taken.
TEST(MbapClientFraming, DropsALateReplyToAnEarlierRequest) {
    MbapClientFraming f;
    Encode(f, modbus::BuildReadRequest(3, 0x0001));
    Encode(f, modbus::BuildReadRequest(3, 0x0001));
    ByteVector both = MakeAdu(1, 0, 3, {4, 2, 0, 9});
    const ByteVector current = MakeAdu(2, 0, 3, {4, 2, 0, 5});
    both.insert(both.end(), current.begin(), current.end());
    EXPECT_EQ(Decode(f, both), modbus::BuildReadReply(3, 5));
}

TEST(AduReader, DropsTheStreamAfterALengthOutOfBounds) {
    AduReader reader;
    std::vector<Adu> out;
    ByteVector bad = {0, 1, 0, 0, 0x01, 0x00, 1, 4};  // length 256
    reader.push(bad.data(), bad.size(), out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(reader.buffered(), 0u);
}

}  // namespace
}  // namespace korvane::mbap
