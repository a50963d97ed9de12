#pragma once
// Qt item models over the editor's tree and list, and the delegate of the in-place value edit.
// They only translate: every rule lives in the core models.
#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <optional>

#include "editor/para_list_model.h"
#include "editor/para_tree_model.h"

namespace korvane {

// The private drag format: the dragging editor's identity and the parameters' addresses.
inline constexpr const char* kParameterMimeType = "application/x-korvane-parameters";

class ParaTreeQtModel : public QAbstractItemModel {
    Q_OBJECT
public:
    ParaTreeQtModel(CParaTreeModel& tree, CParaListModel& list, QObject* parent = nullptr);

    void reload();
    ParaNode nodeAt(const QModelIndex& index) const;
    QModelIndex indexOf(const ParaNode& node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    void dropped();

private:
    CParaTreeModel& tree_;
    CParaListModel& list_;
};

class ParaListQtModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ParaListQtModel(CParaListModel& list, QObject* parent = nullptr);

    void reload();
    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    CParaListModel& list_;
};

// Option lists as a combo box, numbers as a line edit; the list model decides which.
class ParaValueDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    ParaValueDelegate(CParaListModel& list, QObject* parent = nullptr);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    CParaListModel& list_;
    mutable std::optional<InPlaceEdit> edit_;
};

}  // namespace korvane
