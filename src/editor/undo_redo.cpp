#include "editor/undo_redo.h"

#include <algorithm>

#include "comm/drive_link.h"
#include "editor/edit_rules.h"
#include "paradb/data_file.h"
#include "paradb/user_group.h"

namespace korvane {

UndoRedo::UndoRedo(CDriveLink* link, int station, CDataFile& data, CWriteHistory& history)
    : link_(link), station_(station), data_(data), history_(history) {}

UndoRedo::~UndoRedo() = default;

bool UndoRedo::Undo() {
    auto record = history_.TakeUndo();
    if (!record) return false;
    play(*record, record->oldValue);
    history_.Undone(*record);
    return true;
}

bool UndoRedo::Redo() {
    auto record = history_.TakeRedo();
    if (!record) return false;
    // The undo exchanged old and new, so the value it took back is now the record's old one;
    // writing the new one would only repeat the undo.
    play(*record, record->oldValue);
    history_.Redone(*record);
    return true;
}

bool UndoRedo::groupOpen(const UserGroupEntry* entry) const {
    if (entry == nullptr || entry->custom == nullptr) return false;
    return !hooks.isGroupOpen || hooks.isGroupOpen(entry->custom);
}

void UndoRedo::play(WriteRecord record, std::uint32_t value) {
    UserGroupEntry* entry =
        record.isUserGroup() && groupOpen(record.entry) ? record.entry : nullptr;
    if (record.isUserGroup() && entry == nullptr) return;
    CItem* item = data_.FindItem(record.address);
    if (link_ == nullptr) {
        store(item, entry, record.isUserGroup(), value);
        return;
    }
    if (item == nullptr) return;
    pending_.push_back({record.address, item, entry, record.isUserGroup()});
    link_->QueueWrite(station_, record.address, static_cast<int>(value & 0xFFFF), this);
}

void UndoRedo::store(CItem* item, UserGroupEntry* entry, bool userGroup, std::uint32_t value) {
    if (userGroup) {
        if (entry == nullptr) return;
        StoreEntryValue(*entry, value);
    } else {
        if (item == nullptr) return;
        item->value = value;
        item->fromFile = false;  // the drive took it, or an offline editor holds it
    }
    if (hooks.markModified) hooks.markModified();
    if (hooks.valueStored) hooks.valueStored(item, entry);
}

void UndoRedo::OnDriveReply(int station, const DriveReply& reply) {
    if (station != station_ || !IsFinalReply(reply)) return;
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](const PendingWrite& p) {
        return p.address == (reply.addresses[0] & 0xFFFF);
    });
    if (it == pending_.end()) return;
    PendingWrite write = *it;
    pending_.erase(it);
    // A failed write changes nothing in the editor.
    if (reply.errorCode != kErrNone || reply.command != 'W') return;
    if (write.userGroup && !groupOpen(write.entry)) return;
    store(write.item, write.entry, write.userGroup,
          static_cast<std::uint32_t>(reply.values[0]) & 0xFFFF);
}

void UndoRedo::PurgeGroup(const UserGroup* group) {
    history_.PurgeGroup(group);
    for (PendingWrite& p : pending_) {
        if (p.entry != nullptr && p.entry->custom == group) p.entry = nullptr;
    }
}

void UndoRedo::PurgeEntry(const UserGroupEntry* entry) {
    history_.PurgeEntry(entry);
    for (PendingWrite& p : pending_) {
        if (p.entry == entry) p.entry = nullptr;
    }
}

}  // namespace korvane
