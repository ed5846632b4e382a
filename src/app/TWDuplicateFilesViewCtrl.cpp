#include "app/TWDuplicateFilesViewCtrl.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelection>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "app/TWBrowserNotifications.h"
#include "app/TWDuplicateFilesModel.h"
#include "app/TWThumbnailCache.h"
#include "app/TWToolBar.h"
#include "platform/NotificationCenter.h"

namespace {

constexpr int kTabBarHeight = 36;
constexpr int kTabWidth = 100;
constexpr int kTabGap = 8;  // each tab keeps this far from the view's centre
// Typing pauses this long before the search runs (Return searches at once).
constexpr int kSearchDelayMs = 250;

}  // namespace

TWDuplicateFilesViewCtrl* TWDuplicateFilesViewCtrl::shared() {
    return TWSharedInstance<TWDuplicateFilesViewCtrl>::get();
}

void TWDuplicateFilesViewCtrl::resetShared() {
    TWSharedInstance<TWDuplicateFilesViewCtrl>::reset();
}

TWDuplicateFilesViewCtrl::TWDuplicateFilesViewCtrl() {
    buildView();
}

TWDuplicateFilesViewCtrl::~TWDuplicateFilesViewCtrl() {
    delete view_;
}

void TWDuplicateFilesViewCtrl::buildView() {
    view_ = new QWidget();
    view_->setObjectName(QStringLiteral("TWDuplicateFilesViewCtrl"));
    view_->setAutoFillBackground(true);
    view_->setBackgroundRole(QPalette::Base);  // white, or dark in the dark scheme

    auto* searchRow = new QWidget(view_);
    searchRow->setObjectName(QStringLiteral("searchRow"));
    searchRow->setStyleSheet(QStringLiteral(
        "#searchRow { background: #F7F8FA; border-bottom: 1px solid #E3E6EA; }"
        "QLineEdit { border: 1px solid #D3D6DC; border-radius: 12px; padding: 2px 8px; background: white; }"
        "QLineEdit:focus { border-color: #3A86DE; }"
        "QToolButton { border: none; border-radius: 5px; padding: 3px; }"
        "QToolButton:hover { background: #E6E9EE; }"
        "QToolButton::menu-indicator { image: none; }"));
    auto* searchLayout = new QHBoxLayout(searchRow);
    searchLayout->setContentsMargins(10, 8, 8, 8);
    searchLayout->setSpacing(6);
    searchField_ = new QLineEdit(searchRow);
    searchField_->setObjectName(QStringLiteral("searchField"));
    searchField_->setPlaceholderText(tr("Search"));
    searchField_->setClearButtonEnabled(true);
    searchField_->setFixedHeight(26);
    searchLayout->addWidget(searchField_, 1);

    sortButton_ = new QToolButton(searchRow);
    sortButton_->setObjectName(QStringLiteral("sortButton"));
    sortButton_->setIcon(TWArtwork::icon(QStringLiteral("btn_sort")));
    sortButton_->setPopupMode(QToolButton::InstantPopup);
    sortMenu_ = new QMenu(sortButton_);
    sortMenu_->setObjectName(QStringLiteral("sortMenu"));
    const std::pair<TWSortType, QString> sorts[] = {{TWSortTypeName, tr("Name")},
                                                    {TWSortTypeSize, tr("Size")},
                                                    {TWSortTypeCount, tr("Number of Files")},
                                                    {TWSortTypeCategory, tr("Category")}};
    for (const auto& [type, title] : sorts) {
        QAction* action = sortMenu_->addAction(title);
        action->setData(int(type));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, type = type] { sortChanged(int(type)); });
    }
    sortMenu_->addSeparator();
    for (const int tag : {kSortFlagTrueTag, kSortFlagFalseTag}) {
        QAction* action = sortMenu_->addAction(QString());
        action->setData(tag);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, tag] { sortDirectionChanged(tag == kSortFlagTrueTag); });
    }
    connect(sortMenu_, &QMenu::aboutToShow, this, &TWDuplicateFilesViewCtrl::updateSortControl);
    updateSortControl();
    sortButton_->setMenu(sortMenu_);
    TWAppStyle::dropHoverWhenMenuCloses(sortButton_, sortMenu_);
    searchLayout->addWidget(sortButton_);

    searchTimer_ = new QTimer(this);
    searchTimer_->setSingleShot(true);
    searchTimer_->setInterval(kSearchDelayMs);
    connect(searchTimer_, &QTimer::timeout, this, &TWDuplicateFilesViewCtrl::searchAction);
    connect(searchField_, &QLineEdit::textEdited, searchTimer_, qOverload<>(&QTimer::start));
    connect(searchField_, &QLineEdit::returnPressed, this, &TWDuplicateFilesViewCtrl::searchAction);
    // The clear button changes the text without an edit.
    connect(searchField_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) searchTimer_->start();
    });

    tabBar_ = new QWidget(view_);
    tabBar_->setObjectName(QStringLiteral("tabBar"));
    tabBar_->setFixedHeight(kTabBarHeight);
    tabBar_->installEventFilter(this);
    btnDuplicateFilter_ = new TWToolBarButton(tabBar_);
    btnDuplicateFilter_->setObjectName(QStringLiteral("btnDuplicateFilter"));
    btnDuplicateFilter_->setTag(TWFilterMethodExcludingSimilar);
    btnDuplicateFilter_->setText(QStringLiteral("Duplicate"));
    btnSimilarFilter_ = new TWToolBarButton(tabBar_);
    btnSimilarFilter_->setObjectName(QStringLiteral("btnSimilarFilter"));
    btnSimilarFilter_->setTag(TWFilterMethodIncludingSimilar);
    btnSimilarFilter_->setText(QStringLiteral("Similar"));
    for (TWToolBarButton* tab : {btnDuplicateFilter_, btnSimilarFilter_}) {
        tab->setFixedSize(kTabWidth, 24);
        tab->setTextInset(34);
        connect(tab, &QAbstractButton::clicked, this, [this, tab] { similarFilterAction(tab->tag()); });
    }

    tableView_ = new QListView(view_);
    tableView_->setObjectName(QStringLiteral("duplicateFilesTableView"));
    tableView_->setFrameShape(QFrame::NoFrame);
    tableView_->setUniformItemSizes(true);
    tableView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tableView_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tableView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    model_ = new TWDuplicateFilesModel(this);
    tableView_->setModel(model_);
    tableView_->setItemDelegate(new TWDuplicateFilesCellDelegate(tableView_));
    connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TWDuplicateFilesViewCtrl::selectionDidChange);
    connect(TWThumbnailCache::shared(), &TWThumbnailCache::thumbnailReady, tableView_->viewport(),
            qOverload<>(&QWidget::update));

    auto* layout = new QVBoxLayout(view_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(searchRow);
    layout->addWidget(tabBar_);
    layout->addWidget(tableView_, 1);
    view_->setMinimumWidth(0);
    updateTabs();
}

bool TWDuplicateFilesViewCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tabBar_ && event->type() == QEvent::Resize) layoutTabs();
    return QObject::eventFilter(watched, event);
}

void TWDuplicateFilesViewCtrl::layoutTabs() {
    // The pair is centred: Duplicate ends kTabGap left of the centre, Similar starts
    // kTabGap right of it.
    const int centre = tabBar_->width() / 2;
    const int y = (tabBar_->height() - btnDuplicateFilter_->height()) / 2;
    btnDuplicateFilter_->move(centre - kTabGap - btnDuplicateFilter_->width(), y);
    btnSimilarFilter_->move(centre + kTabGap, y);
}

void TWDuplicateFilesViewCtrl::updateTabs() {
    const TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    tabBar_->setVisible(manager.category() == TWCategory_images);
    const bool similar = manager.filterMethod() == TWFilterMethodIncludingSimilar;
    btnDuplicateFilter_->setImage(similar ? QStringLiteral("duplicate_normal") : QStringLiteral("duplicate_selected"));
    btnDuplicateFilter_->setTextColor(similar ? TWAppStyle::grey(0.3) : QColor(Qt::white));
    btnSimilarFilter_->setImage(similar ? QStringLiteral("similar_selected") : QStringLiteral("similar_normal"));
    btnSimilarFilter_->setTextColor(similar ? QColor(Qt::white) : TWAppStyle::grey(0.3));
    layoutTabs();
}

void TWDuplicateFilesViewCtrl::reloadData() {
    updateTabs();
    updateSortControl();
    model_->reload();
    restoreSelection();
}

void TWDuplicateFilesViewCtrl::refreshRows() {
    tableView_->viewport()->update();
}

void TWDuplicateFilesViewCtrl::restoreSelection() {
    restoringSelection_ = true;
    // One range per run of consecutive rows: a select-all of many groups stays cheap.
    QItemSelection selection;
    const auto indexes = TWDuplicateFilesManager::shared().selection();
    const int rows = model_->rowCount();
    int start = -1, previous = -2;
    auto flush = [&] {
        if (start >= 0) selection.select(model_->index(start), model_->index(previous));
    };
    for (size_t index : indexes) {
        const int row = int(index);
        if (row >= rows) break;
        if (row != previous + 1) {
            flush();
            start = row;
        }
        previous = row;
    }
    flush();
    tableView_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!indexes.empty() && int(*indexes.begin()) < rows) {
        tableView_->selectionModel()->setCurrentIndex(model_->index(int(*indexes.begin())),
                                                      QItemSelectionModel::NoUpdate);
        tableView_->scrollTo(model_->index(int(*indexes.begin())));
    }
    restoringSelection_ = false;
}

void TWDuplicateFilesViewCtrl::selectionDidChange() {
    if (restoringSelection_) return;
    TWDuplicateFilesManager::IndexSet rows;
    for (const QItemSelectionRange& range : tableView_->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) rows.insert(size_t(row));
    TWDuplicateFilesManager::shared().setSelection(std::move(rows));
    postSelectionChanged();
}

void TWDuplicateFilesViewCtrl::postSelectionChanged() {
    tw::NotificationCenter::defaultCenter().post(TWDuplicateFilesSelectionChangedNotification);
}

QString TWDuplicateFilesViewCtrl::filterString() const {
    return searchField_->text();
}

void TWDuplicateFilesViewCtrl::setFilterString(const QString& text) {
    searchField_->setText(text);
}

void TWDuplicateFilesViewCtrl::searchAction() {
    searchTimer_->stop();
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    const QString text = searchField_->text();
    manager.setFilterString(text.isEmpty() ? std::nullopt : std::optional<std::string>(text.toStdString()));
    manager.defaultSelection();
    postSelectionChanged();
    reloadData();
}

void TWDuplicateFilesViewCtrl::sortChanged(int tag) {
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    const TWSortType type = TWSortType(tag);
    const bool ascend = type == manager.sortType() ? !manager.sortAsending() : manager.sortAsending();
    manager.sortDuplicateFilesWithMethod(type, ascend);
    manager.defaultSelection();
    postSelectionChanged();
    reloadData();
}

void TWDuplicateFilesViewCtrl::sortDirectionChanged(bool flag) {
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    if (flag != manager.sortAsending()) {
        manager.sortDuplicateFilesWithMethod(manager.sortType(), flag);
        manager.defaultSelection();
        postSelectionChanged();
        reloadData();
    }
    updateSortControl();
}

QString TWDuplicateFilesViewCtrl::directionTitle(int type, bool flag) {
    // The flag runs names from A and numbers from the largest.
    switch (TWSortType(type)) {
        case TWSortTypeSize:
            return flag ? tr("Largest first") : tr("Smallest first");
        case TWSortTypeCount:
            return flag ? tr("Most files first") : tr("Fewest files first");
        default:
            return flag ? tr("A to Z") : tr("Z to A");
    }
}

void TWDuplicateFilesViewCtrl::updateSortControl() {
    const TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    const int type = int(manager.sortType());
    const bool hasKey = manager.sortType() != TWSortTypeNone;
    QString keyTitle;
    for (QAction* action : sortMenu_->actions()) {
        if (action->isSeparator()) continue;
        const int tag = action->data().toInt();
        if (tag == kSortFlagTrueTag || tag == kSortFlagFalseTag) {
            const bool flag = tag == kSortFlagTrueTag;
            action->setText(directionTitle(type, flag));
            action->setEnabled(hasKey);
            action->setChecked(hasKey && flag == manager.sortAsending());
        } else {
            action->setChecked(tag == type);
            if (tag == type) keyTitle = action->text();
        }
    }
    sortButton_->setToolTip(hasKey ? tr("Sort: %1, %2").arg(keyTitle, directionTitle(type, manager.sortAsending()))
                                   : tr("Sort"));
}

void TWDuplicateFilesViewCtrl::similarFilterAction(int tag) {
    TWDuplicateFilesManager& manager = TWDuplicateFilesManager::shared();
    if (tag == int(manager.filterMethod())) return;
    manager.setFilterMethod(TWFilterMethod(tag));
    if (manager.numberOfDisplayDuplicateFiles() > 0)
        manager.setSelection({0});
    else
        manager.setSelection({});
    reloadData();
    postSelectionChanged();
}
