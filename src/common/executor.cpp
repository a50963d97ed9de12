#include "common/executor.h"

namespace korvane {

void QueueExecutor::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
    }
    ready_.notify_one();
}

std::size_t QueueExecutor::drain() {
    std::size_t ran = 0;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return ran;
            fn = std::move(queue_.front());
            queue_.pop_front();
        }
        fn();
        ++ran;
    }
}

std::size_t QueueExecutor::waitAndDrain(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
    }
    return drain();
}

}  // namespace korvane
