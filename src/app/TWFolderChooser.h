#pragma once
// The folder chooser of the scan view: a window-modal dialog on the main window that
// picks folders only, several at once. While the skip-packages setting is on,
// packages (application bundles and the like) are not offered as folders.
// Main thread only.

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QFileDialog;
class QWidget;

class TWFolderChooser : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const std::vector<std::string>& folders)>;

    // Opens the chooser over `parent` and returns at once; `done` gets the chosen
    // folders on OK and is not called on cancel. The chooser deletes itself.
    static QFileDialog* open(QWidget* parent, Completion done);

    // Whether a chosen path is kept (packages are refused while they are skipped).
    static bool keepsPath(const std::string& path, bool skipPackages);
};
