// Exchanges per second over the simulated line: the drive link on a real port, the
// simulator behind a pseudo-terminal with its line timing, in both pacings (the link's own 30 ms
// tick, and fast: the next request as soon as the line is idle). Printed beside the ceilings:
// one exchange per tick, what the line itself can carry, and the line with the minimum gap
// before each request.
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "bench_executor.h"
#include "comm/drive_link.h"
#include "comm/modbus_codec.h"
#include "comm/network_port.h"
#include "comm/posix_serial_port.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "sim/pty_pair.h"
#include "sim/sim_engine.h"
#include "sim/sim_server.h"
#include "sim/tcp_relay.h"

#ifdef KORVANE_HAVE_LIBMODBUS
#include <modbus.h>
#endif

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

// How the simulator is reached: its pseudo-terminal, raw TCP on the loopback (a serial device
// server in front of the same line), or MODBUS TCP (a gateway: no line time at all).
enum class Serve { Pty, RawTcp, ModbusTcp };

// One simulated drive, served until destroyed.
class SimulatedLine {
public:
    SimulatedLine(sim::SimProtocol protocol, int baud, Serve serve = Serve::Pty)
        : engine_(configFor(protocol, baud, serve)) {
        engine_.addDrive({1, 4, 0x0100, 3, 1});
        std::string error;
        int fd = -1;
        if (serve == Serve::Pty) {
            if (!pty_.open(error)) {
                std::fprintf(stderr, "line_bench: %s\n", error.c_str());
                return;
            }
            fd = pty_.masterFd();
            path_ = pty_.slavePath();
        } else {
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair_) != 0)
                return;
            relay_ = std::make_unique<sim::TcpRelay>(
                serve == Serve::RawTcp ? sim::TcpRelay::Mode::Raw : sim::TcpRelay::Mode::ModbusTcp,
                pair_[1]);
            if (!relay_->listen({PortTransport::RawTcp, "127.0.0.1", 0}, error) ||
                !relay_->start()) {
                std::fprintf(stderr, "line_bench: %s\n", error.c_str());
                return;
            }
            fd = pair_[0];
            path_ = (serve == Serve::RawTcp ? "tcp://" : "modbus-tcp://") + relay_->boundAddress();
        }
        server_ = std::make_unique<sim::SimServer>(engine_, fd);
        if (!server_->start()) server_.reset();
    }
    ~SimulatedLine() {
        if (relay_) relay_->stop();
        server_.reset();
        for (int fd : pair_)
            if (fd >= 0) ::close(fd);
    }
    bool up() const { return server_ != nullptr; }
    std::string path() const { return path_; }

private:
    static sim::SimConfig configFor(sim::SimProtocol protocol, int baud, Serve serve) {
        sim::SimConfig config;
        config.protocol = protocol;
        config.line.baud = baud;
        config.line.turnaroundMs = kTurnaroundMs;
        if (serve == Serve::ModbusTcp) {
            config.line.baud = 4000000;
            config.line.turnaroundMs = 0;
            config.modbusFrameGapUs = 100;
        }
        return config;
    }
    sim::SimEngine engine_;
    sim::PtyPair pty_;
    int pair_[2] = {-1, -1};
    std::unique_ptr<sim::TcpRelay> relay_;
    std::unique_ptr<sim::SimServer> server_;
    std::string path_;
};

#ifdef KORVANE_HAVE_LIBMODBUS
// libmodbus reading the same register back to back on the same simulated line.
Measured runLibmodbus(int baud) {
    Measured m;
    SimulatedLine line(sim::SimProtocol::Modbus, baud);
    if (!line.up()) return m;
    modbus_t* ctx = modbus_new_rtu(line.path().c_str(), baud, 'N', 8, 1);
    if (ctx == nullptr) return m;
    modbus_set_slave(ctx, 1);
    modbus_set_response_timeout(ctx, 1, 0);
    if (modbus_connect(ctx) == -1) {
        modbus_free(ctx);
        return m;
    }
    const int reg = modbus::RegisterOf(0x0003);
    std::uint16_t value = 0;
    auto readFor = [&](Clock::duration d, long& good) {
        const auto end = Clock::now() + d;
        while (Clock::now() < end) {
            if (modbus_read_input_registers(ctx, reg, 1, &value) == 1) {
                ++good;
            } else {
                ++m.failures;
            }
        }
    };
    long warm = 0, good = 0;
    readFor(std::chrono::milliseconds(300), warm);
    const auto from = Clock::now();
    readFor(kRunTime, good);
    m.perSecond =
        static_cast<double>(good) / std::chrono::duration<double>(Clock::now() - from).count();
    m.ran = true;
    modbus_close(ctx);
    modbus_free(ctx);
    return m;
}
#endif

Measured run(const Case& c, int baud, Pacing pacing, Serve serve = Serve::Pty) {
    Measured m;
    SimulatedLine line(c.protocol, baud, serve);
    if (!line.up()) return m;

    BenchExecutor executor;
    RecordingPrompter prompter;
    CDriveLink link(executor, [&] {
        auto report = ReportThroughPrompter(prompter);
        return std::make_unique<NetworkAwarePort>(
            executor, report, std::make_unique<PosixSerialPort>(executor, report));
    });
    PortSettings settings;
    settings.portName = line.path();
    settings.baudRate = baud;
    link.SetPacing(pacing);
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
        if (pacing == Pacing::kFast) {
            executor.drain();
            link.OnTick();
            executor.waitUntil(Clock::now() +
                               std::chrono::microseconds(link.MicrosecondsUntilDue()));
            executor.drain();
            continue;
        }
        if (now >= next) {
            link.OnTick();
            next += std::chrono::milliseconds(kTickMs);
            continue;
        }
        executor.waitUntil(next);
        executor.drain();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - measureFrom).count();
    m.perSecond = static_cast<double>(counter.good - goodAtStart) / seconds;
    m.failures = counter.bad;
    m.ran = true;
    if (c.kind == Kind::MonitorRead) link.RemoveListener(1, &counter);
    return m;
}

// The same line reached over the loopback: raw TCP (a device server in front of the line)
// against the pseudo-terminal at 38400 baud, and MODBUS TCP, where no line time is left.
void networkRows(const Case (&cases)[4]) {
    std::printf("\nFast pacing over the loopback (%lld s per case)\n\n",
                static_cast<long long>(kRunTime.count()));
    std::printf("%-18s %-12s %9s %9s %7s %5s\n", "exchange", "transport", "pty/s", "tcp/s", "%pty",
                "fail");
    for (const Case& c : cases) {
        if (c.kind != Kind::Read) continue;
        Measured pty = run(c, 38400, Pacing::kFast, Serve::Pty);
        Measured tcp = run(c, 38400, Pacing::kFast, Serve::RawTcp);
        std::printf("%-18s %-12s %9.1f %9.1f %6.1f%% %5ld\n", c.name, "raw TCP", pty.perSecond,
                    tcp.perSecond, pty.perSecond > 0 ? 100.0 * tcp.perSecond / pty.perSecond : 0.0,
                    pty.failures + tcp.failures);
        if (c.commMode != kCommModbus) continue;
        Measured mbap = run(c, 38400, Pacing::kFast, Serve::ModbusTcp);
        std::printf("%-18s %-12s %9s %9.1f %7s %5ld\n", c.name, "MODBUS TCP", "-", mbap.perSecond,
                    "-", mbap.failures);
    }
    std::printf(
        "\nraw TCP runs the simulated line at 38400 baud behind the relay; MODBUS TCP has\n"
        "no line time (the simulator answers at once), so it measures the link and the\n"
        "loopback alone.\n");
}

}  // namespace

int main() {
    const int words8[8] = {};
    const int one[1] = {0x1234};
    const Case cases[] = {
        {"TK485 R", sim::SimProtocol::Tk485, kCommTk485, Kind::Read, tk485::BuildRead(1, 3).size(),
         tk485::BuildAckReply(1, 'R', one, 1).size()},
        {"TK485 W", sim::SimProtocol::Tk485, kCommTk485, Kind::Write,
         tk485::BuildWrite(1, 5, 1234).size(), tk485::BuildAckReply(1, 'W', one, 1).size()},
        {"TK485 Y (8 words)", sim::SimProtocol::Tk485, kCommTk485, Kind::MonitorRead,
         tk485::BuildMonitorRead(1).size(), tk485::BuildAckReply(1, 'Y', words8, 8).size()},
        {"MODBUS R", sim::SimProtocol::Modbus, kCommModbus, Kind::Read,
         modbus::BuildReadRequest(1, 3).size(), modbus::BuildReadReply(1, 0x1234).size()},
    };
    const double tickBound = 1000.0 / kTickMs;
    std::printf(
        "Exchanges per second over the simulated line (pty, 8N1 = 10 bits per character,\n"
        "turnaround %.0f ms, link tick %d ms, %lld s per case)\n\n",
        kTurnaroundMs, kTickMs, static_cast<long long>(kRunTime.count()));
    std::printf("%-18s %6s %9s %7s %7s %7s %7s %7s %7s %6s %6s %5s %9s\n", "exchange", "baud",
                "chars q+r", "line/s", "+gap/s", "tick/s", "both/s", "tick", "fast", "%line",
                "%+gap", "fail", "libmodbus");
    for (int baud : {9600, 38400}) {
        for (const Case& c : cases) {
            const double lineMs =
                static_cast<double>(c.requestChars + c.replyChars) * 10.0 * 1000.0 / baud +
                kTurnaroundMs;
            PortSettings s;
            s.baudRate = baud;
            const double gapMs = static_cast<double>(MinimumGapUs(c.commMode, s)) / 1000.0;
            // The next exchange starts on the first tick after the reply is in.
            const double bothBound = 1000.0 / (kTickMs * std::ceil(lineMs / kTickMs));
            Measured tick = run(c, baud, Pacing::kTick);
            Measured fast = run(c, baud, Pacing::kFast);
            auto rate = [](const Measured& m) {
                return m.ran ? std::to_string(m.perSecond).substr(0, 5) : std::string("n/a");
            };
            Measured other;
#ifdef KORVANE_HAVE_LIBMODBUS
            if (c.commMode == kCommModbus && c.kind == Kind::Read) other = runLibmodbus(baud);
#endif
            std::printf(
                "%-18s %6d %4zu+%-4zu %7.1f %7.1f %7.1f %7.1f %7s %7s %5.0f%% %5.0f%% %5ld %9s\n",
                c.name, baud, c.requestChars, c.replyChars, 1000.0 / lineMs,
                1000.0 / (lineMs + gapMs), tickBound, bothBound, rate(tick).c_str(),
                rate(fast).c_str(), 100.0 * fast.perSecond * lineMs / 1000.0,
                100.0 * fast.perSecond * (lineMs + gapMs) / 1000.0, tick.failures + fast.failures,
                rate(other).c_str());
        }
    }
    std::printf(
        "\nline: the line's own ceiling; +gap: with the minimum silence before each request\n"
        "(MODBUS 3.5 characters, at least 1.75 ms; TK485 one character); both: the tick bound\n"
        "with each exchange rounded up to whole ticks. tick and fast are measured exchanges per\n"
        "second in each pacing; %%line and %%+gap are fast against those two ceilings;\n"
        "libmodbus reads the same register back to back (when the benchmark was built with it).\n"
        "A monitor read (Y) returns 8 words per exchange.\n");
    networkRows(cases);
    return 0;
}
