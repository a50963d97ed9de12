#include "comm/modbus_codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane::modbus {
namespace {

TEST(ModbusFrames, RequestsAreBigEndianWithCrcLowByteFirst) {
    struct Case {
        Frame frame;
        Frame expected;
    } cases[] = {
        {BuildReadRequest(1, 1), {0x01, 0x04, 0x00, 0x00, 0x00, 0x01, 0x31, 0xCA}},
        // Drive address 0x0100 is register 0x00FF.
        {BuildReadRequest(0x11, 0x0100), {0x11, 0x04, 0x00, 0xFF, 0x00, 0x01}},
        {BuildWriteRequest(2, 0x1234, 0x1ABCD), {0x02, 0x06, 0x12, 0x33, 0xAB, 0xCD}},
        {BuildWriteRequest(3, 0, 5), {0x03, 0x06, 0xFF, 0xFF, 0x00, 0x05}},
    };
    for (auto& c : cases) {
        ASSERT_EQ(c.frame.size(), kRequestLength);
        if (c.expected.size() == 6) AppendCrc(c.expected);
        EXPECT_EQ(c.frame, c.expected);
        EXPECT_TRUE(CrcMatches(c.frame.data(), c.frame.size()));
    }
    EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
    const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc16(check, sizeof check), 0x4B37);  // the catalogued CRC-16/MODBUS check value
}

int FeedAll(ModbusAssembler& a, const Frame& bytes) {
    int completions = 0;
    for (std::uint8_t b : bytes) completions += a.PushByte(b) ? 1 : 0;
    return completions;
}

Frame Corrupt(Frame f) {
    f.back() ^= 0x01;
    return f;
}

TEST(ModbusAssembler, ChecksReplyAgainstOutstandingRequest) {
    const Expectation read{1, kReadInputRegisters, RegisterOf(0x100)};
    const Expectation write{1, kWriteSingleRegister, RegisterOf(0x100)};
    Frame wrongCount{0x01, 0x04, 0x03, 0x12, 0x34};
    AppendCrc(wrongCount);
    struct Case {
        const char* name;
        Expectation expect;
        Frame bytes;
        int error;
        int value;
    } cases[] = {
        {"read ok", read, BuildReadReply(1, 0xBEEF), kErrNone, 0xBEEF},
        {"read bad CRC", read, Corrupt(BuildReadReply(1, 0xBEEF)), kErrCrc, 0},
        {"read from another station", read, BuildReadReply(2, 0xBEEF), kErrFrame, 0xBEEF},
        {"read with byte count 3", read, wrongCount, kErrFrame, 0x1234},
        {"write ok", write, BuildWriteReply(1, 0x100, 7), kErrNone, 7},
        {"write echo of another value is fine", write, BuildWriteReply(1, 0x100, 8), kErrNone, 8},
        {"write echo of another address", write, BuildWriteReply(1, 0x101, 7), kErrFrame, 7},
        {"function 6 answer to a read", read, BuildWriteReply(1, 0x100, 7), kErrCrc, 0},
        {"exception 1", read, BuildExceptionReply(1, 4, 1), kErrIllegalFunction, 0},
        {"exception 2", read, BuildExceptionReply(1, 4, 2), kErrAddressRange, 0},
        {"exception 3", write, BuildExceptionReply(1, 6, 3), kErrDataRange, 0},
        {"exception 6", write, BuildExceptionReply(1, 6, 6), kErrSlaveDevice, 0},
        {"exception 20", write, BuildExceptionReply(1, 6, 20), kErrWriteMode, 0},
        {"exception 4", read, BuildExceptionReply(1, 4, 4), kErrUndefined, 0},
        {"exception bad CRC", read, Corrupt(BuildExceptionReply(1, 4, 2)), kErrCrc, 0},
        // Another station's exception is no verdict on our request: a frame error, repeated.
        {"exception other station", read, BuildExceptionReply(2, 4, 2), kErrFrame, 0},
    };
    for (const auto& c : cases) {
        ModbusAssembler a;
        a.Expect(c.expect);
        EXPECT_EQ(FeedAll(a, c.bytes), 1) << c.name;
        EXPECT_EQ(a.errorCode(), c.error) << c.name;
        EXPECT_EQ(a.value(), c.value) << c.name;
    }
}

TEST(ModbusAssembler, TrailingBytesAreNeitherStoredNorASecondReply) {
    ModbusAssembler a;
    a.Expect({1, kReadInputRegisters, 0});
    Frame line = BuildReadReply(1, 42);
    // A whole second reply and then far more than the buffer holds.
    Frame extra = BuildReadReply(1, 43);
    extra.resize(300, 0x55);
    line.insert(line.end(), extra.begin(), extra.end());
    EXPECT_EQ(FeedAll(a, line), 1);
    EXPECT_EQ(a.value(), 42);
    EXPECT_EQ(a.frameLength(), kReadReplyLength);
    // The next request starts clean.
    a.Expect({1, kReadInputRegisters, 0});
    EXPECT_EQ(FeedAll(a, BuildReadReply(1, 44)), 1);
    EXPECT_EQ(a.value(), 44);
}

TEST(ModbusAssembler, IgnoresBytesWhileNoRequestIsOutstanding) {
    ModbusAssembler a;
    EXPECT_EQ(FeedAll(a, BuildReadReply(1, 42)), 0);
    EXPECT_EQ(a.frameLength(), 0u);
}

}  // namespace
}  // namespace korvane::modbus
