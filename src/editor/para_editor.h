#pragma once
// One parameter editor: online on a connected drive (keys 0..255) or offline on a data file
// (keys 256..287). It owns the tree, list and write history (its EditorContext) and its parts:
// the open user groups, the parameter-file commands and the window's chrome. It decides which
// commands are enabled, carries them out through its parts and runs the close sequence.
// Widgets render it and forward their input.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/editor_chrome.h"
#include "editor/editor_context.h"
#include "editor/para_file_commands.h"
#include "editor/user_groups.h"
#include "host/tool_services.h"

namespace korvane {

class UserGroup;
class CDataFile;
struct DriveRecord;

// The editor's commands, of its menus and tool bar.
enum ParaCommand : int {
    kCmdNewUserGroup,
    kCmdOpenUserGroup,
    kCmdSaveUserGroup,
    kCmdCloseUserGroup,
    kCmdUpload,
    kCmdDownload,
    kCmdCompare,
    kCmdSaveParaFile,
    kCmdSaveTextFile,
    kCmdOnlineEdit,
    kCmdRefreshGroup,
    kCmdParameterMode,
    kCmdReport,
    kCmdReportHeader,
    kCmdReportExtra1,
    kCmdReportExtra2,
    kCmdReadParaFile,
    kCmdUndo,
    kCmdRedo,
};

class NodeReading;
class UndoRedo;

class ParaEditor : private InPlaceEditCommitter {
public:
    // Null when the key's record has no loaded data file: the editor does not open.
    static std::unique_ptr<ParaEditor> Create(ToolServices& services, int key, ParaEditorUi& ui);
    ~ParaEditor();
    ParaEditor(const ParaEditor&) = delete;
    ParaEditor& operator=(const ParaEditor&) = delete;

    int Key() const { return context_.key; }
    bool IsOnline() const { return context_.IsOnline(); }
    bool IsClosed() const { return context_.closed; }
    DriveRecord& Record() { return context_.Record(); }
    CDataFile& Data() { return *context_.data; }
    CParaTreeModel& Tree() { return context_.tree; }
    CParaListModel& List() { return context_.list; }
    CWriteHistory& History() { return context_.history; }
    UserGroups& Groups() { return *groups_; }
    ParaFileCommands& Files() { return *files_; }
    const EditorChrome& Chrome() const { return *chrome_; }

    // Online editors read through their own NodeReading unless the window supplies actions
    // (its read and edit dialogs). Null offline.
    NodeReading* Reading() { return reading_.get(); }
    void SetDriveActions(ParaDriveActions* actions) { actions_ = actions; }
    EditorEvents& Events() { return context_.events; }

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

    void ApplyParameterMode(int frequencyMode, int time1Divisor);

    // Modified user groups, or values an offline editor changed since its last parameter file.
    bool HasUnsavedChanges() const;
    // The user agreed to lose them (closing the program): the close asks nothing more.
    void DiscardUnsavedChanges();

    void OnDriveEvent(const DriveEvent& event);

    // The close sequence: questions for modified user groups and an offline editor's changed
    // values. False when it was abandoned (cancelled, or a save the user wanted did not happen);
    // the editor then stays open.
    void Close(Done done);

private:
    ParaEditor(ToolServices& services, int key, ParaEditorUi& ui, std::shared_ptr<CDataFile> data);

    void CommitInPlaceEdit(const InPlaceEdit& edit, const std::string& text) override;
    // Reads the node; the list shows the tree's selection again once the read has ended.
    void readNode(const ParaNode& node, std::function<void()> then);
    bool readAllGroups(const std::function<void()>& starting, std::function<void()> then);
    void openModeChoice();
    void closeNextGroup(Done done);
    void askToSaveValues(Done done);
    void finishClose();
    void stopDriveWork();

    EditorContext context_;
    std::unique_ptr<UndoRedo> undoRedo_;
    std::unique_ptr<UserGroups> groups_;
    std::unique_ptr<ParaFileCommands> files_;
    std::unique_ptr<EditorChrome> chrome_;
    std::unique_ptr<NodeReading> reading_;
    std::unique_ptr<ParaDriveActions> ownActions_;
    ParaDriveActions* actions_ = nullptr;
    std::vector<Connection> connections_;  // to the views in the context: go first
    bool closing_ = false;                 // the close sequence is asking
};

// A line of the question asked when the program closes while an editor has unsaved changes.
inline constexpr const char* kUnsavedParametersText = "保存されていないパラメータがあります";

// Settings keys of the editor.
std::string ParaPaneLayoutKey(int key);

}  // namespace korvane
