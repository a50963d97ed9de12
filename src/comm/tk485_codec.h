#pragma once
// The drives' own ASCII protocol: request frames, reply frames, and the receive assembler that
// turns the byte stream back into one checked reply. Pure functions are exposed so that the
// simulator answers with exactly the bytes this side expects.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "comm/drive_reply.h"

namespace korvane::tk485 {

constexpr std::uint8_t kEnq = 0x05;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;

constexpr std::size_t kReceiveBufferSize = 300;
// An X registers at most this many addresses; a Y returns as many words.
constexpr int kMaxMonitorWords = kMaxReplyWords;

// Sum of the bytes modulo 256, the checksum of request payloads and reply bodies.
std::uint8_t Checksum(std::string_view bytes);

// Reads a run of hexadecimal digits (either case). False if empty, too long for int, or any
// character is not a digit.
[[nodiscard]] bool ParseHex(std::string_view digits, int& value);

// ENQ, payload, two checksum digits, EOT.
std::string WrapRequest(std::string_view payload);

std::string BuildRead(int station, int address);
std::string BuildWrite(int station, int address, int value);
// The X payload alone ("%02XX%01X" and the addresses): the link keeps it per station and
// compares it to see whether the drive must be told again. count is capped at 8.
std::string MonitorRegisterPayload(int station, const int* addresses, int count);
std::string BuildMonitorRegister(int station, const int* addresses, int count);
std::string BuildMonitorRead(int station);

// Replies as a drive sends them (ACK/NAK, body, checksum, EOT).
std::string BuildAckReply(int station, char letter, const int* words, int count);
std::string BuildNakReply(int station, char letter, std::string_view code);

// The link error code for a two-letter NAK code.
int NakCodeToError(std::string_view code);

// What the outstanding request leads us to expect in the reply.
struct Expectation {
    int station = 0;
    char letter = 0;    // 'R', 'W', 'X' or 'Y'
    int wordCount = 0;  // data words after ACK (ignored for X)
};

// Assembles reply bytes. Only a run that starts with ACK or NAK is a reply: anything before it,
// including the EOT of our own request echoed by a two-wire adapter, is dropped unread.
class Tk485Assembler {
public:
    // Forgets any partial reply; called whenever a request goes out.
    void Expect(const Expectation& expectation);
    // True when this byte completed a reply; result() then holds its checked outcome.
    bool PushByte(std::uint8_t byte);

    int errorCode() const { return error_; }
    int wordCount() const { return words_; }
    const std::array<int, kMaxReplyWords>& values() const { return values_; }
    // The station the last complete reply names, when its checksum holds; else -1.
    int namedStation() const;
    // The bytes of the last complete reply (at most the buffer size), for tracing.
    std::string_view frame() const {
        return {reinterpret_cast<const char*>(buffer_.data()), length_};
    }

private:
    int Check() const;
    int CheckData();

    Expectation expect_;
    std::array<std::uint8_t, kReceiveBufferSize> buffer_{};
    std::size_t length_ = 0;
    bool inReply_ = false;
    // The reply ran past the buffer: what is left of it holds no trustworthy checksum.
    bool overflow_ = false;
    int error_ = kErrNone;
    int words_ = 0;
    std::array<int, kMaxReplyWords> values_{};
};

}  // namespace korvane::tk485
