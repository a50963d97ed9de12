// The MODBUS TCP framing given one request and then whatever a gateway (or anything on the
// network) sends, in fuzzed pieces. What reaches the link must be at most one RTU reply with a
// good CRC, from the station asked, to the function asked, of the length that function's reply
// has; nothing else may get through.
#include <cstddef>
#include <cstdint>

#include "comm/mbap_framing.h"
#include "comm/modbus_codec.h"
#include "fuzz_check.h"

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const int station = data[0];
    const bool write = data[1] & 1;
    const int address = ((data[2] << 8) | data[3]) + 1;
    const modbus::Frame request = write ? modbus::BuildWriteRequest(station, address, 0xFFFF)
                                        : modbus::BuildReadRequest(station, address);
    mbap::MbapClientFraming framing;
    ByteVector out;
    std::string error;
    FUZZ_CHECK(framing.encode(request.data(), request.size(), out, error));
    FUZZ_CHECK(out.size() == request.size() - 2 + mbap::kHeaderLength - 1);

    ByteVector delivered, answer;
    std::size_t i = 4;
    while (i < size) {
        // The byte at i says how many of the following bytes arrive in one read.
        const std::size_t piece = std::min<std::size_t>(1 + data[i] % 64, size - i - 1);
        framing.decode(data + i + 1, piece, delivered, answer);
        i += 1 + piece;
    }
    FUZZ_CHECK(answer.empty());
    if (delivered.empty()) return 0;
    FUZZ_CHECK(modbus::CrcMatches(delivered.data(), delivered.size()));
    FUZZ_CHECK(delivered[0] == station);
    const std::uint8_t function = write ? 6 : 4;
    if (delivered[1] & 0x80) {
        FUZZ_CHECK(delivered.size() == modbus::kExceptionReplyLength);
        FUZZ_CHECK(delivered[1] == (function | 0x80));
        FUZZ_CHECK(delivered[2] != 0x0A && delivered[2] != 0x0B);
    } else {
        FUZZ_CHECK(delivered[1] == function);
        FUZZ_CHECK(delivered.size() ==
                   (write ? modbus::kWriteReplyLength : modbus::kReadReplyLength));
    }
    return 0;
}
