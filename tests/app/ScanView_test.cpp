// The scan view before a scan, driven through its widgets: gathering folders by drop
// and by hand, the package rule of drags, folder pages and the hover remove button.

#include <QTest>
#include <QToolButton>

#include "AppTestSupport.h"
#include "app/TWLoadFileDragView.h"
#include "app/TWLoadFilesCtrl.h"
#include "prefs/TWPreference.h"

using apptest::LiveApp;

class ScanViewTest : public QObject {
    Q_OBJECT
private slots:
    void addingTheSameFolderTwiceKeepsOneAndNestedFoldersStay();
    void dropKeepsOnlyTheFolders();
    void packagesInADragFollowTheSkipSetting();
    void fourFoldersGiveTwoPagesAndRemovingTheLastGoesBack();
    void removeButtonAppearsOnHoverAndRemovesThatFolder();
    void faceOfTheReadyView();
};

void ScanViewTest::addingTheSameFolderTwiceKeepsOneAndNestedFoldersStay() {
    LiveApp app;
    twtest::TempDir tree;
    std::string a = tree.mkdir("a"), inner = tree.mkdir("a/inner"), b = tree.mkdir("b");
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();

    QVERIFY(apptest::dragAndDrop(ctrl->loadfileview(), {a, b}));
    QVERIFY(apptest::dragAndDrop(ctrl->loadfileview(), {b, a, inner}));
    ctrl->addFolder({a});

    QCOMPARE(ctrl->saveFilesPathArray(), (std::vector<std::string>{a, b, inner}));
    // Exact text decides: another spelling of the same folder is another entry.
    ctrl->addFolder({a + "/"});
    QCOMPARE(ctrl->saveFilesPathArray().size(), size_t(4));
}

void ScanViewTest::dropKeepsOnlyTheFolders() {
    LiveApp app;
    twtest::TempDir tree;
    std::string one = tree.mkdir("one"), two = tree.mkdir("two"), file = tree.write("notes.txt", "x");
    std::string missing = tree / "gone";
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();

    QVERIFY(apptest::dragAndDrop(ctrl->loadfileview(), {one, file, two, missing}));
    QCOMPARE(ctrl->saveFilesPathArray(), (std::vector<std::string>{one, two}));
    QVERIFY(ctrl->btnScan()->isEnabled());

    // A drop of files only still succeeds and adds nothing.
    QVERIFY(apptest::dragAndDrop(ctrl->loadfileview(), {file}));
    QCOMPARE(ctrl->saveFilesPathArray().size(), size_t(2));
}

void ScanViewTest::packagesInADragFollowTheSkipSetting() {
    LiveApp app;
    twtest::TempDir tree;
    std::string folder = tree.mkdir("photos");
    std::string bundle = tree.mkdir("Tool.app");
    tree.write("Tool.app/Contents/Info.plist", "<plist/>");
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();

    TWPreference::shared().setFilterPackage(true);
    QVERIFY(!apptest::dragEnter(ctrl->loadfileview(), {folder, bundle}));
    QVERIFY(!apptest::dragAndDrop(ctrl->loadfileview(), {folder, bundle}));
    QVERIFY(ctrl->saveFilesPathArray().empty());
    QVERIFY(apptest::dragEnter(ctrl->loadfileview(), {folder}));

    TWPreference::shared().setFilterPackage(false);
    QVERIFY(apptest::dragAndDrop(ctrl->loadfileview(), {folder, bundle}));
    QCOMPARE(ctrl->saveFilesPathArray(), (std::vector<std::string>{folder, bundle}));
}

void ScanViewTest::fourFoldersGiveTwoPagesAndRemovingTheLastGoesBack() {
    LiveApp app;
    twtest::TempDir tree;
    std::vector<std::string> folders;
    for (const char* name : {"w", "x", "y", "z"}) folders.push_back(tree.mkdir(name));
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    auto* view = ctrl->loadfileview();
    QVERIFY(apptest::dragAndDrop(view, folders));

    QCOMPARE(TWLoadFileDragView::numberOfPages(4), uint64_t(2));
    auto first = view->visibleSlots();
    QCOMPARE(first.size(), size_t(3));
    const double third = (view->width() - 32) / 3.0;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(first[i].folderIndex, int64_t(i));
        QVERIFY(qAbs(first[i].frame.left() - (16 + i * third)) < 0.5);
    }
    QCOMPARE(ctrl->TWLoadFileDragViewLabelAtIndex(*view, 1), QStringLiteral("x"));

    // The previous arrow does nothing on the first page; the next one turns it.
    QTest::mouseClick(view, Qt::LeftButton, {}, view->previousPageRect().center().toPoint());
    QCOMPARE(view->curIndexOfPages(), uint64_t(0));
    QTest::mouseClick(view, Qt::LeftButton, {}, view->nextPageRect().center().toPoint());
    QCOMPARE(view->curIndexOfPages(), uint64_t(1));
    auto second = view->visibleSlots();
    QCOMPARE(second.size(), size_t(1));
    QCOMPARE(second[0].folderIndex, int64_t(3));
    QVERIFY(qAbs(second[0].frame.left() - (16 + third)) < 0.5);  // the middle third

    // Removing the only folder of the last page shows the first page again.
    ctrl->TWLoadFileDragViewRemoveFolderAtIndex(*view, 3);
    QCOMPARE(view->curIndexOfPages(), uint64_t(0));
    QCOMPARE(view->visibleSlots().size(), size_t(3));
    // An index out of range changes nothing.
    ctrl->TWLoadFileDragViewRemoveFolderAtIndex(*view, 7);
    ctrl->TWLoadFileDragViewRemoveFolderAtIndex(*view, -1);
    QCOMPARE(ctrl->saveFilesPathArray().size(), size_t(3));
}

void ScanViewTest::removeButtonAppearsOnHoverAndRemovesThatFolder() {
    LiveApp app;
    twtest::TempDir tree;
    std::string a = tree.mkdir("a"), b = tree.mkdir("b");
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    auto* view = ctrl->loadfileview();
    QVERIFY(apptest::dragAndDrop(view, {a, b}));

    auto shown = view->visibleSlots();
    QCOMPARE(shown.size(), size_t(2));
    apptest::hover(view, shown[1].frame.center().toPoint());
    QToolButton* button = view->visibleRemoveButton();
    QVERIFY(button);
    QVERIFY(button->isVisible());
    QCOMPARE(button->geometry().topLeft(), shown[1].iconRect.topLeft().toPoint());
    QCOMPARE(button->size(), QSize(18, 18));

    // Leaving every slot takes it away again.
    apptest::hover(view, QPoint(1, 1));
    QVERIFY(!view->visibleRemoveButton());

    apptest::hover(view, shown[1].frame.center().toPoint());
    QTest::mouseClick(view->visibleRemoveButton(), Qt::LeftButton);
    QCOMPARE(ctrl->saveFilesPathArray(), (std::vector<std::string>{a}));
}

void ScanViewTest::faceOfTheReadyView() {
    LiveApp app;
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    QCOMPARE(ctrl->loadFilesStatus(), int64_t(0));
    QCOMPARE(ctrl->scanButtonPicture(), QStringLiteral("btn_scan"));
    QCOMPARE(ctrl->addButtonPicture(), QStringLiteral("button_plus"));
    QVERIFY(!ctrl->btnScan()->isEnabled());
    QVERIFY(ctrl->btnImportFolders()->isEnabled());
    QVERIFY(!ctrl->canClearFolder());

    twtest::TempDir tree;
    ctrl->addFolder({tree.mkdir("a")});
    ctrl->reloadData();
    QVERIFY(ctrl->btnScan()->isEnabled());
    QVERIFY(ctrl->canClearFolder());

    // Clear empties the list and stays ready.
    app.delegate().clearAction();
    QVERIFY(ctrl->saveFilesPathArray().empty());
    QCOMPARE(ctrl->loadFilesStatus(), int64_t(0));
    QVERIFY(!ctrl->btnScan()->isEnabled());
}

QTEST_MAIN(ScanViewTest)
#include "ScanView_test.moc"
