// Draws the scan view in its faces on the offscreen platform and saves them as PNG
// files into the folder given as the only argument.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <cstdio>

#include "AppTestSupport.h"
#include "TWAppStyle.h"
#include "TWLoadFilesCtrl.h"
#include "TWMainWindow.h"

namespace {

bool save(AppDelegate& app, const QString& folder, const QString& name) {
    QTest::qWait(50);
    QPixmap shot = app.wndMain()->grab();
    QString path = QDir(folder).filePath(name);
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    apptest::LiveApp live;
    AppDelegate& app = live.delegate();
    auto* ctrl = TWLoadFilesCtrl::shareLoadFilesCtrl();
    bool ok = save(app, folder, QStringLiteral("scan-view-empty.png"));

    twtest::TempDir tree("Twinsift");
    std::vector<std::string> folders;
    for (const char* name : {"Pictures", "Documents", "Music", "Downloads"}) folders.push_back(tree.mkdir(name));
    ctrl->addFolder(folders);
    ctrl->reloadData();
    ok = save(app, folder, QStringLiteral("scan-view-folders.png")) && ok;
    TWAppStyle::setDark(true);
    ok = save(app, folder, QStringLiteral("scan-view-folders-dark.png")) && ok;
    TWAppStyle::setDark(false);
    TWAppStyle::setDark(true);
    ok = save(app, folder, QStringLiteral("scan-view-folders-dark.png")) && ok;
    TWAppStyle::setDark(false);

    // While scanning: hold the scan (paused) once the counters show something.
    ctrl->clearFolders();
    for (int i = 0; i < 2400; ++i) {
        int key = i % 7 == 6 ? i - 3 : i;  // every seventh file copies an earlier one
        std::string content = "photo " + std::to_string(key) + std::string(900 + key % 300, '.');
        tree.write("Library/Album " + std::to_string(i / 100) + "/IMG_" + std::to_string(i) + ".dat", content);
    }
    ctrl->addFolder({tree / "Library"});
    ctrl->reloadData();
    ctrl->startOrStopSearch();
    bool held = apptest::waitFor(
        [&] {
            auto engine = ctrl->searchDuplicateFiles();
            if (!engine || engine->numberOfSearchFiles() < 1500) return false;
            engine->pauseSearch();
            return true;
        },
        60000);
    // The ring stops at a pleasing angle rather than wherever the clock left it.
    QTest::qWait(330);
    ok = held && save(app, folder, QStringLiteral("scan-view-scanning.png")) && ok;
    if (auto engine = ctrl->searchDuplicateFiles()) {
        engine->resumeSearch();
        engine->stopSearch();
    }
    ok = apptest::waitFor([&] { return ctrl->loadFilesStatus() == 2; }, 60000) && ok;

    // A finished scan that found nothing.
    app.backAction();
    ctrl->loadFilesFromOpenpanel();  // New Scan
    for (int i = 0; i < 12; ++i) tree.write("Unique/note-" + std::to_string(i) + ".txt", std::string(100 + i, 'n'));
    ctrl->addFolder({tree / "Unique"});
    ctrl->reloadData();
    ctrl->startOrStopSearch();
    ok = apptest::waitFor([&] { return ctrl->loadFilesStatus() == 2; }, 60000) && ok;
    ok = apptest::waitFor([&] { return !app.wndMain()->isAnimating(); }, 5000) && ok;
    ok = save(app, folder, QStringLiteral("scan-view-no-duplicates.png")) && ok;
    return ok ? 0 : 1;
}
