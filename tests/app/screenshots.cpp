// Draws the scan view in its faces on the offscreen platform and saves them as PNG
// files into the folder given as the only argument.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <cstdio>

#include "AppTestSupport.h"
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
    return ok ? 0 : 1;
}
