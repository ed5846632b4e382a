#include "app/TWFilesListViewController.h"

#include <QItemSelection>
#include <QListView>
#include <QVBoxLayout>

#include "app/TWBrowserNotifications.h"
#include "app/TWFilesListModel.h"
#include "model/TWFilesListManager.h"
#include "platform/NotificationCenter.h"

TWFilesListViewController* TWFilesListViewController::shared() {
    return TWSharedInstance<TWFilesListViewController>::get();
}

TWFilesListViewController* TWFilesListViewController::existing() {
    return TWSharedInstance<TWFilesListViewController>::existing();
}

void TWFilesListViewController::resetShared() {
    TWSharedInstance<TWFilesListViewController>::reset();
}

TWFilesListViewController::TWFilesListViewController() {
    view_ = new QWidget();
    view_->setObjectName(QStringLiteral("TWFilesListViewController"));
    tableView_ = new QListView(view_);
    tableView_->setObjectName(QStringLiteral("filesTableView"));
    tableView_->setFrameShape(QFrame::NoFrame);
    tableView_->setUniformItemSizes(true);
    tableView_->setMouseTracking(true);
    tableView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tableView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    model_ = new TWFilesListModel(this);
    tableView_->setModel(model_);
    cellDelegate_ = new TWFilesListCellDelegate(tableView_);
    cellDelegate_->setHandler([this](TWFilesListCellDelegate::Part part, int row) {
        switch (part) {
            case TWFilesListCellDelegate::Part::CheckBox: {
                auto file = TWFilesListManager::shareFilesListManager().fileItemAtIndex(size_t(row));
                if (file) checkedItemForDelete(row, !file->isChecked());
                break;
            }
            case TWFilesListCellDelegate::Part::ShowInFinder:
                showItemInFinder(row);
                break;
            case TWFilesListCellDelegate::Part::Ignore:
                ignoreItem(row);
                break;
            case TWFilesListCellDelegate::Part::None:
                break;
        }
    });
    tableView_->setItemDelegate(cellDelegate_);
    connect(tableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TWFilesListViewController::selectionDidChange);
    auto* layout = new QVBoxLayout(view_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tableView_);
}

TWFilesListViewController::~TWFilesListViewController() {
    delete view_;
}

void TWFilesListViewController::reloadData() {
    notRespondSelectedDidChange_ = true;
    model_->reload();
    QItemSelection selection;
    const int rows = model_->rowCount();
    for (size_t index : TWFilesListManager::shareFilesListManager().selection())
        if (int(index) < rows) selection.select(model_->index(int(index)), model_->index(int(index)));
    tableView_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    notRespondSelectedDidChange_ = false;
}

void TWFilesListViewController::selectionDidChange() {
    if (notRespondSelectedDidChange_) return;
    TWFilesListManager::IndexSet rows;
    for (const QModelIndex& index : tableView_->selectionModel()->selectedRows()) rows.insert(size_t(index.row()));
    TWFilesListManager::shareFilesListManager().setSelection(std::move(rows));
    if (delegate_) delegate_->TWFilesListViewSelectionDidChanged(*this);
}

void TWFilesListViewController::checkedItemForDelete(int row, bool checked) {
    if (row < 0) return;
    if (!TWFilesListManager::shareFilesListManager().checkedFileItem(checked, size_t(row))) return;
    tw::NotificationCenter::defaultCenter().post(TWFilesCheckDidChangedNotification);
    reloadData();
}

void TWFilesListViewController::showItemInFinder(int row) {
    if (row < 0) return;
    TWFilesListManager::shareFilesListManager().showInFinderFileItemAtIndex(size_t(row));
}

void TWFilesListViewController::ignoreItem(int row) {
    if (row < 0) return;
    if (!TWFilesListManager::shareFilesListManager().ignoreFileItemAtIndex(size_t(row))) return;
    tw::NotificationCenter::defaultCenter().post(TWFilesIgnoredChangedNotification);
    reloadData();
}

QRect TWFilesListViewController::rowRect(int row) const {
    return tableView_->visualRect(model_->index(row));
}
