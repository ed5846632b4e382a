// The results browser driven through its widgets on a scanned tree of photos,
// documents and music: the status line and Delete, categories and the filter reset,
// search, sort, select all, the smart-check menu, the view modes, the icon, slide and
// compare views, ignoring, and the overview.

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include "BrowserTestSupport.h"
#include "app/TWBrowserKeyboard.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWCompareView.h"
#include "app/TWCompareViewController.h"
#include "app/TWDuplicateFilesViewCtrl.h"
#include "app/TWFilesListModel.h"
#include "app/TWFilesListViewController.h"
#include "app/TWIconView.h"
#include "app/TWIconViewController.h"
#include "app/TWMainWindow.h"
#include "app/TWOverView.h"
#include "app/TWOverViewItemView.h"
#include "app/TWOverViewerCtrl.h"
#include "app/TWQuickLookViewCtrl.h"
#include "app/TWSlideViewController.h"
#include "app/TWToolBar.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"
#include "platform/MainQueue.h"
#include "prefs/TWPreference.h"

using apptest::LiveApp;
using browsertest::actionTagged;
using browsertest::browser;
using browsertest::files;
using browsertest::manager;

namespace {

TWToolBarButton* categoryButton(TWCategory category) {
    return TWToolBar::shareToolBar()->categoryButtons()[size_t(category)];
}

std::vector<std::string> displayedNames() {
    std::vector<std::string> names;
    for (size_t row = 0; row < manager().numberOfDisplayDuplicateFiles(); ++row)
        names.push_back(manager().duplicateFileForDisplayAtIndex(row)->filename());
    return names;
}

// A scanned tree and the live app that shows it.
struct Scanned {
    LiveApp app;
    twtest::TempDir tree{"Twinsift"};
    bool ok = browsertest::scanAndShow(app, browsertest::writeRealisticTree(tree));
};

}  // namespace

class BrowserTest : public QObject {
    Q_OBJECT
private slots:
    void statusLineAndDeleteFollowTheMarks();
    void categoryChangeResetsTheFilterButTheOverviewDoesNot();
    void searchNarrowsTheGroupsAndTheFileList();
    void sortTwiceReturnsToTheFirstDirection();
    void selectAllTwiceSelectsNothing();
    void similarOnlySmartCheckItemsNeedASimilarGroup();
    void smartSelectActsOnTheSelectedOrAllGroups();
    void statusLineElidesWhenNarrowAndModeButtonsStayPut();
    void viewModesSwapTheDetailArea();
    void iconViewCheckChangesTheStatusLineAndDelete();
    void iconViewSelectionWithCtrlAndShift();
    void iconViewGeometry();
    void ignoringTheLastButOneFileDropsTheGroup();
    void compareViewCardsCheckRevealAndIgnore();
    void slidePreviewShowsTextImagesAndTheDefault();
    void overviewRingLegendAndPick();
    void splitViewKeepsItsWidthRules();
};

void BrowserTest::statusLineAndDeleteFollowTheMarks() {
    Scanned s;
    QVERIFY(s.ok);
    TWBrowserResoultViewCtrl* b = browser();
    // The scan's rule checked all but one file of each group.
    const uint64_t checked = manager().numberOfFilesCheckedToRemoved();
    QVERIFY(checked > 0);
    QCOMPARE(
        b->statusInfoRuns(),
        QStringList({QString::number(checked), QStringLiteral(" files selected. "),
                     QString::fromStdString(TWFileUtility::stringWithSize(manager().sizeOfFilesCheckedToRemoved())),
                     QStringLiteral(" of storage space will be freed up.")}));
    QVERIFY(b->btnDelete()->isEnabled());

    // Uncheck All on every group.
    b->selectAll();
    actionTagged(b->smartCheckMenu(), TWBrowserResoultViewCtrl::kUncheckAllTag)->trigger();
    QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("0"));
    QCOMPARE(b->statusInfoRuns().value(2), QString::fromStdString(TWFileUtility::stringWithSize(0)));
    QVERIFY(!b->btnDelete()->isEnabled());
    QVERIFY(browsertest::checkedPaths().empty());
    // The line may be elided at this width; the tooltip always holds all of it.
    QVERIFY(b->lblStatusInfo()->toolTip().endsWith(QStringLiteral(" of storage space will be freed up.")));
}

void BrowserTest::categoryChangeResetsTheFilterButTheOverviewDoesNot() {
    Scanned s;
    QVERIFY(s.ok);
    auto* groups = TWDuplicateFilesViewCtrl::shared();
    QVERIFY(groups->tabBar()->isHidden());

    QTest::mouseClick(categoryButton(TWCategory_images), Qt::LeftButton);
    QCOMPARE(manager().category(), TWCategory_images);
    QVERIFY(groups->tabBar()->isVisible());
    QCOMPARE(categoryButton(TWCategory_images)->image(), QStringLiteral("toolBar_selected"));
    QCOMPARE(categoryButton(TWCategory_allFiles)->image(), QString());
    QCOMPARE(groups->btnDuplicateFilter()->image(), QStringLiteral("duplicate_selected"));
    // The tabs sit as a pair around the centre.
    const int centre = groups->tabBar()->width() / 2;
    QCOMPARE(groups->btnDuplicateFilter()->geometry().right() + 1, centre - 8);
    QCOMPARE(groups->btnSimilarFilter()->geometry().left(), centre + 8);

    QTest::mouseClick(groups->btnSimilarFilter(), Qt::LeftButton);
    QCOMPARE(manager().filterMethod(), TWFilterMethodIncludingSimilar);
    QCOMPARE(groups->btnSimilarFilter()->image(), QStringLiteral("similar_selected"));
    QCOMPARE(manager().selection(), (TWDuplicateFilesManager::IndexSet{0}));

    // Leaving Images resets the filter.
    QTest::mouseClick(categoryButton(TWCategory_music), Qt::LeftButton);
    QCOMPARE(manager().category(), TWCategory_music);
    QCOMPARE(manager().filterMethod(), TWFilterMethodExcludingSimilar);
    QVERIFY(groups->tabBar()->isHidden());
    QCOMPARE(categoryButton(TWCategory_music)->textColor(), QColor(Qt::white));

    // Back in Images with Similar, then a category picked in the overview keeps it.
    QTest::mouseClick(categoryButton(TWCategory_images), Qt::LeftButton);
    QTest::mouseClick(groups->btnSimilarFilter(), Qt::LeftButton);
    QTest::mouseClick(TWToolBar::shareToolBar()->overviewBtn(), Qt::LeftButton);
    QVERIFY(browser()->isOverviewOnScreen());
    QCOMPARE(TWToolBar::shareToolBar()->overViewButtonImage(), QStringLiteral("btn_overiewer_selected"));
    QCOMPARE(categoryButton(TWCategory_images)->image(), QString());
    TWOverView* ring = TWOverViewerCtrl::shared()->overView();
    const double middle = ring->startAngleOf(TWCategory_documents) + ring->spanOf(TWCategory_documents) / 2;
    const double radius = (ring->outerRadius() + ring->innerRadius()) / 2;
    const QPointF centreOfRing = QRectF(ring->rect()).center();
    const QPoint onDocuments =
        (centreOfRing + QPointF(std::sin(middle * M_PI / 180), -std::cos(middle * M_PI / 180)) * radius).toPoint();
    QCOMPARE(ring->categoryAt(onDocuments), int(TWCategory_documents));
    browsertest::click(ring, onDocuments);
    QVERIFY(browser()->isSplitViewOnScreen());
    QCOMPARE(manager().category(), TWCategory_documents);
    QCOMPARE(manager().filterMethod(), TWFilterMethodIncludingSimilar);
    QCOMPARE(TWToolBar::shareToolBar()->categorySelected(), TWCategory_documents);
    QVERIFY(!TWToolBar::shareToolBar()->overviewSelected());
}

void BrowserTest::searchNarrowsTheGroupsAndTheFileList() {
    Scanned s;
    QVERIFY(s.ok);
    const size_t all = manager().numberOfDisplayDuplicateFiles();
    QLineEdit* field = TWDuplicateFilesViewCtrl::shared()->searchField();
    QTest::keyClicks(field, QStringLiteral("report"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(displayedNames().size(), size_t(1));
    QVERIFY(displayedNames()[0].find("Quarterly Report") == 0);
    QCOMPARE(manager().selection(), (TWDuplicateFilesManager::IndexSet{0}));
    // The file list shows the found group's three files.
    QCOMPARE(files().numberOfFilesItem(), size_t(3));
    QCOMPARE(TWIconViewController::shared()->view()->numberOfItems(), 3);

    // Typing without Return searches after a pause; clearing brings everything back.
    field->clear();
    QTest::keyClicks(field, QStringLiteral("zzz-nothing"));
    QVERIFY(apptest::waitFor([] { return manager().numberOfDisplayDuplicateFiles() == 0; }, 5000));
    QCOMPARE(files().numberOfFilesItem(), size_t(0));
    field->clear();
    QVERIFY(apptest::waitFor([&] { return manager().numberOfDisplayDuplicateFiles() == all; }, 5000));
}

void BrowserTest::sortTwiceReturnsToTheFirstDirection() {
    Scanned s;
    QVERIFY(s.ok);
    auto* groups = TWDuplicateFilesViewCtrl::shared();
    QAction* byName = actionTagged(groups->sortMenu(), TWSortTypeName);
    QAction* bySize = actionTagged(groups->sortMenu(), TWSortTypeSize);
    byName->trigger();
    const bool first = manager().sortAsending();
    const auto firstOrder = displayedNames();
    byName->trigger();
    QCOMPARE(manager().sortAsending(), !first);
    auto reversed = firstOrder;
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(displayedNames(), reversed);
    byName->trigger();
    QCOMPARE(manager().sortAsending(), first);
    QCOMPARE(displayedNames(), firstOrder);
    // Another key keeps the direction.
    bySize->trigger();
    QCOMPARE(manager().sortType(), TWSortTypeSize);
    QCOMPARE(manager().sortAsending(), first);
    QCOMPARE(manager().selection(), (TWDuplicateFilesManager::IndexSet{0}));
}

void BrowserTest::selectAllTwiceSelectsNothing() {
    Scanned s;
    QVERIFY(s.ok);
    QAction* selectAll = s.app.delegate().menuItem(TWMenuAction::selectAll);
    selectAll->trigger();
    const size_t rows = manager().numberOfDisplayDuplicateFiles();
    QCOMPARE(manager().selection().size(), rows);
    QListView* list = TWDuplicateFilesViewCtrl::shared()->duplicateFilesTableView();
    QCOMPARE(size_t(list->selectionModel()->selectedRows().size()), rows);
    QVERIFY(files().numberOfFilesItem() > rows);
    selectAll->trigger();
    QVERIFY(manager().selection().empty());
    QVERIFY(list->selectionModel()->selectedRows().isEmpty());
    QCOMPARE(files().numberOfFilesItem(), size_t(0));
}

void BrowserTest::similarOnlySmartCheckItemsNeedASimilarGroup() {
    Scanned s;
    QVERIFY(s.ok);
    TWBrowserResoultViewCtrl* b = browser();
    QTest::mouseClick(categoryButton(TWCategory_documents), Qt::LeftButton);
    b->updateSmartCheckMenuItems();
    for (int tag = 0; tag <= TWBrowserResoultViewCtrl::kUncheckAllTag; ++tag) {
        const bool similarOnly =
            tag == TWCheckMethodBestPicture || (tag >= TWCheckMethodHighQuality && tag <= TWCheckMethodLowResolution);
        QCOMPARE(actionTagged(b->smartCheckMenu(), tag)->isVisible(), !similarOnly);
    }

    // The images as similar groups: the selected group is one.
    QTest::mouseClick(categoryButton(TWCategory_images), Qt::LeftButton);
    QTest::mouseClick(TWDuplicateFilesViewCtrl::shared()->btnSimilarFilter(), Qt::LeftButton);
    const int hills = browsertest::rowOfGroupNamed("Green Hills.jpg");
    QVERIFY(hills >= 0);
    browsertest::selectGroupRow(hills);
    QVERIFY(files().containSimilarItem());
    QTest::mouseClick(b->btnSmartChecked(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([&] { return b->smartCheckMenu()->isVisible(); }, 5000));
    for (int tag = TWCheckMethodHighQuality; tag <= TWCheckMethodBestPicture; ++tag)
        QVERIFY(actionTagged(b->smartCheckMenu(), tag)->isVisible());
    // Keep the larger copy: the small one gets the mark.
    actionTagged(b->smartCheckMenu(), TWCheckMethodLowerQuality)->trigger();
    auto group = manager().duplicateFileForDisplayAtIndex(size_t(hills));
    // The hills and their edited copy, without the other landscapes drawn alike.
    QCOMPARE(group->itemsOfFileUtility().size(), size_t(2));
    for (const auto& file : group->itemsOfFileUtility()) {
        QVERIFY(file->filePath().find("Green Hills") != std::string::npos);
        QCOMPARE(file->isChecked(), file->filePath().find("(small)") != std::string::npos);
    }
    // The best picture is the larger one too, and Uncheck All is no rule.
    actionTagged(b->smartCheckMenu(), TWBrowserResoultViewCtrl::kUncheckAllTag)->trigger();
    actionTagged(b->smartCheckMenu(), TWCheckMethodBestPicture)->trigger();
    b->smartCheckMenu()->close();
    for (const auto& file : group->itemsOfFileUtility())
        QCOMPARE(file->isChecked(), file->filePath().find("(small)") != std::string::npos);
}

void BrowserTest::smartSelectActsOnTheSelectedOrAllGroups() {
    Scanned s;
    QVERIFY(s.ok);
    TWBrowserResoultViewCtrl* b = browser();
    QTest::mouseClick(categoryButton(TWCategory_documents), Qt::LeftButton);
    const auto groups = manager().displayDuplicateFiles();
    QVERIFY2(groups.size() >= 2, "the sample needs two document groups");
    const auto checkedIn = [](const auto& group) { return group->numberOfChecked(); };
    for (const auto& group : groups) QVERIFY(checkedIn(group) > 0);
    // The menu says what it acts on and offers both; the selected groups at first.
    QCOMPARE(b->smartScopeSelected()->text(), QStringLiteral("Selected groups"));
    QCOMPARE(b->smartScopeAll()->text(), QStringLiteral("All groups"));
    QVERIFY(b->smartCheckMenu()->actions().contains(b->smartScopeAll()));
    QVERIFY(b->smartScopeSelected()->isChecked());
    QVERIFY(!b->smartSelectActsOnAllGroups());
    QCOMPARE(b->btnSmartChecked()->toolTip(), QStringLiteral("Smart Select acts on the selected groups"));

    browsertest::selectGroupRow(0);
    actionTagged(b->smartCheckMenu(), TWBrowserResoultViewCtrl::kUncheckAllTag)->trigger();
    QCOMPARE(checkedIn(groups[0]), uint64_t(0));
    for (size_t i = 1; i < groups.size(); ++i) QVERIFY(checkedIn(groups[i]) > 0);

    // All groups: a rule reaches the groups not selected too.
    b->smartScopeAll()->trigger();
    QVERIFY(b->smartSelectActsOnAllGroups() && !b->smartScopeSelected()->isChecked());
    QCOMPARE(b->btnSmartChecked()->toolTip(), QStringLiteral("Smart Select acts on all groups"));
    actionTagged(b->smartCheckMenu(), TWBrowserResoultViewCtrl::kUncheckAllTag)->trigger();
    for (const auto& group : groups) QCOMPARE(checkedIn(group), uint64_t(0));
    QCOMPARE(b->statusInfoRuns().value(0), QString::number(manager().numberOfFilesCheckedToRemoved()));
    actionTagged(b->smartCheckMenu(), TWCheckMethodNewer)->trigger();
    for (const auto& group : groups) QCOMPARE(checkedIn(group), uint64_t(group->numberOfFiles() - 1));

    // A group's own menu keeps to that group whatever Smart Select acts on.
    std::unique_ptr<QMenu> menu(b->keyboard()->groupMenu(1, nullptr));
    for (QAction* action : menu->actions())
        if (action->text() == QStringLiteral("Uncheck All")) action->trigger();
    QCOMPARE(checkedIn(groups[1]), uint64_t(0));
    QVERIFY(checkedIn(groups[0]) > 0);
    b->smartScopeSelected()->trigger();
    QVERIFY(!b->smartSelectActsOnAllGroups());
}

void BrowserTest::statusLineElidesWhenNarrowAndModeButtonsStayPut() {
    Scanned s;
    QVERIFY(s.ok);
    TWBrowserResoultViewCtrl* b = browser();
    QLabel* label = b->lblStatusInfo();
    const QString whole = b->statusInfoRuns().join(QString());
    auto shown = [&] {
        QTextDocument document;
        document.setHtml(label->text());
        return document.toPlainText();
    };
    label->resize(90, label->height());
    QVERIFY(shown().endsWith(QChar(0x2026)));
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(shown()) <= label->contentsRect().width());
    QCOMPARE(label->toolTip(), whole);
    label->resize(2000, label->height());
    QCOMPARE(shown(), whole);

    // The slider hides outside the icon view; the mode buttons beside it do not move.
    QWidget* bar = b->btnCompareViewMode()->parentWidget();
    QTest::mouseClick(b->btnIconViewMode(), Qt::LeftButton);
    bar->layout()->activate();
    const QPoint iconModeAt = b->btnCompareViewMode()->pos();
    QTest::mouseClick(b->btnSlideViewMode(), Qt::LeftButton);
    bar->layout()->activate();
    QVERIFY(b->sldIconSize()->isHidden());
    QCOMPARE(b->btnCompareViewMode()->pos(), iconModeAt);
}

void BrowserTest::viewModesSwapTheDetailArea() {
    Scanned s;
    QVERIFY(s.ok);
    TWBrowserResoultViewCtrl* b = browser();
    QCOMPARE(b->viewMode(), 0);
    QVERIFY(TWIconViewController::shared()->view()->isVisible());
    QVERIFY(b->sldIconSize()->isVisible());
    QCOMPARE(b->btnIconViewMode()->image(), QStringLiteral("iconlist_selected"));

    QTest::mouseClick(b->btnCompareViewMode(), Qt::LeftButton);
    QCOMPARE(b->viewMode(), 2);
    QVERIFY(TWCompareViewController::shared()->view()->isVisible());
    QVERIFY(!TWIconViewController::shared()->view()->isVisible());
    QVERIFY(!b->sldIconSize()->isVisible());
    QCOMPARE(b->btnCompareViewMode()->image(), QStringLiteral("comparelist_selected"));
    QCOMPARE(b->btnIconViewMode()->image(), QStringLiteral("iconlist_normal"));
    QCOMPARE(b->imgSplitViewMode1(), QStringLiteral("dark_split"));
    QCOMPARE(b->imgSplitViewMode2(), QStringLiteral("lite_split"));
    // The slider acts only in icon mode.
    const double scale = TWIconViewController::shared()->scalePercent();
    b->scaleIconSize(90);
    QCOMPARE(TWIconViewController::shared()->scalePercent(), scale);

    // Pressing the current mode changes nothing.
    QTest::mouseClick(b->btnCompareViewMode(), Qt::LeftButton);
    QCOMPARE(b->viewMode(), 2);
    QTest::mouseClick(b->btnSlideViewMode(), Qt::LeftButton);
    QVERIFY(TWSlideViewController::shared()->view()->isVisible());
    QVERIFY(TWFilesListViewController::shared()->view()->isVisible());
    QCOMPARE(TWFilesListViewController::shared()->tableView()->model()->rowCount(), int(files().numberOfFilesItem()));
    QTest::mouseClick(b->btnIconViewMode(), Qt::LeftButton);
    b->sldIconSize()->setValue(100);
    QCOMPARE(TWIconViewController::shared()->scalePercent(), 1.0);
}

void BrowserTest::iconViewCheckChangesTheStatusLineAndDelete() {
    Scanned s;
    QVERIFY(s.ok);
    TWBrowserResoultViewCtrl* b = browser();
    b->selectAll();
    actionTagged(b->smartCheckMenu(), TWBrowserResoultViewCtrl::kUncheckAllTag)->trigger();
    QVERIFY(!b->btnDelete()->isEnabled());
    b->selectAll();  // nothing selected
    b->selectAll();  // everything
    TWIconView* icons = TWIconViewController::shared()->view();
    QVERIFY(icons->numberOfItems() > 1);

    browsertest::click(icons->viewport(), icons->checkBoxRect(1).center());
    auto file = files().fileItemAtIndex(1);
    QVERIFY(file->isChecked());
    QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("1"));
    QCOMPARE(b->statusInfoRuns().value(2), QString::fromStdString(TWFileUtility::stringWithSize(file->fileSize())));
    QVERIFY(b->btnDelete()->isEnabled());
    // The check box does not select.
    QVERIFY(files().selection().count(1) == 0);

    browsertest::click(icons->viewport(), icons->checkBoxRect(1).center());
    QVERIFY(!file->isChecked());
    QCOMPARE(b->statusInfoRuns().value(0), QStringLiteral("0"));
    QVERIFY(!b->btnDelete()->isEnabled());
}

void BrowserTest::iconViewSelectionWithCtrlAndShift() {
    Scanned s;
    QVERIFY(s.ok);
    s.app.delegate().menuItem(TWMenuAction::selectAll)->trigger();
    TWIconView* icons = TWIconViewController::shared()->view();
    QVERIFY(icons->numberOfItems() >= 6);
    QWidget* viewport = icons->viewport();
    browsertest::click(viewport, icons->pictureRect(4).center());
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{4}));
    browsertest::click(viewport, icons->pictureRect(1).center(), Qt::ShiftModifier);
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{1, 2, 3, 4}));
    browsertest::click(viewport, icons->pictureRect(5).center(), Qt::ControlModifier);
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{1, 2, 3, 4, 5}));
    // A click on a selected item changes nothing; a plain click elsewhere replaces.
    browsertest::click(viewport, icons->pictureRect(2).center());
    QCOMPARE(files().selection().size(), size_t(5));
    browsertest::click(viewport, icons->pictureRect(0).center());
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{0}));
    // Outside every item: nothing selected.
    const QRect last = icons->itemRect(icons->numberOfItems() - 1);
    browsertest::click(viewport, QPoint(viewport->width() - 2, last.bottom() + 5));
    QVERIFY(files().selection().empty());
}

void BrowserTest::iconViewGeometry() {
    Scanned s;
    QVERIFY(s.ok);
    TWIconView* icons = TWIconViewController::shared()->view();
    icons->setScalePercent(0);
    QCOMPARE(icons->itemWidth(), 68);
    QCOMPARE(icons->itemHeight(), 68 + TWIconView::kTitleBand);
    icons->setScalePercent(1.5);
    QCOMPARE(icons->scalePercent(), 1.0);
    QCOMPARE(icons->itemWidth(), 408);
    // A change of at most 0.001 is ignored.
    icons->setScalePercent(0.9995);
    QCOMPARE(icons->scalePercent(), 1.0);
    // Narrower than one item: still one per row, rows from the top.
    browser()->mainSplitView()->setSizes({700, 300});
    s.app.delegate().wndMain()->resize(900, s.app.delegate().wndMain()->height());
    icons->resize(300, icons->height());
    QCOMPARE(icons->itemsPerRow(), 1);
    icons->setScalePercent(0.2);
    const int perRow = icons->itemsPerRow();
    const int w = icons->itemWidth();
    QCOMPARE(icons->itemRect(0).left(), (icons->viewport()->width() - perRow * w) / 2);
    QCOMPARE(icons->itemRect(0).top(), 0);
}

void BrowserTest::ignoringTheLastButOneFileDropsTheGroup() {
    Scanned s;
    QVERIFY(s.ok);
    TWBrowserResoultViewCtrl* b = browser();
    const int row = browsertest::rowOfGroupNamed("Morning Light.mp3");
    QVERIFY(row >= 0);
    browsertest::selectGroupRow(row);
    QCOMPARE(files().numberOfFilesItem(), size_t(2));
    const size_t before = manager().numberOfDisplayDuplicateFiles();
    const std::string ignored = files().fileItemAtIndex(0)->filePath();

    QTest::mouseClick(b->btnSlideViewMode(), Qt::LeftButton);
    TWFilesListViewController* list = TWFilesListViewController::shared();
    const QRect rowRect = list->rowRect(0);
    browsertest::click(list->tableView()->viewport(), TWFilesListCellDelegate::ignoreRect(rowRect).center());
    QVERIFY(apptest::waitFor([&] { return manager().numberOfDisplayDuplicateFiles() == before - 1; }, 5000));
    QCOMPARE(browsertest::rowOfGroupNamed("Morning Light.mp3"), -1);
    QCOMPARE(TWDuplicateFilesViewCtrl::shared()->duplicateFilesTableView()->model()->rowCount(), int(before - 1));
    // The detail area followed, and the path joined the ignore list.
    QCOMPARE(list->tableView()->model()->rowCount(), int(files().numberOfFilesItem()));
    const auto folders = TWPreference::shared().filterFileFolders();
    QVERIFY(std::find(folders.begin(), folders.end(), ignored) != folders.end());
}

void BrowserTest::compareViewCardsCheckRevealAndIgnore() {
    Scanned s;
    QVERIFY(s.ok);
    TWBrowserResoultViewCtrl* b = browser();
    std::vector<std::string> revealed;
    files().setRevealer([&](const std::vector<std::string>& paths) {
        tw::MainQueue::shared().post([&, paths] { revealed.insert(revealed.end(), paths.begin(), paths.end()); });
    });
    const int row = browsertest::rowOfGroupNamed("Invoice 2023-04.docx");
    QVERIFY(row >= 0);
    browsertest::selectGroupRow(row);
    QTest::mouseClick(b->btnCompareViewMode(), Qt::LeftButton);
    TWCompareView* cards = TWCompareViewController::shared()->view();
    QCOMPARE(cards->numberOfItems(), 2);
    QWidget* viewport = cards->viewport();

    // The captions.
    auto second = files().fileItemAtIndex(1);
    const QStringList values = cards->valuesOf(1);
    QCOMPARE(values.value(1), TWCompareView::sizeCaption(second->fileSize(), second->fileSizeOnDisk()));
    QCOMPARE(values.value(1), QString::fromStdString(TWFileUtility::stringWithSize(second->fileSize())) +
                                  QStringLiteral(" (") +
                                  QString::fromStdString(TWFileUtility::stringWithSize(second->fileSizeOnDisk())) +
                                  QStringLiteral(" on disk)"));
    QCOMPARE(values.value(2), QStringLiteral("N/A"));
    QCOMPARE(values.value(3), QString::fromStdString(second->filePath()));
    QCOMPARE(cards->cardRect(1).top() - cards->cardRect(0).bottom() - 1, TWCompareView::kMargin);

    const bool wasChecked = second->isChecked();
    const QString before = b->statusInfoRuns().value(0);
    browsertest::click(viewport, cards->checkBoxRect(1).center());
    QCOMPARE(second->isChecked(), !wasChecked);
    QVERIFY(b->statusInfoRuns().value(0) != before);

    browsertest::click(viewport, cards->titleRect(0).center());
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{0}));
    browsertest::click(viewport, cards->pictureRect(1).center(), Qt::ControlModifier);
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{0, 1}));

    browsertest::click(viewport, cards->showInFinderRect(0).center());
    QVERIFY(apptest::waitFor([&] { return !revealed.empty(); }, 5000));
    QCOMPARE(revealed, std::vector<std::string>({files().fileItemAtIndex(0)->filePath()}));

    // Ignore leaves one file in the group: the group goes.
    const size_t groupsBefore = manager().numberOfDisplayDuplicateFiles();
    browsertest::click(viewport, cards->ignoreRect(0).center());
    QCOMPARE(manager().numberOfDisplayDuplicateFiles(), groupsBefore - 1);
    QCOMPARE(browsertest::rowOfGroupNamed("Invoice 2023-04.docx"), -1);
    files().setRevealer(nullptr);
}

void BrowserTest::slidePreviewShowsTextImagesAndTheDefault() {
    Scanned s;
    QVERIFY(s.ok);
    QTest::mouseClick(browser()->btnSlideViewMode(), Qt::LeftButton);
    TWQuickLookViewCtrl* preview = TWQuickLookViewCtrl::shareQuickLookViewCtrl();
    auto settled = [&] { return apptest::waitFor([&] { return !preview->isLoading(); }, 10000); };

    browsertest::selectGroupRow(browsertest::rowOfGroupNamed("Meeting Notes.txt"));
    QVERIFY(settled());
    QCOMPARE(preview->kind(), TWQuickLookViewCtrl::Kind::Text);
    QVERIFY(preview->text().startsWith(QStringLiteral("Meeting notes, 14 March")));
    QCOMPARE(preview->title(), QString::fromStdString(files().fileItemSelected()->filePath()));

    browsertest::selectGroupRow(browsertest::rowOfGroupNamed("Beach Sunset.jpg"));
    QVERIFY(settled());
    QCOMPARE(preview->kind(), TWQuickLookViewCtrl::Kind::Image);
    QCOMPARE(preview->image().size(), QSize(640, 480));

    browsertest::selectGroupRow(browsertest::rowOfGroupNamed("Quarterly Report.pdf"));
    QVERIFY(settled());
    QCOMPARE(preview->kind(), TWQuickLookViewCtrl::Kind::Info);
    QVERIFY(preview->infoText().contains(QStringLiteral("Quarterly Report")));
    // Both dates in one format: the locale's short one.
    auto report = files().fileItemSelected();
    const QLocale locale;
    const QDateTime created =
        QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(report->createTime().value()));
    QVERIFY(preview->infoText().contains(QStringLiteral("Created:</span> ") +
                                         locale.toString(created, QLocale::ShortFormat)));
    const QDateTime modified = QFileInfo(QString::fromStdString(report->filePath())).lastModified();
    QVERIFY(preview->infoText().contains(QStringLiteral("Modified:</span> ") +
                                         locale.toString(modified, QLocale::ShortFormat)));

    // Nothing selected in the list: the default picture, titled so.
    TWFilesListViewController::shared()->tableView()->clearSelection();
    QVERIFY(settled());
    QCOMPARE(preview->kind(), TWQuickLookViewCtrl::Kind::Default);
    QCOMPARE(preview->title(), QStringLiteral("No item selected"));
    // A path that no longer exists: the default picture under its path.
    preview->quickLookPathfile(s.tree / "gone.txt");
    QCOMPARE(preview->kind(), TWQuickLookViewCtrl::Kind::Default);
    QCOMPARE(preview->title(), QString::fromStdString(s.tree / "gone.txt"));

    // The split keeps both parts at least 180 points high unless collapsed.
    QCOMPARE(TWSlideViewController::shared()->quickLookView()->minimumHeight(), 180);
    QCOMPARE(TWSlideViewController::shared()->listView()->minimumHeight(), 180);
    QVERIFY(TWSlideViewController::shared()->view()->childrenCollapsible());
}

void BrowserTest::overviewRingLegendAndPick() {
    Scanned s;
    QVERIFY(s.ok);
    QTest::mouseClick(TWToolBar::shareToolBar()->overviewBtn(), Qt::LeftButton);
    TWOverViewerCtrl* overview = TWOverViewerCtrl::shared();
    TWOverView* ring = overview->overView();
    QVERIFY(ring->slicesVisible());
    double total = 0;
    for (int category = 1; category < 8; ++category) total += ring->spanOf(category);
    QVERIFY(std::fabs(total - 360) < 1e-6);
    QCOMPARE(ring->spanOf(TWCategory_videos), 0.0);
    QCOMPARE(overview->getBlockInformation(*ring, TWCategory_music),
             QStringLiteral("Music ") + QString::fromStdString(TWFileUtility::stringWithSize(
                                            manager().duplicateSizeOfCategory(TWCategory_music))));
    // Legend: eight rows, All first with the whole size.
    const auto& rows = overview->itemView()->rows();
    QCOMPARE(rows.size(), size_t(8));
    QCOMPARE(rows[0].name, QStringLiteral("All"));
    QCOMPARE(rows[0].size, QString::fromStdString(
                               TWFileUtility::stringWithSize(manager().duplicateSizeOfCategory(TWCategory_allFiles))));
    // Ring and legend side by side, 32 points apart.
    QCOMPARE(overview->itemView()->geometry().left() - ring->geometry().right() - 1, TWOverViewerCtrl::kGap);
    // Hover makes the slice pulse; leaving stops it.
    const double middle = ring->startAngleOf(TWCategory_music) + ring->spanOf(TWCategory_music) / 2;
    const double radius = (ring->outerRadius() + ring->innerRadius()) / 2;
    const QPoint onMusic = (QRectF(ring->rect()).center() +
                            QPointF(std::sin(middle * M_PI / 180), -std::cos(middle * M_PI / 180)) * radius)
                               .toPoint();
    apptest::hover(ring, onMusic);
    QCOMPARE(ring->hoveredCategory(), int(TWCategory_music));
    apptest::hover(ring, ring->rect().center());
    QCOMPARE(ring->hoveredCategory(), -1);
    browsertest::click(ring, onMusic);
    QCOMPARE(manager().category(), TWCategory_music);
    QVERIFY(browser()->isSplitViewOnScreen());
}

void BrowserTest::splitViewKeepsItsWidthRules() {
    Scanned s;
    QVERIFY(s.ok);
    QSplitter* split = browser()->mainSplitView();
    QCOMPARE(split->widget(0)->minimumWidth(), 240);
    QCOMPARE(split->widget(1)->minimumWidth(), 480);
    QVERIFY(split->isCollapsible(0) && split->isCollapsible(1));
    // Sizes below a side's minimum are refused unless the side collapses.
    split->setSizes({150, 900});
    const int left = split->sizes().value(0);
    QVERIFY(left == 0 || left >= 240);
    QVERIFY(browser()->btnDeleteInFinder()->isHidden());
}

QTEST_MAIN(BrowserTest)
#include "Browser_test.moc"
