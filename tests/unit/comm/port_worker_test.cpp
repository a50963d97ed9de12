#include "comm/port_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "common/executor.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A line in memory: what arrives is queued by the test, what is written is recorded. A write
// can be made to hang until Stop(), taking the worker's wake-ups as a real write's wait does.
class MemoryLine : public LineIo {
public:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Bytes> incoming;
        bool woken = false;
        bool lost = false;
        bool holdWrites = false;
        bool holding = false;
        std::vector<Bytes> written;
    };
    explicit MemoryLine(State& s) : s_(s) {}

    bool open(const PortSettings&, const std::function<void(const std::string&)>&) override {
        return true;
    }
    void close() override {}
    Wait wait(bool watchLine, int timeoutMs, std::string&) override {
        std::unique_lock lock(s_.mutex);
        auto ready = [&] { return s_.woken || (watchLine && !s_.incoming.empty()); };
        if (timeoutMs < 0) {
            s_.changed.wait(lock, ready);
        } else if (!s_.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
            return Wait::TimedOut;
        }
        s_.woken = false;
        return watchLine && !s_.incoming.empty() ? Wait::Input : Wait::Woken;
    }
    void interrupt() override {
        std::lock_guard lock(s_.mutex);
        s_.woken = true;
        s_.changed.notify_all();
    }
    Read read(std::size_t size, Bytes& data, std::string& error) override {
        std::lock_guard lock(s_.mutex);
        if (s_.lost) return error = "gone", Read::Lost;
        if (s_.incoming.empty()) return Read::Nothing;
        Bytes& front = s_.incoming.front();
        const std::size_t n = std::min(size, front.size());
        data.insert(data.end(), front.begin(), front.begin() + static_cast<long>(n));
        front.erase(front.begin(), front.begin() + static_cast<long>(n));
        if (front.empty()) s_.incoming.pop_front();
        return Read::Data;
    }
    void transmit(const Bytes& frame, LineEvents& events) override {
        std::unique_lock lock(s_.mutex);
        s_.written.push_back(frame);
        s_.changed.notify_all();
        while (s_.holdWrites && !events.stopping()) {
            s_.holding = true;
            s_.changed.notify_all();
            s_.changed.wait_for(lock, 5ms, [&] { return s_.woken; });
            s_.woken = false;  // a real write's wait takes the wake-up too
        }
    }

private:
    State& s_;
};

class CountingExecutor : public QueueExecutor {
public:
    void post(std::function<void()> fn) override {
        ++posted;
        QueueExecutor::post(std::move(fn));
    }
    std::atomic<int> posted{0};
};

struct Rig {
    MemoryLine::State line;
    CountingExecutor executor;
    std::vector<std::string> reports;
    Bytes received;
    PortWorker port{executor,
                    [this](const std::string& t, const std::string&) { reports.push_back(t); },
                    std::make_unique<MemoryLine>(line)};

    Rig() {
        PortSettings s;
        EXPECT_TRUE(port.Open(s, [this](std::uint8_t b) { received.push_back(b); }));
        EXPECT_TRUE(port.Start());
    }
    void arrive(Bytes bytes) {
        std::lock_guard lock(line.mutex);
        line.incoming.push_back(std::move(bytes));
        line.changed.notify_all();
    }
    template <typename Pred>
    bool lineShows(Pred pred) {
        std::unique_lock lock(line.mutex);
        return line.changed.wait_for(lock, 20s, [&] { return pred(line); });
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

Bytes Counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 13 + i / 251);
    return b;
}

TEST(PortWorker, DeliversEveryByteInOrderWhateverTheChunks) {
    for (std::size_t chunk : {1u, 255u, 256u, 257u, 5000u}) {
        Rig rig;
        const Bytes sent = Counting(20000);
        for (std::size_t i = 0; i < sent.size(); i += chunk)
            rig.arrive(Bytes(sent.begin() + static_cast<long>(i),
                             sent.begin() + static_cast<long>(std::min(i + chunk, sent.size()))));
        ASSERT_TRUE(rig.waitFor([&] { return rig.received.size() >= sent.size(); })) << chunk;
        EXPECT_EQ(rig.received, sent) << chunk;
    }
}

// While the protocol thread is behind, the worker leaves the bytes on the line.
TEST(PortWorker, ReadsNoMoreWhileFourBatchesWait) {
    Rig rig;
    rig.arrive(Counting(100000));
    for (auto end = std::chrono::steady_clock::now() + 20s;
         rig.executor.posted < 4 && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(rig.executor.posted, 4);
    ASSERT_TRUE(rig.waitFor([&] { return rig.received.size() >= 100000; }));
    EXPECT_EQ(rig.received, Counting(100000));
}

// A frame handed over, or a stop asked for, while a write waits is not lost with the wake-up
// the write's wait took.
TEST(PortWorker, AFrameOrAStopDuringAWriteIsNotLost) {
    for (bool stop : {false, true}) {
        Rig rig;
        rig.line.holdWrites = true;
        ASSERT_TRUE(rig.port.SendText("A"));
        ASSERT_TRUE(rig.lineShows([](auto& l) { return l.holding; }));
        if (stop) {
            rig.port.Stop();  // returns only once the worker ended
            EXPECT_EQ(rig.line.written.size(), 1u);
            continue;
        }
        ASSERT_TRUE(rig.port.SendText("B"));
        std::this_thread::sleep_for(50ms);
        {
            std::lock_guard lock(rig.line.mutex);
            rig.line.holdWrites = false;
        }
        ASSERT_TRUE(rig.lineShows([](auto& l) { return l.written.size() >= 2; }));
        EXPECT_EQ(rig.line.written[1], Bytes{'B'});
    }
}

TEST(PortWorker, ALostLineIsReportedOnceAndNotWrittenAgain) {
    Rig rig;
    {
        std::lock_guard lock(rig.line.mutex);
        rig.line.lost = true;
    }
    rig.arrive({1});
    ASSERT_TRUE(rig.waitFor([&] { return !rig.reports.empty(); }));
    ASSERT_TRUE(rig.port.SendText("A"));
    ASSERT_TRUE(rig.port.SendText("B"));
    rig.executor.waitAndDrain(200ms);
    EXPECT_EQ(rig.reports, std::vector<std::string>{"gone"});
    EXPECT_TRUE(rig.line.written.empty());
    EXPECT_TRUE(rig.port.IsOpen());  // the link's time-outs end it, not the port
}

}  // namespace
}  // namespace korvane
