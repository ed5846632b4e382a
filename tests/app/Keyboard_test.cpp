// The keyboard and the right-click menus, through the real widgets and QTest key
// events: Space in the icon, file list and compare views (never checking a file
// outside the chosen folders), Delete and its confirmation, Ctrl+F and Escape on the
// search field, the Tab order and its visible focus ring, Enter in the scan view,
// Escape and Ctrl+W on the preferences and About windows, and the file and group menus.

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "BrowserTestSupport.h"
#include "app/TWAboutCtrl.h"
#include "app/TWBrowserKeyboard.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWCompareView.h"
#include "app/TWCompareViewController.h"
#include "app/TWDuplicateFilesViewCtrl.h"
#include "app/TWFileActions.h"
#include "app/TWFilesListViewController.h"
#include "app/TWFocusRing.h"
#include "app/TWIconView.h"
#include "app/TWIconViewController.h"
#include "app/TWLoadFilesCtrl.h"
#include "app/TWMainWindow.h"
#include "app/TWPreferenceCtrl.h"
#include "app/TWToolBar.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"
#include "platform/MainQueue.h"

using apptest::LiveApp;
using browsertest::browser;

namespace {

TWFilesListManager& files() {
    return TWFilesListManager::shareFilesListManager();
}

QListView* groupList() {
    return TWDuplicateFilesViewCtrl::shared()->duplicateFilesTableView();
}

// The realistic tree, and in Documents a note with a second copy reached through a
// link to a folder outside the chosen ones: that copy may never be checked.
struct Scanned {
    LiveApp app;
    twtest::TempDir tree{"Twinsift"};
    std::string inside;
    std::string outside;
    bool ok = false;

    Scanned() {
        std::vector<std::string> roots = browsertest::writeRealisticTree(tree);
        inside = tree.write("Documents/Precious note.txt", "words kept twice, one copy out of reach\n");
        outside = tree.write("Elsewhere/Precious note.txt", "words kept twice, one copy out of reach\n");
        tree.symlink(outside, "Documents/Link to note.txt");
        ok = browsertest::scanAndShow(app, roots);
    }
    QWidget* window() { return app.delegate().wndMain(); }
};

// Shows the note's group alone, every file of it selected, and nothing checked in any
// group.
bool showNoteGroup() {
    const int row = browsertest::rowOfGroupNamed("Precious note.txt");
    if (row < 0) return false;
    TWBrowserResoultViewCtrl* b = browser();
    if (TWDuplicateFilesManager::shared().selection().size() !=
        TWDuplicateFilesManager::shared().numberOfDisplayDuplicateFiles())
        b->selectAll();
    b->menuSmartChecked(TWBrowserResoultViewCtrl::kUncheckAllTag);
    browsertest::selectGroupRow(row);
    TWFilesListManager::IndexSet all;
    for (size_t i = 0; i < files().numberOfFilesItem(); ++i) all.insert(i);
    files().setSelection(all);
    browser()->updateDetailFilesState();
    return files().numberOfFilesItem() == 2;
}

// The row of the file at `path` in the file list, or -1.
int rowOf(const std::string& path) {
    for (size_t row = 0; row < files().numberOfFilesItem(); ++row)
        if (files().fileItemAtIndex(row)->filePath() == path) return int(row);
    return -1;
}

bool isChecked(const std::string& path) {
    const int row = rowOf(path);
    return row >= 0 && files().fileItemAtIndex(size_t(row))->isChecked();
}

// The widget that takes the keys in each view mode.
QWidget* fileViewOfMode(int mode) {
    switch (mode) {
        case TWBrowserResoultViewCtrl::kSlideMode:
            return TWFilesListViewController::shared()->tableView();
        case TWBrowserResoultViewCtrl::kCompareMode:
            return TWCompareViewController::shared()->view();
        default:
            return TWIconViewController::shared()->view();
    }
}

bool activate(QWidget* window) {
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

QAction* actionTitled(QMenu* menu, const QString& title) {
    for (QAction* action : menu->actions())
        if (action->text() == title) return action;
    return nullptr;
}

// Whether the focus ring shows around `widget`, outside its edges.
bool ringSurrounds(QWidget* widget) {
    TWFocusRing* follower = TWFocusRing::shared();
    if (!follower || follower->target() != widget) return false;
    QWidget* ring = follower->ring();
    const QRect area(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
    return ring->parentWidget() == widget->window() && ring->geometry().contains(area) && ring->geometry() != area;
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { apptest::setUpApplication(); }
    void spaceTogglesTheSelectedFilesInEveryViewButNeverAnOutsideOne();
    void deleteAsksFirstAndOnlyWhenSomethingIsChecked();
    void ctrlFFocusesTheSearchAndEscapeClearsIt();
    void tabFollowsTheLayoutWithAVisibleRing();
    void fileMenuActsOnTheSelectionAndRefusesAnOutsideCheck();
    void groupMenuChecksByRuleUnchecksAndIgnores();
    void enterPressesTheScanButton();
    void escapeAndCtrlWCloseThePreferencesAndEscapeTheAbout();
};

void KeyboardTest::spaceTogglesTheSelectedFilesInEveryViewButNeverAnOutsideOne() {
    Scanned s;
    QVERIFY(s.ok);
    QVERIFY(activate(s.window()));
    TWBrowserResoultViewCtrl* b = browser();
    for (int mode : {TWBrowserResoultViewCtrl::kIconMode, TWBrowserResoultViewCtrl::kSlideMode,
                     TWBrowserResoultViewCtrl::kCompareMode}) {
        b->viewModeChanged(mode);
        QVERIFY(showNoteGroup());
        QWidget* view = fileViewOfMode(mode);
        view->setFocus(Qt::TabFocusReason);
        const std::string label = "mode " + std::to_string(mode);
        QVERIFY2(rowOf(s.inside) >= 0 && rowOf(s.outside) >= 0, label.c_str());

        // Both selected: the inside copy is checked, the outside one refuses.
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY2(isChecked(s.inside), label.c_str());
        QVERIFY2(!isChecked(s.outside), label.c_str());
        QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("1"));
        QVERIFY(b->btnDelete()->isEnabled());
        // Everything that may be checked is: Space unchecks.
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY2(!isChecked(s.inside), label.c_str());
        QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("0"));

        // The outside copy alone: Space changes nothing, as its check box does not.
        files().setSelection({size_t(rowOf(s.outside))});
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY2(!isChecked(s.outside), label.c_str());
        QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("0"));
        QVERIFY(!b->btnDelete()->isEnabled());
    }
}

void KeyboardTest::deleteAsksFirstAndOnlyWhenSomethingIsChecked() {
    Scanned s;
    QVERIFY(s.ok);
    QVERIFY(activate(s.window()));
    QVERIFY(showNoteGroup());
    groupList()->setFocus(Qt::TabFocusReason);

    // Nothing checked: Delete does nothing at all.
    QVERIFY(!browser()->btnDelete()->isEnabled());
    int alerts = 0;
    auto answerWithEscape = [&alerts] {
        QTimer::singleShot(0, [&alerts] {
            if (!apptest::waitFor([] { return QApplication::activeModalWidget() != nullptr; }, 10000)) return;
            ++alerts;
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
        });
    };
    QTest::keyClick(groupList(), Qt::Key_Delete);
    QVERIFY(!browser()->isRemoving());
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    // Checked: Delete asks; Escape answers no and nothing is touched.
    QVERIFY(TWFileActions::setChecked({size_t(rowOf(s.inside))}, true));
    answerWithEscape();
    QTest::keyClick(groupList(), Qt::Key_Delete);
    // The checked files are compared with the kept ones first; then the question comes.
    QVERIFY(apptest::waitFor([&alerts] { return alerts == 1 && QApplication::activeModalWidget() == nullptr; }, 10000));
    QVERIFY(!browser()->isRemoving());
    QVERIFY(std::filesystem::exists(s.inside));
    QVERIFY(isChecked(s.inside));

    // In the search field Delete edits the text.
    QLineEdit* field = TWDuplicateFilesViewCtrl::shared()->searchField();
    field->setFocus(Qt::TabFocusReason);
    field->setText(QStringLiteral("ab"));
    field->setCursorPosition(0);
    QTest::keyClick(field, Qt::Key_Delete);
    QCOMPARE(field->text(), QStringLiteral("b"));
    QCOMPARE(alerts, 1);
}

void KeyboardTest::ctrlFFocusesTheSearchAndEscapeClearsIt() {
    Scanned s;
    QVERIFY(s.ok);
    QVERIFY(activate(s.window()));
    QLineEdit* field = TWDuplicateFilesViewCtrl::shared()->searchField();
    groupList()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(groupList(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(field->hasFocus());
    QVERIFY(ringSurrounds(field));

    QTest::keyClicks(field, QStringLiteral("Invoice"));
    QCOMPARE(field->text(), QStringLiteral("Invoice"));
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(field->text(), QString());
    QVERIFY(field->hasFocus());

    // Full screen: the first Escape clears the field, the next leaves full screen.
    auto* window = static_cast<TWMainWindow*>(s.window());
    window->toggleFullScreen();
    QVERIFY(apptest::waitFor([&] { return window->isFullScreen(); }, 5000));
    QTest::keyClicks(field, QStringLiteral("Beach"));
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(field->text(), QString());
    QVERIFY(window->isFullScreen());
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(apptest::waitFor([&] { return !window->isFullScreen(); }, 5000));
}

void KeyboardTest::tabFollowsTheLayoutWithAVisibleRing() {
    Scanned s;
    QVERIFY(s.ok);
    QVERIFY(activate(s.window()));
    TWBrowserResoultViewCtrl* b = browser();
    // The browser opens on the group list, never on Delete.
    QVERIFY(groupList()->hasFocus());
    QVERIFY(ringSurrounds(groupList()));

    for (int mode : {TWBrowserResoultViewCtrl::kIconMode, TWBrowserResoultViewCtrl::kCompareMode}) {
        b->viewModeChanged(mode);
        QVERIFY(showNoteGroup());
        TWFileActions::setChecked({size_t(rowOf(s.inside))}, true);  // Delete enabled
        QWidget* first = b->backButton();
        first->setFocus(Qt::TabFocusReason);
        std::vector<QWidget*> order{first};
        for (int step = 0; step < 60; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* now = QApplication::focusWidget();
            QVERIFY(now);
            if (now == first) break;
            QVERIFY2(ringSurrounds(now), qPrintable(now->objectName()));
            order.push_back(now);
        }
        auto at = [&](QWidget* widget) { return int(std::find(order.begin(), order.end(), widget) - order.begin()); };
        const int category = at(TWToolBar::shareToolBar()->categoryButtons().front());
        const int search = at(TWDuplicateFilesViewCtrl::shared()->searchField());
        const int groups = at(groupList());
        const int detail = at(fileViewOfMode(mode));
        const int smart = at(b->btnSmartChecked());
        const int remove = at(b->btnDelete());
        QVERIFY(remove < int(order.size()));  // reached, and seen
        QVERIFY(category < search);
        QVERIFY(search < groups);
        QVERIFY(groups < detail);
        QVERIFY(detail < smart);
        QVERIFY(smart < remove);
    }
}

void KeyboardTest::fileMenuActsOnTheSelectionAndRefusesAnOutsideCheck() {
    Scanned s;
    QVERIFY(s.ok);
    QVERIFY(activate(s.window()));
    TWBrowserResoultViewCtrl* b = browser();
    QVERIFY(showNoteGroup());
    TWIconView* icons = TWIconViewController::shared()->view();
    QStringList opened;
    TWFileActions::setOpener([&](const QString& path) {
        opened << path;
        return true;
    });
    std::vector<std::string> revealed;
    files().setRevealer([&](const std::vector<std::string>& paths) {
        tw::MainQueue::shared().post([&, paths] { revealed.insert(revealed.end(), paths.begin(), paths.end()); });
    });

    // A right-click on a file outside the selection selects it; Check is refused for
    // the outside copy.
    files().setSelection({});
    const int outside = rowOf(s.outside);
    std::unique_ptr<QMenu> menu(b->keyboard()->fileMenuAt(icons, icons->itemRect(outside).center()));
    QVERIFY(menu);
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{size_t(outside)}));
    QStringList titles;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) titles << action->text();
    QCOMPARE(titles, (QStringList{"Open", "Show in Folder", "Check", "Uncheck", "Ignore", "Copy Path"}));
    QVERIFY(!actionTitled(menu.get(), "Check")->isEnabled());
    QVERIFY(!actionTitled(menu.get(), "Uncheck")->isEnabled());
    actionTitled(menu.get(), "Open")->trigger();
    QCOMPARE(opened, QStringList{QString::fromStdString(s.outside)});
    actionTitled(menu.get(), "Show in Folder")->trigger();
    QVERIFY(apptest::waitFor([&] { return !revealed.empty(); }, 5000));
    QCOMPARE(revealed, std::vector<std::string>{s.outside});

    // On both files: Copy Path copies both, Check checks the one that may be.
    TWFilesListManager::IndexSet both{0, 1};
    files().setSelection(both);
    menu.reset(b->keyboard()->fileMenuAt(icons, icons->itemRect(rowOf(s.inside)).center()));
    QCOMPARE(files().selection(), both);
    QVERIFY(!actionTitled(menu.get(), "Open")->isEnabled());  // one file at a time
    actionTitled(menu.get(), "Copy Path")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text().split('\n'),
             (QStringList{QString::fromStdString(files().fileItemAtIndex(0)->filePath()),
                          QString::fromStdString(files().fileItemAtIndex(1)->filePath())}));
    actionTitled(menu.get(), "Check")->trigger();
    QVERIFY(isChecked(s.inside));
    QVERIFY(!isChecked(s.outside));
    QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("1"));

    // Ignore on the inside copy: the group of two goes.
    menu.reset(b->keyboard()->fileMenuAt(icons, icons->itemRect(rowOf(s.inside)).center()));
    files().setSelection({size_t(rowOf(s.inside))});
    menu.reset(b->keyboard()->fileMenuAt(icons, icons->itemRect(rowOf(s.inside)).center()));
    actionTitled(menu.get(), "Ignore")->trigger();
    QCOMPARE(browsertest::rowOfGroupNamed("Precious note.txt"), -1);
    QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("0"));

    // A real right-click pops the menu up over the view.
    QVERIFY(browsertest::rowOfGroupNamed("Invoice 2023-04.docx") >= 0);
    browsertest::selectGroupRow(browsertest::rowOfGroupNamed("Invoice 2023-04.docx"));
    const QPoint point = icons->itemRect(0).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, point, icons->viewport()->mapToGlobal(point));
    QApplication::sendEvent(icons->viewport(), &click);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(popup);
    QCOMPARE(popup->objectName(), QStringLiteral("fileMenu"));
    popup->close();
    TWFileActions::setOpener(nullptr);
    files().setRevealer(nullptr);
}

void KeyboardTest::groupMenuChecksByRuleUnchecksAndIgnores() {
    Scanned s;
    QVERIFY(s.ok);
    QVERIFY(activate(s.window()));
    TWBrowserResoultViewCtrl* b = browser();
    b->selectAll();
    b->menuSmartChecked(TWBrowserResoultViewCtrl::kUncheckAllTag);
    const int row = browsertest::rowOfGroupNamed("Invoice 2023-04.docx");
    QVERIFY(row >= 0);
    browsertest::selectGroupRow(row == 0 ? 1 : 0);
    std::unique_ptr<QMenu> menu(b->keyboard()->groupMenu(row, groupList()));
    // The right-clicked group became the selection.
    QCOMPARE(TWDuplicateFilesManager::shared().selection(), (TWDuplicateFilesManager::IndexSet{size_t(row)}));
    QMenu* rules = menu->findChild<QMenu*>(QStringLiteral("checkByRuleMenu"));
    QVERIFY(rules);
    QVERIFY(actionTitled(rules, "Select Newer Copies"));
    QVERIFY(!actionTitled(rules, "Select Larger Images"));  // not for a document group

    files().uncheckedAll();
    actionTitled(rules, "Select Newer Copies")->trigger();
    QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("1"));
    actionTitled(menu.get(), "Uncheck All")->trigger();
    QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("0"));

    // The Menu key opens the same menu for the selected group.
    groupList()->setFocus(Qt::TabFocusReason);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QApplication::sendEvent(groupList(), &key);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(popup);
    QCOMPARE(popup->objectName(), QStringLiteral("groupMenu"));
    popup->close();

    const auto paths = browsertest::resultPaths();
    actionTitled(menu.get(), "Ignore Group")->trigger();
    QCOMPARE(browsertest::rowOfGroupNamed("Invoice 2023-04.docx"), -1);
    // The other groups stay.
    QVERIFY(browsertest::rowOfGroupNamed("Precious note.txt") >= 0);
    QVERIFY(browsertest::resultPaths().size() < paths.size());
}

void KeyboardTest::enterPressesTheScanButton() {
    LiveApp app;
    QVERIFY(activate(app.delegate().wndMain()));
    twtest::TempDir tree{"Twinsift"};
    TWDuplicateFilesManager::resetShared();
    TWFilesListManager::resetShareFilesListManager();
    TWLoadFilesCtrl* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    QTest::keyClick(ctrl->btnScan()->window(), Qt::Key_Return);  // no folder: nothing happens
    QVERIFY(!app.delegate().isResultShown());
    ctrl->addFolder(browsertest::writeRealisticTree(tree));
    ctrl->reloadData();
    QTest::keyClick(ctrl->btnScan()->window(), Qt::Key_Return);
    QVERIFY(apptest::waitFor([&] { return app.delegate().isResultShown(); }, 60000));
}

void KeyboardTest::escapeAndCtrlWCloseThePreferencesAndEscapeTheAbout() {
    LiveApp app;
    TWPreferenceCtrl* preferences = TWPreferenceCtrl::shared();
    preferences->showWindow();
    QVERIFY(activate(preferences->window()));
    QTest::keyClick(preferences->window(), Qt::Key_Escape);
    QVERIFY(!preferences->window()->isVisible());

    preferences->showWindow();
    QVERIFY(activate(preferences->window()));
    QTest::keyClick(preferences->window(), Qt::Key_W, Qt::ControlModifier);
    QVERIFY(!preferences->window()->isVisible());

    TWAboutCtrl* about = TWAboutCtrl::shared(app.delegate().wndMain());
    about->showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QTest::keyClick(about, Qt::Key_Escape);
    QVERIFY(!about->isVisible());
    TWAboutCtrl::resetShared();
    TWPreferenceCtrl::resetShared();
}

QTEST_MAIN(KeyboardTest)
#include "Keyboard_test.moc"
