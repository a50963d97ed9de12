#pragma once
// MODBUS-RTU: the binary one-register read (function 4) and write (function 6) frames, the
// CRC, and the receive assembler that ends a reply by its computed length.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "comm/drive_reply.h"

namespace korvane::modbus {

constexpr std::uint8_t kReadInputRegisters = 4;
constexpr std::uint8_t kWriteSingleRegister = 6;
constexpr std::size_t kRequestLength = 8;
constexpr std::size_t kReadReplyLength = 7;
constexpr std::size_t kWriteReplyLength = 8;
constexpr std::size_t kExceptionReplyLength = 5;
constexpr std::size_t kReceiveBufferSize = 100;

using Frame = std::vector<std::uint8_t>;

// Standard MODBUS CRC-16 (0xFFFF start, reflected 0xA001); 0xFFFF for an empty range. It goes
// on the line low byte first.
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t length);
// Appends the CRC of everything in the frame so far.
void AppendCrc(Frame& frame);
// True if the last two bytes are the CRC of the bytes before them.
[[nodiscard]] bool CrcMatches(const std::uint8_t* bytes, std::size_t length);

// Drive addresses are one above the register numbers on the line.
std::uint16_t RegisterOf(int driveAddress);

Frame BuildReadRequest(int station, int address);
Frame BuildWriteRequest(int station, int address, int value);

// Replies as a drive sends them.
Frame BuildReadReply(int station, int value);
Frame BuildWriteReply(int station, int address, int value);
Frame BuildExceptionReply(int station, std::uint8_t function, std::uint8_t code);

// The link error code for a MODBUS exception code.
int ExceptionToError(int code);

struct Expectation {
    int station = 0;
    std::uint8_t function = 0;  // 4 or 6
    std::uint16_t registerAddress = 0;
};

class ModbusAssembler {
public:
    // Starts a new reply; called whenever a request goes out.
    void Expect(const Expectation& expectation);
    // True when this byte completed the reply. Bytes after that, up to the next Expect(), are
    // dropped: they are neither stored nor a second reply.
    bool PushByte(std::uint8_t byte);

    int errorCode() const { return error_; }
    int value() const { return value_; }
    // Part of a reply is in, the rest still to come.
    bool midFrame() const { return !complete_ && length_ > 0; }
    // The station the completed reply names, when its CRC holds; else -1.
    int namedStation() const;
    const std::uint8_t* frame() const { return buffer_.data(); }
    std::size_t frameLength() const { return length_; }

private:
    int Check();
    int CheckNormal();

    Expectation expect_;
    std::array<std::uint8_t, kReceiveBufferSize> buffer_{};
    std::size_t length_ = 0;
    std::size_t expectedLength_ = 0;  // 0 while no request is outstanding
    bool complete_ = false;
    int error_ = kErrNone;
    int value_ = 0;
};

}  // namespace korvane::modbus
