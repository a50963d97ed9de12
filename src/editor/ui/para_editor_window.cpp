#include "editor/ui/para_editor_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include "editor/mode_choice.h"
#include "editor/ui/compare_result_dialog.h"
#include "editor/ui/editor_ids.h"
#include "editor/ui/para_edit_dialogs.h"
#include "editor/ui/para_editor_report.h"
#include "editor/ui/para_mode_dialog_widget.h"
#include "editor/ui/para_qt_models.h"
#include "editor/ui/para_transfer_dialog.h"
#include "host/ui/file_dialogs.h"
#include "host/ui/qt_text.h"
#include "host/ui/window_placement.h"
#include "paradb/data_catalogue.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {

struct CommandText {
    int id;
    const char* text;
};

constexpr CommandText kFileCommands[] = {
    {kCmdNewUserGroup, "新規ユーザグループ"},
    {kCmdOpenUserGroup, "ユーザグループを開く..."},
    {kCmdSaveUserGroup, "ユーザグループを保存"},
    {kCmdCloseUserGroup, "ユーザグループを閉じる"},
    {0, nullptr},
    {kCmdReadParaFile, "パラメータファイルを読み取る..."},
    {kCmdSaveParaFile, "パラメータファイルを保存..."},
    {kCmdSaveTextFile, "テキストファイルを保存..."},
    {0, nullptr},
    {kCmdReport, "レポート"},
    {kCmdReportHeader, "レポートヘッダ"},
};

constexpr CommandText kParameterCommands[] = {
    {kCmdRefreshGroup, "グループを更新"},
    {kCmdOnlineEdit, "オンライン編集"},
    {kCmdUndo, "元に戻す"},
    {kCmdRedo, "やり直し"},
    {0, nullptr},
    {kCmdParameterMode, "パラメータモード..."},
    {0, nullptr},
    {kCmdUpload, "アップロード"},
    {kCmdDownload, "ダウンロード"},
    {kCmdCompare, "比較"},
};

constexpr int kToolBarCommands[] = {kCmdOpenUserGroup, kCmdSaveUserGroup, kCmdReadParaFile,
                                    kCmdSaveParaFile,  kCmdRefreshGroup,  kCmdUndo,
                                    kCmdRedo};

// "Name (*.ext)|*.ext||" as the string table keeps it, to Qt's "Name (*.ext)".
std::vector<std::uint8_t> ToBytes(const QByteArray& a) {
    return {a.begin(), a.end()};
}

QByteArray FromBytes(const std::vector<std::uint8_t>& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

}  // namespace

ToolFrame* ParaEditorWindow::Open(ToolServices& services, int stationKey) {
    if (stationKey < 0 || stationKey >= kDriveRecordCount) return nullptr;
    auto* window = new ParaEditorWindow(services, stationKey);
    window->askSetUp();
    return window;
}

ParaEditorWindow::ParaEditorWindow(ToolServices& services, int stationKey)
    : prompter_(services.prompter, this),
      services_(WithPrompter(services, prompter_)),
      key_(stationKey) {
    setAttribute(Qt::WA_DeleteOnClose);
    buildViews();
}

void ParaEditorWindow::askSetUp() {
    const bool online = key_ < kFirstOfflineKey;
    catalogue_ = std::make_unique<VersionCatalogue>();
    if (!online) catalogue_->Build(services_.dirs.data);
    setUp_ = std::make_shared<ModeChoice>(
        services_, key_, online ? ModeChoice::Use::kOnline : ModeChoice::Use::kOffline,
        catalogue_.get());
    // A child of this window, which is not shown yet: it goes with the window.
    auto* widget = new ParaModeDialogWidget(*setUp_, this);
    widget->setAttribute(Qt::WA_DeleteOnClose);
    widget->setWindowModality(Qt::ApplicationModal);
    connect(widget, &QDialog::finished, this,
            [this](int result) { setUpChosen(result == QDialog::Accepted); });
    widget->open();
}

void ParaEditorWindow::setUpChosen(bool confirmed) {
    if (!setUp_) return;
    setUp_->Close();
    std::shared_ptr<ModeChoice> dialog = std::move(setUp_);
    DriveRecord& record = services_.records[key_];
    if (!confirmed || !record.driveData) return abandon();
    record.driveData->SetSpeedMode(dialog->FrequencyMode(), dialog->Time1Divisor());
    if (!attach()) {
        if (key_ >= kFirstOfflineKey) record.reset();
        return abandon();
    }
    show();
}

void ParaEditorWindow::abandon() {
    closing_ = true;
    services_.host.toolFrameClosing(this);
    deleteLater();
}

ParaEditorWindow::~ParaEditorWindow() {
    // The dialogs go first: the frame would otherwise hand its reads to a dead object.
    frameConnections_.clear();
    if (frame_) frame_->SetDriveActions(nullptr);
    dialogs_.reset();
    report_.reset();
}

bool ParaEditorWindow::attach() {
    frame_ = ParaEditor::Create(services_, key_, *this);
    if (!frame_) return false;
    treeModel_ = new ParaTreeQtModel(frame_->Tree(), frame_->List(), this);
    listModel_ = new ParaListQtModel(frame_->List(), this);
    tree_->setModel(treeModel_);
    list_->setModel(listModel_);
    list_->setItemDelegate(new ParaValueDelegate(frame_->List(), list_));
    if (frame_->IsOnline()) list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->expandAll();

    EditorEvents& events = frame_->Events();
    frameConnections_.push_back(frame_->List().changed.connect([this] { listChanged(); }));
    frameConnections_.push_back(events.titleChanged.connect([this] { titleChanged(); }));
    frameConnections_.push_back(events.panesChanged.connect([this] { panesChanged(); }));
    frameConnections_.push_back(events.treeChanged.connect([this] { treeChanged(); }));
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const ParaNode node = treeModel_->nodeAt(current);
                if (current.isValid() && !(node == frame_->Tree().Selected()))
                    frame_->Tree().Select(node);
            });
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                frame_->List().SetCurrentRow(current.isValid() ? current.row() : -1);
                updateCommands();
            });
    connect(treeModel_, &ParaTreeQtModel::dropped, this, [this] { updateCommands(); });
    frameConnections_.push_back(
        events.transferRequested.connect([this](int command) { runTransfer(command); }));
    report_ = std::make_unique<ParaEditorReport>(services_, *frame_, *this);
    frameConnections_.push_back(events.closing.connect([this] { report_->Close(); }));
    frameConnections_.push_back(
        events.deviceNameChanged.connect([this] { report_->DeviceNameChanged(); }));
    if (frame_->IsOnline()) {
        dialogs_ = std::make_unique<ParaEditorDialogs>(services_, *frame_, *list_, this);
        frame_->SetDriveActions(dialogs_.get());
        frameConnections_.push_back(
            events.editRequested.connect([this](int) { dialogs_->StartEditing(); }));
    }

    buildCommands();
    buildPanes();
    titleChanged();
    listChanged();
    // What the commands' states follow; the rest comes from this window's own actions.
    for (Signal<>* s : {&frame_->History().changed, &events.treeChanged, &events.panesChanged})
        frameConnections_.push_back(s->connect([this] { commandsChanged(); }));
    frameConnections_.push_back(
        frame_->Tree().selectionChanged.connect([this](const ParaNode&) { commandsChanged(); }));
    return true;
}

void ParaEditorWindow::buildViews() {
    splitter_ = new QSplitter(this);
    tree_ = new QTreeView(splitter_);
    tree_->setHeaderHidden(true);
    tree_->setDragDropMode(QAbstractItemView::DropOnly);
    tree_->setAcceptDrops(true);
    tree_->setDropIndicatorShown(true);
    tree_->setExpandsOnDoubleClick(false);
    tree_->installEventFilter(this);
    list_ = new QTableView(splitter_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setDragEnabled(true);
    list_->setDragDropMode(QAbstractItemView::DragOnly);
    list_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->setWordWrap(false);
    list_->horizontalHeader()->setSectionsClickable(true);
    list_->horizontalHeader()->setSortIndicatorShown(true);
    // Nothing is sorted until a header is clicked.
    list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    list_->installEventFilter(this);
    splitter_->addWidget(tree_);
    splitter_->addWidget(list_);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({200, 560});
    setCentralWidget(splitter_);
    resize(760, 480);

    connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (frame_ && frame_->TreeDoubleClicked()) tree_->collapse(index);
    });
    connect(list_, &QTableView::doubleClicked, this, [this] {
        if (frame_) frame_->ListDoubleClicked();
    });
    connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (!frame_) return;
        frame_->List().ClickHeader(static_cast<std::size_t>(section));
        list_->horizontalHeader()->setSortIndicator(
            section, frame_->List().SortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    });
    connect(list_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (frame_) frame_->List().SetColumnWidth(static_cast<std::size_t>(section), size);
            });
}

void ParaEditorWindow::buildCommands() {
    auto add = [this](QMenu* menu, const CommandText& c) {
        if (c.text == nullptr) {
            menu->addSeparator();
            return;
        }
        QAction* action = menu->addAction(qtTr(c.text));
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] {
            frame_->Execute(id);
            updateCommands();
        });
        action->setData(EditorCommandIdOf(static_cast<ParaCommand>(id)));
        actions_[id] = action;
    };
    QMenu* file = menuBar()->addMenu(qtTr("ファイル"));
    for (const auto& c : kFileCommands) add(file, c);
    file->addSeparator();
    recentMenu_ = file->addMenu(qtTr("最近使ったユーザグループ"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &ParaEditorWindow::fillRecentMenu);
    file->addSeparator();
    file->addAction(qtTr("閉じる"), this, &QWidget::close);
    QMenu* parameters = menuBar()->addMenu(qtTr("パラメータ"));
    for (const auto& c : kParameterCommands) add(parameters, c);

    QToolBar* bar = addToolBar("Tool Bar 1");
    bar->setObjectName("Tool Bar 1");
    for (int id : kToolBarCommands) bar->addAction(actions_[id]);
    actions_[kCmdUndo]->setShortcut(QKeySequence::Undo);
    actions_[kCmdRedo]->setShortcut(QKeySequence::Redo);
    updateCommands();
}

void ParaEditorWindow::fillRecentMenu() {
    recentMenu_->clear();
    const auto& paths = frame_->Groups().RecentFiles().paths();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        QAction* action = recentMenu_->addAction(QString("&%1 %2").arg(i + 1).arg(
            qtText(frame_->Groups().RecentFiles().displayName(i))));
        connect(action, &QAction::triggered, this, [this, i] { frame_->Groups().OpenRecent(i); });
    }
    recentMenu_->setEnabled(!paths.empty());
}

void ParaEditorWindow::buildPanes() {
    for (const auto& pane : frame_->Chrome().Panes()) {
        auto* label = new QLabel(this);
        label->setMinimumWidth(pane.width);
        label->setToolTip(qtText(Tr(pane.tip)));
        if (panes_.size() < kEditorPaneIds.size())
            label->setObjectName(QString::number(kEditorPaneIds[panes_.size()]));
        statusBar()->addPermanentWidget(label);
        panes_.push_back(label);
    }
    panesChanged();
}

void ParaEditorWindow::updateCommands() {
    // Enabling an action may run code that asks for the states again; the pass in progress
    // finishes on its own copy of the list.
    if (!frame_ || updating_) return;
    updating_ = true;
    const std::vector<std::pair<int, QPointer<QAction>>> actions(actions_.begin(), actions_.end());
    for (const auto& [id, action] : actions)
        if (action && frame_) action->setEnabled(frame_->IsEnabled(id));
    updating_ = false;
}

void ParaEditorWindow::commandsChanged() {
    // Deferred: the change may come from inside a reply or a command still under way.
    if (commandsQueued_) return;
    commandsQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        commandsQueued_ = false;
        updateCommands();
    });
}

void ParaEditorWindow::listChanged() {
    // Deferred: the change may come from inside the view's own editing or drawing.
    if (reloadQueued_) return;
    reloadQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        reloadQueued_ = false;
        if (!frame_) return;
        listModel_->reload();
        applyColumnWidths();
        const int row = frame_->List().CurrentRow();
        if (row >= 0) list_->setCurrentIndex(listModel_->index(row, 0));
        selectTreeNode(frame_->Tree().Selected());
        panesChanged();
        updateCommands();
    });
}

void ParaEditorWindow::applyColumnWidths() {
    const CParaListModel& list = frame_->List();
    for (std::size_t c = 0; c < list.ColumnCount(); ++c)
        list_->setColumnWidth(static_cast<int>(c), list.ColumnWidth(c));
}

void ParaEditorWindow::selectTreeNode(const ParaNode& node) {
    const QModelIndex index = treeModel_->indexOf(node);
    if (index.isValid() && tree_->currentIndex() != index) tree_->setCurrentIndex(index);
}

void ParaEditorWindow::runTransfer(int command) {
    TransferMode mode;
    switch (command) {
        case kCmdUpload:
            mode = TransferMode::kUpload;
            break;
        case kCmdDownload:
            mode = TransferMode::kDownload;
            break;
        case kCmdCompare:
            mode = TransferMode::kCompare;
            break;
        default:
            report_->Execute(command);
            return;
    }
    // The dialog is window-modal and goes with this window when its drive goes away.
    OpenTransferDialog(this, services_, key_, mode, [this] {
        if (frame_) frame_->List().RefreshValues();
    });
}

void ParaEditorWindow::deleteSelectedRows() {
    std::vector<std::size_t> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(i.row()));
    frame_->List().DeleteRows(rows);
}

bool ParaEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (frame_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        if (watched == list_) {
            deleteSelectedRows();
            return true;
        }
        if (watched == tree_ && frame_->Tree().SelectedUserGroup()) {
            frame_->Execute(kCmdCloseUserGroup);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// ToolFrame

void ParaEditorWindow::activate() {
    // Still being set up: its dialog is the window to bring forward.
    if (!frame_) {
        for (QDialog* d : findChildren<QDialog*>()) d->activateWindow();
        return;
    }
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void ParaEditorWindow::requestClose() {
    close();
}

std::vector<std::uint8_t> ParaEditorWindow::savePlacement() const {
    // A window that never showed has no placement worth keeping.
    if (!frame_) return {};
    return PlacementBytes(*this);
}

void ParaEditorWindow::restorePlacement(const std::vector<std::uint8_t>& placement) {
    RestorePlacementBytes(*this, placement);
}

void ParaEditorWindow::onDriveEvent(const DriveEvent& event) {
    if (!frame_) {
        // The drive of an editor still being set up went away.
        if (event.kind == DriveEventKind::kDisconnected && event.station == key_) close();
        return;
    }
    if (event.kind == DriveEventKind::kDisconnected) ForwardDriveDisconnected(this, event.station);
    frame_->OnDriveEvent(event);
    updateCommands();
}

std::string ParaEditorWindow::unsavedWork() const {
    return frame_ && frame_->HasUnsavedChanges() ? kUnsavedParametersText : std::string();
}

void ParaEditorWindow::discardUnsavedWork() {
    if (frame_) frame_->DiscardUnsavedChanges();
}

void ParaEditorWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    // Its boxes and dialogs answer first, as cancelled; then the editor's own questions. A close
    // sequence that ends while this runs is taken up here rather than by another close().
    inCloseEvent_ = true;
    CloseOpenDialogs(this);
    if (!frame_) {
        inCloseEvent_ = false;
        event->ignore();
        if (setUp_) setUpChosen(false);
        return;
    }
    if (!frameClosed_) {
        QPointer<ParaEditorWindow> self(this);
        frame_->Close([self](bool closed) {
            if (!self || !closed) return;
            self->frameClosed_ = true;
            // The last question was answered later: close for real now.
            if (!self->inCloseEvent_) self->close();
        });
    }
    inCloseEvent_ = false;
    if (!frameClosed_) {
        event->ignore();
        return;
    }
    closing_ = true;
    services_.host.toolFrameClosing(this);
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// ParaEditorUi

void ParaEditorWindow::chooseFile(const FileDialogRequest& request, bool save, PathChosen chosen) {
    FileDialogRequest asked = request;
    asked.save = save;
    OpenFileDialog(this, asked, [chosen = std::move(chosen)](const QString& path, int) {
        if (path.isEmpty()) return chosen(std::nullopt);
        chosen(path.toStdString());
    });
}

void ParaEditorWindow::ChooseOpenFile(const FileDialogRequest& request, PathChosen chosen) {
    chooseFile(request, false, std::move(chosen));
}

void ParaEditorWindow::ChooseSaveFile(const FileDialogRequest& request, PathChosen chosen) {
    chooseFile(request, true, std::move(chosen));
}

void ParaEditorWindow::OpenModeDialog(std::shared_ptr<ModeChoice> dialog,
                                      std::function<void(bool)> done) {
    auto* widget = new ParaModeDialogWidget(*dialog, this);
    widget->setAttribute(Qt::WA_DeleteOnClose);
    // The core dialog lives until the widget has answered.
    connect(widget, &QDialog::finished, this,
            [dialog, done = std::move(done)](int result) { done(result == QDialog::Accepted); });
    widget->open();
}

void ParaEditorWindow::RequestClose() {
    QTimer::singleShot(0, this, &QWidget::close);
}

void ParaEditorWindow::titleChanged() {
    if (frame_) setWindowTitle(qtText(frame_->Chrome().Title()));
}

void ParaEditorWindow::panesChanged() {
    if (!frame_) return;
    const auto panes = frame_->Chrome().Panes();
    for (std::size_t i = 0; i < panes.size() && i < panes_.size(); ++i) {
        panes_[i]->setText(qtText(panes[i].text));
        if (const auto& c = panes[i].colour) {
            panes_[i]->setStyleSheet(
                QString("color: rgb(%1, %2, %3)").arg(c->red).arg(c->green).arg(c->blue));
        }
    }
}

void ParaEditorWindow::treeChanged() {
    if (!treeModel_) return;
    treeModel_->reload();
    tree_->expandAll();
    selectTreeNode(frame_->Tree().Selected());
    updateCommands();
}

void ParaEditorWindow::SetWaitCursor(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

std::vector<std::uint8_t> ParaEditorWindow::SavePaneLayout() const {
    return ToBytes(splitter_->saveState());
}

void ParaEditorWindow::RestorePaneLayout(const std::vector<std::uint8_t>& layout) {
    splitter_->restoreState(FromBytes(layout));
}

}  // namespace korvane
