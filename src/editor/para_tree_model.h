#pragma once
// The editor's tree: the data file's parameter groups under one root and the open user groups
// under the other. The widget draws it; selection lives here so that the commands' enabling
// and the list's contents follow one truth.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "common/signal.h"

namespace korvane {

class UserGroup;
class CDataFile;
class CGroup;

// The values are the ones the editor always used for its node kinds.
enum class NodeKind : int {
    kGroup = 0,
    kUserGroup = 1,
    kAllGroups = 2,
    kUserGroupRoot = 3,
};

struct ParaNode {
    NodeKind kind = NodeKind::kAllGroups;
    CGroup* group = nullptr;      // kGroup
    UserGroup* custom = nullptr;  // kUserGroup

    bool operator==(const ParaNode&) const = default;
};

class CParaTreeModel {
public:
    // Roots by row.
    static constexpr int kAllGroupsRoot = 0;
    static constexpr int kUserGroupRoot = 1;

    explicit CParaTreeModel(CDataFile& dataFile);

    // The new node after every selection change (the list refills from it).
    Signal<const ParaNode&> selectionChanged;
    // Selects the first group (or the all-groups root when there is none); the list fills.
    void SelectInitial();

    // Children of a root in display order.
    std::size_t ChildCount(int root) const;
    ParaNode Child(int root, std::size_t row) const;
    ParaNode Root(int root) const;
    // Where a node sits: {root, -1} for a root, {root, row} for a child; {-1, -1} if unknown.
    std::pair<int, int> Locate(const ParaNode& node) const;

    static std::string Text(const ParaNode& node);
    static int Image(NodeKind kind);
    static int SelectedImage(NodeKind kind);

    const ParaNode& Selected() const { return selected_; }
    // Refused (false) for a node that is not in the tree.
    bool Select(const ParaNode& node);
    // The selected user group for save and close, else null.
    UserGroup* SelectedUserGroup() const;
    // Whether the selection is a parameter group or the all-groups root (the text export).
    bool SelectedIsParameterNode() const;

    void AddUserGroup(UserGroup* group, bool select);
    // A removed selected node hands the selection to its next sibling, else the previous one,
    // else the user-group root, as a tree control does.
    void RemoveUserGroup(const UserGroup* group);
    const std::vector<UserGroup*>& UserGroups() const { return userGroups_; }

private:
    void notify();

    CDataFile& dataFile_;
    std::vector<CGroup*> groups_;
    std::vector<UserGroup*> userGroups_;
    ParaNode selected_;
};

}  // namespace korvane
