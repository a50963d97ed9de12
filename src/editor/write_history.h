#pragma once
// The undo and redo lists of one parameter list: the writes made from the editor, newest last.
// Each list keeps at most eight records; a ninth pushes the oldest out.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "common/signal.h"

namespace korvane {

class UserGroup;
struct UserGroupEntry;

struct WriteRecord {
    std::uint16_t address = 0;
    std::uint32_t oldValue = 0;
    std::uint32_t newValue = 0;
    // Set when the write was made on a user-group entry; the entry dies with its group, so
    // closing a group purges its records (PurgeGroup) before the entry goes.
    UserGroupEntry* entry = nullptr;

    bool isUserGroup() const { return entry != nullptr; }
};

class CWriteHistory {
public:
    static constexpr std::size_t kDepth = 8;

    // A new write: goes on the undo list. The redo list is kept, as the editor always did.
    void Add(const WriteRecord& record);

    // Takes the newest record of the list (nullopt when empty). The caller performs the write
    // and then hands the record back with Undone/Redone, which swap old and new value and put
    // it on the other list.
    std::optional<WriteRecord> TakeUndo();
    std::optional<WriteRecord> TakeRedo();
    void Undone(WriteRecord record);
    void Redone(WriteRecord record);

    // Removes from both lists every record made on an entry of `group` (matched by identity,
    // never by name: two open groups may share a title).
    void PurgeGroup(const UserGroup* group);
    // Removes every record made on this entry (the entry is being deleted).
    void PurgeEntry(const UserGroupEntry* entry);

    std::size_t UndoCount() const { return undo_.size(); }
    std::size_t RedoCount() const { return redo_.size(); }
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    void Clear();

    // Either list changed (what undo and redo can do follows).
    Signal<> changed;

private:
    static void Push(std::deque<WriteRecord>& list, const WriteRecord& record);
    static std::optional<WriteRecord> TakeNewest(std::deque<WriteRecord>& list);
    static WriteRecord Swapped(WriteRecord record);

    std::deque<WriteRecord> undo_;
    std::deque<WriteRecord> redo_;
};

}  // namespace korvane
