#include "integration/sim_line.h"

#include "comm/posix_serial_port.h"

namespace korvane::testing {

LinkRig::LinkRig()
    : link(executor, [this] {
          return std::make_unique<PosixSerialPort>(executor, ReportThroughPrompter(prompter));
      }) {}

int LinkRig::open(const std::string& port, int commMode, int baud, int timeoutMs, int tickMs,
                  int retries) {
    PortSettings s;
    s.portName = port;
    s.baudRate = baud;
    return link.Open([](int) {}, commMode, s, timeoutMs, tickMs, retries);
}

bool LinkRig::runUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    const auto tick = std::chrono::milliseconds(link.TickMs());
    auto next = Clock::now() + tick;
    while (!done()) {
        auto now = Clock::now();
        if (now > deadline) return false;
        if (now >= next) {
            executor.drain();  // bytes that came before the tick count before it
            link.OnTick();
            next = std::max(next + tick, now);
            continue;
        }
        executor.waitAndDrain(std::chrono::duration_cast<std::chrono::milliseconds>(next - now) +
                              std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace korvane::testing
