#include "editor/ui/para_qt_models.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <set>

#include "host/ui/qt_text.h"

namespace korvane {
namespace {

// Internal ids: 0 marks a root; a child carries its root's row plus one.
constexpr quintptr kRootId = 0;

std::span<const std::uint8_t> Bytes(const QByteArray& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.constData()),
            static_cast<std::size_t>(data.size())};
}

}  // namespace

ParaTreeQtModel::ParaTreeQtModel(CParaTreeModel& tree, CParaListModel& list, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree), list_(list) {}

void ParaTreeQtModel::reload() {
    beginResetModel();
    endResetModel();
}

ParaNode ParaTreeQtModel::nodeAt(const QModelIndex& index) const {
    if (!index.isValid()) return {};
    if (index.internalId() == kRootId) return tree_.Root(index.row());
    return tree_.Child(static_cast<int>(index.internalId() - 1),
                       static_cast<std::size_t>(index.row()));
}

QModelIndex ParaTreeQtModel::indexOf(const ParaNode& node) const {
    const auto [root, row] = tree_.Locate(node);
    if (root < 0) return {};
    if (row < 0) return createIndex(root, 0, kRootId);
    return createIndex(row, 0, static_cast<quintptr>(root + 1));
}

QModelIndex ParaTreeQtModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0 || row >= rowCount(parent)) return {};
    if (!parent.isValid()) return createIndex(row, 0, kRootId);
    return createIndex(row, 0, static_cast<quintptr>(parent.row() + 1));
}

QModelIndex ParaTreeQtModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kRootId) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kRootId);
}

int ParaTreeQtModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return 2;
    if (parent.internalId() != kRootId) return 0;
    return static_cast<int>(tree_.ChildCount(parent.row()));
}

int ParaTreeQtModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ParaTreeQtModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole) return {};
    return qtText(CParaTreeModel::Text(nodeAt(index)));
}

Qt::ItemFlags ParaTreeQtModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractItemModel::flags(index);
    if (nodeAt(index).kind == NodeKind::kUserGroup) f |= Qt::ItemIsDropEnabled;
    return f;
}

QStringList ParaTreeQtModel::mimeTypes() const {
    return {kParameterMimeType};
}

Qt::DropActions ParaTreeQtModel::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

bool ParaTreeQtModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                      const QModelIndex& parent) const {
    if (!data || !data->hasFormat(kParameterMimeType)) return false;
    const QByteArray bytes = data->data(kParameterMimeType);
    return list_.CanDrop(nodeAt(parent), Bytes(bytes));
}

bool ParaTreeQtModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                   int column, const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    const QByteArray bytes = data->data(kParameterMimeType);
    list_.Drop(nodeAt(parent), Bytes(bytes));
    emit dropped();
    // Copy semantics: the source list keeps its rows whatever action the view chose.
    return false;
}

// ---------------------------------------------------------------------------------------------

ParaListQtModel::ParaListQtModel(CParaListModel& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

void ParaListQtModel::reload() {
    beginResetModel();
    endResetModel();
}

int ParaListQtModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.RowCount());
}

int ParaListQtModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.ColumnCount());
}

QVariant ParaListQtModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<std::size_t>(index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return qtText(list_.CellText(row, column));
        case Qt::ForegroundRole:
            if (auto c = list_.RowColour(row)) return QBrush(QColor(c->red, c->green, c->blue));
            return {};
        case Qt::BackgroundRole:
            if (auto c = list_.RowBackground(row)) return QBrush(QColor(c->red, c->green, c->blue));
            return {};
        default:
            return {};
    }
}

QVariant ParaListQtModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return qtText(list_.HeaderText(static_cast<std::size_t>(section)));
}

Qt::ItemFlags ParaListQtModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
    if (index.isValid() && list_.BeginEdit(static_cast<std::size_t>(index.row()),
                                           static_cast<std::size_t>(index.column())))
        f |= Qt::ItemIsEditable;
    return f;
}

QStringList ParaListQtModel::mimeTypes() const {
    return {kParameterMimeType};
}

QMimeData* ParaListQtModel::mimeData(const QModelIndexList& indexes) const {
    std::set<std::size_t> rows;
    for (const QModelIndex& i : indexes) rows.insert(static_cast<std::size_t>(i.row()));
    const auto payload = list_.DragPayload({rows.begin(), rows.end()});
    auto* data = new QMimeData;
    data->setData(kParameterMimeType, QByteArray(reinterpret_cast<const char*>(payload.data()),
                                                 static_cast<qsizetype>(payload.size())));
    return data;
}

Qt::DropActions ParaListQtModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

// ---------------------------------------------------------------------------------------------

ParaValueDelegate::ParaValueDelegate(CParaListModel& list, QObject* parent)
    : QStyledItemDelegate(parent), list_(list) {}

QWidget* ParaValueDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex& index) const {
    edit_ = list_.BeginEdit(static_cast<std::size_t>(index.row()),
                            static_cast<std::size_t>(index.column()));
    if (!edit_) return nullptr;
    if (edit_->kind == InPlaceEdit::Kind::kOptionList) {
        auto* combo = new QComboBox(parent);
        for (const std::string& text : edit_->options) combo->addItem(qtText(text));
        return combo;
    }
    auto* line = new QLineEdit(parent);
    line->setPlaceholderText(qtText(edit_->pattern));
    return line;
}

void ParaValueDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(std::max(0, combo->findText(text)));
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(text);
    }
}

void ParaValueDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                     const QModelIndex&) const {
    if (!edit_) return;
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        text = combo->currentText();
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        text = line->text();
    }
    const InPlaceEdit edit = *edit_;
    edit_.reset();
    list_.EndEdit(edit, text.toStdString());
}

}  // namespace korvane
