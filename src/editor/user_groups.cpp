#include "editor/user_groups.h"

#include <algorithm>

#include "common/file_path.h"
#include "common/format.h"
#include "common/translation.h"
#include "editor/para_texts.h"
#include "paradb/data_file.h"
#include "paradb/editor_texts.h"
#include "paradb/user_group.h"

namespace korvane {
namespace {

constexpr const char* kRecentSection = "Para";

FileDialogRequest UserGroupRequest(const std::string& title, const std::string& startDir,
                                   const std::string& defaultPath) {
    return {"usr", Tr(kUserGroupFilter), title, startDir, defaultPath, false};
}

}  // namespace

UserGroups::UserGroups(EditorContext& context, std::function<void(const UserGroup*)> closing)
    : context_(context), closing_(std::move(closing)), recent_(kRecentSection) {
    recent_.load(context_.services.settings);
}

UserGroups::~UserGroups() = default;

bool UserGroups::IsOpen(const UserGroup* group) const {
    return std::any_of(groups_.begin(), groups_.end(),
                       [group](const auto& g) { return g.get() == group; });
}

bool UserGroups::pathOpen(const std::string& path) const {
    return std::any_of(groups_.begin(), groups_.end(),
                       [&path](const auto& g) { return g->path == path; });
}

bool UserGroups::AnyModified() const {
    return std::any_of(groups_.begin(), groups_.end(),
                       [](const auto& g) { return g->modified != 0; });
}

void UserGroups::ForgetModifications() {
    for (const auto& group : groups_) group->modified = 0;
}

void UserGroups::SaveRecent() {
    recent_.save(context_.services.settings);
}

UserGroup* UserGroups::NewUserGroup() {
    const std::string path = NewUserGroupPath(context_.services.dirs.app, context_.Record(),
                                              [this](const std::string& p) { return pathOpen(p); });
    groups_.push_back(UserGroup::CreateNew(*context_.data, path));
    UserGroup* group = groups_.back().get();
    context_.tree.AddUserGroup(group, false);
    context_.events.treeChanged();
    return group;
}

void UserGroups::OpenUserGroupDialog(Done done) {
    context_.ui.ChooseOpenFile(
        UserGroupRequest(Tr(kUserGroupOpenTitle), context_.DirSetting(kCustomFileDirKey), {}),
        context_.WhileOpen([this, done](std::optional<std::string> path) {
            const bool opened = path && OpenUserGroup(*path);
            if (done) done(opened);
        }));
}

bool UserGroups::OpenUserGroup(const std::string& path) {
    if (pathOpen(path)) return true;
    context_.ui.SetWaitCursor(true);
    OpenedUserGroup opened = OpenUserGroupFile(path, *context_.data);
    context_.ui.SetWaitCursor(false);
    if (!opened.group) {
        context_.services.prompter.error(opened.result.text, kParameterEditorCaption);
        return false;
    }
    opened.group->modified = 0;
    groups_.push_back(std::move(opened.group));
    context_.tree.AddUserGroup(groups_.back().get(), true);
    recent_.add(path);
    SaveRecent();
    context_.RememberDir(kCustomFileDirKey, path);
    context_.events.treeChanged();
    return true;
}

bool UserGroups::OpenRecent(std::size_t index) {
    const bool opened =
        recent_.choose(index, [this](const std::string& path) { return OpenUserGroup(path); });
    SaveRecent();
    return opened;
}

void UserGroups::SaveUserGroup(UserGroup& group, Done done) {
    store(group, group.newFlag != 0 || group.path.empty(), std::move(done));
}

void UserGroups::SaveUserGroupAs(UserGroup& group, Done done) {
    store(group, true, std::move(done));
}

void UserGroups::choosePath(UserGroup& group, ParaEditorUi::PathChosen chosen) {
    context_.ui.ChooseSaveFile(
        UserGroupRequest(Tr(kUserGroupSaveTitle), context_.DirSetting(kCustomFileDirKey),
                         group.path),
        context_.WhileOpen([this, &group, chosen](std::optional<std::string> path) {
            // The group may have been closed while the dialog was open.
            if (!IsOpen(&group)) return chosen(std::nullopt);
            if (!path) return chosen(path);
            const std::string& picked = *path;
            const bool takenByOther =
                std::any_of(groups_.begin(), groups_.end(),
                            [&](const auto& g) { return g.get() != &group && g->path == picked; });
            if (!takenByOther) return chosen(path);
            context_.services.prompter.error(Tr(kUserGroupPathOpenText), kParameterEditorCaption);
            choosePath(group, chosen);
        }));
}

void UserGroups::store(UserGroup& group, bool askPath, Done done) {
    if (!askPath) {
        const bool stored = write(group);
        if (done) done(stored);
        return;
    }
    choosePath(group, [this, &group, done](std::optional<std::string> path) {
        auto storeAt = [this, &group, done, path](bool overwrite) {
            if (!overwrite || !IsOpen(&group)) {
                if (done) done(false);
                return;
            }
            group.path = *path;
            group.title = UserGroupTitle(*path);
            context_.RememberDir(kCustomFileDirKey, *path);
            group.newFlag = 0;
            const bool stored = write(group);
            if (done) done(stored);
        };
        if (!path) return storeAt(false);
        if (!PathExists(*path)) return storeAt(true);
        context_.services.prompter.ask(strprintf(Tr(kOverwriteFormat), path->c_str()),
                                       kParameterEditorCaption, context_.WhileOpen(storeAt));
    });
}

bool UserGroups::write(UserGroup& group) {
    if (!SaveUserGroupFile(group.path, group)) {
        context_.services.prompter.error(Tr(kUserGroupSaveFailedText), kParameterEditorCaption);
        return false;
    }
    group.modified = 0;
    recent_.add(group.path);
    SaveRecent();
    context_.events.treeChanged();
    return true;
}

void UserGroups::remove(UserGroup& group) {
    context_.history.PurgeGroup(&group);
    if (closing_) closing_(&group);
    context_.list.ForgetUserGroup(&group);
    context_.tree.RemoveUserGroup(&group);
    std::erase_if(groups_, [&group](const auto& g) { return g.get() == &group; });
    context_.events.treeChanged();
}

void UserGroups::CloseUserGroup(UserGroup& group, Done done) {
    if (!IsOpen(&group) || !group.modified) {
        if (IsOpen(&group)) remove(group);
        if (done) done(true);
        return;
    }
    context_.services.prompter.ask(strprintf(Tr(kUserGroupModifiedFormat), group.title.c_str()),
                                   kParameterEditorCaption,
                                   context_.WhileOpen([this, &group, done](bool save) {
                                       if (!IsOpen(&group)) {
                                           if (done) done(true);
                                           return;
                                       }
                                       if (!save) {
                                           remove(group);
                                           if (done) done(true);
                                           return;
                                       }
                                       SaveUserGroup(group, [this, &group, done](bool saved) {
                                           // Closing would throw away what the user just asked to
                                           // keep.
                                           if (saved) remove(group);
                                           if (done) done(saved);
                                       });
                                   }));
}

void UserGroups::HistoryApplied(const WriteRecord& record) {
    if (record.entry == nullptr) return;
    // The record may outlive its entry; only an entry still held by an open group is touched.
    for (const auto& group : groups_) {
        for (const auto& entry : group->entries) {
            if (entry.get() == record.entry) group->modified = 1;
        }
    }
}

}  // namespace korvane
