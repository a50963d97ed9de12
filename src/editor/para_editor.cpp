#include "editor/para_editor.h"

#include <algorithm>
#include <filesystem>

#include "common/format.h"
#include "common/settings_store.h"
#include "editor/mode_choice.h"
#include "editor/node_reading.h"
#include "editor/offline_edit.h"
#include "editor/undo_redo.h"
#include "host/settings.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/user_group.h"

namespace korvane {
namespace {

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

std::unique_ptr<ParaEditor> ParaEditor::Create(ToolServices& services, int key, ParaEditorUi& ui) {
    if (key < 0 || key >= kDriveRecordCount) return nullptr;
    std::shared_ptr<CDataFile> data = services.records[key].driveData;
    if (!data || !data->loaded) return nullptr;
    return std::unique_ptr<ParaEditor>(new ParaEditor(services, key, ui, std::move(data)));
}

ParaEditor::ParaEditor(ToolServices& services, int key, ParaEditorUi& ui,
                       std::shared_ptr<CDataFile> data)
    : context_(services, key, ui, std::move(data)) {
    std::vector<std::uint8_t> layout;
    if (services.settings.getBytes(kSettingsSectionMain, ParaPaneLayoutKey(key), layout))
        ui.RestorePaneLayout(layout);
    context_.list.SetOffline(!IsOnline());
    undoRedo_ = std::make_unique<UndoRedo>(IsOnline() ? &services.link : nullptr, key,
                                           *context_.data, context_.history);
    groups_ = std::make_unique<UserGroups>(context_, [this](const UserGroup* group) {
        undoRedo_->PurgeGroup(group);
        context_.events.groupClosing(group);
    });
    files_ = std::make_unique<ParaFileCommands>(
        context_, [this](const std::function<void()>& starting, std::function<void()> then) {
            return readAllGroups(starting, std::move(then));
        });
    chrome_ = std::make_unique<EditorChrome>(context_, *files_);
    undoRedo_->hooks.isGroupOpen = [this](const UserGroup* group) {
        return groups_->IsOpen(group);
    };
    undoRedo_->hooks.valueStored = [this](CItem*, UserGroupEntry* entry) {
        if (!IsOnline() && entry == nullptr) files_->MarkValuesChanged();
        context_.list.RefreshValues();
    };
    connections_.push_back(context_.list.entryRemoving.connect([this](const UserGroupEntry* entry) {
        undoRedo_->PurgeEntry(entry);
        context_.events.entryRemoving(entry);
    }));
    if (IsOnline()) {
        reading_ = std::make_unique<NodeReading>(services.link, Record(),
                                                 [this] { return context_.GraphWatch(); });
        ownActions_ = std::make_unique<OwnReading>(*reading_);
        actions_ = ownActions_.get();
    } else {
        context_.list.SetCommitter(this);
    }
    connections_.push_back(context_.tree.selectionChanged.connect(
        [this](const ParaNode& node) { context_.list.ShowNode(node); }));
    context_.tree.SelectInitial();
}

ParaEditor::~ParaEditor() = default;

void ParaEditor::CommitInPlaceEdit(const InPlaceEdit& edit, const std::string& text) {
    if (edit.item == nullptr) return;
    const CellEditResult result = CommitValueCellEdit(*edit.item, edit.entry, edit.startValue, text,
                                                      context_.history, context_.services.prompter);
    if (result == CellEditResult::kStored && edit.entry == nullptr) files_->MarkValuesChanged();
}

void ParaEditor::readNode(const ParaNode& node, std::function<void()> then) {
    if (actions_ == nullptr) {
        if (then) then();
        return;
    }
    std::weak_ptr<char> alive = context_.alive;
    actions_->ReadNode(node, [this, alive, then = std::move(then)] {
        if (alive.expired()) return;
        if (!context_.closed) context_.list.ShowNode(context_.tree.Selected());
        if (then) then();
    });
}

bool ParaEditor::readAllGroups(const std::function<void()>& starting, std::function<void()> then) {
    if (actions_ == nullptr) return false;
    actions_->CancelRead();
    const ParaNode all = context_.tree.Root(CParaTreeModel::kAllGroupsRoot);
    context_.tree.Select(all);
    starting();
    readNode(all, std::move(then));
    return true;
}

void ParaEditor::openModeChoice() {
    auto choice = std::make_shared<ModeChoice>(context_.services, context_.key,
                                               ModeChoice::Use::kParameterMode);
    context_.ui.OpenModeDialog(choice, context_.WhileOpen([this, choice](bool confirmed) {
        if (confirmed) ApplyParameterMode(choice->FrequencyMode(), choice->Time1Divisor());
        choice->Close();
    }));
}

bool ParaEditor::IsEnabled(int command) const {
    if (context_.closed) return false;
    const NodeKind selected = context_.tree.Selected().kind;
    const bool driveWork = IsOnline() && context_.Loaded() && !context_.GraphWatch();
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
            return context_.tree.SelectedUserGroup() != nullptr;
        case kCmdUpload:
        case kCmdDownload:
        case kCmdCompare:
            return driveWork;
        case kCmdSaveTextFile:
            return context_.tree.SelectedIsParameterNode() && context_.Loaded() &&
                   (!IsOnline() || !context_.GraphWatch());
        case kCmdOnlineEdit:
            return driveWork && context_.list.CurrentRow() >= 0;
        case kCmdRefreshGroup:
            return driveWork && selected != NodeKind::kUserGroupRoot;
        case kCmdReport:
        case kCmdReportExtra1:
        case kCmdReportExtra2:
            return selected != NodeKind::kUserGroupRoot && context_.Loaded();
        case kCmdUndo:
            return context_.history.CanUndo();
        case kCmdRedo:
            return context_.history.CanRedo();
        default:
            return false;
    }
}

void ParaEditor::Execute(int command) {
    if (!IsEnabled(command)) return;
    switch (command) {
        case kCmdNewUserGroup:
            groups_->NewUserGroup();
            break;
        case kCmdOpenUserGroup:
            groups_->OpenUserGroupDialog();
            break;
        case kCmdSaveUserGroup:
            groups_->SaveUserGroup(*context_.tree.SelectedUserGroup());
            break;
        case kCmdCloseUserGroup:
            groups_->CloseUserGroup(*context_.tree.SelectedUserGroup());
            break;
        case kCmdSaveParaFile:
            files_->SaveParameterFile();
            break;
        case kCmdReadParaFile:
            files_->ReadParameterFile();
            break;
        case kCmdSaveTextFile:
            files_->SaveTextFile();
            break;
        case kCmdParameterMode:
            openModeChoice();
            break;
        case kCmdRefreshGroup:
            if (actions_) actions_->CancelRead();
            readNode(context_.tree.Selected(), {});
            break;
        case kCmdOnlineEdit:
            context_.events.editRequested(command);
            break;
        case kCmdUndo:
            undoRedo_->Undo();
            break;
        case kCmdRedo:
            undoRedo_->Redo();
            break;
        default:
            context_.events.transferRequested(command);
            break;
    }
}

bool ParaEditor::TreeDoubleClicked() {
    const ParaNode node = context_.tree.Selected();
    if (context_.closed || !IsOnline() || !context_.Loaded() ||
        node.kind == NodeKind::kUserGroupRoot || actions_ == nullptr)
        return false;
    actions_->CancelRead();
    readNode(node, {});
    return node.kind == NodeKind::kAllGroups;
}

void ParaEditor::ListDoubleClicked() {
    Execute(kCmdOnlineEdit);
}

void ParaEditor::ApplyParameterMode(int frequencyMode, int time1Divisor) {
    context_.data->SetSpeedMode(frequencyMode, time1Divisor);
    context_.list.RefreshValues();
    context_.events.panesChanged();
}

bool ParaEditor::HasUnsavedChanges() const {
    if (context_.closed) return false;
    if (files_->ValuesChanged() && !IsOnline()) return true;
    return groups_->AnyModified();
}

void ParaEditor::DiscardUnsavedChanges() {
    files_->ForgetValuesChanged();
    groups_->ForgetModifications();
}

// ---------------------------------------------------------------------------------------------
// Drive events

void ParaEditor::stopDriveWork() {
    files_->DropPendingExport();
    if (actions_) {
        actions_->CancelRead();
        actions_->CancelEdit();
    }
}

void ParaEditor::OnDriveEvent(const DriveEvent& event) {
    if (context_.closed) return;
    switch (event.kind) {
        case DriveEventKind::kDisconnected:
            if (!IsOnline() || event.station != context_.key) return;
            // Dialogs first: they hold items of this editor and queued requests.
            stopDriveWork();
            context_.ui.RequestClose();
            break;
        case DriveEventKind::kNameChanged:
            if (!IsOnline() || event.station != context_.key) return;
            context_.events.deviceNameChanged();
            context_.events.titleChanged();
            break;
        case DriveEventKind::kGraphWatchMode:
            if (IsOnline() && event.graphWatchActive && actions_) {
                actions_->CancelRead();
                actions_->CancelEdit();
            }
            context_.events.panesChanged();
            break;
        case DriveEventKind::kConnected:
            break;
    }
}

}  // namespace korvane
