#include "editor/write_history.h"

#include <utility>

#include "paradb/user_group.h"

namespace korvane {

void CWriteHistory::Add(const WriteRecord& record) {
    Push(undo_, record);
    changed();
}

std::optional<WriteRecord> CWriteHistory::TakeUndo() {
    auto record = TakeNewest(undo_);
    if (record) changed();
    return record;
}
std::optional<WriteRecord> CWriteHistory::TakeRedo() {
    auto record = TakeNewest(redo_);
    if (record) changed();
    return record;
}

void CWriteHistory::Undone(WriteRecord record) {
    Push(redo_, Swapped(record));
    changed();
}
void CWriteHistory::Redone(WriteRecord record) {
    Push(undo_, Swapped(record));
    changed();
}

void CWriteHistory::PurgeGroup(const UserGroup* group) {
    auto inGroup = [group](const WriteRecord& r) { return r.entry && r.entry->custom == group; };
    std::erase_if(undo_, inGroup);
    std::erase_if(redo_, inGroup);
    changed();
}

void CWriteHistory::PurgeEntry(const UserGroupEntry* entry) {
    auto onEntry = [entry](const WriteRecord& r) { return r.entry == entry; };
    std::erase_if(undo_, onEntry);
    std::erase_if(redo_, onEntry);
    changed();
}

void CWriteHistory::Clear() {
    undo_.clear();
    redo_.clear();
    changed();
}

void CWriteHistory::Push(std::deque<WriteRecord>& list, const WriteRecord& record) {
    if (list.size() == kDepth) list.pop_front();
    list.push_back(record);
}

std::optional<WriteRecord> CWriteHistory::TakeNewest(std::deque<WriteRecord>& list) {
    if (list.empty()) return std::nullopt;
    WriteRecord r = list.back();
    list.pop_back();
    return r;
}

WriteRecord CWriteHistory::Swapped(WriteRecord record) {
    std::swap(record.oldValue, record.newValue);
    return record;
}

}  // namespace korvane
