#pragma once
// The keyboard and the right-click menus of the results browser: Delete starts the
// removal of the checked files (through the Delete button's own path, confirmation and
// all), Ctrl+F goes to the search field and Escape clears it, Space checks or unchecks
// the selected files of the icon, file list and compare views, and a right-click (or
// the Menu key) offers the file actions on files and the group actions on groups. It
// also keeps the Tab order of the browser in the order of its layout, whichever
// detail view shows.
//
// Owned by the browser, whose widgets it watches. Main thread only.

#include <QObject>
#include <QPoint>
#include <functional>
#include <vector>

class QEvent;
class QMenu;
class QShortcut;
class QWidget;
class TWBrowserResoultViewCtrl;

class TWBrowserKeyboard : public QObject {
    Q_OBJECT
public:
    // The row of a file view at a point of its viewport, or -1.
    using RowAt = std::function<int(const QPoint& point)>;

    explicit TWBrowserKeyboard(TWBrowserResoultViewCtrl* browser);

    // Space and the file menu on `view` (a scroll area or list: its viewport too);
    // `refresh` redraws it after Space changed marks or a right-click selected a row.
    // Once per view.
    void watchFileView(QWidget* view, RowAt rowAt, std::function<void()> refresh);
    // Chains the Tab order through the browser's parts as they stand left to right, top
    // to bottom; again after the detail view changes.
    void updateTabOrder();

    // The menu of a right-click on a group row (tests read it); the caller deletes it.
    QMenu* groupMenu(int row, QWidget* parent);
    // The menu a right-click at `point` of the view's viewport opens, or null (tests).
    QMenu* fileMenuAt(QWidget* view, const QPoint& point);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct FileView {
        QWidget* view;
        RowAt rowAt;
        std::function<void()> refresh;
    };
    const FileView* fileViewOf(QObject* watched) const;
    void deleteChecked();
    void focusGroupsUnlessInside();
    void focusSearch();
    bool clearSearch();
    void ignoreSelectedGroups();
    // After a menu changed marks or files left: the detail view reads the files anew.
    void reloadDetail();
    void popUp(QMenu* menu, const QPoint& globalPosition);

    TWBrowserResoultViewCtrl* browser_;
    std::vector<FileView> fileViews_;
};
