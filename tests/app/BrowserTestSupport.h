#pragma once
// Helpers of the browser suites: a realistic tree of photos, documents and music with
// duplicates and similar images, scanned through the real scan view, and clicks sent
// to the browser's widgets.

#include <QImage>
#include <QPoint>
#include <set>
#include <string>
#include <vector>

#include "AppTestSupport.h"

class QAction;
class QMenu;
class QWidget;
class TWBrowserResoultViewCtrl;
class TWDuplicateFilesManager;
class TWFilesListManager;

namespace browsertest {

// A landscape drawn in code (sky, sun, hills), different for every seed.
QImage landscape(int width, int height, int seed);

// Writes, under tree/Pictures, tree/Documents and tree/Music: an exact pair of JPEG
// photos, a similar pair (one photo saved at two qualities), documents in three and two
// copies, a text file in two copies, and a song in two copies. Answers the roots.
std::vector<std::string> writeRealisticTree(const twtest::TempDir& tree);

// Starts a scan of `roots` through the scan view and waits until the browser shows.
bool scanAndShow(apptest::LiveApp& app, const std::vector<std::string>& roots);

TWBrowserResoultViewCtrl* browser();
TWDuplicateFilesManager& manager();
TWFilesListManager& files();
// The item of `menu` whose data is `tag`, or null.
QAction* actionTagged(QMenu* menu, int tag);

// Every file of every group of the result, and those of them that are checked.
std::set<std::string> resultPaths();
std::set<std::string> checkedPaths();
// The paths of each top-level group of the result.
std::vector<std::vector<std::string>> resultGroups();

// A left click at `position` of `widget` with the given keys held.
void click(QWidget* widget, const QPoint& position, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Selects one row of the group list as a user would.
void selectGroupRow(int row);
// The displayed row whose group holds a file named `name`, or -1.
int rowOfGroupNamed(const std::string& name);

}  // namespace browsertest
