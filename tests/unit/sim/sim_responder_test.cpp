// The simulator's drive side against the master's codecs: each checks the other's bytes.
#include <gtest/gtest.h>

#include "comm/modbus_codec.h"
#include "comm/tk485_codec.h"
#include "sim/responder.h"

namespace korvane::sim {
namespace {

struct Decoded {
    bool complete = false;
    int error = -1;
    std::vector<int> values;
};

Bytes toBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes askTk485(Tk485Responder& r, SimDrive& drive, const std::string& frame) {
    std::optional<SimRequest> request;
    for (char c : frame) {
        auto got = r.push(static_cast<std::uint8_t>(c), 0);
        if (got) request = got;
    }
    if (!request) return {};
    return r.answer(*request, drive);
}

Decoded decodeTk485(const Bytes& reply, const tk485::Expectation& expect) {
    tk485::Tk485Assembler a;
    a.Expect(expect);
    Decoded d;
    for (auto b : reply) {
        if (a.PushByte(b)) {
            d.complete = true;
            d.error = a.errorCode();
            d.values.assign(a.values().begin(), a.values().begin() + a.wordCount());
        }
    }
    return d;
}

TEST(Tk485Responder, AnswersTheMasterCodecsRequests) {
    SimDrive drive({1, 4, 0x0100, 3, 1});
    ASSERT_EQ(drive.write(0x0100, 0x1234), Access::Ok);
    Tk485Responder r;
    const int monitor[] = {0x0000, 0x0003, 0x0100};
    struct Case {
        const char* what;
        std::string frame;
        tk485::Expectation expect;
        int error;
        std::vector<int> values;
    } cases[] = {
        {"read", tk485::BuildRead(1, 0x0100), {1, 'R', 1}, kErrNone, {0x1234}},
        {"read identification", tk485::BuildRead(1, 0x0003), {1, 'R', 1}, kErrNone, {0x0100}},
        {"write echoes", tk485::BuildWrite(1, 0x0101, 0xBEEF), {1, 'W', 1}, kErrNone, {0xBEEF}},
        {"unknown address", tk485::BuildRead(1, 0x0004), {1, 'R', 1}, kErrAddressRange, {}},
        {"read-only word", tk485::BuildWrite(1, 0x0000, 1), {1, 'W', 1}, kErrWriteMode, {}},
        {"out of range", tk485::BuildWrite(1, 0x0005, 40001), {1, 'W', 1}, kErrDataRange, {}},
        {"register", tk485::BuildMonitorRegister(1, monitor, 3), {1, 'X', 0}, kErrNone, {}},
        {"monitor read", tk485::BuildMonitorRead(1), {1, 'Y', 3}, kErrNone, {4, 0x0100, 0x1234}},
        {"unknown command", tk485::WrapRequest("01Q"), {1, 'Q', 0}, kErrIllegalFunction, {}},
        {"bad checksum",
         "\x05"
         "01R0100199\x04",
         {1, 'R', 1},
         kErrFrame,
         {}},
    };
    for (const auto& c : cases) {
        Decoded d = decodeTk485(askTk485(r, drive, c.frame), c.expect);
        ASSERT_TRUE(d.complete) << c.what;
        EXPECT_EQ(d.error, c.error) << c.what;
        if (c.error == kErrNone) {
            EXPECT_EQ(d.values, c.values) << c.what;
        }
    }
}

TEST(Tk485Responder, MonitorReadWithoutRegistrationAndBadRegistrationsAreRefused) {
    SimDrive drive({2, 4, 0x0100, 3, 1});
    Tk485Responder r;
    const int bad[] = {0x0000, 0x0004};
    struct Case {
        std::string frame;
        char letter;
        int error;
    } cases[] = {
        {tk485::BuildMonitorRead(2), 'Y', kErrIllegalFunction},
        {tk485::BuildMonitorRegister(2, bad, 2), 'X', kErrAddressRange},
        {tk485::WrapRequest("02X9000000010002000300040005000600070008"), 'X', kErrDataRange},
        {tk485::WrapRequest("02X200000"), 'X', kErrFrame},  // fewer digits than announced
    };
    for (const auto& c : cases) {
        Decoded d = decodeTk485(askTk485(r, drive, c.frame), {2, c.letter, 0});
        ASSERT_TRUE(d.complete) << c.frame;
        EXPECT_EQ(d.error, c.error) << c.frame;
    }
}

TEST(Tk485Responder, FramesFromTheLastEnqAndIgnoresNoiseAndRunawayFrames) {
    SimDrive drive({1, 4, 0x0100, 3, 1});
    Tk485Responder r;
    Bytes junk = toBytes("xx\x04zz");
    for (auto b : junk) EXPECT_FALSE(r.push(b, 0));
    Bytes runaway(1, Tk485Responder::kEnq);
    runaway.insert(runaway.end(), 100, 'A');
    runaway.push_back(Tk485Responder::kEot);
    for (auto b : runaway) EXPECT_FALSE(r.push(b, 0));
    Decoded d = decodeTk485(askTk485(r, drive,
                                     "\x05"
                                     "garbage" +
                                         tk485::BuildRead(1, 0x0000)),
                            {1, 'R', 1});
    ASSERT_TRUE(d.complete);
    EXPECT_EQ(d.error, kErrNone);
    EXPECT_EQ(d.values, std::vector<int>{4});
}

TEST(Tk485Responder, InjectedRefusalsAndSpoiltChecksumsDecodeAsSuch) {
    SimDrive drive({1, 4, 0x0100, 3, 1});
    Tk485Responder r;
    SimRequest request;
    for (char c : tk485::BuildWrite(1, 0x0005, 100)) {
        if (auto got = r.push(static_cast<std::uint8_t>(c), 0)) request = *got;
    }
    struct Case {
        std::string code;
        int error;
    } refusals[] = {{"WM", kErrWriteMode},
                    {"TO", kErrDpramTimeout},
                    {"2", kErrAddressRange},
                    {"ZZ", kErrUndefined}};
    for (const auto& c : refusals) {
        EXPECT_EQ(decodeTk485(r.refuse(request, c.code), {1, 'W', 1}).error, c.error) << c.code;
    }
    Bytes reply = r.answer(request, drive);
    r.spoilCheck(reply);
    EXPECT_EQ(decodeTk485(reply, {1, 'W', 1}).error, kErrSum);
}

struct ModbusOutcome {
    bool answered = false;
    bool complete = false;
    int error = -1;
    int value = -1;
};

ModbusOutcome askModbus(ModbusResponder& r, SimDrive& drive, const modbus::Frame& request,
                        std::uint8_t function, int address, const std::string& refuseWith = {},
                        bool spoil = false) {
    std::optional<SimRequest> got;
    for (auto b : request) {
        if (auto q = r.push(b, 0)) got = q;
    }
    ModbusOutcome o;
    if (!got) return o;
    Bytes reply = refuseWith.empty() ? r.answer(*got, drive) : r.refuse(*got, refuseWith);
    if (spoil) r.spoilCheck(reply);
    o.answered = !reply.empty();
    modbus::ModbusAssembler a;
    a.Expect({drive.station(), function, modbus::RegisterOf(address)});
    for (auto b : reply) {
        if (a.PushByte(b)) {
            o.complete = true;
            o.error = a.errorCode();
            o.value = a.value();
        }
    }
    return o;
}

TEST(ModbusResponder, AnswersTheMasterCodecsRequests) {
    SimDrive drive({7, 11, 0x0310, 5, 1});
    ASSERT_EQ(drive.write(0x1209, 2), Access::Ok);
    ModbusResponder r(2000);
    struct Case {
        const char* what;
        modbus::Frame request;
        std::uint8_t function;
        int address;
        int error;
        int value;
    } cases[] = {
        {"series code at drive address 0", modbus::BuildReadRequest(7, 0x0000), 4, 0x0000, kErrNone,
         11},
        {"version", modbus::BuildReadRequest(7, 0x0003), 4, 0x0003, kErrNone, 0x0310},
        {"parameter", modbus::BuildReadRequest(7, 0x1209), 4, 0x1209, kErrNone, 2},
        {"write", modbus::BuildWriteRequest(7, 0x0005, 5000), 6, 0x0005, kErrNone, 5000},
        {"unknown address", modbus::BuildReadRequest(7, 0x0004), 4, 0x0004, kErrAddressRange, -1},
        {"read-only word", modbus::BuildWriteRequest(7, 0x000E, 0), 6, 0x000E, kErrWriteMode, -1},
        {"series 11 trip word", modbus::BuildWriteRequest(7, 0x0330, 0), 6, 0x0330, kErrWriteMode,
         -1},
        {"out of range", modbus::BuildWriteRequest(7, 0x001A, 9), 6, 0x001A, kErrDataRange, -1},
    };
    for (const auto& c : cases) {
        ModbusOutcome o = askModbus(r, drive, c.request, c.function, c.address);
        ASSERT_TRUE(o.complete) << c.what;
        EXPECT_EQ(o.error, c.error) << c.what;
        if (c.error == kErrNone) {
            EXPECT_EQ(o.value, c.value) << c.what;
        }
    }
    std::uint16_t v = 0;
    ASSERT_EQ(drive.read(0x0005, v), Access::Ok);
    EXPECT_EQ(v, 5000);
}

TEST(ModbusResponder, StaysSilentOnBadCrcAndRefusesOnRequest) {
    SimDrive drive({1, 4, 0x0100, 3, 1});
    ModbusResponder r(2000);
    modbus::Frame bad = modbus::BuildReadRequest(1, 0x0100);
    bad.back() ^= 1;
    EXPECT_FALSE(askModbus(r, drive, bad, 4, 0x0100).answered);

    struct Case {
        std::string code;
        int error;
    } refusals[] = {{"1", kErrIllegalFunction},
                    {"IA", kErrAddressRange},
                    {"6", kErrSlaveDevice},
                    {"WM", kErrWriteMode}};
    for (const auto& c : refusals) {
        ModbusOutcome o =
            askModbus(r, drive, modbus::BuildWriteRequest(1, 0x0005, 1), 6, 0x0005, c.code);
        EXPECT_EQ(o.error, c.error) << c.code;
    }
    EXPECT_EQ(askModbus(r, drive, modbus::BuildReadRequest(1, 0x0100), 4, 0x0100, {}, true).error,
              kErrCrc);
}

TEST(ModbusResponder, UnknownFunctionEndsBySilenceAndStaleFragmentsAreDropped) {
    SimDrive drive({1, 4, 0x0100, 3, 1});
    ModbusResponder r(2000);
    Bytes odd{1, 0x11};
    std::uint16_t c = modbus::Crc16(odd.data(), odd.size());
    odd.push_back(static_cast<std::uint8_t>(c & 0xFF));
    odd.push_back(static_cast<std::uint8_t>(c >> 8));
    for (auto b : odd) EXPECT_FALSE(r.push(b, 1000));
    EXPECT_FALSE(r.idle(2500));
    auto request = r.idle(3500);
    ASSERT_TRUE(request);
    Bytes reply = r.answer(*request, drive);
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[1], 0x91);
    EXPECT_EQ(reply[2], 1);

    // Half a request, a long silence, then a whole one: only the whole one counts.
    modbus::Frame read = modbus::BuildReadRequest(1, 0x0000);
    r.push(read[0], 10000);
    r.push(read[1], 10000);
    std::optional<SimRequest> got;
    for (auto b : read) {
        if (auto q = r.push(b, 20000)) got = q;
    }
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->intact);
}

TEST(ModbusResponder, CrcMatchesTheKnownReadFrame) {
    const std::uint8_t frame[] = {0x01, 0x04, 0x00, 0x00, 0x00, 0x01};
    std::uint16_t c = modbus::Crc16(frame, sizeof frame);
    EXPECT_EQ(c & 0xFF, 0x31);
    EXPECT_EQ(c >> 8, 0xCA);
}

}  // namespace
}  // namespace korvane::sim
