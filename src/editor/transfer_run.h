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
#include "editor/compare_result.h"
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

inline constexpr const char* kTransferFileFilter =
    "パラメータファイル (*.par)|*.par|ユーザグループファイル (*.usr)|*.usr||";
inline constexpr const char* kStartLabel = "開始";
inline constexpr const char* kCloseLabel = "閉じる";
inline constexpr const char* kCancelLabel = "Cancel";
inline constexpr const char* kCloseAgainLabel = "閉じます";
inline constexpr const char* kStopQuestion = "停止しますか？";
inline constexpr const char* kUserGroupVersionQuestion =
    "ユーザグループファイルとインバータのバージョンが違います\n\n続行しますか？";
inline constexpr const char* kDriveDisconnectedText = "選択されたインバータが切断されました";
inline constexpr const char* kNoDataFileText =
    "インバータモデルとバージョンに対応するデータファイルがありません";
inline constexpr const char* kCommErrorText =
    "[%s] %d : %s\nCommunicationエラーが発生しました\n\n*** %s ***";
inline constexpr const char* kUndefinedErrorText = "未定義エラー";
inline constexpr const char* kRetryText = "%dth 再試行中…";
inline constexpr const char* kStepText = "[%s] %d : %s";
inline constexpr const char* kUploadDoneText = "アップロードアクションが終了しました";
inline constexpr const char* kDownloadDoneText = "ダウンロードアクションが終了しました";
inline constexpr const char* kCompareDoneText = "比較アクションが終了しました";
inline constexpr const char* kAllSameText = "全てのパラメータデータは同じです";
// Appended to the end-of-run text when parameters were not read or writes were refused.
inline constexpr const char* kUnreadCountText = "\n%d 個のパラメータは読み取れませんでした";
inline constexpr const char* kRefusedCountText = "\n%d 個のパラメータは書き込みを拒否されました";
// Appended after an upload into a user group when some of its entries were not read.
inline constexpr const char* kUnreadKeptText =
    "\n読み取れなかったパラメータはファイルの以前の値のままです";
// The list of those entries, in the form of the compare results.
inline constexpr const char* kUnreadEntriesTitle = "読み取れなかったパラメータ";
// An upload that read only part of the parameters, over a parameter file holding values it
// lacks: nothing is saved until the user agrees to lose them.
inline constexpr const char* kPartialHeldText =
    "一部のパラメータが読み取れなかったため、ファイルは上書きされませんでした";
inline constexpr const char* kPartialReplaceQuestion =
    "%s ファイルには読み取れなかったパラメータの値があります.\n"
    "読み取れたパラメータだけで上書きを希望しますか？";

// What became of one entry of a download, in the order the chain met it.
struct TransferEntryResult {
    enum class Outcome { kWritten, kPassed, kRefused };
    std::uint32_t address = 0;
    const CItem* item = nullptr;  // null: the data file does not know the address
    std::uint32_t value = 0;      // the file's value
    Outcome outcome = Outcome::kPassed;
    int error = 0;  // the drive's error code of a refused write
};

// The dialog's window: re-reads the state on every change and shows what it is told to.
class TransferView {
public:
    virtual ~TransferView() = default;
    virtual void stateChanged() {}
    // The path field takes the focus with all its text selected.
    virtual void focusPath() {}
    virtual void showCompareResults(const std::vector<CompareRow>& /*rows*/) {}
    // Writes the drive refused during a download, in the form of the compare results.
    virtual void showRefusedWrites(const std::vector<CompareRow>& /*rows*/) {}
    // The editor's list shows the values as they now are.
    virtual void valuesChanged() {}
    // The drive went away: the dialog ends. May come while a question is open; its answer is
    // then ignored.
    virtual void closeDialog() {}
    virtual void entryDone(const TransferEntryResult& /*result*/) {}
    // An upload into a user group ended with entries it could not read; the file keeps their
    // previous values, shown in the file column.
    virtual void showUnreadEntries(const std::vector<CompareRow>& /*rows*/) {}
    // An upload's result is held (PartialSaveHeld): a window that can ask calls
    // AskPartialReplace. Until the answer nothing is saved.
    virtual void partialResultHeld() {}
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
    TransferRun(const TransferContext& context, TransferMode mode, TransferView* view = nullptr);
    // The tool window's bundle, for the drive of `station`.
    TransferRun(const ToolServices& services, int station, TransferMode mode,
                TransferView* view = nullptr);
    ~TransferRun();
    TransferRun(const TransferRun&) = delete;
    TransferRun& operator=(const TransferRun&) = delete;

    void setView(TransferView* view) { view_ = view; }

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
    TransferView* view_;
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
