#include "editor/transfer_run.h"

#include <algorithm>

#include "comm/drive_link.h"
#include "common/executor.h"
#include "common/file_path.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/translation.h"
#include "editor/para_texts.h"
#include "host/tool_services.h"
#include "paradb/archive.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "paradb/value_codec.h"

namespace korvane {
namespace {

constexpr int kFailDisconnected = 1;
constexpr int kFailNoDataFile = 2;
constexpr int kFailCommunication = 3;

const char* operationName(TransferMode mode) {
    switch (mode) {
        case TransferMode::kUpload:
            return Tr("パラメータアップロード");
        case TransferMode::kDownload:
            return Tr("パラメータダウンロード");
        case TransferMode::kCompare:
            return Tr("パラメータ比較");
    }
    return "";
}

std::string groupName(const CItem& item) {
    return item.GetGroup() ? item.GetGroup()->name : std::string();
}

}  // namespace

// Each request gets its own sink, so a reply owed to an abandoned step is recognised by its
// serial, and one owed to an earlier run is never delivered at all (its sink is gone).
class TransferRun::StepSink : public ReplySink {
public:
    StepSink(TransferRun& owner, int serial) : owner_(owner), serial_(serial) {}
    void OnDriveReply(int, const DriveReply& reply) override { owner_.onReply(serial_, reply); }

private:
    TransferRun& owner_;
    int serial_;
};

TransferRun::TransferRun(const TransferContext& context, TransferMode mode)
    : context_(context),
      mode_(mode),
      choice_(context.fileChoice),
      station_(context.drive.station),
      table_(PriorityTableFor(context.drive.seriesCode)) {}

TransferRun::TransferRun(const ToolServices& services, int station, TransferMode mode)
    : TransferRun(TransferContext{services.link, services.records[station], services.prompter,
                                  services.executor, TransferFileChoice::Process()},
                  mode) {}

TransferRun::~TransferRun() = default;

std::string TransferRun::Title() const {
    const DriveRecord& d = context_.drive;
    return strprintf("[%d:%s Ver%s] ", station_, SeriesName(d.seriesCode).c_str(),
                     VersionText(d.seriesCode, d.version).c_str()) +
           operationName(mode_);
}

std::string TransferRun::Description() const {
    switch (mode_) {
        case TransferMode::kUpload:
            return Tr(
                "インバータのパラメータを読み出してファイルに保存します。\n"
                "ユーザグループファイルを選択すると、そのグループのパラメータだけを読み出しま"
                "す。");
        case TransferMode::kDownload:
            return Tr(
                "ファイルのパラメータをインバータに書き込みます。\n"
                "読み取り専用のパラメータは書き込みません。");
        case TransferMode::kCompare:
            return Tr(
                "インバータのパラメータを読み出してファイルの値と比較し、"
                "異なるパラメータを一覧に表示します。");
    }
    return {};
}

const char* TransferRun::CloseButtonLabel() const {
    if (IsRunning()) return kCancelLabel;
    return started_ ? Tr(kCloseAgainLabel) : Tr(kCloseLabel);
}

// ---------------------------------------------------------------------------------- Start

void TransferRun::Start() {
    if (IsRunning() || asking_ || !resolvePath()) return;
    if (mode_ != TransferMode::kUpload || kind_ != TransferFileKind::kParaSet ||
        !PathExists(path_)) {
        begin();
        return;
    }
    asking_ = true;
    ask(strprintf(Tr(kOverwriteFormat), path_.c_str()), [this](bool overwrite) {
        asking_ = false;
        if (overwrite) return begin();
        events.focusPath();
    });
}

void TransferRun::begin() {
    if (IsRunning()) return;
    if (int code = precheck()) {
        onTransferFailed(code);
        return;
    }
    held_.reset();
    unreadRows_.clear();
    if (!checkSavable()) return;
    phase_ = Phase::kRunning;
    ++run_;
    started_ = true;
    end_ = TransferEnd::kNone;
    dataFile_ = context_.drive.driveData;
    index_ = 0;
    progress_ = 0;
    // Every run writes the leading addresses again; a second Start must not skip them.
    prePassCounter_ = 0;
    prePassDone_ = mode_ != TransferMode::kDownload;
    current_.reset();
    currentItem_ = nullptr;
    awaiting_ = stopOpen_ = stopAfterFailure_ = false;
    lastError_.clear();
    counts_ = {};
    compareRows_.clear();
    refusedRows_.clear();
    // Replies still owed to an earlier run are dropped by the link once their sinks are gone.
    sinks_.clear();
    changed();
    buildWorkingSet();
}

void TransferRun::workingSetBuilt(std::optional<TransferWorkingSet> set) {
    if (phase_ != Phase::kRunning) return;
    if (!set) {
        becomeIdle();
        return;
    }
    entries_ = std::move(set->entries);
    custom_ = std::move(set->group);
    refuseUnfitValues();
    changed();
    step();
}

// An upload ends in a save: a file that cannot be saved fails the run before the first read,
// not after all of them.
bool TransferRun::checkSavable() {
    if (mode_ != TransferMode::kUpload || CanSaveFile(path_)) return true;
    status_ = kind_ == TransferFileKind::kUserGroup ? Tr(kUserGroupSaveFailedText)
                                                    : Tr(kParaFileSaveFailedText);
    started_ = true;
    end_ = TransferEnd::kFailed;
    changed();
    context_.prompter.error(status_, kParameterEditorCaption);
    return false;
}

void TransferRun::ask(const std::string& text, std::function<void(bool)> then) {
    // The answer may come after the drive went (the run is over) or after the dialog closed.
    const int run = run_;
    context_.prompter.ask(text, kParameterEditorCaption,
                          WhileAlive(alive_.watch(), [this, run, then = std::move(then)](bool yes) {
                              if (run == run_) then(yes);
                          }));
}

bool TransferRun::resolvePath() {
    TransferPath resolved = ResolveTransferPath(path_, choice_);
    if (resolved.outcome == TransferPathOutcome::kEmpty) {
        context_.prompter.info(Tr(kSelectFileText), kParameterEditorCaption);
        return false;
    }
    if (resolved.outcome == TransferPathOutcome::kNoFileName) {
        context_.prompter.info(Tr(kBadPathText), kParameterEditorCaption);
        events.focusPath();
        return false;
    }
    path_ = resolved.path;
    kind_ = resolved.kind;
    changed();
    return true;
}

int TransferRun::precheck() const {
    const DriveRecord& d = context_.drive;
    if (!d.isConnected()) return kFailDisconnected;
    if (!d.driveData || !d.driveData->loaded) return kFailNoDataFile;
    // A drive removed and found again has a new data file; this run's items are not its.
    if (dataFile_ && d.driveData != dataFile_) return kFailDisconnected;
    return 0;
}

void TransferRun::buildWorkingSet() {
    entries_.clear();
    custom_.reset();
    const WorkingSetSource source{
        mode_, kind_, path_, context_.drive.seriesCode, context_.drive.version, dataFile_.get()};
    auto question = [this](const std::string& text, std::function<void(bool)> answer) {
        asking_ = true;
        ask(text, [this, answer = std::move(answer)](bool yes) {
            asking_ = false;
            answer(yes);
        });
    };
    BuildWorkingSet(
        source, context_.prompter, question,
        [this](std::optional<TransferWorkingSet> set) { workingSetBuilt(std::move(set)); });
}

// ---------------------------------------------------------------------------------- Steps

CItem* TransferRun::itemAt(std::uint32_t address) const {
    if (address > 0xFFFF || !dataFile_) return nullptr;
    return dataFile_->FindItem(static_cast<std::uint16_t>(address));
}

void TransferRun::step() {
    for (;;) {
        if (int code = precheck()) {
            postFailed(code);
            return;
        }
        // The chain resumes from here when the user declines to stop.
        if (stopOpen_) return;
        if (!prePassDone_ && prePassStep()) return;
        if (index_ >= entries_.size()) {
            phase_ = Phase::kFinishing;
            switch (mode_) {
                case TransferMode::kUpload:
                    post(&TransferRun::onUploadDone);
                    break;
                case TransferMode::kDownload:
                    post(&TransferRun::onDownloadDone);
                    break;
                case TransferMode::kCompare:
                    post(&TransferRun::onCompareDone);
                    break;
            }
            return;
        }
        const std::size_t position = index_++;
        CItem* item = itemAt(entries_[position].address);
        if (passesOver(position, item)) {
            if (!entries_[position].reported)
                report(position, item, TransferEntryResult::Outcome::kPassed);
            continue;
        }
        issue(position, item);
        return;
    }
}

bool TransferRun::writtenByDownload(std::uint32_t address, const CItem* item) const {
    if (item == nullptr || !item->writable) return false;
    const auto& leading = table_.leading;
    return !table_.lists(address) ||
           std::find(leading.begin(), leading.end(), address) != leading.end();
}

// A value that cannot be the item's word is refused before the first write, and listed as the
// drive's own refusals are: its low 16 bits would be written and reported as written.
void TransferRun::refuseUnfitValues() {
    if (mode_ != TransferMode::kDownload) return;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        const CItem* item = itemAt(entry.address);
        if (entry.reported || !writtenByDownload(entry.address, item) ||
            FitsItemWord(*item, entry.fileValue))
            continue;
        ++counts_.refused;
        refusedRows_.push_back(MakeRefusedRow(*item, entry.fileValue, kErrDataRange));
        report(i, item, TransferEntryResult::Outcome::kRefused, kErrDataRange);
    }
}

// Writes the series' leading addresses, in table order, before anything else of a download.
bool TransferRun::prePassStep() {
    while (prePassCounter_ < table_.leading.size()) {
        const std::uint16_t address = table_.leading[prePassCounter_++];
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [address](const Entry& e) { return e.address == address; });
        CItem* item = itemAt(address);
        if (it == entries_.end() || item == nullptr || !item->writable || it->reported) continue;
        issue(static_cast<std::size_t>(it - entries_.begin()), item);
        return true;
    }
    prePassDone_ = true;
    return false;
}

bool TransferRun::passesOver(std::size_t position, const CItem* item) const {
    if (item == nullptr) return true;
    if (mode_ != TransferMode::kDownload) return false;
    return !item->writable || table_.lists(entries_[position].address) ||
           entries_[position].reported;
}

void TransferRun::issue(std::size_t position, CItem* item) {
    current_ = position;
    currentItem_ = item;
    awaiting_ = true;
    sinks_.push_back(std::make_unique<StepSink>(*this, ++serial_));
    ReplySink* sink = sinks_.back().get();
    if (mode_ == TransferMode::kDownload) {
        context_.link.QueueWrite(station_, item->address,
                                 static_cast<int>(entries_[position].fileValue & 0xFFFF), sink);
    } else {
        context_.link.QueueRead(station_, item->address, sink);
    }
    status_ = strprintf(kStepText, groupName(*item).c_str(), item->address & 0xFF,
                        item->displayName.c_str());
    ++progress_;
    changed();
}

// ---------------------------------------------------------------------------------- Replies

void TransferRun::onReply(int serial, const DriveReply& reply) {
    if (phase_ != Phase::kRunning || !awaiting_ || serial != serial_) return;
    if (reply.station != station_) return onFailure(nullptr);
    const int code = reply.errorCode;
    if (code == kErrNone) {
        if ((reply.addresses[0] & 0xFFFF) != currentItem_->address) return onFailure(nullptr);
        return onAccepted(reply);
    }
    if (IsRejection(code)) return onRejected(code);
    if (code == kErrRetriesExhausted) return onFailure(&reply);
    status_ = strprintf(Tr(kRetryText), reply.retryCounter);
    changed();
}

void TransferRun::onAccepted(const DriveReply& reply) {
    awaiting_ = false;
    const std::uint32_t value = static_cast<std::uint32_t>(reply.values[0]) & 0xFFFF;
    Entry& entry = entries_[*current_];
    if (custom_) {
        UserGroupEntry& e = *custom_->entries[*current_];
        e.state = 1;
        e.value = value;
    }
    currentItem_->readState = 1;
    currentItem_->fromFile = false;
    currentItem_->value = value;
    entry.done = true;
    ++counts_.read;
    report(*current_, currentItem_, TransferEntryResult::Outcome::kWritten);
    step();
}

// The drive refused the request outright; it sends nothing more for it. The entry is passed
// over as the drive's data range error is, and a refused write is counted and listed.
void TransferRun::onRejected(int code) {
    awaiting_ = false;
    if (mode_ == TransferMode::kDownload) {
        ++counts_.refused;
        refusedRows_.push_back(MakeRefusedRow(*currentItem_, entries_[*current_].fileValue, code));
        report(*current_, currentItem_, TransferEntryResult::Outcome::kRefused, code);
    }
    step();
}

void TransferRun::onFailure(const DriveReply* reply) {
    awaiting_ = false;
    lastError_ = reply ? ErrorText(reply->failingCode) : Tr(kUndefinedErrorText);
    const int failing = reply ? reply->failingCode : 0;
    if (reply && (failing == kErrTimeout || failing > kErrModbusException)) {
        // The drive stopped answering: the user decides whether to go on with the next entry.
        stopAfterFailure_ = true;
        post(&TransferRun::askStopAfterFailure);
        return;
    }
    if (custom_) custom_->entries[*current_]->state = 2;
    currentItem_->readState = 2;
    currentItem_->fromFile = false;
    postFailed(kFailCommunication);
}

void TransferRun::report(std::size_t position, const CItem* item,
                         TransferEntryResult::Outcome outcome, int error) {
    Entry& entry = entries_[position];
    entry.reported = true;
    if (mode_ != TransferMode::kDownload) return;
    if (outcome == TransferEntryResult::Outcome::kPassed) ++counts_.passed;
    events.entryDone({entry.address, item, entry.fileValue, outcome, error});
}

// ---------------------------------------------------------------------------------- Stop

bool TransferRun::Close() {
    if (phase_ == Phase::kIdle) return true;
    if (phase_ == Phase::kRunning && !stopOpen_ && !asking_) askStop();
    return false;
}

void TransferRun::askStopAfterFailure() {
    // Unless the user has been asked meanwhile (Cancel came first).
    if (stopAfterFailure_) askStop();
}

void TransferRun::askStop() {
    if (phase_ != Phase::kRunning || stopOpen_) return;
    stopAfterFailure_ = false;
    stopOpen_ = true;
    // While the question is open the outstanding reply may arrive; the chain then pauses until
    // the answer. A run that ended meanwhile (the drive went) ignores the answer.
    ask(Tr(kStopQuestion), [this](bool stop) {
        stopOpen_ = false;
        if (phase_ != Phase::kRunning) return;
        if (stop) return stopRun();
        // No: the chain goes on, but never past a request still outstanding; its reply resumes it.
        if (!awaiting_) step();
    });
}

void TransferRun::stopRun() {
    end_ = TransferEnd::kStopped;
    if (!lastError_.empty()) status_ = lastError_;
    becomeIdle();
}

void TransferRun::OnDriveDisconnected(int station) {
    if (station != station_ || phase_ == Phase::kIdle) return;
    status_ = Tr(kDriveDisconnectedText);
    end_ = TransferEnd::kCancelled;
    becomeIdle();
    events.closeDialog();
}

// ---------------------------------------------------------------------------------- Endings

void TransferRun::post(void (TransferRun::*handler)()) {
    std::weak_ptr<const char> alive = alive_.watch();
    context_.executor.post([this, alive, handler] {
        if (!alive.expired()) (this->*handler)();
    });
}

void TransferRun::postFailed(int code) {
    phase_ = Phase::kFinishing;
    std::weak_ptr<const char> alive = alive_.watch();
    const int serial = serial_;
    context_.executor.post([this, alive, code, serial] {
        // A run cancelled meanwhile has already said why.
        if (!alive.expired() && phase_ == Phase::kFinishing && serial == serial_)
            onTransferFailed(code);
    });
}

void TransferRun::onTransferFailed(int code) {
    std::string text;
    if (code == kFailDisconnected) {
        text = Tr(kDriveDisconnectedText);
    } else if (code == kFailNoDataFile) {
        text = Tr(kNoDataFileText);
    } else if (code == kFailCommunication && context_.drive.isConnected() && currentItem_) {
        text = strprintf(Tr(kCommErrorText), groupName(*currentItem_).c_str(),
                         currentItem_->address & 0xFF, currentItem_->displayName.c_str(),
                         lastError_.empty() ? Tr(kUndefinedErrorText) : lastError_.c_str());
    } else if (code == kFailCommunication) {
        text = Tr(kDriveDisconnectedText);
    } else {
        text = Tr(kUndefinedErrorText);
    }
    status_ = text;
    end_ = TransferEnd::kFailed;
    becomeIdle();
    context_.prompter.error(text, kParameterEditorCaption);
}

void TransferRun::countUnread() {
    counts_.unread = 0;
    for (const Entry& e : entries_)
        if (!e.done && itemAt(e.address)) ++counts_.unread;
}

void TransferRun::onUploadDone() {
    if (phase_ != Phase::kFinishing) return;
    if (int code = precheck()) return onTransferFailed(code);
    countUnread();
    bool saved;
    if (custom_) {
        // Entries not read keep the value the file gave them; the user is told which.
        saved = SaveUserGroupFile(path_, *custom_);
        status_ = saved ? Tr(kUploadDoneText) : Tr(kUserGroupSaveFailedText);
        if (saved) listUnreadEntries();
    } else {
        // Only values read in this run go into the file: an item's value may be a default or a
        // value from long ago.
        CParaArray set(context_.drive.seriesCode, context_.drive.version);
        for (const Entry& e : entries_)
            if (e.done) set.Add(e.address, itemAt(e.address)->value);
        saved = saveUploadedSet(std::move(set));
        if (held_) {
            becomeIdle();
            events.valuesChanged();
            events.partialResultHeld();
            return;
        }
    }
    if (saved && counts_.unread > 0) status_ += strprintf(Tr(kUnreadCountText), counts_.unread);
    if (saved && custom_ && counts_.unread > 0) status_ += Tr(kUnreadKeptText);
    end_ = saved ? TransferEnd::kDone : TransferEnd::kFailed;
    becomeIdle();
    events.valuesChanged();
    if (!unreadRows_.empty()) events.unreadEntries(unreadRows_);
}

// A partial result does not silently replace a file that holds values it lacks: it is held
// until the user decides.
bool TransferRun::saveUploadedSet(CParaArray set) {
    if (counts_.unread > 0 && !partialReplaceAllowed_) {
        std::vector<std::uint32_t> missing;
        for (const Entry& e : entries_)
            if (!e.done && itemAt(e.address)) missing.push_back(e.address);
        if (ParaFileHoldsAnyOf(path_, set.seriesCode, set.version, missing)) {
            held_ = std::make_unique<CParaArray>(std::move(set));
            status_ = Tr(kPartialHeldText) + strprintf(Tr(kUnreadCountText), counts_.unread);
            end_ = TransferEnd::kHeld;
            return false;
        }
    }
    const bool saved = SaveParaFile(path_, set);
    status_ = saved ? Tr(kUploadDoneText) : Tr(kParaFileSaveFailedText);
    return saved;
}

void TransferRun::listUnreadEntries() {
    for (const Entry& e : entries_) {
        const CItem* item = itemAt(e.address);
        if (!e.done && item)
            unreadRows_.push_back(MakeCompareRow(*item, std::nullopt, e.fileValue));
    }
}

std::string TransferRun::PartialReplaceQuestion() const {
    return strprintf(Tr(kPartialReplaceQuestion), path_.c_str());
}

void TransferRun::SaveHeldResult() {
    if (!held_ || IsRunning()) return;
    const bool saved = SaveParaFile(path_, *held_);
    held_.reset();
    status_ = saved ? Tr(kUploadDoneText) : Tr(kParaFileSaveFailedText);
    if (saved && counts_.unread > 0) status_ += strprintf(Tr(kUnreadCountText), counts_.unread);
    end_ = saved ? TransferEnd::kDone : TransferEnd::kFailed;
    changed();
}

void TransferRun::AskPartialReplace() {
    if (!held_) return;
    ask(PartialReplaceQuestion(), [this](bool yes) { yes ? SaveHeldResult() : DropHeldResult(); });
}

void TransferRun::DropHeldResult() {
    if (!held_ || IsRunning()) return;
    held_.reset();
    end_ = TransferEnd::kStopped;
    changed();
}

void TransferRun::onDownloadDone() {
    if (phase_ != Phase::kFinishing) return;
    status_ = Tr(kDownloadDoneText);
    if (counts_.refused > 0) status_ += strprintf(Tr(kRefusedCountText), counts_.refused);
    end_ = TransferEnd::kDone;
    becomeIdle();
    events.valuesChanged();
    if (!refusedRows_.empty()) events.refusedWrites(refusedRows_);
}

void TransferRun::onCompareDone() {
    if (phase_ != Phase::kFinishing) return;
    if (int code = precheck()) return onTransferFailed(code);
    countUnread();
    for (const Entry& e : entries_) {
        const CItem* item = itemAt(e.address);
        if (item == nullptr) continue;
        if (!e.done) {
            compareRows_.push_back(MakeCompareRow(*item, std::nullopt, e.fileValue));
        } else if (!FitsItemWord(*item, e.fileValue) || !SameWord(e.fileValue, item->value)) {
            compareRows_.push_back(MakeCompareRow(*item, item->value, e.fileValue));
        }
    }
    status_ = Tr(kCompareDoneText);
    end_ = TransferEnd::kDone;
    if (counts_.unread > 0) status_ += strprintf(Tr(kUnreadCountText), counts_.unread);
    becomeIdle();
    events.valuesChanged();
    if (compareRows_.empty()) {
        context_.prompter.info(Tr(kAllSameText), kParameterEditorCaption);
    } else {
        events.compareResults(compareRows_);
    }
}

void TransferRun::becomeIdle() {
    phase_ = Phase::kIdle;
    ++run_;
    awaiting_ = false;
    stopAfterFailure_ = false;
    // Whatever the link still delivers for this run is dropped.
    ++serial_;
    currentItem_ = nullptr;
    current_.reset();
    custom_.reset();
    dataFile_.reset();
    changed();
}

void TransferRun::changed() {
    events.stateChanged();
}

}  // namespace korvane
