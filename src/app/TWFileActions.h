#pragma once
// The actions on files of the results browser that the keyboard and the right-click
// menus offer beside the views' own buttons: check or uncheck, ignore, show in the
// file manager, open, copy the paths, for rows of the file list (TWFilesListManager);
// and the menus that offer them for files and for groups.
//
// A file that refusesRemoval() (one outside the chosen folders) is never checked: the
// check here refuses it as the check box does. Each change posts the browser's check
// or ignore notification, so that the status line and the group list follow.
//
// Main thread only.

#include <QString>
#include <functional>
#include <set>

class QMenu;
class QWidget;

class TWFileActions {
public:
    using Rows = std::set<size_t>;
    // Opens a file with the desktop's default application; answers whether one took it.
    using Opener = std::function<bool(const QString& path)>;

    // Space: checks the selected rows unless every one of them that may be checked is
    // checked already; then unchecks them. Answers whether a mark changed.
    static bool toggleCheckOfSelection();
    // Answers whether a mark changed; rows that refuse a check keep theirs.
    static bool setChecked(const Rows& rows, bool checked);
    // Whether setChecked(rows, checked) would change a mark.
    static bool canSetChecked(const Rows& rows, bool checked);
    // Ignores the files of the rows (they leave the list); answers how many left.
    static size_t ignore(const Rows& rows);
    static void showInFolder(size_t row);
    // Opens the row's file; a message over `parent` when no application opens it.
    static void open(size_t row, QWidget* parent);
    // Puts the rows' full paths on the clipboard, one a line.
    static void copyPaths(const Rows& rows);
    // Empty: the desktop's default application (tests replace it).
    static void setOpener(Opener opener);

    // The menu of a right-click on `row`: a row outside the selection becomes the
    // selection first; the items act on the selection. `changed` runs after a mark
    // changed or files left. The caller shows and deletes the menu.
    static QMenu* fileMenu(size_t row, QWidget* parent, std::function<void()> changed);
};
