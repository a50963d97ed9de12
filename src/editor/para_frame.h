#pragma once
// One parameter editor: online on a connected drive (keys 0..255) or offline on a data file
// (keys 256..287). It owns the tree and list, the open user groups and the write history, and
// decides which commands are enabled, the titles, the status panes, the parameter and
// user-group files and the close sequence. Widgets render it and forward their input.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/prompter.h"
#include "editor/para_list_model.h"
#include "editor/para_tree_model.h"
#include "editor/write_history.h"
#include "host/tool_frames.h"
#include "host/tool_services.h"

namespace korvane {

class CCustom;
class CParaArray;
class CDataFile;
class CParaModeDialog;
struct DriveRecord;

// Command ids of the editor's menus and tool bar.
enum ParaCommand : int {
    kCmdNewUserGroup = 32814,
    kCmdOpenUserGroup = 32815,
    kCmdSaveUserGroup = 32816,
    kCmdCloseUserGroup = 32817,
    kCmdUpload = 32818,
    kCmdDownload = 32819,
    kCmdCompare = 32820,
    kCmdSaveParaFile = 32821,
    kCmdSaveTextFile = 32822,
    kCmdOnlineEdit = 32823,
    kCmdRefreshGroup = 32824,
    kCmdParameterMode = 32825,
    kCmdReport = 32826,
    kCmdReportHeader = 32827,
    kCmdReportExtra1 = 32828,
    kCmdReportExtra2 = 32829,
    kCmdReadParaFile = 32831,
    kCmdUndo = 32833,
    kCmdRedo = 32834,
};

struct FileDialogRequest {
    std::string extension;  // without the dot
    std::string filter;
    std::string title;
    std::string startDir;
    std::string defaultPath;
    bool overwritePrompt = false;  // the dialog asks itself (text export only)
};

struct ParaStatusPane {
    int id = 0;
    int width = 0;
    std::string tip;
    std::string text;
    std::optional<Rgb> colour;
};

// What the editor asks of its window. Dialogs answer through their callback, at once or once
// the user has chosen; a window that closes meanwhile may drop the callback.
class ParaFrameUi {
public:
    using PathChosen = std::function<void(std::optional<std::string> path)>;
    virtual ~ParaFrameUi() = default;
    // nullopt: the user cancelled.
    virtual void ChooseOpenFile(const FileDialogRequest& request, PathChosen chosen) = 0;
    virtual void ChooseSaveFile(const FileDialogRequest& request, PathChosen chosen) = 0;
    // Opens the mode dialog; `done` gets whether it was confirmed.
    virtual void OpenModeDialog(std::shared_ptr<CParaModeDialog> dialog,
                                std::function<void(bool confirmed)> done) = 0;
    // Close the window as if the user did (it then calls CParaFrame::Close).
    virtual void RequestClose() = 0;
    virtual void TitleChanged() {}
    virtual void PanesChanged() {}
    virtual void TreeChanged() {}
    virtual void SetWaitCursor(bool /*on*/) {}
    virtual std::vector<std::uint8_t> SavePaneLayout() const { return {}; }
    virtual void RestorePaneLayout(const std::vector<std::uint8_t>& /*layout*/) {}
};

// The reading and editing dialogs, which talk to the drive. Built by the reading code.
class ParaDriveActions {
public:
    virtual ~ParaDriveActions() = default;
    // Reads the node's parameters one request at a time; `finished` runs once the read has
    // ended, whether done, cancelled or timed out; at once when there is nothing to read.
    virtual void ReadNode(const ParaNode& node, std::function<void()> finished) = 0;
    virtual bool IsReading() const = 0;
    virtual void CancelRead() = 0;
    virtual void CancelEdit() = 0;
};

class NodeReading;
class UndoRedo;

class CParaFrame : private InPlaceEditCommitter {
public:
    // Null when the key's record has no loaded data file: the editor does not open.
    static std::unique_ptr<CParaFrame> Create(ToolServices& services, int key, ParaFrameUi& ui);
    ~CParaFrame();
    CParaFrame(const CParaFrame&) = delete;
    CParaFrame& operator=(const CParaFrame&) = delete;

    int Key() const { return key_; }
    bool IsOnline() const { return key_ <= 255; }
    bool IsClosed() const { return closed_; }
    DriveRecord& Record();
    CDataFile& Data() { return *data_; }
    CParaTreeModel& Tree() { return tree_; }
    CParaListModel& List() { return list_; }
    CWriteHistory& History() { return history_; }
    RecentFileList& RecentFiles() { return recent_; }
    const std::vector<std::unique_ptr<CCustom>>& UserGroups() const { return groups_; }

    // Online editors read through their own NodeReading unless the window supplies actions
    // (its read and edit dialogs). Null offline.
    NodeReading* Reading() { return reading_.get(); }
    // Hooks for the parts built elsewhere. Transfer covers upload, download, compare and the
    // report commands; edit covers the online edit dialog.
    void SetDriveActions(ParaDriveActions* actions) { actions_ = actions; }
    void SetTransferHook(std::function<void(int command)> hook) { transfer_ = std::move(hook); }
    void SetEditHook(std::function<void(int command)> hook) { edit_ = std::move(hook); }
    // The report window of this editor, if open: closed with the editor, told of renames.
    void SetReportHooks(std::function<void()> close, std::function<void()> nameChanged);
    // Told before an entry or a whole group goes, so replies pending for it are dropped (the
    // editor's own undo writes are dropped already).
    void SetEntryRemovalListener(std::function<void(const UserGroupEntry*)> listener);
    void SetGroupClosingListener(std::function<void(const CCustom*)> listener) {
        groupClosing_ = std::move(listener);
    }

    std::string Title() const;
    std::vector<ParaStatusPane> Panes() const;

    bool IsEnabled(int command) const;
    void Execute(int command);

    // A double click on the selected tree node reads it from the drive (online only). True
    // when the widget should collapse the node afterwards (the all-groups root).
    bool TreeDoubleClicked();
    // A double click on a list row opens the online edit, when that command is enabled.
    void ListDoubleClicked();

    // Commands that ask go on in callbacks; `done` gets the outcome once known (never, when
    // the editor closed meanwhile).
    using Done = std::function<void(bool ok)>;

    // Parameter files. False: cancelled, refused or failed.
    void SaveParameterFile(Done done = {});
    void ReadParameterFile(Done done = {});
    // True once the file is chosen; an online editor writes it after reading every group.
    void SaveTextFile(Done done = {});
    // An online editor shows values read from a parameter file that it has neither written
    // to the drive nor read from it since.
    bool ShowsFileValues() const;
    void ApplyParameterMode(int frequencyMode, int time1Divisor);

    // User groups.
    CCustom* NewUserGroup();
    void OpenUserGroupDialog(Done done = {});
    // An already open path counts as opened and changes nothing.
    bool OpenUserGroup(const std::string& path);
    bool OpenRecent(std::size_t index);
    // False when nothing was stored (cancelled, refused or failed).
    void SaveUserGroup(CCustom& group, Done done = {});
    void SaveUserGroupAs(CCustom& group, Done done = {});
    // False when the user chose to save and the save did not happen: the group stays open.
    void CloseUserGroup(CCustom& group, Done done = {});

    // Modified user groups, or values an offline editor changed since its last parameter file.
    bool HasUnsavedChanges() const;
    // The user agreed to lose them (closing the program): the close asks nothing more.
    void DiscardUnsavedChanges();

    // An undo or redo was carried out: a user group that took the value now needs saving.
    void HistoryApplied(const WriteRecord& record);

    void OnDriveEvent(const DriveEvent& event);

    // The close sequence: questions for modified user groups and an offline editor's changed
    // values. False when it was abandoned (cancelled, or a save the user wanted did not happen);
    // the editor then stays open.
    void Close(Done done);

private:
    CParaFrame(ToolServices& services, int key, ParaFrameUi& ui, std::shared_ptr<CDataFile> data);

    void CommitInPlaceEdit(const InPlaceEdit& edit, const std::string& text) override;
    // Reads the node; the list shows the tree's selection again once the read has ended.
    void readNode(const ParaNode& node, std::function<void()> then);
    bool isOpenGroup(const CCustom* group) const;
    bool graphWatch() const;
    bool loaded() const;
    // A save path the user chose and agreed to overwrite; nullopt when cancelled.
    void chooseSavePath(const FileDialogRequest& request, ParaFrameUi::PathChosen chosen);
    void chooseUserGroupPath(CCustom& group, ParaFrameUi::PathChosen chosen);
    void storeUserGroup(CCustom& group, bool askPath, Done done);
    bool writeUserGroup(CCustom& group);
    void saveParameterFileTo(const std::string& path, const Done& done);
    void readParameterFileFrom(const std::string& path, const Done& done);
    void closeNextGroup(Done done);
    void askToSaveValues(Done done);
    void finishClose();
    // `fn` wrapped so that it does nothing once the editor is gone or closed.
    template <class Fn>
    auto whileOpen(Fn fn);
    void exportTo(const std::string& path);
    void markFileValues(const CParaArray& set);
    void stopDriveWork();
    std::string dirSetting(const char* key) const;
    void rememberDir(const char* key, const std::string& path);

    ToolServices& services_;
    int key_;
    ParaFrameUi& ui_;
    // Shared with the record: a disconnection resets the record, but the items the views and
    // dialogs point at stay valid until this editor is gone.
    std::shared_ptr<CDataFile> data_;
    CWriteHistory history_;
    std::vector<std::unique_ptr<CCustom>> groups_;
    CParaTreeModel tree_;
    CParaListModel list_;
    RecentFileList recent_;
    std::unique_ptr<UndoRedo> undoRedo_;
    std::unique_ptr<NodeReading> reading_;
    std::unique_ptr<ParaDriveActions> ownActions_;
    ParaDriveActions* actions_ = nullptr;
    std::function<void(int)> transfer_;
    std::function<void(int)> edit_;
    std::function<void()> closeReport_;
    std::function<void()> reportNameChanged_;
    std::function<void(const UserGroupEntry*)> entryRemoving_;
    std::function<void(const CCustom*)> groupClosing_;
    std::optional<std::string> pendingExport_;
    bool closed_ = false;
    bool closing_ = false;        // the close sequence is asking
    bool valuesChanged_ = false;  // offline: edited since the last parameter file
    // Read callbacks may outlive the editor; they check this first.
    std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

template <class Fn>
auto CParaFrame::whileOpen(Fn fn) {
    return WhileAlive(std::weak_ptr<const char>(alive_),
                      [this, fn = std::move(fn)](auto&&... args) {
                          if (!closed_) fn(std::forward<decltype(args)>(args)...);
                      });
}

// A line of the question asked when the program closes while an editor has unsaved changes.
inline constexpr const char* kUnsavedParametersText = "保存されていないパラメータがあります";

// Settings keys of the editor.
std::string ParaPaneLayoutKey(int key);

}  // namespace korvane
