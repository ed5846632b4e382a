#pragma once
// The file list of the results browser (shown in the slide view): one row per file of
// the selected groups, with its check box, path, creation time and the Show in Folder
// and Ignore buttons. It changes marks, ignores and reveals through TWFilesListManager
// and posts the check and ignore notifications. Main thread only.

#include <QObject>
#include <QPointer>

class QListView;
class QWidget;
class TWFilesListModel;
class TWFilesListViewController;
class TWFilesListCellDelegate;

class TWFilesListViewCtrDelegate {
public:
    virtual ~TWFilesListViewCtrDelegate() = default;
    // The user changed the row selection.
    virtual void TWFilesListViewSelectionDidChanged(TWFilesListViewController& ctrl) {}
};

class TWFilesListViewController : public QObject {
    Q_OBJECT
public:
    static TWFilesListViewController* shared();
    static void resetShared();
    // The live instance, or null (never creates one).
    static TWFilesListViewController* existing();

    QWidget* view() const { return view_; }
    QListView* tableView() const { return tableView_; }
    TWFilesListViewCtrDelegate* delegate() const { return delegate_; }
    void setDelegate(TWFilesListViewCtrDelegate* delegate) { delegate_ = delegate; }
    bool notRespondSelectedDidChange() const { return notRespondSelectedDidChange_; }

    // Reloads the rows, then selects the file list's selection again (not a user change).
    void reloadData();

    // Row actions.
    void checkedItemForDelete(int row, bool checked);
    void showItemInFinder(int row);
    void ignoreItem(int row);

    // Where a row's parts are, in the table's viewport (tests).
    QRect rowRect(int row) const;

private:
    TWFilesListViewController();
    ~TWFilesListViewController() override;
    void selectionDidChange();

    QPointer<QWidget> view_;
    QListView* tableView_ = nullptr;
    TWFilesListModel* model_ = nullptr;
    TWFilesListCellDelegate* cellDelegate_ = nullptr;
    TWFilesListViewCtrDelegate* delegate_ = nullptr;
    bool notRespondSelectedDidChange_ = false;
};
