#include "editor/transfer_dialog.h"

#include <algorithm>
#include <filesystem>

#include "comm/drive_link.h"
#include "common/executor.h"
#include "common/format.h"
#include "common/prompter.h"
#include "host/tool_services.h"
#include "paradb/archive.h"
#include "paradb/custom_group.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "paradb/para_array.h"
#include "paradb/value_codec.h"

namespace korvane {
namespace {

constexpr int kFailDisconnected = 1;
constexpr int kFailNoDataFile = 2;
constexpr int kFailCommunication = 3;

const char* operationName(TransferMode mode) {
    switch (mode) {
        case TransferMode::kUpload:
            return "パラメータアップロード";
        case TransferMode::kDownload:
            return "パラメータダウンロード";
        case TransferMode::kCompare:
            return "パラメータ比較";
    }
    return "";
}

std::string groupName(const CItem& item) {
    return item.GetGroup() ? item.GetGroup()->name : std::string();
}

}  // namespace

// Each request gets its own sink, so a reply owed to an abandoned step is recognised by its
// serial, and one owed to an earlier run is never delivered at all (its sink is gone).
class CParaTransferDlg::StepSink : public ReplySink {
public:
    StepSink(CParaTransferDlg& owner, int serial) : owner_(owner), serial_(serial) {}
    void OnDriveReply(int, const DriveReply& reply) override { owner_.onReply(serial_, reply); }

private:
    CParaTransferDlg& owner_;
    int serial_;
};

CParaTransferDlg::CParaTransferDlg(const TransferContext& context, TransferMode mode,
                                   TransferView* view)
    : context_(context),
      mode_(mode),
      view_(view),
      choice_(context.fileChoice),
      station_(context.drive.station),
      table_(PriorityTableFor(context.drive.seriesCode)) {}

CParaTransferDlg::CParaTransferDlg(const ToolServices& services, int station, TransferMode mode,
                                   TransferView* view)
    : CParaTransferDlg(TransferContext{services.link, services.records[station], services.prompter,
                                       services.executor, TransferFileChoice::Process()},
                       mode, view) {}

CParaTransferDlg::~CParaTransferDlg() = default;

std::string CParaTransferDlg::Title() const {
    const DriveRecord& d = context_.drive;
    return strprintf("[%d:%s Ver%s] ", station_, SeriesName(d.seriesCode).c_str(),
                     VersionText(d.seriesCode, d.version).c_str()) +
           operationName(mode_);
}

std::string CParaTransferDlg::Description() const {
    switch (mode_) {
        case TransferMode::kUpload:
            return "インバータのパラメータを読み出してファイルに保存します。\n"
                   "ユーザグループファイルを選択すると、そのグループのパラメータだけを読み出します"
                   "。";
        case TransferMode::kDownload:
            return "ファイルのパラメータをインバータに書き込みます。\n"
                   "読み取り専用のパラメータは書き込みません。";
        case TransferMode::kCompare:
            return "インバータのパラメータを読み出してファイルの値と比較し、"
                   "異なるパラメータを一覧に表示します。";
    }
    return {};
}

const char* CParaTransferDlg::CloseButtonLabel() const {
    if (IsRunning()) return kCancelLabel;
    return started_ ? kCloseAgainLabel : kCloseLabel;
}

// ---------------------------------------------------------------------------------- Start

void CParaTransferDlg::Start() {
    if (IsRunning() || asking_ || !resolvePath()) return;
    std::error_code ec;
    if (mode_ != TransferMode::kUpload || kind_ != TransferFileKind::kParaSet ||
        !std::filesystem::exists(path_, ec)) {
        begin();
        return;
    }
    asking_ = true;
    ask(strprintf(kOverwriteQuestion, path_.c_str()), [this](bool overwrite) {
        asking_ = false;
        if (overwrite) return begin();
        if (view_) view_->focusPath();
    });
}

void CParaTransferDlg::begin() {
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

void CParaTransferDlg::workingSetBuilt(bool built) {
    if (phase_ != Phase::kRunning) return;
    if (!built) {
        becomeIdle();
        return;
    }
    refuseUnfitValues();
    changed();
    step();
}

// An upload ends in a save: a file that cannot be saved fails the run before the first read,
// not after all of them.
bool CParaTransferDlg::checkSavable() {
    if (mode_ != TransferMode::kUpload || CanSaveFile(path_)) return true;
    status_ =
        kind_ == TransferFileKind::kUserGroup ? kUserGroupSaveFailedText : kParaFileSaveFailedText;
    started_ = true;
    end_ = TransferEnd::kFailed;
    changed();
    context_.prompter.error(status_, kParameterEditorCaption);
    return false;
}

void CParaTransferDlg::ask(const std::string& text, std::function<void(bool)> then) {
    // The answer may come after the drive went (the run is over) or after the dialog closed.
    const int run = run_;
    context_.prompter.ask(text, kParameterEditorCaption,
                          WhileAlive(alive_.watch(), [this, run, then = std::move(then)](bool yes) {
                              if (run == run_) then(yes);
                          }));
}

bool CParaTransferDlg::resolvePath() {
    TransferPath resolved = ResolveTransferPath(path_, choice_);
    if (resolved.outcome == TransferPathOutcome::kEmpty) {
        context_.prompter.info(kSelectFileText, kParameterEditorCaption);
        return false;
    }
    if (resolved.outcome == TransferPathOutcome::kNoFileName) {
        context_.prompter.info(kBadPathText, kParameterEditorCaption);
        if (view_) view_->focusPath();
        return false;
    }
    path_ = resolved.path;
    kind_ = resolved.kind;
    changed();
    return true;
}

int CParaTransferDlg::precheck() const {
    const DriveRecord& d = context_.drive;
    if (!d.isConnected()) return kFailDisconnected;
    if (!d.driveData || !d.driveData->loaded) return kFailNoDataFile;
    // A drive removed and found again has a new data file; this run's items are not its.
    if (dataFile_ && d.driveData != dataFile_) return kFailDisconnected;
    return 0;
}

void CParaTransferDlg::buildWorkingSet() {
    entries_.clear();
    custom_.reset();
    if (kind_ == TransferFileKind::kUserGroup) return buildFromUserGroup();
    workingSetBuilt(mode_ == TransferMode::kUpload ? buildFromDataFile() : buildFromParaFile());
}

bool CParaTransferDlg::buildFromDataFile() {
    const CParaArray set = BuildParaArray(*dataFile_);
    for (std::size_t i = 0; i < set.addresses.size(); ++i)
        entries_.push_back({set.addresses[i], set.values[i]});
    return true;
}

bool CParaTransferDlg::buildFromParaFile() {
    CParaArray set(context_.drive.seriesCode, context_.drive.version);
    FileReadOutcome outcome = ReadParaFile(path_, set, context_.prompter);
    if (outcome == FileReadOutcome::kFailed)
        context_.prompter.error(kParaFileOpenFailedText, kParameterEditorCaption);
    if (outcome != FileReadOutcome::kOk) return false;
    const std::size_t n = std::min(set.addresses.size(), set.values.size());
    for (std::size_t i = 0; i < n; ++i) entries_.push_back({set.addresses[i], set.values[i]});
    return true;
}

void CParaTransferDlg::buildFromUserGroup() {
    auto group = std::make_shared<std::unique_ptr<CCustom>>(std::make_unique<CCustom>());
    if (!ReadUserGroupFile(path_, **group, &context_.prompter)) {
        context_.prompter.error(kUserGroupOpenFailedText, kParameterEditorCaption);
        return workingSetBuilt(false);
    }
    if ((*group)->seriesCode != context_.drive.seriesCode) {
        context_.prompter.error(kUserGroupSeriesMismatchText, kParameterEditorCaption);
        return workingSetBuilt(false);
    }
    if ((*group)->version == context_.drive.version) return adoptUserGroup(std::move(*group));
    asking_ = true;
    ask(kUserGroupVersionQuestion, [this, group](bool goOn) {
        asking_ = false;
        if (!goOn) return workingSetBuilt(false);
        adoptUserGroup(std::move(*group));
    });
}

void CParaTransferDlg::adoptUserGroup(std::unique_ptr<CCustom> group) {
    // Entries the data file does not know are passed over but kept: an upload stores the group
    // back whole, and binding would drop them.
    group->dataFile = dataFile_.get();
    group->path = path_;
    group->title = UserGroupTitle(path_);
    for (auto& e : group->entries) {
        e->dataFile = dataFile_.get();
        e->custom = group.get();
        entries_.push_back({e->address, e->value});
    }
    custom_ = std::move(group);
    workingSetBuilt(true);
}

// ---------------------------------------------------------------------------------- Steps

CItem* CParaTransferDlg::itemAt(std::uint32_t address) const {
    if (address > 0xFFFF || !dataFile_) return nullptr;
    return dataFile_->FindItem(static_cast<std::uint16_t>(address));
}

void CParaTransferDlg::step() {
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
                    post(&CParaTransferDlg::onUploadDone);
                    break;
                case TransferMode::kDownload:
                    post(&CParaTransferDlg::onDownloadDone);
                    break;
                case TransferMode::kCompare:
                    post(&CParaTransferDlg::onCompareDone);
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

bool CParaTransferDlg::writtenByDownload(std::uint32_t address, const CItem* item) const {
    if (item == nullptr || !item->writable) return false;
    const auto& leading = table_.leading;
    return !table_.lists(address) ||
           std::find(leading.begin(), leading.end(), address) != leading.end();
}

// A value that cannot be the item's word is refused before the first write, and listed as the
// drive's own refusals are: its low 16 bits would be written and reported as written.
void CParaTransferDlg::refuseUnfitValues() {
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
bool CParaTransferDlg::prePassStep() {
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

bool CParaTransferDlg::passesOver(std::size_t position, const CItem* item) const {
    if (item == nullptr) return true;
    if (mode_ != TransferMode::kDownload) return false;
    return !item->writable || table_.lists(entries_[position].address) ||
           entries_[position].reported;
}

void CParaTransferDlg::issue(std::size_t position, CItem* item) {
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

void CParaTransferDlg::onReply(int serial, const DriveReply& reply) {
    if (phase_ != Phase::kRunning || !awaiting_ || serial != serial_) return;
    if (reply.station != station_) return onFailure(nullptr);
    const int code = reply.errorCode;
    if (code == kErrNone) {
        if ((reply.addresses[0] & 0xFFFF) != currentItem_->address) return onFailure(nullptr);
        return onAccepted(reply);
    }
    if (IsRejection(code)) return onRejected(code);
    if (code == kErrRetriesExhausted) return onFailure(&reply);
    status_ = strprintf(kRetryText, reply.retryCounter);
    changed();
}

void CParaTransferDlg::onAccepted(const DriveReply& reply) {
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
void CParaTransferDlg::onRejected(int code) {
    awaiting_ = false;
    if (mode_ == TransferMode::kDownload) {
        ++counts_.refused;
        refusedRows_.push_back(MakeRefusedRow(*currentItem_, entries_[*current_].fileValue, code));
        report(*current_, currentItem_, TransferEntryResult::Outcome::kRefused, code);
    }
    step();
}

void CParaTransferDlg::onFailure(const DriveReply* reply) {
    awaiting_ = false;
    lastError_ = reply ? ErrorText(reply->failingCode) : kUndefinedErrorText;
    const int failing = reply ? reply->failingCode : 0;
    if (reply && (failing == kErrTimeout || failing > kErrModbusException)) {
        // The drive stopped answering: the user decides whether to go on with the next entry.
        stopAfterFailure_ = true;
        post(&CParaTransferDlg::askStopAfterFailure);
        return;
    }
    if (custom_) custom_->entries[*current_]->state = 2;
    currentItem_->readState = 2;
    currentItem_->fromFile = false;
    postFailed(kFailCommunication);
}

void CParaTransferDlg::report(std::size_t position, const CItem* item,
                              TransferEntryResult::Outcome outcome, int error) {
    Entry& entry = entries_[position];
    entry.reported = true;
    if (mode_ != TransferMode::kDownload) return;
    if (outcome == TransferEntryResult::Outcome::kPassed) ++counts_.passed;
    if (view_) view_->entryDone({entry.address, item, entry.fileValue, outcome, error});
}

// ---------------------------------------------------------------------------------- Stop

bool CParaTransferDlg::Close() {
    if (phase_ == Phase::kIdle) return true;
    if (phase_ == Phase::kRunning && !stopOpen_ && !asking_) askStop();
    return false;
}

void CParaTransferDlg::askStopAfterFailure() {
    // Unless the user has been asked meanwhile (Cancel came first).
    if (stopAfterFailure_) askStop();
}

void CParaTransferDlg::askStop() {
    if (phase_ != Phase::kRunning || stopOpen_) return;
    stopAfterFailure_ = false;
    stopOpen_ = true;
    // While the question is open the outstanding reply may arrive; the chain then pauses until
    // the answer. A run that ended meanwhile (the drive went) ignores the answer.
    ask(kStopQuestion, [this](bool stop) {
        stopOpen_ = false;
        if (phase_ != Phase::kRunning) return;
        if (stop) return stopRun();
        // No: the chain goes on, but never past a request still outstanding; its reply resumes it.
        if (!awaiting_) step();
    });
}

void CParaTransferDlg::stopRun() {
    end_ = TransferEnd::kStopped;
    if (!lastError_.empty()) status_ = lastError_;
    becomeIdle();
}

void CParaTransferDlg::OnDriveDisconnected(int station) {
    if (station != station_ || phase_ == Phase::kIdle) return;
    status_ = kDriveDisconnectedText;
    end_ = TransferEnd::kCancelled;
    becomeIdle();
    if (view_) view_->closeDialog();
}

// ---------------------------------------------------------------------------------- Endings

void CParaTransferDlg::post(void (CParaTransferDlg::*handler)()) {
    std::weak_ptr<const char> alive = alive_.watch();
    context_.executor.post([this, alive, handler] {
        if (!alive.expired()) (this->*handler)();
    });
}

void CParaTransferDlg::postFailed(int code) {
    phase_ = Phase::kFinishing;
    std::weak_ptr<const char> alive = alive_.watch();
    const int serial = serial_;
    context_.executor.post([this, alive, code, serial] {
        // A run cancelled meanwhile has already said why.
        if (!alive.expired() && phase_ == Phase::kFinishing && serial == serial_)
            onTransferFailed(code);
    });
}

void CParaTransferDlg::onTransferFailed(int code) {
    std::string text;
    if (code == kFailDisconnected) {
        text = kDriveDisconnectedText;
    } else if (code == kFailNoDataFile) {
        text = kNoDataFileText;
    } else if (code == kFailCommunication && context_.drive.isConnected() && currentItem_) {
        text = strprintf(kCommErrorText, groupName(*currentItem_).c_str(),
                         currentItem_->address & 0xFF, currentItem_->displayName.c_str(),
                         lastError_.empty() ? kUndefinedErrorText : lastError_.c_str());
    } else if (code == kFailCommunication) {
        text = kDriveDisconnectedText;
    } else {
        text = kUndefinedErrorText;
    }
    status_ = text;
    end_ = TransferEnd::kFailed;
    becomeIdle();
    context_.prompter.error(text, kParameterEditorCaption);
}

void CParaTransferDlg::countUnread() {
    counts_.unread = 0;
    for (const Entry& e : entries_)
        if (!e.done && itemAt(e.address)) ++counts_.unread;
}

void CParaTransferDlg::onUploadDone() {
    if (phase_ != Phase::kFinishing) return;
    if (int code = precheck()) return onTransferFailed(code);
    countUnread();
    bool saved;
    if (custom_) {
        // Entries not read keep the value the file gave them; the user is told which.
        saved = SaveUserGroupFile(path_, *custom_);
        status_ = saved ? kUploadDoneText : kUserGroupSaveFailedText;
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
            if (view_) view_->valuesChanged();
            if (view_) view_->partialResultHeld();
            return;
        }
    }
    if (saved && counts_.unread > 0) status_ += strprintf(kUnreadCountText, counts_.unread);
    if (saved && custom_ && counts_.unread > 0) status_ += kUnreadKeptText;
    end_ = saved ? TransferEnd::kDone : TransferEnd::kFailed;
    becomeIdle();
    if (view_) view_->valuesChanged();
    if (view_ && !unreadRows_.empty()) view_->showUnreadEntries(unreadRows_);
}

// A partial result does not silently replace a file that holds values it lacks: it is held
// until the user decides.
bool CParaTransferDlg::saveUploadedSet(CParaArray set) {
    if (counts_.unread > 0 && !partialReplaceAllowed_) {
        std::vector<std::uint32_t> missing;
        for (const Entry& e : entries_)
            if (!e.done && itemAt(e.address)) missing.push_back(e.address);
        if (ParaFileHoldsAnyOf(path_, set.seriesCode, set.version, missing)) {
            held_ = std::make_unique<CParaArray>(std::move(set));
            status_ = kPartialHeldText + strprintf(kUnreadCountText, counts_.unread);
            end_ = TransferEnd::kHeld;
            return false;
        }
    }
    const bool saved = SaveParaFile(path_, set);
    status_ = saved ? kUploadDoneText : kParaFileSaveFailedText;
    return saved;
}

void CParaTransferDlg::listUnreadEntries() {
    for (const Entry& e : entries_) {
        const CItem* item = itemAt(e.address);
        if (!e.done && item)
            unreadRows_.push_back(MakeCompareRow(*item, std::nullopt, e.fileValue));
    }
}

std::string CParaTransferDlg::PartialReplaceQuestion() const {
    return strprintf(kPartialReplaceQuestion, path_.c_str());
}

void CParaTransferDlg::SaveHeldResult() {
    if (!held_ || IsRunning()) return;
    const bool saved = SaveParaFile(path_, *held_);
    held_.reset();
    status_ = saved ? kUploadDoneText : kParaFileSaveFailedText;
    if (saved && counts_.unread > 0) status_ += strprintf(kUnreadCountText, counts_.unread);
    end_ = saved ? TransferEnd::kDone : TransferEnd::kFailed;
    changed();
}

void CParaTransferDlg::AskPartialReplace() {
    if (!held_) return;
    ask(PartialReplaceQuestion(), [this](bool yes) { yes ? SaveHeldResult() : DropHeldResult(); });
}

void CParaTransferDlg::DropHeldResult() {
    if (!held_ || IsRunning()) return;
    held_.reset();
    end_ = TransferEnd::kStopped;
    changed();
}

void CParaTransferDlg::onDownloadDone() {
    if (phase_ != Phase::kFinishing) return;
    status_ = kDownloadDoneText;
    if (counts_.refused > 0) status_ += strprintf(kRefusedCountText, counts_.refused);
    end_ = TransferEnd::kDone;
    becomeIdle();
    if (view_) view_->valuesChanged();
    if (view_ && !refusedRows_.empty()) view_->showRefusedWrites(refusedRows_);
}

void CParaTransferDlg::onCompareDone() {
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
    status_ = kCompareDoneText;
    end_ = TransferEnd::kDone;
    if (counts_.unread > 0) status_ += strprintf(kUnreadCountText, counts_.unread);
    becomeIdle();
    if (view_) view_->valuesChanged();
    if (compareRows_.empty()) {
        context_.prompter.info(kAllSameText, kParameterEditorCaption);
    } else if (view_) {
        view_->showCompareResults(compareRows_);
    }
}

void CParaTransferDlg::becomeIdle() {
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

void CParaTransferDlg::changed() {
    if (view_) view_->stateChanged();
}

}  // namespace korvane
