#pragma once
// The file list's rows: a list model over the flattened file list of the selected
// groups (TWFilesListManager), and the delegate that draws a row (TWFilesListCellView:
// check box, path, the library of a library item, creation time, Show in Folder and
// Ignore buttons) and reports clicks
// on its parts. Main thread only.

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <functional>

class TWFileUtility;

class TWFilesListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The path (Qt::DisplayRole); the path and the library of a library item (Qt::ToolTipRole).
    QVariant data(const QModelIndex& index, int role) const override;
    void reload();

    // The application whose library holds a library item ("Shotwell"; "media" when it
    // is not known); "" for a plain file.
    static QString libraryOf(const TWFileUtility& file);
    // What every view shows when the pointer rests on a file: its full path, the link
    // it was reached through, and for a library item what removing it does.
    static QString toolTipOf(const TWFileUtility& file);
};

class TWFilesListCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 30;
    enum class Part { None, CheckBox, ShowInFinder, Ignore };
    // Called when a click released over a part of a row.
    using Handler = std::function<void(Part part, int row)>;

    explicit TWFilesListCellDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}
    void setHandler(Handler handler) { handler_ = std::move(handler); }

    // The parts of a row drawn in `rowRect`.
    static QRect checkBoxRect(const QRect& rowRect);
    static QRect showInFinderRect(const QRect& rowRect);
    static QRect ignoreRect(const QRect& rowRect);
    static Part partAt(const QRect& rowRect, const QPoint& point);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    Handler handler_;
};
