#include "comm/posix_serial_port.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "common/executor.h"
#include "common/prompter.h"

namespace korvane {
namespace {

TEST(ApplyLineSettings, MapsParityDataAndStopBits) {
    struct Case {
        Parity parity;
        int dataBits;
        StopBits stop;
        tcflag_t set;    // bits that must be set
        tcflag_t clear;  // bits that must be clear
    } cases[] = {
        {Parity::None, 8, StopBits::One, CS8, PARENB | CSTOPB | CMSPAR},
        {Parity::Odd, 7, StopBits::One, CS7 | PARENB | PARODD, CMSPAR | CSTOPB},
        {Parity::Even, 8, StopBits::Two, CS8 | PARENB | CSTOPB, PARODD | CMSPAR},
        {Parity::Mark, 8, StopBits::One, CS8 | PARENB | CMSPAR | PARODD, CSTOPB},
        {Parity::Space, 6, StopBits::One, CS6 | PARENB | CMSPAR, PARODD | CSTOPB},
        {Parity::None, 5, StopBits::OnePointFive, CS5 | CSTOPB, PARENB},  // 1.5 is sent as 2
    };
    for (const auto& c : cases) {
        termios t{};
        t.c_cflag = CRTSCTS | PARODD | CS8;  // leftovers of another program's settings
        t.c_lflag = ICANON | ECHO;
        PortSettings s;
        s.parity = c.parity;
        s.dataBits = c.dataBits;
        s.stopBits = c.stop;
        ASSERT_TRUE(ApplyLineSettings(s, t)) << static_cast<int>(c.parity) << " " << c.dataBits;
        EXPECT_EQ(t.c_cflag & CSIZE, c.set & CSIZE);
        EXPECT_EQ(t.c_cflag & (c.set & ~CSIZE), c.set & ~CSIZE);
        EXPECT_EQ(t.c_cflag & c.clear, 0u);
        EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    }
}

TEST(ApplyLineSettings, TakesKnownBaudRatesAndRefusesTheRest) {
    struct Case {
        int baud;
        bool ok;
        speed_t speed;
    } cases[] = {{9600, true, B9600}, {38400, true, B38400}, {115200, true, B115200},
                 {1200, true, B1200}, {12345, false, 0},     {0, false, 0}};
    for (const auto& c : cases) {
        termios t{};
        PortSettings s;
        s.baudRate = c.baud;
        ASSERT_EQ(ApplyLineSettings(s, t), c.ok) << c.baud;
        if (c.ok) {
            EXPECT_EQ(cfgetospeed(&t), c.speed);
        }
    }
    for (int bits : {4, 9}) {
        termios t{};
        PortSettings s;
        s.dataBits = bits;
        EXPECT_FALSE(ApplyLineSettings(s, t)) << bits;
    }
}

TEST(PortNames, ShortNamesLiveInDevAndPathsStayAsTyped) {
    EXPECT_EQ(DevicePathForPort("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathForPort("ttyS1"), "/dev/ttyS1");
    EXPECT_EQ(DevicePathForPort("/dev/pts/4"), "/dev/pts/4");
    EXPECT_EQ(DevicePathForPort("/dev/serial/by-id/usb-x"), "/dev/serial/by-id/usb-x");
    EXPECT_EQ(DevicePathForPort("serial/by-id/x"), "serial/by-id/x");
}

TEST(PortErrorText, UsesTheFixedFormatAndHelpsWithPermissions) {
    EXPECT_EQ(PortErrorText("open()", EBUSY, "ttyUSB0"),
              "WARNING:  open() Failed with the following error: \nDevice or resource busy\nPort: "
              "ttyUSB0\n");
    std::string denied = PortErrorText("open()", EACCES, "ttyUSB0", "/nonexistent/ttyUSB0");
    EXPECT_EQ(denied.rfind("WARNING:  open() Failed with the following error: \nPermission "
                           "denied\nPort: ttyUSB0\n",
                           0),
              0u);
    EXPECT_NE(denied.find("usually dialout"), std::string::npos);
    EXPECT_NE(denied.find("log in again"), std::string::npos);
}

// Records the port's system calls and fails the ones a test asks for.
class ScriptedSys : public SerialSys {
public:
    int openErrno = 0;
    int flockErrno = 0;
    int rtsErrno = 0;
    int writeErrno = 0;
    bool writeStalls = false;  // the adapter takes no byte
    bool queueStuck = false;   // the adapter takes the bytes but never sends them
    std::atomic<bool> holdingUp{false};
    std::vector<std::string> log;
    std::vector<int> sleeps;

    int open(const char*, int) override {
        log.push_back("open");
        if (openErrno) return errno = openErrno, -1;
        return 42;
    }
    int close(int) override { return log.push_back("close"), 0; }
    int ioctl(int, unsigned long request, int* arg) override {
        if (request == TIOCEXCL) return log.push_back("excl"), 0;
        if (request == TIOCNXCL) return log.push_back("nxcl"), 0;
        if (request == TIOCOUTQ) {
            *arg = queueStuck ? 5 : 0;
            holdingUp = queueStuck;
            return 0;
        }
        EXPECT_TRUE(arg && *arg == TIOCM_RTS);
        log.push_back(request == TIOCMBIS ? "rts-high" : "rts-low");
        if (rtsErrno) return errno = rtsErrno, -1;
        return 0;
    }
    int flock(int, int) override {
        log.push_back("flock");
        if (flockErrno) return errno = flockErrno, -1;
        return 0;
    }
    int tcgetattr(int, termios* t) override { return *t = termios{}, 0; }
    int tcsetattr(int, const termios*) override { return 0; }
    int tcflush(int, int) override { return log.push_back("flush"), 0; }
    int tcdrain(int) override { return log.push_back("drain"), 0; }
    long read(int, void*, std::size_t) override { return errno = EAGAIN, -1; }
    long write(int, const void*, std::size_t length) override {
        log.push_back("write");
        if (writeErrno) return errno = writeErrno, -1;
        if (writeStalls) return holdingUp = true, errno = EAGAIN, -1;
        return static_cast<long>(length);
    }
    // The tty (fd 42) is never ready; the port's wake-up descriptor is real.
    int poll(struct pollfd* fds, unsigned long count, int timeoutMs) override {
        std::vector<pollfd> real(fds, fds + count);
        for (auto& p : real)
            if (p.fd == 42) p.fd = -1;
        int r = ::poll(real.data(), count, timeoutMs);
        for (unsigned long i = 0; i < count; ++i) fds[i].revents = real[i].revents;
        return r;
    }
    void sleepMs(int ms) override { sleeps.push_back(ms); }
};

struct PortRig {
    QueueExecutor executor;
    RecordingPrompter prompter;
    ScriptedSys sys;
    PosixSerialPort port{executor, ReportThroughPrompter(prompter), sys};

    bool open(int autoTx, int txHigh) {
        PortSettings s;
        s.portName = "ttyUSB0";
        s.autoTxEnable = autoTx;
        s.txActiveHigh = txHigh;
        return port.Open(s, [](std::uint8_t) {});
    }
};

TEST(PosixSerialPort, BusyPortFailsAfterTwoAttemptsOneMillisecondApartWithOneReport) {
    for (bool byLock : {false, true}) {
        PortRig rig;
        (byLock ? rig.sys.flockErrno : rig.sys.openErrno) = byLock ? EWOULDBLOCK : EBUSY;
        EXPECT_FALSE(rig.open(1, 1));
        EXPECT_FALSE(rig.port.IsOpen());
        EXPECT_EQ(std::count(rig.sys.log.begin(), rig.sys.log.end(), "open"), 2);
        EXPECT_EQ(rig.sys.sleeps, std::vector<int>{1});
        ASSERT_EQ(rig.prompter.entries().size(), 1u);
        EXPECT_EQ(rig.prompter.entries()[0].caption, "Application Error");
        EXPECT_EQ(rig.prompter.entries()[0].text,
                  "WARNING:  open() Failed with the following error: \nDevice or resource "
                  "busy\nPort: ttyUSB0\n");
        EXPECT_FALSE(rig.port.SendText("x"));
    }
}

TEST(PosixSerialPort, RtsFramesEveryWriteAndDropsOnlyAfterTheDrainAlsoOnFailure) {
    struct Case {
        int autoTx, txHigh, writeErrno;
        std::vector<std::string> calls;
        std::size_t reports;
    } cases[] = {
        {0, 1, 0, {"flush", "rts-high", "write", "drain", "rts-low"}, 0},
        {0, 0, 0, {"flush", "rts-low", "write", "drain", "rts-high"}, 0},
        {0, 1, EFAULT, {"flush", "rts-high", "write", "drain", "rts-low"}, 1},
        {1, 1, 0, {"flush", "write"}, 0},
    };
    for (const auto& c : cases) {
        PortRig rig;
        ASSERT_TRUE(rig.open(c.autoTx, c.txHigh));
        // Idle level is set at open: low for an active-high transmitter.
        if (c.autoTx == 0) {
            EXPECT_EQ(rig.sys.log.back(), c.txHigh ? "rts-low" : "rts-high");
        }
        rig.sys.log.clear();
        rig.sys.writeErrno = c.writeErrno;
        rig.port.TransmitFrame({0x05, 0x30, 0x04});
        EXPECT_EQ(rig.sys.log, c.calls) << c.autoTx << c.txHigh << c.writeErrno;
        rig.executor.drain();
        ASSERT_EQ(rig.prompter.entries().size(), c.reports);
        if (c.reports) {
            EXPECT_NE(rig.prompter.entries()[0].text.find("write()"), std::string::npos);
        }
    }
}

TEST(PosixSerialPort, TtyWithoutModemLinesIsReportedOnceAndRtsIsLeftAlone) {
    PortRig rig;
    rig.sys.rtsErrno = ENOTTY;
    ASSERT_TRUE(rig.open(0, 1));
    ASSERT_EQ(rig.prompter.entries().size(), 1u);
    EXPECT_NE(rig.prompter.entries()[0].text.find("ioctl(TIOCMBIC)"), std::string::npos);
    rig.sys.log.clear();
    rig.port.TransmitFrame({0x05});
    rig.port.TransmitFrame({0x05});
    rig.executor.drain();
    EXPECT_EQ(rig.sys.log, (std::vector<std::string>{"flush", "write", "flush", "write"}));
    EXPECT_EQ(rig.prompter.entries().size(), 1u);
}

TEST(PosixSerialPort, UnpluggedAdapterIsReportedOnceAndNotWrittenAgain) {
    PortRig rig;
    ASSERT_TRUE(rig.open(1, 1));
    rig.sys.writeErrno = EIO;
    rig.port.TransmitFrame({0x05});
    rig.port.TransmitFrame({0x05});
    rig.executor.drain();
    EXPECT_EQ(std::count(rig.sys.log.begin(), rig.sys.log.end(), "write"), 1);
    ASSERT_EQ(rig.prompter.entries().size(), 1u);
    EXPECT_NE(rig.prompter.entries()[0].text.find("Input/output error"), std::string::npos);
}

// An adapter that stalls must hold up neither the worker nor Stop() for ever. Stopped, the
// wait ends without a report nobody waits for; left alone, it ends in a reported failure.
TEST(PosixSerialPort, StalledAdapterHoldsUpAWriteOnlyForABoundedTime) {
    struct Case {
        bool writeStalls;
        bool stop;
        const char* report;  // nullptr: none
    } cases[] = {
        {true, true, nullptr},
        {false, true, nullptr},
        {true, false, "write()"},
        {false, false, "tcdrain()"},
    };
    for (const auto& c : cases) {
        PortRig rig;
        rig.sys.writeStalls = c.writeStalls;
        rig.sys.queueStuck = !c.writeStalls;
        ASSERT_TRUE(rig.open(0, 1));
        if (c.stop) {
            ASSERT_TRUE(rig.port.Start());
            ASSERT_TRUE(rig.port.SendText("01R"));
            for (int i = 0; i < 20000 && !rig.sys.holdingUp; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ASSERT_TRUE(rig.sys.holdingUp);
            rig.port.Stop();
        } else {
            rig.port.TransmitFrame({0x05, 0x30, 0x04});
        }
        rig.executor.drain();
        if (c.report) {
            ASSERT_EQ(rig.prompter.entries().size(), 1u) << c.report;
            EXPECT_NE(rig.prompter.entries()[0].text.find(c.report), std::string::npos);
            EXPECT_NE(rig.prompter.entries()[0].text.find("timed out"), std::string::npos);
        } else {
            EXPECT_TRUE(rig.prompter.entries().empty()) << c.writeStalls;
        }
        // The transmitter is released all the same.
        EXPECT_EQ(rig.sys.log.back(), "rts-low") << c.writeStalls << c.stop;
    }
}

TEST(PosixSerialPort, RejectsFramesItCannotHoldAndGivesUpTheTtyOnClose) {
    PortRig rig;
    ASSERT_TRUE(rig.open(1, 1));
    std::vector<std::uint8_t> big(513, 0x30);
    EXPECT_FALSE(rig.port.SendBytes(big.data(), big.size()));
    EXPECT_FALSE(rig.port.SendBytes(big.data(), 0));
    EXPECT_TRUE(rig.port.SendBytes(big.data(), 512));
    rig.sys.log.clear();
    rig.port.Close();
    // Exclusivity is given up before the descriptor goes, so the next program can open it.
    EXPECT_EQ(rig.sys.log, (std::vector<std::string>{"nxcl", "close"}));
    EXPECT_FALSE(rig.port.SendText("01R"));
}

}  // namespace
}  // namespace korvane
