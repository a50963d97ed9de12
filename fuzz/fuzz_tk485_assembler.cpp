// The TK485 receive assembler fed one byte at a time, as the port delivers them. Whatever it
// accepts as a good reply must be a reply the bytes really contain: the frame it reports is a run
// of the input, and every field it hands on is the one written in that run.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "comm/tk485_codec.h"
#include "fuzz_check.h"

using namespace korvane;

namespace {

constexpr char kLetters[] = {'R', 'W', 'X', 'Y'};

int HexField(std::string_view digits) {
    int value = -1;
    FUZZ_CHECK(tk485::ParseHex(digits, value));
    return value;
}

void CheckGoodReply(const tk485::Tk485Assembler& a, const tk485::Expectation& e,
                    std::string_view input) {
    std::string_view frame = a.frame();
    FUZZ_CHECK(input.find(frame) != std::string_view::npos);
    FUZZ_CHECK(frame.size() >= 6);
    FUZZ_CHECK(static_cast<std::uint8_t>(frame.front()) == tk485::kAck);
    FUZZ_CHECK(static_cast<std::uint8_t>(frame.back()) == tk485::kEot);
    std::string_view body = frame.substr(1, frame.size() - 4);
    FUZZ_CHECK(HexField(frame.substr(frame.size() - 3, 2)) == tk485::Checksum(body));
    FUZZ_CHECK(HexField(body.substr(0, 2)) == (e.station & 0xFF));
    FUZZ_CHECK(body[2] == e.letter);
    if (e.letter == 'X') return;
    FUZZ_CHECK(a.wordCount() == e.wordCount);
    FUZZ_CHECK(body.size() == 3 + 4 * static_cast<std::size_t>(e.wordCount));
    for (int i = 0; i < a.wordCount(); ++i)
        FUZZ_CHECK(HexField(body.substr(3 + 4 * static_cast<std::size_t>(i), 4)) == a.values()[i]);
}

// A refusal ends the request without a retry, so it too must be the drive's own, intact NAK.
bool IsDriveVerdict(int error) {
    return error != kErrNone && error != kErrFrame && error != kErrSum;
}

void CheckRefusal(const tk485::Tk485Assembler& a, const tk485::Expectation& e) {
    std::string_view frame = a.frame();
    FUZZ_CHECK(frame.size() >= 8);
    FUZZ_CHECK(static_cast<std::uint8_t>(frame.front()) == tk485::kNak);
    std::string_view body = frame.substr(1, frame.size() - 4);
    FUZZ_CHECK(HexField(frame.substr(frame.size() - 3, 2)) == tk485::Checksum(body));
    FUZZ_CHECK(HexField(body.substr(0, 2)) == (e.station & 0xFF));
    FUZZ_CHECK(body[2] == e.letter);
    FUZZ_CHECK(tk485::NakCodeToError(body.substr(3, 2)) == a.errorCode());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    tk485::Expectation e;
    e.station = data[0];
    e.letter = kLetters[data[1] & 3];
    // The link asks for 1..8 words; the assembler must also refuse what it was never asked.
    e.wordCount = data[2] % (kMaxReplyWords + 2);
    std::string_view input(reinterpret_cast<const char*>(data + 3), size - 3);

    tk485::Tk485Assembler a;
    a.Expect(e);
    for (char c : input) {
        if (!a.PushByte(static_cast<std::uint8_t>(c))) continue;
        FUZZ_CHECK(input.find(a.frame()) != std::string_view::npos);
        if (a.errorCode() == kErrNone) CheckGoodReply(a, e, input);
        if (IsDriveVerdict(a.errorCode())) CheckRefusal(a, e);
    }
    return 0;
}
