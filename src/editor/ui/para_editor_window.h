#pragma once
// The parameter editor's window: group tree and parameter list side by side, menus and tool
// bar for the editor's commands, and the status panes. Everything it shows comes from
// ParaEditor; it renders and forwards.
#include <QMainWindow>
#include <map>
#include <memory>

#include "editor/para_editor.h"
#include "host/tool_frames.h"
#include "host/tool_services.h"
#include "host/ui/qt_prompter.h"
#include "paradb/data_catalogue.h"

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QTableView;
class QTreeView;

namespace korvane {

class ParaEditorDialogs;
class ParaEditorReport;
class ParaListQtModel;
class ParaTreeQtModel;

class ParaEditorWindow : public QMainWindow, public ToolFrame, public ParaEditorUi {
    Q_OBJECT
public:
    // Opens the set-up dialog (online drive or new offline editor); the window shows once it
    // is confirmed, and closes itself unseen when it is cancelled or the editor cannot open.
    // Null for a key no editor can have.
    static ToolFrame* Open(ToolServices& services, int stationKey);

    ~ParaEditorWindow() override;

    ParaEditor* frame() const { return frame_.get(); }
    ParaEditorDialogs* dialogs() const { return dialogs_.get(); }
    ParaEditorReport* report() const { return report_.get(); }
    QTreeView* tree() const { return tree_; }
    QTableView* list() const { return list_; }
    ParaTreeQtModel* treeModel() const { return treeModel_; }
    ParaListQtModel* listModel() const { return listModel_; }

    // ToolFrame
    void activate() override;
    void requestClose() override;
    std::vector<std::uint8_t> savePlacement() const override;
    void restorePlacement(const std::vector<std::uint8_t>& placement) override;
    void onDriveEvent(const DriveEvent& event) override;
    std::string unsavedWork() const override;
    void discardUnsavedWork() override;

    // ParaEditorUi
    void ChooseOpenFile(const FileDialogRequest& request, PathChosen chosen) override;
    void ChooseSaveFile(const FileDialogRequest& request, PathChosen chosen) override;
    void OpenModeDialog(std::shared_ptr<ModeChoice> dialog,
                        std::function<void(bool)> done) override;
    void RequestClose() override;
    void SetWaitCursor(bool on) override;
    std::vector<std::uint8_t> SavePaneLayout() const override;
    void RestorePaneLayout(const std::vector<std::uint8_t>& layout) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ParaEditorWindow(ToolServices& services, int stationKey);
    void askSetUp();
    void setUpChosen(bool confirmed);
    // Closes the window that never showed.
    void abandon();
    void chooseFile(const FileDialogRequest& request, bool save, PathChosen chosen);
    bool attach();
    void buildViews();
    void buildCommands();
    void buildPanes();
    void updateCommands();
    void commandsChanged();
    void listChanged();
    void applyColumnWidths();
    void fillRecentMenu();
    void selectTreeNode(const ParaNode& node);
    void deleteSelectedRows();
    void runTransfer(int command);
    void titleChanged();
    void panesChanged();
    void treeChanged();

    WindowPrompter prompter_;
    ToolServices services_;
    int key_;
    std::unique_ptr<VersionCatalogue> catalogue_;
    std::shared_ptr<ModeChoice> setUp_;  // while the set-up dialog is open
    std::vector<std::uint8_t> pendingLayout_;
    std::unique_ptr<ParaEditor> frame_;
    std::unique_ptr<ParaEditorDialogs> dialogs_;
    std::unique_ptr<ParaEditorReport> report_;
    std::vector<Connection> frameConnections_;  // after the editor and its parts: go first
    QSplitter* splitter_ = nullptr;
    QTreeView* tree_ = nullptr;
    QTableView* list_ = nullptr;
    ParaTreeQtModel* treeModel_ = nullptr;
    ParaListQtModel* listModel_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    std::map<int, QAction*> actions_;
    std::vector<QLabel*> panes_;
    bool reloadQueued_ = false;
    bool commandsQueued_ = false;
    bool closing_ = false;
    bool inCloseEvent_ = false;
    bool frameClosed_ = false;  // the editor's close sequence has ended
    bool updating_ = false;
};

}  // namespace korvane
