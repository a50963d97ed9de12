// Finding drives: "scan 1-8" and "scan 1-31" with two simulated drives on a pty at 9600 baud,
// normal and quick, in both protocols, at the program's default line settings (1000 ms
// time-out, 3 retries, 30 ms tick). The quick scan is also run against drives that answer
// 90 ms late, which it must still find. Prints the seconds and the drives found; never fails
// on a time. `--quick-only` leaves out the normal scans of 1-31 (minutes each).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "bench_executor.h"
#include "comm/drive_link.h"
#include "comm/posix_serial_port.h"
#include "common/prompter.h"
#include "paradb/drive_record.h"
#include "sim/pty_pair.h"
#include "sim/sim_engine.h"
#include "sim/sim_server.h"

using namespace korvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kTickMs = 30;
constexpr int kBaud = 9600;
constexpr int kTimeoutMs = 1000;
constexpr int kRetries = 3;
const sim::DriveIdentity kDrives[] = {{3, 11, 0x0310, 4, 1}, {17, 4, 0x0100, 3, 1}};

struct Scan {
    const char* ids;
    int last;
    bool quick;
    int delayMs;
};

struct Outcome {
    double seconds = -1;
    std::string found;
};

Outcome RunScan(sim::SimProtocol protocol, Pacing pacing, const Scan& scan) {
    sim::SimConfig config;
    config.protocol = protocol;
    config.line.baud = kBaud;
    config.faults.delayMs = scan.delayMs;
    sim::SimEngine engine(config);
    for (const auto& drive : kDrives) engine.addDrive(drive);
    sim::PtyPair pty;
    std::string error;
    if (!pty.open(error)) {
        std::fprintf(stderr, "scan_bench: %s\n", error.c_str());
        return {};
    }
    sim::SimServer server(engine, pty.masterFd());
    if (!server.start()) return {};

    BenchExecutor executor;
    RecordingPrompter prompter;
    CDriveLink link(executor, [&] {
        return std::make_unique<PosixSerialPort>(executor, ReportThroughPrompter(prompter));
    });
    PortSettings settings;
    settings.portName = pty.slavePath();
    settings.baudRate = kBaud;
    link.SetPacing(pacing);
    const int mode = protocol == sim::SimProtocol::Tk485 ? kCommTk485 : kCommModbus;
    if (link.Open([](int) {}, mode, settings, kTimeoutMs, kTickMs, kRetries) != kLinkOpenOk)
        return {};
    DriveRecords records;
    ConnectionEvents quiet;
    ConnectionManager manager(link, records, quiet,
                              ConnectionConfig{KORVANE_TEST_DATA_DIR, kRetries});
    std::vector<int> ids;
    for (int id = 1; id <= scan.last; ++id) ids.push_back(id);

    const auto start = Clock::now();
    manager.ScanIds(ids, scan.quick);
    auto next = start + std::chrono::milliseconds(kTickMs);
    while (manager.IsScanning() && Clock::now() - start < std::chrono::minutes(10)) {
        if (pacing == Pacing::kFast) {
            executor.drain();
            link.OnTick();
            executor.waitUntil(Clock::now() +
                               std::chrono::microseconds(link.MicrosecondsUntilDue()));
            continue;
        }
        if (Clock::now() >= next) {
            link.OnTick();
            next += std::chrono::milliseconds(kTickMs);
            continue;
        }
        executor.waitUntil(next);
        executor.drain();
    }
    Outcome o;
    if (!manager.IsScanning())
        o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (int station = 1; station <= 255; ++station)
        if (records[station].connected)
            o.found += (o.found.empty() ? "" : ",") + std::to_string(station);
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quickOnly = argc > 1 && std::strcmp(argv[1], "--quick-only") == 0;
    std::printf(
        "Scans with drives at 3 and 17 on a simulated line over a pty, %d baud 8N1, time-out %d "
        "ms, %d retries; quick scan goal: 1-31 in 5 s or less, 90 ms late drives found\n\n",
        kBaud, kTimeoutMs, kRetries);
    std::printf("%-6s %-5s %-5s %-6s %6s %10s  %s\n", "proto", "pace", "ids", "scan", "delay",
                "seconds", "found");
    const Scan scans[] = {
        {"1-8", 8, false, 0},  {"1-31", 31, false, 0}, {"1-8", 8, true, 0},
        {"1-31", 31, true, 0}, {"1-31", 31, true, 90},
    };
    for (auto protocol : {sim::SimProtocol::Tk485, sim::SimProtocol::Modbus}) {
        for (Pacing pacing : {Pacing::kTick, Pacing::kFast}) {
            for (const Scan& scan : scans) {
                if (!scan.quick && (pacing == Pacing::kFast || (quickOnly && scan.last > 8)))
                    continue;
                const Outcome o = RunScan(protocol, pacing, scan);
                std::printf("%-6s %-5s %-5s %-6s %4d ms %10.2f  %s\n",
                            protocol == sim::SimProtocol::Tk485 ? "tk485" : "modbus",
                            pacing == Pacing::kFast ? "fast" : "tick", scan.ids,
                            scan.quick ? "quick" : "normal", scan.delayMs, o.seconds,
                            o.found.empty() ? "-" : o.found.c_str());
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
