// The telnet decoder fed a server's stream whole and cut in two at a fuzzed place: the data
// and commands must not depend on where TCP happened to cut. Data escaped for sending must
// decode to itself and to no command.
#include <cstddef>
#include <cstdint>

#include "comm/telnet_codec.h"
#include "fuzz_check.h"

using namespace korvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t* stream = data + 1;
    const std::size_t length = size - 1;
    const std::size_t cut = length ? data[0] % (length + 1) : 0;

    telnet::Decoder whole, pieces;
    ByteVector wholeData, piecesData;
    std::vector<telnet::Event> wholeEvents, piecesEvents;
    whole.push(stream, length, wholeData, wholeEvents);
    pieces.push(stream, cut, piecesData, piecesEvents);
    pieces.push(stream + cut, length - cut, piecesData, piecesEvents);
    FUZZ_CHECK(wholeData == piecesData);
    FUZZ_CHECK(wholeEvents == piecesEvents);
    FUZZ_CHECK(wholeData.size() <= length);
    for (const auto& e : wholeEvents) FUZZ_CHECK(e.payload.size() <= telnet::kMaxSubnegotiation);

    ByteVector escaped;
    telnet::AppendEscaped(stream, length, escaped);
    telnet::Decoder plain;
    ByteVector back;
    std::vector<telnet::Event> none;
    plain.push(escaped.data(), escaped.size(), back, none);
    FUZZ_CHECK(none.empty());
    FUZZ_CHECK(back == ByteVector(stream, stream + length));
    return 0;
}
