#pragma once
// A drive on an in-memory TK485 line for the transfer tests: the real drive link ticked by hand,
// a word table for the drive's parameters, scripted refusals and silences, and a recorder of
// everything the transfer dialog tells its window.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "comm/drive_link.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "editor/transfer_run.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "support/fake_port.h"

namespace korvane::testing {

// Answers questions through a function, so that a test can let the line run while a question is
// open, as a modal message box would.
class ScriptPrompter : public Prompter {
public:
    struct Entry {
        std::string kind;
        std::string text;
    };
    void ask(const std::string& text, const std::string&, YesNo answer) override;
    void askYesNoCancel(const std::string& text, const std::string& caption,
                        YesNoCancel answer) override {
        ask(text, caption, [answer](bool yes) { answer(yes ? Answer::kYes : Answer::kNo); });
    }
    void info(const std::string& text, const std::string&) override {
        entries.push_back({"info", text});
    }
    void error(const std::string& text, const std::string&) override {
        entries.push_back({"error", text});
    }
    std::vector<std::string> texts(const std::string& kind) const;

    std::function<bool(const std::string& text)> answer = [](const std::string&) { return true; };
    std::vector<Entry> entries;
    // Questions stay open until answerOpen, as a box the user leaves on the screen.
    bool holdQuestions = false;
    std::deque<YesNo> open;
    void answerOpen(bool yes) {
        YesNo pending = std::move(open.front());
        open.pop_front();
        pending(yes);
    }
};

// Records what the runs it listens to tell their window.
struct ViewRecorder {
    void listen(TransferRun& run) {
        TransferEvents& e = run.events;
        connections.push_back(e.focusPath.connect([this] { ++focused; }));
        connections.push_back(e.compareResults.connect([this](const auto& r) { compared = r; }));
        connections.push_back(e.refusedWrites.connect([this](const auto& r) { refused = r; }));
        connections.push_back(e.valuesChanged.connect([this] { ++refreshed; }));
        connections.push_back(e.closeDialog.connect([this] { ++closed; }));
        connections.push_back(
            e.entryDone.connect([this](const TransferEntryResult& r) { results.push_back(r); }));
        connections.push_back(e.unreadEntries.connect([this](const auto& r) { unread = r; }));
        connections.push_back(e.partialResultHeld.connect([this] { ++held; }));
    }

    std::vector<Connection> connections;
    int focused = 0, refreshed = 0, closed = 0, held = 0;
    std::optional<std::vector<CompareRow>> compared, refused, unread;
    std::vector<TransferEntryResult> results;
};

class TempDir;
using WordPairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Parameter and user-group files of (address, value) pairs, written and read back.
std::string savedPar(const TempDir& tmp, const std::string& name, WordPairs values, int series = 11,
                     int version = 0x0310);
std::string savedUsr(const TempDir& tmp, const std::string& name, WordPairs values, int series = 11,
                     int version = 0x0310);
WordPairs readPar(const std::string& path);
WordPairs readUsr(const std::string& path);
std::uint32_t valueAt(const WordPairs& set, std::uint32_t address);
bool holds(const WordPairs& set, std::uint32_t address);

class TransferRig {
public:
    // A connected drive of the sample data file of this series and version, at station 3.
    TransferRig(int series = 11, int version = 0x0310);
    ~TransferRig();

    std::unique_ptr<TransferRun> dialog(TransferMode mode, const std::string& path);
    // Ticks the link and drains the line until done() holds; false after `maxTicks`.
    bool runUntil(const std::function<bool()>& done, int maxTicks = 20000);
    // Until the dialog is idle and nothing more is posted.
    bool finish(TransferRun& dlg, int maxTicks = 20000);
    void tick();

    // Requests seen on the line, as (letter, address), in order.
    std::vector<std::pair<char, int>> requests() const;
    std::vector<int> writtenAddresses() const;

    QueueExecutor ex;
    std::shared_ptr<test::FakeLine> line = std::make_shared<test::FakeLine>();
    CDriveLink link;
    DriveRecord drive{3};
    ScriptPrompter prompter;
    TransferFileChoice choice;
    ViewRecorder view;

    // The drive: words by address (unlisted ones read as the data file's default), NAK codes
    // by address, and whether it answers at all. `hold` keeps the next reply back.
    std::map<int, int> words;
    std::map<int, std::string> nak;
    std::map<int, std::vector<std::string>> nakSequence;  // consumed one per request
    bool silent = false;
    bool hold = false;
    std::optional<std::string> held;

private:
    std::optional<std::string> answer(const std::string& frame);
};

}  // namespace korvane::testing
