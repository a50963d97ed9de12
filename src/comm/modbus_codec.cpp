#include "comm/modbus_codec.h"

namespace korvane::modbus {

namespace {

struct CrcTables {
    std::array<std::uint8_t, 256> hi{};
    std::array<std::uint8_t, 256> lo{};
};

// The usual high/low byte tables, derived from the polynomial instead of typed in.
constexpr CrcTables MakeCrcTables() {
    CrcTables t;
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        t.hi[i] = static_cast<std::uint8_t>(crc >> 8);
        t.lo[i] = static_cast<std::uint8_t>(crc & 0xFF);
    }
    return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

void PutWord(Frame& frame, unsigned word) {
    frame.push_back(static_cast<std::uint8_t>((word >> 8) & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

int GetWord(const std::uint8_t* at) {
    return (at[0] << 8) | at[1];
}

std::uint8_t Station(int station) {
    return static_cast<std::uint8_t>(station & 0xFF);
}

}  // namespace

std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t length) {
    std::uint8_t hi = 0xFF;
    std::uint8_t lo = 0xFF;
    for (std::size_t i = 0; i < length; ++i) {
        std::uint8_t index = lo ^ bytes[i];
        lo = hi ^ kCrc.lo[index];
        hi = kCrc.hi[index];
    }
    return static_cast<std::uint16_t>((hi << 8) | lo);
}

void AppendCrc(Frame& frame) {
    std::uint16_t crc = Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

bool CrcMatches(const std::uint8_t* bytes, std::size_t length) {
    if (length < 2) return false;
    std::uint16_t crc = Crc16(bytes, length - 2);
    return bytes[length - 2] == (crc & 0xFF) && bytes[length - 1] == (crc >> 8);
}

std::uint16_t RegisterOf(int driveAddress) {
    return static_cast<std::uint16_t>((driveAddress - 1) & 0xFFFF);
}

Frame BuildReadRequest(int station, int address) {
    Frame f{Station(station), kReadInputRegisters};
    PutWord(f, RegisterOf(address));
    PutWord(f, 1);
    AppendCrc(f);
    return f;
}

Frame BuildWriteRequest(int station, int address, int value) {
    Frame f{Station(station), kWriteSingleRegister};
    PutWord(f, RegisterOf(address));
    PutWord(f, static_cast<unsigned>(value) & 0xFFFF);
    AppendCrc(f);
    return f;
}

Frame BuildReadReply(int station, int value) {
    Frame f{Station(station), kReadInputRegisters, 2};
    PutWord(f, static_cast<unsigned>(value) & 0xFFFF);
    AppendCrc(f);
    return f;
}

Frame BuildWriteReply(int station, int address, int value) {
    // A write is answered with the echo of its request.
    return BuildWriteRequest(station, address, value);
}

Frame BuildExceptionReply(int station, std::uint8_t function, std::uint8_t code) {
    Frame f{Station(station), static_cast<std::uint8_t>(function | 0x80), code};
    AppendCrc(f);
    return f;
}

int ExceptionToError(int code) {
    switch (code) {
        case 1:
            return kErrIllegalFunction;
        case 2:
            return kErrAddressRange;
        case 3:
            return kErrDataRange;
        case 6:
            return kErrSlaveDevice;
        case 20:
            return kErrWriteMode;
        default:
            return kErrUndefined;
    }
}

void ModbusAssembler::Expect(const Expectation& expectation) {
    expect_ = expectation;
    length_ = 0;
    complete_ = false;
    expectedLength_ =
        expectation.function == kWriteSingleRegister ? kWriteReplyLength : kReadReplyLength;
}

bool ModbusAssembler::PushByte(std::uint8_t byte) {
    if (complete_ || expectedLength_ == 0 || length_ >= buffer_.size()) return false;
    buffer_[length_++] = byte;
    if (length_ == 2 && byte > 0x80) expectedLength_ = kExceptionReplyLength;
    if (length_ < expectedLength_) return false;

    complete_ = true;
    value_ = 0;
    error_ = Check();
    return true;
}

int ModbusAssembler::namedStation() const {
    if (!complete_ || !CrcMatches(buffer_.data(), length_)) return -1;
    return buffer_[0];
}

int ModbusAssembler::Check() {
    if (buffer_[1] > 0x80) {
        if (length_ != kExceptionReplyLength) return kErrFrame;
        if (!CrcMatches(buffer_.data(), length_)) return kErrCrc;
        // Another station's refusal says nothing about our request, which a final error
        // would end unrepeated.
        if (buffer_[0] != Station(expect_.station)) return kErrFrame;
        return ExceptionToError(buffer_[2]);
    }
    return CheckNormal();
}

// The value is kept even when the header is wrong, so a trace shows what actually came back.
int ModbusAssembler::CheckNormal() {
    if (!CrcMatches(buffer_.data(), length_)) return kErrCrc;
    int error = kErrNone;
    if (buffer_[0] != Station(expect_.station) || buffer_[1] != expect_.function) error = kErrFrame;
    if (expect_.function == kReadInputRegisters) {
        if (buffer_[2] != 2) error = kErrFrame;
        value_ = GetWord(&buffer_[3]);
    } else {
        if (GetWord(&buffer_[2]) != expect_.registerAddress) error = kErrFrame;
        value_ = GetWord(&buffer_[4]);
    }
    return error;
}

}  // namespace korvane::modbus
