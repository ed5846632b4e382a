#pragma once
// The application delegate: owns the main window and its menu, switches between the
// scan view and the results browser (with their window sizes and styles), follows
// full-screen mode, and reacts to the end of a scan. Main thread only; the view
// switches hop to the main thread when called from elsewhere.

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <map>
#include <memory>

#include "TWLoadFilesCtrlDelegate.h"
#include "TWMainWindow.h"
class TWLoadFilesCtrl;

// The menu items, by the operation they run.
enum class TWMenuAction {
    openFolder,
    clearAction,
    selectAll,
    showPreferences,
    aboutWindow,
    showHelp,
    quit,
};

class AppDelegate : public QObject, public TWLoadFilesCtrlDelegate {
    Q_OBJECT
public:
    static constexpr QSize kScanWindowSize{580, 440};
    static constexpr QSize kResultWindowSize{840, 630};

    // Builds the window with both views (the scan view shown, the browser hidden),
    // the menu, and the window style of the scan view. A QApplication must exist.
    AppDelegate();
    ~AppDelegate() override;
    // The live delegate, or null.
    static AppDelegate* shared();

    TWMainWindow* wndMain() const { return wndMain_; }
    // Shows the main window centred at the scan view's size.
    void showMainWindow();
    // Brings the window forward (another launch asked for it).
    void raiseMainWindow();

    // Folders from the command line or from a later launch: added at once while the
    // scan view is ready for folders; otherwise (a scan running, a result shown) kept
    // for the next scan, which the window says. `ignored` is told in a notice.
    void openFolders(const QStringList& folders, const QString& ignoredNotice = {});
    const QStringList& pendingFolders() const { return pendingFolders_; }

    bool isFullScreen() const { return isFullScreen_; }
    bool isFullScreenBack() const { return isFullScreenBack_; }
    bool isResultShown() const;
    QAction* menuItem(TWMenuAction action) const;
    QMenu* mainMenu() const { return menu_; }

    // --- menu operations ---
    void openFolder();
    void clearAction();
    void selectAll();
    void showPreferences();
    void aboutWindow();
    void showHelp();
    void supportMenu();
    bool validateMenuItem(TWMenuAction action) const;
    // Applies validateMenuItem to every item (before the menu opens and whenever the
    // state behind the rules changed, so that shortcuts follow the same rules).
    void updateMenuItems();

    // --- view switching ---
    void showResult();
    void BackToScan();
    void backAction();
    // The frame of `size` centred on the main window's screen, capped to fit it.
    static QRect centredFrame(const QSize& size);

    // --- full screen ---
    void windowDidEnterFullScreen();
    void windowDidExitFullScreen();

    // --- TWLoadFilesCtrlDelegate ---
    void TWLoadFileCtrlStartSearch(TWLoadFilesCtrl& ctrl) override;
    void TWLoadFileCtrlCompleteSearchWithResult(TWLoadFilesCtrl& ctrl,
                                                const std::vector<std::shared_ptr<TWCategoryFiles>>& result) override;
    void TWLoadFileCtrlReset(TWLoadFilesCtrl& ctrl) override;
    void TWLoadFileCtrlShowResultAgain(TWLoadFilesCtrl& ctrl) override;

private:
    void configLoadView();
    void configMainView();
    void buildMenu();
    void runMenuAction(TWMenuAction action);
    void setCanSettings(bool can);
    bool readyForFolders() const;
    void addPendingFolders();

    QPointer<TWMainWindow> wndMain_;
    QPointer<QMenu> menu_;
    std::map<TWMenuAction, QAction*> menuItems_;
    bool isFullScreen_ = false;
    bool isFullScreenBack_ = false;
    QStringList pendingFolders_;
};
