#pragma once
// The gateway's messages over libmosquitto. The library's own thread runs the network: it
// connects, keeps the session alive and reconnects with a back-off from 1 s to 30 s. publish()
// only queues, so the link's thread never waits on the broker.
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "gateway/publish_gateway.h"

struct mosquitto;

namespace korvane {

struct BrokerAddress {
    std::string host;
    int port = 1883;
    bool tls = false;
};

// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]" (IPv6 hosts in brackets); false if malformed.
[[nodiscard]] bool ParseBrokerUrl(const std::string& url, BrokerAddress& out);

struct BrokerCredentials {
    std::string username;
    std::string password;
};

// Reads "username" and "password" lines ("key value" or "key=value"). A file that group or
// others may read is refused: a password there is no secret. False with the reason in `error`.
[[nodiscard]] bool ReadCredentialsFile(const std::string& path, BrokerCredentials& out,
                                       std::string& error);

struct PublisherOptions {
    BrokerAddress broker;
    std::string clientId;
    int keepaliveSeconds = 30;
    BrokerCredentials credentials;  // username empty: anonymous
    std::string caFile;
    std::string certFile;
    std::string keyFile;
    OutgoingMessage will;
    OutgoingMessage online;  // sent on every connection
};

class MqttPublisher : public MessageSink {
public:
    explicit MqttPublisher(PublisherOptions options);
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Sets up the session and starts the network thread; a broker that is not there yet is
    // retried. False with the reason in `error` when the options cannot work (TLS files).
    [[nodiscard]] bool start(std::string& error);
    void publish(const OutgoingMessage& message) override;
    static constexpr std::size_t kHeldLimit = 200;
    // Publishes the will's message itself, waits up to `waitMs` for the broker to take it,
    // disconnects and stops the thread.
    void stop(int waitMs);

    bool isConnected() const;
    // Faults waiting for the broker.
    std::size_t heldCount() const;

private:
    static void onConnect(mosquitto* mosq, void* self, int rc);
    static void onDisconnect(mosquitto* mosq, void* self, int rc);
    static void onPublish(mosquitto* mosq, void* self, int mid);
    void send(const OutgoingMessage& message, int* mid);
    void republish();

    PublisherOptions options_;
    mosquitto* mosq_ = nullptr;
    bool started_ = false;
    mutable std::mutex mutex_;
    bool connected_ = false;
    int lastDeliveredMid_ = -1;
    // What the broker must hold after a reconnect (its retained store may be gone): the last
    // retained payload of every topic.
    std::map<std::string, OutgoingMessage> retained_;
    // Faults raised while the broker was away, oldest first, sent on the reconnect. Bounded
    // as the alarm history is: an outage of days must not eat the memory.
    std::deque<OutgoingMessage> held_;
};

}  // namespace korvane
