#pragma once
// The group list's rows: a list model over the results manager's displayed groups.
// It holds nothing of its own; a reset rereads the manager. Main thread only.

#include <QAbstractListModel>
#include <QStyledItemDelegate>

#include "model/TWDuplicateFile.h"

class TWDuplicateFilesModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { GroupRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The group of a row, or null past the end.
    static TWDuplicateFile::Ptr groupAt(int row);
    // A row's tooltip: the full paths of the group's files, one a line, the first
    // kToolTipPaths of them.
    static constexpr int kToolTipPaths = 10;
    static QString toolTipOf(const TWDuplicateFile& group);
    void reload();
    // Redraws every row (counts changed, rows did not).
    void refreshRows();
};

// Draws a group row (TWDuplicateFilesCellView): the first file's picture, its name,
// the group's size, and how many of its files are checked out of how many.
class TWDuplicateFilesCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 56;
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
