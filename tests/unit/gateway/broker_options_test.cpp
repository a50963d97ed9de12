#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "gateway/mqtt_publisher.h"

namespace korvane {
namespace {

TEST(BrokerUrlTest, SchemeHostAndPort) {
    struct Case {
        const char* url;
        bool ok;
        const char* host;
        int port;
        bool tls;
    };
    const Case cases[] = {
        {"mqtt://broker:1884", true, "broker", 1884, false},
        {"mqtt://broker", true, "broker", 1883, false},
        {"mqtts://10.0.0.5", true, "10.0.0.5", 8883, true},
        {"mqtts://[::1]:9000", true, "::1", 9000, true},
        {"mqtt://broker:", false, "", 0, false},
        {"mqtt://broker:0", false, "", 0, false},
        {"mqtt://broker:65536", false, "", 0, false},
        {"mqtt://broker:12x", false, "", 0, false},
        {"mqtt://", false, "", 0, false},
        {"mqtt://user@broker", false, "", 0, false},
        {"tcp://broker:1883", false, "", 0, false},
        {"mqtt://[::1", false, "", 0, false},
    };
    for (const Case& c : cases) {
        BrokerAddress a;
        ASSERT_EQ(ParseBrokerUrl(c.url, a), c.ok) << c.url;
        if (!c.ok) continue;
        EXPECT_EQ(a.host, c.host) << c.url;
        EXPECT_EQ(a.port, c.port) << c.url;
        EXPECT_EQ(a.tls, c.tls) << c.url;
    }
}

TEST(CredentialsFileTest, ReadsOwnerOnlyFilesAndRefusesOpenOnes) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("korvane-creds-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    struct Case {
        const char* text;
        mode_t mode;
        bool ok;
        const char* user;
        const char* password;
    };
    const Case cases[] = {
        {"username plant\npassword s3cret word\n", 0600, true, "plant", "s3cret word"},
        {"# broker\nusername=plant\r\npassword=x=y\r\n", 0400, true, "plant", "x=y"},
        {"username plant\n", 0600, true, "plant", ""},
        {"password only\n", 0600, false, "", ""},
        {"username plant\npassword p\n", 0640, false, "", ""},
        {"username plant\npassword p\n", 0604, false, "", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = (dir / std::to_string(n++)).string();
        std::ofstream(path) << c.text;
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        BrokerCredentials creds;
        std::string error;
        EXPECT_EQ(ReadCredentialsFile(path, creds, error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(creds.username, c.user);
            EXPECT_EQ(creds.password, c.password);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
    BrokerCredentials creds;
    std::string error;
    EXPECT_FALSE(ReadCredentialsFile((dir / "missing").string(), creds, error));
    EXPECT_FALSE(ReadCredentialsFile(dir.string(), creds, error));  // a directory
    std::filesystem::remove_all(dir);
}

// Port 1 on the loopback refuses every connection: the publisher never reaches a broker.
TEST(MqttPublisherTest, HoldsFaultsButNotValuesOrStatesWhileTheBrokerIsAway) {
    PublisherOptions options;
    options.broker = {"127.0.0.1", 1, false};
    options.will = {"p/status", "offline", 1, true};
    options.online = {"p/status", "online", 1, true};
    MqttPublisher publisher(options);
    std::string error;
    ASSERT_TRUE(publisher.start(error)) << error;
    publisher.publish({"p/drive/1/values", "{}", 0, false});
    publisher.publish({"p/drive/1", "{}", 1, true});
    EXPECT_EQ(publisher.heldCount(), 0u);
    for (int i = 0; i < 250; ++i) publisher.publish({"p/drive/1/fault", "{}", 1, false});
    EXPECT_EQ(publisher.heldCount(), MqttPublisher::kHeldLimit);
    publisher.stop(100);
}

}  // namespace
}  // namespace korvane
