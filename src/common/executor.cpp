#include "common/executor.h"

namespace korvane {

void QueueExecutor::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
    }
    ready_.notify_one();
}

bool QueueExecutor::runOne() {
    std::function<void()> fn;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return false;
        fn = std::move(queue_.front());
        queue_.pop_front();
    }
    fn();
    return true;
}

std::size_t QueueExecutor::drain() {
    std::size_t ran = 0;
    while (runOne()) ++ran;
    return ran;
}

std::size_t QueueExecutor::waitAndDrain(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
    }
    return drain();
}

void QueueExecutor::runUntil(Clock::time_point deadline) {
    waitForWork(deadline);
    while (Clock::now() < deadline && runOne()) {
    }
}

void QueueExecutor::waitForWork(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    ready_.wait_until(lock, deadline, [this] { return !queue_.empty(); });
}

void QueueExecutor::runPosted() {
    std::size_t n = 0;
    {
        std::lock_guard lock(mutex_);
        n = queue_.size();
    }
    while (n-- > 0 && runOne()) {
    }
}

}  // namespace korvane
