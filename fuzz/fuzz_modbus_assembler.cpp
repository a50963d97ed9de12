// The MODBUS receive assembler fed one byte at a time. A reply it accepts must be the bytes that
// followed the request, with a good CRC and the header and value written in them; after a reply
// it takes nothing more until the next request.
#include <cstddef>
#include <cstdint>

#include "comm/modbus_codec.h"
#include "fuzz_check.h"

using namespace korvane;

namespace {

int WordAt(const std::uint8_t* p) {
    return (p[0] << 8) | p[1];
}

void CheckReply(const modbus::ModbusAssembler& a, const modbus::Expectation& e,
                const std::uint8_t* sent, std::size_t sentSize) {
    const std::uint8_t* f = a.frame();
    std::size_t n = a.frameLength();
    FUZZ_CHECK(n <= sentSize);
    for (std::size_t i = 0; i < n; ++i) FUZZ_CHECK(f[i] == sent[i]);
    if (a.errorCode() != kErrNone && a.errorCode() != kErrFrame && a.errorCode() != kErrCrc) {
        // A refusal ends the request unrepeated: it must be our station's intact exception.
        FUZZ_CHECK(n == modbus::kExceptionReplyLength && modbus::CrcMatches(f, n));
        FUZZ_CHECK(f[0] == (e.station & 0xFF) && f[1] > 0x80);
        FUZZ_CHECK(modbus::ExceptionToError(f[2]) == a.errorCode());
        return;
    }
    if (a.errorCode() != kErrNone) return;
    FUZZ_CHECK(modbus::CrcMatches(f, n));
    FUZZ_CHECK(f[0] == (e.station & 0xFF));
    FUZZ_CHECK(f[1] == e.function);
    if (e.function == modbus::kReadInputRegisters) {
        FUZZ_CHECK(n == modbus::kReadReplyLength && f[2] == 2);
        FUZZ_CHECK(a.value() == WordAt(f + 3));
    } else {
        FUZZ_CHECK(n == modbus::kWriteReplyLength);
        FUZZ_CHECK(WordAt(f + 2) == e.registerAddress);
        FUZZ_CHECK(a.value() == WordAt(f + 4));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    modbus::Expectation e;
    e.station = data[0];
    e.function = (data[1] & 1) ? modbus::kWriteSingleRegister : modbus::kReadInputRegisters;
    e.registerAddress = static_cast<std::uint16_t>(WordAt(data + 2));
    const std::uint8_t* bytes = data + 4;
    const std::size_t count = size - 4;

    modbus::ModbusAssembler a;
    a.Expect(e);
    std::size_t start = 0;  // where the bytes of the current request's reply begin
    bool complete = false;
    for (std::size_t i = 0; i < count; ++i) {
        bool done = a.PushByte(bytes[i]);
        if (complete) {
            FUZZ_CHECK(!done);
            // The next request: what follows is its reply.
            a.Expect(e);
            start = i + 1;
            complete = false;
            continue;
        }
        if (!done) continue;
        CheckReply(a, e, bytes + start, i + 1 - start);
        complete = true;
    }
    return 0;
}
