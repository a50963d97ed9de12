#pragma once
// Undo and redo of the parameter list: takes the newest record of the history and puts its
// value back, straight into memory offline, or through a write to the drive online, whose
// answer alone changes what the editor holds.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "comm/drive_reply.h"
#include "editor/write_history.h"

namespace korvane {

class UserGroup;
class CDataFile;
class CDriveLink;
class CItem;
struct UserGroupEntry;

class UndoRedo : public ReplySink {
public:
    struct Hooks {
        // Whether a user group is still open in the editor (by identity).
        std::function<bool(const UserGroup*)> isGroupOpen;
        // A value changed in memory: the list redisplays the row of the entry (user-group
        // layout) or of the item (parameter-group and all-groups layouts).
        std::function<void(CItem* item, UserGroupEntry* entry)> valueStored;
        // An undone or redone value is a change like any other: the editor asks before it is
        // lost on close.
        std::function<void()> markModified;
    };

    // `link` is null for an offline editor, whose values live only in memory.
    UndoRedo(CDriveLink* link, int station, CDataFile& data, CWriteHistory& history);
    ~UndoRedo() override;

    // False when the list was empty.
    bool Undo();
    bool Redo();

    // A user group is closing, or an entry is being deleted: its records go from the history,
    // and writes still on the line no longer store into it.
    void PurgeGroup(const UserGroup* group);
    void PurgeEntry(const UserGroupEntry* entry);

    std::size_t PendingCount() const { return pending_.size(); }
    CWriteHistory& history() { return history_; }

    Hooks hooks;

    void OnDriveReply(int station, const DriveReply& reply) override;

private:
    struct PendingWrite {
        std::uint16_t address = 0;
        CItem* item = nullptr;
        UserGroupEntry* entry = nullptr;
        bool userGroup = false;
    };

    void play(WriteRecord record, std::uint32_t value);
    void store(CItem* item, UserGroupEntry* entry, bool userGroup, std::uint32_t value);
    bool groupOpen(const UserGroupEntry* entry) const;

    CDriveLink* link_;
    int station_;
    CDataFile& data_;
    CWriteHistory& history_;
    // In the order queued; a reply takes the oldest write to its address.
    std::vector<PendingWrite> pending_;
};

}  // namespace korvane
