#pragma once
// The choosers of the preferences window. Each opens window-modal over the window,
// hangs just below its 50-point title bar, returns at once and deletes itself; the
// completion gets the chosen paths on OK and is not called on cancel. Main thread only.

#include <QPoint>
#include <QSize>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QFileDialog;
class QWidget;

class TWPreferenceChooser {
public:
    using Completion = std::function<void(const std::vector<std::string>& paths)>;

    // Files and folders, several at once, prompt "Select" (the ignore list).
    static QFileDialog* chooseFilesAndFolders(QWidget* parent, Completion done);
    // Folders only, several at once (the privileged folders).
    static QFileDialog* choosePrivilegeFolders(QWidget* parent, Completion done);
    // One existing folder, no new folders; library packages are ordinary folders here,
    // so they can be picked or entered (the library locations).
    static QFileDialog* chooseLibraryFolder(QWidget* parent, const QString& title, const std::string& current,
                                            Completion done);

    // Where a chooser hangs over `window`: centred, its top at the title bar's foot.
    static QPoint sheetPosition(const QWidget* window, const QSize& chooserSize);
};
