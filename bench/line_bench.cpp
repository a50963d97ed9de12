// Exchanges per second over the simulated line: the drive link on a real PosixSerialPort, the
// simulator behind a pseudo-terminal with its line timing, the link's own 30 ms tick. Printed
// beside the two ceilings: one exchange per tick, and what the line itself can carry.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "comm/modbus_codec.h"
#include "comm/posix_serial_port.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "sim/pty_pair.h"
#include "sim/sim_engine.h"
#include "sim/sim_server.h"

using namespace korvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kTickMs = 30;
constexpr double kTurnaroundMs = 2.0;
constexpr auto kRunTime = std::chrono::seconds(3);

enum class Kind { Read, Write, MonitorRead };

struct Case {
    const char* name;
    sim::SimProtocol protocol;
    int commMode;
    Kind kind;
    std::size_t requestChars;
    std::size_t replyChars;
};

class Counter : public ReplySink, public MonitorListener {
public:
    void OnDriveReply(int, const DriveReply& r) override { count(r); }
    void OnDriveMonitor(int, const DriveReply& r) override {
        if (r.command == 'Y' || r.command == 'R') count(r);
    }
    long good = 0, bad = 0, outstanding = 0;

private:
    void count(const DriveReply& r) {
        if (r.errorCode == kErrNone) {
            ++good;
            --outstanding;
        } else if (r.errorCode >= kErrIllegalFunction && r.errorCode <= kErrWriteMode) {
            ++bad;
            --outstanding;
        } else if (r.errorCode == kErrRetriesExhausted) {
            ++bad;
            --outstanding;
        }
    }
};

struct Measured {
    double perSecond = 0;
    long failures = 0;
    bool ran = false;
};

Measured run(const Case& c, int baud) {
    Measured m;
    sim::SimConfig config;
    config.protocol = c.protocol;
    config.line.baud = baud;
    config.line.turnaroundMs = kTurnaroundMs;
    sim::SimEngine engine(config);
    engine.addDrive({1, 4, 0x0100, 3, 1});
    sim::PtyPair pty;
    std::string error;
    if (!pty.open(error)) {
        std::fprintf(stderr, "line_bench: %s\n", error.c_str());
        return m;
    }
    sim::SimServer server(engine, pty.masterFd());
    if (!server.start()) return m;

    QueueExecutor executor;
    RecordingPrompter prompter;
    CDriveLink link(executor, [&] { return std::make_unique<PosixSerialPort>(executor, ReportThroughPrompter(prompter)); });
    PortSettings settings;
    settings.portName = pty.slavePath();
    settings.baudRate = baud;
    if (link.Open([](int) {}, c.commMode, settings, 1000, kTickMs, 3) != kLinkOpenOk) return m;

    Counter counter;
    const int monitored[] = {0x0005, 0x0006, 0x0007, 0x0008, 0x0009, 0x000A, 0x000E, 0x0000};
    if (c.kind == Kind::MonitorRead) {
        (void)link.AddMonitorAddresses(1, monitored, 8);
        link.AddListener(1, &counter);
        link.SetPollRange(1, 1);
    }
    auto topUp = [&] {
        while (c.kind != Kind::MonitorRead && counter.outstanding < 4) {
            if (c.kind == Kind::Read) {
                link.QueueRead(1, 0x0003, &counter);
            } else {
                link.QueueWrite(1, 0x0005, 1234, &counter);
            }
            ++counter.outstanding;
        }
    };

    // The first exchanges (and the monitor registration) are not counted.
    const auto warmUp = std::chrono::milliseconds(300);
    const auto start = Clock::now();
    bool measuring = false;
    long goodAtStart = 0;
    Clock::time_point measureFrom;
    auto next = start + std::chrono::milliseconds(kTickMs);
    for (;;) {
        auto now = Clock::now();
        if (!measuring && now - start >= warmUp) {
            measuring = true;
            goodAtStart = counter.good;
            measureFrom = now;
        }
        if (measuring && now - measureFrom >= kRunTime) break;
        topUp();
        if (now >= next) {
            link.OnTick();
            next += std::chrono::milliseconds(kTickMs);
            continue;
        }
        executor.waitAndDrain(std::chrono::duration_cast<std::chrono::milliseconds>(next - now) +
                              std::chrono::milliseconds(1));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - measureFrom).count();
    m.perSecond = static_cast<double>(counter.good - goodAtStart) / seconds;
    m.failures = counter.bad;
    m.ran = true;
    if (c.kind == Kind::MonitorRead) link.RemoveListener(1, &counter);
    return m;
}

}  // namespace

int main() {
    const int words8[8] = {};
    const int one[1] = {0x1234};
    const Case cases[] = {
        {"TK485 R", sim::SimProtocol::Tk485, kCommTk485, Kind::Read, tk485::BuildRead(1, 3).size(),
         tk485::BuildAckReply(1, 'R', one, 1).size()},
        {"TK485 W", sim::SimProtocol::Tk485, kCommTk485, Kind::Write, tk485::BuildWrite(1, 5, 1234).size(),
         tk485::BuildAckReply(1, 'W', one, 1).size()},
        {"TK485 Y (8 words)", sim::SimProtocol::Tk485, kCommTk485, Kind::MonitorRead,
         tk485::BuildMonitorRead(1).size(), tk485::BuildAckReply(1, 'Y', words8, 8).size()},
        {"MODBUS R", sim::SimProtocol::Modbus, kCommModbus, Kind::Read, modbus::BuildReadRequest(1, 3).size(),
         modbus::BuildReadReply(1, 0x1234).size()},
    };
    const double tickBound = 1000.0 / kTickMs;
    std::printf("Exchanges per second over the simulated line (pty, 8N1 = 10 bits per character,\n"
                "turnaround %.0f ms, link tick %d ms, %lld s per case)\n\n",
                kTurnaroundMs, kTickMs, static_cast<long long>(kRunTime.count()));
    std::printf("%-18s %6s %11s %12s %12s %11s %10s %9s\n", "exchange", "baud", "chars q+r", "line bound/s",
                "tick bound/s", "both/s", "measured/s", "failures");
    for (int baud : {9600, 38400}) {
        for (const Case& c : cases) {
            const double lineMs = static_cast<double>(c.requestChars + c.replyChars) * 10.0 * 1000.0 / baud +
                                  kTurnaroundMs;
            // The next exchange starts on the first tick after the reply is in.
            const double bothBound = 1000.0 / (kTickMs * std::ceil(lineMs / kTickMs));
            Measured m = run(c, baud);
            std::printf("%-18s %6d %5zu+%-5zu %12.1f %12.1f %11.1f %10s %9ld\n", c.name, baud, c.requestChars,
                        c.replyChars, 1000.0 / lineMs, tickBound, bothBound,
                        m.ran ? std::to_string(m.perSecond).substr(0, 5).c_str() : "n/a", m.failures);
        }
    }
    std::printf("\n\"both\" is the tick bound with each exchange rounded up to whole ticks of line time.\n"
                "A monitor read (Y) returns 8 words per exchange.\n");
    return 0;
}
