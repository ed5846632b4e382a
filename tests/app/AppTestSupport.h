#pragma once
// Helpers of the app suites: one Qt main queue and thumbnail provider per process, a
// live app with private settings, drags and drops sent through the real widgets.

#include <QMimeData>
#include <QPoint>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/AppDelegate.h"

class QWidget;
class TWPreferenceCtrl;

namespace apptest {

// The Qt main queue and the thumbnail provider; idempotent. Call after QApplication.
void setUpApplication();

// A shown main window with its controllers, over a private settings store.
class LiveApp {
public:
    LiveApp();
    ~LiveApp();
    AppDelegate& delegate() { return *delegate_; }

private:
    twtest::ScopedDefaults defaults_;
    std::unique_ptr<AppDelegate> delegate_;
};

// Waits on the condition while the event loop (and with it the main queue) runs;
// false after `milliseconds`.
bool waitFor(const std::function<bool()>& condition, int milliseconds = 30000);

std::unique_ptr<QMimeData> mimeForPaths(const std::vector<std::string>& paths);
// Sends a drag entering `target` with these paths; answers whether it was accepted.
bool dragEnter(QWidget* target, const std::vector<std::string>& paths);
// Sends the drag's enter, move and drop; answers whether the drop was accepted.
bool dragAndDrop(QWidget* target, const std::vector<std::string>& paths);
// The visible widgets of `window` that show only in part: each one reaching past its
// parent's edges, where the parent is no scroll area's viewport that scrolls that way
// (contents never scroll sideways). The focus ring, drawn over the window, is left out.
// Empty when every widget shows whole.
QStringList cutOffWidgets(QWidget* window);

// Shows each page of the shown preferences window in turn and tells where one does
// not fit: a minimum size larger than the room its scroll area gives it (in height
// only where the window was capped to the screen and the pages scroll), or a widget
// cut off (cutOffWidgets). Empty when every page fits.
QStringList preferencePagesThatDoNotFit(TWPreferenceCtrl* ctrl);

// Moves the pointer over `position` of `target` with no button pressed.
void hover(QWidget* target, const QPoint& position);

}  // namespace apptest
