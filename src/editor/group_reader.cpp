#include "editor/group_reader.h"

#include "comm/drive_link.h"
#include "common/format.h"
#include "common/translation.h"
#include "editor/edit_rules.h"
#include "editor/edit_texts.h"
#include "paradb/data_file.h"
#include "paradb/user_group.h"

namespace korvane {
namespace {

// A drive that timed out after every retry, or answers in a way nobody understands, is not
// asked for the rest of the node.
bool EndsRun(const DriveReply& reply) {
    return reply.errorCode == kErrRetriesExhausted &&
           (reply.failingCode == kErrTimeout || reply.failingCode > kErrModbusException);
}

}  // namespace

std::vector<ReadTarget> ReadTargetsOf(const ReadNode& node, CDataFile& data) {
    std::vector<ReadTarget> targets;
    switch (node.kind) {
        case ReadNodeKind::kGroup:
            if (node.group == nullptr) break;
            for (CItem& item : node.group->items) targets.push_back({&item, nullptr});
            break;
        case ReadNodeKind::kUserGroup:
            if (node.custom == nullptr) break;
            for (const auto& entry : node.custom->entries) {
                CItem* item = entry->address <= 0xFFFF
                                  ? data.FindItem(static_cast<std::uint16_t>(entry->address))
                                  : nullptr;
                if (item != nullptr) targets.push_back({item, entry.get()});
            }
            break;
        case ReadNodeKind::kAllGroups:
            if (!data.groups) break;
            for (CGroup& group : data.groups->elements) {
                for (CItem& item : group.items) targets.push_back({&item, nullptr});
            }
            break;
        case ReadNodeKind::kUserGroupRoot:
            break;
    }
    return targets;
}

GroupReader::GroupReader(CDriveLink& link, int station, std::shared_ptr<CDataFile> data,
                         std::vector<ReadTarget> targets)
    : link_(link),
      station_(station),
      data_(std::move(data)),
      targets_(std::move(targets)),
      outcomes_(targets_.size()) {}

GroupReader::~GroupReader() = default;

bool GroupReader::Start() {
    if (state_ != State::kIdle || targets_.empty()) return false;
    state_ = State::kRunning;
    queueCurrent();
    changed();
    return true;
}

void GroupReader::Cancel() {
    if (state_ == State::kRunning) end(State::kCancelled);
}

void GroupReader::CloseFromOutside() {
    if (state_ == State::kRunning) end(State::kClosedFromOutside);
}

int GroupReader::Progress() const {
    if (targets_.empty()) return 0;
    return static_cast<int>(answered_ * 100 / targets_.size());
}

std::string GroupReader::FrameText() const {
    if (current_ >= targets_.size()) return {};
    const CItem& item = *targets_[current_].item;
    return strprintf(Tr(kReadFrameFormat), item.group ? item.group->name.c_str() : "");
}

std::string GroupReader::StaticText() const {
    if (current_ >= targets_.size()) return {};
    const CItem& item = *targets_[current_].item;
    return strprintf(kReadItemFormat, item.address & 0xFF, item.displayName.c_str());
}

void GroupReader::queueCurrent() {
    link_.QueueRead(station_, targets_[current_].item->address, this);
}

void GroupReader::OnDriveReply(int station, const DriveReply& reply) {
    if (state_ != State::kRunning || !IsFinalReply(reply)) return;
    const ReadTarget& target = targets_[current_];
    if (reply.errorCode == kErrNone) {
        if (station == station_ && reply.addresses[0] == target.item->address) {
            storeSuccess(target, static_cast<std::uint32_t>(reply.values[0]) & 0xFFFF);
        } else {
            // Another parameter's value must not land in this one.
            storeFailure(target, kErrFrame, kErrFrame);
        }
        advance(false);
        return;
    }
    storeFailure(target, reply.errorCode,
                 reply.errorCode == kErrRetriesExhausted ? reply.failingCode : reply.errorCode);
    advance(EndsRun(reply));
}

void GroupReader::storeSuccess(const ReadTarget& target, std::uint32_t value) {
    outcomes_[current_] = {true, kErrNone, kErrNone};
    if (target.entry != nullptr) {
        target.entry->state = 1;
        StoreEntryValue(*target.entry, value);
        return;
    }
    target.item->readState = 1;
    target.item->fromFile = false;
    target.item->value = value;
}

void GroupReader::storeFailure(const ReadTarget& target, int errorCode, int failingCode) {
    outcomes_[current_] = {true, errorCode, failingCode};
    if (target.entry != nullptr) {
        target.entry->state = 2;
        return;
    }
    target.item->readState = 2;
    target.item->fromFile = false;
    target.item->value = 0;
}

void GroupReader::advance(bool endRun) {
    ++answered_;
    ++current_;
    if (endRun || current_ >= targets_.size()) {
        end(State::kFinished);
        return;
    }
    queueCurrent();
    changed();
}

void GroupReader::end(State state) {
    state_ = state;
    changed();
    ended();
}

}  // namespace korvane
