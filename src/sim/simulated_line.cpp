#include "sim/simulated_line.h"

namespace korvane::sim {

bool SimulatedLine::start(std::string& error) {
    unplug();
    if (!pty_.open(error)) return false;
    server_ = std::make_unique<SimServer>(engine_, pty_.masterFd());
    if (server_->start()) return true;
    error = "the simulator thread could not start";
    unplug();
    return false;
}

bool SimulatedLine::start() {
    std::string error;
    return start(error);
}

void SimulatedLine::withEngine(const std::function<void(SimEngine&)>& fn) {
    if (server_) {
        server_->withEngine(fn);
    } else {
        fn(engine_);
    }
}

void SimulatedLine::unplug() {
    if (server_) server_->stop();
    server_.reset();
    pty_.close();
}

std::vector<DriveIdentity> DemoDrives() {
    return {
        {1, 4, 0x020A, 3, 1},   // Elm 3.7kW-4
        {2, 10, 0x0015, 6, 0},  // Juniper 5.5kW-2
        {3, 11, 0x0310, 4, 1},  // Kapok 5.5kW-4
        {4, 5, 0x0312, 5, 1},   // Fir 7.5kW-4
        {5, 7, 0x0501, 2, 0},   // Gum: no data files
    };
}

void StartDemoMotion(SimEngine& engine) {
    constexpr std::uint16_t kFreqCommand = 0x0005, kRunCommand = 0x0006;
    constexpr std::uint16_t kForward = 2, kReverse = 4;
    auto run = [&engine](int station, std::uint16_t freq, std::uint16_t direction) {
        if (SimDrive* d = engine.drive(station)) {
            (void)d->write(kFreqCommand, freq);
            (void)d->write(kRunCommand, direction);
        }
    };
    run(1, 5000, kForward);
    run(2, 3000, kReverse);
    run(4, 4000, kForward);
    if (SimDrive* kapok = engine.drive(3)) (void)kapok->trip(0);
}

}  // namespace korvane::sim
