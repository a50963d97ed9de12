#pragma once
// The protocol thread's hand-off as the benchmarks run it: waits to the microsecond, because
// fast pacing's deadlines are shorter than a millisecond.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "common/executor.h"

namespace korvane {

class BenchExecutor : public Executor {
public:
    void post(std::function<void()> fn) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(fn));
        }
        ready_.notify_one();
    }
    void waitUntil(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        ready_.wait_until(lock, deadline, [this] { return !queue_.empty(); });
    }
    void drain() {
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard lock(mutex_);
                if (queue_.empty()) return;
                fn = std::move(queue_.front());
                queue_.pop_front();
            }
            fn();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace korvane
