#pragma once
// What the parts of one parameter editor share: its services, window, data file, views and
// history, and whether it is still open. The editor owns it; its user groups, parameter-file
// commands and chrome each hold a reference.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/prompter.h"
#include "common/signal.h"
#include "editor/para_list_model.h"
#include "editor/para_tree_model.h"
#include "editor/write_history.h"
#include "host/file_dialog_request.h"
#include "host/tool_services.h"

namespace korvane {

class CDataFile;
class ModeChoice;
struct DriveRecord;

// What the editor asks of its window. Dialogs answer through their callback, at once or once
// the user has chosen; a window that closes meanwhile may drop the callback.
class ParaEditorUi {
public:
    using PathChosen = std::function<void(std::optional<std::string> path)>;
    virtual ~ParaEditorUi() = default;
    // nullopt: the user cancelled.
    virtual void ChooseOpenFile(const FileDialogRequest& request, PathChosen chosen) = 0;
    virtual void ChooseSaveFile(const FileDialogRequest& request, PathChosen chosen) = 0;
    // Opens the mode dialog; `done` gets whether it was confirmed.
    virtual void OpenModeDialog(std::shared_ptr<ModeChoice> dialog,
                                std::function<void(bool confirmed)> done) = 0;
    // Close the window as if the user did (it then calls ParaEditor::Close).
    virtual void RequestClose() = 0;
    virtual void SetWaitCursor(bool /*on*/) {}
    virtual std::vector<std::uint8_t> SavePaneLayout() const { return {}; }
    virtual void RestorePaneLayout(const std::vector<std::uint8_t>& /*layout*/) {}
};

// What the editor's window and its other parts are told of.
struct EditorEvents {
    Signal<> titleChanged;
    Signal<> panesChanged;
    Signal<> treeChanged;
    // Commands carried out by parts the window builds: upload, download, compare and the
    // report commands; the online edit dialog.
    Signal<int /*command*/> transferRequested;
    Signal<int /*command*/> editRequested;
    // This editor's report window, if open, is closed with the editor and told of renames.
    Signal<> closing;
    Signal<> deviceNameChanged;
    // Before an entry or a whole group goes, so that replies pending for it are dropped (the
    // editor's own undo writes are dropped already).
    Signal<const UserGroupEntry*> entryRemoving;
    Signal<const UserGroup*> groupClosing;
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

struct EditorContext {
    EditorContext(ToolServices& services, int key, ParaEditorUi& ui,
                  std::shared_ptr<CDataFile> data);

    bool IsOnline() const { return key <= 255; }
    DriveRecord& Record() const;
    bool GraphWatch() const;
    bool Loaded() const;
    // The last directory of a file kind (settings section "Main"), and remembering a path's.
    std::string DirSetting(const char* settingKey) const;
    void RememberDir(const char* settingKey, const std::string& path) const;
    // A save path the user chose and agreed to overwrite; nullopt when cancelled.
    void ChooseSavePath(const FileDialogRequest& request, ParaEditorUi::PathChosen chosen);
    // `fn` wrapped so that it does nothing once the editor is gone or closed.
    template <class Fn>
    auto WhileOpen(Fn fn) const;

    ToolServices services;  // a bundle of references, held by value like every tool's
    const int key;
    ParaEditorUi& ui;
    // Shared with the record: a disconnection resets the record, but the items the views and
    // dialogs point at stay valid until this editor is gone.
    std::shared_ptr<CDataFile> data;
    CWriteHistory history;
    CParaTreeModel tree;
    CParaListModel list;
    EditorEvents events;
    bool closed = false;
    // Callbacks may outlive the editor; they check this first.
    std::shared_ptr<char> alive = std::make_shared<char>(0);
};

template <class Fn>
auto EditorContext::WhileOpen(Fn fn) const {
    return WhileAlive(std::weak_ptr<const char>(alive), [this, fn = std::move(fn)](auto&&... args) {
        if (!closed) fn(std::forward<decltype(args)>(args)...);
    });
}

}  // namespace korvane
