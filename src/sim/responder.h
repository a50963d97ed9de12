#pragma once
// The drive side of a protocol: frames requests out of the received bytes and builds the
// drives' answers. Written apart from the master's codecs on purpose, so the two check each
// other on the simulated line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_drive.h"

namespace korvane::sim {

using Bytes = std::vector<std::uint8_t>;

struct SimRequest {
    int station = -1;    // -1: the station field could not be read
    int command = 0;     // TK485 letter or MODBUS function code
    bool intact = true;  // checksum or CRC right
    Bytes frame;
};

class Responder {
public:
    virtual ~Responder() = default;
    // Feeds one received byte; returns a request when this byte completed one.
    virtual std::optional<SimRequest> push(std::uint8_t byte, std::int64_t nowUs) = 0;
    // A partial request the line has left silent long enough is finished or dropped here.
    virtual std::optional<SimRequest> idle(std::int64_t /*nowUs*/) { return std::nullopt; }
    // The drive's reply; empty when the drive stays silent.
    virtual Bytes answer(const SimRequest& request, SimDrive& drive) = 0;
    // A refusal with a given code: TK485 NAK letters, or a MODBUS exception (number or the
    // matching TK485 letters).
    virtual Bytes refuse(const SimRequest& request, const std::string& code) = 0;
    // Spoils the checksum or CRC of a reply so that only the check fails.
    virtual void spoilCheck(Bytes& reply) = 0;
};

class Tk485Responder : public Responder {
public:
    std::optional<SimRequest> push(std::uint8_t byte, std::int64_t nowUs) override;
    Bytes answer(const SimRequest& request, SimDrive& drive) override;
    Bytes refuse(const SimRequest& request, const std::string& code) override;
    void spoilCheck(Bytes& reply) override;

    static constexpr std::uint8_t kEnq = 0x05, kEot = 0x04, kAck = 0x06, kNak = 0x15;

private:
    Bytes readWords(const SimRequest& request, SimDrive& drive,
                    const std::vector<std::uint16_t>& addresses);
    Bytes write(const SimRequest& request, SimDrive& drive, const std::string& body);
    Bytes registerMonitor(const SimRequest& request, SimDrive& drive, const std::string& body);

    Bytes buffer_;
    bool collecting_ = false;
    std::vector<std::uint16_t> registered_[256];  // per station, the addresses of the last X
};

class ModbusResponder : public Responder {
public:
    // `gapUs`: the silence after which a partial frame is finished (3.5 characters).
    explicit ModbusResponder(std::int64_t gapUs) : gapUs_(gapUs) {}
    std::optional<SimRequest> push(std::uint8_t byte, std::int64_t nowUs) override;
    std::optional<SimRequest> idle(std::int64_t nowUs) override;
    Bytes answer(const SimRequest& request, SimDrive& drive) override;
    Bytes refuse(const SimRequest& request, const std::string& code) override;
    void spoilCheck(Bytes& reply) override;

    // The exception for a code given as a number or as TK485 NAK letters; 4 when unknown.
    static int exceptionFor(const std::string& code);

private:
    std::optional<SimRequest> finish();

    std::int64_t gapUs_;
    Bytes buffer_;
    std::int64_t lastByteUs_ = 0;
};

}  // namespace korvane::sim
