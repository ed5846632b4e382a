// Where files live and the smaller faults of the results browser, driven through its
// widgets: paths shortened in their folders (never the file name), the full path in
// every file's tooltip, the folder under the name in the icon and compare views, the
// resolution read off the GUI thread, the size line kept whole, Shift-click from the
// last selected item, the sort control, New Scan and the category a new result opens
// on, and the menu buttons' hover look.

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QListView>
#include <QMenu>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "BrowserTestSupport.h"
#include "app/TWAppStyle.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWCompareView.h"
#include "app/TWCompareViewController.h"
#include "app/TWDuplicateFilesModel.h"
#include "app/TWDuplicateFilesViewCtrl.h"
#include "app/TWElidedPathLabel.h"
#include "app/TWFilesListModel.h"
#include "app/TWIconView.h"
#include "app/TWIconViewController.h"
#include "app/TWLoadFilesCtrl.h"
#include "app/TWPathLabel.h"
#include "app/TWResolutionReader.h"
#include "app/TWTitlebarViewCtrl.h"
#include "app/TWToolBar.h"
#include "files/TWFileUtility.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"

using apptest::LiveApp;
using browsertest::actionTagged;
using browsertest::browser;
using browsertest::files;
using browsertest::manager;

namespace {

struct Scanned {
    LiveApp app;
    twtest::TempDir tree{"Twinsift"};
    std::vector<std::string> roots = browsertest::writeRealisticTree(tree);
    bool ok = browsertest::scanAndShow(app, roots);
};

// The tooltip a view shows for `position` of `widget` (its viewport for scroll areas).
QString toolTipAt(QWidget* widget, const QPoint& position) {
    QHelpEvent event(QEvent::ToolTip, position, widget->mapToGlobal(position));
    QApplication::sendEvent(widget, &event);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return text;
}

}  // namespace

class FilePlacesTest : public QObject {
    Q_OBJECT
private slots:
    void pathsGiveWayInTheirFoldersNeverInTheName();
    void iconViewShowsTheFolderAndTheFullPath();
    void compareViewShowsTheFolderTheResolutionAndAWholeSizeLine();
    void groupAndPreviewTooltipsHoldFullPaths();
    void resolutionIsReadOffTheGuiThread();
    void shiftClickExtendsFromTheLastSelectedItem();
    void sortControlMarksTheOrderAndOffersBothDirections();
    void newScanKeepsTheFoldersAndOpensOnAll();
    void menuButtonsLoseTheirHoverLookWhenTheMenuCloses();
};

void FilePlacesTest::pathsGiveWayInTheirFoldersNeverInTheName() {
    const QFontMetrics metrics(TWAppStyle::systemFont(9.5));
    const QString path = QStringLiteral("/home/ann/Pictures/Holidays/2023/Summer at the lake/IMG_2042.jpg");
    QCOMPARE(TWPathLabel::elidedPath(path, metrics, 10000), path);
    const int room = metrics.horizontalAdvance(path) / 2;
    const QString shortened = TWPathLabel::elidedPath(path, metrics, room);
    QVERIFY(metrics.horizontalAdvance(shortened) <= room);
    QVERIFY(shortened.endsWith(QStringLiteral("/IMG_2042.jpg")));
    QVERIFY(shortened.startsWith(QStringLiteral("/home")));
    QVERIFY(shortened.contains(QStringLiteral("…")));
    // Too narrow for the name and a folder: the name alone, shortened in its middle so
    // that its extension stays.
    const int narrow = metrics.horizontalAdvance(QStringLiteral("IMG_2042.jpg")) - 4;
    const QString name = TWPathLabel::elidedPath(path, metrics, narrow);
    QVERIFY(name.endsWith(QStringLiteral("jpg")));
    QVERIFY(!name.contains(QLatin1Char('/')));
    // A note after the path stays whole while the path keeps half the room.
    const QString note = QStringLiteral(" (through the link /home/ann/link)");
    const QString withNote = TWPathLabel::elidedPath(path, note, metrics, room + metrics.horizontalAdvance(note));
    QVERIFY(withNote.endsWith(QStringLiteral("/IMG_2042.jpg") + note));
    QCOMPARE(TWPathLabel::folderOf(path), QStringLiteral("/home/ann/Pictures/Holidays/2023/Summer at the lake"));
    QCOMPARE(TWPathLabel::folderOf(QStringLiteral("/top.txt")), QStringLiteral("/"));
    QCOMPARE(TWPathLabel::nameOf(path), QStringLiteral("IMG_2042.jpg"));
}

void FilePlacesTest::iconViewShowsTheFolderAndTheFullPath() {
    Scanned s;
    QVERIFY(s.ok);
    const int row = browsertest::rowOfGroupNamed("Quarterly Report copy.pdf");
    QVERIFY(row >= 0);
    browsertest::selectGroupRow(row);
    TWIconView* icons = TWIconViewController::shared()->view();
    QVERIFY(icons->numberOfItems() >= 3);
    // The folder sits under the name, inside the item.
    const QRect name = icons->nameRect(0);
    const QRect folder = icons->folderRect(0);
    QVERIFY(folder.top() > name.top() && folder.bottom() <= icons->itemRect(0).bottom());
    QVERIFY(!folder.intersects(icons->pictureRect(0)));
    QVERIFY(icons->checkBoxRect(0).center().y() < folder.top());
    // The item's tooltip is the full path.
    auto file = files().fileItemAtIndex(0);
    QCOMPARE(toolTipAt(icons->viewport(), icons->pictureRect(0).center()), QString::fromStdString(file->filePath()));
    // The folder line is drawn: the pixels under the name differ from the background.
    const QImage shot = icons->viewport()->grab().toImage();
    bool inked = false;
    const QColor background = shot.pixelColor(folder.right() - 1, folder.center().y());
    for (int x = folder.left(); x < folder.left() + 40 && !inked; ++x)
        for (int y = folder.top(); y <= folder.bottom() && !inked; ++y) inked = shot.pixelColor(x, y) != background;
    QVERIFY(inked);
}

void FilePlacesTest::compareViewShowsTheFolderTheResolutionAndAWholeSizeLine() {
    Scanned s;
    QVERIFY(s.ok);
    const int row = browsertest::rowOfGroupNamed("Beach Sunset.jpg");
    QVERIFY(row >= 0);
    browsertest::selectGroupRow(row);
    QTest::mouseClick(browser()->btnCompareViewMode(), Qt::LeftButton);
    TWCompareView* cards = TWCompareViewController::shared()->view();
    QCOMPARE(cards->numberOfItems(), 2);
    // The resolution arrives without any rule having asked for it.
    QVERIFY(apptest::waitFor([&] { return cards->valuesOf(0).value(2) == QStringLiteral("640x480"); }, 10000));
    QCOMPARE(cards->fittedValue(0, 2, 500), QStringLiteral("640x480"));
    // Under the name: the folder; the title's tooltip: the full path.
    auto file = files().fileItemAtIndex(0);
    QVERIFY(cards->folderRect(0).top() > cards->titleRect(0).top());
    QVERIFY(cards->folderRect(0).bottom() < cards->pictureRect(0).top());
    QCOMPARE(toolTipAt(cards->viewport(), cards->folderRect(0).center()), QString::fromStdString(file->filePath()));
    // The path row keeps the name when it is short of room.
    const QString path = cards->fittedValue(0, 3, 200);
    QVERIFY(path.endsWith(QStringLiteral("/Beach Sunset.jpg")));
    // The size line: whole where it fits, the size alone (never a cut caption) where not.
    const QString whole = cards->valuesOf(0).value(1);
    QCOMPARE(cards->fittedValue(0, 1, 1000), whole);
    const QString narrow =
        cards->fittedValue(0, 1, QFontMetrics(TWAppStyle::systemFont(9.5)).horizontalAdvance(whole) - 1);
    QCOMPARE(narrow, QString::fromStdString(TWFileUtility::stringWithSize(file->fileSize())));
    // The narrowest the split view allows: a caption that fits, whole or the size alone.
    QSplitter* split = browser()->mainSplitView();
    split->setSizes({10000, 1});
    QCoreApplication::processEvents();
    const int room = cards->valueRect(0, 1).width();
    const QString fitted = cards->fittedValue(0, 1, room);
    QVERIFY(fitted == whole || fitted == QString::fromStdString(TWFileUtility::stringWithSize(file->fileSize())));
    QVERIFY(QFontMetrics(TWAppStyle::systemFont(9.5)).horizontalAdvance(fitted) <= room);
}

void FilePlacesTest::groupAndPreviewTooltipsHoldFullPaths() {
    Scanned s;
    QVERIFY(s.ok);
    const int row = browsertest::rowOfGroupNamed("Quarterly Report.pdf");
    QVERIFY(row >= 0);
    QListView* list = TWDuplicateFilesViewCtrl::shared()->duplicateFilesTableView();
    const QString tip = list->model()->index(row, 0).data(Qt::ToolTipRole).toString();
    const QStringList lines = tip.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    for (const std::string& path :
         {s.tree / "Documents/Quarterly Report.pdf", s.tree / "Documents/Archive/Quarterly Report.pdf",
          s.tree / "Documents/Old/Quarterly Report copy.pdf"})
        QVERIFY2(lines.contains(QString::fromStdString(path)), qPrintable(tip));
    // A long title is shortened in its folders, the whole of it in the tooltip.
    TWElidedPathLabel label;
    label.resize(300, 30);
    label.show();
    const QString path = QStringLiteral("/home/ann/Documents/Projects/2023/Quarterly Report copy.pdf");
    label.setFullText(path);
    QVERIFY2(label.text().endsWith(QStringLiteral("/Quarterly Report copy.pdf")), qPrintable(label.text()));
    QVERIFY(label.text() != path);
    QCOMPARE(label.toolTip(), path);
    label.resize(2000, 30);
    QCOMPARE(label.text(), path);
    QVERIFY(label.toolTip().isEmpty());
}

void FilePlacesTest::resolutionIsReadOffTheGuiThread() {
    LiveApp app;
    twtest::TempDir tree;
    const QImage picture = browsertest::landscape(321, 123, 5);
    const std::string path = tree / "odd.png";
    QVERIFY(picture.save(QString::fromStdString(path)));
    auto file = TWFileUtility::initWithPath(path);
    QCOMPARE(file->category(), TWCategory_images);
    QVERIFY(file->storedResolution().isZero());
    TWResolutionReader* reader = TWResolutionReader::shared();
    QString readyPath;
    connect(reader, &TWResolutionReader::resolutionReady, this, [&](const QString& p) { readyPath = p; });
    // The first ask answers at once and queues the read.
    const QString first = reader->resolutionText(file);
    QVERIFY(first == QStringLiteral("…") || first == QStringLiteral("321x123"));
    QVERIFY(apptest::waitFor([&] { return !readyPath.isEmpty(); }, 10000));
    QCOMPARE(readyPath, QString::fromStdString(path));
    QCOMPARE(reader->resolutionText(file), QStringLiteral("321x123"));
    QCOMPARE(reader->pendingCount(), 0);
    // A file that is not a picture, or a picture that cannot be read, reads "N/A" once
    // asked, and is not read again.
    tree.write("broken.jpg", "not a picture at all");
    auto broken = TWFileUtility::initWithPath(tree / "broken.jpg");
    reader->resolutionText(broken);
    QVERIFY(apptest::waitFor([&] { return reader->pendingCount() == 0; }, 10000));
    QCOMPARE(reader->resolutionText(broken), QStringLiteral("N/A"));
    QCOMPARE(reader->pendingCount(), 0);
    tree.write("notes.txt", "text");
    QCOMPARE(reader->resolutionText(TWFileUtility::initWithPath(tree / "notes.txt")), QStringLiteral("N/A"));
    TWResolutionReader::resetShared();
}

void FilePlacesTest::shiftClickExtendsFromTheLastSelectedItem() {
    Scanned s;
    QVERIFY(s.ok);
    s.app.delegate().menuItem(TWMenuAction::selectAll)->trigger();
    TWIconView* icons = TWIconViewController::shared()->view();
    QVERIFY(icons->numberOfItems() >= 8);
    QWidget* viewport = icons->viewport();
    browsertest::click(viewport, icons->pictureRect(1).center());
    // The selection moves elsewhere (the keys, the file list): Shift extends from there,
    // not from the item clicked before.
    files().setSelection({5});
    QCOMPARE(icons->lastSelectedIndex(), 5);
    browsertest::click(viewport, icons->pictureRect(7).center(), Qt::ShiftModifier);
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{5, 6, 7}));
    // The compare view shares the anchor: a click there, then Shift in the icon view.
    QTest::mouseClick(browser()->btnCompareViewMode(), Qt::LeftButton);
    TWCompareView* cards = TWCompareViewController::shared()->view();
    browsertest::click(cards->viewport(), cards->titleRect(2).center());
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{2}));
    QTest::mouseClick(browser()->btnIconViewMode(), Qt::LeftButton);
    browsertest::click(viewport, icons->pictureRect(0).center(), Qt::ShiftModifier);
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{0, 1, 2}));
    // A Ctrl-click moves the anchor; Shift then extends from it and keeps the rest.
    browsertest::click(viewport, icons->pictureRect(6).center(), Qt::ControlModifier);
    browsertest::click(viewport, icons->pictureRect(4).center(), Qt::ShiftModifier);
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{0, 1, 2, 4, 5, 6}));
    // Nothing selected: Shift acts as a plain click.
    files().setSelection({});
    browsertest::click(viewport, icons->pictureRect(3).center(), Qt::ShiftModifier);
    QCOMPARE(files().selection(), (TWFilesListManager::IndexSet{3}));
}

void FilePlacesTest::sortControlMarksTheOrderAndOffersBothDirections() {
    Scanned s;
    QVERIFY(s.ok);
    auto* groups = TWDuplicateFilesViewCtrl::shared();
    QMenu* menu = groups->sortMenu();
    QAction* bySize = actionTagged(menu, TWSortTypeSize);
    QAction* largest = actionTagged(menu, TWDuplicateFilesViewCtrl::kSortFlagTrueTag);
    QAction* smallest = actionTagged(menu, TWDuplicateFilesViewCtrl::kSortFlagFalseTag);
    QVERIFY(bySize && largest && smallest);
    bySize->trigger();
    if (!manager().sortAsending()) largest->trigger();
    QVERIFY(manager().sortAsending());
    // The marks and the texts follow the key and the direction.
    QVERIFY(bySize->isChecked());
    QCOMPARE(largest->text(), QStringLiteral("Largest first"));
    QCOMPARE(smallest->text(), QStringLiteral("Smallest first"));
    QVERIFY(largest->isChecked() && !smallest->isChecked());
    QCOMPARE(groups->sortButton()->toolTip(), QStringLiteral("Sort: Size, Largest first"));
    auto sizes = [] {
        std::vector<uint64_t> values;
        for (size_t row = 0; row < manager().numberOfDisplayDuplicateFiles(); ++row)
            values.push_back(manager().duplicateFileForDisplayAtIndex(row)->totalSize());
        return values;
    };
    const auto largestFirst = sizes();
    QVERIFY(std::is_sorted(largestFirst.rbegin(), largestFirst.rend()));
    smallest->trigger();
    QVERIFY(!manager().sortAsending());
    const auto smallestFirst = sizes();
    QVERIFY(std::is_sorted(smallestFirst.begin(), smallestFirst.end()));
    QVERIFY(smallest->isChecked() && !largest->isChecked());
    // Picking the direction already in force changes nothing.
    smallest->trigger();
    QVERIFY(!manager().sortAsending());
    // Names read A to Z and Z to A; another key keeps the flag.
    actionTagged(menu, TWSortTypeName)->trigger();
    QCOMPARE(manager().sortType(), TWSortTypeName);
    QCOMPARE(smallest->text(), QStringLiteral("Z to A"));
    QVERIFY(smallest->isChecked());
    QCOMPARE(groups->sortButton()->toolTip(), QStringLiteral("Sort: Name, Z to A"));
}

void FilePlacesTest::newScanKeepsTheFoldersAndOpensOnAll() {
    Scanned s;
    QVERIFY(s.ok);
    // The last result was left on Music.
    QTest::mouseClick(TWToolBar::shareToolBar()->categoryButtons()[size_t(TWCategory_music)], Qt::LeftButton);
    QCOMPARE(manager().category(), TWCategory_music);
    QTest::mouseClick(TWToolBar::shareToolBar()->backBtn(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([&] { return !s.app.delegate().isResultShown(); }, 10000));
    TWLoadFilesCtrl* scan = TWLoadFilesCtrl::shareLoadFilesCtrl();
    const auto folders = scan->saveFilesPathArray();
    QTest::mouseClick(scan->btnImportFolders(), Qt::LeftButton);  // New Scan
    QCOMPARE(scan->loadFilesStatus(), int64_t(0));
    QCOMPARE(scan->saveFilesPathArray(), folders);
    QTest::mouseClick(scan->btnScan(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([&] { return s.app.delegate().isResultShown(); }, 60000));
    QCOMPARE(manager().category(), TWCategory_allFiles);
    QCOMPARE(TWToolBar::shareToolBar()->categorySelected(), TWCategory_allFiles);
    QVERIFY(manager().numberOfDisplayDuplicateFiles() > 0);
}

void FilePlacesTest::menuButtonsLoseTheirHoverLookWhenTheMenuCloses() {
    LiveApp app;
    QToolButton* button = TWTitlebarViewCtrl::titleBarViewCtrl()->menuButton();
    QVERIFY(button->menu());
    // The pointer was over the button when it opened the menu, and is elsewhere when the
    // menu closes: the button never sees it leave.
    QCursor::setPos(button->mapToGlobal(QPoint(-400, 300)));
    button->setAttribute(Qt::WA_UnderMouse, true);
    QTimer::singleShot(0, button->menu(), [menu = button->menu()] { menu->close(); });
    button->showMenu();
    QVERIFY(apptest::waitFor([&] { return !button->testAttribute(Qt::WA_UnderMouse); }, 5000));
    // With the pointer still over it, the look stays.
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    button->setAttribute(Qt::WA_UnderMouse, true);
    QTimer::singleShot(0, button->menu(), [menu = button->menu()] { menu->close(); });
    button->showMenu();
    QCoreApplication::processEvents();
    QVERIFY(button->testAttribute(Qt::WA_UnderMouse));
}

QTEST_MAIN(FilePlacesTest)
#include "FilePlaces_test.moc"
