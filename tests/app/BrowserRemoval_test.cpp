// Removal from the browser, through its widgets: the confirmation's Yes and No, the
// Trash (a Trash of this process's own, through XDG_DATA_HOME), the summary after a
// removal with its Undo and Scan Again, Cancel from the progress window, a move into a
// chosen folder, files left in place reported in the summary, and the library guide
// window. Merely similar files go only when the confirmation says so; name mode asks
// about files whose content differs; a removal waits for another one, and can be
// cancelled while it waits.

#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "BrowserTestSupport.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWCleanMediaLibraryWndCtrl.h"
#include "app/TWLoadFilesCtrl.h"
#include "app/TWProgressWndCtrl.h"
#include "app/TWRemovalSummary.h"
#include "app/TWStaleResultBar.h"
#include "model/TWDuplicateFilesManager.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPreferenceTypes.h"
#include "removal/TWRemovalLock.h"
#include "removal/TWRemovalReview.h"

using apptest::LiveApp;
using browsertest::browser;

namespace {

// GIO reads XDG_DATA_HOME once per process: set before anything starts.
std::unique_ptr<twtest::TempDir>& dataHome() {
    static std::unique_ptr<twtest::TempDir> home;
    return home;
}

// The removal lock's folder, this process's own: other suites running meanwhile take
// theirs elsewhere.
std::unique_ptr<twtest::TempDir>& runtimeDir() {
    static std::unique_ptr<twtest::TempDir> runtime;
    return runtime;
}

std::string trashFiles() {
    return dataHome()->path() + "/Trash/files";
}

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.insert(entry.path().filename().string());
    return names;
}

// Answers the next application-modal alert with the button titled `answer`; the
// alert's texts land in `text` and `informative`. With `includeSimilar` the
// confirmation's check box for merely similar files is ticked first. It polls from the
// event loop (no loop of its own), so the alert may come from any nested loop.
void answerAlert(const QString& answer, QString* text = nullptr, QString* informative = nullptr,
                 bool includeSimilar = false) {
    auto* poll = new QTimer();
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!alert && started->elapsed() < 60000) return;
        poll->stop();
        poll->deleteLater();
        if (!alert) return;
        if (text) *text = alert->text();
        if (informative) *informative = alert->informativeText();
        if (includeSimilar && alert->checkBox()) alert->checkBox()->setChecked(true);
        for (QAbstractButton* button : alert->buttons())
            if (button->text() == answer) button->click();
    });
    poll->start(10);
}

// Answers alerts by their object name as they come, one after the other, with no
// nested event loop: what each showed is kept.
using Answers = std::map<QString, QString>;  // alert object name -> button
class AlertAnswers : public QObject {
public:
    struct Seen {
        QString text, informative, defaultButton;
        bool hasCheckBox = false;
    };
    explicit AlertAnswers(Answers answers) : answers_(std::move(answers)) {
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start(10);
    }
    std::map<QString, Seen> seen;

private:
    void answer() {
        auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!alert || alert == last_ || !answers_.count(alert->objectName())) return;
        last_ = alert;
        seen[alert->objectName()] = {alert->text(), alert->informativeText(),
                                     alert->defaultButton() ? alert->defaultButton()->text() : QString(),
                                     alert->checkBox() != nullptr};
        for (QAbstractButton* button : alert->buttons())
            if (button->text() == answers_[alert->objectName()]) button->click();
    }
    std::map<QString, QString> answers_;
    QPointer<QMessageBox> last_;
    QTimer timer_;
};

// The confirmation's "<n> files (<size>)" for the checked files now.
QString checkedFilesAndSize() {
    const auto& manager = TWDuplicateFilesManager::shared();
    return QStringLiteral("%1 files (%2)")
        .arg(qulonglong(manager.numberOfFilesCheckedToRemoved()))
        .arg(QString::fromStdString(TWFileUtility::stringWithSize(manager.sizeOfFilesCheckedToRemoved())));
}

// The checked files that only a kept look-alike vouches for.
std::set<std::string> merelySimilarChecked() {
    std::set<std::string> paths;
    for (const auto& entry :
         TWRemovalReview::merelySimilarChecked(TWDuplicateFilesManager::shared().allDuplicateFiles()))
        paths.insert(entry.file->filePath());
    return paths;
}

bool progressTitled(const char* title) {
    TWProgressWndCtrl* progress = TWProgressWndCtrl::progressWndCtrl();
    return progress->isVisible() && progress->title() == QString::fromLatin1(title);
}

TWRemovalSummary* shownSummary() {
    TWRemovalSummary* summary = browser()->removalSummary();
    return summary && summary->isVisible() ? summary : nullptr;
}

// The checked files that a plain Yes lets go (merely similar ones stay unless confirmed).
std::set<std::string> checkedToGo() {
    auto paths = browsertest::checkedPaths();
    for (const auto& path : merelySimilarChecked()) paths.erase(path);
    return paths;
}

// Delete, Yes, and the summary once the run ended (null when none showed).
TWRemovalSummary* removeCheckedAndWaitForSummary() {
    QSignalSpy finished(browser(), &TWBrowserResoultViewCtrl::removalFinished);
    answerAlert(QStringLiteral("Yes"));
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    if (!finished.wait(60000) && finished.count() != 1) return nullptr;
    apptest::waitFor([] { return shownSummary() != nullptr; }, 5000);
    return shownSummary();
}

// The scan view's totals: duplicates, scanned files, size.
struct Totals {
    int64_t duplicates, scanned;
    uint64_t size;
};
Totals scanViewTotals() {
    TWLoadFilesCtrl* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    return {ctrl->TWLoadFileDragViewNumberOfDupcaliteFiles(*ctrl->loadfileview()),
            ctrl->TWLoadFileDragViewNumberOfScanFiles(*ctrl->loadfileview()),
            ctrl->TWLoadFileDragViewNumberOfScanSize(*ctrl->loadfileview())};
}

bool waitForRemovalEnd() {
    return apptest::waitFor([] { return !browser()->isRemoving(); }, 60000);
}

struct Scanned {
    LiveApp app;
    twtest::TempDir tree{"Twinsift"};
    bool ok = browsertest::scanAndShow(app, browsertest::writeRealisticTree(tree));
};

// Clicks Cancel as soon as the progress window shows: the run waits for that moment,
// so the first file is the only one it takes.
class CancelOnShow : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The comparison before the confirmation shows the window too: only the run counts.
        if (event->type() == QEvent::Show && watched == TWProgressWndCtrl::progressWndCtrl() &&
            TWProgressWndCtrl::progressWndCtrl()->title() == QString::fromLatin1(kTWProcessingTitle)) {
            shownTitle = TWProgressWndCtrl::progressWndCtrl()->title();
            QTest::mouseClick(TWProgressWndCtrl::progressWndCtrl()->cancelButton(), Qt::LeftButton);
        }
        return false;
    }
    QString shownTitle;
};

}  // namespace

class BrowserRemovalTest : public QObject {
    Q_OBJECT
private slots:
    void noRemovesNothing();
    void deleteToTrashRemovesExactlyTheCheckedFiles();
    void summaryUndoPutsBackExactlyTheTrashedFiles();
    void summaryOfADeletionOffersNoUndo();
    void summaryTakesTheKeyboardFromTheProgressWindow();
    void cancelDuringARemovalKeepsTheRestChecked();
    void moveToAFolderUnderFreeNames();
    void filesLeftInPlaceAreReportedInOneMessage();
    void closingTheWindowDuringARemovalStopsIt();
    void guideWindowFollowsTheFlags();
    void progressWindowCancelAndTexts();
    void merelySimilarFilesGoOnlyWhenTheConfirmationSaysSo();
    void theTrashWarningNamesOnlyFilesTheTrashCannotTake();
    void nameModeAsksAboutFilesWhoseContentDiffers();
    void aRemovalWaitsForAnotherAndCancelEndsTheWait();
    void aRemovalThatCannotTakeTheLockSaysWhy();
};

void BrowserRemovalTest::noRemovesNothing() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    const auto before = browsertest::resultPaths();
    const auto checked = browsertest::checkedPaths();
    QString text, informative;
    answerAlert(QStringLiteral("No"), &text, &informative);
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(waitForRemovalEnd());  // the comparison, then the question
    QCOMPARE(text, checkedFilesAndSize() + QStringLiteral(" will be deleted permanently. Are you sure?"));
    QVERIFY(informative.startsWith(QStringLiteral("Warning: You can not undo this action!")));
    QVERIFY(!browser()->isRemoving());
    QCOMPARE(browsertest::resultPaths(), before);
    QCOMPARE(browsertest::checkedPaths(), checked);
    for (const auto& path : before) QVERIFY(twtest::exists(path));
}

void BrowserRemovalTest::deleteToTrashRemovesExactlyTheCheckedFiles() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeTrash);
    const auto groups = browsertest::resultGroups();
    const auto checked = browsertest::checkedPaths();
    QVERIFY(!checked.empty());
    QSignalSpy finished(browser(), &TWBrowserResoultViewCtrl::removalFinished);

    const QString files = checkedFilesAndSize();
    QString text, informative;
    answerAlert(QStringLiteral("Yes"), &text, &informative, true);
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    QCOMPARE(text, files + QStringLiteral(" will be moved to the Trash. Are you sure?"));
    // Every file here can go to the Trash: no warning.
    QVERIFY2(!informative.contains(QStringLiteral("Warning")), qPrintable(informative));
    QVERIFY(browser()->lastRemovalReport().isEmpty());

    // Exactly the checked files left the disk, into our Trash; one of each group stays.
    for (const auto& group : groups) {
        int kept = 0;
        for (const auto& path : group) {
            QCOMPARE(twtest::exists(path), checked.count(path) == 0);
            if (twtest::exists(path)) ++kept;
        }
        QCOMPARE(kept, 1);
    }
    std::multiset<std::string> trashed;
    for (const auto& name : namesIn(trashFiles())) trashed.insert(name);
    for (const auto& path : checked) {
        const std::string name = std::filesystem::path(path).filename().string();
        bool found = false;
        for (const auto& entry : trashed)
            if (entry == name || entry.rfind(std::filesystem::path(name).stem().string(), 0) == 0) found = true;
        QVERIFY2(found, path.c_str());
    }
    // The results no longer hold them; the views and the status line followed.
    QVERIFY(browsertest::resultPaths().empty());
    QCOMPARE(browser()->statusInfoRuns().value(0), QStringLiteral("0"));
    QVERIFY(!browser()->btnDelete()->isEnabled());
    QVERIFY(!TWProgressWndCtrl::progressWndCtrl()->isVisible());
    QCOMPARE(TWProgressWndCtrl::progressWndCtrl()->percent(), 100.0);
    QVERIFY(!TWCleanMediaLibraryWndCtrl::shareCleanMediaLibraryWndCtrl()->isVisible());
}

void BrowserRemovalTest::summaryUndoPutsBackExactlyTheTrashedFiles() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeTrash);
    const auto checked = checkedToGo();
    QVERIFY(checked.size() >= 3);
    std::map<std::string, std::string> contents;
    uint64_t checkedBytes = 0;
    for (const auto& path : checked) {
        contents[path] = twtest::readFile(path);
        checkedBytes += contents[path].size();
    }
    const Totals before = scanViewTotals();
    QString opened;
    TWRemovalSummary::setOpener([&](const QString& uri, QWidget*) { opened = uri; });
    TWRemovalSummary* summary = removeCheckedAndWaitForSummary();
    QVERIFY(summary);
    // How many, how much, where, with Open Trash and Undo.
    QCOMPARE(summary->headlineLabel()->text(), QStringLiteral("%1 files moved to the Trash").arg(checked.size()));
    QVERIFY2(
        summary->bodyLabel()->text().startsWith(QString::fromStdString(TWFileUtility::stringWithSize(checkedBytes)) +
                                                QStringLiteral(" will be freed")),
        qPrintable(summary->bodyLabel()->text()));
    QCOMPARE(summary->openButton()->text(), QStringLiteral("Open Trash"));
    QTest::mouseClick(summary->openButton(), Qt::LeftButton);
    QCOMPARE(opened, QStringLiteral("trash:///"));
    QVERIFY(summary->isVisible());
    QVERIFY(summary->undoButton()->isVisible() && summary->undoButton()->isEnabled());
    QVERIFY(summary->closeButton()->isDefault());
    // The scan view's totals lost the removed files.
    const Totals after = scanViewTotals();
    QCOMPARE(after.duplicates, before.duplicates - int64_t(checked.size()));
    QCOMPARE(after.scanned, before.scanned - int64_t(checked.size()));
    QCOMPARE(after.size, before.size - checkedBytes);

    // A file of the same name appeared at one place since: that one stays in the Trash,
    // the new file untouched; every other file is back with its content.
    const std::string taken = *checked.begin();
    {
        std::ofstream out(taken, std::ios::binary);
        out << "appeared since";
    }
    // Ctrl+Z, as the Undo button.
    summary->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(summary));
    QTest::keyClick(summary, Qt::Key_Z, Qt::ControlModifier);
    for (const auto& [path, content] : contents)
        QCOMPARE(twtest::readFile(path), path == taken ? std::string("appeared since") : content);
    QCOMPARE(summary->headlineLabel()->text(), QStringLiteral("%1 files put back").arg(checked.size() - 1));
    QVERIFY2(summary->bodyLabel()->text().contains(
                 QStringLiteral("1 file stayed in the Trash: a file of that name is in its place now.\n") +
                 QString::fromStdString(taken)),
             qPrintable(summary->bodyLabel()->text()));
    QVERIFY(summary->detailsView()->toPlainText().contains(QString::fromStdString(taken)));
    QVERIFY(!summary->undoButton()->isVisible());
    bool stillTrashed = false;
    for (const auto& name : namesIn(trashFiles()))
        if (twtest::readFile(trashFiles() + "/" + name) == contents[taken]) stillTrashed = true;
    QVERIFY(stillTrashed);
    const Totals undone = scanViewTotals();
    QCOMPARE(undone.duplicates, before.duplicates - 1);
    QCOMPARE(undone.size, before.size - contents[taken].size());

    // The results are marked out of date; Scan Again scans the same folders.
    TWStaleResultBar* bar = browser()->staleResultBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->label()->text(),
             QStringLiteral("Files were put back from the Trash: these results are out of date."));
    QTest::mouseClick(summary->closeButton(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([] { return !browser()->removalSummary(); }, 5000));
    const auto folders = TWLoadFilesCtrl::shareLoadFilesCtrl()->saveFilesPathArray();
    QTest::mouseClick(bar->scanAgainButton(), Qt::LeftButton);
    // Back on the scan view at once, with a new scan under way.
    QVERIFY(!s.app.delegate().isResultShown());
    QVERIFY(TWLoadFilesCtrl::shareLoadFilesCtrl()->loadFilesStatus() != 2);
    QVERIFY(apptest::waitFor(
        [&] {
            return TWLoadFilesCtrl::shareLoadFilesCtrl()->loadFilesStatus() == 2 && s.app.delegate().isResultShown();
        },
        60000));
    QCOMPARE(TWLoadFilesCtrl::shareLoadFilesCtrl()->saveFilesPathArray(), folders);
    QVERIFY(!bar->isVisible());
    const auto rescanned = browsertest::resultPaths();
    for (const auto& [path, content] : contents)
        if (path != taken) QVERIFY2(rescanned.count(path), path.c_str());
    TWRemovalSummary::setOpener(nullptr);
}

void BrowserRemovalTest::summaryTakesTheKeyboardFromTheProgressWindow() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeTrash);
    const auto checked = checkedToGo();
    QVERIFY(!checked.empty());
    TWRemovalSummary* summary = removeCheckedAndWaitForSummary();
    QVERIFY(summary);
    QVERIFY(apptest::waitFor([&] { return QApplication::activeWindow() == summary; }, 5000));
    // As under X when the window manager's focus of the progress window comes late: the
    // toolkit makes the hidden progress window active after the summary showed.
    QWidget* progress = TWProgressWndCtrl::progressWndCtrl();
    QVERIFY(!progress->isVisible());
    QApplication::setActiveWindow(progress);
    QCOMPARE(QApplication::activeWindow(), progress);
    QVERIFY(apptest::waitFor([&] { return QApplication::activeWindow() == summary; }, 5000));
    QCOMPARE(QApplication::focusWidget(), summary->closeButton());
    // Its keys reach it: Ctrl+Z to the focus puts the files back.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(apptest::waitFor([&] { return !summary->undoButton()->isVisible(); }, 5000));
    for (const auto& path : checked) QVERIFY2(QFileInfo::exists(QString::fromStdString(path)), path.c_str());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(apptest::waitFor([] { return !browser()->removalSummary(); }, 5000));
}

void BrowserRemovalTest::summaryOfADeletionOffersNoUndo() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    const auto checked = checkedToGo();
    TWRemovalSummary* summary = removeCheckedAndWaitForSummary();
    QVERIFY(summary);
    QCOMPARE(summary->headlineLabel()->text(), QStringLiteral("%1 files deleted").arg(checked.size()));
    QVERIFY(summary->bodyLabel()->text().endsWith(QStringLiteral(" freed.")));
    QVERIFY(!summary->undoButton());
    QVERIFY(!summary->openButton());
    QVERIFY(!browser()->staleResultBar()->isVisible());
}

void BrowserRemovalTest::cancelDuringARemovalKeepsTheRestChecked() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    const auto checked = browsertest::checkedPaths();
    QVERIFY(checked.size() >= 3);
    CancelOnShow canceller;
    TWProgressWndCtrl::progressWndCtrl()->installEventFilter(&canceller);
    answerAlert(QStringLiteral("Yes"), nullptr, nullptr, true);
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(waitForRemovalEnd());
    TWProgressWndCtrl::progressWndCtrl()->removeEventFilter(&canceller);

    QCOMPARE(canceller.shownTitle, QStringLiteral("Processing, please waiting..."));
    QVERIFY(TWProgressWndCtrl::progressWndCtrl()->isCancelled());
    // The step that saw the cancel still took its file; the walk then ended.
    size_t gone = 0;
    for (const auto& path : checked)
        if (!twtest::exists(path)) ++gone;
    QCOMPARE(gone, size_t(1));
    const auto stillChecked = browsertest::checkedPaths();
    QCOMPARE(stillChecked.size(), checked.size() - 1);
    for (const auto& path : stillChecked) QVERIFY(twtest::exists(path));
    QCOMPARE(browser()->statusInfoRuns().value(0), QString::number(checked.size() - 1));
    QVERIFY(browser()->btnDelete()->isEnabled());
}

void BrowserRemovalTest::moveToAFolderUnderFreeNames() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeMoveToFolder);
    twtest::TempDir target("Moved");
    target.write("Quarterly Report.pdf", "already here");
    const auto checked = browsertest::checkedPaths();
    QSignalSpy finished(browser(), &TWBrowserResoultViewCtrl::removalFinished);

    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }, 10000));
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    QVERIFY(chooser->fileMode() == QFileDialog::Directory);
    chooser->setDirectory(QString::fromStdString(target.path()));
    chooser->selectFile(QString::fromStdString(target.path()));
    QPushButton* moveHere = nullptr;
    for (QPushButton* button : chooser->findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Move Here")) moveHere = button;
    QVERIFY(moveHere);
    // The similar photo makes the move ask; its check box lets that photo go too.
    const QString files = checkedFilesAndSize();
    QString text;
    answerAlert(QStringLiteral("Yes"), &text, nullptr, true);
    QTest::mouseClick(moveHere, Qt::LeftButton);
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    QCOMPARE(text, files + QStringLiteral(" will be moved into %1.").arg(QString::fromStdString(target.path())));

    for (const auto& path : checked) QVERIFY2(!twtest::exists(path), path.c_str());
    const auto moved = namesIn(target.path());
    QCOMPARE(moved.size(), checked.size() + 1);
    // The name already taken got a free one.
    if (std::any_of(checked.begin(), checked.end(),
                    [](const std::string& p) { return std::filesystem::path(p).filename() == "Quarterly Report.pdf"; }))
        QVERIFY(moved.count("Quarterly Report 1.pdf"));
    QCOMPARE(twtest::readFile(target / "Quarterly Report.pdf"), std::string("already here"));
}

void BrowserRemovalTest::filesLeftInPlaceAreReportedInOneMessage() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    // The kept copy of the song changed since the scan: its checked twin must stay.
    std::string kept, twin;
    for (const auto& group : browsertest::resultGroups()) {
        if (group.size() != 2 || group[0].find(".mp3") == std::string::npos) continue;
        const auto checked = browsertest::checkedPaths();
        kept = checked.count(group[0]) ? group[1] : group[0];
        twin = checked.count(group[0]) ? group[0] : group[1];
    }
    QVERIFY(!kept.empty());
    {
        FILE* file = fopen(kept.c_str(), "r+b");
        QVERIFY(file);
        fputs("changed", file);
        fclose(file);
    }
    QSignalSpy finished(browser(), &TWBrowserResoultViewCtrl::removalFinished);
    answerAlert(QStringLiteral("Yes"), nullptr, nullptr, true);
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(finished.wait(60000) || finished.count() == 1);

    QVERIFY(twtest::exists(twin));
    QVERIFY(twtest::exists(kept));
    const QString report = browser()->lastRemovalReport();
    QVERIFY2(report.startsWith(QStringLiteral("1 file was left where it was.")), qPrintable(report));
    // Shown in the summary over the window, without waiting for the user.
    QVERIFY(apptest::waitFor([] { return shownSummary() != nullptr; }, 5000));
    QVERIFY(shownSummary()->bodyLabel()->text().contains(QStringLiteral("1 file was left where it was.")));
    QVERIFY(shownSummary()->detailsView()->toPlainText().startsWith(QString::fromStdString(twin) + ": "));
}

void BrowserRemovalTest::closingTheWindowDuringARemovalStopsIt() {
    twtest::TempDir tree("Twinsift");
    auto app = std::make_unique<LiveApp>();
    QVERIFY(browsertest::scanAndShow(*app, browsertest::writeRealisticTree(tree)));
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    const auto checked = browsertest::checkedPaths();
    QVERIFY(checked.size() >= 3);
    browser()->removedCheckedFilesWithFolder(std::nullopt);
    QVERIFY(browser()->isRemoving());
    // The app ends at once: the run finishes the file in hand and stops; nothing hangs.
    app.reset();
    size_t gone = 0;
    for (const auto& path : checked)
        if (!twtest::exists(path)) ++gone;
    QVERIFY(gone <= 1);
}

void BrowserRemovalTest::guideWindowFollowsTheFlags() {
    LiveApp app;
    TWCleanMediaLibraryWndCtrl* guide = TWCleanMediaLibraryWndCtrl::shareCleanMediaLibraryWndCtrl();
    guide->setAlbumNameInPhotos(QStringLiteral("Varnel Duplicate Album"));
    guide->setGroupNameInPhotos(QStringLiteral("Varnel Duplicate Folder"));
    guide->setPlaylistNameInItunes(QStringLiteral("Varnel Duplicate Media"));
    guide->setCleanItunes(true);
    guide->updateFace();
    QCOMPARE(guide->promptLabel()->text(),
             QStringLiteral("Twinsift moves all iTunes duplicates to Varnel Duplicate Media. You can use iTunes to "
                            "complete the removal. As shown below:"));
    QCOMPARE(guide->pictureFrame(guide->imgViewForiTunes()), QRect(140, 20, 240, 344));
    QVERIFY(!guide->imgViewForPhotos()->isVisibleTo(guide));

    guide->setCleanPhotos(true);
    guide->updateFace();
    QVERIFY(guide->prompt().contains(QStringLiteral("Varnel Duplicate Folder - Varnel Duplicate Album")));
    QCOMPARE(guide->pictureFrame(guide->imgViewForPhotos()), QRect(20, 20, 240, 344));
    QCOMPARE(guide->pictureFrame(guide->imgViewForiTunes()), QRect(280, 20, 240, 344));
    guide->setCleanItunes(false);
    guide->updateFace();
    QCOMPARE(guide->pictureFrame(guide->imgViewForPhotos()), QRect(140, 20, 240, 344));
    QVERIFY(guide->prompt().contains(QStringLiteral("Varnel Duplicate Folder >> Varnel Duplicate Album")));

    // Named libraries: the text says what was done where, the picture shows that application.
    guide->setLibraryNames("Shotwell", "Rhythmbox");
    const QImage shotwell = guide->imgViewForPhotos()->pixmap().toImage();
    guide->setLibraryNames("digiKam", "Rhythmbox");
    QCOMPARE(guide->prompt(), QStringLiteral("Twinsift tagged all photos duplicates Varnel Duplicate Folder >> Varnel "
                                             "Duplicate Album in digiKam. You can use digiKam to complete the "
                                             "removal. As shown below:"));
    QVERIFY(guide->imgViewForPhotos()->accessibleName().startsWith(QStringLiteral("How to finish in digiKam")));
    QVERIFY(guide->imgViewForiTunes()->accessibleName().startsWith(QStringLiteral("How to finish in Rhythmbox")));
    const QImage digikam = guide->imgViewForPhotos()->pixmap().toImage();
    QVERIFY(!digikam.isNull() && digikam.size() == shotwell.size());
    // Text is not rasterised bit for bit alike twice (glyphs land on other subpixels
    // once cached), so pictures are compared at an eighth of their size: the same name
    // draws the same picture there, another name a clearly other one.
    const auto distance = [](const QImage& a, const QImage& b) {
        const QImage sa = a.scaled(a.size() / 8, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage sb = b.scaled(b.size() / 8, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int most = 0;
        for (int y = 0; y < sa.height(); ++y)
            for (int x = 0; x < sa.width(); ++x) {
                const QRgb p = sa.pixel(x, y), q = sb.pixel(x, y);
                most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q))});
            }
        return most;
    };
    guide->setLibraryNames("Shotwell", "Rhythmbox");
    const int again = distance(guide->imgViewForPhotos()->pixmap().toImage(), shotwell);
    const int other = distance(digikam, shotwell);
    QVERIFY2(again < 8 && other > 24, qPrintable(QStringLiteral("%1 and %2").arg(again).arg(other)));
    guide->setLibraryNames("", "");
}

void BrowserRemovalTest::progressWindowCancelAndTexts() {
    LiveApp app;
    TWProgressWndCtrl* progress = TWProgressWndCtrl::progressWndCtrl();
    QCOMPARE(progress->title(), QStringLiteral("Removing, please waiting..."));
    QCOMPARE(progress->percent(), 0.0);
    QVERIFY(!progress->isCancelled());
    bool handled = false;
    progress->setCancelHandler([&] { handled = true; });
    progress->beginSheet(app.delegate().wndMain());
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->windowModality(), Qt::WindowModal);
    progress->setPercent(42.5);
    QCOMPARE(progress->progressBar()->value(), 425);
    QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
    QVERIFY(progress->isCancelled());
    QVERIFY(handled);
    // Only the flag: the window stays until the run ends it.
    QVERIFY(progress->isVisible());
    progress->endSheet();
    QVERIFY(!progress->isVisible());
    progress->setCancelHandler(nullptr);
}

void BrowserRemovalTest::theTrashWarningNamesOnlyFilesTheTrashCannotTake() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeTrash);
    const auto checked = browsertest::checkedPaths();
    QVERIFY(checked.size() >= 2);
    const auto askWith = [&](std::set<std::string> refused) {
        browser()->setTrashCheck([refused](const std::string& path) { return refused.count(path) == 0; });
        QString informative;
        answerAlert(QStringLiteral("No"), nullptr, &informative);
        QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
        const bool ended = waitForRemovalEnd();
        browser()->setTrashCheck({});
        return ended ? informative : QStringLiteral("(no end)");
    };
    QCOMPARE(askWith({*checked.begin()}).section(QStringLiteral("\n\n"), 0, 0),
             QStringLiteral("Warning: 1 of these files lies on a drive where the Trash cannot be used. It will be "
                            "left in place."));
    // A kept file the Trash cannot take is no concern of the warning.
    const auto kept = browsertest::resultPaths();
    std::set<std::string> refused(checked.begin(), std::next(checked.begin(), 2));
    for (const auto& path : kept)
        if (!checked.count(path)) refused.insert(path);
    QCOMPARE(askWith(refused).section(QStringLiteral("\n\n"), 0, 0),
             QStringLiteral("Warning: 2 of these files lie on a drive where the Trash cannot be used. They will be "
                            "left in place."));
    QVERIFY(!askWith({}).contains(QStringLiteral("Warning")));
    QCOMPARE(browsertest::checkedPaths(), checked);
}

void BrowserRemovalTest::merelySimilarFilesGoOnlyWhenTheConfirmationSaysSo() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    const auto checked = browsertest::checkedPaths();
    const auto similar = merelySimilarChecked();
    QCOMPARE(similar.size(), size_t(1));  // the photo saved at another quality
    QSignalSpy finished(browser(), &TWBrowserResoultViewCtrl::removalFinished);

    // The plain Yes leaves the look-alike alone: on disk, in the results, unchecked.
    AlertAnswers answers(Answers{{QStringLiteral("removalConfirmation"), QStringLiteral("Yes")}});
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    const auto& asked = answers.seen[QStringLiteral("removalConfirmation")];
    QVERIFY(asked.hasCheckBox);
    QVERIFY2(asked.informative.endsWith(
                 QStringLiteral("1 of the checked files are only similar to the images kept, not identical copies.")),
             qPrintable(asked.informative));
    for (const auto& path : checked) QCOMPARE(twtest::exists(path), similar.count(path) == 1);
    QVERIFY(browsertest::resultPaths().count(*similar.begin()));
    QVERIFY(browsertest::checkedPaths().empty());
    QVERIFY(browser()->lastRemovalReport().isEmpty());
}

void BrowserRemovalTest::nameModeAsksAboutFilesWhoseContentDiffers() {
    LiveApp app;
    TWPreference::shared().setSearchMode(TWSearchModeName);
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    twtest::TempDir tree("Twinsift");
    tree.write("a/notes.txt", "the same words");
    tree.write("b/notes.txt", "the same words");
    tree.write("a/plan.txt", "first version!");
    tree.write("b/plan.txt", "other version!");
    QVERIFY(browsertest::scanAndShow(app, {tree / "a", tree / "b"}));
    const auto checked = browsertest::checkedPaths();
    QCOMPARE(checked.size(), size_t(2));
    std::string checkedNotes, checkedPlan;
    for (const auto& path : checked) (path.ends_with("plan.txt") ? checkedPlan : checkedNotes) = path;
    QVERIFY(!checkedNotes.empty() && !checkedPlan.empty());

    // Cancel leaves everything as it was.
    {
        AlertAnswers answers(Answers{{QStringLiteral("removalConfirmation"), QStringLiteral("Yes")},
                                     {QStringLiteral("differingContent"), QStringLiteral("Cancel")}});
        QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
        QVERIFY(apptest::waitFor([&] { return answers.seen.size() == 2 && !browser()->isRemoving(); }, 60000));
        const auto& asked = answers.seen[QStringLiteral("differingContent")];
        QCOMPARE(asked.text,
                 QStringLiteral("1 of the checked files differ in content from the file kept in their group."));
        QCOMPARE(asked.defaultButton, QStringLiteral("Remove only identical files"));
        QVERIFY(!answers.seen[QStringLiteral("removalConfirmation")].hasCheckBox);
        QCOMPARE(browsertest::checkedPaths(), checked);
        for (const auto& path : browsertest::resultPaths()) QVERIFY(twtest::exists(path));
    }
    // The default removes the identical copy only; the other plan stays, unchecked.
    QSignalSpy finished(browser(), &TWBrowserResoultViewCtrl::removalFinished);
    AlertAnswers answers(Answers{{QStringLiteral("removalConfirmation"), QStringLiteral("Yes")},
                                 {QStringLiteral("differingContent"), QStringLiteral("Remove only identical files")}});
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    QVERIFY(!twtest::exists(checkedNotes));
    QVERIFY(twtest::exists(checkedPlan));
    QCOMPARE(twtest::readFile(tree / "a/plan.txt"), std::string("first version!"));
    QCOMPARE(twtest::readFile(tree / "b/plan.txt"), std::string("other version!"));
    QVERIFY(browser()->lastRemovalReport().isEmpty());
    QVERIFY(browsertest::checkedPaths().empty());
}

void BrowserRemovalTest::aRemovalWaitsForAnotherAndCancelEndsTheWait() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    const auto checked = browsertest::checkedPaths();
    tw::Status status;
    auto other = TWRemovalLock::tryLock(&status);  // another removal, as a command-line run holds it
    QVERIFY(other);

    // Cancel while waiting: nothing goes, the marks stay, no report.
    answerAlert(QStringLiteral("Yes"), nullptr, nullptr, true);
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([] { return progressTitled(kTWWaitingTitle); }, 60000));
    QVERIFY(browser()->isRemoving());
    QTest::mouseClick(TWProgressWndCtrl::progressWndCtrl()->cancelButton(), Qt::LeftButton);
    QVERIFY(waitForRemovalEnd());
    QVERIFY(!TWProgressWndCtrl::progressWndCtrl()->isVisible());
    QCOMPARE(browsertest::checkedPaths(), checked);
    for (const auto& path : checked) QVERIFY(twtest::exists(path));
    QVERIFY(browser()->lastRemovalReport().isEmpty());

    // Waiting again; the window stays live, and the run goes on once the other ends.
    QSignalSpy finished(browser(), &TWBrowserResoultViewCtrl::removalFinished);
    answerAlert(QStringLiteral("Yes"), nullptr, nullptr, true);
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(apptest::waitFor([] { return progressTitled(kTWWaitingTitle); }, 60000));
    for (const auto& path : checked) QVERIFY(twtest::exists(path));
    other.reset();
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    for (const auto& path : checked) QVERIFY2(!twtest::exists(path), path.c_str());
    QVERIFY(browser()->lastRemovalReport().isEmpty());
}

void BrowserRemovalTest::aRemovalThatCannotTakeTheLockSaysWhy() {
    Scanned s;
    QVERIFY(s.ok);
    TWPreference::shared().setDestType(TWDestTypeDeletePermanently);
    const auto checked = browsertest::checkedPaths();
    // The lock file is a link (to a file that must not be touched): the lock is refused.
    twtest::TempDir elsewhere;
    const std::string target = elsewhere.write("precious.txt", "keep me");
    const std::string lock = TWRemovalLock::lockPath();
    std::filesystem::remove(lock);
    std::filesystem::create_symlink(target, lock);
    QSignalSpy finished(browser(), &TWBrowserResoultViewCtrl::removalFinished);
    answerAlert(QStringLiteral("Yes"), nullptr, nullptr, true);
    QTest::mouseClick(browser()->btnDelete(), Qt::LeftButton);
    QVERIFY(finished.wait(60000) || finished.count() == 1);
    std::filesystem::remove(lock);

    QVERIFY2(browser()->lastRemovalReport().startsWith(QStringLiteral("Nothing was removed.\n")),
             qPrintable(browser()->lastRemovalReport()));
    for (const auto& path : checked) QVERIFY(twtest::exists(path));
    QCOMPARE(twtest::readFile(target), std::string("keep me"));
}

int main(int argc, char** argv) {
    dataHome() = std::make_unique<twtest::TempDir>("twinsift-data-home");
    setenv("XDG_DATA_HOME", dataHome()->path().c_str(), 1);
    runtimeDir() = std::make_unique<twtest::TempDir>("twinsift-runtime");
    chmod(runtimeDir()->path().c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtimeDir()->path().c_str(), 1);
    QApplication app(argc, argv);
    BrowserRemovalTest test;
    const int status = QTest::qExec(&test, argc, argv);
    dataHome().reset();
    runtimeDir().reset();
    return status;
}

#include "BrowserRemoval_test.moc"
