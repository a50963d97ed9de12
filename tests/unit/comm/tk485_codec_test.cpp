#include "comm/tk485_codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace korvane::tk485 {
namespace {

std::string Ctl(std::uint8_t c) {
    return std::string(1, static_cast<char>(c));
}

TEST(Tk485Frames, RequestFramesCarryPayloadChecksumAndControlBytes) {
    const int four[] = {0x0100, 0x0101, 0x0A0B, 0xFFFF};
    const int ten[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    struct Case {
        std::string frame;
        std::string payload;
    } cases[] = {
        {BuildRead(1, 0x0100), "01R01001"},
        {BuildRead(0xFE, 0xABCD),
         "FER"
         "ABCD1"},
        {BuildWrite(0x1F, 0x0203, 0x1ABCD), "1FW02031ABCD"},  // only the low word is sent
        {BuildWrite(2, 0x10, -1), "02W00101FFFF"},
        {BuildMonitorRegister(3, four, 4),
         "03X4"
         "0100"
         "0101"
         "0A0B"
         "FFFF"},
        {BuildMonitorRegister(3, ten, 10),
         "03X80001000200030004000500060007"
         "0008"},
        {BuildMonitorRead(0x7F), "7FY"},
    };
    for (const auto& c : cases) {
        std::string expected = Ctl(kEnq) + c.payload;
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", Checksum(c.payload));
        expected += digits + Ctl(kEot);
        EXPECT_EQ(c.frame, expected) << c.payload;
    }
    // The worked example: the payload's bytes sum to 0x1A5.
    EXPECT_EQ(BuildRead(1, 0x0100), Ctl(kEnq) + "01R01001A5" + Ctl(kEot));
}

struct Outcome {
    int error;
    std::vector<int> values;
};

Outcome Feed(Tk485Assembler& a, const std::string& bytes) {
    int completions = 0;
    for (char c : bytes) completions += a.PushByte(static_cast<std::uint8_t>(c)) ? 1 : 0;
    EXPECT_EQ(completions, 1) << "bytes should complete exactly one reply";
    std::vector<int> v(a.values().begin(), a.values().begin() + a.wordCount());
    return {a.errorCode(), v};
}

// An ACK reply with a hand-written body, for malformed data fields.
std::string WrapAck(const std::string& body) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", Checksum(body));
    return Ctl(kAck) + body + digits + Ctl(kEot);
}

std::string Ack(int station, char letter, std::vector<int> words) {
    return BuildAckReply(station, letter, words.data(), static_cast<int>(words.size()));
}

TEST(Tk485Assembler, ChecksReplyAgainstOutstandingRequest) {
    const Expectation readAt1{1, 'R', 1};
    const Expectation monitor8{5, 'Y', 8};
    std::string good = Ack(1, 'R', {0x1234});
    std::string badSum = good;
    badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
    struct Case {
        const char* name;
        Expectation expect;
        std::string bytes;
        int error;
        std::vector<int> values;
    } cases[] = {
        {"read ok", readAt1, good, kErrNone, {0x1234}},
        {"garbage before ACK", readAt1, "\x01zz9" + good, kErrNone, {0x1234}},
        {"own request echoed first", readAt1, BuildRead(1, 0x100) + good, kErrNone, {0x1234}},
        {"wrong checksum", readAt1, badSum, kErrSum, {}},
        {"wrong station", readAt1, Ack(2, 'R', {0x1234}), kErrFrame, {}},
        {"wrong letter", readAt1, Ack(1, 'W', {0x1234}), kErrFrame, {}},
        {"two words to a one-word read", readAt1, Ack(1, 'R', {1, 2}), kErrFrame, {1, 2}},
        {"no word to a one-word read", readAt1, Ack(1, 'R', {}), kErrFrame, {}},
        {"partial word", readAt1, WrapAck("01R12345"), kErrFrame, {0x1234}},
        {"non-hex word", readAt1, WrapAck("01R12G4"), kErrFrame, {}},
        {"write echo", {1, 'W', 1}, Ack(1, 'W', {0xBEEF}), kErrNone, {0xBEEF}},
        {"monitor read of 8",
         monitor8,
         Ack(5, 'Y', {1, 2, 3, 4, 5, 6, 7, 8}),
         kErrNone,
         {1, 2, 3, 4, 5, 6, 7, 8}},
        {"monitor read short", monitor8, Ack(5, 'Y', {1, 2, 3}), kErrFrame, {1, 2, 3}},
        {"X acknowledged", {5, 'X', 0}, Ack(5, 'X', {}), kErrNone, {}},
        {"X from another station", {5, 'X', 0}, Ack(6, 'X', {}), kErrFrame, {}},
        {"too short for a checksum", readAt1, Ctl(kAck) + "0" + Ctl(kEot), kErrFrame, {}},
        {"checksum but no header", readAt1, Ctl(kAck) + "00" + Ctl(kEot), kErrFrame, {}},
        {"NAK without code", readAt1, BuildNakReply(1, 'R', "I"), kErrFrame, {}},
    };
    for (const auto& c : cases) {
        Tk485Assembler a;
        a.Expect(c.expect);
        Outcome o = Feed(a, c.bytes);
        EXPECT_EQ(o.error, c.error) << c.name;
        EXPECT_EQ(o.values, c.values) << c.name;
    }
}

TEST(Tk485Assembler, MapsEveryNakCode) {
    struct Case {
        const char* code;
        int error;
    } cases[] = {
        {"IF", kErrIllegalFunction}, {"IA", kErrAddressRange}, {"ID", kErrDataRange},
        {"WM", kErrWriteMode},       {"FE", kErrFrame},        {"TO", kErrDpramTimeout},
        {"DO", kErrDpramOffline},    {"XX", kErrUndefined},    {"if", kErrUndefined},
    };
    for (const auto& c : cases) {
        Tk485Assembler a;
        a.Expect({9, 'W', 1});
        EXPECT_EQ(Feed(a, BuildNakReply(9, 'W', c.code)).error, c.error) << c.code;
        // The NAK still has to come from the right station.
        a.Expect({9, 'W', 1});
        EXPECT_EQ(Feed(a, BuildNakReply(8, 'W', c.code)).error, kErrFrame) << c.code;
    }
}

TEST(Tk485Assembler, EchoedRequestAloneIsNeverAReply) {
    Tk485Assembler a;
    a.Expect({1, 'R', 1});
    for (char c : BuildRead(1, 0x100) + "\x04\x04 noise \x04")
        EXPECT_FALSE(a.PushByte(static_cast<std::uint8_t>(c)));
}

TEST(Tk485Assembler, BytesAfterACompleteReplyDoNotMakeASecondOne) {
    Tk485Assembler a;
    a.Expect({1, 'R', 1});
    Feed(a, Ack(1, 'R', {7}));
    for (char c : std::string("12") + Ctl(kEot))
        EXPECT_FALSE(a.PushByte(static_cast<std::uint8_t>(c)));
    // A fresh ACK starts over, and a new request forgets a half-received reply.
    Feed(a, Ack(1, 'R', {8}));
    EXPECT_EQ(a.values()[0], 8);
    a.PushByte(kAck);
    a.PushByte('0');
    a.Expect({1, 'R', 1});
    EXPECT_EQ(Feed(a, Ack(1, 'R', {9})).values, std::vector<int>{9});
}

TEST(Tk485Assembler, OverlongReplyKeepsOnlyTheBufferAndFails) {
    Tk485Assembler a;
    a.Expect({1, 'R', 1});
    std::string body = "01R" + std::string(400, '0');
    Outcome o = Feed(a, WrapAck(body));
    EXPECT_NE(o.error, kErrNone);
    EXPECT_EQ(a.frame().size(), kReceiveBufferSize);
    // Exactly at the limit still works: a 299-byte body plus nothing is checked as usual.
    std::string fits = "01R" + std::string(300 - 7, '0');
    a.Expect({1, 'R', 1});
    EXPECT_EQ(Feed(a, WrapAck(fits)).error, kErrFrame);  // right sum, wrong word count
    EXPECT_EQ(a.frame().size(), kReceiveBufferSize);
}

// Replies longer than the buffer whose kept part happens to end in the checksum of what comes
// before it: a check of the kept part alone accepted them.
TEST(Tk485Assembler, OverlongReplyIsNeverAcceptedWhateverItsKeptPartSays) {
    auto cutAt = [](char lead, const std::string& header) {
        std::string kept = header + std::string(kReceiveBufferSize - 4 - header.size(), '0');
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", Checksum(kept));
        return Ctl(static_cast<std::uint8_t>(lead)) + kept + digits + "Z junk" + Ctl(kEot);
    };
    struct Case {
        const char* name;
        Expectation expect;
        std::string bytes;
    } cases[] = {
        {"X acknowledged", {1, 'X', 0}, cutAt(kAck, "01X")},
        {"NAK with a code", {1, 'R', 1}, cutAt(kNak, "01RIA")},
    };
    for (const auto& c : cases) {
        Tk485Assembler a;
        a.Expect(c.expect);
        EXPECT_EQ(Feed(a, c.bytes).error, kErrFrame) << c.name;
        // The next reply is judged on its own.
        a.Expect(c.expect);
        std::string next = c.expect.letter == 'X' ? Ack(1, 'X', {}) : Ack(1, 'R', {5});
        EXPECT_EQ(Feed(a, next).error, kErrNone) << c.name;
    }
}

TEST(Tk485Helpers, ParseHexRejectsWhatIsNotANumber) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"A5", true, 0xA5}, {"a5", true, 0xA5}, {"0000", true, 0}, {"FFFF", true, 0xFFFF},
        {"", false, 0},     {"1G", false, 0},   {" 1", false, 0},  {"-1", false, 0},
    };
    for (const auto& c : cases) {
        int v = -7;
        EXPECT_EQ(ParseHex(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

}  // namespace
}  // namespace korvane::tk485
