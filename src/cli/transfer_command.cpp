#include "cli/transfer_command.h"

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string_view>

#include "app/connection_manager.h"
#include "cli/cli_options.h"
#include "cli/link_session.h"
#include "common/file_path.h"
#include "common/prompter.h"
#include "common/translation.h"
#include "editor/para_texts.h"
#include "paradb/data_file.h"

namespace korvane::cli {
namespace {

// Whether the question is one of those that ask to overwrite a file, in the interface's language.
bool asksToOverwrite(std::string_view text) {
    for (const char* format : {kOverwriteFormat, kPartialReplaceQuestion}) {
        const std::string_view shown = Tr(format);
        const std::size_t path = shown.find("%s");
        if (path == std::string_view::npos) continue;
        if (text.size() >= shown.size() - 2 && text.starts_with(shown.substr(0, path)) &&
            text.ends_with(shown.substr(path + 2)))
            return true;
    }
    return false;
}

// Questions are answered as the options say: overwrite only with --force, stop at once when the
// drive stops answering (going on would time out on every parameter left), no to anything else.
class OptionPrompter : public Prompter {
public:
    OptionPrompter(std::ostream& err, bool force) : err_(err), force_(force) {}
    void ask(const std::string& text, const std::string&, YesNo answer) override {
        err_ << text << "\n";
        answer(text == Tr(kStopQuestion) || (force_ && asksToOverwrite(text)));
    }
    void askYesNoCancel(const std::string& text, const std::string&, YesNoCancel answer) override {
        err_ << text << "\n";
        answer(Answer::kCancel);
    }
    void info(const std::string& text, const std::string&) override { err_ << text << "\n"; }
    void error(const std::string& text, const std::string&) override { err_ << text << "\n"; }

private:
    std::ostream& err_;
    bool force_;
};

// A drive removed while the chain runs cancels it, as it closes the editor's dialog.
class Disconnections : public ConnectionEvents {
public:
    std::function<void(int)> onDisconnected;
    void driveDisconnected(int station, const DriveRecord&) override {
        if (onDisconnected) onDisconnected(station);
    }
};

class EntryLines {
public:
    explicit EntryLines(std::ostream& out) : out_(out) {}
    void entryDone(const TransferEntryResult& r) {
        static const char* const kResults[] = {"written", "passed", "refused"};
        nlohmann::ordered_json j;
        j["address"] = r.address;
        j["name"] = r.item ? nlohmann::ordered_json(r.item->displayName) : nullptr;
        j["value"] = r.value;
        j["result"] = kResults[static_cast<int>(r.outcome)];
        j["error"] = r.error;
        out_ << j.dump() << std::endl;
    }

private:
    std::ostream& out_;
};

}  // namespace

TransferArgs ParseTransferArgs(const std::vector<std::string>& args, const char* command,
                               bool allowForce) {
    TransferArgs parsed;
    parsed.dataDir = CliDefaultDataDir();
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--data-dir") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw UsageError("--data-dir needs a directory");
            parsed.dataDir = args[++i];
        } else if (allowForce && args[i] == "--force") {
            parsed.force = true;
        } else if (allowForce && args[i] == "--partial") {
            parsed.partial = true;
        } else if (args[i].rfind("--", 0) == 0) {
            throw UsageError(std::string(command) + " does not take " + args[i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2)
        throw UsageError(std::string(command) + " needs a station and a file");
    parsed.station = static_cast<int>(ParseNumberArg(positional[0], 1, 255, "station"));
    if (positional[1].empty()) throw UsageError(std::string(command) + " needs a file");
    // The dialog wants a directory in every path; a file named on the command line is relative
    // to the current one.
    parsed.file =
        Utf8FromPath(std::filesystem::absolute(PathFromUtf8(positional[1])).lexically_normal());
    return parsed;
}

int RunTransfer(CommandContext& context, TransferMode mode, const TransferArgs& args,
                TransferReport report, bool entryLines) {
    LinkSession session(context.options, context.err);
    if (!session.open()) return 1;
    DriveRecords records;
    Disconnections events;
    ConnectionManager manager(session.link(), records, events,
                              ConnectionConfig{args.dataDir, context.options.retries});
    manager.ScanIds({args.station});
    if (!session.runUntil([&] { return !manager.IsScanning(); })) return 1;

    DriveRecord& drive = records[args.station];
    // Names and values as an online editor shows them: frequency mode, and TIME1 in the drive's
    // own time scale.
    if (drive.driveData && drive.driveData->loaded)
        drive.driveData->SetSpeedMode(1, drive.timeScale);

    OptionPrompter prompter(context.err, args.force);
    TransferFileChoice choice;
    EntryLines lines(context.out);
    TransferRun dlg(TransferContext{session.link(), drive, prompter, session.executor(), choice},
                    mode);
    Connection entries;
    if (entryLines)
        entries = dlg.events.entryDone.connect(
            [&lines](const TransferEntryResult& r) { lines.entryDone(r); });
    events.onDisconnected = [&dlg](int station) { dlg.OnDriveDisconnected(station); };
    dlg.SetPartialReplaceAllowed(args.partial);
    dlg.SetPathText(args.file);
    dlg.Start();
    if (!session.runUntil([&] { return !dlg.IsRunning(); })) return 1;
    events.onDisconnected = nullptr;
    return report(dlg, args, context);
}

}  // namespace korvane::cli
