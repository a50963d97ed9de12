#pragma once
// Upload, download and compare of a whole parameter set: the behaviour of the transfer dialog.
// One request to the drive at a time; each reply starts the next step, so nothing ever waits
// inside a call. Message boxes and the end-of-run handlers are posted to the protocol thread,
// never run from inside the link's delivery of a reply.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "common/signal.h"
#include "editor/compare_result.h"
#include "editor/para_texts.h"
#include "editor/transfer_path.h"
#include "editor/transfer_priority.h"
#include "editor/transfer_working_set.h"

namespace korvane {

class UserGroup;
class CDataFile;
class CDriveLink;
class CItem;
class CParaArray;
class Executor;
class Prompter;
struct DriveRecord;
struct ToolServices;

enum class TransferMode { kUpload = 0, kDownload = 1, kCompare = 2 };

// What became of one entry of a download, in the order the chain met it.
struct TransferEntryResult {
    enum class Outcome { kWritten, kPassed, kRefused };
    std::uint32_t address = 0;
    const CItem* item = nullptr;  // null: the data file does not know the address
    std::uint32_t value = 0;      // the file's value
    Outcome outcome = Outcome::kPassed;
    int error = 0;  // the drive's error code of a refused write
};

// What the dialog's window is told of: it re-reads the state on every change and shows what
// it is told to.
struct TransferEvents {
    Signal<> stateChanged;
    // The path field takes the focus with all its text selected.
    Signal<> focusPath;
    Signal<const std::vector<CompareRow>&> compareResults;
    // Writes the drive refused during a download, in the form of the compare results.
    Signal<const std::vector<CompareRow>&> refusedWrites;
    // The editor's list shows the values as they now are.
    Signal<> valuesChanged;
    // The drive went away: the dialog ends. May come while a question is open; its answer is
    // then ignored.
    Signal<> closeDialog;
    Signal<const TransferEntryResult&> entryDone;
    // An upload into a user group ended with entries it could not read; the file keeps their
    // previous values, shown in the file column.
    Signal<const std::vector<CompareRow>&> unreadEntries;
    // An upload's result is held (PartialSaveHeld): a window that can ask calls
    // AskPartialReplace. Until the answer nothing is saved.
    Signal<> partialResultHeld;
};

struct TransferContext {
    CDriveLink& link;
    DriveRecord& drive;
    Prompter& prompter;
    Executor& executor;
    TransferFileChoice& fileChoice;
};

// How the last run ended.
enum class TransferEnd {
    kNone,       // not run yet, or refused before it began
    kDone,       // every entry processed and, for an upload, the file saved
    kFailed,     // a communication failure, a lost drive or a file that could not be saved
    kStopped,    // the user said yes to the stop question
    kCancelled,  // the drive was disconnected
    kHeld,       // an upload read only part of what the existing file holds: not saved yet
};

struct TransferCounts {
    int read = 0;     // entries read (upload, compare) or written (download)
    int unread = 0;   // entries the data file knows that were not read
    int passed = 0;   // download: no item, read-only or excluded
    int refused = 0;  // download: writes the drive refused
};

class TransferRun {
public:
    TransferRun(const TransferContext& context, TransferMode mode);
    // The tool window's bundle, for the drive of `station`.
    TransferRun(const ToolServices& services, int station, TransferMode mode);
    ~TransferRun();
    TransferRun(const TransferRun&) = delete;
    TransferRun& operator=(const TransferRun&) = delete;

    TransferEvents events;

    std::string Title() const;
    std::string Description() const;
    const std::string& PathText() const { return path_; }
    void SetPathText(const std::string& text) { path_ = text; }
    // The browse dialog's filter index, 1 parameter file or 2 user group.
    int FilterIndex() const { return choice_.get(); }
    const std::string& StatusText() const { return status_; }
    bool IsRunning() const { return phase_ != Phase::kIdle; }
    bool PathEnabled() const { return !IsRunning(); }
    bool StartEnabled() const { return !IsRunning(); }
    const char* CloseButtonLabel() const;
    bool ProgressVisible() const { return IsRunning(); }
    int ProgressPosition() const { return progress_; }
    int ProgressRange() const { return static_cast<int>(entries_.size()); }

    void Start();
    // The Close button, Escape or the window's close box: true when the dialog ends.
    bool Close();
    // From the tool window's drive events: a run on this drive is cancelled and the dialog
    // ends, since the drive's data file is going away.
    void OnDriveDisconnected(int station);

    // Of the last run.
    TransferFileKind FileKind() const { return kind_; }
    TransferEnd LastEnd() const { return end_; }
    const TransferCounts& Counts() const { return counts_; }
    const std::vector<CompareRow>& CompareRows() const { return compareRows_; }
    const std::vector<CompareRow>& RefusedRows() const { return refusedRows_; }
    // Upload into a user group: the entries not read, with the values the file keeps.
    const std::vector<CompareRow>& UnreadRows() const { return unreadRows_; }

    // Whether an upload that could not read every parameter may replace a parameter file that
    // holds values for the ones it missed. Off: such a run ends kHeld, saving nothing, and
    // waits for SaveHeldResult (the user agreed to lose those values) or DropHeldResult.
    void SetPartialReplaceAllowed(bool allowed) { partialReplaceAllowed_ = allowed; }
    bool PartialSaveHeld() const { return held_ != nullptr; }
    // The question to ask while a result is held.
    std::string PartialReplaceQuestion() const;
    void SaveHeldResult();
    void DropHeldResult();
    // Asks PartialReplaceQuestion and saves or drops the held result as answered.
    void AskPartialReplace();

private:
    enum class Phase { kIdle, kRunning, kFinishing };
    using Entry = TransferEntry;
    class StepSink;

    bool resolvePath();
    void begin();
    // Ends in workingSetBuilt, at once or once a question is answered.
    void buildWorkingSet();
    void workingSetBuilt(std::optional<TransferWorkingSet> set);
    // The answer is dropped when the dialog is gone or this run is over.
    void ask(const std::string& text, std::function<void(bool)> then);
    bool checkSavable();
    void refuseUnfitValues();
    bool writtenByDownload(std::uint32_t address, const CItem* item) const;
    bool saveUploadedSet(CParaArray set);
    void listUnreadEntries();
    int precheck() const;  // 0 fine, else the failure code
    void step();
    bool prePassStep();
    bool passesOver(std::size_t position, const CItem* item) const;
    void issue(std::size_t position, CItem* item);
    void onReply(int serial, const DriveReply& reply);
    void onAccepted(const DriveReply& reply);
    void onRejected(int code);
    void onFailure(const DriveReply* reply);
    void report(std::size_t position, const CItem* item, TransferEntryResult::Outcome outcome,
                int error = 0);
    void askStop();
    void askStopAfterFailure();
    void stopRun();
    void post(void (TransferRun::*handler)());
    void postFailed(int code);
    void onTransferFailed(int code);
    void onUploadDone();
    void onDownloadDone();
    void onCompareDone();
    void countUnread();
    void becomeIdle();
    void changed();
    CItem* itemAt(std::uint32_t address) const;

    TransferContext context_;
    TransferMode mode_;
    TransferFileChoice& choice_;
    int station_;
    PriorityTable table_;
    std::string path_;
    std::string status_;
    TransferFileKind kind_ = TransferFileKind::kParaSet;
    Phase phase_ = Phase::kIdle;
    bool started_ = false;
    TransferEnd end_ = TransferEnd::kNone;
    std::shared_ptr<CDataFile> dataFile_;  // kept alive for the whole run
    std::unique_ptr<UserGroup> custom_;
    std::vector<Entry> entries_;
    std::size_t index_ = 0;
    int progress_ = 0;
    std::size_t prePassCounter_ = 0;
    bool prePassDone_ = false;
    // The step whose reply is awaited.
    std::optional<std::size_t> current_;
    CItem* currentItem_ = nullptr;
    bool awaiting_ = false;
    bool stopOpen_ = false;
    bool asking_ = false;  // the overwrite or version question is open
    int run_ = 0;          // counts run starts and ends: an answer of an ended run is dropped
    bool stopAfterFailure_ = false;
    int serial_ = 0;
    std::string lastError_;
    std::vector<std::unique_ptr<StepSink>> sinks_;
    TransferCounts counts_;
    std::vector<CompareRow> compareRows_;
    std::vector<CompareRow> refusedRows_;
    std::vector<CompareRow> unreadRows_;
    bool partialReplaceAllowed_ = false;
    std::unique_ptr<CParaArray> held_;
    LifetimeToken alive_;
};

}  // namespace korvane
