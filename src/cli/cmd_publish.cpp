// publish IDS --broker URL ...: a read-only plant gateway. Finds and monitors the drives as the
// main window does and hands their states, values and faults to an MQTT broker until SIGINT or
// SIGTERM. It subscribes to nothing: no message can reach a drive.
#include <chrono>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "cli/identified_drive.h"
#include "cli/link_session.h"
#include "common/ini_settings_store.h"
#include "gateway/mqtt_publisher.h"
#include "gateway/publish_gateway.h"
#include "host/settings.h"
#include "monitor/device_name.h"

namespace korvane::cli {
namespace {

struct PublishOptions {
    std::vector<int> ids;
    std::string dataDir;
    std::string brokerUrl;
    std::string credentialsFile;
    GatewayConfig gateway;
    PublisherOptions publisher;
    std::chrono::seconds rescan{60};
};

// Takes the value of the option at args[i]; UsageError when it is missing.
const std::string& optionValue(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size() || args[i + 1].empty()) throw UsageError(args[i] + " needs a value");
    return args[++i];
}

PublishOptions parseOptions(std::vector<std::string> args) {
    PublishOptions o;
    o.dataDir = TakeDataDirOption(args);
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--broker") {
            o.brokerUrl = optionValue(args, i);
        } else if (a == "--topic-prefix") {
            o.gateway.topicPrefix = optionValue(args, i);
            const std::string& p = o.gateway.topicPrefix;
            if (p.find_first_of("#+") != std::string::npos || p.back() == '/')
                throw UsageError("--topic-prefix must not hold # or + nor end in /");
        } else if (a == "--interval") {
            o.gateway.interval = std::chrono::milliseconds(
                1000 * ParseNumberArg(optionValue(args, i), 1, 3600, "interval"));
        } else if (a == "--keepalive") {
            o.publisher.keepaliveSeconds =
                static_cast<int>(ParseNumberArg(optionValue(args, i), 5, 65535, "keep-alive"));
        } else if (a == "--client-id") {
            o.publisher.clientId = optionValue(args, i);
        } else if (a == "--credentials") {
            o.credentialsFile = optionValue(args, i);
        } else if (a == "--cafile") {
            o.publisher.caFile = optionValue(args, i);
        } else if (a == "--cert") {
            o.publisher.certFile = optionValue(args, i);
        } else if (a == "--key") {
            o.publisher.keyFile = optionValue(args, i);
        } else if (a == "--rescan") {
            o.rescan =
                std::chrono::seconds(ParseNumberArg(optionValue(args, i), 1, 86400, "rescan"));
        } else if (a.rfind("--", 0) == 0) {
            throw UsageError("publish has no option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 1) throw UsageError("publish needs one list of station IDs");
    o.ids = ParseStationIds(positional[0]);
    if (o.brokerUrl.empty()) throw UsageError("publish needs --broker mqtt://HOST:PORT");
    if (!ParseBrokerUrl(o.brokerUrl, o.publisher.broker))
        throw UsageError("bad broker \"" + o.brokerUrl +
                         "\" (mqtt://HOST:PORT or mqtts://HOST:PORT)");
    if (o.publisher.certFile.empty() != o.publisher.keyFile.empty())
        throw UsageError("--cert and --key go together");
    if (!o.publisher.broker.tls && !(o.publisher.caFile.empty() && o.publisher.certFile.empty()))
        throw UsageError("--cafile, --cert and --key need an mqtts:// broker");
    if (o.publisher.broker.tls && o.publisher.caFile.empty())
        throw UsageError("an mqtts:// broker needs --cafile");
    return o;
}

// From the file when given, else from KORVANE_MQTT_USERNAME and KORVANE_MQTT_PASSWORD: never
// from the command line, which every user of the machine can read.
bool loadCredentials(PublishOptions& o, std::ostream& err) {
    if (!o.credentialsFile.empty()) {
        std::string error;
        if (ReadCredentialsFile(o.credentialsFile, o.publisher.credentials, error)) return true;
        err << "korvane-cli: " << error << std::endl;
        return false;
    }
    if (const char* user = std::getenv("KORVANE_MQTT_USERNAME")) {
        o.publisher.credentials.username = user;
        const char* password = std::getenv("KORVANE_MQTT_PASSWORD");
        o.publisher.credentials.password = password ? password : "";
    }
    return true;
}

std::vector<int> unconnected(const std::vector<int>& ids, const DriveRecords& records) {
    std::vector<int> out;
    for (int id : ids)
        if (!records[id].connected) out.push_back(id);
    return out;
}

int runPublish(CommandContext& context) {
    PublishOptions o = parseOptions(context.args);
    if (context.options.port.portName.empty()) throw UsageError("--port is required");
    if (!loadCredentials(o, context.err)) return 1;

    SystemGatewayClock clock;
    DriveRecords records;
    o.publisher.will = {o.gateway.topicPrefix + "/status", "offline", 1, true};
    o.publisher.online = {o.gateway.topicPrefix + "/status", "online", 1, true};
    MqttPublisher publisher(o.publisher);
    std::string error;
    if (!publisher.start(error)) {
        context.err << "korvane-cli: " << error << std::endl;
        return 1;
    }
    LinkSession session(context.options, context.err);
    if (!session.open()) {
        publisher.stop(2000);
        return 1;
    }
    // The names the main window's users gave the drives, as its list shows them.
    const IniSettingsStore names =
        IniSettingsStore::Load(UserSettingsPath(kSettingsCompany, kAppTitle));
    PublishGateway gateway(records, publisher, clock, o.gateway,
                           [&names](int station) { return ReadDeviceName(names, station); });
    ConnectionConfig config{o.dataDir, context.options.retries};
    config.neverWrite = true;
    ConnectionManager manager(session.link(), records, gateway, config);

    manager.ScanIds(o.ids);
    bool firstScanDone = false;
    auto nextRescan = std::chrono::steady_clock::now() + o.rescan;
    (void)session.runUntil([&] {
        gateway.flush();
        if (manager.IsScanning()) return false;
        if (!firstScanDone) {
            firstScanDone = true;
            gateway.forgetAbsent(unconnected(o.ids, records));
        }
        if (std::chrono::steady_clock::now() >= nextRescan) {
            nextRescan = std::chrono::steady_clock::now() + o.rescan;
            // A quick scan costs an absent drive one short question, so monitoring goes on.
            const auto missing = unconnected(o.ids, records);
            if (!missing.empty()) manager.ScanIds(missing, true);
        }
        return false;
    });
    publisher.stop(3000);
    return 0;
}

const CommandRegistrar registrar(
    {"publish",
     "publish IDS --broker mqtt[s]://HOST:PORT [--topic-prefix P] [--interval S]\n"
     "          [--keepalive S] [--client-id ID] [--credentials FILE] [--cafile FILE]\n"
     "          [--cert FILE --key FILE] [--rescan S] [--data-dir DIR]",
     runPublish});

}  // namespace
}  // namespace korvane::cli
