#include "app/TWSlideViewController.h"

#include <QSplitter>
#include <QVBoxLayout>

#include "app/TWQuickLookViewCtrl.h"
#include "model/TWFilesListManager.h"

TWSlideViewController* TWSlideViewController::shared() {
    return TWSharedInstance<TWSlideViewController>::get();
}

void TWSlideViewController::resetShared() {
    TWSharedInstance<TWSlideViewController>::reset();
}

TWSlideViewController::TWSlideViewController() {
    view_ = new QSplitter(Qt::Vertical);
    view_->setObjectName(QStringLiteral("TWSlideViewController"));
    view_->setChildrenCollapsible(true);
    view_->setHandleWidth(1);
    view_->setStyleSheet(QStringLiteral("QSplitter::handle { background: #DADDE2; }"));
    QWidget* preview = TWQuickLookViewCtrl::shareQuickLookViewCtrl()->view();
    listView_ = new QWidget();
    listView_->setObjectName(QStringLiteral("listView"));
    auto* layout = new QVBoxLayout(listView_);
    layout->setContentsMargins(0, 0, 0, 0);
    TWFilesListViewController* list = TWFilesListViewController::shared();
    layout->addWidget(list->view());
    list->setDelegate(this);
    // Both parts keep their minimum unless the divider collapses one of them.
    preview->setMinimumHeight(kMinimumPartHeight);
    listView_->setMinimumHeight(kMinimumPartHeight);
    view_->addWidget(preview);
    view_->addWidget(listView_);
    view_->setCollapsible(0, true);
    view_->setCollapsible(1, true);
    view_->setStretchFactor(0, 3);
    view_->setStretchFactor(1, 2);
}

TWSlideViewController::~TWSlideViewController() {
    // The preview and the list belong to their own controllers: hand them back.
    if (TWFilesListViewController* list = TWFilesListViewController::existing()) {
        if (list->delegate() == this) list->setDelegate(nullptr);
        if (list->view() && list->view()->parent() == listView_) list->view()->setParent(nullptr);
    }
    if (TWQuickLookViewCtrl* preview = TWQuickLookViewCtrl::existing())
        if (preview->view() && preview->view()->parent() == view_) preview->view()->setParent(nullptr);
    delete view_;
}

QWidget* TWSlideViewController::quickLookView() const {
    return TWQuickLookViewCtrl::shareQuickLookViewCtrl()->view();
}

void TWSlideViewController::reloadData() {
    TWFilesListViewController::shared()->reloadData();
    previewSelectedFile();
}

void TWSlideViewController::TWFilesListViewSelectionDidChanged(TWFilesListViewController&) {
    previewSelectedFile();
}

void TWSlideViewController::previewSelectedFile() {
    auto file = TWFilesListManager::shareFilesListManager().fileItemSelected();
    TWQuickLookViewCtrl::shareQuickLookViewCtrl()->quickLookPathfile(file ? std::optional(file->filePath())
                                                                          : std::nullopt);
}
