#include "editor/ui/para_edit_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/group_reader.h"
#include "editor/node_reading.h"
#include "host/ui/qt_text.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {

constexpr int kMaxBits = 16;

ReadNode ToReadNode(const ParaNode& node) {
    return {static_cast<ReadNodeKind>(static_cast<int>(node.kind)), node.group, node.custom};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CParaReadDlg

CParaReadDlg::CParaReadDlg(NodeReading& reading, QWidget* parent)
    : QDialog(parent),
      reading_(reading),
      frameText_(new QLabel(this)),
      staticText_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      cancel_(new QPushButton(qtTr("キャンセル"), this)) {
    setWindowTitle(qtTr("読み取りパラメータ情報..."));
    setModal(true);
    progress_->setRange(0, 100);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameText_);
    layout->addWidget(staticText_);
    layout->addWidget(progress_);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    connect(cancel_, &QPushButton::clicked, this, &CParaReadDlg::reject);
    render();
}

void CParaReadDlg::render() {
    const GroupReader* reader = reading_.Current();
    if (reader == nullptr) return;
    frameText_->setText(qtText(reader->FrameText()));
    staticText_->setText(qtText(reader->StaticText()));
    progress_->setValue(reader->Progress());
}

void CParaReadDlg::reject() {
    // Cancel ends the read; the owner closes the dialog when the read reports its end.
    if (reading_.IsReading()) {
        reading_.Cancel();
    } else {
        QDialog::reject();
    }
}

// ---------------------------------------------------------------------------------------------
// Edit dialogs

ParaEditDialogBase::ParaEditDialogBase(EditSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    setModal(true);
}

void ParaEditDialogBase::build() {
    heading_ = new QLabel(this);
    QFont bold = heading_->font();
    bold.setBold(true);
    heading_->setFont(bold);
    unit_ = new QLabel(this);
    maximum_ = new QLabel(this);
    minimum_ = new QLabel(this);
    default_ = new QLabel(this);
    status_ = new QLabel(this);
    value_ = buildValue();
    read_ = new QPushButton(qtTr("読み取り"), this);
    write_ = new QPushButton(qtTr("書き込み"), this);
    previous_ = new QPushButton(QStringLiteral("<<"), this);
    next_ = new QPushButton(QStringLiteral(">>"), this);
    close_ = new QPushButton(qtTr("閉じる"), this);
    for (QPushButton* b : {read_, write_, previous_, next_, close_}) b->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(value_);
    // Bare numbers would leave the user guessing which is the limit and which the default.
    auto* texts = new QGridLayout;
    auto caption = [this](const char* text) { return new QLabel(qtTr(text), this); };
    texts->addWidget(caption("単位"), 0, 0);
    texts->addWidget(unit_, 0, 1);
    texts->addWidget(caption("デフォルト"), 0, 2);
    texts->addWidget(default_, 0, 3);
    texts->addWidget(caption("最大"), 1, 0);
    texts->addWidget(maximum_, 1, 1);
    texts->addWidget(caption("最小"), 1, 2);
    texts->addWidget(minimum_, 1, 3);
    layout->addLayout(texts);
    layout->addWidget(status_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {read_, write_, previous_, next_, close_}) buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(read_, &QPushButton::clicked, this, [this] { session_.Read(); });
    connect(write_, &QPushButton::clicked, this, [this] { session_.Write(); });
    connect(next_, &QPushButton::clicked, this, [this] { requestClose(kEditNext); });
    connect(previous_, &QPushButton::clicked, this, [this] { requestClose(kEditPrevious); });
    connect(close_, &QPushButton::clicked, this, [this] { requestClose(kEditClose); });
    setWindowTitle(qtText(session_.Title()));
    render();
}

void ParaEditDialogBase::render() {
    if (session_.IsClosed()) return;
    heading_->setText(qtText(session_.Heading()));
    unit_->setText(qtText(session_.UnitText()));
    maximum_->setText(qtText(session_.MaximumText()));
    minimum_->setText(qtText(session_.MinimumText()));
    default_->setText(qtText(session_.DefaultText()));
    status_->setText(qtText(session_.StatusText()));
    const EditControls& c = session_.Controls();
    value_->setEnabled(c.value);
    read_->setEnabled(c.read);
    write_->setEnabled(c.write);
    next_->setEnabled(c.move);
    previous_->setEnabled(c.move);
    close_->setEnabled(c.close);
    if (c.focusClose) close_->setFocus();
    renderValue();
}

void ParaEditDialogBase::requestClose(int navigation) {
    // The session closes itself (now or once its last write is answered) and says so through
    // its closed signal; the owner then takes the dialog down.
    if (!session_.IsBusy()) session_.RequestClose(navigation);
}

void ParaEditDialogBase::reject() {
    requestClose(kEditClose);
}

void ParaEditDialogBase::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageDown && next_->isEnabled()) {
        requestClose(kEditNext);
        return;
    }
    if (event->key() == Qt::Key_PageUp && previous_->isEnabled()) {
        requestClose(kEditPrevious);
        return;
    }
    QDialog::keyPressEvent(event);
}

CParaEditDlg::CParaEditDlg(EditSession& session, QWidget* parent)
    : ParaEditDialogBase(session, parent) {
    build();
}

QWidget* CParaEditDlg::buildValue() {
    if (const auto* texts = session_.OptionTexts(); texts && session_.IsOptionList()) {
        options_ = new QComboBox(this);
        for (const std::string& t : *texts) options_->addItem(qtText(t));
        connect(options_, &QComboBox::currentIndexChanged, this,
                [this](int index) { session_.SetSelectedIndex(index); });
        return options_;
    }
    field_ = new QLineEdit(this);
    field_->setPlaceholderText(qtText(session_.Pattern().text()));
    connect(field_, &QLineEdit::textEdited, this,
            [this](const QString& text) { session_.SetFieldText(text.toStdString()); });
    return field_;
}

void CParaEditDlg::renderValue() {
    if (options_) {
        const QSignalBlocker block(options_);
        options_->setCurrentIndex(session_.SelectedIndex());
    } else if (field_ && field_->text().toStdString() != session_.FieldText()) {
        const QSignalBlocker block(field_);
        field_->setText(qtText(session_.FieldText()));
    }
}

CParaBitEditDlg::CParaBitEditDlg(EditSession& session, QWidget* parent)
    : ParaEditDialogBase(session, parent) {
    build();
}

QWidget* CParaBitEditDlg::buildValue() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    const int shown = std::clamp(session_.BitCount(), 0, kMaxBits);
    for (int bit = 0; bit < kMaxBits; ++bit) {
        auto* check = new QCheckBox(QStringLiteral("Bit%1").arg(bit), box);
        grid->addWidget(check, bit / 8, bit % 8);
        check->setVisible(bit < shown);
        connect(check, &QCheckBox::toggled, this, [this] {
            std::uint16_t bits = 0;
            for (std::size_t b = 0; b < boxes_.size(); ++b)
                if (boxes_[b]->isChecked()) bits |= static_cast<std::uint16_t>(1u << b);
            session_.SetBits(bits);
            word_->setText(qtText(session_.BitValueText()));
        });
        boxes_.push_back(check);
    }
    word_ = new QLabel(box);
    grid->addWidget(word_, 2, 0, 1, 8);
    return box;
}

void CParaBitEditDlg::renderValue() {
    const std::uint16_t bits = session_.Bits();
    for (std::size_t b = 0; b < boxes_.size(); ++b) {
        const QSignalBlocker block(boxes_[b]);
        boxes_[b]->setChecked((bits >> b) & 1u);
    }
    word_->setText(qtText(session_.BitValueText()));
}

// ---------------------------------------------------------------------------------------------
// ParaEditorDialogs

ParaEditorDialogs::ParaEditorDialogs(ToolServices& services, ParaEditor& frame, QTableView& list,
                                     QWidget* window)
    : frame_(frame),
      list_(list),
      window_(window),
      prompter_(services.prompter, [this]() -> QWidget* {
          if (editDialog_) return editDialog_.data();
          return window_;
      }) {
    EditSession::Services edit{services.link, frame.Record(), frame.History(), prompter_};
    editing_ = std::make_unique<OnlineEditing>(edit, frame.Record().driveData, *this);
    if (NodeReading* reading = frame_.Reading()) {
        readingChanged_ = reading->changed.connect([this] {
            if (readDialog_) readDialog_->render();
        });
    }
}

ParaEditorDialogs::~ParaEditorDialogs() {
    readingChanged_.disconnect();
    dropEditDialog();
    editing_->CloseFromOutside();
}

void ParaEditorDialogs::StartEditing() {
    if (editDialog_) {
        editDialog_->raise();
        editDialog_->activateWindow();
        return;
    }
    int first = -1;
    int last = -1;
    for (const QModelIndex& index : list_.selectionModel()->selectedRows()) {
        first = first < 0 ? index.row() : std::min(first, index.row());
        last = std::max(last, index.row());
    }
    if (first < 0) first = last = frame_.List().CurrentRow();
    show(editing_->Start(first, last));
}

void ParaEditorDialogs::show(EditSession* session) {
    if (session == nullptr) return;
    ParaEditDialogBase* dialog = nullptr;
    if (session->Kind() == EditDialogKind::kBits) {
        dialog = new CParaBitEditDlg(*session, window_);
    } else {
        dialog = new CParaEditDlg(*session, window_);
    }
    editDialog_ = dialog;
    sessionChanged_ = session->changed.connect([dialog] { dialog->render(); });
    // Closing may happen inside the session's own reply handler: the rest is posted.
    sessionClosed_ = session->closed.connect(
        [this] { QTimer::singleShot(0, this, &ParaEditorDialogs::sessionClosed); });
    if (!editRect_.isEmpty()) dialog->setGeometry(editRect_);
    dialog->open();
}

void ParaEditorDialogs::sessionClosed() {
    dropEditDialog();
    show(editing_->SessionClosed());
}

void ParaEditorDialogs::dropEditDialog() {
    if (!editDialog_) return;
    sessionChanged_.disconnect();
    sessionClosed_.disconnect();
    editRect_ = editDialog_->geometry();
    delete editDialog_.data();
}

void ParaEditorDialogs::ReadNode(const ParaNode& node, std::function<void()> finished) {
    NodeReading* reading = frame_.Reading();
    if (reading == nullptr) {
        if (finished) finished();
        return;
    }
    reading->Read(ToReadNode(node), [this, finished = std::move(finished)] {
        closeReadDialog();
        if (finished) finished();
    });
    if (!reading->IsReading() || readDialog_) return;
    readDialog_ = new CParaReadDlg(*reading, window_);
    readDialog_->open();
}

bool ParaEditorDialogs::IsReading() const {
    const NodeReading* reading = frame_.Reading();
    return reading != nullptr && reading->IsReading();
}

void ParaEditorDialogs::CancelRead() {
    if (NodeReading* reading = frame_.Reading(); reading && reading->IsReading()) reading->Cancel();
    closeReadDialog();
}

void ParaEditorDialogs::CancelEdit() {
    dropEditDialog();
    editing_->CloseFromOutside();
}

void ParaEditorDialogs::closeReadDialog() {
    // Deferred: the read ends inside its own reply handler.
    if (readDialog_) readDialog_->deleteLater();
    readDialog_ = nullptr;
}

int ParaEditorDialogs::RowCount() const {
    return static_cast<int>(frame_.List().RowCount());
}

CItem* ParaEditorDialogs::RowItem(int row) const {
    return frame_.List().Row(static_cast<std::size_t>(row)).item;
}

UserGroupEntry* ParaEditorDialogs::RowEntry(int row) const {
    return frame_.List().Row(static_cast<std::size_t>(row)).entry;
}

void ParaEditorDialogs::SelectRow(int row) {
    frame_.List().SetCurrentRow(row);
    const QModelIndex index = list_.model()->index(row, 0);
    list_.selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_.scrollTo(index);
}

void ParaEditorDialogs::RedisplayValue(int /*row*/) {
    frame_.List().RefreshValues();
}

}  // namespace korvane
