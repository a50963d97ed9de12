#pragma once
// A real mosquitto broker on 127.0.0.1 and a free port, a subscriber that records what it
// receives, and a long-running child process: the pieces of the publisher's end-to-end tests.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace korvane::testing {

// The broker program, or empty when it is not installed.
std::string MosquittoPath();

// A fresh temporary directory, removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class BrokerProcess {
public:
    // `extraConfig` goes into the broker's configuration after its listener line.
    explicit BrokerProcess(const std::string& dir, const std::string& extraConfig = "",
                           int port = 0);
    ~BrokerProcess();
    // True once the broker accepts connections.
    bool started() const { return started_; }
    int port() const { return port_; }
    void stop();
    bool start();

private:
    std::string dir_, extra_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool started_ = false;
};

// A child process left running; SIGKILLed when destroyed if it still runs.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv, const std::string& errFile);
    ~ChildProcess();
    bool started() const { return pid_ > 0; }
    // Sends `signal` and waits up to `timeout` for the exit; the exit code, -1 otherwise.
    int stop(int signal, std::chrono::seconds timeout = std::chrono::seconds(30));

private:
    pid_t pid_ = -1;
};

struct ReceivedMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

class Subscriber {
public:
    // With `caFile`, over TLS to a broker whose certificate that CA signed.
    Subscriber(int port, const std::string& topicFilter, const std::string& caFile = "");
    ~Subscriber();
    bool connected() const { return connected_; }
    // Publishes as another client of the plant would.
    void publish(const std::string& topic, const std::string& payload);
    std::vector<ReceivedMessage> messages() const;
    std::vector<ReceivedMessage> on(const std::string& topic) const;
    // Waits until `done` holds for the messages so far; false on the limit.
    bool waitFor(const std::function<bool(const std::vector<ReceivedMessage>&)>& done,
                 std::chrono::seconds limit = std::chrono::seconds(60)) const;

private:
    static void onMessage(mosquitto*, void* self, const mosquitto_message* m);
    mosquitto* mosq_ = nullptr;
    bool connected_ = false;
    mutable std::mutex mutex_;
    std::vector<ReceivedMessage> messages_;
};

}  // namespace korvane::testing
