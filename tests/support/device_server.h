#pragma once
// A serial device server for tests, on 127.0.0.1 and a free port: raw TCP, or telnet with the
// COM-PORT-OPTION as its RFC describes it. It records the serial settings it was asked for and
// what the client sent, and answers through a script.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_socket.h"

namespace korvane::testing {

using Bytes = std::vector<std::uint8_t>;

class DeviceServer {
public:
    struct Options {
        bool telnet = false;
        bool refuseComPort = false;
        // The baud rate the server claims to have set; 0 echoes the one asked for.
        std::uint32_t answeredBaud = 0;
    };
    // What to send back for a chunk of data the client sent (telnet decoded). Each element is
    // sent as raw bytes in its own write, with a pause between them, so tests can cut frames
    // and commands where they like. closeAfter ends the connection after the last, resetAfter
    // aborts it.
    struct Reply {
        std::vector<Bytes> chunks;
        bool closeAfter = false;
        bool resetAfter = false;
    };
    using Script = std::function<Reply(const Bytes& request)>;

    explicit DeviceServer(Options options, Script script = {});
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& scheme) const;

    struct Recorded {
        std::uint32_t baud = 0;
        int dataSize = 0, parity = 0, stopSize = 0;
        std::vector<int> controls;  // SET-CONTROL values in order
        int purges = 0;
        Bytes data;                      // the client's data, telnet decoded
        std::vector<std::string> order;  // "data", "purge", "rts-on", "rts-off" as they came
    };
    Recorded recorded();
    // Waits until pred holds on the record (true) or timeoutMs passed (false).
    bool waitFor(const std::function<bool(const Recorded&)>& pred, int timeoutMs = 10000);

    // Doubles 0xFF for a telnet client.
    static Bytes Escape(const Bytes& data);

private:
    void run();
    // True when the connection is to be reset rather than closed.
    bool serve(TestSocket fd);
    void handleCommand(TestSocket fd, const Bytes& sb);
    void sendRaw(TestSocket fd, const Bytes& bytes);

    Options options_;
    Script script_;
    TestSocket listenFd_ = kNoSocket;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Recorded recorded_;
};

}  // namespace korvane::testing
