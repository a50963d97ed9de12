#include "comm/tk485_codec.h"

#include <algorithm>

#include "common/format.h"

namespace korvane::tk485 {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Fixed-width fields: a station or word outside its width would shift every later field.
int Station(int station) {
    return station & 0xFF;
}
int Word(int value) {
    return value & 0xFFFF;
}

std::string WrapReply(std::uint8_t lead, std::string_view body) {
    std::string frame(1, static_cast<char>(lead));
    frame += body;
    frame += strprintf("%02X%c", Checksum(body), kEot);
    return frame;
}

}  // namespace

std::uint8_t Checksum(std::string_view bytes) {
    unsigned sum = 0;
    for (char c : bytes) sum += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>(sum & 0xFF);
}

bool ParseHex(std::string_view digits, int& value) {
    if (digits.empty() || digits.size() > 7) return false;
    int v = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return false;
        v = v * 16 + d;
    }
    value = v;
    return true;
}

std::string WrapRequest(std::string_view payload) {
    std::string frame(1, static_cast<char>(kEnq));
    frame += payload;
    frame += strprintf("%02X%c", Checksum(payload), kEot);
    return frame;
}

std::string BuildRead(int station, int address) {
    return WrapRequest(strprintf("%02XR%04X1", Station(station), Word(address)));
}

std::string BuildWrite(int station, int address, int value) {
    return WrapRequest(strprintf("%02XW%04X1%04X", Station(station), Word(address), Word(value)));
}

std::string MonitorRegisterPayload(int station, const int* addresses, int count) {
    int n = std::clamp(count, 0, kMaxMonitorWords);
    std::string payload = strprintf("%02XX%01X", Station(station), n);
    for (int i = 0; i < n; ++i) payload += strprintf("%04X", Word(addresses[i]));
    return payload;
}

std::string BuildMonitorRegister(int station, const int* addresses, int count) {
    return WrapRequest(MonitorRegisterPayload(station, addresses, count));
}

std::string BuildMonitorRead(int station) {
    return WrapRequest(strprintf("%02XY", Station(station)));
}

std::string BuildAckReply(int station, char letter, const int* words, int count) {
    std::string body = strprintf("%02X%c", Station(station), letter);
    for (int i = 0; i < count; ++i) body += strprintf("%04X", Word(words[i]));
    return WrapReply(kAck, body);
}

std::string BuildNakReply(int station, char letter, std::string_view code) {
    std::string body = strprintf("%02X%c", Station(station), letter);
    body += code;
    return WrapReply(kNak, body);
}

int NakCodeToError(std::string_view code) {
    static constexpr struct {
        const char* code;
        int error;
    } kTable[] = {
        {"IF", kErrIllegalFunction}, {"IA", kErrAddressRange}, {"ID", kErrDataRange},
        {"WM", kErrWriteMode},       {"FE", kErrFrame},        {"TO", kErrDpramTimeout},
        {"DO", kErrDpramOffline},
    };
    for (const auto& entry : kTable)
        if (code == entry.code) return entry.error;
    return kErrUndefined;
}

void Tk485Assembler::Expect(const Expectation& expectation) {
    expect_ = expectation;
    length_ = 0;
    inReply_ = false;
    overflow_ = false;
}

bool Tk485Assembler::PushByte(std::uint8_t byte) {
    if (byte == kAck || byte == kNak) {
        length_ = 0;
        inReply_ = true;
        overflow_ = false;
    }
    if (!inReply_) return false;
    if (length_ < buffer_.size()) {
        buffer_[length_++] = byte;
    } else {
        overflow_ = true;
    }
    if (byte != kEot) return false;

    // Whatever follows this reply up to the next ACK/NAK is noise, not a second reply.
    inReply_ = false;
    values_.fill(0);
    words_ = 0;
    // Checked as it stands, a cut reply would take two digits from its middle for the
    // checksum, and an X or a NAK, which carry no word count, could pass.
    error_ = overflow_ ? kErrFrame : Check();
    if (error_ == kErrNone && buffer_[0] == kAck && expect_.letter != 'X') error_ = CheckData();
    return true;
}

// Checksum first, then the header, then (for NAK) the drive's own verdict.
int Tk485Assembler::Check() const {
    if (length_ < 4) return kErrFrame;  // not even room for the checksum digits
    std::string_view all = frame();
    std::string_view body = all.substr(1, length_ - 4);
    int sum = 0;
    if (!ParseHex(all.substr(length_ - 3, 2), sum) || sum != Checksum(body)) return kErrSum;

    int station = 0;
    if (body.size() < 3 || !ParseHex(body.substr(0, 2), station)) return kErrFrame;
    if (station != (expect_.station & 0xFF) || body[2] != expect_.letter) return kErrFrame;
    if (buffer_[0] == kNak) {
        if (body.size() < 5) return kErrFrame;
        return NakCodeToError(body.substr(3, 2));
    }
    return kErrNone;
}

int Tk485Assembler::namedStation() const {
    if (overflow_ || length_ < 7 || inReply_) return -1;
    std::string_view all = frame();
    std::string_view body = all.substr(1, length_ - 4);
    int sum = 0;
    int station = 0;
    if (!ParseHex(all.substr(length_ - 3, 2), sum) || sum != Checksum(body)) return -1;
    return ParseHex(body.substr(0, 2), station) ? station : -1;
}

// The data must be exactly the expected number of whole words: a reply carrying more or fewer
// would put values under the wrong addresses.
int Tk485Assembler::CheckData() {
    std::string_view data = frame().substr(4, length_ - 7);
    std::size_t whole = std::min<std::size_t>(data.size() / 4, kMaxReplyWords);
    int n = 0;
    for (; n < static_cast<int>(whole); ++n) {
        if (!ParseHex(data.substr(static_cast<std::size_t>(n) * 4, 4), values_[n])) break;
    }
    words_ = n;
    if (expect_.wordCount < 0 || expect_.wordCount > kMaxReplyWords) return kErrFrame;
    if (data.size() != static_cast<std::size_t>(expect_.wordCount) * 4) return kErrFrame;
    if (n != expect_.wordCount) return kErrFrame;
    return kErrNone;
}

}  // namespace korvane::tk485
