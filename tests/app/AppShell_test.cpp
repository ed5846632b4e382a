// The application shell: window sizes and styles of the two views, the header bar's
// buttons, the menu and its rules, full-screen tracking and going back.

#include <QAction>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "AppTestSupport.h"
#include "BrowserTestSupport.h"
#include "TWBrowserResoultViewCtrl.h"
#include "TWLoadFilesCtrl.h"
#include "TWMainWindow.h"
#include "TWPreferenceCtrl.h"
#include "TWTitlebarViewCtrl.h"

using apptest::LiveApp;

namespace {

bool settled(TWMainWindow* window, const QSize& size) {
    return apptest::waitFor([&] { return !window->isAnimating() && window->size() == size; }, 5000);
}

bool enabled(AppDelegate& app, TWMenuAction action) {
    return app.menuItem(action)->isEnabled();
}

}  // namespace

class AppShellTest : public QObject {
    Q_OBJECT
private slots:
    void startsOnTheScanViewCentredAndFixed();
    void showResultAndBackSwitchSizesAndStyles();
    void headerBarCarriesTitleButtonsAndMenu();
    void menuRulesFollowTheViewAndTheFolders();
    void shortcutsObeyTheSameRules();
    void settingsButtonOpensThePreferences();
    void backInFullScreenLeavesFullScreenFirst();
    void resultsMaximiseFromTheHeaderBarButTheScanViewDoesNot();
    void f11TogglesFullScreenAndEscapeLeavesItAfterClearingSearch();
    void backFromAFilledResultKeepsTheScanViewSize();
};

void AppShellTest::startsOnTheScanViewCentredAndFixed() {
    LiveApp app;
    TWMainWindow* window = app.delegate().wndMain();
    QVERIFY(settled(window, QSize(580, 440)));
    QCOMPARE(window->geometry(), AppDelegate::centredFrame(QSize(580, 440)));
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(window->geometry().center().x(), screen.center().x());
    QVERIFY(!window->isResizable());
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(window->currentContentView(), TWLoadFilesCtrl::shareLoadFilesCtrl()->view());
    QVERIFY(TWBrowserResoultViewCtrl::shared()->view()->isHidden());
    // The window manager draws the frame and the title, as for every window of the app.
    QVERIFY(!(window->windowFlags() & Qt::FramelessWindowHint));
    QCOMPARE(window->windowTitle(), QStringLiteral("Twinsift"));
}

void AppShellTest::showResultAndBackSwitchSizesAndStyles() {
    LiveApp app;
    TWMainWindow* window = app.delegate().wndMain();
    QVERIFY(settled(window, QSize(580, 440)));

    app.delegate().showResult();
    QVERIFY(settled(window, QSize(840, 630)));
    QCOMPARE(window->geometry(), AppDelegate::centredFrame(QSize(840, 630)));
    QVERIFY(window->isResizable());
    QVERIFY(window->maximumSize().width() > 840);
    QVERIFY(app.delegate().isResultShown());
    QVERIFY(TWLoadFilesCtrl::shareLoadFilesCtrl()->view()->isHidden());
    QVERIFY(!TWTitlebarViewCtrl::titleBarViewCtrl()->canSettings());

    // The browser's Back button goes through the delegate.
    QTest::mouseClick(TWBrowserResoultViewCtrl::shared()->backButton(), Qt::LeftButton);
    QVERIFY(settled(window, QSize(580, 440)));
    QVERIFY(!window->isResizable());
    QVERIFY(!app.delegate().isResultShown());
    QVERIFY(!TWTitlebarViewCtrl::titleBarViewCtrl()->canSettings());
}

void AppShellTest::headerBarCarriesTitleButtonsAndMenu() {
    LiveApp app;
    TWTitlebarViewCtrl* bar = TWTitlebarViewCtrl::titleBarViewCtrl();
    QVERIFY(bar);
    QCOMPARE(bar->height(), 40);
    QVERIFY(bar->canSettings());
    bar->setCanSettings(false);
    QVERIFY(!bar->settingsButton()->isVisible());
    bar->setCanSettings(true);
    QVERIFY(bar->settingsButton()->isVisible());
    // The scan view keeps its size, so full screen is offered only with the results.
    QVERIFY(!bar->fullScreenButton()->isEnabled());
    app.delegate().showResult();
    QVERIFY(bar->fullScreenButton()->isEnabled());

    QMenu* menu = bar->menuButton()->menu();
    QVERIFY(menu);
    QStringList titles;
    for (QAction* item : menu->actions()) {
        if (!item->isSeparator()) titles << item->text();
    }
    QCOMPARE(titles, (QStringList{"Open Folder…", "Clear", "Select All", "Preferences", "Twinsift Help",
                                  "About Twinsift", "Quit Twinsift"}));
    QCOMPARE(app.delegate().menuItem(TWMenuAction::openFolder)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(app.delegate().menuItem(TWMenuAction::selectAll)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    QCOMPARE(app.delegate().menuItem(TWMenuAction::showPreferences)->shortcut(),
             QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QCOMPARE(app.delegate().menuItem(TWMenuAction::showHelp)->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(app.delegate().menuItem(TWMenuAction::quit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void AppShellTest::menuRulesFollowTheViewAndTheFolders() {
    LiveApp app;
    AppDelegate& d = app.delegate();
    QVERIFY(enabled(d, TWMenuAction::openFolder));
    QVERIFY(!enabled(d, TWMenuAction::clearAction));
    QVERIFY(!enabled(d, TWMenuAction::selectAll));
    QVERIFY(enabled(d, TWMenuAction::showPreferences));
    QVERIFY(enabled(d, TWMenuAction::aboutWindow));

    twtest::TempDir tree;
    QVERIFY(apptest::dragAndDrop(TWLoadFilesCtrl::shareLoadFilesCtrl()->loadfileview(), {tree.mkdir("a")}));
    QVERIFY(enabled(d, TWMenuAction::clearAction));

    d.showResult();
    QVERIFY(!enabled(d, TWMenuAction::openFolder));
    QVERIFY(!enabled(d, TWMenuAction::clearAction));
    QVERIFY(enabled(d, TWMenuAction::selectAll));
    // Clear does nothing while the results show.
    d.clearAction();
    QCOMPARE(TWLoadFilesCtrl::shareLoadFilesCtrl()->saveFilesPathArray().size(), size_t(1));
}

void AppShellTest::shortcutsObeyTheSameRules() {
    LiveApp app;
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    twtest::TempDir tree;
    ctrl->addFolder({tree.mkdir("a")});
    ctrl->reloadData();
    app.delegate().showResult();
    // Triggering a disabled item (as a stale shortcut would) runs nothing.
    app.delegate().menuItem(TWMenuAction::clearAction)->trigger();
    QCOMPARE(ctrl->saveFilesPathArray().size(), size_t(1));
}

void AppShellTest::settingsButtonOpensThePreferences() {
    LiveApp app;
    QTest::mouseClick(TWTitlebarViewCtrl::titleBarViewCtrl()->settingsButton(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([] { return TWPreferenceCtrl::shared()->window()->isVisible(); }, 5000));
}

void AppShellTest::backInFullScreenLeavesFullScreenFirst() {
    LiveApp app;
    AppDelegate& d = app.delegate();
    TWMainWindow* window = d.wndMain();
    d.showResult();
    QVERIFY(settled(window, QSize(840, 630)));
    QTest::mouseClick(TWTitlebarViewCtrl::titleBarViewCtrl()->fullScreenButton(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([&] { return d.isFullScreen(); }, 5000));

    d.BackToScan();
    // The switch waits for full screen to end, then happens.
    QVERIFY(apptest::waitFor([&] { return !d.isFullScreen(); }, 5000));
    QVERIFY(!d.isFullScreenBack());
    QVERIFY(apptest::waitFor([&] { return !d.isResultShown(); }, 5000));
    // (The offscreen platform keeps the restored frame, so the size is not checked here.)
    QVERIFY(!window->isResizable());
}

void AppShellTest::resultsMaximiseFromTheHeaderBarButTheScanViewDoesNot() {
    LiveApp app;
    AppDelegate& d = app.delegate();
    TWMainWindow* window = d.wndMain();
    TWTitlebarViewCtrl* bar = TWTitlebarViewCtrl::titleBarViewCtrl();
    QVERIFY(settled(window, QSize(580, 440)));
    // The scan view keeps its size: a double click on the header bar changes nothing.
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
    QVERIFY(!window->isMaximized());
    QCOMPARE(window->size(), QSize(580, 440));

    d.showResult();
    QVERIFY(settled(window, QSize(840, 630)));
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
    QVERIFY(apptest::waitFor([&] { return window->isMaximized(); }, 5000));
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY(apptest::waitFor([&] { return window->frameGeometry().size() == screen.size(); }, 5000));
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
    QVERIFY(apptest::waitFor([&] { return !window->isMaximized(); }, 5000));
    QVERIFY(window->isResizable());

    // Back to the scan view from a maximised window restores the fixed frame.
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(40, 20));
    QVERIFY(apptest::waitFor([&] { return window->isMaximized(); }, 5000));
    d.BackToScan();
    QVERIFY(apptest::waitFor([&] { return !window->isMaximized(); }, 5000));
    QVERIFY(settled(window, QSize(580, 440)));
    QCOMPARE(window->minimumSize(), window->maximumSize());
}

void AppShellTest::f11TogglesFullScreenAndEscapeLeavesItAfterClearingSearch() {
    LiveApp app;
    AppDelegate& d = app.delegate();
    TWMainWindow* window = d.wndMain();
    // Not in the scan view.
    QTest::keyClick(window, Qt::Key_F11);
    QVERIFY(!window->isFullScreen());

    d.showResult();
    QVERIFY(settled(window, QSize(840, 630)));
    window->activateWindow();
    QTest::keyClick(window, Qt::Key_F11);
    QVERIFY(apptest::waitFor([&] { return d.isFullScreen(); }, 5000));
    QTest::keyClick(window, Qt::Key_F11);
    QVERIFY(apptest::waitFor([&] { return !d.isFullScreen(); }, 5000));

    QTest::keyClick(window, Qt::Key_F11);
    QVERIFY(apptest::waitFor([&] { return d.isFullScreen(); }, 5000));
    // Escape in a search field with text clears it and stays in full screen.
    auto* search = TWBrowserResoultViewCtrl::shared()->view()->findChild<QLineEdit*>();
    QVERIFY(search);
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("report"));
    QTest::keyClick(search, Qt::Key_Escape);
    QVERIFY(search->text().isEmpty());
    QVERIFY(window->isFullScreen());
    // The next Escape leaves full screen.
    QTest::keyClick(search, Qt::Key_Escape);
    QVERIFY(apptest::waitFor([&] { return !d.isFullScreen(); }, 5000));
}

// The results, once filled, are wider than the scan view; they must not hold the
// window wide after Back (found drawing the screenshots: 721 x 440).
void AppShellTest::backFromAFilledResultKeepsTheScanViewSize() {
    LiveApp app;
    twtest::TempDir tree("Twinsift");
    QVERIFY(browsertest::scanAndShow(app, browsertest::writeRealisticTree(tree)));
    TWMainWindow* window = app.delegate().wndMain();
    QVERIFY(settled(window, QSize(840, 630)));
    app.delegate().BackToScan();
    QVERIFY(settled(window, QSize(580, 440)));
    QCOMPARE(window->minimumSize(), QSize(580, 440));
}

QTEST_MAIN(AppShellTest)
#include "AppShell_test.moc"
