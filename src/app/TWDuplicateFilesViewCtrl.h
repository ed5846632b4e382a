#pragma once
// The group list of the results browser: a search field, a sort control, the
// Duplicate / Similar tabs (only while the Images category is shown) and one row per
// displayed group of the results manager. It changes the manager's search text, sort,
// filter method and group selection, and posts
// TWDuplicateFilesSelectionChangedNotification after each. Main thread only.

#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

#include "app/TWSharedInstance.h"
#include "model/TWDuplicateFilesManager.h"

class QLineEdit;
class QListView;
class QMenu;
class QTimer;
class QToolButton;
class QWidget;
class TWDuplicateFilesModel;
class TWToolBarButton;

class TWDuplicateFilesViewCtrl : public QObject {
    Q_OBJECT
public:
    static TWDuplicateFilesViewCtrl* shared();
    static void resetShared();

    QWidget* view() const { return view_; }
    // Reloads the rows, then selects the manager's selection again (not a user change).
    void reloadData();
    // Redraws the rows in place (marks changed, the list did not).
    void refreshRows();

    // The search field's text.
    QString filterString() const;
    void setFilterString(const QString& text);
    // The field's action: the manager searches for the text, selects its first group.
    void searchAction();
    // The sort control's action: `tag` is a TWSortType; the same type again flips the
    // direction, another keeps it.
    void sortChanged(int tag);
    // The direction items of the sort menu (their data): the manager's sort flag set or
    // cleared, whatever the key.
    static constexpr int kSortFlagTrueTag = 100;
    static constexpr int kSortFlagFalseTag = 101;
    void sortDirectionChanged(bool flag);
    // "A to Z", "Largest first", ... for a TWSortType and the flag.
    static QString directionTitle(int type, bool flag);
    // The tabs' action: `tag` is a TWFilterMethod.
    void similarFilterAction(int tag);

    QLineEdit* searchField() const { return searchField_; }
    QToolButton* sortButton() const { return sortButton_; }
    QMenu* sortMenu() const { return sortMenu_; }
    // Marks the current key and direction in the sort menu and names them in the
    // button's tooltip.
    void updateSortControl();
    QListView* duplicateFilesTableView() const { return tableView_; }
    TWToolBarButton* btnSimilarFilter() const { return btnSimilarFilter_; }
    TWToolBarButton* btnDuplicateFilter() const { return btnDuplicateFilter_; }
    QWidget* tabBar() const { return tabBar_; }

private:
    friend class TWSharedInstance<TWDuplicateFilesViewCtrl>;
    TWDuplicateFilesViewCtrl();
    ~TWDuplicateFilesViewCtrl() override;
    void buildView();
    void updateTabs();
    void layoutTabs();
    void restoreSelection();
    void selectionDidChange();
    void postSelectionChanged();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QPointer<QWidget> view_;
    QLineEdit* searchField_ = nullptr;
    QToolButton* sortButton_ = nullptr;
    QMenu* sortMenu_ = nullptr;
    QWidget* tabBar_ = nullptr;
    TWToolBarButton* btnDuplicateFilter_ = nullptr;
    TWToolBarButton* btnSimilarFilter_ = nullptr;
    QListView* tableView_ = nullptr;
    TWDuplicateFilesModel* model_ = nullptr;
    QTimer* searchTimer_ = nullptr;
    bool restoringSelection_ = false;
};
