#include "editor/para_frame.h"

#include <algorithm>
#include <filesystem>

#include "common/format.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "editor/group_reader.h"
#include "editor/node_reading.h"
#include "editor/offline_edit.h"
#include "editor/para_mode_dialog.h"
#include "editor/para_texts.h"
#include "editor/text_export.h"
#include "editor/undo_redo.h"
#include "host/settings.h"
#include "paradb/custom_group.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/drive_value_text.h"
#include "paradb/editor_texts.h"
#include "paradb/para_array.h"
#include "paradb/value_codec.h"

namespace korvane {
namespace {

constexpr const char* kRecentSection = "Para";

std::string DirectoryOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

FileDialogRequest ParaFileRequest(const std::string& title, const std::string& startDir) {
    return {"par", kParaFileFilter, title, startDir, {}, false};
}

FileDialogRequest UserGroupRequest(const std::string& title, const std::string& startDir,
                                   const std::string& defaultPath) {
    return {"usr", kUserGroupFilter, title, startDir, defaultPath, false};
}

// The shared caption of the editor's message boxes.
const std::string kCaption = kParameterEditorCaption;

korvane::ReadNode ToReadNode(const ParaNode& node) {
    return {static_cast<ReadNodeKind>(static_cast<int>(node.kind)), node.group, node.custom};
}

// An online editor's reading when the window brings no dialogs of its own.
class OwnReading : public ParaDriveActions {
public:
    explicit OwnReading(NodeReading& reading) : reading_(reading) {}
    void ReadNode(const ParaNode& node, std::function<void()> finished) override {
        reading_.Read(ToReadNode(node), std::move(finished));
    }
    bool IsReading() const override { return reading_.IsReading(); }
    void CancelRead() override {
        if (reading_.IsReading()) reading_.Cancel();
    }
    void CancelEdit() override {}

private:
    NodeReading& reading_;
};

}  // namespace

std::string ParaPaneLayoutKey(int key) {
    return strprintf("Para PaneLayout%d", key);
}

std::unique_ptr<CParaFrame> CParaFrame::Create(ToolServices& services, int key, ParaFrameUi& ui) {
    if (key < 0 || key >= kDriveRecordCount) return nullptr;
    std::shared_ptr<CDataFile> data = services.records[key].driveData;
    if (!data || !data->loaded) return nullptr;
    return std::unique_ptr<CParaFrame>(new CParaFrame(services, key, ui, std::move(data)));
}

CParaFrame::CParaFrame(ToolServices& services, int key, ParaFrameUi& ui,
                       std::shared_ptr<CDataFile> data)
    : services_(services),
      key_(key),
      ui_(ui),
      data_(std::move(data)),
      tree_(*data_),
      list_(*data_, history_, services.settings, key),
      recent_(kRecentSection) {
    std::vector<std::uint8_t> layout;
    if (services_.settings.getBytes(kSettingsSectionMain, ParaPaneLayoutKey(key_), layout))
        ui_.RestorePaneLayout(layout);
    recent_.load(services_.settings);
    list_.SetOffline(!IsOnline());
    undoRedo_ =
        std::make_unique<UndoRedo>(IsOnline() ? &services_.link : nullptr, key_, *data_, history_);
    undoRedo_->hooks.isGroupOpen = [this](const CCustom* group) { return isOpenGroup(group); };
    undoRedo_->hooks.valueStored = [this](CItem*, UserGroupEntry* entry) {
        if (!IsOnline() && entry == nullptr) valuesChanged_ = true;
        list_.RefreshValues();
    };
    list_.SetEntryRemovalListener([this](const UserGroupEntry* entry) {
        undoRedo_->PurgeEntry(entry);
        if (entryRemoving_) entryRemoving_(entry);
    });
    if (IsOnline()) {
        reading_ = std::make_unique<NodeReading>(services_.link, Record(),
                                                 [this] { return graphWatch(); });
        ownActions_ = std::make_unique<OwnReading>(*reading_);
        actions_ = ownActions_.get();
    } else {
        list_.SetCommitter(this);
    }
    tree_.SetSelectionListener([this](const ParaNode& node) { list_.ShowNode(node); });
    tree_.SelectInitial();
}

CParaFrame::~CParaFrame() = default;

DriveRecord& CParaFrame::Record() {
    return services_.records[key_];
}

void CParaFrame::SetReportHooks(std::function<void()> close, std::function<void()> nameChanged) {
    closeReport_ = std::move(close);
    reportNameChanged_ = std::move(nameChanged);
}

void CParaFrame::SetEntryRemovalListener(std::function<void(const UserGroupEntry*)> listener) {
    entryRemoving_ = std::move(listener);
}

void CParaFrame::CommitInPlaceEdit(const InPlaceEdit& edit, const std::string& text) {
    if (edit.item == nullptr) return;
    const CellEditResult result = CommitValueCellEdit(*edit.item, edit.entry, edit.startValue, text,
                                                      history_, services_.prompter);
    if (result == CellEditResult::kStored && edit.entry == nullptr) valuesChanged_ = true;
}

void CParaFrame::readNode(const ParaNode& node, std::function<void()> then) {
    if (actions_ == nullptr) {
        if (then) then();
        return;
    }
    std::weak_ptr<char> alive = alive_;
    actions_->ReadNode(node, [this, alive, then = std::move(then)] {
        if (alive.expired()) return;
        if (!closed_) list_.ShowNode(tree_.Selected());
        if (then) then();
    });
}

bool CParaFrame::graphWatch() const {
    return services_.host.graphWatchActive();
}

bool CParaFrame::loaded() const {
    return data_ && data_->loaded != 0;
}

bool CParaFrame::isOpenGroup(const CCustom* group) const {
    return std::any_of(groups_.begin(), groups_.end(),
                       [group](const auto& g) { return g.get() == group; });
}

// ---------------------------------------------------------------------------------------------
// Title, panes, commands

std::string CParaFrame::Title() const {
    const DriveRecord& record = services_.records[key_];
    const std::string series = FormatDriveValue(record, 0x0000, 0);
    const std::string version = FormatDriveValue(record, 0x0003, 0);
    if (!IsOnline()) {
        return strprintf("OFF-LINE(%s, Ver%s) %s", series.c_str(), version.c_str(),
                         kParaEditorTitleSuffix);
    }
    const std::string name =
        services_.settings.getString(kSettingsSectionInvName, strprintf("Inv Name%d", key_), "");
    if (!name.empty()) {
        return strprintf("ON-LINE(%d:%s - %s, Ver%s) %s", key_, series.c_str(), name.c_str(),
                         version.c_str(), kParaEditorTitleSuffix);
    }
    return strprintf("ON-LINE(%d:%s, Ver%s) %s", key_, series.c_str(), version.c_str(),
                     kParaEditorTitleSuffix);
}

std::vector<ParaStatusPane> CParaFrame::Panes() const {
    const DriveRecord& record = services_.records[key_];
    constexpr Rgb kRed{255, 0, 0};
    constexpr Rgb kBlue{0, 0, 255};
    constexpr Rgb kFileValuesPaneColour{176, 96, 0};
    std::vector<ParaStatusPane> panes;
    panes.push_back(
        {61359, 100, kGraphWatchPaneText, graphWatch() ? kGraphWatchPaneText : "", kRed});
    panes.push_back(
        {61281, 70, "オンラインモード", IsOnline() ? kOnlinePaneText : kOfflinePaneText, kBlue});
    panes.push_back({61282, 60, "インバータモデル", FormatDriveValue(record, 0x0000, 0), {}});
    panes.push_back(
        {61283, 80, "インバータバージョン", "Ver : " + FormatDriveValue(record, 0x0003, 0), {}});
    panes.push_back({61284, 80, "パラメータモード", FrequencyModeText(data_->frequencyMode), {}});
    panes.push_back({61285, 100, "TIME 1", Time1ModeText(data_->time1Divisor), {}});
    panes.push_back({61286,
                     180,
                     "パラメータ量",
                     strprintf(kParameterCountFormat, static_cast<int>(list_.RowCount())),
                     {}});
    panes.push_back({61287, 90, kFileValuesPaneText, ShowsFileValues() ? kFileValuesPaneText : "",
                     kFileValuesPaneColour});
    return panes;
}

bool CParaFrame::ShowsFileValues() const {
    if (!IsOnline() || !data_->groups) return false;
    for (const CGroup& group : data_->groups->elements)
        for (const CItem& item : group.items)
            if (item.fromFile) return true;
    return false;
}

bool CParaFrame::IsEnabled(int command) const {
    if (closed_) return false;
    const NodeKind selected = tree_.Selected().kind;
    const bool driveWork = IsOnline() && loaded() && !graphWatch();
    switch (command) {
        case kCmdNewUserGroup:
        case kCmdOpenUserGroup:
        case kCmdSaveParaFile:
        case kCmdParameterMode:
        case kCmdReportHeader:
        case kCmdReadParaFile:
            return true;
        case kCmdSaveUserGroup:
        case kCmdCloseUserGroup:
            return tree_.SelectedUserGroup() != nullptr;
        case kCmdUpload:
        case kCmdDownload:
        case kCmdCompare:
            return driveWork;
        case kCmdSaveTextFile:
            return tree_.SelectedIsParameterNode() && loaded() && (!IsOnline() || !graphWatch());
        case kCmdOnlineEdit:
            return driveWork && list_.CurrentRow() >= 0;
        case kCmdRefreshGroup:
            return driveWork && selected != NodeKind::kUserGroupRoot;
        case kCmdReport:
        case kCmdReportExtra1:
        case kCmdReportExtra2:
            return selected != NodeKind::kUserGroupRoot && loaded();
        case kCmdUndo:
            return history_.CanUndo();
        case kCmdRedo:
            return history_.CanRedo();
        default:
            return false;
    }
}

void CParaFrame::Execute(int command) {
    if (!IsEnabled(command)) return;
    switch (command) {
        case kCmdNewUserGroup:
            NewUserGroup();
            break;
        case kCmdOpenUserGroup:
            OpenUserGroupDialog();
            break;
        case kCmdSaveUserGroup:
            SaveUserGroup(*tree_.SelectedUserGroup());
            break;
        case kCmdCloseUserGroup:
            CloseUserGroup(*tree_.SelectedUserGroup());
            break;
        case kCmdSaveParaFile:
            SaveParameterFile();
            break;
        case kCmdReadParaFile:
            ReadParameterFile();
            break;
        case kCmdSaveTextFile:
            SaveTextFile();
            break;
        case kCmdParameterMode: {
            auto dialog = std::make_shared<CParaModeDialog>(services_, key_,
                                                            CParaModeDialog::Use::kParameterMode);
            ui_.OpenModeDialog(dialog, whileOpen([this, dialog](bool confirmed) {
                                   if (confirmed)
                                       ApplyParameterMode(dialog->FrequencyMode(),
                                                          dialog->Time1Divisor());
                                   dialog->Close();
                               }));
            break;
        }
        case kCmdRefreshGroup:
            if (actions_) actions_->CancelRead();
            readNode(tree_.Selected(), {});
            break;
        case kCmdOnlineEdit:
            if (edit_) edit_(command);
            break;
        case kCmdUndo:
            undoRedo_->Undo();
            break;
        case kCmdRedo:
            undoRedo_->Redo();
            break;
        default:
            if (transfer_) transfer_(command);
            break;
    }
}

bool CParaFrame::TreeDoubleClicked() {
    const ParaNode node = tree_.Selected();
    if (closed_ || !IsOnline() || !loaded() || node.kind == NodeKind::kUserGroupRoot ||
        actions_ == nullptr)
        return false;
    actions_->CancelRead();
    readNode(node, {});
    return node.kind == NodeKind::kAllGroups;
}

void CParaFrame::ListDoubleClicked() {
    Execute(kCmdOnlineEdit);
}

// ---------------------------------------------------------------------------------------------
// Parameter files

std::string CParaFrame::dirSetting(const char* key) const {
    return services_.settings.getString(kSettingsSectionMain, key, "");
}

void CParaFrame::rememberDir(const char* key, const std::string& path) {
    services_.settings.setString(kSettingsSectionMain, key, DirectoryOf(path));
}

void CParaFrame::chooseSavePath(const FileDialogRequest& request, ParaFrameUi::PathChosen chosen) {
    ui_.ChooseSaveFile(request, whileOpen([this, chosen](std::optional<std::string> path) {
                           if (!path || !FileExists(*path)) return chosen(path);
                           services_.prompter.ask(strprintf(kOverwriteFormat, path->c_str()),
                                                  kCaption,
                                                  whileOpen([chosen, path](bool overwrite) {
                                                      chosen(overwrite ? path : std::nullopt);
                                                  }));
                       }));
}

void CParaFrame::SaveParameterFile(Done done) {
    chooseSavePath(ParaFileRequest(kParaFileSaveTitle, dirSetting(kParaFileDirKey)),
                   [this, done](std::optional<std::string> path) {
                       if (!path) {
                           if (done) done(false);
                           return;
                       }
                       saveParameterFileTo(*path, done);
                   });
}

void CParaFrame::saveParameterFileTo(const std::string& path, const Done& done) {
    ui_.SetWaitCursor(true);
    // The data file carries the drive's series and version: the record may have been reset by
    // a disconnection while the editor was still open.
    const bool saved = SaveParaFile(path, BuildParaArray(*data_));
    ui_.SetWaitCursor(false);
    if (!saved) {
        services_.prompter.error(kParaFileSaveFailedText, kCaption);
    } else {
        valuesChanged_ = false;
        services_.prompter.info(kParaFileSavedText, kCaption);
        rememberDir(kParaFileDirKey, path);
    }
    if (done) done(saved);
}

void CParaFrame::ReadParameterFile(Done done) {
    ui_.ChooseOpenFile(ParaFileRequest(kParaFileOpenTitle, dirSetting(kParaFileDirKey)),
                       whileOpen([this, done](std::optional<std::string> path) {
                           if (!path) {
                               if (done) done(false);
                               return;
                           }
                           readParameterFileFrom(*path, done);
                       }));
}

void CParaFrame::readParameterFileFrom(const std::string& path, const Done& done) {
    CParaArray set(data_->seriesCode, data_->version);
    switch (ReadParaFile(path, set, services_.prompter)) {
        case FileReadOutcome::kOk:
            break;
        case FileReadOutcome::kFailed:
            services_.prompter.error(kParaFileOpenFailedText, kCaption);
            if (done) done(false);
            return;
        case FileReadOutcome::kAbandoned:
            if (done) done(false);
            return;
    }
    rememberDir(kParaFileDirKey, path);
    (void)ApplyParaArray(*data_, set);
    if (IsOnline()) markFileValues(set);
    list_.RefreshValues();
    services_.prompter.info(kParaFileReadText, kCaption);
    if (done) done(true);
}

void CParaFrame::markFileValues(const CParaArray& set) {
    const std::size_t n = std::min(set.addresses.size(), set.values.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (set.addresses[i] > 0xFFFF) continue;
        if (CItem* item = data_->FindItem(static_cast<std::uint16_t>(set.addresses[i])))
            item->fromFile = true;
    }
}

void CParaFrame::SaveTextFile(Done done) {
    FileDialogRequest request{
        "txt", kParaTextFilter, kParaTextSaveTitle, dirSetting(kParaTextFileDirKey), {}, true};
    ui_.ChooseSaveFile(request, whileOpen([this, done](std::optional<std::string> path) {
                           if (done) done(path.has_value());
                           if (!path) return;
                           if (!IsOnline() || actions_ == nullptr) return exportTo(*path);
                           // Fresh values first: the file is written once the read of all
                           // groups has ended.
                           actions_->CancelRead();
                           const ParaNode all = tree_.Root(CParaTreeModel::kAllGroupsRoot);
                           tree_.Select(all);
                           pendingExport_ = *path;
                           readNode(all, [this] {
                               if (!pendingExport_) return;
                               const std::string target = *pendingExport_;
                               pendingExport_.reset();
                               exportTo(target);
                           });
                       }));
}

void CParaFrame::exportTo(const std::string& path) {
    if (closed_) return;
    ui_.SetWaitCursor(true);
    const bool saved = SaveParameterText(path, *data_, Record());
    ui_.SetWaitCursor(false);
    if (!saved) {
        services_.prompter.error(kTextExportFailedText, kCaption);
        return;
    }
    services_.prompter.info(kTextExportDoneText, kCaption);
    rememberDir(kParaTextFileDirKey, path);
}

void CParaFrame::ApplyParameterMode(int frequencyMode, int time1Divisor) {
    data_->SetSpeedMode(frequencyMode, time1Divisor);
    list_.RefreshValues();
    ui_.PanesChanged();
}

// ---------------------------------------------------------------------------------------------
// User groups

CCustom* CParaFrame::NewUserGroup() {
    const std::string path =
        NewUserGroupPath(services_.dirs.app, Record(), [this](const std::string& p) {
            return std::any_of(groups_.begin(), groups_.end(),
                               [&p](const auto& g) { return g->path == p; });
        });
    groups_.push_back(CCustom::CreateNew(*data_, path));
    CCustom* group = groups_.back().get();
    tree_.AddUserGroup(group, false);
    ui_.TreeChanged();
    return group;
}

void CParaFrame::OpenUserGroupDialog(Done done) {
    ui_.ChooseOpenFile(UserGroupRequest(kUserGroupOpenTitle, dirSetting(kCustomFileDirKey), {}),
                       whileOpen([this, done](std::optional<std::string> path) {
                           const bool opened = path && OpenUserGroup(*path);
                           if (done) done(opened);
                       }));
}

bool CParaFrame::OpenUserGroup(const std::string& path) {
    if (std::any_of(groups_.begin(), groups_.end(),
                    [&path](const auto& g) { return g->path == path; }))
        return true;
    ui_.SetWaitCursor(true);
    std::unique_ptr<CCustom> group = OpenUserGroupFile(path, *data_, services_.prompter);
    ui_.SetWaitCursor(false);
    if (!group) return false;
    group->modified = 0;
    groups_.push_back(std::move(group));
    tree_.AddUserGroup(groups_.back().get(), true);
    recent_.add(path);
    recent_.save(services_.settings);
    rememberDir(kCustomFileDirKey, path);
    ui_.TreeChanged();
    return true;
}

bool CParaFrame::OpenRecent(std::size_t index) {
    const bool opened =
        recent_.choose(index, [this](const std::string& path) { return OpenUserGroup(path); });
    recent_.save(services_.settings);
    return opened;
}

void CParaFrame::SaveUserGroup(CCustom& group, Done done) {
    storeUserGroup(group, group.newFlag != 0 || group.path.empty(), std::move(done));
}

void CParaFrame::SaveUserGroupAs(CCustom& group, Done done) {
    storeUserGroup(group, true, std::move(done));
}

void CParaFrame::chooseUserGroupPath(CCustom& group, ParaFrameUi::PathChosen chosen) {
    ui_.ChooseSaveFile(
        UserGroupRequest(kUserGroupSaveTitle, dirSetting(kCustomFileDirKey), group.path),
        whileOpen([this, &group, chosen](std::optional<std::string> path) {
            // The group may have been closed while the dialog was open.
            if (!isOpenGroup(&group)) return chosen(std::nullopt);
            if (!path) return chosen(path);
            const std::string& picked = *path;
            const bool takenByOther =
                std::any_of(groups_.begin(), groups_.end(),
                            [&](const auto& g) { return g.get() != &group && g->path == picked; });
            if (!takenByOther) return chosen(path);
            services_.prompter.error(kUserGroupPathOpenText, kCaption);
            chooseUserGroupPath(group, chosen);
        }));
}

void CParaFrame::storeUserGroup(CCustom& group, bool askPath, Done done) {
    if (!askPath) {
        const bool stored = writeUserGroup(group);
        if (done) done(stored);
        return;
    }
    chooseUserGroupPath(group, [this, &group, done](std::optional<std::string> path) {
        auto store = [this, &group, done, path](bool overwrite) {
            if (!overwrite || !isOpenGroup(&group)) {
                if (done) done(false);
                return;
            }
            group.path = *path;
            group.title = UserGroupTitle(*path);
            rememberDir(kCustomFileDirKey, *path);
            group.newFlag = 0;
            const bool stored = writeUserGroup(group);
            if (done) done(stored);
        };
        if (!path) return store(false);
        if (!FileExists(*path)) return store(true);
        services_.prompter.ask(strprintf(kOverwriteFormat, path->c_str()), kCaption,
                               whileOpen(store));
    });
}

bool CParaFrame::writeUserGroup(CCustom& group) {
    if (!SaveUserGroupFile(group.path, group)) {
        services_.prompter.error(kUserGroupSaveFailedText, kCaption);
        return false;
    }
    group.modified = 0;
    recent_.add(group.path);
    recent_.save(services_.settings);
    ui_.TreeChanged();
    return true;
}

void CParaFrame::CloseUserGroup(CCustom& group, Done done) {
    auto remove = [this, &group, done] {
        history_.PurgeGroup(&group);
        undoRedo_->PurgeGroup(&group);
        if (groupClosing_) groupClosing_(&group);
        list_.ForgetUserGroup(&group);
        tree_.RemoveUserGroup(&group);
        std::erase_if(groups_, [&group](const auto& g) { return g.get() == &group; });
        ui_.TreeChanged();
        if (done) done(true);
    };
    if (!isOpenGroup(&group) || !group.modified) {
        if (isOpenGroup(&group)) return remove();
        if (done) done(true);
        return;
    }
    services_.prompter.ask(strprintf(kUserGroupModifiedFormat, group.title.c_str()), kCaption,
                           whileOpen([this, &group, done, remove](bool save) {
                               if (!isOpenGroup(&group)) {
                                   if (done) done(true);
                                   return;
                               }
                               if (!save) return remove();
                               SaveUserGroup(group, [done, remove](bool saved) {
                                   // Closing would throw away what the user just asked to keep.
                                   if (saved) return remove();
                                   if (done) done(false);
                               });
                           }));
}

bool CParaFrame::HasUnsavedChanges() const {
    if (closed_) return false;
    if (valuesChanged_ && !IsOnline()) return true;
    return std::any_of(groups_.begin(), groups_.end(),
                       [](const auto& g) { return g->modified != 0; });
}

void CParaFrame::DiscardUnsavedChanges() {
    valuesChanged_ = false;
    for (const auto& group : groups_) group->modified = 0;
}

void CParaFrame::HistoryApplied(const WriteRecord& record) {
    if (record.entry == nullptr) return;
    // The record may outlive its entry; only an entry still held by an open group is touched.
    for (const auto& group : groups_) {
        for (const auto& entry : group->entries) {
            if (entry.get() == record.entry) group->modified = 1;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Drive events and closing

void CParaFrame::stopDriveWork() {
    pendingExport_.reset();
    if (actions_) {
        actions_->CancelRead();
        actions_->CancelEdit();
    }
}

void CParaFrame::OnDriveEvent(const DriveEvent& event) {
    if (closed_) return;
    switch (event.kind) {
        case DriveEventKind::kDisconnected:
            if (!IsOnline() || event.station != key_) return;
            // Dialogs first: they hold items of this editor and queued requests.
            stopDriveWork();
            ui_.RequestClose();
            break;
        case DriveEventKind::kNameChanged:
            if (!IsOnline() || event.station != key_) return;
            if (reportNameChanged_) reportNameChanged_();
            ui_.TitleChanged();
            break;
        case DriveEventKind::kGraphWatchMode:
            if (IsOnline() && event.graphWatchActive && actions_) {
                actions_->CancelRead();
                actions_->CancelEdit();
            }
            ui_.PanesChanged();
            break;
        case DriveEventKind::kConnected:
            break;
    }
}

}  // namespace korvane
