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
#include "sim/simulated_line.h"

namespace korvane::testing {

// The simulator served in-process on a pty (the same line the app's "SIM" port uses).
using SimLine = sim::SimulatedLine;

class LinkRig {
public:
    LinkRig();
    [[nodiscard]] int open(const std::string& port, int commMode, int baud, int timeoutMs,
                           int tickMs, int retries);
    // Ticks the link and feeds it bytes until done() or the limit; false on the limit.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::seconds limit = std::chrono::seconds(60));

    QueueExecutor executor;
    RecordingPrompter prompter;
    CDriveLink link;
};

}  // namespace korvane::testing
