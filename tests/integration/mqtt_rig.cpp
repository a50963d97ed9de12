#include "integration/mqtt_rig.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "integration/programs.h"

namespace korvane::testing {
namespace {

using namespace std::chrono_literals;

bool accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// Standard input empty; output and errors appended to `outFile`.
pid_t spawnWithOutput(const std::vector<std::string>& argv, const std::string& outFile) {
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const pid_t pid = in >= 0 && out >= 0 ? SpawnProgram(argv, in, out, out) : -1;
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    return pid;
}

int waitWithin(pid_t pid, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(20ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

}  // namespace

std::string MosquittoPath() {
    for (const char* p : {"/usr/sbin/mosquitto", "/usr/bin/mosquitto", "/usr/local/sbin/mosquitto"})
        if (::access(p, X_OK) == 0) return p;
    return {};
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-mqtt-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

BrokerProcess::BrokerProcess(const std::string& dir, const std::string& extraConfig, int port)
    : dir_(dir), extra_(extraConfig), port_(port ? port : UnusedLocalPort()) {
    start();
}

BrokerProcess::~BrokerProcess() {
    stop();
}

bool BrokerProcess::start() {
    const std::string conf = dir_ + "/mosquitto.conf";
    {
        std::ofstream out(conf);
        out << "listener " << port_ << " 127.0.0.1\n"
            << "allow_anonymous true\npersistence false\n"
            << extra_;
    }
    pid_ = spawnWithOutput({MosquittoPath(), "-c", conf}, dir_ + "/broker.log");
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        if (accepts(port_)) return started_ = true;
        std::this_thread::sleep_for(50ms);
    }
    return started_ = false;
}

void BrokerProcess::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    waitWithin(pid_, 30s);
    pid_ = -1;
    started_ = false;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& errFile)
    : pid_(spawnWithOutput(argv, errFile)) {}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) stop(SIGKILL, 10s);
}

int ChildProcess::stop(int signal, std::chrono::seconds timeout) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    const int code = waitWithin(pid_, timeout);
    pid_ = -1;
    return code;
}

Subscriber::Subscriber(int port, const std::string& topicFilter, const std::string& caFile) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(nullptr, true, this);
    if (!mosq_) return;
    if (!caFile.empty() && mosquitto_tls_set(mosq_, caFile.c_str(), nullptr, nullptr, nullptr,
                                             nullptr) != MOSQ_ERR_SUCCESS)
        return;
    mosquitto_message_callback_set(mosq_, &Subscriber::onMessage);
    if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return;
    if (mosquitto_subscribe(mosq_, nullptr, topicFilter.c_str(), 1) != MOSQ_ERR_SUCCESS) return;
    connected_ = mosquitto_loop_start(mosq_) == MOSQ_ERR_SUCCESS;
}

Subscriber::~Subscriber() {
    if (mosq_) {
        mosquitto_disconnect(mosq_);
        if (connected_) mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }
}

void Subscriber::publish(const std::string& topic, const std::string& payload) {
    mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.data(), 1, false);
}

void Subscriber::onMessage(mosquitto*, void* self, const mosquitto_message* m) {
    auto* s = static_cast<Subscriber*>(self);
    std::lock_guard lock(s->mutex_);
    s->messages_.push_back(
        {m->topic,
         std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)),
         m->retain});
}

std::vector<ReceivedMessage> Subscriber::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<ReceivedMessage> Subscriber::on(const std::string& topic) const {
    std::vector<ReceivedMessage> out;
    for (auto& m : messages())
        if (m.topic == topic) out.push_back(m);
    return out;
}

bool Subscriber::waitFor(const std::function<bool(const std::vector<ReceivedMessage>&)>& done,
                         std::chrono::seconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done(messages())) return true;
        std::this_thread::sleep_for(50ms);
    }
    return done(messages());
}

}  // namespace korvane::testing
