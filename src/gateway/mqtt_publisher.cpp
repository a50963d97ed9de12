#include "gateway/mqtt_publisher.h"

#include <mosquitto.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <sstream>
#include <thread>
#include <vector>

#include "common/file_read.h"

namespace korvane {
namespace {

constexpr int kReconnectMinSeconds = 1;
constexpr int kReconnectMaxSeconds = 30;

struct LibraryInit {
    LibraryInit() { mosquitto_lib_init(); }
    ~LibraryInit() { mosquitto_lib_cleanup(); }
};

void initLibrary() {
    static LibraryInit init;
}

bool parsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

}  // namespace

bool ParseBrokerUrl(const std::string& url, BrokerAddress& out) {
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        out.tls = false;
        out.port = 1883;
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        out.tls = true;
        out.port = 8883;
        rest = url.substr(8);
    } else {
        return false;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::string portText;
    if (!rest.empty() && rest[0] == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos) return false;
        out.host = rest.substr(1, close - 1);
        const std::string tail = rest.substr(close + 1);
        if (!tail.empty()) {
            if (tail[0] != ':') return false;
            portText = tail.substr(1);
            if (portText.empty()) return false;
        }
    } else {
        const auto colon = rest.find(':');
        out.host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            portText = rest.substr(colon + 1);
            if (portText.empty()) return false;
        }
    }
    if (out.host.empty() || out.host.find_first_of("/@ ") != std::string::npos) return false;
    return portText.empty() || parsePort(portText, out.port);
}

bool ReadCredentialsFile(const std::string& path, BrokerCredentials& out, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot read credentials file " + path;
        return false;
    }
    if ((st.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0) {
        error = "credentials file " + path + " is open to group or others (chmod 600 it)";
        return false;
    }
    // A credentials file is a few lines; anything larger is not one.
    constexpr std::size_t kMaxCredentialsBytes = 64 * 1024;
    std::vector<std::uint8_t> bytes;
    if (!ReadRegularFile(path, bytes, kMaxCredentialsBytes)) {
        error = "cannot read credentials file " + path;
        return false;
    }
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const auto split = line.find_first_of("= \t");
        if (split == std::string::npos) continue;
        const std::string key = trim(line.substr(0, split));
        const std::string value = trim(line.substr(split + 1));
        if (key == "username") out.username = value;
        if (key == "password") out.password = value;
    }
    if (out.username.empty()) {
        error = "credentials file " + path + " has no username line";
        return false;
    }
    return true;
}

MqttPublisher::MqttPublisher(PublisherOptions options) : options_(std::move(options)) {}

MqttPublisher::~MqttPublisher() {
    if (started_) mosquitto_loop_stop(mosq_, true);
    if (mosq_) mosquitto_destroy(mosq_);
}

bool MqttPublisher::start(std::string& error) {
    initLibrary();
    const char* id = options_.clientId.empty() ? nullptr : options_.clientId.c_str();
    mosq_ = mosquitto_new(id, true, this);
    if (!mosq_) {
        error = "cannot create an MQTT session";
        return false;
    }
    mosquitto_connect_callback_set(mosq_, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(mosq_, &MqttPublisher::onPublish);
    mosquitto_reconnect_delay_set(mosq_, kReconnectMinSeconds, kReconnectMaxSeconds, true);
    const OutgoingMessage& will = options_.will;
    int rc = mosquitto_will_set(mosq_, will.topic.c_str(), static_cast<int>(will.payload.size()),
                                will.payload.data(), will.qos, will.retain);
    if (rc == MOSQ_ERR_SUCCESS && !options_.credentials.username.empty()) {
        rc = mosquitto_username_pw_set(mosq_, options_.credentials.username.c_str(),
                                       options_.credentials.password.c_str());
    }
    if (rc == MOSQ_ERR_SUCCESS && options_.broker.tls) {
        auto orNull = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
        rc = mosquitto_tls_set(mosq_, orNull(options_.caFile), nullptr, orNull(options_.certFile),
                               orNull(options_.keyFile), nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        error = std::string("MQTT set-up failed: ") + mosquitto_strerror(rc);
        return false;
    }
    // A broker that is not up yet is no error: the network thread keeps trying.
    (void)mosquitto_connect_async(mosq_, options_.broker.host.c_str(), options_.broker.port,
                                  options_.keepaliveSeconds);
    rc = mosquitto_loop_start(mosq_);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = std::string("cannot start the MQTT thread: ") + mosquitto_strerror(rc);
        return false;
    }
    started_ = true;
    return true;
}

void MqttPublisher::send(const OutgoingMessage& m, int* mid) {
    (void)mosquitto_publish(mosq_, mid, m.topic.c_str(), static_cast<int>(m.payload.size()),
                            m.payload.data(), m.qos, m.retain);
}

void MqttPublisher::publish(const OutgoingMessage& message) {
    std::lock_guard lock(mutex_);
    if (message.retain) {
        if (message.payload.empty()) {
            retained_.erase(message.topic);
        } else {
            retained_[message.topic] = message;
        }
    }
    if (connected_) {
        send(message, nullptr);
        return;
    }
    // While the broker is away, values are dropped (they would be stale), states wait in the
    // retained copy and faults in the held queue for the reconnect.
    if (message.retain || message.qos == 0) return;
    if (held_.size() == kHeldLimit) held_.pop_front();
    held_.push_back(message);
}

void MqttPublisher::republish() {
    send(options_.online, nullptr);
    for (const auto& [topic, message] : retained_) send(message, nullptr);
    for (const auto& message : held_) send(message, nullptr);
    held_.clear();
}

void MqttPublisher::onConnect(mosquitto*, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) return;
    std::lock_guard lock(p->mutex_);
    p->connected_ = true;
    p->republish();
}

void MqttPublisher::onDisconnect(mosquitto*, void* self, int) {
    auto* p = static_cast<MqttPublisher*>(self);
    std::lock_guard lock(p->mutex_);
    p->connected_ = false;
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid) {
    auto* p = static_cast<MqttPublisher*>(self);
    std::lock_guard lock(p->mutex_);
    p->lastDeliveredMid_ = mid;
}

bool MqttPublisher::isConnected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}

std::size_t MqttPublisher::heldCount() const {
    std::lock_guard lock(mutex_);
    return held_.size();
}

void MqttPublisher::stop(int waitMs) {
    if (!started_) return;
    int mid = -2;
    bool sent = false;
    {
        std::lock_guard lock(mutex_);
        if (connected_) {
            send(options_.will, &mid);
            sent = true;
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (sent && std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(mutex_);
            if (lastDeliveredMid_ == mid || !connected_) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    started_ = false;
}

}  // namespace korvane
