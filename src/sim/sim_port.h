#pragma once
// The "SIM" port: a Port that, when asked to open "SIM", starts the built-in simulated line
// (once, or again when the protocol or baud rate changed) and opens its pty instead.
#include <functional>
#include <memory>

#include "comm/port.h"
#include "sim/simulated_line.h"

namespace korvane::sim {

class SimulatedLineHost {
public:
    // `modbus` tells, at each open, whether the link speaks MODBUS-RTU (else TK485).
    // `prepare` runs on every new line's engine before it serves (e.g. StartDemoMotion).
    // `dataDir` holds the drives' data files (their parameters, ranges and defaults).
    SimulatedLineHost(std::vector<DriveIdentity> drives, std::function<bool()> modbus,
                      std::function<void(SimEngine&)> prepare = {}, std::string dataDir = {});
    ~SimulatedLineHost();
    // The pty path of a line that serves `settings`, or "" with `error` set.
    std::string ensureRunning(const PortSettings& settings, std::string& error);
    SimulatedLine* line() { return line_.get(); }

private:
    std::vector<DriveIdentity> drives_;
    std::function<bool()> modbus_;
    std::function<void(SimEngine&)> prepare_;
    std::string dataDir_;
    std::unique_ptr<SimulatedLine> line_;
    SimConfig running_;
};

class SimAwarePort : public Port {
public:
    using ErrorReport = std::function<void(const std::string& text)>;
    SimAwarePort(std::unique_ptr<Port> inner, SimulatedLineHost& host, ErrorReport report);

    bool Open(const PortSettings& settings, ByteHandler onByte) override;
    bool Start() override { return inner_->Start(); }
    bool Stop() override { return inner_->Stop(); }
    bool SendBytes(const std::uint8_t* data, std::size_t length) override {
        return inner_->SendBytes(data, length);
    }
    bool SendText(const char* text) override { return inner_->SendText(text); }
    bool IsOpen() const override { return inner_->IsOpen(); }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<Port> inner_;
    SimulatedLineHost& host_;
    ErrorReport report_;
};

}  // namespace korvane::sim
