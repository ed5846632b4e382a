// Draws the results browser on a realistic result (photos, documents, music) in its
// overview, icon, slide and compare views, a file's right-click menu, the removal's
// progress window, the library guide and the summary after a removal to the Trash (a
// Trash of this process's own), on the offscreen platform, as PNG files in the folder
// given as the only argument.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "BrowserTestSupport.h"
#include "app/TWAppStyle.h"
#include "app/TWBrowserKeyboard.h"
#include "app/TWBrowserResoultViewCtrl.h"
#include "app/TWCleanMediaLibraryWndCtrl.h"
#include "app/TWDuplicateFilesViewCtrl.h"
#include "app/TWFilesListViewController.h"
#include "app/TWIconView.h"
#include "app/TWIconViewController.h"
#include "app/TWMainWindow.h"
#include "app/TWProgressWndCtrl.h"
#include "app/TWQuickLookViewCtrl.h"
#include "app/TWRemovalSummary.h"
#include "app/TWThumbnailCache.h"
#include "app/TWToolBar.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"

namespace {

bool save(const QImage& shot, const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Lets thumbnails and previews arrive, then draws the window.
QImage settledShot(AppDelegate& app) {
    apptest::waitFor([] { return TWThumbnailCache::shared()->pendingCount() == 0; }, 20000);
    apptest::waitFor([] { return !TWQuickLookViewCtrl::shareQuickLookViewCtrl()->isLoading(); }, 20000);
    QTest::qWait(100);
    return app.wndMain()->grab().toImage();
}

// More photos, so that the icon view shows a full grid.
void writeMorePhotos(const twtest::TempDir& tree) {
    const char* names[] = {"IMG_2041.jpg", "IMG_2042.jpg", "Harbour.jpg", "Old Town.jpg", "Forest Path.jpg"};
    int seed = 20;
    for (const char* name : names) {
        QImage image = browsertest::landscape(800, 600, seed++);
        image.save(QString::fromStdString(tree.mkdir("Pictures/Camera") + "/" + name), "JPG", 88);
        image.save(QString::fromStdString(tree.mkdir("Pictures/Phone Backup") + "/" + name), "JPG", 88);
    }
}

// `window` with `sheet` drawn over it at `at`, dimmed behind when `dim`, with a shadow
// and a thin border, as a window manager would show a dialog or a menu over it.
void drawOver(QImage& window, const QImage& sheet, const QPoint& at, bool dim) {
    QPainter painter(&window);
    if (dim) painter.fillRect(window.rect(), QColor(0, 0, 0, 60));
    painter.fillRect(QRect(at + QPoint(0, 3), sheet.size()), QColor(0, 0, 0, 40));
    painter.drawImage(at, sheet);
    painter.setPen(QColor(0xB8, 0xBE, 0xC7));
    painter.drawRect(QRect(at, sheet.size()).adjusted(0, 0, -1, -1));
}

// Answers the removal's confirmation with Yes once it shows.
void answerYesWhenAsked() {
    auto* poll = new QTimer();
    QObject::connect(poll, &QTimer::timeout, [poll] {
        auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!alert) return;
        poll->stop();
        poll->deleteLater();
        for (QAbstractButton* button : alert->buttons())
            if (button->text() == QStringLiteral("Yes")) button->click();
    });
    poll->start(10);
}

}  // namespace

// The results window on a screen of 3200 x 2000 pixels at scale 2, as one picture
// twice the size of the others.
int hiDpiMain(int argc, char** argv, const QString& folder) {
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    if (!config.open(QIODevice::WriteOnly)) return 1;
    config.write(R"({"screens": [{"name": "hidpi", "x": 0, "y": 0, "width": 3200, "height": 2000,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication qapp(argc, argv);
    apptest::LiveApp live;
    twtest::TempDir tree("Twinsift");
    if (!browsertest::scanAndShow(live, browsertest::writeRealisticTree(tree))) return 1;
    apptest::waitFor([&] { return !live.delegate().wndMain()->isAnimating(); }, 5000);
    live.delegate().wndMain()->resize(1000, 680);
    if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    QTest::mouseClick(browsertest::browser()->btnCompareViewMode(), Qt::LeftButton);
    const int report = browsertest::rowOfGroupNamed("Quarterly Report.pdf");
    if (report >= 0) browsertest::selectGroupRow(report);
    return save(settledShot(live.delegate()), folder, QStringLiteral("browser-compare-hidpi.png")) ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[2]) == "--hidpi") {
        QDir().mkpath(QString::fromLocal8Bit(argv[1]));
        return hiDpiMain(argc - 1, argv, QString::fromLocal8Bit(argv[1]));
    }
    // A Trash of this process's own for the removal (read once per process).
    twtest::TempDir dataHome("TwinsiftData");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataHome.path()));
    // The removal lock's folder of its own too: suites running meanwhile remove as well.
    twtest::TempDir runtime("TwinsiftRuntime");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    QApplication qapp(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER [--hidpi]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    apptest::LiveApp live;
    AppDelegate& app = live.delegate();
    twtest::TempDir tree("Twinsift");
    auto roots = browsertest::writeRealisticTree(tree);
    writeMorePhotos(tree);
    if (!browsertest::scanAndShow(live, roots)) {
        std::fprintf(stderr, "the scan did not show its result\n");
        return 1;
    }
    apptest::waitFor([&] { return !app.wndMain()->isAnimating(); }, 5000);
    app.wndMain()->resize(1000, 680);
    TWBrowserResoultViewCtrl* browser = browsertest::browser();
    bool ok = true;

    if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    // Overview.
    QTest::mouseClick(TWToolBar::shareToolBar()->overviewBtn(), Qt::LeftButton);
    ok = save(settledShot(app), folder, QStringLiteral("browser-overview.png")) && ok;

    // Icons: the images, every group selected.
    QTest::mouseClick(TWToolBar::shareToolBar()->categoryButtons()[TWCategory_images], Qt::LeftButton);
    TWDuplicateFilesManager::shared().setSelection({0, 1, 2});
    browser->updateDuplicateFilesState();
    TWFilesListManager::shareFilesListManager().setSelection({0});
    browser->updateDetailFilesState();
    ok = save(settledShot(app), folder, QStringLiteral("browser-icons.png")) && ok;
    // The same in the dark scheme.
    TWAppStyle::setDark(true);
    ok = save(settledShot(app), folder, QStringLiteral("browser-icons-dark.png")) && ok;
    TWAppStyle::setDark(false);

    // Slide: all categories, a photo previewed above the list.
    QTest::mouseClick(TWToolBar::shareToolBar()->categoryButtons()[TWCategory_allFiles], Qt::LeftButton);
    QTest::mouseClick(browser->btnSlideViewMode(), Qt::LeftButton);
    const int beach = browsertest::rowOfGroupNamed("Beach Sunset.jpg");
    if (beach >= 0) browsertest::selectGroupRow(beach);
    ok = save(settledShot(app), folder, QStringLiteral("browser-slide.png")) && ok;

    // Compare: the three copies of the report.
    QTest::mouseClick(browser->btnCompareViewMode(), Qt::LeftButton);
    const int report = browsertest::rowOfGroupNamed("Quarterly Report.pdf");
    if (report >= 0) browsertest::selectGroupRow(report);
    ok = save(settledShot(app), folder, QStringLiteral("browser-compare.png")) && ok;

    // The progress window over the browser, as a removal shows it.
    TWProgressWndCtrl* progress = TWProgressWndCtrl::progressWndCtrl();
    progress->beginSheet(app.wndMain());
    progress->setPercent(45);
    progress->setTitle(QStringLiteral("4 files, 212.3 KB remaining"));
    QImage window = settledShot(app);
    const QImage sheet = progress->grab().toImage();
    drawOver(window, sheet, QPoint((window.width() - sheet.width()) / 2, 60), true);
    ok = save(window, folder, QStringLiteral("browser-progress.png")) && ok;
    progress->endSheet();

    // The library guide after a run that handed photos and songs over.
    TWCleanMediaLibraryWndCtrl* guide = TWCleanMediaLibraryWndCtrl::shareCleanMediaLibraryWndCtrl();
    guide->setCleanPhotos(true);
    guide->setCleanItunes(true);
    guide->setAlbumNameInPhotos(QString::fromLatin1(kTWDuplicateAlbumName));
    guide->setGroupNameInPhotos(QString::fromLatin1(kTWDuplicateFolderName));
    guide->setPlaylistNameInItunes(QString::fromLatin1(kTWDuplicatePlaylistName));
    guide->setLibraryNames("Shotwell", "Rhythmbox");
    guide->updateFace();
    guide->show();
    QTest::qWait(100);
    ok = save(guide->grab().toImage(), folder, QStringLiteral("library-guide.png")) && ok;
    guide->hide();

    // A file's right-click menu in the icon view: the photos of the beach.
    QTest::mouseClick(browser->btnIconViewMode(), Qt::LeftButton);
    if (beach >= 0) browsertest::selectGroupRow(beach);
    TWIconView* icons = TWIconViewController::shared()->view();
    const QPoint point = icons->pictureRect(1).center();
    if (QMenu* menu = browser->keyboard()->fileMenuAt(icons->viewport(), point)) {
        QImage shot = settledShot(app);
        menu->ensurePolished();
        menu->adjustSize();
        const QPoint at = icons->viewport()->mapTo(app.wndMain(), point);
        drawOver(shot, menu->grab().toImage(), at, false);
        ok = save(shot, folder, QStringLiteral("browser-context-menu.png")) && ok;
        delete menu;
    } else {
        std::fprintf(stderr, "no menu for the icon\n");
        ok = false;
    }

    // The summary after removing the checked files to the Trash.
    answerYesWhenAsked();
    QTest::mouseClick(browser->btnDelete(), Qt::LeftButton);
    if (apptest::waitFor([&] { return browser->removalSummary() && browser->removalSummary()->isVisible(); }, 60000)) {
        TWRemovalSummary* summary = browser->removalSummary();
        summary->adjustSize();
        QImage shot = settledShot(app);
        const QImage dialog = summary->grab().toImage();
        drawOver(shot, dialog, QPoint((shot.width() - dialog.width()) / 2, 90), true);
        ok = save(shot, folder, QStringLiteral("browser-removal-summary.png")) && ok;
    } else {
        std::fprintf(stderr, "the removal summary did not show\n");
        ok = false;
    }
    return ok ? 0 : 1;
}
