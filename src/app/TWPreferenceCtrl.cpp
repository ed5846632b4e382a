#include "app/TWPreferenceCtrl.h"

#include <QAction>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWMenuAction.h"
#include "app/TWPreferenceGeneralPage.h"
#include "app/TWPreferenceIgnorePage.h"
#include "app/TWPreferenceSmartPage.h"
#include "app/TWPreferencesWndTitleBarViewCtrl.h"
#include "app/TWScreenFit.h"

namespace {}  // namespace

TWPreferenceCtrl* TWPreferenceCtrl::shared() {
    return TWSharedInstance<TWPreferenceCtrl>::get();
}

void TWPreferenceCtrl::resetShared() {
    TWSharedInstance<TWPreferenceCtrl>::reset();
}

TWPreferenceCtrl::TWPreferenceCtrl() {
    TWArtwork::ensureLoaded();
    window_ = new QWidget(nullptr, Qt::Window);
    window_->setObjectName(QStringLiteral("TWPreferenceCtrl"));
    window_->setWindowTitle(tr("Preferences"));
    window_->setWindowIcon(TWArtwork::icon(QStringLiteral("app_icon")));
    window_->setAutoFillBackground(true);
    TWScreenFit::capFixedSize(window_, kWindowSize);

    titleBar_ = new TWPreferencesWndTitleBarViewCtrl(window_);
    pages_ = new QStackedWidget(window_);  // pages without tabs or background
    general_ = new TWPreferenceGeneralPage(pages_);
    ignore_ = new TWPreferenceIgnorePage(pages_);
    smart_ = new TWPreferenceSmartPage(pages_);
    pages_->addWidget(general_);
    pages_->addWidget(ignore_);
    pages_->addWidget(smart_);

    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(titleBar_);
    // On a screen smaller than the window the pages scroll instead of being cut.
    scroller_ = new QScrollArea(window_);
    scroller_->setObjectName(QStringLiteral("pagesScroller"));
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(true);
    scroller_->setWidget(pages_);
    layout->addWidget(scroller_, 1);

    pageObserver_ = tw::NotificationCenter::defaultCenter().addObserver(
        TWButtonSelectedDidChanged, [this](const tw::Notification&) { showPage(titleBar_->buttonSelected()); });

    selectAllAction_ = new QAction(tr("Select All"), window_);
    selectAllAction_->setObjectName(QStringLiteral("selectAll"));
    selectAllAction_->setShortcut(QKeySequence::SelectAll);
    selectAllAction_->setShortcutContext(Qt::WindowShortcut);
    window_->addAction(selectAllAction_);
    connect(selectAllAction_, &QAction::triggered, this, &TWPreferenceCtrl::selectAll);
    // Escape and Ctrl+W close the window, as they close a dialog.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* close = new QShortcut(key, window_);
        close->setContext(Qt::WindowShortcut);
        connect(close, &QShortcut::activated, window_, &QWidget::close);
    }
    showPage(generalPage);
}

TWPreferenceCtrl::~TWPreferenceCtrl() {
    pageObserver_.reset();
    delete window_;
}

void TWPreferenceCtrl::showWindow() {
    ignore_->reloadIgnoredTable();
    if (!window_->isVisible()) {
        TWScreenFit::capFixedSize(window_, kWindowSize);
        // Scroll bars only where the screen made the window smaller than its pages.
        const bool capped = window_->size() != kWindowSize;
        scroller_->setVerticalScrollBarPolicy(capped ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        scroller_->setHorizontalScrollBarPolicy(capped ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        window_->setGeometry(TWScreenFit::centred(window_, window_->size()));
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

int TWPreferenceCtrl::currentPage() const {
    return pages_->currentIndex();
}

void TWPreferenceCtrl::showPage(int index) {
    if (index < generalPage || index > smartPage) return;
    if (titleBar_->buttonSelected() != index) titleBar_->setButtonSelected(index);
    pages_->setCurrentIndex(index);
    updateSelectAll();
}

// --- menu ---

bool TWPreferenceCtrl::validateMenuItem(TWMenuAction action) const {
    return action == TWMenuAction::selectAll && currentPage() == ignorePage;
}

void TWPreferenceCtrl::updateSelectAll() {
    selectAllAction_->setEnabled(validateMenuItem(TWMenuAction::selectAll));
}

void TWPreferenceCtrl::selectAll() {
    if (validateMenuItem(TWMenuAction::selectAll)) ignore_->selectAll();
}

// --- actions ---

void TWPreferenceCtrl::searchMethodChanged() {
    general_->searchMethodChanged();
}
void TWPreferenceCtrl::removeDestChanged() {
    general_->removeDestChanged();
}
void TWPreferenceCtrl::skipPageChanged() {
    ignore_->skipPageChanged();
}
void TWPreferenceCtrl::skipHiddenChecked() {
    ignore_->skipHiddenChecked();
}
void TWPreferenceCtrl::changePhotoLibraryLocation() {
    general_->changePhotoLibraryLocation();
}
void TWPreferenceCtrl::changeItunesMediaLocation() {
    general_->changeItunesMediaLocation();
}
void TWPreferenceCtrl::addFilterFileType() {
    ignore_->addFilterFileType();
}
void TWPreferenceCtrl::removeSelectedFileType() {
    ignore_->removeSelectedFileType();
}
void TWPreferenceCtrl::addFilterFileFolders() {
    ignore_->addFilterFileFolders();
}
void TWPreferenceCtrl::removeFilterFileAndFolders() {
    ignore_->removeFilterFileAndFolders();
}
void TWPreferenceCtrl::showInFinder(int row) {
    ignore_->showInFinder(row);
}
void TWPreferenceCtrl::addPrivilegeFolder() {
    smart_->addPrivilegeFolder();
}
void TWPreferenceCtrl::removePrivilegeFolder() {
    smart_->removePrivilegeFolder();
}

// --- bound properties ---

bool TWPreferenceCtrl::selectBySmartName() const {
    return smart_->selectBySmartName();
}
void TWPreferenceCtrl::setSelectBySmartName(bool select) {
    smart_->setSelectBySmartName(select);
}
bool TWPreferenceCtrl::selectByFolderPrivilege() const {
    return smart_->selectByFolderPrivilege();
}
void TWPreferenceCtrl::setSelectByFolderPrivilege(bool select) {
    smart_->setSelectByFolderPrivilege(select);
}
bool TWPreferenceCtrl::selectByNewer() const {
    return smart_->selectByNewer();
}
void TWPreferenceCtrl::setSelectByNewer(bool select) {
    smart_->setSelectByNewer(select);
}
bool TWPreferenceCtrl::selectByOlder() const {
    return smart_->selectByOlder();
}
void TWPreferenceCtrl::setSelectByOlder(bool select) {
    smart_->setSelectByOlder(select);
}
bool TWPreferenceCtrl::selectSameAsDupFiles() const {
    return smart_->selectSameAsDupFiles();
}
void TWPreferenceCtrl::setSelectSameAsDupFiles(bool select) {
    smart_->setSelectSameAsDupFiles(select);
}
bool TWPreferenceCtrl::selectByBestPicture() const {
    return smart_->selectByBestPicture();
}
void TWPreferenceCtrl::setSelectByBestPicture(bool select) {
    smart_->setSelectByBestPicture(select);
}
bool TWPreferenceCtrl::selectByHighQuality() const {
    return smart_->selectByHighQuality();
}
void TWPreferenceCtrl::setSelectByHighQuality(bool select) {
    smart_->setSelectByHighQuality(select);
}
bool TWPreferenceCtrl::selectByLowerQuality() const {
    return smart_->selectByLowerQuality();
}
void TWPreferenceCtrl::setSelectByLowerQuality(bool select) {
    smart_->setSelectByLowerQuality(select);
}
bool TWPreferenceCtrl::selectByHighResolution() const {
    return smart_->selectByHighResolution();
}
void TWPreferenceCtrl::setSelectByHighResolution(bool select) {
    smart_->setSelectByHighResolution(select);
}
bool TWPreferenceCtrl::selectByLowResolution() const {
    return smart_->selectByLowResolution();
}
void TWPreferenceCtrl::setSelectByLowResolution(bool select) {
    smart_->setSelectByLowResolution(select);
}
bool TWPreferenceCtrl::canRemovePrivilegeFolder() const {
    return smart_->canRemovePrivilegeFolder();
}
