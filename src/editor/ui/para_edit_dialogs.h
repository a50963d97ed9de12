#pragma once
// The online editor's drive dialogs: the read progress dialog over NodeReading and the edit
// dialogs over EditSession/OnlineEditing. They are opened with open() and move on by signals,
// so no reply from the drive is ever handled inside a nested event loop.
#include <QDialog>
#include <QPointer>
#include <QRect>
#include <memory>
#include <vector>

#include "editor/online_editing.h"
#include "editor/para_editor.h"
#include "host/ui/qt_prompter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace korvane {

class NodeReading;

// "読み取りパラメータ情報...": progress of one node read, with Cancel.
class CParaReadDlg : public QDialog {
    Q_OBJECT
public:
    CParaReadDlg(NodeReading& reading, QWidget* parent);
    void render();
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }

public slots:
    void reject() override;

private:
    NodeReading& reading_;
    QLabel* frameText_;
    QLabel* staticText_;
    QProgressBar* progress_;
    QPushButton* cancel_;
};

// What both edit dialogs share: the texts, the status, Read, Write, the move buttons, Close.
class ParaEditDialogBase : public QDialog {
    Q_OBJECT
public:
    ParaEditDialogBase(EditSession& session, QWidget* parent);
    void render();
    EditSession& session() { return session_; }
    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* closeButton() const { return close_; }
    QPushButton* nextButton() const { return next_; }

public slots:
    void reject() override;

protected:
    void build();
    void keyPressEvent(QKeyEvent* event) override;
    virtual QWidget* buildValue() = 0;
    virtual void renderValue() = 0;

    EditSession& session_;

private:
    void requestClose(int navigation);

    QLabel* heading_ = nullptr;
    QLabel* unit_ = nullptr;
    QLabel* maximum_ = nullptr;
    QLabel* minimum_ = nullptr;
    QLabel* default_ = nullptr;
    QLabel* status_ = nullptr;
    QWidget* value_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* write_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* close_ = nullptr;
};

// Numbers and option lists.
class CParaEditDlg : public ParaEditDialogBase {
    Q_OBJECT
public:
    CParaEditDlg(EditSession& session, QWidget* parent);
    QLineEdit* field() const { return field_; }
    QComboBox* options() const { return options_; }

private:
    QWidget* buildValue() override;
    void renderValue() override;

    QLineEdit* field_ = nullptr;
    QComboBox* options_ = nullptr;
};

// Bit strings: check boxes Bit0 .. BitN and the word's text.
class CParaBitEditDlg : public ParaEditDialogBase {
    Q_OBJECT
public:
    CParaBitEditDlg(EditSession& session, QWidget* parent);
    QCheckBox* bitBox(int bit) const { return boxes_.at(static_cast<std::size_t>(bit)); }

private:
    QWidget* buildValue() override;
    void renderValue() override;

    std::vector<QCheckBox*> boxes_;
    QLabel* word_ = nullptr;
};

// The online editor's reading and editing, shown over its window.
class ParaEditorDialogs : public QObject, public ParaDriveActions, public EditRows {
    Q_OBJECT
public:
    ParaEditorDialogs(ToolServices& services, ParaEditor& frame, QTableView& list, QWidget* window);
    ~ParaEditorDialogs() override;

    // The edit hook: starts the online editing on the selected rows, or raises its dialog.
    void StartEditing();
    ParaEditDialogBase* EditDialog() const { return editDialog_; }
    CParaReadDlg* ReadDialog() const { return readDialog_; }

    // ParaDriveActions
    void ReadNode(const ParaNode& node, std::function<void()> finished) override;
    bool IsReading() const override;
    void CancelRead() override;
    void CancelEdit() override;

private:
    // EditRows
    int RowCount() const override;
    CItem* RowItem(int row) const override;
    UserGroupEntry* RowEntry(int row) const override;
    void SelectRow(int row) override;
    void RedisplayValue(int row) override;

    void show(EditSession* session);
    void sessionClosed();
    void dropEditDialog();
    void closeReadDialog();

    ParaEditor& frame_;
    QTableView& list_;
    QWidget* window_;
    // The edit session's questions open over the edit dialog the user is looking at, or over
    // the editor window when none is open.
    OverWindowPrompter prompter_;
    std::unique_ptr<OnlineEditing> editing_;
    QPointer<ParaEditDialogBase> editDialog_;
    QPointer<CParaReadDlg> readDialog_;
    QRect editRect_;
    Connection readingChanged_;
    Connection sessionChanged_;
    Connection sessionClosed_;
};

}  // namespace korvane
