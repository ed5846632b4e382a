#include "app/TWBrowserResoultViewCtrl.h"

#include <QAbstractButton>
#include <QActionGroup>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/AppDelegate.h"
#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWBrowserKeyboard.h"
#include "app/TWBrowserNotifications.h"
#include "app/TWCleanMediaLibraryWndCtrl.h"
#include "app/TWCompareView.h"
#include "app/TWCompareViewController.h"
#include "app/TWDuplicateFilesViewCtrl.h"
#include "app/TWFilesListViewController.h"
#include "app/TWIconView.h"
#include "app/TWIconViewController.h"
#include "app/TWProgressWndCtrl.h"
#include "app/TWQuickLookViewCtrl.h"
#include "app/TWRemovalSummary.h"
#include "app/TWResolutionReader.h"
#include "app/TWScanNoticeBar.h"
#include "app/TWSlideViewController.h"
#include "app/TWStaleResultBar.h"
#include "app/TWThumbnailCache.h"
#include "model/TWDuplicateFilesManager.h"
#include "model/TWFilesListManager.h"

namespace {

constexpr int kBottomBarHeight = 44;
constexpr int kInitialListWidth = 290;
// How long quitting waits for a cancelled removal to finish the file in hand.
constexpr qint64 kRemovalDrainMs = 60000;

QString colored(const QString& text, double white) {
    return QStringLiteral("<span style=\"color:%1\">%2</span>")
        .arg(TWAppStyle::grey(white).name(), text.toHtmlEscaped());
}

}  // namespace

TWBrowserResoultViewCtrl* TWBrowserResoultViewCtrl::shared() {
    return TWSharedInstance<TWBrowserResoultViewCtrl>::get();
}

void TWBrowserResoultViewCtrl::resetShared() {
    TWSharedInstance<TWBrowserResoultViewCtrl>::reset();
}

TWBrowserResoultViewCtrl::TWBrowserResoultViewCtrl() {
    buildView();
    keyboard_ = new TWBrowserKeyboard(this);
    watchDetailView(kIconMode);
    keyboard_->updateTabOrder();
    connect(TWAppStyle::notifier(), &TWSchemeNotifier::changed, this, &TWBrowserResoultViewCtrl::updateStatusInfo);
    // As at load: the toolbar's overview off, the icon view in the detail area.
    TWToolBar* bar = TWToolBar::shareToolBar();
    bar->setDelegate(this);
    bar->setOverviewSelected(false);
    TWOverViewerCtrl::shared()->setDelegate(this);
    subscribe();
    updateBrowserResultToolbarState();
    updateDuplicateFilesState();
    updateDetailFilesState();
    updateViewModeBtnState();
    updateStatusInfo();
}

TWBrowserResoultViewCtrl::~TWBrowserResoultViewCtrl() {
    // A run still going (the window closed meanwhile) ends after the file in hand; it
    // needs the main queue to finish, so keep the event loop turning until it has.
    if (removal_ && !removal_->isFinished()) {
        closing_ = true;
        removal_->cancel();
        QElapsedTimer waited;
        waited.start();
        while (!removal_->isFinished() && waited.elapsed() < kRemovalDrainMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
    }
    selectionObserver_.reset();
    singleSelectionObserver_.reset();
    checkObserver_.reset();
    ignoredObserver_.reset();
    delete reportBox_;
    delete summary_;
    // The parts belong to their own controllers; each takes its view with it.
    TWSlideViewController::resetShared();
    TWFilesListViewController::resetShared();
    TWQuickLookViewCtrl::resetShared();
    TWIconViewController::resetShared();
    TWCompareViewController::resetShared();
    TWOverViewerCtrl::resetShared();
    TWDuplicateFilesViewCtrl::resetShared();
    TWToolBar::resetShared();
    TWProgressWndCtrl::resetShared();
    TWCleanMediaLibraryWndCtrl::resetShared();
    delete view_;
    TWThumbnailCache::resetShared();
    TWResolutionReader::resetShared();
}

void TWBrowserResoultViewCtrl::buildView() {
    view_ = new QWidget();
    view_->setObjectName(QStringLiteral("TWBrowserResoultViewCtrl"));
    auto* layout = new QVBoxLayout(view_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The toolbar's band, a one-point line, and the content.
    layout->addWidget(TWToolBar::shareToolBar());
    auto* line = new QFrame(view_);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("background: #DADDE2; border: none;"));
    layout->addWidget(line);
    staleBar_ = new TWStaleResultBar(view_);
    connect(staleBar_, &TWStaleResultBar::scanAgainClicked, this, &TWBrowserResoultViewCtrl::scanAgainRequested);
    layout->addWidget(staleBar_);
    noticeBar_ = new TWScanNoticeBar(view_);
    connect(noticeBar_, &TWScanNoticeBar::detailsClicked, this, &TWBrowserResoultViewCtrl::scanDetailsRequested);
    layout->addWidget(noticeBar_);

    content_ = new QWidget(view_);
    contentStack_ = new QStackedLayout(content_);
    mainSplitView_ = new QSplitter(Qt::Horizontal, content_);
    mainSplitView_->setObjectName(QStringLiteral("mainSplitView"));
    mainSplitView_->setHandleWidth(1);
    mainSplitView_->setChildrenCollapsible(true);
    mainSplitView_->setStyleSheet(QStringLiteral("QSplitter::handle { background: #DADDE2; }"));

    duplicateFilesView_ = new QWidget(mainSplitView_);
    duplicateFilesView_->setObjectName(QStringLiteral("duplicateFilesView"));
    auto* listLayout = new QVBoxLayout(duplicateFilesView_);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(TWDuplicateFilesViewCtrl::shared()->view());
    detailFilesView_ = new QWidget(mainSplitView_);
    detailFilesView_->setObjectName(QStringLiteral("detailFilesView"));
    detailStack_ = new QStackedLayout(detailFilesView_);
    detailStack_->addWidget(TWIconViewController::shared()->view());
    // The divider stays between 240 points from the left and 480 from the right
    // (twice the minimum side), unless a side is collapsed.
    duplicateFilesView_->setMinimumWidth(kMinimumSideWidth);
    detailFilesView_->setMinimumWidth(2 * kMinimumSideWidth);
    mainSplitView_->addWidget(duplicateFilesView_);
    mainSplitView_->addWidget(detailFilesView_);
    mainSplitView_->setCollapsible(0, true);
    mainSplitView_->setCollapsible(1, true);
    mainSplitView_->setStretchFactor(0, 0);
    mainSplitView_->setStretchFactor(1, 1);
    mainSplitView_->setSizes({kInitialListWidth, 800});
    contentStack_->addWidget(mainSplitView_);
    contentStack_->addWidget(TWOverViewerCtrl::shared()->view());
    contentStack_->setCurrentWidget(mainSplitView_);
    layout->addWidget(content_, 1);
    layout->addWidget(buildBottomBar());
}

QWidget* TWBrowserResoultViewCtrl::buildBottomBar() {
    auto* bar = new QWidget(view_);
    bar->setObjectName(QStringLiteral("bottomBar"));
    bar->setFixedHeight(kBottomBarHeight);
    bar->setStyleSheet(QStringLiteral(
        "#bottomBar { background: #F4F5F7; border-top: 1px solid #DADDE2; }"
        "QToolButton#btnSmartChecked { border: 1px solid #C9CDD4; border-radius: 6px; background: white;"
        " padding: 3px 6px; color: #24292F; }"
        "QToolButton#btnSmartChecked:hover { background: #F0F2F5; }"
        "QToolButton#btnSmartChecked::menu-indicator { image: none; }"
        "QPushButton#btnDelete { border: none; border-radius: 6px; background: #E5484D; color: white;"
        " padding: 5px 22px; font-weight: 600; }"
        "QPushButton#btnDelete:hover { background: #D63F44; }"
        "QPushButton#btnDelete:disabled { background: #E4E7EB; color: #A0A6AE; }"
        "QSlider::groove:horizontal { height: 4px; background: #D5D9DF; border-radius: 2px; }"
        "QSlider::sub-page:horizontal { background: #3A86DE; border-radius: 2px; }"
        "QSlider::handle:horizontal { width: 14px; margin: -6px 0; border-radius: 7px; background: white;"
        " border: 1px solid #B9C0CA; }"));
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->setSpacing(10);

    btnSmartChecked_ = new QToolButton(bar);
    btnSmartChecked_->setObjectName(QStringLiteral("btnSmartChecked"));
    btnSmartChecked_->setText(tr("Smart Select ▾"));
    btnSmartChecked_->setIcon(TWArtwork::icon(QStringLiteral("btn_smartcheck")));
    btnSmartChecked_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    smartCheckMenu_ = new QMenu(btnSmartChecked_);
    smartCheckMenu_->setObjectName(QStringLiteral("smartCheckMenu"));
    // What the rules act on, said and chosen at the top of the menu.
    smartCheckMenu_->addSection(tr("Acts on"));
    auto* scope = new QActionGroup(smartCheckMenu_);
    smartScopeSelected_ = smartCheckMenu_->addAction(tr("Selected groups"));
    smartScopeAll_ = smartCheckMenu_->addAction(tr("All groups"));
    for (QAction* choice : {smartScopeSelected_, smartScopeAll_}) {
        choice->setCheckable(true);
        choice->setData(-1);  // no rule's tag
        scope->addAction(choice);
    }
    smartScopeSelected_->setChecked(true);
    connect(scope, &QActionGroup::triggered, this, [this] { updateSmartCheckToolTip(); });
    smartCheckMenu_->addSeparator();
    const std::pair<int, QString> items[] = {
        {TWCheckMethodSmartName, tr("Select by Smart Name")},
        {TWCheckMethodFolderPrivilege, tr("Select by Folder Priority")},
        {TWCheckMethodNewer, tr("Select Newer Copies")},
        {TWCheckMethodOlder, tr("Select Older Copies")},
        {TWCheckMethodBestPicture, tr("Select All but the Best Picture")},
        {TWCheckMethodHighQuality, tr("Select Larger Images")},
        {TWCheckMethodLowerQuality, tr("Select Smaller Images")},
        {TWCheckMethodHighResolution, tr("Select Higher Resolutions")},
        {TWCheckMethodLowResolution, tr("Select Lower Resolutions")},
        {kUncheckAllTag, tr("Uncheck All")},
    };
    for (const auto& [tag, title] : items) {
        if (tag == kUncheckAllTag) smartCheckMenu_->addSeparator();
        QAction* action = smartCheckMenu_->addAction(title);
        action->setData(tag);
        connect(action, &QAction::triggered, this, [this, tag = tag] { menuSmartChecked(tag); });
    }
    connect(smartCheckMenu_, &QMenu::aboutToShow, this, &TWBrowserResoultViewCtrl::updateSmartCheckMenuItems);
    TWAppStyle::dropHoverWhenMenuCloses(btnSmartChecked_, smartCheckMenu_);
    connect(btnSmartChecked_, &QToolButton::clicked, this, &TWBrowserResoultViewCtrl::smartCheckedAction);
    updateSmartCheckToolTip();
    layout->addWidget(btnSmartChecked_);

    lblStatusInfo_ = new QLabel(bar);
    lblStatusInfo_->setObjectName(QStringLiteral("lblStatusInfo"));
    lblStatusInfo_->setTextFormat(Qt::RichText);
    lblStatusInfo_->setFont(TWAppStyle::systemFont(9));
    lblStatusInfo_->setMinimumWidth(1);
    lblStatusInfo_->installEventFilter(this);
    layout->addWidget(lblStatusInfo_, 1);

    const char* modeNames[] = {"btnIconViewMode", "btnSlideViewMode", "btnCompareViewMode"};
    const QString modeTips[] = {tr("Icons"), tr("Preview and List"), tr("Compare")};
    for (int mode = 0; mode < 3; ++mode) {
        if (mode > 0) {
            splitLabels_[mode - 1] = new QLabel(bar);
            splitLabels_[mode - 1]->setFixedSize(2, 18);
            layout->addWidget(splitLabels_[mode - 1]);
        }
        auto* button = new TWToolBarButton(bar);
        button->setObjectName(QString::fromLatin1(modeNames[mode]));
        button->setTag(mode);
        button->setToolTip(modeTips[mode]);
        button->setFixedSize(28, 22);
        connect(button, &QAbstractButton::clicked, this, [this, mode] { viewModeChanged(mode); });
        layout->addWidget(button);
        modeButtons_[mode] = button;
    }
    layout->setSpacing(4);

    sldIconSize_ = new QSlider(Qt::Horizontal, bar);
    sldIconSize_->setObjectName(QStringLiteral("sldIconSize"));
    sldIconSize_->setRange(0, 100);
    sldIconSize_->setValue(int(TWIconViewController::shared()->scalePercent() * 100 + 0.5));
    sldIconSize_->setFixedWidth(80);
    sldIconSize_->setToolTip(tr("Icon size"));
    // Hidden outside the icon view, it keeps its room so the mode buttons stay put.
    QSizePolicy keepRoom = sldIconSize_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    sldIconSize_->setSizePolicy(keepRoom);
    connect(sldIconSize_, &QSlider::valueChanged, this, &TWBrowserResoultViewCtrl::scaleIconSize);
    layout->addSpacing(8);
    layout->addWidget(sldIconSize_);
    layout->addSpacing(10);

    btnDeleteInFinder_ = new QPushButton(tr("Show in Folder"), bar);
    btnDeleteInFinder_->setObjectName(QStringLiteral("btnDeleteInFinder"));
    btnDeleteInFinder_->hide();
    connect(btnDeleteInFinder_, &QPushButton::clicked, this, &TWBrowserResoultViewCtrl::deleteInFinder);

    btnDelete_ = new QPushButton(tr("Delete"), bar);
    btnDelete_->setObjectName(QStringLiteral("btnDelete"));
    btnDelete_->setCursor(Qt::PointingHandCursor);
    connect(btnDelete_, &QPushButton::clicked, this, &TWBrowserResoultViewCtrl::deleteDuplicateFile);
    layout->addWidget(btnDelete_);
    return bar;
}

void TWBrowserResoultViewCtrl::subscribe() {
    auto& center = tw::NotificationCenter::defaultCenter();
    selectionObserver_ = center.addObserver(TWDuplicateFilesSelectionChangedNotification,
                                            [this](const tw::Notification&) { duplicateFilesSelectionDidChanged(); });
    singleSelectionObserver_ =
        center.addObserver(TWDuplicateSingleFileSelectionChangedNotification,
                           [this](const tw::Notification&) { duplicateSingleFileSelectionDidChanged(); });
    checkObserver_ = center.addObserver(TWFilesCheckDidChangedNotification,
                                        [this](const tw::Notification&) { checkSelectionDidChanged(); });
    ignoredObserver_ = center.addObserver(TWFilesIgnoredChangedNotification,
                                          [this](const tw::Notification&) { ignoredFilesNotification(); });
}

// --- parts ---

TWToolBar* TWBrowserResoultViewCtrl::toolBar() const {
    return TWToolBar::shareToolBar();
}

QAbstractButton* TWBrowserResoultViewCtrl::backButton() const {
    return TWToolBar::shareToolBar()->backBtn();
}

bool TWBrowserResoultViewCtrl::isSplitViewOnScreen() const {
    return contentStack_->currentWidget() == mainSplitView_;
}

bool TWBrowserResoultViewCtrl::isOverviewOnScreen() const {
    return contentStack_->currentWidget() == TWOverViewerCtrl::shared()->view();
}

void TWBrowserResoultViewCtrl::showSplitView() {
    if (!isSplitViewOnScreen()) contentStack_->setCurrentWidget(mainSplitView_);
}

void TWBrowserResoultViewCtrl::showOverview() {
    if (!isOverviewOnScreen()) contentStack_->setCurrentWidget(TWOverViewerCtrl::shared()->view());
}

QWidget* TWBrowserResoultViewCtrl::viewForMode(int mode) const {
    switch (mode) {
        case kSlideMode:
            return TWSlideViewController::shared()->view();
        case kCompareMode:
            return TWCompareViewController::shared()->view();
        default:
            return TWIconViewController::shared()->view();
    }
}

// --- refreshes ---

void TWBrowserResoultViewCtrl::markScanStopped() {
    staleBar_->showScanStopped();
}

void TWBrowserResoultViewCtrl::showScanReport(const QStringList& lines) {
    noticeBar_->showReport(lines);
}

void TWBrowserResoultViewCtrl::reloadData() {
    // A new result matches the disk again; an undo of an older removal no longer applies,
    // and the old scan's report goes with it.
    staleBar_->hide();
    noticeBar_->hide();
    lastTrashed_.clear();
    if (summary_) summary_->close();
    TWDuplicateFilesManager::shared().defaultSelection();
    TWFilesListManager::shareFilesListManager().defaultSelection();
    updateStatusInfo();
    updateBrowserResultToolbarState();
    if (TWToolBar::shareToolBar()->overviewSelected()) {
        showOverview();
        updateOverviewState();
    } else {
        showSplitView();
        updateDuplicateFilesState();
        updateDetailFilesState();
    }
}

void TWBrowserResoultViewCtrl::updateStatusInfo() {
    const TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    const uint64_t count = manager.numberOfFilesCheckedToRemoved();
    const uint64_t size = manager.sizeOfFilesCheckedToRemoved();
    statusRuns_ = {QString::asprintf("%lu", static_cast<unsigned long>(count)), QStringLiteral(" files selected. "),
                   QString::fromStdString(TWFileUtility::stringWithSize(size)),
                   QStringLiteral(" of storage space will be freed up.")};
    lblStatusInfo_->setToolTip(statusRuns_.join(QString()));
    fitStatusInfo();
    btnDelete_->setEnabled(count > 0);
}

void TWBrowserResoultViewCtrl::fitStatusInfo() {
    if (statusRuns_.size() != 4) return;
    const QString whole = statusRuns_.join(QString());
    const QFontMetrics metrics(lblStatusInfo_->font());
    const int room = lblStatusInfo_->contentsRect().width();
    if (metrics.horizontalAdvance(whole) <= room) {
        // Values in dark grey, texts in mid grey.
        lblStatusInfo_->setText(colored(statusRuns_[0], 0.15) + colored(statusRuns_[1], 0.5) +
                                colored(statusRuns_[2], 0.15) + colored(statusRuns_[3], 0.5));
    } else {
        lblStatusInfo_->setText(colored(metrics.elidedText(whole, Qt::ElideRight, room), 0.5));
    }
}

bool TWBrowserResoultViewCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblStatusInfo_ && event->type() == QEvent::Resize) fitStatusInfo();
    return QObject::eventFilter(watched, event);
}

void TWBrowserResoultViewCtrl::updateBrowserResultToolbarState() {
    TWToolBar* bar = TWToolBar::shareToolBar();
    bar->setCategorySelected(TWDuplicateFilesManager::shared().category());
    bar->updateState();
}

void TWBrowserResoultViewCtrl::updateOverviewState() {
    TWOverViewerCtrl::shared()->reload();
}

void TWBrowserResoultViewCtrl::updateDuplicateFilesState() {
    TWDuplicateFilesViewCtrl::shared()->reloadData();
}

void TWBrowserResoultViewCtrl::updateDetailFilesState() {
    switch (viewMode_) {
        case kSlideMode:
            TWSlideViewController::shared()->reloadData();
            break;
        case kCompareMode:
            TWCompareViewController::shared()->reloadData();
            break;
        default:
            TWIconViewController::shared()->reloadData();
            break;
    }
}

void TWBrowserResoultViewCtrl::updateViewModeBtnState() {
    static const char* names[] = {"iconlist", "slidelist", "comparelist"};
    for (int mode = 0; mode < 3; ++mode)
        modeButtons_[mode]->setImage(QString::fromLatin1(names[mode]) +
                                     (mode == viewMode_ ? QStringLiteral("_selected") : QStringLiteral("_normal")));
    // A separator beside the selected button fades; the other stays dark.
    splitImages_[0] = viewMode_ == kCompareMode ? QStringLiteral("dark_split") : QStringLiteral("lite_split");
    splitImages_[1] = viewMode_ == kIconMode ? QStringLiteral("dark_split") : QStringLiteral("lite_split");
    for (int i = 0; i < 2; ++i) splitLabels_[i]->setPixmap(TWArtwork::pixmap(splitImages_[i], QSize(2, 18), 2.0));
    sldIconSize_->setVisible(viewMode_ == kIconMode);
}

// --- actions ---

void TWBrowserResoultViewCtrl::viewModeChanged(int tag) {
    if (tag == viewMode_ || tag < kIconMode || tag > kCompareMode) return;
    viewMode_ = tag;
    updateViewModeBtnState();
    QWidget* next = viewForMode(tag);
    if (detailStack_->indexOf(next) < 0) {
        detailStack_->addWidget(next);
        watchDetailView(tag);
        keyboard_->updateTabOrder();
    }
    detailStack_->setCurrentWidget(next);
    updateDetailFilesState();
}

void TWBrowserResoultViewCtrl::watchDetailView(int mode) {
    if (mode == kCompareMode) {
        TWCompareView* compare = TWCompareViewController::shared()->view();
        keyboard_->watchFileView(
            compare, [compare](const QPoint& point) { return compare->hitTest(point).first; },
            [compare] { compare->viewport()->update(); });
    } else if (mode == kSlideMode) {
        QListView* list = TWFilesListViewController::shared()->tableView();
        keyboard_->watchFileView(
            list, [list](const QPoint& point) { return list->indexAt(point).row(); },
            [] { TWFilesListViewController::shared()->reloadData(); });
    } else {
        TWIconView* icons = TWIconViewController::shared()->view();
        keyboard_->watchFileView(
            icons, [icons](const QPoint& point) { return icons->indexAt(point); },
            [icons] { icons->viewport()->update(); });
    }
}

void TWBrowserResoultViewCtrl::scaleIconSize(int value) {
    if (viewMode_ != kIconMode) return;
    TWIconViewController::shared()->setScalePercent(value / 100.0);
}

void TWBrowserResoultViewCtrl::updateSmartCheckMenuItems() {
    updateSmartCheckMenuItemsFor(smartSelectActsOnAllGroups());
}

void TWBrowserResoultViewCtrl::updateSmartCheckMenuItemsFor(bool allGroups) {
    bool similar = false;
    if (allGroups) {
        const auto& groups = TWDuplicateFilesManager::shared().displayDuplicateFiles();
        similar = std::any_of(groups.begin(), groups.end(), [](const auto& group) { return group->isSimilarGroup(); });
    } else {
        similar = TWFilesListManager::shareFilesListManager().containSimilarItem();
    }
    for (QAction* action : smartCheckMenu_->actions()) {
        if (action->isSeparator() || action->isCheckable()) continue;
        const int tag = action->data().toInt();
        action->setVisible(!isImageRule(tag) || similar);
    }
}

bool TWBrowserResoultViewCtrl::isImageRule(int tag) {
    return tag == TWCheckMethodBestPicture || (tag >= TWCheckMethodHighQuality && tag <= TWCheckMethodLowResolution);
}

bool TWBrowserResoultViewCtrl::smartSelectActsOnAllGroups() const {
    return smartScopeAll_ && smartScopeAll_->isChecked();
}

void TWBrowserResoultViewCtrl::updateSmartCheckToolTip() {
    btnSmartChecked_->setToolTip(smartSelectActsOnAllGroups() ? tr("Smart Select acts on all groups")
                                                              : tr("Smart Select acts on the selected groups"));
}

void TWBrowserResoultViewCtrl::smartCheckedAction() {
    updateSmartCheckMenuItems();
    smartCheckMenu_->popup(btnSmartChecked_->mapToGlobal(QPoint(0, 0)) -
                           QPoint(0, smartCheckMenu_->sizeHint().height() + 2));
}

void TWBrowserResoultViewCtrl::menuSmartChecked(int tag) {
    applySmartRule(tag, smartSelectActsOnAllGroups());
}

void TWBrowserResoultViewCtrl::applySmartRule(int tag, bool allGroups) {
    if (tag < 0) return;
    if (allGroups) {
        // A copy: the rule may reorder the shown list.
        const auto groups = TWDuplicateFilesManager::shared().displayDuplicateFiles();
        for (const auto& group : groups) {
            if (tag < kUncheckAllTag)
                group->smartCheckedByMethod(tag);
            else
                group->uncheckedAll();
        }
    } else {
        TWFilesListManager& files = TWFilesListManager::shareFilesListManager();
        if (tag < kUncheckAllTag)
            files.smartCheckWithMethod(TWCheckMethod(tag));
        else
            files.uncheckedAll();
    }
    updateStatusInfo();
    updateDetailFilesState();
    updateDuplicateFilesState();
}

void TWBrowserResoultViewCtrl::selectAll() {
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    const size_t rows = manager.numberOfDisplayDuplicateFiles();
    const auto selection = manager.selection();
    const bool allSelected = selection.size() == rows && (rows == 0 || *selection.rbegin() == rows - 1);
    TWDuplicateFilesManager::IndexSet next;
    if (!allSelected)
        for (size_t row = 0; row < rows; ++row) next.insert(next.end(), row);
    manager.setSelection(std::move(next));
    updateDuplicateFilesState();
    updateDetailFilesState();
}

void TWBrowserResoultViewCtrl::deleteInFinder() {
    TWFilesListManager& files = TWFilesListManager::shareFilesListManager();
    const auto selection = files.selection();
    if (!selection.empty()) files.showInFinderFileItemAtIndex(*selection.begin());
}

// --- toolbar and overview ---

void TWBrowserResoultViewCtrl::TWToolBarCategoryChanged(TWToolBar& bar) {
    if (bar.overviewSelected()) {
        showOverview();
        updateOverviewState();
        return;
    }
    showSplitView();
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    manager.setCategory(bar.categorySelected());
    if (bar.categorySelected() != TWCategory_images) manager.setFilterMethod(TWFilterMethodExcludingSimilar);
    manager.defaultSelection();
    TWFilesListManager::shareFilesListManager().defaultSelection();
    updateDuplicateFilesState();
    updateDetailFilesState();
}

void TWBrowserResoultViewCtrl::TWToolBarBackAction(TWToolBar&) {
    emit backToScanRequested();
}

void TWBrowserResoultViewCtrl::TWOverviewerCtrlSelectViewCatory(TWOverViewerCtrl&, int category) {
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    manager.setCategory(TWCategory(category));
    TWToolBar::shareToolBar()->setOverviewSelected(false);
    showSplitView();
    manager.defaultSelection();
    TWFilesListManager::shareFilesListManager().defaultSelection();
    updateBrowserResultToolbarState();
    updateDuplicateFilesState();
    updateDetailFilesState();
}

// --- notifications ---

void TWBrowserResoultViewCtrl::duplicateFilesSelectionDidChanged() {
    TWFilesListManager::shareFilesListManager().defaultSelection();
    updateDetailFilesState();
}

void TWBrowserResoultViewCtrl::checkSelectionDidChanged() {
    // A mark changes counts, never the rows: redraw the group list in place.
    TWDuplicateFilesViewCtrl::shared()->refreshRows();
    updateStatusInfo();
}

void TWBrowserResoultViewCtrl::ignoredFilesNotification() {
    if (TWDuplicateFilesManager::shared().removeNotDuplicateFile()) updateDetailFilesState();
    updateDuplicateFilesState();
    updateStatusInfo();
}
