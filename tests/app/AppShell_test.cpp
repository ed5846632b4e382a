// The application shell: window sizes and styles of the two views, the header bar's
// buttons, the menu and its rules, full-screen tracking and going back.

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "AppTestSupport.h"
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
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
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
    QCOMPARE(bar->title(), QStringLiteral("Twinsift"));
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

QTEST_MAIN(AppShellTest)
#include "AppShell_test.moc"
