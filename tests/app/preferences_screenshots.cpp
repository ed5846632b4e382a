// Draws the preferences window's three pages on the offscreen platform, with a few
// settings filled in, and saves them as PNG files into the folder given as the only
// argument.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTableView>
#include <QTest>
#include <cstdio>

#include "AppTestSupport.h"
#include "app/TWPreferenceCtrl.h"
#include "app/TWPreferenceIgnorePage.h"
#include "app/TWPreferenceSmartPage.h"
#include "platform/LinuxLibraries.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPrivilegeFolder.h"

namespace {

bool save(QWidget* window, const QString& folder, const QString& name) {
    QTest::qWait(50);
    QPixmap shot = window->grab();
    QString path = QDir(folder).filePath(name);
    if (!shot.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

void fillSettings(const twtest::TempDir& home) {
    TWPreference& preferences = TWPreference::shared();
    preferences.setFilterMinSize(4 * 1024);
    preferences.setFilterMaxSize(612ull * 1024 * 1024);
    for (const char* type : {"log", "tmp", "part", "crdownload", "DS_Store", "thumbs"})
        preferences.addFilterFileType(type);
    preferences.addFilterFileFolders({home.mkdir("Projects/build"), home.mkdir("Downloads/Installers"),
                                      home.write("Documents/Taxes 2023.pdf", "x"), home.mkdir(".cache")});
    preferences.setCheckMethodForDuplicateFiles(TWCheckMethodFolderPrivilege);
    preferences.setCheckMethodForSimilarImages(TWCheckMethodLowResolution);
    preferences.setUsingDupFilesChkMtdForSimImg(false);
    preferences.addPrivilegeFoldersWithURLs(
        {home.mkdir("Pictures/Originals"), home.mkdir("Documents"), home.mkdir("Downloads")});
    preferences.setPhotosLibraryLocation(home.mkdir("Pictures/Shotwell"));
    preferences.setITunesMediaFolderLocation(home.mkdir("Music/Rhythmbox"));
    auto grants = preferences.foldersPrivilege();
    for (size_t i = 0; i < grants.size(); ++i) grants[i]->setPrivilege(int64_t(i));
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

    apptest::setUpApplication();
    twtest::ScopedDefaults defaults;
    twtest::TempDir home("Twinsift");
    fillSettings(home);
    tw::installLinuxLibraries();  // as the app runs: the General page shows the library rows

    TWPreferenceCtrl* ctrl = TWPreferenceCtrl::shared();
    ctrl->showWindow();
    if (!QTest::qWaitForWindowExposed(ctrl->window())) std::fprintf(stderr, "window not exposed\n");
    bool ok = save(ctrl->window(), folder, QStringLiteral("preferences-general.png"));
    ctrl->showPage(TWPreferenceCtrl::ignorePage);
    ctrl->ignore()->reloadData();
    ctrl->ignore()->fileTypeView()->setSelectedIndex(1);
    ctrl->ignore()->tableView()->selectRow(1);
    ok = save(ctrl->window(), folder, QStringLiteral("preferences-ignore.png")) && ok;
    ctrl->showPage(TWPreferenceCtrl::smartPage);
    ctrl->smart()->reloadData();
    ctrl->smart()->privilegeFolderTableView()->selectRow(0);
    ok = save(ctrl->window(), folder, QStringLiteral("preferences-smart.png")) && ok;
    TWPreferenceCtrl::resetShared();
    return ok ? 0 : 1;
}
