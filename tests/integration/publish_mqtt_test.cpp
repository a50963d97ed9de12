// korvane-cli publish against a real mosquitto and korvane-sim: what a plant's subscriber sees.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "integration/mqtt_rig.h"
#include "integration/programs.h"

namespace korvane::testing {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
using Messages = std::vector<ReceivedMessage>;

std::vector<Json> Payloads(const Messages& all, const std::string& topic) {
    std::vector<Json> out;
    for (const auto& m : all)
        if (m.topic == topic && !m.payload.empty()) out.push_back(Json::parse(m.payload));
    return out;
}

bool HasPayload(const Messages& all, const std::string& topic, const std::string& payload) {
    for (const auto& m : all)
        if (m.topic == topic && m.payload == payload) return true;
    return false;
}

class PublishMqtt : public ::testing::Test {
protected:
    void SetUp() override {
        if (MosquittoPath().empty()) GTEST_SKIP() << "the mosquitto broker is not installed";
        broker_ = std::make_unique<BrokerProcess>(dir_.path());
        ASSERT_TRUE(broker_->started()) << "mosquitto did not start";
        sim_ = std::make_unique<SimProcess>(std::vector<std::string>{
            "--baud", "115200", "--drive", "3:11:0x0310:4:1", "--drive", "5:11:0x0310:4:1"});
        ASSERT_TRUE(sim_->started());
    }

    std::vector<std::string> cli(std::vector<std::string> rest) const {
        std::vector<std::string> argv{KORVANE_CLI_PATH, "--port", sim_->pty(), "--baud", "115200",
                                      "--timeout",      "150",    "--retries", "2"};
        argv.insert(argv.end(), rest.begin(), rest.end());
        return argv;
    }

    std::unique_ptr<ChildProcess> startPublisher(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{
            "publish",        "1-6",
            "--broker",       "mqtt://127.0.0.1:" + std::to_string(broker_->port()),
            "--topic-prefix", "t",
            "--interval",     "1",
            "--rescan",       "2",
            "--data-dir",     KORVANE_TEST_DATA_DIR};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<ChildProcess>(cli(args), dir_.path() + "/publisher.log");
    }

    std::string log() const {
        std::ifstream in(dir_.path() + "/publisher.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempDir dir_;
    std::unique_ptr<BrokerProcess> broker_;
    std::unique_ptr<SimProcess> sim_;
};

TEST_F(PublishMqtt, StatesValuesFaultsAndSilenceReachTheBrokerAndNothingComesBack) {
    {  // A previous run's state of a drive no longer on the line.
        Subscriber old(broker_->port(), "t/#");
        ASSERT_TRUE(old.connected());
        old.publish("t/drive/4", R"({"station":4,"connected":true})");
    }
    ASSERT_EQ(RunProgram(cli({"write", "3", "6", "2"})).exitCode, 0);  // drive 3 runs forward
    Subscriber sub(broker_->port(), "t/#");
    ASSERT_TRUE(sub.connected());
    auto publisher = startPublisher();
    ASSERT_TRUE(publisher->started());

    auto connected = [](const Messages& all, int station) {
        for (const auto& s : Payloads(all, "t/drive/" + std::to_string(station)))
            if (s["connected"] == true) return true;
        return false;
    };
    ASSERT_TRUE(sub.waitFor([&](const Messages& all) {
        return HasPayload(all, "t/status", "online") && connected(all, 3) && connected(all, 5);
    })) << log();

    // Values of the running drive rise, as numbers in the drive list's units.
    ASSERT_TRUE(sub.waitFor([](const Messages& all) {
        const auto v = Payloads(all, "t/drive/3/values");
        return v.size() >= 3 && v.back()["output_frequency"].get<double>() >
                                    v.front()["output_frequency"].get<double>();
    })) << log();
    const Json last = Payloads(sub.messages(), "t/drive/3/values").back();
    EXPECT_EQ(last["run_state"].get<std::string>().empty(), false);
    EXPECT_TRUE(last["frequency_command"].is_number());

    // Other clients' messages on the drive topics reach no drive.
    sub.publish("t/drive/3", R"({"station":3,"connected":false})");
    sub.publish("t/drive/3/values", R"({"frequency_command":0})");
    sub.publish("t/drive/3/run", "stop");

    sim_->command("trip 5");
    ASSERT_TRUE(sub.waitFor([](const Messages& all) {
        return !Payloads(all, "t/drive/5/fault").empty();
    })) << log();

    sim_->command("silent 3");
    ASSERT_TRUE(sub.waitFor([](const Messages& all) {
        for (const auto& s : Payloads(all, "t/drive/3"))
            if (s["connected"] == false && s.size() == 2u) return true;
        return false;
    })) << log();
    EXPECT_EQ(publisher->stop(SIGTERM), 0) << log();
    EXPECT_TRUE(sub.waitFor(
        [](const Messages& all) { return HasPayload(all, "t/status", "offline"); }, 30s));

    const auto faults = Payloads(sub.messages(), "t/drive/5/fault");
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_FALSE(faults[0]["fault"].get<std::string>().empty());
    EXPECT_TRUE(faults[0]["value"].get<int>() != 0);

    // A newcomer finds the retained states of exactly the drives that were on the line.
    Subscriber late(broker_->port(), "t/drive/+");
    ASSERT_TRUE(late.waitFor([](const Messages& all) { return all.size() >= 2; }, 30s));
    std::this_thread::sleep_for(1s);
    const Messages retained = late.messages();
    ASSERT_EQ(retained.size(), 2u);
    EXPECT_TRUE(late.on("t/drive/4").empty());
    EXPECT_EQ(Json::parse(late.on("t/drive/5").at(0).payload)["connected"], true);

    // The drive still runs forward: nothing the broker carried was written to it.
    sim_->command("speak 3");
    const ProgramResult read = RunProgram(cli({"read", "3", "6"}));
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(Json::parse(read.out)["value"], 2) << read.out;
}

TEST_F(PublishMqtt, TheLastWillSaysOfflineWhenThePublisherIsKilled) {
    Subscriber sub(broker_->port(), "t/status");
    auto publisher = startPublisher({"--keepalive", "5"});
    ASSERT_TRUE(sub.waitFor([](const Messages& all) {
        return HasPayload(all, "t/status", "online");
    })) << log();
    publisher->stop(SIGKILL);
    EXPECT_TRUE(sub.waitFor(
        [](const Messages& all) { return HasPayload(all, "t/status", "offline"); }, 90s));
}

TEST_F(PublishMqtt, ValuesFlowAgainAfterTheBrokerRestarts) {
    auto publisher = startPublisher();
    {
        Subscriber sub(broker_->port(), "t/#");
        ASSERT_TRUE(sub.waitFor([](const Messages& all) {
            return !Payloads(all, "t/drive/5/values").empty();
        })) << log();
    }
    broker_->stop();  // a broker without persistence forgets every retained message
    ASSERT_TRUE(broker_->start());
    Subscriber sub(broker_->port(), "t/#");
    ASSERT_TRUE(sub.waitFor([](const Messages& all) {
        return HasPayload(all, "t/status", "online") && !Payloads(all, "t/drive/3").empty() &&
               !Payloads(all, "t/drive/5/values").empty();
    })) << log();
    EXPECT_EQ(publisher->stop(SIGTERM), 0) << log();
}

// A test CA, and a certificate it signed for 127.0.0.1, made with openssl in `dir`.
bool MakeTestCertificates(const std::string& dir) {
    const std::string script =
        "cd '" + dir +
        "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.crt -days 2 "
        "-subj /CN=korvane-test-ca && openssl req -newkey rsa:2048 -nodes -keyout server.key "
        "-out server.csr -subj /CN=127.0.0.1 && printf 'subjectAltName=IP:127.0.0.1\\n' > "
        "san.ext && openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial "
        "-out server.crt -days 2 -extfile san.ext && chmod 644 server.key && chmod 755 . "
        ">/dev/null 2>&1";
    return std::system((script + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(PublishMqttTls, StatesReachABrokerOverTls) {
    if (MosquittoPath().empty()) GTEST_SKIP() << "the mosquitto broker is not installed";
    TempDir dir;
    ASSERT_TRUE(MakeTestCertificates(dir.path())) << "openssl could not make the test CA";
    const std::string ca = dir.path() + "/ca.crt";
    BrokerProcess broker(dir.path(), "cafile " + ca + "\ncertfile " + dir.path() +
                                         "/server.crt\nkeyfile " + dir.path() + "/server.key\n");
    ASSERT_TRUE(broker.started());
    SimProcess sim({"--baud", "115200", "--drive", "2:11:0x0310:4:1"});
    ASSERT_TRUE(sim.started());
    Subscriber sub(broker.port(), "tls/#", ca);
    ASSERT_TRUE(sub.connected());
    ChildProcess publisher(
        {KORVANE_CLI_PATH, "--port", sim.pty(), "--baud", "115200", "--timeout", "150", "publish",
         "1-2", "--broker", "mqtts://127.0.0.1:" + std::to_string(broker.port()), "--cafile", ca,
         "--topic-prefix", "tls", "--data-dir", KORVANE_TEST_DATA_DIR},
        dir.path() + "/publisher.log");
    EXPECT_TRUE(sub.waitFor([](const Messages& all) {
        for (const auto& s : Payloads(all, "tls/drive/2"))
            if (s["connected"] == true) return true;
        return false;
    }));
    EXPECT_EQ(publisher.stop(SIGTERM), 0);
}

TEST(PublishCli, RefusesBadCommandLinesAndOpenCredentials) {
    TempDir dir;
    const std::string creds = dir.path() + "/creds";
    {
        std::ofstream out(creds);
        out << "username plant\npassword secret\n";
    }
    ::chmod(creds.c_str(), 0644);
    const std::string port = "/dev/null";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {{"publish", "1-3"}, 2},
        {{"publish", "1-3", "--broker", "http://x"}, 2},
        {{"publish", "1-3", "--broker", "mqtt://x:99999"}, 2},
        {{"publish", "0-3", "--broker", "mqtt://x"}, 2},
        {{"publish", "1-3", "--broker", "mqtts://x"}, 2},  // TLS without a CA
        {{"publish", "1-3", "--broker", "mqtt://x", "--cert", "c"}, 2},
        {{"publish", "1-3", "--broker", "mqtt://x", "--password", "p"}, 2},
        {{"publish", "1-3", "--broker", "mqtt://x", "--credentials", creds}, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv{KORVANE_CLI_PATH, "--port", port};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProgramResult r = RunProgram(argv, 30000);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back() << ": " << r.err;
    }
}

}  // namespace
}  // namespace korvane::testing
