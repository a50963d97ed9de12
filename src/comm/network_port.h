#pragma once
// The port the link opens for a port name: the serial port for a device, a socket port with
// the right framing for tcp://, rfc2217:// and modbus-tcp:// addresses.
#include <memory>

#include "comm/port_worker.h"
#include "comm/stream_framing.h"

namespace korvane {

class Executor;
enum class PortTransport;

std::unique_ptr<StreamFraming> MakeFraming(PortTransport transport);

class NetworkAwarePort : public Port {
public:
    NetworkAwarePort(Executor& executor, PortErrorReport report, std::unique_ptr<Port> serial);
    ~NetworkAwarePort() override;

    [[nodiscard]] bool Open(const PortSettings& settings, ByteHandler onByte) override;
    [[nodiscard]] bool Start() override { return active().Start(); }
    bool Stop() override { return active().Stop(); }
    [[nodiscard]] bool SendBytes(const std::uint8_t* data, std::size_t length) override {
        return active().SendBytes(data, length);
    }
    [[nodiscard]] bool SendText(const char* text) override { return active().SendText(text); }
    bool IsOpen() const override { return network_ ? network_->IsOpen() : serial_->IsOpen(); }
    void Close() override;

private:
    Port& active() { return network_ ? *network_ : *serial_; }

    Executor& executor_;
    PortErrorReport report_;
    std::unique_ptr<Port> serial_;
    std::unique_ptr<Port> network_;  // while a network address is open
};

}  // namespace korvane
