#include "editor/ui/para_editor_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
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

#include "app/ui/qt_text.h"
#include "editor/para_mode_dialog.h"
#include "editor/ui/compare_result_dialog.h"
#include "editor/ui/para_edit_dialogs.h"
#include "editor/ui/para_editor_report.h"
#include "editor/ui/para_mode_dialog_widget.h"
#include "editor/ui/para_qt_models.h"
#include "editor/ui/para_transfer_dialog.h"
#include "monitor/ui/window_placement.h"
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

constexpr int kCommandUpdateMs = 300;

// "Name (*.ext)|*.ext||" as the string table keeps it, to Qt's "Name (*.ext)".
QString QtFilter(const std::string& filter) {
    return qtText(filter.substr(0, filter.find('|')));
}

std::vector<std::uint8_t> ToBytes(const QByteArray& a) {
    return {a.begin(), a.end()};
}

QByteArray FromBytes(const std::vector<std::uint8_t>& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

}  // namespace

ToolFrame* ParaEditorWindow::Open(ToolServices& services, int stationKey) {
    if (stationKey < 0 || stationKey >= kDriveRecordCount) return nullptr;
    const bool online = stationKey < kFirstOfflineKey;
    VersionCatalogue catalogue;
    if (!online) catalogue.Build(services.dirs.data);
    CParaModeDialog dialog(services, stationKey,
                           online ? CParaModeDialog::Use::kOnline : CParaModeDialog::Use::kOffline,
                           &catalogue);
    bool confirmed = false;
    {
        ParaModeDialogWidget widget(dialog);
        confirmed = widget.exec() == QDialog::Accepted;
    }
    dialog.Close();
    DriveRecord& record = services.records[stationKey];
    if (!confirmed || !record.driveData) return nullptr;
    record.driveData->SetSpeedMode(dialog.FrequencyMode(), dialog.Time1Divisor());
    auto* window = new ParaEditorWindow(services, stationKey);
    if (!window->attach()) {
        delete window;
        if (!online) record.reset();
        return nullptr;
    }
    window->show();
    return window;
}

ParaEditorWindow::ParaEditorWindow(ToolServices& services, int stationKey)
    : services_(services), key_(stationKey) {
    setAttribute(Qt::WA_DeleteOnClose);
    buildViews();
}

ParaEditorWindow::~ParaEditorWindow() {
    // The dialogs go first: the frame would otherwise hand its reads to a dead object.
    if (frame_) {
        frame_->SetDriveActions(nullptr);
        frame_->SetReportHooks({}, {});
    }
    dialogs_.reset();
    report_.reset();
}

bool ParaEditorWindow::attach() {
    frame_ = CParaFrame::Create(services_, key_, *this);
    if (!frame_) return false;
    treeModel_ = new ParaTreeQtModel(frame_->Tree(), frame_->List(), this);
    listModel_ = new ParaListQtModel(frame_->List(), this);
    tree_->setModel(treeModel_);
    list_->setModel(listModel_);
    list_->setItemDelegate(new ParaValueDelegate(frame_->List(), list_));
    if (frame_->IsOnline()) list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->expandAll();

    frame_->List().SetChangeListener([this] { listChanged(); });
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
    frame_->SetTransferHook([this](int command) { runTransfer(command); });
    report_ = std::make_unique<ParaEditorReport>(services_, *frame_, *this);
    frame_->SetReportHooks([this] { report_->Close(); }, [this] { report_->DeviceNameChanged(); });
    if (frame_->IsOnline()) {
        dialogs_ = std::make_unique<ParaEditorDialogs>(services_, *frame_, *list_, this);
        frame_->SetDriveActions(dialogs_.get());
        frame_->SetEditHook([this](int) { dialogs_->StartEditing(); });
    }

    buildCommands();
    buildPanes();
    TitleChanged();
    listChanged();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ParaEditorWindow::updateCommands);
    timer->start(kCommandUpdateMs);
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
        QAction* action = menu->addAction(qtText(c.text));
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] {
            frame_->Execute(id);
            updateCommands();
        });
        actions_[id] = action;
    };
    QMenu* file = menuBar()->addMenu(qtText("ファイル"));
    for (const auto& c : kFileCommands) add(file, c);
    file->addSeparator();
    recentMenu_ = file->addMenu(qtText("最近使ったユーザグループ"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &ParaEditorWindow::fillRecentMenu);
    file->addSeparator();
    file->addAction(qtText("閉じる"), this, &QWidget::close);
    QMenu* parameters = menuBar()->addMenu(qtText("パラメータ"));
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
    const auto& paths = frame_->RecentFiles().paths();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        QAction* action = recentMenu_->addAction(
            QString("&%1 %2").arg(i + 1).arg(qtText(frame_->RecentFiles().displayName(i))));
        connect(action, &QAction::triggered, this, [this, i] { frame_->OpenRecent(i); });
    }
    recentMenu_->setEnabled(!paths.empty());
}

void ParaEditorWindow::buildPanes() {
    for (const auto& pane : frame_->Panes()) {
        auto* label = new QLabel(this);
        label->setMinimumWidth(pane.width);
        label->setToolTip(qtText(pane.tip));
        statusBar()->addPermanentWidget(label);
        panes_.push_back(label);
    }
    PanesChanged();
}

void ParaEditorWindow::updateCommands() {
    if (!frame_) return;
    for (auto& [id, action] : actions_) action->setEnabled(frame_->IsEnabled(id));
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
        PanesChanged();
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
    // The dialog is modal; the editor may be closed underneath it (its drive going away), so
    // nothing here touches the window once it has returned.
    QPointer<ParaEditorWindow> self(this);
    RunTransferDialog(this, services_, key_, mode, [self] {
        if (self && self->frame_) self->frame_->List().RefreshValues();
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
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void ParaEditorWindow::requestClose() {
    close();
}

std::vector<std::uint8_t> ParaEditorWindow::savePlacement() const {
    return ToBytes(saveGeometry());
}

void ParaEditorWindow::restorePlacement(const std::vector<std::uint8_t>& placement) {
    RestorePlacementBytes(*this, placement);
}

void ParaEditorWindow::onDriveEvent(const DriveEvent& event) {
    if (!frame_) return;
    if (event.kind == DriveEventKind::kDisconnected) ForwardDriveDisconnected(this, event.station);
    frame_->OnDriveEvent(event);
    updateCommands();
}

void ParaEditorWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    if (frame_ && !frame_->Close()) {
        event->ignore();
        return;
    }
    closing_ = true;
    services_.host.toolFrameClosing(this);
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// ParaFrameUi

std::optional<std::string> ParaEditorWindow::ChooseOpenFile(const FileDialogRequest& request) {
    const QString path = QFileDialog::getOpenFileName(
        this, qtText(request.title), qtText(request.startDir), QtFilter(request.filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> ParaEditorWindow::ChooseSaveFile(const FileDialogRequest& request) {
    const QString start =
        qtText(request.defaultPath.empty() ? request.startDir : request.defaultPath);
    QFileDialog::Options options;
    if (!request.overwritePrompt) options |= QFileDialog::DontConfirmOverwrite;
    QString path = QFileDialog::getSaveFileName(this, qtText(request.title), start,
                                                QtFilter(request.filter), nullptr, options);
    if (path.isEmpty()) return std::nullopt;
    if (QFileInfo(path).suffix().isEmpty()) path += "." + qtText(request.extension);
    return path.toStdString();
}

bool ParaEditorWindow::RunModeDialog(CParaModeDialog& dialog) {
    ParaModeDialogWidget widget(dialog, this);
    return widget.exec() == QDialog::Accepted;
}

void ParaEditorWindow::RequestClose() {
    QTimer::singleShot(0, this, &QWidget::close);
}

void ParaEditorWindow::TitleChanged() {
    if (frame_) setWindowTitle(qtText(frame_->Title()));
}

void ParaEditorWindow::PanesChanged() {
    if (!frame_) return;
    const auto panes = frame_->Panes();
    for (std::size_t i = 0; i < panes.size() && i < panes_.size(); ++i) {
        panes_[i]->setText(qtText(panes[i].text));
        if (const auto& c = panes[i].colour) {
            panes_[i]->setStyleSheet(
                QString("color: rgb(%1, %2, %3)").arg(c->red).arg(c->green).arg(c->blue));
        }
    }
}

void ParaEditorWindow::TreeChanged() {
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
