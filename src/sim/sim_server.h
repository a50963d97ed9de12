#pragma once
// Serves a SimEngine on a file descriptor (a pty master or a real serial port) from its own
// thread. Other threads change the engine only through withEngine().
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "sim/sim_engine.h"

namespace korvane::sim {

class SimServer {
public:
    // Does not own `fd`; it must stay open until stop() returned.
    SimServer(SimEngine& engine, int fd);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    [[nodiscard]] bool start();
    void stop();
    void withEngine(const std::function<void(SimEngine&)>& fn);
    // Microseconds on the server's clock (steady, from construction).
    std::int64_t nowUs() const;

private:
    void run();
    void writeReplies(std::int64_t nowUs);

    SimEngine& engine_;
    int fd_;
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::thread thread_;
    std::int64_t epochNs_;
};

}  // namespace korvane::sim
