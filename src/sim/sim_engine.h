#pragma once
// The simulated line: drives behind one responder, reply timing as a real RS-485 line would
// give it, and injected faults. Pure logic driven by the caller's clock (microseconds), so
// tests run it without threads or sleeps; SimServer puts it on a file descriptor.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "sim/responder.h"
#include "sim/sim_drive.h"

namespace korvane::sim {

enum class SimProtocol { Tk485, Modbus };

struct LineSettings {
    int baud = 9600;
    int dataBits = 8;
    int parityBits = 0;     // 1 with odd, even, mark or space parity
    double stopBits = 1.0;  // 1, 1.5 or 2
    double turnaroundMs = 2.0;

    double bitsPerChar() const { return 1 + dataBits + parityBits + stopBits; }
    double charUs() const { return bitsPerChar() * 1e6 / (baud > 0 ? baud : 1); }
};

struct FaultConfig {
    int dropPct = 0;      // replies that never come
    int corruptPct = 0;   // replies with a spoilt checksum or CRC
    int garbagePct = 0;   // replies preceded by a few stray bytes
    std::string nakCode;  // refuse requests with this NAK code or exception ("" = none)
    int nakPct = 100;
    std::set<int> silentStations;
    int delayMs = 0;  // added to every reply, e.g. beyond the master's time-out

    bool operator==(const FaultConfig&) const = default;
};

struct SimConfig {
    SimProtocol protocol = SimProtocol::Tk485;
    LineSettings line;
    FaultConfig faults;
    std::uint32_t seed = 1;
    // Where drives find the data file of their series and version; empty, or no file for a
    // drive, leaves that drive's parameter area permissive.
    std::string dataDir;
    // The silence that ends a MODBUS request; 0: 3.5 characters (at least 1.75 ms). Requests
    // relayed from MODBUS TCP arrive whole and need next to none.
    std::int64_t modbusFrameGapUs = 0;
};

struct SimStats {
    long requests = 0, replies = 0, dropped = 0, corrupted = 0, garbled = 0, refused = 0,
         silent = 0;
};

class SimEngine {
public:
    explicit SimEngine(const SimConfig& config);

    // A drive at the identity's station; replaces one already there. Its parameters come from
    // the configured data directory when a data file fits it.
    SimDrive& addDrive(const DriveIdentity& identity);
    SimDrive* drive(int station);

    void setFaults(const FaultConfig& faults) { config_.faults = faults; }
    const FaultConfig& faults() const { return config_.faults; }
    const SimConfig& config() const { return config_; }
    const SimStats& stats() const { return stats_; }

    // Bytes the master sent, received at `nowUs`.
    void receive(const std::uint8_t* data, std::size_t length, std::int64_t nowUs);
    // Lets time pass without traffic: framing time-outs, drive ramps.
    void idle(std::int64_t nowUs);
    // Reply bytes whose time has come, in order.
    Bytes takeDue(std::int64_t nowUs);
    std::optional<std::int64_t> nextDueUs() const;

private:
    void handle(const SimRequest& request, std::int64_t nowUs);
    void advanceDrives(std::int64_t nowUs);
    bool roll(int pct);

    struct Pending {
        std::int64_t dueUs;
        Bytes bytes;
    };

    SimConfig config_;
    std::unique_ptr<Responder> responder_;
    std::map<int, SimDrive> drives_;
    std::deque<Pending> pending_;
    std::mt19937 rng_;
    std::optional<std::int64_t> physicsUs_;
    SimStats stats_;
};

}  // namespace korvane::sim
