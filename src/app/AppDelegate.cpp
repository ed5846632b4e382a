#include "app/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <utility>

#include "app/TWAboutCtrl.h"
#include "app/TWAppInfo.h"
#include "app/TWArtwork.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWFolderReveal.h"
#include "app/TWLoadFilesCtrl.h"
#include "app/TWMainWindow.h"
#include "app/TWPreferenceCtrl.h"
#include "app/TWScreenFit.h"
#include "app/TWTitlebarViewCtrl.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

AppDelegate::AppDelegate() {
    TWArtwork::ensureLoaded();
    wndMain_ = new TWMainWindow();
    configLoadView();
    configMainView();
    buildMenu();
    wndMain_->setWindowTitle(TWAppInfo::displayName());
    wndMain_->setWindowIcon(TWArtwork::icon(QStringLiteral("app_icon")));
    connect(wndMain_, &TWMainWindow::fullScreenEntered, this, &AppDelegate::windowDidEnterFullScreen);
    connect(wndMain_, &TWMainWindow::fullScreenExited, this, &AppDelegate::windowDidExitFullScreen);
    connect(wndMain_->titleBar(), &TWTitlebarViewCtrl::settingsClicked, this, &AppDelegate::showPreferences);
    QPointer<TWMainWindow> window = wndMain_;
    TWFilesListManager::shareFilesListManager().setRevealer(
        [window](const std::vector<std::string>& paths) { TWFolderReveal::reveal(paths, window); });

    // The scan view's window: not resizable.
    wndMain_->setResizable(false);
    wndMain_->animateToFrame(centredFrame(kScanWindowSize));
    setCanSettings(true);
    updateMenuItems();
}

AppDelegate::~AppDelegate() {
    if (auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl(); ctrl->delegate() == this) ctrl->setDelegate(nullptr);
    // The views go with their controllers, before the window that holds them.
    TWLoadFilesCtrl::resetShared();
    TWBrowserResoultViewCtrl::resetShared();
    TWPreferenceCtrl::resetShared();
    TWAboutCtrl::resetShared();
    delete menu_;
    delete wndMain_;
}

void AppDelegate::showMainWindow() {
    wndMain_->show();
    wndMain_->raise();
    wndMain_->activateWindow();
}

void AppDelegate::raiseMainWindow() {
    wndMain_->setWindowState((wndMain_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showMainWindow();
}

bool AppDelegate::readyForFolders() const {
    return !isResultShown() && TWLoadFilesCtrl::shareLoadFilesCtrl()->canAddFolder();
}

void AppDelegate::openFolders(const QStringList& folders, const QString& ignoredNotice) {
    QString notice = ignoredNotice;
    if (readyForFolders()) {
        TWLoadFilesCtrl* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
        std::vector<std::string> paths;
        for (const QString& folder : folders) paths.push_back(folder.toStdString());
        ctrl->addFolder(paths);
        ctrl->updateFaceWithStatus();
    } else if (!folders.isEmpty()) {
        for (const QString& folder : folders) {
            if (!pendingFolders_.contains(folder)) pendingFolders_ << folder;
        }
        const int count = int(pendingFolders_.size());
        const QString kept =
            count == 1 ? tr("“%1” will be added to the next scan.").arg(QFileInfo(pendingFolders_.front()).fileName())
                       : tr("%n folders will be added to the next scan.", nullptr, count);
        notice = notice.isEmpty() ? kept : kept + QLatin1Char(' ') + notice;
    }
    if (!notice.isEmpty()) wndMain_->showNotice(notice);
}

void AppDelegate::addPendingFolders() {
    if (pendingFolders_.isEmpty() || !readyForFolders()) return;
    const QStringList folders = std::exchange(pendingFolders_, {});
    openFolders(folders);
}

void AppDelegate::configLoadView() {
    TWLoadFilesCtrl* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    wndMain_->addContentView(ctrl->view());
    ctrl->setDelegate(this);
    connect(ctrl, &TWLoadFilesCtrl::faceChanged, this, &AppDelegate::updateMenuItems);
    wndMain_->showContentView(ctrl->view());
}

void AppDelegate::configMainView() {
    TWBrowserResoultViewCtrl* browser = TWBrowserResoultViewCtrl::shared();
    wndMain_->addContentView(browser->view());
    connect(browser, &TWBrowserResoultViewCtrl::backToScanRequested, this, &AppDelegate::BackToScan);
    // The scan view's totals follow removals and their undo; Scan Again goes back to it
    // and scans the same folders.
    connect(browser, &TWBrowserResoultViewCtrl::filesRemoved, this,
            [](quint64 count, quint64 bytes) { TWLoadFilesCtrl::shareLoadFilesCtrl()->filesRemoved(count, bytes); });
    connect(browser, &TWBrowserResoultViewCtrl::filesRestored, this,
            [](quint64 count, quint64 bytes) { TWLoadFilesCtrl::shareLoadFilesCtrl()->filesRestored(count, bytes); });
    connect(browser, &TWBrowserResoultViewCtrl::scanAgainRequested, this, [this] {
        BackToScan();
        TWLoadFilesCtrl::shareLoadFilesCtrl()->scanAgain();
    });
    connect(browser, &TWBrowserResoultViewCtrl::scanDetailsRequested, this,
            [] { TWLoadFilesCtrl::shareLoadFilesCtrl()->showScanDetails(); });
    wndMain_->showContentView(TWLoadFilesCtrl::shareLoadFilesCtrl()->view());
}

void AppDelegate::buildMenu() {
    const QString name = TWAppInfo::displayName();
    menu_ = new QMenu(wndMain_);
    menu_->setObjectName(QStringLiteral("mainMenu"));
    auto add = [this](TWMenuAction action, const QString& title, const QKeySequence& shortcut, const char* id) {
        auto* item = new QAction(title, wndMain_);
        item->setObjectName(QString::fromLatin1(id));
        item->setShortcut(shortcut);
        item->setShortcutContext(Qt::WindowShortcut);
        connect(item, &QAction::triggered, this, [this, action] { runMenuAction(action); });
        // Added to the window as well, so that the shortcuts work with the menu closed.
        wndMain_->addAction(item);
        menu_->addAction(item);
        menuItems_[action] = item;
    };
    add(TWMenuAction::openFolder, tr("Open Folder…"), QKeySequence(Qt::CTRL | Qt::Key_O), "openFolder");
    add(TWMenuAction::clearAction, tr("Clear"), QKeySequence(), "clearAction");
    add(TWMenuAction::selectAll, tr("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A), "selectAll");
    menu_->addSeparator();
    add(TWMenuAction::showPreferences, tr("Preferences"), QKeySequence(Qt::CTRL | Qt::Key_Comma), "showPreferences");
    menu_->addSeparator();
    add(TWMenuAction::showHelp, tr("%1 Help").arg(name), QKeySequence(Qt::Key_F1), "showHelp");
    add(TWMenuAction::aboutWindow, tr("About %1").arg(name), QKeySequence(), "aboutWindow");
    menu_->addSeparator();
    add(TWMenuAction::quit, tr("Quit %1").arg(name), QKeySequence(Qt::CTRL | Qt::Key_Q), "quit");
    connect(menu_, &QMenu::aboutToShow, this, &AppDelegate::updateMenuItems);
    wndMain_->titleBar()->setMenu(menu_);
}

QAction* AppDelegate::menuItem(TWMenuAction action) const {
    auto it = menuItems_.find(action);
    return it == menuItems_.end() ? nullptr : it->second;
}

bool AppDelegate::isResultShown() const {
    return wndMain_ && wndMain_->currentContentView() == TWBrowserResoultViewCtrl::shared()->view();
}

bool AppDelegate::validateMenuItem(TWMenuAction action) const {
    const TWLoadFilesCtrl* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    const bool scanViewShown = !isResultShown();
    switch (action) {
        case TWMenuAction::openFolder:
            return scanViewShown && ctrl->canAddFolder();
        case TWMenuAction::clearAction:
            return scanViewShown && ctrl->canClearFolder();
        case TWMenuAction::selectAll:
            return !scanViewShown;
        case TWMenuAction::showPreferences:
            return ctrl->canShowPreferences();
        default:
            return true;
    }
}

void AppDelegate::updateMenuItems() {
    for (auto& [action, item] : menuItems_) item->setEnabled(validateMenuItem(action));
}

void AppDelegate::runMenuAction(TWMenuAction action) {
    // A shortcut may fire between a state change and the next revalidation.
    if (!validateMenuItem(action)) return;
    switch (action) {
        case TWMenuAction::openFolder:
            return openFolder();
        case TWMenuAction::clearAction:
            return clearAction();
        case TWMenuAction::selectAll:
            return selectAll();
        case TWMenuAction::showPreferences:
            return showPreferences();
        case TWMenuAction::aboutWindow:
            return aboutWindow();
        case TWMenuAction::showHelp:
            return showHelp();
        case TWMenuAction::quit:
            if (wndMain_) wndMain_->close();
            QApplication::quit();
            return;
    }
}

void AppDelegate::openFolder() {
    TWLoadFilesCtrl::shareLoadFilesCtrl()->loadFilesFromOpenpanel();
}

void AppDelegate::clearAction() {
    if (isResultShown()) return;
    TWLoadFilesCtrl::shareLoadFilesCtrl()->clearFolders();
    setCanSettings(true);
}

void AppDelegate::selectAll() {
    if (isResultShown()) TWBrowserResoultViewCtrl::shared()->selectAll();
}

void AppDelegate::showPreferences() {
    TWPreferenceCtrl::shared()->showWindow();
}

void AppDelegate::aboutWindow() {
    TWAboutCtrl::shared(wndMain_)->showWindow();
}

void AppDelegate::showHelp() {
    const QString document = TWAppInfo::helpDocument();
    if (!document.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(document))) return;
    QMessageBox::warning(wndMain_, tr("Cannot Open the Help"),
                         document.isEmpty() ? tr("The help page is not installed.")
                                            : tr("No application could open the help page %1.").arg(document));
}

void AppDelegate::supportMenu() {
    QString page = TWAppInfo::productWebPage();
    if (!page.isEmpty()) QDesktopServices::openUrl(QUrl(page));
}

void AppDelegate::setCanSettings(bool can) {
    if (TWTitlebarViewCtrl* bar = wndMain_ ? wndMain_->titleBar() : nullptr) bar->setCanSettings(can);
}

// --- view switching ---

QRect AppDelegate::centredFrame(const QSize& size) const {
    return TWScreenFit::centred(wndMain_, size);
}

void AppDelegate::showResult() {
    if (!tw::MainQueue::shared().isMainThread()) {
        QPointer<AppDelegate> self(this);
        tw::MainQueue::shared().post([self] {
            if (self) self->showResult();
        });
        return;
    }
    wndMain_->showContentView(TWBrowserResoultViewCtrl::shared()->view());
    wndMain_->setResizable(true);
    if (!wndMain_->isFullScreen()) wndMain_->animateToFrame(centredFrame(kResultWindowSize));
    setCanSettings(false);
    updateMenuItems();
}

void AppDelegate::BackToScan() {
    if (isFullScreen_) {
        isFullScreenBack_ = true;
        wndMain_->showNormal();
        return;
    }
    backAction();
}

void AppDelegate::backAction() {
    if (!tw::MainQueue::shared().isMainThread()) {
        QPointer<AppDelegate> self(this);
        tw::MainQueue::shared().post([self] {
            if (self) self->backAction();
        });
        return;
    }
    TWLoadFilesCtrl* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    wndMain_->showContentView(ctrl->view());
    wndMain_->setResizable(false);
    wndMain_->animateToFrame(centredFrame(kScanWindowSize));
    setCanSettings(false);
    ctrl->reloadData();
    updateMenuItems();
}

void AppDelegate::windowDidEnterFullScreen() {
    isFullScreen_ = true;
}

void AppDelegate::windowDidExitFullScreen() {
    isFullScreen_ = false;
    if (isFullScreenBack_) {
        isFullScreenBack_ = false;
        // After the window got its normal frame back, or that restore would undo the
        // switch's resize.
        QTimer::singleShot(0, this, &AppDelegate::backAction);
    }
}

// --- scan view messages ---

void AppDelegate::TWLoadFileCtrlStartSearch(TWLoadFilesCtrl&) {
    setCanSettings(false);
    updateMenuItems();
}

void AppDelegate::TWLoadFileCtrlCompleteSearchWithResult(TWLoadFilesCtrl& ctrl,
                                                         const std::vector<std::shared_ptr<TWCategoryFiles>>& result) {
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    manager.updateDuplicateFiles(result);
    // A new result opens on All, the category with the most to free, never on the one
    // the last result was left on (which may hold little or nothing now).
    manager.setCategory(TWCategory_allFiles);
    manager.setFilterMethod(TWFilterMethodExcludingSimilar);
    // Only similar images found: open on the images with their similar groups whole.
    if (manager.numberOfDisplayDuplicateFiles() == 0) {
        manager.setCategory(TWCategory_images);
        manager.setFilterMethod(TWFilterMethodIncludingSimilar);
    }
    TWBrowserResoultViewCtrl::shared()->reloadData();
    if (ctrl.scanWasStopped()) TWBrowserResoultViewCtrl::shared()->markScanStopped();
    TWBrowserResoultViewCtrl::shared()->showScanReport(ctrl.scanReportLines());
    showResult();
}

void AppDelegate::TWLoadFileCtrlReset(TWLoadFilesCtrl&) {
    setCanSettings(true);
    addPendingFolders();
    updateMenuItems();
}

void AppDelegate::TWLoadFileCtrlShowResultAgain(TWLoadFilesCtrl&) {
    showResult();
}
