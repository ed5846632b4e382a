// Scans through the real scan view: the status moves 0, 1, 2 and the result reaches
// the results manager; a scan without duplicates stays with the warning face; stop;
// the menu rules while scanning; New Scan; Show Results again; the library question;
// the paths a scan could not read, also above its results; the bytes a long read has read; a file reached
// through a link from outside the chosen folders.

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <utility>

#include "AppTestSupport.h"
#include "BrowserTestSupport.h"
#include "InMemoryMediaLibrary.h"
#include "LibraryFixtures.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWCheckMark.h"
#include "app/TWCompareView.h"
#include "app/TWCompareViewController.h"
#include "app/TWFilesListModel.h"
#include "app/TWFilesListViewController.h"
#include "app/TWLoadFileDragView.h"
#include "app/TWLoadFilesCtrl.h"
#include "app/TWMainWindow.h"
#include "app/TWScanAnimationView.h"
#include "app/TWScanNoticeBar.h"
#include "app/TWTitlebarViewCtrl.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"
#include "platform/LinuxLibraries.h"
#include "prefs/TWPreference.h"

using apptest::LiveApp;

namespace {

TWLoadFilesCtrl* ctrl() {
    return TWLoadFilesCtrl::shareLoadFilesCtrl();
}

// Two folders: one pair of equal files across them, and unique files.
std::vector<std::string> treeWithDuplicates(const twtest::TempDir& tree) {
    std::string same = twtest::randomBytes(6000, 7);
    tree.write("a/report.txt", same);
    tree.write("b/report copy.txt", same);
    tree.write("a/unique-1.txt", twtest::randomBytes(5000, 1));
    tree.write("b/unique-2.txt", twtest::randomBytes(5001, 2));
    return {tree / "a", tree / "b"};
}

std::vector<std::string> treeWithoutDuplicates(const twtest::TempDir& tree) {
    for (int i = 0; i < 4; ++i) tree.write("u/file-" + std::to_string(i) + ".txt", twtest::randomBytes(3000 + i, i));
    return {tree / "u"};
}

void pressScan() {
    QTest::mouseClick(ctrl()->btnScan(), Qt::LeftButton);
}

bool finished() {
    return apptest::waitFor([] { return ctrl()->loadFilesStatus() == 2; }, 60000);
}

// Answers the next library question with the button titled `answer`; its texts land in
// `text` and `informative`.
void answerLibraryQuestion(QObject* context, const QString& answer, QString* text, QString* informative = nullptr) {
    QTimer::singleShot(0, context, [=] {
        QVERIFY(apptest::waitFor([] { return QApplication::activeModalWidget() != nullptr; }, 10000));
        auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(alert);
        *text = alert->text();
        if (informative) *informative = alert->informativeText();
        for (QAbstractButton* button : alert->buttons())
            if (button->text() == answer) button->click();
    });
}

bool enabled(AppDelegate& app, TWMenuAction action) {
    return app.menuItem(action)->isEnabled();
}

}  // namespace

class ScanFlowTest : public QObject {
    Q_OBJECT
private slots:
    void scanMovesTheStatusAndHandsTheResultOver();
    void scanWithoutDuplicatesShowsTheWarningAndStays();
    void stopMidScanEndsFinished();
    void menuRulesWhileScanning();
    void newScanStartsOver();
    void showResultsAgainAfterBackDoesNotRescan();
    void libraryQuestionSkipKeepsTheSwitchOff();
    void musicLibraryQuestionNamesMusic();
    void withoutLibraryBackendTheFolderIsSkippedWithANotice();
    void shotwellLibraryIsAskedAboutOnlyWhereItIsAndShownWithItsName();
    void pathsTheScanCouldNotReadAreCountedAndListed();
    void theResultsSayWhatTheirScanCouldNotRead();
    void aLongReadShowsTheBytesItHasRead();
    void aFileOutsideTheChosenFoldersCannotBeChecked();
};

void ScanFlowTest::scanMovesTheStatusAndHandsTheResultOver() {
    LiveApp app;
    twtest::TempDir tree;
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), treeWithDuplicates(tree)));
    std::vector<int64_t> statuses{ctrl()->loadFilesStatus()};
    connect(ctrl(), &TWLoadFilesCtrl::faceChanged, this, [&] {
        if (statuses.back() != ctrl()->loadFilesStatus()) statuses.push_back(ctrl()->loadFilesStatus());
    });

    pressScan();
    QVERIFY(finished());
    QCOMPARE(statuses, (std::vector<int64_t>{0, 1, 2}));
    QCOMPARE(ctrl()->searchDuplicateFiles()->numberOfSearchFiles(), uint64_t(4));
    QCOMPARE(ctrl()->TWLoadFileDragViewNumberOfDupcaliteFiles(*ctrl()->loadfileview()), int64_t(1));

    // The manager now holds the pair, and the browser shows.
    auto& manager = TWDuplicateFilesManager::shared();
    QCOMPARE(manager.numberOfDuplicateFiles(), uint64_t(1));
    auto group = manager.duplicateFileForDisplayAtIndex(0);
    QVERIFY(group);
    QVERIFY(apptest::waitFor([&] { return app.delegate().isResultShown(); }, 5000));
    QVERIFY(!TWTitlebarViewCtrl::titleBarViewCtrl()->canSettings());
    QCOMPARE(ctrl()->scanButtonPicture(), QStringLiteral("btn_showresults"));
    QVERIFY(ctrl()->btnScan()->isEnabled());
    QVERIFY(!ctrl()->scanAnimationView()->waringStatus());
}

void ScanFlowTest::scanWithoutDuplicatesShowsTheWarningAndStays() {
    LiveApp app;
    twtest::TempDir tree;
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), treeWithoutDuplicates(tree)));
    pressScan();
    QVERIFY(finished());

    QVERIFY(!app.delegate().isResultShown());
    QVERIFY(ctrl()->scanAnimationView()->waringStatus());
    QCOMPARE(ctrl()->scanAnimationView()->ringPicture(), QStringLiteral("noduplicatesfound_ring_bg"));
    QVERIFY(!ctrl()->scanAnimationView()->isAnimating());
    QCOMPARE(ctrl()->scanButtonPicture(), QStringLiteral("btn_showresults"));
    QVERIFY(!ctrl()->btnScan()->isEnabled());
    QCOMPARE(ctrl()->addButtonPicture(), QStringLiteral("btn_newScan"));
    // Show Results with nothing found does nothing.
    ctrl()->startOrStopSearch();
    QTest::qWait(50);
    QVERIFY(!app.delegate().isResultShown());
    QCOMPARE(ctrl()->loadFilesStatus(), int64_t(2));
}

void ScanFlowTest::stopMidScanEndsFinished() {
    LiveApp app;
    twtest::TempDir tree;
    const int files = 3000;
    for (int i = 0; i < files; ++i) tree.write("many/f" + std::to_string(i), std::to_string(i));
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), {tree / "many"}));
    // Stop as soon as the scan has started, through the scan button (then "btn_stop").
    const auto stopper = connect(ctrl(), &TWLoadFilesCtrl::faceChanged, this, [&] {
        if (ctrl()->loadFilesStatus() == 1) {
            QCOMPARE(ctrl()->scanButtonPicture(), QStringLiteral("btn_stop"));
            QVERIFY(ctrl()->scanAnimationView()->isAnimating());
            QTimer::singleShot(0, ctrl(), [] { pressScan(); });
        }
    });
    pressScan();
    QVERIFY(finished());
    QVERIFY(!ctrl()->searchDuplicateFiles()->isSearching());
    QVERIFY(ctrl()->searchDuplicateFiles()->numberOfSearchFiles() < uint64_t(files));
    QVERIFY(!ctrl()->scanAnimationView()->isAnimating());
    QVERIFY(!app.delegate().isResultShown());
    // It says it was stopped, not that every file is unique, and shows its counts.
    QVERIFY(ctrl()->scanWasStopped());
    QCOMPARE(ctrl()->noticeText(),
             QStringLiteral("The scan was stopped before it found duplicates. Press New Scan to start over."));
    QVERIFY(!ctrl()->scanAnimationView()->waringStatus());
    QVERIFY(ctrl()->TWLoadFileDragViewScanWasStopped(*ctrl()->loadfileview()));
    // A scan that runs to its end is no longer "stopped".
    // Scan Again takes the same folder (kept small here for speed).
    disconnect(stopper);
    const int left = 50;
    for (int i = left; i < files; ++i) std::filesystem::remove(tree / ("many/f" + std::to_string(i)));
    ctrl()->scanAgain();
    QVERIFY(finished());
    QVERIFY(!ctrl()->scanWasStopped());
    QCOMPARE(ctrl()->searchDuplicateFiles()->numberOfSearchFiles(), uint64_t(left));
    QCOMPARE(ctrl()->noticeText(), QStringLiteral("No duplicates were found. Press New Scan to start over."));
    QVERIFY(ctrl()->scanAnimationView()->waringStatus());
}

void ScanFlowTest::menuRulesWhileScanning() {
    LiveApp app;
    twtest::TempDir tree;
    for (int i = 0; i < 200; ++i) tree.write("m/f" + std::to_string(i), std::to_string(i));
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), {tree / "m"}));
    bool checked = false;
    // Hold the scan at its start so that its state can be looked at.
    connect(ctrl(), &TWLoadFilesCtrl::faceChanged, this, [&] {
        if (ctrl()->loadFilesStatus() == 1 && !checked) {
            checked = true;
            ctrl()->searchDuplicateFiles()->pauseSearch();
        }
    });
    pressScan();
    QVERIFY(apptest::waitFor([&] { return checked; }, 30000));
    QTest::qWait(20);
    AppDelegate& d = app.delegate();
    QCOMPARE(ctrl()->loadFilesStatus(), int64_t(1));
    QVERIFY(!enabled(d, TWMenuAction::openFolder));
    QVERIFY(!enabled(d, TWMenuAction::clearAction));
    QVERIFY(!enabled(d, TWMenuAction::showPreferences));
    QVERIFY(!enabled(d, TWMenuAction::selectAll));
    QVERIFY(enabled(d, TWMenuAction::aboutWindow));
    QVERIFY(!TWTitlebarViewCtrl::titleBarViewCtrl()->canSettings());
    QVERIFY(!ctrl()->btnImportFolders()->isEnabled());
    QCOMPARE(ctrl()->addButtonPicture(), QStringLiteral("btn_plus_disabled"));
    // A drop while scanning is refused.
    QVERIFY(!apptest::dragEnter(ctrl()->loadfileview(), {tree.mkdir("late")}));

    ctrl()->searchDuplicateFiles()->resumeSearch();
    QVERIFY(finished());
    QVERIFY(enabled(d, TWMenuAction::showPreferences));
}

void ScanFlowTest::newScanStartsOver() {
    LiveApp app;
    twtest::TempDir tree;
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), treeWithoutDuplicates(tree)));
    pressScan();
    QVERIFY(finished());
    QVERIFY(!TWTitlebarViewCtrl::titleBarViewCtrl()->canSettings());
    const auto folders = ctrl()->saveFilesPathArray();
    QVERIFY(!folders.empty());

    QTest::mouseClick(ctrl()->btnImportFolders(), Qt::LeftButton);  // "btn_newScan": no chooser
    QCOMPARE(ctrl()->loadFilesStatus(), int64_t(0));
    // The folders stay for the next scan.
    QCOMPARE(ctrl()->saveFilesPathArray(), folders);
    QVERIFY(!ctrl()->searchDuplicateFiles());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(TWTitlebarViewCtrl::titleBarViewCtrl()->canSettings());
    QCOMPARE(ctrl()->scanButtonPicture(), QStringLiteral("btn_scan"));
    QCOMPARE(ctrl()->addButtonPicture(), QStringLiteral("button_plus"));
    QVERIFY(!ctrl()->scanAnimationView()->waringStatus());
    QCOMPARE(ctrl()->TWLoadFileDragViewNumberOfScanFiles(*ctrl()->loadfileview()), int64_t(0));
}

void ScanFlowTest::showResultsAgainAfterBackDoesNotRescan() {
    LiveApp app;
    twtest::TempDir tree;
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), treeWithDuplicates(tree)));
    pressScan();
    QVERIFY(finished());
    QVERIFY(apptest::waitFor([&] { return app.delegate().isResultShown(); }, 5000));
    auto engine = ctrl()->searchDuplicateFiles();

    app.delegate().BackToScan();
    QVERIFY(!app.delegate().isResultShown());
    QCOMPARE(ctrl()->loadFilesStatus(), int64_t(2));
    QCOMPARE(ctrl()->scanButtonPicture(), QStringLiteral("btn_showresults"));
    pressScan();
    QVERIFY(apptest::waitFor([&] { return app.delegate().isResultShown(); }, 5000));
    QCOMPARE(ctrl()->searchDuplicateFiles(), engine);
    QCOMPARE(TWDuplicateFilesManager::shared().numberOfDuplicateFiles(), uint64_t(1));
}

void ScanFlowTest::libraryQuestionSkipKeepsTheSwitchOff() {
    LiveApp app;
    twtest::ScopedMediaLibraryService service(std::make_shared<twtest::InMemoryMediaLibraryService>());
    twtest::TempDir tree;
    std::string library = tree.mkdir("Pictures/Photos Library.photoslibrary");
    TWPreference::shared().setPhotosLibraryLocation(library);
    tree.write("Pictures/a.txt", twtest::randomBytes(4000, 3));
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), {tree / "Pictures"}));

    QString text, informative;
    QStringList buttons;
    QTimer::singleShot(0, this, [&] {
        QVERIFY(apptest::waitFor([] { return QApplication::activeModalWidget() != nullptr; }, 10000));
        auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(alert);
        text = alert->text();
        informative = alert->informativeText();
        QPushButton* skip = nullptr;
        for (QAbstractButton* button : alert->buttons()) {
            buttons << button->text();
            if (button->text() == QStringLiteral("Skip This Library")) skip = qobject_cast<QPushButton*>(button);
        }
        QVERIFY(skip);
        skip->click();
    });
    pressScan();
    QVERIFY(finished());
    QCOMPARE(text,
             QString::fromStdString("Twinsift will now open Photos to detect duplicates in your \"" + library + "\""));
    QCOMPARE(informative,
             QStringLiteral("It is required to keep Photos open until you finish locating and removing duplicates."));
    QVERIFY(buttons.contains(QStringLiteral("Skip This Library")));
    QVERIFY(buttons.contains(QStringLiteral("Open")));
    QVERIFY(!ctrl()->searchDuplicateFiles()->searchPhotosLibrary());
    QCOMPARE(ctrl()->searchDuplicateFiles()->numberOfSearchFiles(), uint64_t(1));
}

void ScanFlowTest::musicLibraryQuestionNamesMusic() {
    LiveApp app;
    twtest::ScopedMediaLibraryService service(std::make_shared<twtest::InMemoryMediaLibraryService>());
    twtest::TempDir tree;
    std::string media = tree.mkdir("Music/Music/Media");
    TWPreference::shared().setITunesMediaFolderLocation(media);
    tree.write("Music/song.txt", twtest::randomBytes(4000, 5));
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), {tree / "Music"}));

    QString text;
    answerLibraryQuestion(this, QStringLiteral("Skip This Library"), &text);
    pressScan();
    QVERIFY(finished());
    QCOMPARE(text,
             QString::fromStdString("Twinsift will now open Music to detect duplicates in your \"" + media + "\""));
    QVERIFY(!ctrl()->searchDuplicateFiles()->searchiTunesLibrary());
    QVERIFY(!ctrl()->searchDuplicateFiles()->searchPhotosLibrary());
}

void ScanFlowTest::withoutLibraryBackendTheFolderIsSkippedWithANotice() {
    LiveApp app;
    QVERIFY(!tw::MediaLibraryService::installed());
    twtest::TempDir tree;
    std::string library = tree.mkdir("Pictures/Photos Library.photoslibrary");
    tree.write("Pictures/Photos Library.photoslibrary/originals/p.txt", twtest::randomBytes(4000, 4));
    tree.write("Pictures/a.txt", twtest::randomBytes(4000, 4));
    TWPreference::shared().setPhotosLibraryLocation(library);
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), {tree / "Pictures"}));

    pressScan();
    QVERIFY(finished());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!ctrl()->searchDuplicateFiles()->searchPhotosLibrary());
    // The copy inside the library was not walked, so nothing matched.
    QCOMPARE(ctrl()->searchDuplicateFiles()->numberOfSearchFiles(), uint64_t(1));
    QVERIFY(ctrl()->noticeText().contains(QStringLiteral("Skipped the photo library")));
    QVERIFY(ctrl()->noticeText().contains(QString::fromStdString(library)));
}

void ScanFlowTest::shotwellLibraryIsAskedAboutOnlyWhereItIsAndShownWithItsName() {
    twtest::ScopedLibraryHome home;
    twtest::ScopedMediaLibraryService service(std::make_shared<tw::LinuxMediaLibraryService>());
    const std::string db = twtest::makeShotwellLibrary(home);
    QVERIFY(!db.empty());
    const std::string same = twtest::randomBytes(6000, 9);
    const std::string first = home.dir().write("Pictures/a.txt", same);
    const std::string second = home.dir().write("Pictures/b.txt", same);
    twtest::sql(db, "INSERT INTO PhotoTable (id, filename, filesize, flags) VALUES (1, '" + first +
                        "', 6000, 0), (2, '" + second + "', 6000, 0);");
    {
        // Folders that hold none of the library's files: no question.
        LiveApp app;
        QVERIFY(browsertest::scanAndShow(app, treeWithDuplicates(home.dir())));
        QVERIFY(!ctrl()->searchDuplicateFiles()->searchPhotosLibrary());
    }
    LiveApp app;
    QString text, informative;
    answerLibraryQuestion(this, QStringLiteral("Include"), &text, &informative);
    QVERIFY(browsertest::scanAndShow(app, {home.dir() / "Pictures"}));
    QCOMPARE(text,
             QString::fromStdString("Twinsift will read your Shotwell library \"" + db + "\" to detect duplicates"));
    QVERIFY(informative.contains(QStringLiteral("Close Shotwell before you remove duplicates")));
    QVERIFY(ctrl()->searchDuplicateFiles()->searchPhotosLibrary());

    // The two library items are one group; the file list and the compare view name their library.
    QCOMPARE(browsertest::resultGroups().size(), size_t(1));
    browsertest::selectGroupRow(0);
    QAbstractItemModel* rows = TWFilesListViewController::shared()->tableView()->model();
    QCOMPARE(rows->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        QVERIFY(
            rows->index(row, 0).data(Qt::ToolTipRole).toString().contains(QStringLiteral("In the Shotwell library")));
        auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(row));
        QCOMPARE(TWCompareView::pathCaption(*file),
                 QString::fromStdString(file->filePath()) + QStringLiteral(" (in the Shotwell library)"));
    }
}

void ScanFlowTest::pathsTheScanCouldNotReadAreCountedAndListed() {
    LiveApp app;
    twtest::TempDir tree;
    for (int i = 0; i < 3; ++i) tree.write("file-" + std::to_string(i) + ".txt", twtest::randomBytes(3000 + i, i));
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), {tree.path()}));
    QVERIFY(ctrl()->btnScanDetails()->isHidden());
    twtest::TooLongPath inside(tree);
    QVERIFY(inside.made());
    pressScan();
    QVERIFY(finished());

    QVERIFY2(ctrl()->noticeText().endsWith(QStringLiteral("\n1 path could not be read.")),
             qPrintable(ctrl()->noticeText()));
    QVERIFY(ctrl()->btnScanDetails()->isVisibleTo(ctrl()->view()));
    QTest::mouseClick(ctrl()->btnScanDetails(), Qt::LeftButton);
    auto* details = ctrl()->view()->window()->findChild<QMessageBox*>(QStringLiteral("scanDetails"));
    QVERIFY(details && details->isVisible());
    QCOMPARE(details->text(), QStringLiteral("1 path could not be read."));
    QCOMPARE(details->detailedText(),
             QString::fromStdString(inside.firstTooLong() + ": " + TWScanReport::pathTooLong()));
    details->close();
    // New Scan starts without the old report.
    QTest::mouseClick(ctrl()->btnImportFolders(), Qt::LeftButton);
    QCOMPARE(ctrl()->loadFilesStatus(), int64_t(0));
    QVERIFY(ctrl()->btnScanDetails()->isHidden());
    QVERIFY(!ctrl()->noticeText().contains(QStringLiteral("could not be read")));
}

void ScanFlowTest::theResultsSayWhatTheirScanCouldNotRead() {
    LiveApp app;
    twtest::TempDir tree;
    treeWithDuplicates(tree);
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), {tree.path()}));
    TWBrowserResoultViewCtrl* browser = TWBrowserResoultViewCtrl::shared();
    TWScanNoticeBar* bar = browser->scanNoticeBar();
    {
        twtest::TooLongPath inside(tree);
        QVERIFY(inside.made());
        pressScan();
        QVERIFY(finished());
        QVERIFY(apptest::waitFor([&] { return app.delegate().isResultShown(); }, 5000));

        // The results open at once, with the scan view's line above them.
        QVERIFY(bar->isVisibleTo(browser->view()));
        QCOMPARE(bar->label()->text(), QStringLiteral("1 path could not be read."));
        QTest::mouseClick(bar->detailsButton(), Qt::LeftButton);
        auto* details = browser->view()->window()->findChild<QMessageBox*>(QStringLiteral("scanDetails"));
        QVERIFY(details && details->isVisible());
        QCOMPARE(details->text(), QStringLiteral("1 path could not be read."));
        QCOMPARE(details->detailedText(),
                 QString::fromStdString(inside.firstTooLong() + ": " + TWScanReport::pathTooLong()));
        details->close();
    }
    // Scanning again, with every path readable, drops the band.
    bool rescanned = false;
    QObject watch;
    connect(ctrl(), &TWLoadFilesCtrl::faceChanged, &watch, [&] { rescanned |= ctrl()->loadFilesStatus() == 1; });
    emit browser->scanAgainRequested();
    QVERIFY(apptest::waitFor(
        [&] { return rescanned && ctrl()->loadFilesStatus() == 2 && app.delegate().isResultShown(); }, 60000));
    QVERIFY(bar->isHidden());
}

void ScanFlowTest::aLongReadShowsTheBytesItHasRead() {
    LiveApp app;
    twtest::TempDir tree;
    // Two equal sparse files: their whole contents are compared; each read is long,
    // but costs no disk.
    constexpr off_t kSize = off_t{4} << 30;
    for (const char* name : {"huge/a.bin", "huge/b.bin"}) {
        const std::string path = tree.write(name, "");
        QCOMPARE(::truncate(path.c_str(), kSize), 0);
    }
    QVERIFY(apptest::dragAndDrop(ctrl()->loadfileview(), {tree / "huge"}));
    QVERIFY(ctrl()->readingText().isEmpty());
    pressScan();
    QVERIFY(apptest::waitFor(
        [] {
            return ctrl()->loadFilesStatus() == 2 ||
                   (ctrl()->searchDuplicateFiles() && ctrl()->searchDuplicateFiles()->digestProgress().bytesRead > 0);
        },
        60000));
    QVERIFY2(ctrl()->loadFilesStatus() == 1, "the reads ended before the test could look at them");
    ctrl()->searchDuplicateFiles()->pauseSearch();
    // A read already under way ends its block after the pause: wait until the count
    // stands still before comparing what the view shows.
    QString reading = ctrl()->readingText();
    QVERIFY(apptest::waitFor(
        [&] {
            QTest::qWait(50);
            const QString now = ctrl()->readingText();
            return std::exchange(reading, now) == now;
        },
        10000));
    QVERIFY2(reading.startsWith(QStringLiteral("Reading ")) && reading.contains(QStringLiteral(" of ")),
             qPrintable(reading));
    QCOMPARE(ctrl()->TWLoadFileDragViewReadingText(*ctrl()->loadfileview()), reading);
    pressScan();  // Stop
    ctrl()->searchDuplicateFiles()->resumeSearch();
    QVERIFY(finished());
    QVERIFY(ctrl()->readingText().isEmpty());
}

void ScanFlowTest::aFileOutsideTheChosenFoldersCannotBeChecked() {
    LiveApp app;
    twtest::TempDir tree;
    const std::string outside = tree.write("other/original.txt", "precious words");
    tree.write("chosen/copy.txt", "precious words");
    const std::string link = tree.symlink(outside, "chosen/link.txt");
    QVERIFY(browsertest::scanAndShow(app, {tree / "chosen"}));
    QCOMPARE(browsertest::resultGroups().size(), size_t(1));
    QVERIFY(browsertest::checkedPaths().empty());  // the rule would check it; it stays unchecked

    browsertest::selectGroupRow(0);
    QListView* table = TWFilesListViewController::shared()->tableView();
    int row = -1;
    for (int r = 0; r < table->model()->rowCount(); ++r)
        if (TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(r))->filePath() == outside) row = r;
    QVERIFY(row >= 0);
    const QString note = QStringLiteral("(through the link %1)").arg(QString::fromStdString(link));
    QCOMPARE(table->model()->index(row, 0).data(Qt::DisplayRole).toString(),
             QString::fromStdString(outside) + QLatin1Char(' ') + note);
    auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(row));
    QVERIFY(TWCompareView::pathCaption(*file).endsWith(note));
    QCOMPARE(
        TWCheckMark::toolTip(*file),
        QStringLiteral("Cannot be marked: it lies outside the chosen folders (reached through a symbolic link). ") +
            note);

    // A click on its box checks nothing; the same click on the copy's box checks it.
    auto clickBox = [&](int at) {
        const QRect box = TWFilesListCellDelegate::checkBoxRect(table->visualRect(table->model()->index(at, 0)));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
        QCoreApplication::processEvents();  // the click's handler runs queued
    };
    clickBox(row);
    QVERIFY(!file->isChecked());
    QVERIFY(browsertest::checkedPaths().empty());
    clickBox(1 - row);
    QCOMPARE(browsertest::checkedPaths(), (std::set<std::string>{tree / "chosen/copy.txt"}));
}

QTEST_MAIN(ScanFlowTest)
#include "ScanFlow_test.moc"
