#include "sim/sim_port.h"

#include "comm/port_enumeration.h"

namespace korvane::sim {
namespace {

SimConfig ConfigFor(const PortSettings& s, bool modbus) {
    SimConfig c;
    c.protocol = modbus ? SimProtocol::Modbus : SimProtocol::Tk485;
    c.line.baud = s.baudRate;
    c.line.dataBits = s.dataBits;
    c.line.parityBits = s.parity == Parity::None ? 0 : 1;
    c.line.stopBits = s.stopBits == StopBits::One ? 1.0 : s.stopBits == StopBits::Two ? 2.0 : 1.5;
    return c;
}

bool SameLine(const SimConfig& a, const SimConfig& b) {
    return a.protocol == b.protocol && a.line.baud == b.line.baud &&
           a.line.dataBits == b.line.dataBits && a.line.parityBits == b.line.parityBits &&
           a.line.stopBits == b.line.stopBits;
}

}  // namespace

SimulatedLineHost::SimulatedLineHost(std::vector<DriveIdentity> drives,
                                     std::function<bool()> modbus,
                                     std::function<void(SimEngine&)> prepare, std::string dataDir)
    : drives_(std::move(drives)),
      modbus_(std::move(modbus)),
      prepare_(std::move(prepare)),
      dataDir_(std::move(dataDir)) {}

SimulatedLineHost::~SimulatedLineHost() = default;

std::string SimulatedLineHost::ensureRunning(const PortSettings& settings, std::string& error) {
    SimConfig wanted = ConfigFor(settings, modbus_ && modbus_());
    wanted.dataDir = dataDir_;
    if (line_ && line_->running() && SameLine(wanted, running_)) return line_->path();
    line_.reset();
    line_ = std::make_unique<SimulatedLine>(wanted);
    for (const auto& d : drives_) line_->engine().addDrive(d);
    if (prepare_) prepare_(line_->engine());
    if (!line_->start(error)) {
        line_.reset();
        return {};
    }
    running_ = wanted;
    return line_->path();
}

SimAwarePort::SimAwarePort(std::unique_ptr<Port> inner, SimulatedLineHost& host, ErrorReport report)
    : inner_(std::move(inner)), host_(host), report_(std::move(report)) {}

bool SimAwarePort::Open(const PortSettings& settings, ByteHandler onByte) {
    if (settings.portName != kSimulatedPortName) return inner_->Open(settings, std::move(onByte));
    std::string error;
    PortSettings onPty = settings;
    onPty.portName = host_.ensureRunning(settings, error);
    if (onPty.portName.empty()) {
        if (report_) report_("The simulated line could not start: " + error);
        return false;
    }
    return inner_->Open(onPty, std::move(onByte));
}

}  // namespace korvane::sim
