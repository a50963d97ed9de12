#pragma once
// The simulator served in-process on a pseudo-terminal: the app's built-in "SIM" port and the
// end-to-end tests talk to it through a real serial port opened on the pty's slave side.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/pty_pair.h"
#include "sim/sim_engine.h"
#include "sim/sim_server.h"

namespace korvane::sim {

class SimulatedLine {
public:
    explicit SimulatedLine(const SimConfig& config) : engine_(config) {}
    ~SimulatedLine() { unplug(); }
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    SimEngine& engine() { return engine_; }
    // Opens the pty and starts serving. `error` tells why not.
    [[nodiscard]] bool start(std::string& error);
    [[nodiscard]] bool start();
    bool running() const { return server_ != nullptr; }
    const std::string& path() const { return pty_.slavePath(); }
    // Runs fn with the engine while the server thread keeps off it.
    void withEngine(const std::function<void(SimEngine&)>& fn);
    // Stops serving and closes the master: the slave side sees an unplugged adapter.
    void unplug();

private:
    SimEngine engine_;
    PtyPair pty_;
    std::unique_ptr<SimServer> server_;
};

// The drives of the built-in line: one each of Elm, Juniper, Kapok and Fir at versions the
// sample data covers, and a Gum drive, which is listed but not supported.
std::vector<DriveIdentity> DemoDrives();
// Puts the demo drives in motion, so a first look shows live values: Elm forward at 50 Hz,
// Juniper in reverse at 30 Hz, Fir forward, and the Kapok drive tripped.
void StartDemoMotion(SimEngine& engine);

}  // namespace korvane::sim
