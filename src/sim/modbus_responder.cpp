#include <cstdlib>

#include "comm/modbus_codec.h"
#include "sim/responder.h"

namespace korvane::sim {

namespace {

constexpr std::size_t kMaxRequest = 256;
constexpr std::size_t kFixedRequest = 8;  // functions 3, 4 and 6
constexpr int kExIllegalFunction = 1, kExIllegalAddress = 2, kExIllegalValue = 3, kExWriteMode = 20;

std::uint16_t be16(const Bytes& f, std::size_t at) {
    return static_cast<std::uint16_t>((f[at] << 8) | f[at + 1]);
}

Bytes exception(const SimRequest& request, int code) {
    Bytes out{static_cast<std::uint8_t>(request.station),
              static_cast<std::uint8_t>(request.command | 0x80), static_cast<std::uint8_t>(code)};
    modbus::AppendCrc(out);
    return out;
}

int exceptionForAccess(Access access) {
    switch (access) {
        case Access::UnknownAddress:
            return kExIllegalAddress;
        case Access::ReadOnly:
            return kExWriteMode;
        case Access::OutOfRange:
            return kExIllegalValue;
        case Access::Ok:
            break;
    }
    return 4;
}

// Registers are the drive's addresses less one, modulo 65536 both ways.
std::uint16_t driveAddress(std::uint16_t reg) {
    return static_cast<std::uint16_t>(reg + 1);
}

}  // namespace

int ModbusResponder::exceptionFor(const std::string& code) {
    if (code == "IF") return kExIllegalFunction;
    if (code == "IA") return kExIllegalAddress;
    if (code == "ID") return kExIllegalValue;
    if (code == "WM") return kExWriteMode;
    char* end = nullptr;
    long number = std::strtol(code.c_str(), &end, 0);
    if (!code.empty() && *end == '\0' && number > 0 && number < 0x80)
        return static_cast<int>(number);
    return 4;
}

std::optional<SimRequest> ModbusResponder::finish() {
    SimRequest request;
    request.frame = std::move(buffer_);
    buffer_.clear();
    if (request.frame.size() < 2) return std::nullopt;
    request.station = request.frame[0];
    request.command = request.frame[1];
    // Station, function and the CRC at the least.
    request.intact =
        request.frame.size() >= 4 && modbus::CrcMatches(request.frame.data(), request.frame.size());
    return request;
}

std::optional<SimRequest> ModbusResponder::push(std::uint8_t byte, std::int64_t nowUs) {
    if (!buffer_.empty() && nowUs - lastByteUs_ > gapUs_) buffer_.clear();  // a stale fragment
    lastByteUs_ = nowUs;
    if (buffer_.size() >= kMaxRequest) buffer_.clear();
    buffer_.push_back(byte);
    if (buffer_.size() < 2) return std::nullopt;
    std::uint8_t function = buffer_[1];
    bool fixed = function == 3 || function == 4 || function == 6;
    if (fixed && buffer_.size() == kFixedRequest) return finish();
    return std::nullopt;
}

std::optional<SimRequest> ModbusResponder::idle(std::int64_t nowUs) {
    if (buffer_.empty() || nowUs - lastByteUs_ <= gapUs_) return std::nullopt;
    return finish();
}

Bytes ModbusResponder::answer(const SimRequest& request, SimDrive& drive) {
    if (!request.intact) return {};  // a slave never answers a frame it cannot trust
    const Bytes& f = request.frame;
    if (request.command == 3 || request.command == 4) {
        if (f.size() != kFixedRequest) return {};
        std::uint16_t first = be16(f, 2), count = be16(f, 4);
        if (count < 1 || count > 8) return exception(request, kExIllegalValue);
        Bytes out{f[0], f[1], static_cast<std::uint8_t>(2 * count)};
        for (std::uint16_t i = 0; i < count; ++i) {
            std::uint16_t value = 0;
            Access access = drive.read(driveAddress(static_cast<std::uint16_t>(first + i)), value);
            if (access != Access::Ok) return exception(request, exceptionForAccess(access));
            out.push_back(static_cast<std::uint8_t>(value >> 8));
            out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        }
        modbus::AppendCrc(out);
        return out;
    }
    if (request.command == 6) {
        if (f.size() != kFixedRequest) return {};
        Access access = drive.write(driveAddress(be16(f, 2)), be16(f, 4));
        if (access != Access::Ok) return exception(request, exceptionForAccess(access));
        Bytes out(f.begin(), f.begin() + 6);
        modbus::AppendCrc(out);
        return out;
    }
    return exception(request, kExIllegalFunction);
}

Bytes ModbusResponder::refuse(const SimRequest& request, const std::string& code) {
    return exception(request, exceptionFor(code));
}

void ModbusResponder::spoilCheck(Bytes& reply) {
    if (!reply.empty()) reply.back() ^= 0x5A;
}

}  // namespace korvane::sim
