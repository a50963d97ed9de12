// korvane-sim: simulated drives on a pseudo-terminal or a real serial port.
#include <fcntl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/posix_serial_port.h"
#include "paradb/data_dir.h"
#include "sim/pty_pair.h"
#include "sim/sim_commands.h"
#include "sim/sim_server.h"
#include "sim/tcp_relay.h"

#ifndef KORVANE_DEFAULT_DATA_DIR
#define KORVANE_DEFAULT_DATA_DIR "Data"
#endif
#ifndef KORVANE_INSTALLED_DATA_DIR
#define KORVANE_INSTALLED_DATA_DIR "/usr/share/korvane/Data"
#endif

using namespace korvane;
using namespace korvane::sim;

namespace {

const char kUsage[] =
    "usage: korvane-sim [--pty | --port PATH | --tcp [HOST:]PORT | --rfc2217 [HOST:]PORT\n"
    "                   | --modbus-tcp [HOST:]PORT]\n"
    "                   [--protocol tk485|modbus] [--baud N]\n"
    "                   [--parity none|odd|even|mark|space] [--data-bits N] [--stop-bits 1|1.5|2]\n"
    "                   [--turnaround MS] [--drive STATION:SERIES:VERSION:CAPACITY:VOLTAGE ...]\n"
    "                   [--drop PCT] [--corrupt PCT] [--garbage PCT] [--nak CODE] [--silent "
    "STATION]\n"
    "                   [--delay MS] [--seed N] [--data-dir DIR]\n"
    "A drive whose series and version have a data file under DIR (default: ";
const char kUsageAfterDataDir[] =
    ")\n"
    "holds that file's parameters, defaults, ranges and write permissions; --data-dir \"\" keeps\n"
    "every drive permissive.\n"
    "With --pty the first line of output is \"PTY <path>\"; with --tcp, --rfc2217 and "
    "--modbus-tcp\n"
    "(bound to 127.0.0.1 unless HOST is given, PORT 0 for any free port) it is the port name to\n"
    "connect to, \"tcp://HOST:PORT\", \"rfc2217://HOST:PORT\" or \"modbus-tcp://HOST:PORT\".\n"
    "--rfc2217 takes the serial settings a client asks for and leaves the line as it is.\n"
    "Serves until killed or standard input closes; lines on standard input change faults while\n"
    "serving:\n  ";

std::string defaultDataDir() {
    return DefaultDataDir(KORVANE_DEFAULT_DATA_DIR, KORVANE_INSTALLED_DATA_DIR);
}

SimConfig withDefaultDataDir() {
    SimConfig config;
    config.dataDir = defaultDataDir();
    return config;
}

struct Options {
    bool pty = true;
    std::string port;
    std::optional<PortAddress> listen;  // --tcp, --rfc2217 or --modbus-tcp
    TcpRelay::Mode relay = TcpRelay::Mode::Raw;
    SimConfig sim = withDefaultDataDir();
    PortSettings line;  // parity, data and stop bits for a real port
    std::vector<DriveIdentity> drives;
};

// The relay hands each MBAP request to the line in one write: a short silence ends it.
constexpr std::int64_t kRelayedFrameGapUs = 100;

int usage(const std::string& problem) {
    if (!problem.empty()) std::cerr << "korvane-sim: " << problem << "\n";
    std::cerr << kUsage << defaultDataDir() << kUsageAfterDataDir << SimCommandHelp() << "\n";
    return 2;
}

bool parse(int argc, char** argv, Options& o, std::string& problem) {
    std::vector<std::string> faultCommands;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) return nullptr;
            return argv[++i];
        };
        auto number = [&](long low, long high, long& out) {
            const char* v = value();
            auto n = v ? ParseNumber(v, low, high) : std::nullopt;
            if (!n) return false;
            out = *n;
            return true;
        };
        long n = 0;
        if (a == "--pty") {
            o.pty = true;
        } else if (a == "--port") {
            const char* v = value();
            if (!v) return problem = "--port needs a path", false;
            o.pty = false;
            o.port = v;
        } else if (a == "--tcp" || a == "--rfc2217" || a == "--modbus-tcp") {
            const char* v = value();
            std::string error;
            o.listen = v ? ParseListenAddress(v, error) : std::nullopt;
            if (!o.listen)
                return problem = a + " is [HOST:]PORT" + (error.empty() ? "" : ": " + error), false;
            o.relay = a == "--modbus-tcp" ? TcpRelay::Mode::ModbusTcp
                      : a == "--rfc2217"  ? TcpRelay::Mode::Rfc2217
                                          : TcpRelay::Mode::Raw;
            o.pty = false;
        } else if (a == "--protocol") {
            const char* v = value();
            std::string p = v ? v : "";
            if (p == "tk485")
                o.sim.protocol = SimProtocol::Tk485;
            else if (p == "modbus")
                o.sim.protocol = SimProtocol::Modbus;
            else
                return problem = "--protocol is tk485 or modbus", false;
        } else if (a == "--baud") {
            if (!number(1, 4000000, n)) return problem = "bad --baud", false;
            o.sim.line.baud = static_cast<int>(n);
            o.line.baudRate = static_cast<int>(n);
        } else if (a == "--parity") {
            const char* v = value();
            std::string p = v ? v : "";
            static const std::pair<const char*, Parity> kParities[] = {{"none", Parity::None},
                                                                       {"odd", Parity::Odd},
                                                                       {"even", Parity::Even},
                                                                       {"mark", Parity::Mark},
                                                                       {"space", Parity::Space}};
            bool found = false;
            for (const auto& [name, parity] : kParities) {
                if (p == name) o.line.parity = parity, found = true;
            }
            if (!found) return problem = "bad --parity", false;
            o.sim.line.parityBits = o.line.parity == Parity::None ? 0 : 1;
        } else if (a == "--data-bits") {
            if (!number(5, 8, n)) return problem = "--data-bits is 5..8", false;
            o.sim.line.dataBits = static_cast<int>(n);
            o.line.dataBits = static_cast<int>(n);
        } else if (a == "--stop-bits") {
            const char* v = value();
            std::string s = v ? v : "";
            if (s == "1")
                o.line.stopBits = StopBits::One, o.sim.line.stopBits = 1;
            else if (s == "1.5")
                o.line.stopBits = StopBits::OnePointFive, o.sim.line.stopBits = 1.5;
            else if (s == "2")
                o.line.stopBits = StopBits::Two, o.sim.line.stopBits = 2;
            else
                return problem = "--stop-bits is 1, 1.5 or 2", false;
        } else if (a == "--turnaround") {
            if (!number(0, 10000, n)) return problem = "bad --turnaround", false;
            o.sim.line.turnaroundMs = static_cast<double>(n);
        } else if (a == "--drive") {
            const char* v = value();
            auto id = v ? ParseDriveSpec(v) : std::nullopt;
            if (!id) return problem = "--drive is STATION:SERIES:VERSION:CAPACITY:VOLTAGE", false;
            o.drives.push_back(*id);
        } else if (a == "--data-dir") {
            const char* v = value();
            if (!v) return problem = "--data-dir needs a directory", false;
            o.sim.dataDir = v;
        } else if (a == "--seed") {
            if (!number(0, 0xFFFFFFFFL, n)) return problem = "bad --seed", false;
            o.sim.seed = static_cast<std::uint32_t>(n);
        } else if (a == "--drop" || a == "--corrupt" || a == "--garbage" || a == "--nak" ||
                   a == "--silent" || a == "--delay") {
            const char* v = value();
            if (!v) return problem = a + " needs a value", false;
            faultCommands.push_back(a.substr(2) + " " + v);
        } else if (a == "--help" || a == "-h") {
            return problem.clear(), false;
        } else {
            return problem = "unknown option " + a, false;
        }
    }
    if (o.drives.empty()) o.drives.push_back(DriveIdentity{});
    // A MODBUS TCP gateway has MODBUS drives behind it.
    if (o.relay == TcpRelay::Mode::ModbusTcp) {
        o.sim.protocol = SimProtocol::Modbus;
        o.sim.modbusFrameGapUs = kRelayedFrameGapUs;
    }
    SimEngine probe(o.sim);
    for (const auto& c : faultCommands) {
        std::string message;
        if (!ApplySimCommand(probe, c, message)) return problem = message, false;
    }
    o.sim.faults = probe.faults();
    return true;
}

int openRealPort(const Options& o) {
    std::string path = DevicePathForPort(o.port);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::cerr << "korvane-sim: open " << path << ": " << std::strerror(errno) << "\n";
        return -1;
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0 || !ApplyLineSettings(o.line, t) ||
        tcsetattr(fd, TCSANOW, &t) != 0) {
        std::cerr << "korvane-sim: cannot set up " << path << "\n";
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    std::string problem;
    if (!parse(argc, argv, o, problem)) return usage(problem);

    SimEngine engine(o.sim);
    for (const auto& d : o.drives) engine.addDrive(d);

    PtyPair pty;
    int fd = -1;
    int relayFd[2] = {-1, -1};
    std::unique_ptr<TcpRelay> relay;
    if (o.listen) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, relayFd) != 0) {
            std::cerr << "korvane-sim: socketpair: " << std::strerror(errno) << "\n";
            return 1;
        }
        relay = std::make_unique<TcpRelay>(o.relay, relayFd[1]);
        std::string error;
        if (!relay->listen(*o.listen, error)) {
            std::cerr << "korvane-sim: " << error << "\n";
            return 1;
        }
        fd = relayFd[0];
    } else if (o.pty) {
        std::string error;
        if (!pty.open(error)) {
            std::cerr << "korvane-sim: " << error << "\n";
            return 1;
        }
        fd = pty.masterFd();
    } else {
        fd = openRealPort(o);
        if (fd < 0) return 1;
    }

    SimServer server(engine, fd);
    if (!server.start()) {
        std::cerr << "korvane-sim: cannot start serving\n";
        return 1;
    }
    if (relay) {
        if (!relay->start()) {
            std::cerr << "korvane-sim: cannot start serving TCP\n";
            return 1;
        }
        const char* scheme = o.relay == TcpRelay::Mode::ModbusTcp ? "modbus-tcp"
                             : o.relay == TcpRelay::Mode::Rfc2217 ? "rfc2217"
                                                                  : "tcp";
        std::printf("%s://%s\n", scheme, relay->boundAddress().c_str());
        std::fflush(stdout);
    } else if (o.pty) {
        std::printf("PTY %s\n", pty.slavePath().c_str());
        std::fflush(stdout);
    }

    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        std::string message;
        bool ok = false;
        server.withEngine([&](SimEngine& e) { ok = ApplySimCommand(e, line, message); });
        std::cerr << (ok ? "" : "korvane-sim: ") << message << std::endl;
    }
    if (relay) relay->stop();
    server.stop();
    for (int end : relayFd)
        if (end >= 0) ::close(end);
    if (!o.pty && !relay) ::close(fd);
    return 0;
}
