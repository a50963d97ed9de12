#pragma once
// Hand-off to the protocol thread. All protocol state lives on one thread (the GUI thread in
// the app, the main thread in the CLI); other threads only post work to it.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace korvane {

class Executor {
public:
    virtual ~Executor() = default;
    // Thread-safe; fn runs later on the owning thread, in posting order.
    virtual void post(std::function<void()> fn) = 0;
};

// An executor whose owner runs the queued work when it drives it: the CLI's loops and the tests.
class QueueExecutor : public Executor {
public:
    using Clock = std::chrono::steady_clock;

    void post(std::function<void()> fn) override;
    // Runs everything posted so far (and whatever that posts). Returns how many ran.
    std::size_t drain();
    // Waits up to `timeout` for work, then drains. Returns how many ran.
    std::size_t waitAndDrain(std::chrono::milliseconds timeout);
    // Waits until work comes or the deadline passes, then runs work until none is left or the
    // deadline has passed. Unlike draining, a loop that ticks between calls keeps its turn
    // however fast work comes in.
    void runUntil(Clock::time_point deadline);
    // Waits until work comes or the deadline passes, and runs nothing.
    void waitForWork(Clock::time_point deadline);
    // Runs what was posted before this call, and nothing posted meanwhile.
    void runPosted();

private:
    bool runOne();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace korvane
