// PosixSerialPort on a pseudo-terminal: what only a real tty shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "comm/posix_serial_port.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "sim/pty_pair.h"

namespace korvane::testing {
namespace {

using namespace std::chrono_literals;

// The real calls, with the worker's polls counted.
class CountingSys : public SerialSys {
public:
    int poll(struct pollfd* fds, unsigned long count, int timeoutMs) override {
        ++polls;
        return SerialSys::poll(fds, count, timeoutMs);
    }
    std::atomic<long> polls{0};
};

struct PtyPort {
    sim::PtyPair pty;
    QueueExecutor executor;
    RecordingPrompter prompter;
    CountingSys sys;
    PosixSerialPort port{executor, ReportThroughPrompter(prompter), sys};
    std::vector<std::uint8_t> received;

    bool open() {
        std::string error;
        if (!pty.open(error)) return false;
        PortSettings s;
        s.portName = pty.slavePath();
        s.baudRate = 115200;
        return port.Open(s, [this](std::uint8_t b) { received.push_back(b); }) && port.Start();
    }
    bool waitFor(const std::function<bool()>& done) {
        for (auto end = std::chrono::steady_clock::now() + 20s;
             std::chrono::steady_clock::now() < end;) {
            executor.waitAndDrain(10ms);
            if (done()) return true;
        }
        return false;
    }
};

TEST(PortOnPty, DeliversEveryByteInOrderAndWritesFramesWhole) {
    PtyPort p;
    ASSERT_TRUE(p.open());
    std::vector<std::uint8_t> sent;
    for (int i = 0; i < 20000; ++i) sent.push_back(static_cast<std::uint8_t>(i * 7 + i / 256));
    std::thread writer([&] {
        std::size_t done = 0, chunk = 1;
        while (done < sent.size()) {
            std::size_t n = std::min(chunk, sent.size() - done);
            ssize_t w = ::write(p.pty.masterFd(), sent.data() + done, n);
            if (w > 0)
                done += static_cast<std::size_t>(w);
            else
                std::this_thread::sleep_for(1ms);  // the slave's buffer is full for a moment
            chunk = chunk % 300 + 37;
        }
    });
    ASSERT_TRUE(p.waitFor([&] { return p.received.size() >= sent.size(); }));
    writer.join();
    EXPECT_EQ(p.received, sent);

    const std::uint8_t frame[] = {0x01, 0x04, 0x00, 0x00, 0x00, 0x01, 0x31, 0xCA};
    ASSERT_TRUE(p.port.SendBytes(frame, sizeof frame));
    std::vector<std::uint8_t> atMaster;
    for (auto end = std::chrono::steady_clock::now() + 20s;
         atMaster.size() < sizeof frame && std::chrono::steady_clock::now() < end;) {
        std::uint8_t b[64];
        ssize_t n = ::read(p.pty.masterFd(), b, sizeof b);
        if (n > 0)
            atMaster.insert(atMaster.end(), b, b + n);
        else
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(atMaster, std::vector<std::uint8_t>(frame, frame + sizeof frame));
    EXPECT_TRUE(p.prompter.entries().empty());
}

// Counts the work posted but not yet run.
class PendingExecutor : public Executor {
public:
    void post(std::function<void()> fn) override {
        ++pending;
        queue.post([this, fn = std::move(fn)] {
            --pending;
            fn();
        });
    }
    QueueExecutor queue;
    std::atomic<int> pending{0};
};

// Bytes faster than the owner takes them wait in the driver, not in the owner's queue, and
// none is lost.
TEST(PortOnPty, AFloodWaitsInTheDriverNotInTheOwnersQueue) {
    sim::PtyPair pty;
    std::string error;
    ASSERT_TRUE(pty.open(error)) << error;
    PendingExecutor executor;
    RecordingPrompter prompter;
    PosixSerialPort port(executor, ReportThroughPrompter(prompter));
    PortSettings s;
    s.portName = pty.slavePath();
    s.baudRate = 115200;
    std::vector<std::uint8_t> received;
    ASSERT_TRUE(port.Open(s, [&](std::uint8_t b) { received.push_back(b); }) && port.Start());
    std::vector<std::uint8_t> sent(200000);
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<std::uint8_t>(i % 251);
    std::atomic<std::size_t> written{0};
    std::thread writer([&] {
        for (auto end = std::chrono::steady_clock::now() + 60s;
             written < sent.size() && std::chrono::steady_clock::now() < end;) {
            ssize_t w = ::write(pty.masterFd(), sent.data() + written, sent.size() - written);
            if (w > 0)
                written += static_cast<std::size_t>(w);
            else
                std::this_thread::sleep_for(1ms);
        }
    });
    // Nothing is taken for a while: the worker must stop once a few batches wait.
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(executor.pending, 4);
    for (auto end = std::chrono::steady_clock::now() + 60s;
         received.size() < sent.size() && std::chrono::steady_clock::now() < end;)
        executor.queue.waitAndDrain(10ms);
    writer.join();
    EXPECT_EQ(received, sent);
    port.Close();
}

TEST(PortOnPty, SecondOpenOfAHeldPortFailsWithOneReport) {
    PtyPort first;
    ASSERT_TRUE(first.open());
    QueueExecutor executor;
    RecordingPrompter prompter;
    PosixSerialPort second(executor, ReportThroughPrompter(prompter));
    PortSettings s;
    s.portName = first.pty.slavePath();
    EXPECT_FALSE(second.Open(s, [](std::uint8_t) {}));
    EXPECT_FALSE(second.IsOpen());
    ASSERT_EQ(prompter.entries().size(), 1u);
    EXPECT_EQ(prompter.entries()[0].caption, "Application Error");
    EXPECT_EQ(prompter.entries()[0].text,
              "WARNING:  open() Failed with the following error: \n"
              "Device or resource busy\nPort: " +
                  s.portName + "\n");
    first.port.Close();
    EXPECT_TRUE(second.Open(s, [](std::uint8_t) {}));
}

TEST(PortOnPty, UnpluggedAdapterIsReportedOnceAndTheWorkerGoesQuiet) {
    PtyPort p;
    ASSERT_TRUE(p.open());
    p.pty.closeMaster();
    ASSERT_TRUE(p.waitFor([&] { return !p.prompter.entries().empty(); }));
    const long pollsAfterReport = p.sys.polls;
    const std::uint8_t frame[] = {0x05, 0x04};
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(p.port.SendBytes(frame, sizeof frame));  // still open: the link times out
        std::this_thread::sleep_for(40ms);
        p.executor.drain();
    }
    std::this_thread::sleep_for(200ms);
    p.executor.drain();
    ASSERT_EQ(p.prompter.entries().size(), 1u);
    EXPECT_NE(p.prompter.entries()[0].text.find("Input/output error"), std::string::npos);
    // A worker spinning on the dead descriptor polls thousands of times in 400 ms; one that
    // stopped watching it wakes only for the five frames.
    EXPECT_LT(p.sys.polls - pollsAfterReport, 50);
}

TEST(PortOnPty, PseudoTerminalWithoutModemLinesStillOpensWithRtsControl) {
    sim::PtyPair pty;
    std::string error;
    ASSERT_TRUE(pty.open(error));
    QueueExecutor executor;
    RecordingPrompter prompter;
    PosixSerialPort port(executor, ReportThroughPrompter(prompter));
    PortSettings s;
    s.portName = pty.slavePath();
    s.autoTxEnable = 0;
    ASSERT_TRUE(port.Open(s, [](std::uint8_t) {}));
    ASSERT_TRUE(port.Start());
    ASSERT_LE(prompter.entries().size(), 1u);  // a pty has no RTS: said once, at most
    const std::uint8_t frame[] = {0x30, 0x31};
    ASSERT_TRUE(port.SendBytes(frame, sizeof frame));
    std::vector<std::uint8_t> atMaster;
    for (auto end = std::chrono::steady_clock::now() + 20s;
         atMaster.size() < 2 && std::chrono::steady_clock::now() < end;) {
        std::uint8_t b[8];
        ssize_t n = ::read(pty.masterFd(), b, sizeof b);
        if (n > 0)
            atMaster.insert(atMaster.end(), b, b + n);
        else
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(atMaster, std::vector<std::uint8_t>(frame, frame + 2));
    executor.drain();
    EXPECT_LE(prompter.entries().size(), 1u);
}

}  // namespace
}  // namespace korvane::testing
