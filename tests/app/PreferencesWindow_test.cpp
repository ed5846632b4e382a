// The preferences window: page switching through its title bar, each page's controls
// written to the store at once, the file-type and ignored-item lists, the smart
// selection bindings and the privileged folders, Select All, and settings that a
// later scan reads.

#include <sys/stat.h>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <set>

#include "AppTestSupport.h"
#include "app/TWArtwork.h"
#include "app/TWFileTypeView.h"
#include "app/TWMenuAction.h"
#include "app/TWPreferenceCtrl.h"
#include "app/TWPreferenceGeneralPage.h"
#include "app/TWPreferenceIgnorePage.h"
#include "app/TWPreferenceSmartPage.h"
#include "app/TWPreferencesWndTitleBarViewCtrl.h"
#include "engine/TWSearchDuplicateFiles.h"
#include "files/TWScanCache.h"
#include "platform/LinuxLibraries.h"
#include "platform/MediaLibraryService.h"
#include "platform/NotificationCenter.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPrivilegeFolder.h"

namespace {

// The shown window over a private settings store; `before` fills the store first.
struct Window {
    twtest::ScopedDefaults defaults;
    TWPreferenceCtrl* ctrl = nullptr;
    explicit Window(const std::function<void(TWPreference&)>& before = {}) {
        apptest::setUpApplication();
        if (before) before(TWPreference::shared());
        ctrl = TWPreferenceCtrl::shared();
        ctrl->showWindow();
        if (!QTest::qWaitForWindowExposed(ctrl->window())) qWarning("preferences window not exposed");
    }
    ~Window() { TWPreferenceCtrl::resetShared(); }
    TWPreference& store() { return TWPreference::shared(); }
};

// Clicks on the indicator: a button stretched by its layout is not hit past its text.
void clickToggle(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void clickRadio(QButtonGroup* group, int id) {
    clickToggle(group->button(id));
}

std::vector<std::string> storedTypes() {
    return TWPreference::shared().filterFileTypeArray();
}

}  // namespace

class PreferencesWindowTest : public QObject {
    Q_OBJECT
private slots:
    void titleBarButtonsChoosePages();
    void everyPageFitsTheWindow();
    void generalPageShowsAndWritesTheStore();
    void libraryChooserStoresTheChosenFolder();
    void rememberFilesBindsToTheStoreAndClearTellsAFailure();
    void ignoreChecksAndSizeSummary();
    void addingATypeWithNothingTypedLeavesThePlaceholder();
    void removingTheLastChipSelectsTheNewLastChip();
    void ignoredItemsAddRemoveAndReveal();
    void selectAllWorksOnTheIgnorePageOnly();
    void showWindowReloadsTheIgnoredItems();
    void duplicateRulesBindToTheStore();
    void imageRuleTurnsTheSharedRuleOff();
    void privilegedFolderRemoveFollowsRuleAndSelection();
    void privilegeEditsAndEmptyValueKeepsIt();
    void settingsChangedInTheWindowReachTheNextScan();
    void aScanStartedAfterwardsUsesTheWindowsSettings();
};

void PreferencesWindowTest::titleBarButtonsChoosePages() {
    Window w;
    TWPreferencesWndTitleBarViewCtrl* bar = w.ctrl->titleBar();
    QCOMPARE(bar->height(), 50);
    QCOMPARE(bar->buttonSelected(), 0);
    QCOMPARE(w.ctrl->currentPage(), int(TWPreferenceCtrl::generalPage));
    int posts = 0;
    auto observer = tw::NotificationCenter::defaultCenter().addObserver(TWButtonSelectedDidChanged,
                                                                        [&](const tw::Notification& note) {
                                                                            ++posts;
                                                                            QVERIFY(!note.object.has_value());
                                                                        });

    QTest::mouseClick(bar->pageButton(2), Qt::LeftButton);
    QCOMPARE(posts, 1);
    QCOMPARE(bar->buttonSelected(), 2);
    QCOMPARE(w.ctrl->currentPage(), int(TWPreferenceCtrl::smartPage));
    QCOMPARE(TWPreferencesWndTitleBarViewCtrl::pictureFor(2, true), QStringLiteral("smart_selected"));
    QCOMPARE(bar->pageButton(2)->property("selected").toBool(), true);
    QCOMPARE(bar->pageButton(0)->property("selected").toBool(), false);

    // The page already shown: nothing is posted.
    QTest::mouseClick(bar->pageButton(2), Qt::LeftButton);
    QCOMPARE(posts, 1);
    QTest::mouseClick(bar->pageButton(1), Qt::LeftButton);
    QCOMPARE(posts, 2);
    QCOMPARE(w.ctrl->currentPage(), int(TWPreferenceCtrl::ignorePage));

    // Every picture the window names is in the resources.
    for (int i = 0; i < 3; ++i) {
        QVERIFY(TWArtwork::exists(TWPreferencesWndTitleBarViewCtrl::pictureFor(i, false)));
        QVERIFY(TWArtwork::exists(TWPreferencesWndTitleBarViewCtrl::pictureFor(i, true)));
    }
    for (const char* name : {"cursorNormal", "cursorDown", "openInFinder", "openInFinder_selected"}) {
        QVERIFY2(TWArtwork::exists(QString::fromLatin1(name)), name);
    }

    // The window manager decorates the window, as it does the main window; closing it
    // and showing it again keeps the page.
    QVERIFY(!(w.ctrl->window()->windowFlags() & Qt::FramelessWindowHint));
    w.ctrl->window()->close();
    QVERIFY(!w.ctrl->window()->isVisible());
    w.ctrl->showWindow();
    QCOMPARE(w.ctrl->currentPage(), int(TWPreferenceCtrl::ignorePage));
}

void PreferencesWindowTest::everyPageFitsTheWindow() {
    // As the app runs: with the library backends, whose locations add two rows.
    tw::installLinuxLibraries();
    auto uninstall = qScopeGuard([] { tw::MediaLibraryService::install(nullptr); });
    Window w;
    QCOMPARE(w.ctrl->window()->size(), TWPreferenceCtrl::kWindowSize);
    QVERIFY(w.ctrl->general()->photosLibraryField()->isVisibleTo(w.ctrl->general()));
    const QStringList faults = apptest::preferencePagesThatDoNotFit(w.ctrl);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("\n"))));
}

void PreferencesWindowTest::generalPageShowsAndWritesTheStore() {
    Window w([](TWPreference& p) {
        p.setSearchMode(1);
        p.setDestType(2);
    });
    TWPreferenceGeneralPage* page = w.ctrl->general();
    QCOMPARE(page->matrixSearchMethod()->checkedId(), 1);
    QCOMPARE(page->matrixRemoveDest()->checkedId(), 2);
    QCOMPARE(page->slideSimilarity()->value(), 70);
    QCOMPARE(page->similarLevelDescription()->text(), TWPreferenceGeneralPage::percentText(0.7f));
    QVERIFY(page->similarLevelDescription()->text().startsWith(QStringLiteral("70")));
    QVERIFY(page->chkVerifyFullContent()->isChecked());
    QVERIFY(!page->chkScanInBackground()->isChecked());
    QCOMPARE(page->chkScanInBackground()->text(), QStringLiteral("Scan in the background"));
    // Loading the controls wrote nothing: the similarity level is still absent.
    QVERIFY(twtest::readFile(w.defaults.defaultsPath()).find(kSimilarityLevel) == std::string::npos);

    clickRadio(page->matrixSearchMethod(), 0);
    QCOMPARE(w.store().searchMode(), int64_t(0));
    clickRadio(page->matrixRemoveDest(), 1);
    QCOMPARE(w.store().destType(), int64_t(1));
    page->slideSimilarity()->setValue(85);
    QCOMPARE(w.store().similarityLevel(), 0.85f);
    QVERIFY(page->similarLevelDescription()->text().startsWith(QStringLiteral("85")));
    clickToggle(page->chkVerifyFullContent());
    QVERIFY(!w.store().verifyFullContent());
    // The measure beside the slider shows the stored one and stores the one chosen.
    QCOMPARE(page->matrixSimilarMethod()->checkedId(), int(w.store().similarMethod()));
    clickRadio(page->matrixSimilarMethod(), TWSimilarMethodColours);
    QCOMPARE(w.store().similarMethod(), int64_t(TWSimilarMethodColours));
    clickRadio(page->matrixSimilarMethod(), TWSimilarMethodLook);
    QCOMPARE(w.store().similarMethod(), int64_t(TWSimilarMethodLook));
    clickToggle(page->chkScanInBackground());
    QVERIFY(w.store().scanInBackground());

    // A stored mode that no row stands for leaves both rows unchosen.
    w.store().setSearchMode(5);
    page->reloadData();
    QCOMPARE(page->matrixSearchMethod()->checkedId(), -1);
}

void PreferencesWindowTest::rememberFilesBindsToTheStoreAndClearTellsAFailure() {
    Window w;
    TWPreferenceGeneralPage* page = w.ctrl->general();
    QCOMPARE(page->chkRememberFiles()->text(), QStringLiteral("Remember files between scans"));
    QCOMPARE(page->clearRememberedButton()->text(), QStringLiteral("Clear"));
    QVERIFY(page->chkRememberFiles()->isChecked());
    clickToggle(page->chkRememberFiles());
    QVERIFY(!w.store().rememberFiles());
    clickToggle(page->chkRememberFiles());
    QVERIFY(w.store().rememberFiles());

    // Clear empties the cache the scans use.
    twtest::TempDir tree;
    const std::string file = tree.write("file.bin", twtest::randomBytes(4000, 1));
    twtest::letFileTimesSettle();
    const std::string cachePath = TWScanCache::defaultPath();
    QCOMPARE(cachePath, w.defaults.cacheHome() + "/twinsift/cache.sqlite3");
    {
        auto cache = TWScanCache::open();
        QVERIFY(cache);
        auto record = TWFileUtility::initWithPath(file);
        record->hashString();
        cache->remember(*record);
    }
    QTest::mouseClick(page->clearRememberedButton(), Qt::LeftButton);
    QVERIFY(!w.ctrl->window()->findChild<QMessageBox*>(QStringLiteral("cannotClearAlert")));
    {
        auto cache = TWScanCache::open();
        QVERIFY(cache);
        auto record = TWFileUtility::initWithPath(file);
        QVERIFY(!cache->recall(*record));
    }
    // A cache that cannot be opened is not cleared, and the alert says so.
    twtest::removeTree(cachePath);
    ::mkdir(cachePath.c_str(), 0700);
    QTest::mouseClick(page->clearRememberedButton(), Qt::LeftButton);
    auto* alert = w.ctrl->window()->findChild<QMessageBox*>(QStringLiteral("cannotClearAlert"));
    QVERIFY(alert);
    QVERIFY(alert->text().contains(QString::fromStdString(cachePath)));
    alert->close();
}

void PreferencesWindowTest::libraryChooserStoresTheChosenFolder() {
    Window w;
    twtest::TempDir tree;
    std::string library = tree.mkdir("Pictures/Shotwell");
    tree.write("Pictures/Shotwell/data/photo.db", "");
    TWPreferenceGeneralPage* page = w.ctrl->general();
    const std::string before = w.store().PhotosLibraryLocation();

    QTest::mouseClick(page->changePhotosButton(), Qt::LeftButton);
    auto* chooser = w.ctrl->window()->findChild<QFileDialog*>();
    QVERIFY(chooser);
    QCOMPARE(chooser->fileMode(), QFileDialog::Directory);
    QVERIFY(chooser->testOption(QFileDialog::ReadOnly));  // no new folders
    QCOMPARE(chooser->windowModality(), Qt::WindowModal);
    // A folder without a library is refused with a warning that names it.
    emit chooser->filesSelected({QString::fromStdString(tree.path())});
    auto* alert = w.ctrl->window()->findChild<QMessageBox*>(QStringLiteral("noLibraryAlert"));
    QVERIFY(alert);
    QVERIFY(alert->text().contains(QString::fromStdString(tree.path())));
    QCOMPARE(w.store().PhotosLibraryLocation(), before);
    alert->close();
    // Shotwell's folder is taken, and is the one the backends read.
    emit chooser->filesSelected({QString::fromStdString(library)});
    QCOMPARE(w.store().PhotosLibraryLocation(), library);
    QCOMPARE(w.store().chosenLibraryLocation(MLMediaSourcePhotosIdentifier), library);
    QCOMPARE(page->photosLibraryField()->text().toStdString(), library);
    chooser->close();

    // The music folder must hold Rhythmbox's library.
    const std::string music = tree.write("rb/rhythmdb.xml", "<rhythmdb version=\"2.0\"/>");
    page->changeItunesMediaLocation();
    auto* second = w.ctrl->window()->findChildren<QFileDialog*>().last();
    emit second->filesSelected({QString::fromStdString(library)});
    QVERIFY(QTest::qWaitFor([&] {
        for (auto* box : w.ctrl->window()->findChildren<QMessageBox*>())
            if (box->isVisible() && box->text().contains(QStringLiteral("Rhythmbox"))) return true;
        return false;
    }));
    QCOMPARE(w.store().chosenLibraryLocation(MLMediaSourceiTunesIdentifier), std::string());
    emit second->filesSelected({QString::fromStdString(tree / "rb")});
    QCOMPARE(w.store().iTunesMediaFolderLocation(), tree / "rb");
    second->close();
}

void PreferencesWindowTest::ignoreChecksAndSizeSummary() {
    Window w([](TWPreference& p) { p.setFilterPackage(true); });
    TWPreferenceIgnorePage* page = w.ctrl->ignore();
    QVERIFY(page->chkSkipPage()->isChecked());
    QVERIFY(page->chkSkipHiddenItems()->isChecked());
    w.ctrl->showPage(TWPreferenceCtrl::ignorePage);
    clickToggle(page->chkSkipPage());
    QVERIFY(!w.store().filterPackage());
    clickToggle(page->chkSkipHiddenItems());
    QVERIFY(!w.store().skipHiddenItems());
    QVERIFY(page->sizeSummary()->text().contains(QStringLiteral("Unlimited")));
    QVERIFY(!page->removeFileTypeButton()->isEnabled());
    QVERIFY(!page->removeItemsButton()->isEnabled());
}

void PreferencesWindowTest::addingATypeWithNothingTypedLeavesThePlaceholder() {
    Window w([](TWPreference& p) { p.addFilterFileType("log"); });
    w.ctrl->showPage(TWPreferenceCtrl::ignorePage);
    TWPreferenceIgnorePage* page = w.ctrl->ignore();
    TWFileTypeView* types = page->fileTypeView();

    QTest::mouseClick(page->addFileTypeButton(), Qt::LeftButton);
    QCOMPARE(storedTypes(), (std::vector<std::string>{"log", "xxxx"}));
    QCOMPARE(types->selectedIndex(), 1);
    QCOMPARE(types->editingIndex(), 1);
    QCOMPARE(types->editor()->selectedText(), QStringLiteral("xxxx"));
    QVERIFY(page->removeFileTypeButton()->isEnabled());
    types->endEditing();
    QCOMPARE(storedTypes(), (std::vector<std::string>{"log", "xxxx"}));

    // Adding while an edit is open stores that edit first.
    page->addFilterFileType();
    types->editor()->setText(QStringLiteral("mp3"));
    page->addFilterFileType();
    QCOMPARE(storedTypes(), (std::vector<std::string>{"log", "xxxx", "mp3", "xxxx"}));
    QTest::keyClicks(types->editor(), QStringLiteral("part"));
    QTest::keyClick(types->editor(), Qt::Key_Return);
    QCOMPARE(storedTypes(), (std::vector<std::string>{"log", "xxxx", "mp3", "part"}));

    // An edit emptied removes the type.
    QTest::mouseDClick(types, Qt::LeftButton, {}, types->chipRects()[1].center().toPoint());
    QCOMPARE(types->editingIndex(), 1);
    types->editor()->clear();
    QTest::keyClick(types->editor(), Qt::Key_Return);
    QCOMPARE(storedTypes(), (std::vector<std::string>{"log", "mp3", "part"}));
}

void PreferencesWindowTest::removingTheLastChipSelectsTheNewLastChip() {
    Window w([](TWPreference& p) {
        for (const char* type : {"a", "b", "c"}) p.addFilterFileType(type);
    });
    TWPreferenceIgnorePage* page = w.ctrl->ignore();
    TWFileTypeView* types = page->fileTypeView();
    types->setSelectedIndex(2);
    QTest::mouseClick(page->removeFileTypeButton(), Qt::LeftButton);
    QCOMPARE(storedTypes(), (std::vector<std::string>{"a", "b"}));
    QCOMPARE(types->selectedIndex(), 1);

    // From the middle, the chip that moved up takes the selection.
    types->setSelectedIndex(0);
    page->removeSelectedFileType();
    QCOMPARE(storedTypes(), (std::vector<std::string>{"b"}));
    QCOMPARE(types->selectedIndex(), 0);
    page->removeSelectedFileType();
    QVERIFY(storedTypes().empty());
    QCOMPARE(types->selectedIndex(), -1);
    QVERIFY(!page->removeFileTypeButton()->isEnabled());
}

void PreferencesWindowTest::ignoredItemsAddRemoveAndReveal() {
    Window w;
    twtest::TempDir tree;
    std::vector<std::string> items{tree.mkdir("Build"), tree.write("notes.txt", "x"), tree.mkdir("Cache")};
    w.ctrl->showPage(TWPreferenceCtrl::ignorePage);
    TWPreferenceIgnorePage* page = w.ctrl->ignore();
    QTableView* table = page->tableView();

    QTest::mouseClick(page->addItemsButton(), Qt::LeftButton);
    auto* chooser = w.ctrl->window()->findChild<QFileDialog*>();
    QVERIFY(chooser);
    QCOMPARE(chooser->labelText(QFileDialog::Accept), QStringLiteral("Select"));
    chooser->close();

    page->didChooseFilterFileFolders(items);
    QCOMPARE(w.store().filterFileFolders(), items);
    QCOMPARE(table->model()->rowCount(), 3);
    QCOMPARE(table->model()->index(1, 0).data().toString().toStdString(), items[1]);
    QVERIFY(!table->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());

    // The row's button reveals its path.
    std::vector<std::string> revealed;
    page->setRevealer([&](const std::vector<std::string>& paths) { revealed = paths; });
    table->resize(400, 200);
    QRect cell = table->visualRect(table->model()->index(2, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(revealed, std::vector<std::string>{items[2]});

    table->selectionModel()->clearSelection();
    QVERIFY(!page->removeItemsButton()->isEnabled());
    table->selectRow(0);
    table->selectionModel()->select(table->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(page->removeItemsButton()->isEnabled());
    QTest::mouseClick(page->removeItemsButton(), Qt::LeftButton);
    QCOMPARE(w.store().filterFileFolders(), std::vector<std::string>{items[1]});
    QCOMPARE(table->model()->rowCount(), 1);
    QVERIFY(!table->selectionModel()->hasSelection());
    QVERIFY(!page->removeItemsButton()->isEnabled());
}

void PreferencesWindowTest::selectAllWorksOnTheIgnorePageOnly() {
    Window w([](TWPreference& p) { p.addFilterFileFolders({"/a", "/b", "/c"}); });
    QTableView* table = w.ctrl->ignore()->tableView();
    QVERIFY(!w.ctrl->validateMenuItem(TWMenuAction::selectAll));
    QVERIFY(!w.ctrl->selectAllAction()->isEnabled());
    w.ctrl->selectAll();
    QVERIFY(!table->selectionModel()->hasSelection());
    QVERIFY(!w.ctrl->validateMenuItem(TWMenuAction::openFolder));

    w.ctrl->showPage(TWPreferenceCtrl::ignorePage);
    QVERIFY(w.ctrl->validateMenuItem(TWMenuAction::selectAll));
    QVERIFY(!w.ctrl->validateMenuItem(TWMenuAction::showPreferences));
    w.ctrl->selectAllAction()->trigger();
    QCOMPARE(table->selectionModel()->selectedRows().size(), 3);

    w.ctrl->showPage(TWPreferenceCtrl::smartPage);
    QVERIFY(!w.ctrl->selectAllAction()->isEnabled());
}

void PreferencesWindowTest::showWindowReloadsTheIgnoredItems() {
    Window w;
    QCOMPARE(w.ctrl->ignore()->tableView()->model()->rowCount(), 0);
    // The results browser ignores a file while the window is open.
    w.store().addFilterFileFolder("/data/photo.jpg");
    w.ctrl->showWindow();
    QCOMPARE(w.ctrl->ignore()->tableView()->model()->rowCount(), 1);
}

void PreferencesWindowTest::duplicateRulesBindToTheStore() {
    Window w;
    TWPreferenceCtrl* c = w.ctrl;
    TWPreferenceSmartPage* page = c->smart();
    QVERIFY(c->selectBySmartName());
    QCOMPARE(page->duplicateRules()->checkedId(), int(TWCheckMethodSmartName));
    // Pictures keep their best copy unless the user chose otherwise; it is offered first.
    QCOMPARE(page->imageRules()->checkedId(), int(TWCheckMethodBestPicture));
    QVERIFY(c->selectByBestPicture());
    QCOMPARE(page->imageRules()->buttons().first(), page->imageRules()->button(TWCheckMethodBestPicture));

    c->setSelectByOlder(true);
    QCOMPARE(w.store().checkMethodForDuplicateFiles(), int32_t(TWCheckMethodOlder));
    QVERIFY(c->selectByOlder());
    QVERIFY(!c->selectBySmartName());
    QCOMPARE(page->duplicateRules()->checkedId(), int(TWCheckMethodOlder));
    // Setting false writes nothing.
    c->setSelectByOlder(false);
    c->setSelectByNewer(false);
    QCOMPARE(w.store().checkMethodForDuplicateFiles(), int32_t(TWCheckMethodOlder));

    clickRadio(page->duplicateRules(), TWCheckMethodNewer);
    QVERIFY(c->selectByNewer());
    QCOMPARE(w.store().checkMethodForDuplicateFiles(), int32_t(TWCheckMethodNewer));
    clickRadio(page->duplicateRules(), TWCheckMethodFolderPrivilege);
    QVERIFY(c->selectByFolderPrivilege());
}

void PreferencesWindowTest::imageRuleTurnsTheSharedRuleOff() {
    // A user's stored choice keeps its value under the new defaults.
    Window w([](TWPreference& p) {
        p.setCheckMethodForSimilarImages(TWCheckMethodLowResolution);
        p.setUsingDupFilesChkMtdForSimImg(true);
    });
    TWPreferenceCtrl* c = w.ctrl;
    TWPreferenceSmartPage* page = c->smart();
    // The stored image rule does not show while the shared rule is on.
    QVERIFY(c->selectSameAsDupFiles());
    QVERIFY(!c->selectByLowResolution());
    QVERIFY(!c->selectByBestPicture());

    clickRadio(page->imageRules(), TWCheckMethodHighQuality);
    QVERIFY(!w.store().usingDupFilesChkMtdForSimImg());
    QCOMPARE(w.store().checkMethodForSimilarImages(), int32_t(TWCheckMethodHighQuality));
    QVERIFY(c->selectByHighQuality());
    QVERIFY(!c->selectSameAsDupFiles());

    c->setSelectSameAsDupFiles(true);
    QVERIFY(w.store().usingDupFilesChkMtdForSimImg());
    QVERIFY(!c->selectByHighQuality());
    QCOMPARE(page->imageRules()->checkedId(), TWPreferenceSmartPage::kSameAsDuplicatesId);

    c->setSelectByHighResolution(true);
    QVERIFY(!w.store().usingDupFilesChkMtdForSimImg());
    QCOMPARE(page->imageRules()->checkedId(), int(TWCheckMethodHighResolution));
    c->setSelectByLowerQuality(true);
    QVERIFY(c->selectByLowerQuality());
    QVERIFY(!c->selectByHighResolution());
    c->setSelectByLowResolution(true);
    QCOMPARE(w.store().checkMethodForSimilarImages(), int32_t(TWCheckMethodLowResolution));
    clickRadio(page->imageRules(), TWCheckMethodBestPicture);
    QCOMPARE(w.store().checkMethodForSimilarImages(), int32_t(TWCheckMethodBestPicture));
    QVERIFY(c->selectByBestPicture());
    c->setSelectByLowResolution(true);
    // The shared rule set off directly leaves the stored image rule chosen.
    c->setSelectSameAsDupFiles(true);
    c->setSelectSameAsDupFiles(false);
    QVERIFY(c->selectByLowResolution());
}

void PreferencesWindowTest::privilegedFolderRemoveFollowsRuleAndSelection() {
    Window w([](TWPreference& p) {
        p.setCheckMethodForDuplicateFiles(TWCheckMethodNewer);
        p.addPrivilegeFoldersWithURLs({"/srv/a", "/srv/b", "/srv/c"});
    });
    TWPreferenceCtrl* c = w.ctrl;
    TWPreferenceSmartPage* page = c->smart();
    QTableView* table = page->privilegeFolderTableView();
    QCOMPARE(table->model()->rowCount(), 3);

    table->selectRow(1);
    QVERIFY(table->selectionModel()->hasSelection());
    QVERIFY(!c->canRemovePrivilegeFolder());
    QVERIFY(!page->removeFolderButton()->isEnabled());

    c->setSelectByFolderPrivilege(true);
    QVERIFY(c->canRemovePrivilegeFolder());
    QVERIFY(page->removeFolderButton()->isEnabled());
    table->clearSelection();
    QVERIFY(!page->removeFolderButton()->isEnabled());

    table->selectRow(1);
    QTest::mouseClick(page->removeFolderButton(), Qt::LeftButton);
    QCOMPARE(w.store().countOfFoldersPrivilege(), size_t(2));
    QCOMPARE(w.store().foldersPrivilege()[1]->folder(), std::string("/srv/c"));
    QVERIFY(!table->selectionModel()->hasSelection());
    QVERIFY(!c->canRemovePrivilegeFolder());

    // Chosen folders are appended, each with privilege 0.
    page->didChoosePrivilegeFolders({"/srv/d"});
    QCOMPARE(table->model()->rowCount(), 3);
    QCOMPARE(w.store().foldersPrivilege()[2]->folder(), std::string("/srv/d"));
    QCOMPARE(w.store().foldersPrivilege()[2]->privilege(), int64_t(0));

    QTest::mouseClick(page->addFolderButton(), Qt::LeftButton);
    auto* chooser = w.ctrl->window()->findChild<QFileDialog*>();
    QVERIFY(chooser);
    QCOMPARE(chooser->fileMode(), QFileDialog::Directory);
    chooser->close();
}

void PreferencesWindowTest::privilegeEditsAndEmptyValueKeepsIt() {
    Window w([](TWPreference& p) { p.addPrivilegeFoldersWithURLs({"/srv/a", "/srv/b"}); });
    QAbstractItemModel* model = w.ctrl->smart()->privilegeFolderTableView()->model();
    QModelIndex privilege = model->index(1, 1);
    QVERIFY(model->flags(privilege) & Qt::ItemIsEditable);
    QVERIFY(!(model->flags(model->index(1, 0)) & Qt::ItemIsEditable));

    QVERIFY(model->setData(privilege, QStringLiteral("5"), Qt::EditRole));
    QCOMPARE(w.store().foldersPrivilege()[1]->privilege(), int64_t(5));
    QCOMPARE(model->data(privilege).toString(), QStringLiteral("5"));
    // The grant list is saved: a fresh store reads the new privilege.
    QCOMPARE(w.store().restorePrivilegeFolders()[1]->privilege(), int64_t(5));

    QVERIFY(model->setData(privilege, QString(), Qt::EditRole));
    QCOMPARE(w.store().foldersPrivilege()[1]->privilege(), int64_t(5));
    QVERIFY(!model->setData(privilege, QStringLiteral("high"), Qt::EditRole));
    QCOMPARE(w.store().foldersPrivilege()[1]->privilege(), int64_t(5));
    QVERIFY(model->setData(privilege, QStringLiteral("-3"), Qt::EditRole));
    QCOMPARE(w.store().restorePrivilegeFolders()[1]->privilege(), int64_t(-3));
    QCOMPARE(w.store().privilegeAtPath("/srv/b/file.txt"), int64_t(-3));
}

void PreferencesWindowTest::settingsChangedInTheWindowReachTheNextScan() {
    Window w;
    twtest::TempDir tree;
    std::string log = tree.write("run.log", "x");
    std::string small = tree.write("small.txt", std::string(100, 'a'));
    std::string big = tree.write("big.bin", std::string(2000, 'b'));
    std::string hidden = tree.write(".hidden.txt", std::string(500, 'c'));
    std::string build = tree.mkdir("build");

    // Before: a scan would keep them all but the hidden file.
    TWPreference& store = w.store();
    QVERIFY(!store.fileFolderIsIgnored(log));
    QVERIFY(!store.fileFolderIsIgnored(build));
    QVERIFY(store.fileFolderIsIgnored(hidden));

    TWPreferenceIgnorePage* page = w.ctrl->ignore();
    w.ctrl->showPage(TWPreferenceCtrl::ignorePage);
    page->addFilterFileType();
    page->fileTypeView()->editor()->setText(QStringLiteral(".LOG"));
    QTest::keyClick(page->fileTypeView()->editor(), Qt::Key_Return);
    page->didChooseFilterFileFolders({build});
    clickToggle(page->chkSkipHiddenItems());
    store.setFilterMinSize(200);  // the slider's own writes are covered with the control
    clickRadio(w.ctrl->general()->matrixSearchMethod(), TWSearchModeName);

    // The scan reads through the store each time; a store built afresh from the
    // settings file (another process, or the next launch) reads the same.
    TWPreference::resetShared();
    TWPreference& next = TWPreference::shared();
    QVERIFY(next.fileFolderIsIgnored(log));
    QVERIFY(next.fileFolderIsIgnored(build));
    QVERIFY(next.fileFolderIsIgnored(small));
    QVERIFY(!next.fileFolderIsIgnored(big));
    QVERIFY(!next.fileFolderIsIgnored(hidden));
    QCOMPARE(next.searchMode(), int64_t(TWSearchModeName));
}

void PreferencesWindowTest::aScanStartedAfterwardsUsesTheWindowsSettings() {
    Window w;
    twtest::TempDir tree;
    tree.write("logs/a.log", "same log");
    tree.write("logs/b.log", "same log");
    tree.write("Build/p.txt", "same build");
    tree.write("q.txt", "same build");
    tree.write("x.txt", "same text");
    tree.write("y.txt", "same text");
    tree.write("d1/one.dat", "first!");
    tree.write("d2/ONE.dat", "second");

    // Through the window: ignore ".log" files and the Build folder, match by name.
    TWPreferenceIgnorePage* page = w.ctrl->ignore();
    w.ctrl->showPage(TWPreferenceCtrl::ignorePage);
    page->addFilterFileType();
    page->fileTypeView()->editor()->setText(QStringLiteral("log"));
    QTest::keyClick(page->fileTypeView()->editor(), Qt::Key_Return);
    page->didChooseFilterFileFolders({tree / "Build"});
    w.ctrl->showPage(TWPreferenceCtrl::generalPage);
    clickRadio(w.ctrl->general()->matrixSearchMethod(), TWSearchModeName);

    TWSearchDuplicateFiles::Options options;
    options.sessionEvents = false;
    auto engine = TWSearchDuplicateFiles::init(options);
    std::vector<std::shared_ptr<TWCategoryFiles>> result;
    bool finished = false;
    auto observer = tw::NotificationCenter::defaultCenter().addObserver(
        TWSearchFilesFinishedNotification, [&](const tw::Notification& note) {
            result = std::any_cast<std::vector<std::shared_ptr<TWCategoryFiles>>>(note.object);
            finished = true;
        });
    engine->searchRootPaths({tree.path()});
    engine->startSearch();
    QVERIFY(apptest::waitFor([&] { return finished; }));

    std::set<std::set<std::string>> groups;
    for (const auto& container : result) {
        for (const auto& group : container->duplicateFilesIncludingSimilar()) {
            std::set<std::string> names;
            for (const auto& file : group->itemsOfFileUtility()) {
                names.insert(TWFileUtility::lastPathComponent(file->filePath()));
            }
            groups.insert(names);
        }
    }
    // Only the two files of equal name and size form a group: the logs and the Build
    // folder were skipped, and equal content under different names no longer matches.
    QCOMPARE(groups, (std::set<std::set<std::string>>{{"one.dat", "ONE.dat"}}));
    QCOMPARE(engine->numberOfSearchFiles(), uint64_t(5));  // q, x, y, one, ONE
}

QTEST_MAIN(PreferencesWindowTest)
#include "PreferencesWindow_test.moc"
