// korvane-cli through the network transports: korvane-sim served on TCP (raw, as a serial
// device server does, and as a MODBUS TCP gateway), a telnet serial device server (the
// COM-PORT-OPTION) in front of its line, and the Debian tools that speak them.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "comm/posix_serial_port.h"
#include "integration/programs.h"
#include "support/device_server.h"

namespace korvane::testing {
namespace {

std::vector<std::string> drives() {
    return {"--baud", "115200", "--drive", "1:4:0x0100:3:1", "--drive", "3:11:0x0310:5:1"};
}

std::vector<std::string> simOptions(const std::string& protocol, const std::string& serve) {
    std::vector<std::string> o = drives();
    o.insert(o.end(), {"--protocol", protocol});
    if (!serve.empty()) o.insert(o.end(), {serve, "0"});
    return o;
}

// The commands a user runs, each with its exit status and output.
std::string Session(const std::string& port, const std::string& protocol) {
    const std::vector<std::vector<std::string>> commands = {
        {"scan", "1-4", "--data-dir", KORVANE_TEST_DATA_DIR},
        {"read", "3", "0", "1", "2", "3"},
        {"write", "1", "0x0200", "-2"},
        {"read", "1", "0x0200", "4"},
        {"monitor", "1", "0x0005", "--polls", "3"},
    };
    std::string transcript;
    for (const auto& command : commands) {
        std::vector<std::string> argv{
            KORVANE_CLI_PATH, "--port",    port,  "--protocol", protocol, "--baud",
            "115200",         "--timeout", "300", "--retries",  "2"};
        argv.insert(argv.end(), command.begin(), command.end());
        ProgramResult r = RunProgram(argv);
        transcript += command[0] + " exit " + std::to_string(r.exitCode) + "\n" + r.out;
        if (r.exitCode != 0 && command[0] != "read") transcript += r.err;
    }
    return transcript;
}

TEST(CliOverNetwork, GivesExactlyTheOutputItGivesOverThePseudoTerminal) {
    struct Case {
        const char* protocol;
        const char* serve;
    } cases[] = {{"tk485", "--tcp"},
                 {"modbus", "--tcp"},
                 {"modbus", "--modbus-tcp"},
                 {"tk485", "--rfc2217"}};
    for (const auto& c : cases) {
        SimProcess overPty(simOptions(c.protocol, ""));
        SimProcess overTcp(simOptions(c.protocol, c.serve));
        ASSERT_TRUE(overPty.started());
        ASSERT_TRUE(overTcp.started()) << c.serve;
        ASSERT_NE(overTcp.pty().find("://127.0.0.1:"), std::string::npos) << overTcp.pty();
        const std::string expected = Session(overPty.pty(), c.protocol);
        EXPECT_NE(expected.find("scan exit 0"), std::string::npos) << expected;
        EXPECT_EQ(Session(overTcp.pty(), c.protocol), expected) << c.protocol << " " << c.serve;
    }
}

TEST(CliOverNetwork, RefusesTk485OverModbusTcpAndMalformedAddresses) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--port", "modbus-tcp://127.0.0.1:502", "read", "1", "0"}, "MODBUS protocol only"},
        {{"--port", "tcp://127.0.0.1", "read", "1", "0"}, "needs a port"},
        {{"--port", "telnet://host:23", "read", "1", "0"}, "rfc2217://"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{KORVANE_CLI_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        ProgramResult r = RunProgram(argv);
        EXPECT_EQ(r.exitCode, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

TEST(CliOverNetwork, AServerThatIsNotThereFailsWithTheAddressAndTheReason) {
    const std::string where = "127.0.0.1:" + std::to_string(UnusedLocalPort());
    ProgramResult r = RunProgram(
        {KORVANE_CLI_PATH, "--port", "tcp://" + where, "--timeout", "100", "read", "1", "0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(where), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;
}

// A program running beside the test until destroyed.
class Background {
public:
    explicit Background(const std::vector<std::string>& argv) {
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
    }
    ~Background() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
};

// The program's path, or "" when it is not installed.
std::string Installed(const char* program) {
    ProgramResult r = RunProgram({"/bin/sh", "-c", std::string("command -v ") + program});
    if (r.exitCode != 0) return {};
    while (!r.out.empty() && (r.out.back() == '\n' || r.out.back() == ' ')) r.out.pop_back();
    return r.out;
}

// ser2net in raw mode in front of the simulator's pseudo-terminal: a real serial device
// server between korvane-cli and the drives.
TEST(CliOverNetwork, WorksThroughSer2net) {
    if (Installed("ser2net").empty()) GTEST_SKIP() << "ser2net is not installed";
    SimProcess sim(simOptions("modbus", ""));
    ASSERT_TRUE(sim.started());
    const std::string expected = Session(sim.pty(), "modbus");
    std::string port;
    std::string got;
    // The port was free when picked; another test may take it before ser2net does.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port = std::to_string(UnusedLocalPort());
        // A pid file of its own: ser2net removes its pid file as it ends, and run as root it
        // would remove /dev/null given that.
        const std::string pidFile = (std::filesystem::temp_directory_path() /
                                     ("korvane-ser2net-" + std::to_string(::getpid()) + "-" + port))
                                        .string();
        Background server({"ser2net", "-n", "-u", "-P", pidFile, "-C",
                           "127.0.0.1," + port + ":raw:0:" + sim.pty() +
                               ":115200 8DATABITS NONE 1STOPBIT LOCAL"});
        for (int i = 0; i < 50; ++i) {
            ProgramResult probe =
                RunProgram({"/bin/bash", "-c", "exec 3<>/dev/tcp/127.0.0.1/" + port});
            if (probe.exitCode == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        got = Session("tcp://127.0.0.1:" + port, "modbus");
        if (got == expected) break;
    }
    EXPECT_EQ(got, expected);
}

// mbpoll, a MODBUS TCP client from Debian, reads the simulated gateway as it would a real one.
TEST(CliOverNetwork, MbpollReadsTheSimulatorsModbusTcpGateway) {
    const std::string mbpoll = Installed("mbpoll");
    if (mbpoll.empty()) GTEST_SKIP() << "mbpoll is not installed";
    SimProcess sim(simOptions("modbus", "--modbus-tcp"));
    ASSERT_TRUE(sim.started());
    const std::string address = sim.pty().substr(sim.pty().find("://") + 3);
    const std::string host = address.substr(0, address.rfind(':'));
    const std::string port = address.substr(address.rfind(':') + 1);
    // Reference 1 (register 0) of unit 3 is the drive's address 1, its capacity code.
    ProgramResult r = RunProgram({mbpoll, "-m", "tcp", "-p", port, "-a", "3", "-t", "3", "-r", "1",
                                  "-c", "1", "-1", "-o", "5", host});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[1]: \t5"), std::string::npos) << r.out;
}

// The simulator's line as a serial device server's port: each request the server receives is
// written to it, and what the drive answers within the time-out goes back.
class PtyRelay {
public:
    explicit PtyRelay(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios t{};
        PortSettings s;
        s.baudRate = 115200;
        if (fd_ >= 0 && (::tcgetattr(fd_, &t) != 0 || !ApplyLineSettings(s, t) ||
                         ::tcsetattr(fd_, TCSANOW, &t) != 0)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~PtyRelay() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool opened() const { return fd_ >= 0; }

    Bytes exchange(const Bytes& request, int answerWithinMs) {
        ::tcflush(fd_, TCIFLUSH);
        for (std::size_t done = 0; done < request.size();) {
            long n = ::write(fd_, request.data() + done, request.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            if (n < 0 && errno != EAGAIN && errno != EINTR) return {};
        }
        Bytes answer;
        // The first byte within the time-out, the rest until the line is quiet.
        for (int waitMs = answerWithinMs;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, waitMs) <= 0) return answer;
            std::uint8_t buffer[512];
            long n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) return answer;
            answer.insert(answer.end(), buffer, buffer + n);
            waitMs = 30;
        }
    }

private:
    int fd_ = -1;
};

TEST(CliOverRfc2217, GivesTheOutputItGivesOverThePseudoTerminalAndSetsTheLine) {
    for (const char* protocol : {"tk485", "modbus"}) {
        std::string expected;
        {
            SimProcess sim(simOptions(protocol, ""));
            ASSERT_TRUE(sim.started());
            expected = Session(sim.pty(), protocol);
        }
        EXPECT_NE(expected.find("scan exit 0"), std::string::npos) << expected;
        SimProcess sim(simOptions(protocol, ""));
        ASSERT_TRUE(sim.started());
        PtyRelay line(sim.pty());
        ASSERT_TRUE(line.opened()) << sim.pty();
        DeviceServer server({.telnet = true}, [&](const Bytes& request) {
            const Bytes answer = line.exchange(request, 300);
            if (answer.empty()) return DeviceServer::Reply{};
            return DeviceServer::Reply{{DeviceServer::Escape(answer)}};
        });
        EXPECT_EQ(Session(server.url("rfc2217"), protocol), expected) << protocol;
        const auto asked = server.recorded();
        EXPECT_EQ(asked.baud, 115200u);
        EXPECT_EQ(asked.dataSize, 8);
        EXPECT_EQ(asked.parity, 1);    // none
        EXPECT_EQ(asked.stopSize, 1);  // one
        EXPECT_GT(asked.purges, 0);
    }
}

}  // namespace
}  // namespace korvane::testing
