#pragma once
// The simulator served in-process on a pseudo-terminal, and the drive link on a real
// PosixSerialPort at the other end: the whole communication path without child processes.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "comm/drive_link.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "sim/pty_pair.h"
#include "sim/sim_engine.h"
#include "sim/sim_server.h"

namespace korvane::testing {

class SimLine {
public:
    explicit SimLine(const sim::SimConfig& config) : engine_(config) {}
    ~SimLine() { unplug(); }

    sim::SimEngine& engine() { return engine_; }
    [[nodiscard]] bool start();
    const std::string& path() const { return pty_.slavePath(); }
    void withEngine(const std::function<void(sim::SimEngine&)>& fn);
    // Stops serving and closes the master: the slave side sees an unplugged adapter.
    void unplug();

private:
    sim::SimEngine engine_;
    sim::PtyPair pty_;
    std::unique_ptr<sim::SimServer> server_;
};

class LinkRig {
public:
    LinkRig();
    [[nodiscard]] int open(const std::string& port, int commMode, int baud, int timeoutMs, int tickMs, int retries);
    // Ticks the link and feeds it bytes until done() or the limit; false on the limit.
    bool runUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(60));

    QueueExecutor executor;
    RecordingPrompter prompter;
    CDriveLink link;
};

}  // namespace korvane::testing
