#include "editor/para_tree_model.h"

#include <algorithm>
#include <utility>

#include "common/translation.h"
#include "editor/para_texts.h"
#include "paradb/data_file.h"
#include "paradb/user_group.h"

namespace korvane {

CParaTreeModel::CParaTreeModel(CDataFile& dataFile) : dataFile_(dataFile) {
    if (dataFile_.groups) {
        for (CGroup& group : dataFile_.groups->elements) groups_.push_back(&group);
    }
}

void CParaTreeModel::SelectInitial() {
    selected_ = groups_.empty() ? Root(kAllGroupsRoot) : Child(kAllGroupsRoot, 0);
    notify();
}

std::size_t CParaTreeModel::ChildCount(int root) const {
    if (root == kAllGroupsRoot) return groups_.size();
    if (root == kUserGroupRoot) return userGroups_.size();
    return 0;
}

ParaNode CParaTreeModel::Child(int root, std::size_t row) const {
    if (root == kAllGroupsRoot && row < groups_.size())
        return {NodeKind::kGroup, groups_[row], nullptr};
    if (root == kUserGroupRoot && row < userGroups_.size())
        return {NodeKind::kUserGroup, nullptr, userGroups_[row]};
    return Root(root);
}

ParaNode CParaTreeModel::Root(int root) const {
    return {root == kUserGroupRoot ? NodeKind::kUserGroupRoot : NodeKind::kAllGroups, nullptr,
            nullptr};
}

std::pair<int, int> CParaTreeModel::Locate(const ParaNode& node) const {
    switch (node.kind) {
        case NodeKind::kAllGroups:
            return {kAllGroupsRoot, -1};
        case NodeKind::kUserGroupRoot:
            return {kUserGroupRoot, -1};
        case NodeKind::kGroup: {
            auto it = std::find(groups_.begin(), groups_.end(), node.group);
            if (it == groups_.end()) break;
            return {kAllGroupsRoot, static_cast<int>(it - groups_.begin())};
        }
        case NodeKind::kUserGroup: {
            auto it = std::find(userGroups_.begin(), userGroups_.end(), node.custom);
            if (it == userGroups_.end()) break;
            return {kUserGroupRoot, static_cast<int>(it - userGroups_.begin())};
        }
    }
    return {-1, -1};
}

std::string CParaTreeModel::Text(const ParaNode& node) {
    switch (node.kind) {
        case NodeKind::kAllGroups:
            return Tr(kAllGroupsNodeText);
        case NodeKind::kUserGroupRoot:
            return Tr(kUserGroupRootNodeText);
        case NodeKind::kGroup:
            return node.group ? node.group->name : std::string();
        case NodeKind::kUserGroup:
            return node.custom ? node.custom->title : std::string();
    }
    return {};
}

int CParaTreeModel::Image(NodeKind kind) {
    switch (kind) {
        case NodeKind::kAllGroups:
            return 2;
        case NodeKind::kGroup:
            return 3;
        case NodeKind::kUserGroupRoot:
            return 1;
        case NodeKind::kUserGroup:
            return 4;
    }
    return 0;
}

int CParaTreeModel::SelectedImage(NodeKind kind) {
    switch (kind) {
        case NodeKind::kGroup:
            return 5;
        case NodeKind::kUserGroup:
            return 6;
        default:
            return Image(kind);
    }
}

bool CParaTreeModel::Select(const ParaNode& node) {
    if (Locate(node).first < 0) return false;
    selected_ = node;
    notify();
    return true;
}

UserGroup* CParaTreeModel::SelectedUserGroup() const {
    return selected_.kind == NodeKind::kUserGroup ? selected_.custom : nullptr;
}

bool CParaTreeModel::SelectedIsParameterNode() const {
    return selected_.kind == NodeKind::kGroup || selected_.kind == NodeKind::kAllGroups;
}

void CParaTreeModel::AddUserGroup(UserGroup* group, bool select) {
    userGroups_.push_back(group);
    if (select) Select({NodeKind::kUserGroup, nullptr, group});
}

void CParaTreeModel::RemoveUserGroup(const UserGroup* group) {
    auto it = std::find(userGroups_.begin(), userGroups_.end(), group);
    if (it == userGroups_.end()) return;
    const std::size_t row = static_cast<std::size_t>(it - userGroups_.begin());
    userGroups_.erase(it);
    if (selected_.kind != NodeKind::kUserGroup || selected_.custom != group) return;
    if (row < userGroups_.size()) {
        selected_ = Child(kUserGroupRoot, row);
    } else if (row > 0) {
        selected_ = Child(kUserGroupRoot, row - 1);
    } else {
        selected_ = Root(kUserGroupRoot);
    }
    notify();
}

void CParaTreeModel::notify() {
    selectionChanged(selected_);
}

}  // namespace korvane
