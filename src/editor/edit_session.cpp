#include "editor/edit_session.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "comm/drive_link.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/translation.h"
#include "editor/edit_rules.h"
#include "editor/edit_texts.h"
#include "editor/write_history.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/editor_texts.h"
#include "paradb/model_tables.h"
#include "paradb/user_group.h"
#include "paradb/value_codec.h"

namespace korvane {
namespace {

constexpr int kMaxBitBoxes = 16;

std::string ErrorStatus(int code) {
    return strprintf(kEditStatusErrorFormat, ErrorText(code));
}

}  // namespace

EditDialogKind ChooseEditDialog(const CItem* item) {
    if (item != nullptr && item->hasFormat() && !item->isOption() &&
        (item->type->flags & kTypeFlagBinary) != 0)
        return EditDialogKind::kBits;
    return EditDialogKind::kValue;
}

EditSession::EditSession(Services services, std::shared_ptr<CDataFile> data, CItem* item,
                         UserGroupEntry* entry)
    : services_(services),
      data_(std::move(data)),
      item_(item),
      entry_(entry),
      kind_(ChooseEditDialog(item)) {
    if (item_ != nullptr) pattern_ = NumericFieldPattern(*item_);
    // The drop-down opens on its first text until the drive's value is known.
    if (IsOptionList() && !item_->mess->texts.empty()) selected_ = 0;
}

EditSession::~EditSession() = default;

int EditSession::Station() const {
    return services_.drive.station;
}

void EditSession::Open() {
    if (item_ == nullptr) {
        controls_ = EditControls{};
        controls_.move = true;
        status_ = Tr(kUnboundEntryText);
        done_ = true;
        changed();
        return;
    }
    if (entry_ != nullptr) {
        // No read here: the entry's stored value is both what is shown and what an undo of the
        // first write goes back to.
        showValue(entry_->value);
        reference_ = entry_->value;
        hasReference_ = true;
        enableControls();
        done_ = true;
        changed();
        return;
    }
    Read();
}

std::string EditSession::Title() const {
    std::string group = item_ != nullptr && item_->group != nullptr ? item_->group->name : "";
    return strprintf(kEditTitleFormat, group.c_str(), Station(),
                     SeriesName(services_.drive.seriesCode).c_str());
}

std::string EditSession::Heading() const {
    if (item_ == nullptr) {
        return strprintf(kEditHeadingFormat, entry_ ? static_cast<int>(entry_->address & 0xFF) : 0,
                         "");
    }
    return strprintf(kEditHeadingFormat, item_->address & 0xFF, item_->displayName.c_str());
}

std::string EditSession::UnitText() const {
    return item_ ? GetUnitText(*item_) : std::string();
}
std::string EditSession::MaximumText() const {
    return item_ ? FormatMaximum(*item_) : std::string();
}
std::string EditSession::MinimumText() const {
    return item_ ? FormatMinimum(*item_) : std::string();
}
std::string EditSession::DefaultText() const {
    return item_ ? FormatDefault(*item_) : std::string();
}

bool EditSession::IsOptionList() const {
    return item_ != nullptr && item_->isOption() && item_->mess != nullptr;
}

const std::vector<std::string>* EditSession::OptionTexts() const {
    return IsOptionList() ? item_->GetOptionTexts() : nullptr;
}

int EditSession::BitCount() const {
    if (kind_ != EditDialogKind::kBits) return 0;
    return static_cast<int>(std::min<std::uint32_t>(item_->type->numerator, kMaxBitBoxes));
}

std::string EditSession::BitValueText() const {
    if (kind_ != EditDialogKind::kBits) return {};
    return FormatValue(*item_, bits_, true);
}

void EditSession::SetFieldText(std::string text) {
    fieldText_ = std::move(text);
}

void EditSession::SetFieldNumber(double value) {
    fieldText_ = korvane::FieldText(pattern_, value);
}

void EditSession::SetSelectedIndex(int index) {
    selected_ = index;
}

void EditSession::SetBits(std::uint16_t bits) {
    bits_ = bits;
    changed();
}

void EditSession::showValue(std::uint32_t raw) {
    if (kind_ == EditDialogKind::kBits) {
        bits_ = static_cast<std::uint16_t>(raw);
        shownValue_ = bits_;
        return;
    }
    if (IsOptionList()) {
        const auto* texts = OptionTexts();
        selected_ = raw < texts->size() ? static_cast<int>(raw) : -1;
        shownValue_ = static_cast<double>(raw);
        return;
    }
    shownValue_ =
        IsSignedItem(*item_) ? SignedRawToDisplay(*item_, raw) : RawToDisplay(*item_, raw);
    if (int poles = RpmPoleCount(*item_); poles > 0) shownValue_ = shownValue_ * kRpmFactor / poles;
    fieldText_ = korvane::FieldText(pattern_, shownValue_);
}

std::optional<double> EditSession::controlValue() const {
    if (kind_ == EditDialogKind::kBits) return static_cast<double>(bits_);
    if (IsOptionList()) {
        if (selected_ < 0) return std::nullopt;
        return static_cast<double>(selected_);
    }
    return ParseFieldNumber(pattern_, fieldText_);
}

bool EditSession::controlDiffersFromShown() const {
    auto v = controlValue();
    if (!v) return true;
    if (kind_ == EditDialogKind::kBits || IsOptionList()) return *v != shownValue_;
    // Compared as the field shows them, so that a value that could not be typed more exactly
    // (an rpm figure, a rounded decimal) never counts as a change.
    return korvane::FieldText(pattern_, *v) != korvane::FieldText(pattern_, shownValue_);
}

WriteRefusal EditSession::CheckWrite(std::uint32_t* raw) const {
    if (item_ == nullptr || item_->writable == 0) return WriteRefusal::kReadOnly;
    const bool stopped = (services_.drive.statusWord & kStatusStopped) != 0;
    if (!stopped && item_->runWritable == 0) return WriteRefusal::kRunLock;
    TypedWord typed;
    if (kind_ == EditDialogKind::kBits || IsOptionList()) {
        auto v = controlValue();
        if (!v) return WriteRefusal::kRange;
        typed = EnteredToWord(*item_, EnteredValue{true, *v});
    } else {
        typed = TypedTextToWord(*item_, fieldText_);
    }
    switch (typed.problem) {
        case EntryProblem::kNotANumber:
            return WriteRefusal::kNotANumber;
        case EntryProblem::kTooManyDecimals:
            return WriteRefusal::kTooManyDecimals;
        case EntryProblem::kOutOfRange:
            return WriteRefusal::kRange;
        case EntryProblem::kNone:
            break;
    }
    if (raw != nullptr) *raw = typed.word;
    return WriteRefusal::kNone;
}

void EditSession::Read() {
    if (item_ == nullptr || pending_ != Pending::kNone || closed_) return;
    queue(Pending::kRead, 0);
}

void EditSession::Write() {
    if (item_ == nullptr || pending_ != Pending::kNone || closed_) return;
    std::uint32_t raw = 0;
    switch (CheckWrite(&raw)) {
        case WriteRefusal::kReadOnly:
            return;
        case WriteRefusal::kRunLock:
            services_.prompter.info(Tr(kRunLockText), kParameterEditorCaption);
            Read();
            return;
        case WriteRefusal::kRange:
            status_ = ErrorStatus(kErrDataRange);
            Read();
            return;
        case WriteRefusal::kNotANumber:
            status_ = strprintf(kEditStatusErrorFormat,
                                EntryProblemText(EntryProblem::kNotANumber, pattern_).c_str());
            Read();
            return;
        case WriteRefusal::kTooManyDecimals:
            status_ = strprintf(kEditStatusErrorFormat,
                                EntryProblemText(EntryProblem::kTooManyDecimals, pattern_).c_str());
            Read();
            return;
        case WriteRefusal::kNone:
            break;
    }
    status_ = strprintf(kEditStatusClearFormat, " ");
    beforeWrite_ = entry_ != nullptr ? entry_->value : item_->value;
    if (entry_ != nullptr) {
        StoreEntryValue(*entry_, raw);
    } else {
        item_->value = raw;
    }
    queue(Pending::kWrite, raw);
}

void EditSession::queue(Pending kind, std::uint32_t raw) {
    pending_ = kind;
    disableControls();
    if (kind == Pending::kWrite) {
        services_.link.QueueWrite(Station(), item_->address, static_cast<int>(raw & 0xFFFF), this);
    } else {
        services_.link.QueueRead(Station(), item_->address, this);
    }
    changed();
}

void EditSession::disableControls() {
    controls_ = EditControls{};
    controls_.close = false;
}

void EditSession::enableControls() {
    controls_ = EditControls{true, true, true, true, true, false};
    if (item_ != nullptr && item_->writable == 0) {
        controls_.value = false;
        controls_.write = false;
        controls_.focusClose = true;
    }
}

void EditSession::OnDriveReply(int station, const DriveReply& reply) {
    // Retry notices leave the request outstanding: the same frame goes out again.
    if (closed_ || station != Station() || pending_ == Pending::kNone || !IsFinalReply(reply))
        return;
    const Pending kind = std::exchange(pending_, Pending::kNone);
    if (reply.errorCode == kErrNone && reply.addresses[0] == item_->address) {
        onSuccess(kind, static_cast<std::uint32_t>(reply.values[0]) & 0xFFFF);
    } else {
        onFailure(kind, reply);
    }
    if (closing_ && done_) {
        finishClose();
        return;
    }
    changed();
}

void EditSession::onFailure(Pending kind, const DriveReply& reply) {
    int code = reply.errorCode == kErrNone               ? kErrFrame
               : reply.errorCode == kErrRetriesExhausted ? reply.failingCode
                                                         : reply.errorCode;
    status_ = ErrorStatus(code);
    if (kind == Pending::kWrite) {
        lastWriteError_ = code;
        // The value that was not written must not stay in the list as if it had been.
        if (entry_ != nullptr) {
            entry_->value = beforeWrite_;
        } else {
            item_->value = beforeWrite_;
        }
        enableControls();
        done_ = true;
        if (!closing_) Read();
        return;
    }
    if (entry_ != nullptr) {
        entry_->state = 2;
    } else {
        item_->readState = 2;
        item_->fromFile = false;
    }
    enableControls();
    fieldText_.clear();
    selected_ = -1;
    controls_.value = false;
    done_ = true;
}

std::uint32_t EditSession::storeValue(std::uint32_t word) {
    if (entry_ != nullptr) {
        entry_->state = 1;
        StoreEntryValue(*entry_, word);
        return word;
    }
    item_->readState = 1;
    item_->fromFile = false;
    item_->value =
        IsSignedItem(*item_) ? static_cast<std::uint32_t>(static_cast<std::int16_t>(word)) : word;
    return item_->value;
}

void EditSession::onSuccess(Pending kind, std::uint32_t word) {
    const std::uint32_t stored = storeValue(word);
    showValue(stored);
    if (kind == Pending::kWrite) {
        lastWriteError_ = kErrNone;
        // Without a value read first there is nothing an undo could go back to.
        if (hasReference_ && !SameWord(stored, reference_))
            services_.history.Add({item_->address, reference_, stored, entry_});
        reference_ = stored;
        hasReference_ = true;
    } else if (!hasReference_) {
        reference_ = stored;
        hasReference_ = true;
    }
    enableControls();
    done_ = true;
}

bool EditSession::RequestClose(int navigation) {
    if (closed_) return true;
    if (closing_ || asking_) return false;
    navigation_ = navigation;
    if (item_ == nullptr || entry_ != nullptr || !controls_.value || !controlDiffersFromShown()) {
        finishClose();
        return true;
    }
    asking_ = true;
    services_.prompter.ask(Tr(kUnsavedEditText), kParameterEditorCaption,
                           WhileAlive(replySinkLiveness(), [this](bool write) {
                               asking_ = false;
                               // Closed from outside while the question was open.
                               if (closed_) return;
                               if (write) {
                                   closing_ = true;
                                   done_ = false;
                                   Write();
                                   if (!done_) return;
                               }
                               finishClose();
                           }));
    return closed_;
}

void EditSession::CloseFromOutside() {
    if (closed_) return;
    closedFromOutside_ = true;
    navigation_ = kEditClose;
    finishClose();
}

void EditSession::finishClose() {
    closed_ = true;
    closing_ = false;
    closed();
}

int NavigateEditRow(int firstSelected, int lastSelected, int rowCount, int navigation) {
    if (rowCount <= 0) return -1;
    if (navigation == kEditNext) return lastSelected + 1 < rowCount ? lastSelected + 1 : 0;
    if (navigation == kEditPrevious) return firstSelected > 0 ? firstSelected - 1 : rowCount - 1;
    return -1;
}

}  // namespace korvane
