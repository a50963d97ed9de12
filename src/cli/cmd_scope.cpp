// scope STATION:ADDR... [--scan S] [--record S --csv FILE] [--trigger CH:EDGE:LEVEL]
// [--duration S] [--data-dir DIR]: the graph monitor without its window. Identifies the drives,
// samples the channels, prints one JSON line per sample, records the CSV file as the window
// does, and stops on the trigger, after the duration or on Ctrl-C.
#include <array>
#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "cli/cli_options.h"
#include "cli/link_session.h"
#include "cli/stream_prompter.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/settings.h"
#include "host/tool_services.h"
#include "paradb/monitor_list.h"
#include "scope/memory_chart.h"
#include "scope/scope_monitor.h"
#include "scope/scope_settings.h"

namespace korvane::cli {
namespace {

using namespace korvane::scope;
using SteadyClock = std::chrono::steady_clock;

struct ChannelArg {
    int station = 0;
    int address = 0;
    int bit = -1;  // ADDR.BIT picks one bit of a terminal word
};

struct TriggerArg {
    int channel = 0;
    TriggerEdge edge = TriggerEdge::kRising;
    std::string level;
};

struct ScopeArgs {
    std::vector<ChannelArg> channels;
    int scanIndex = kDefaultScanTime;
    std::optional<int> recordIndex;
    std::string csv;
    std::optional<TriggerArg> trigger;
    double duration = 0.0;  // 0: no limit
    std::string dataDir = CliDefaultDataDir();
};

double parseSeconds(const std::string& text, const char* what) {
    double value = 0.0;
    if (!ParseDecimal(text, value) || value <= 0)
        throw UsageError(std::string("bad ") + what + " \"" + text + "\"");
    return value;
}

template <typename Table>
int tableIndex(const std::string& text, const Table& periodsMs, int scale, const char* what) {
    const double seconds = parseSeconds(text, what);
    for (std::size_t i = 0; i < periodsMs.size(); ++i)
        if (std::fabs(periodsMs[i] * scale / 1000.0 - seconds) < 1e-9) return static_cast<int>(i);
    std::string allowed;
    for (auto p : periodsMs)
        allowed += (allowed.empty() ? "" : ", ") + FormatF6(p * scale / 1000.0);
    throw UsageError(std::string(what) + " \"" + text + "\" is not one of " + allowed);
}

ChannelArg parseChannel(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        throw UsageError("channel \"" + text + "\" is not STATION:ADDR");
    ChannelArg c;
    c.station = static_cast<int>(ParseNumberArg(text.substr(0, colon), 1, 255, "station"));
    std::string address = text.substr(colon + 1);
    const auto dot = address.find('.');
    if (dot != std::string::npos) {
        c.bit = static_cast<int>(ParseNumberArg(address.substr(dot + 1), 0, 15, "bit"));
        address.resize(dot);
    }
    c.address = static_cast<int>(ParseNumberArg(address, 0, 0xFFFE, "address"));
    return c;
}

TriggerArg parseTrigger(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
    if (parts.size() != 3) throw UsageError("--trigger needs CH:rising|falling:LEVEL");
    TriggerArg t;
    t.channel = static_cast<int>(ParseNumberArg(parts[0], 1, kChannelCount, "trigger channel")) - 1;
    if (parts[1] == "rising") {
        t.edge = TriggerEdge::kRising;
    } else if (parts[1] == "falling") {
        t.edge = TriggerEdge::kFalling;
    } else {
        throw UsageError("trigger edge \"" + parts[1] + "\" is not rising or falling");
    }
    t.level = parts[2];
    return t;
}

ScopeArgs parseArgs(const std::vector<std::string>& args) {
    ScopeArgs a;
    std::optional<std::string> record;
    auto value = [&](std::size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) throw UsageError(args[i] + " needs a value");
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--scan") {
            a.scanIndex = tableIndex(value(i), kScanPeriodMs, 1, "scan period");
        } else if (arg == "--record") {
            record = value(i);
        } else if (arg == "--csv") {
            a.csv = value(i);
        } else if (arg == "--trigger") {
            a.trigger = parseTrigger(value(i));
        } else if (arg == "--duration") {
            a.duration = parseSeconds(value(i), "duration");
        } else if (arg == "--data-dir") {
            a.dataDir = value(i);
        } else if (arg.starts_with("--")) {
            throw UsageError("unknown option " + arg);
        } else {
            a.channels.push_back(parseChannel(arg));
        }
    }
    if (a.channels.empty() || a.channels.size() > kChannelCount)
        throw UsageError("scope needs one to four channels STATION:ADDR");
    if (record.has_value() != !a.csv.empty()) throw UsageError("--record and --csv go together");
    if (record) a.recordIndex = tableIndex(*record, kRecordPeriodSeconds, 1000, "record period");
    if (a.trigger && a.trigger->channel >= static_cast<int>(a.channels.size()))
        throw UsageError("the trigger channel has no STATION:ADDR");
    return a;
}

// The position of the channel's item in the drive's list, or a usage error that lists them.
int itemIndexFor(const ChannelArg& c, const DriveRecord& record) {
    std::vector<MonitorItem> items;
    BuildMonitorList(record.seriesCode, record.version, kMonitorListAll, items);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MonitorItem& item = items[i];
        if (item.address != c.address) continue;
        if (c.bit < 0 || (item.bitItem && item.bit == c.bit)) return static_cast<int>(i);
    }
    // Appended piece by piece: GCC 12 at -O3 takes "literal" + a temporary for an overlapping
    // copy (a false -Wrestrict).
    std::string list;
    for (const MonitorItem& item : items) {
        list.append("\n  ").append(std::to_string(item.address));
        if (item.bitItem) list.append(".").append(std::to_string(item.bit));
        list.append("  ").append(ScopeChannels::ShownName(item.name));
    }
    std::string text = strprintf("station %d has no monitor item at %d", c.station, c.address);
    if (c.bit >= 0) text.append(".").append(std::to_string(c.bit));
    throw UsageError(text.append("; its items are:").append(list));
}

// The monitor's clocks on the steady clock, fired from the session loop.
class LoopClocks : public ScopeTimers {
public:
    void start(ScopeClock clock, int periodMs) override {
        Timer& t = timers_[static_cast<std::size_t>(clock)];
        t.period = std::chrono::milliseconds(std::max(periodMs, 1));
        t.next = SteadyClock::now() + t.period;
        t.running = true;
    }
    void stop(ScopeClock clock) override {
        timers_[static_cast<std::size_t>(clock)].running = false;
    }

    void fireDue(ScopeMonitor& monitor) {
        const auto now = SteadyClock::now();
        for (std::size_t i = 0; i < timers_.size(); ++i) {
            Timer& t = timers_[i];
            if (!t.running || now < t.next) continue;
            t.next += t.period;
            if (t.next < now) t.next = now + t.period;  // a stalled loop fires once, not a burst
            switch (static_cast<ScopeClock>(i)) {
                case ScopeClock::kScan:
                    monitor.onSample();
                    break;
                case ScopeClock::kRecord:
                    monitor.onRecord();
                    break;
                case ScopeClock::kElapsed:
                    monitor.onSecond();
                    break;
                case ScopeClock::kBlink:
                    monitor.onBlink();
                    break;
            }
        }
    }

private:
    struct Timer {
        bool running = false;
        std::chrono::milliseconds period{1000};
        SteadyClock::time_point next;
    };
    std::array<Timer, 4> timers_{};
};

class SamplePrinter {
public:
    SamplePrinter(std::ostream& out, ScopeMonitor& monitor) : out_(out), monitor_(monitor) {
        ScopeEvents& events = monitor.events();
        sampled_ = events.sampled.connect([this](int) { sampled(); });
        triggered_ = events.triggerDetected.connect(
            [this](int channel, int, double value) { triggerDetected(channel, value); });
    }
    void sampled() {
        nlohmann::ordered_json j;
        j["t"] = seconds();
        nlohmann::json values = nlohmann::json::array();
        for (int i = 0; i < channels; ++i) {
            // A value that is not live (nothing received yet, a failed poll) is null.
            if (monitor_.channelSet().hasLiveValue(i)) {
                values.push_back(monitor_.channels()[static_cast<std::size_t>(i)].value);
            } else {
                values.push_back(nullptr);
            }
        }
        j["values"] = values;
        out_ << j.dump() << std::endl;
    }
    void triggerDetected(int channel, double value) {
        nlohmann::ordered_json j;
        j["trigger"] = true;
        j["channel"] = channel + 1;
        j["t"] = seconds();
        j["value"] = value;
        out_ << j.dump() << std::endl;
    }
    int channels = 0;
    SteadyClock::time_point start = SteadyClock::now();

private:
    double seconds() const {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
        return static_cast<double>(ms.count()) / 1000.0;
    }
    std::ostream& out_;
    const ScopeMonitor& monitor_;
    Connection sampled_;
    Connection triggered_;
};

// The run as the window would have it stored: the channels, periods and trigger asked for.
ScopeSettings runSettings(const ScopeArgs& a, const std::vector<int>& itemIndexes) {
    ScopeSettings s;
    for (std::size_t i = 0; i < a.channels.size(); ++i) {
        ChannelSettings& c = s.channels[i];
        c.on = 1;
        c.station = a.channels[i].station;
        c.address = a.channels[i].address;
        c.itemIndex = itemIndexes[i];
    }
    s.scanTime = a.scanIndex;
    if (a.recordIndex) s.recordTime = *a.recordIndex;
    if (a.trigger) {
        s.triggerChannel = a.trigger->channel;
        s.triggerEdge = a.trigger->edge == TriggerEdge::kFalling ? 1 : 0;
        s.triggerLevel = a.trigger->level;
    }
    return s;
}

// The stations whose polling failed for good during the run.
class LostStations : public ConnectionEvents {
public:
    void driveDisconnected(int station, const DriveRecord&) override { lost.insert(station); }
    std::set<int> lost;
};

int runScope(CommandContext& context) {
    const ScopeArgs a = parseArgs(context.args);

    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    DriveRecords records;
    LostStations events;
    ConnectionManager manager(session.link(), records, events,
                              ConnectionConfig{a.dataDir, context.options.retries});
    std::set<int> stations;
    for (const ChannelArg& c : a.channels) stations.insert(c.station);
    manager.ScanIds(std::vector<int>(stations.begin(), stations.end()));
    if (!session.runUntil([&] { return !manager.IsScanning(); })) return 1;
    std::vector<int> itemIndexes;
    for (const ChannelArg& c : a.channels) {
        if (!records[c.station].isConnected()) {
            context.err << "korvane-cli: station " << c.station
                        << " did not answer or has no monitor list" << std::endl;
            return 1;
        }
        itemIndexes.push_back(itemIndexFor(c, records[c.station]));
    }

    MemorySettingsStore store;
    SaveScopeSettings(runSettings(a, itemIndexes), store);
    StreamPrompter prompter(context.err, "korvane-cli: ");
    const ToolServices services =
        session.services(records, store, prompter, MakeAppDirectories("."));
    MemoryChart chart;
    LoopClocks clocks;
    ScopeMonitor monitor(services, chart, clocks);
    SamplePrinter printer(context.out, monitor);
    printer.channels = static_cast<int>(a.channels.size());
    monitor.open();
    if (a.recordIndex) monitor.recorder().setPath(a.csv);
    printer.start = SteadyClock::now();
    monitor.startMonitoring();
    if (!monitor.monitoring()) return 1;
    if (a.recordIndex) {
        monitor.recorder().start();
        if (!monitor.recorder().recording()) return 1;
    }
    if (a.trigger) {
        // The level as typed: the stored form keeps six decimals.
        monitor.trigger().setLevelText(a.trigger->level);
        monitor.trigger().arm();
        if (!monitor.trigger().armed()) return 1;
    }
    const auto end = printer.start + std::chrono::duration_cast<SteadyClock::duration>(
                                         std::chrono::duration<double>(a.duration));
    (void)session.runUntil([&] {
        clocks.fireDue(monitor);
        // With every drive gone nothing is left to sample.
        return !monitor.monitoring() || events.lost.size() == stations.size() ||
               (a.duration > 0 && SteadyClock::now() >= end);
    });
    // Closing flushes and closes the record, whether the run ended or was interrupted.
    const bool recordFailed = a.recordIndex && prompter.complained();
    monitor.close();
    for (int station : events.lost)
        context.err << "korvane-cli: station " << station << " stopped answering" << std::endl;
    return recordFailed || !events.lost.empty() ? 1 : 0;
}

const CommandRegistrar registrar(
    {"scope",
     "scope STATION:ADDR... [--scan 0.1..5] [--record SECONDS --csv FILE] "
     "[--trigger CH:rising|falling:LEVEL] [--duration SECONDS] [--data-dir DIR]",
     runScope});

}  // namespace
}  // namespace korvane::cli
