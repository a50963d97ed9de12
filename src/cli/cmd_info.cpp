// info STATION [--page run|terminals|faults] [--polls N] [--data-dir DIR]: the information
// sheet's pages for one drive, one JSON object per page after every poll round.
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "cli/identified_drive.h"
#include "cli/link_session.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/tool_services.h"
#include "monitor/info_sheet.h"

namespace korvane::cli {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kPageNames[] = {"run", "terminals", "faults"};
constexpr const char* kRunKeys[] = {"frequency_command", "acceleration_time", "deceleration_time",
                                    "output_frequency",  "output_current",    "output_power",
                                    "run_status",        "dc_link_voltage"};

Json boxesJson(const std::vector<InfoBox>& boxes) {
    Json list = Json::array();
    for (const InfoBox& b : boxes) list.push_back({{"name", b.caption}, {"on", b.on}});
    return list;
}

Json pageJson(InfoSheet& sheet, int page) {
    Json j;
    j["page"] = kPageNames[page];
    if (page == InfoSheet::kRunPage) {
        Json values;
        for (int v = 0; v < RunStatusPage::kValueCount; ++v)
            values[kRunKeys[v]] = sheet.runPage().text(v);
        j["values"] = values;
        j["title"] = sheet.title();
    } else if (page == InfoSheet::kTerminalPage) {
        j["inputs"] = boxesJson(sheet.terminalPage().inputs());
        j["outputs"] = boxesJson(sheet.terminalPage().outputs());
    } else {
        j["trips"] = boxesJson(sheet.faultPage().trips());
    }
    return j;
}

// Listens after the pages: a round is over once every address the pages poll has come back.
class RoundCounter : public MonitorListener {
public:
    RoundCounter(LinkSession& session, std::vector<int> wanted)
        : session_(session), wanted_(std::move(wanted)) {}
    void OnDriveMonitor(int, const DriveReply& reply) override {
        if (reply.errorCode == kErrRetriesExhausted) {
            failed = true;
            return;
        }
        if (reply.errorCode != kErrNone) {
            session_.traceNotice(reply);
            return;
        }
        for (int i = 0; i < reply.wordCount && i < kMaxReplyWords; ++i)
            seen_.insert(reply.addresses[static_cast<std::size_t>(i)]);
        bool all = true;
        for (int a : wanted_) all = all && seen_.count(a) > 0;
        if (all) {
            ++rounds;
            seen_.clear();
        }
    }
    long rounds = 0;
    bool failed = false;

private:
    LinkSession& session_;
    std::vector<int> wanted_;
    std::set<int> seen_;
};

int pageIndex(const std::string& name) {
    for (int i = 0; i < InfoSheet::kPageCount; ++i)
        if (name == kPageNames[i]) return i;
    throw UsageError("--page is run, terminals or faults");
}

int runInfo(CommandContext& context) {
    std::vector<std::string> args = context.args;
    const std::string dataDir = TakeDataDirOption(args);
    std::vector<std::string> positional;
    int onlyPage = -1;
    long polls = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--page") {
            if (i + 1 >= args.size()) throw UsageError("--page needs run, terminals or faults");
            onlyPage = pageIndex(args[++i]);
        } else if (args[i] == "--polls") {
            if (i + 1 >= args.size()) throw UsageError("--polls needs a number");
            polls = ParseNumberArg(args[++i], 1, 1000000000L, "poll count");
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 1) throw UsageError("info needs one station");
    const int station = static_cast<int>(ParseNumberArg(positional[0], 1, 255, "station"));

    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    IdentifiedDrive drive(session, dataDir, context.options.retries);
    // The sheet shows common words only: a drive without a data file is shown as well.
    if (!drive.identify(station, context.err, IdentifiedDrive::DataFileNeed::kNotNeeded)) return 1;

    MemorySettingsStore settings;
    RecordingPrompter prompter;
    ToolServices services = session.services(drive.records(), settings, prompter);
    InfoSheet sheet(services, station);
    std::vector<int> pages;
    std::vector<int> wanted;
    const DriveRecord& r = drive.record();
    for (int p = 0; p < InfoSheet::kPageCount; ++p) {
        if (onlyPage >= 0 && p != onlyPage) continue;
        pages.push_back(p);
        // Every page polls at once: the command shows them side by side.
        sheet.page(p).initialise();
        const std::vector<int> a = p == InfoSheet::kRunPage ? RunPageAddresses(r.seriesCode)
                                   : p == InfoSheet::kTerminalPage
                                       ? TerminalPageAddresses()
                                       : FaultPageAddresses(r.seriesCode, r.version);
        wanted.insert(wanted.end(), a.begin(), a.end());
    }
    if (onlyPage >= 0 && onlyPage != InfoSheet::kRunPage) sheet.runPage().deactivate();

    RoundCounter counter(session, wanted);
    session.link().AddListener(station, &counter);
    long printed = 0;
    const bool finished = session.runUntil([&] {
        while (printed < counter.rounds && printed < polls) {
            for (int p : pages) context.out << pageJson(sheet, p).dump() << "\n";
            context.out.flush();
            ++printed;
        }
        return counter.failed || printed >= polls;
    });
    session.link().RemoveListener(station, &counter);
    if (counter.failed) {
        for (int p : pages) context.out << pageJson(sheet, p).dump() << "\n";
        context.err << "korvane-cli: " << sheet.title() << std::endl;
        return 1;
    }
    (void)finished;  // being interrupted is how a user ends a long watch
    return 0;
}

const CommandRegistrar registrar(
    {"info", "info STATION [--page run|terminals|faults] [--polls N] [--data-dir DIR]", runInfo});

}  // namespace
}  // namespace korvane::cli
