#pragma once
// The user groups open in one editor: new, opened and recent files, saving, saving as and
// closing, each asking what it must.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_context.h"
#include "host/tool_frames.h"

namespace korvane {

class UserGroup;
struct WriteRecord;

class UserGroups {
public:
    using Done = std::function<void(bool ok)>;
    // `closing` is told before a group goes, once the editor's own state has let go of it.
    UserGroups(EditorContext& context, std::function<void(const UserGroup*)> closing);
    ~UserGroups();

    const std::vector<std::unique_ptr<UserGroup>>& All() const { return groups_; }
    RecentFileList& RecentFiles() { return recent_; }
    bool IsOpen(const UserGroup* group) const;
    bool AnyModified() const;
    void ForgetModifications();
    void SaveRecent();

    UserGroup* NewUserGroup();
    void OpenUserGroupDialog(Done done = {});
    // An already open path counts as opened and changes nothing.
    bool OpenUserGroup(const std::string& path);
    bool OpenRecent(std::size_t index);
    // False when nothing was stored (cancelled, refused or failed).
    void SaveUserGroup(UserGroup& group, Done done = {});
    void SaveUserGroupAs(UserGroup& group, Done done = {});
    // False when the user chose to save and the save did not happen: the group stays open.
    void CloseUserGroup(UserGroup& group, Done done = {});

    // An undo or redo was carried out: a user group that took the value now needs saving.
    void HistoryApplied(const WriteRecord& record);

private:
    void choosePath(UserGroup& group, ParaEditorUi::PathChosen chosen);
    void store(UserGroup& group, bool askPath, Done done);
    bool write(UserGroup& group);
    void remove(UserGroup& group);
    bool pathOpen(const std::string& path) const;

    EditorContext& context_;
    std::function<void(const UserGroup*)> closing_;
    std::vector<std::unique_ptr<UserGroup>> groups_;
    RecentFileList recent_;
};

}  // namespace korvane
