#include "TWBrowserResoultViewCtrl.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "AppDelegate.h"
#include "TWDuplicateFilesManager.h"

namespace {
TWBrowserResoultViewCtrl*& sharedBrowser() {
    static TWBrowserResoultViewCtrl* browser = nullptr;
    return browser;
}
}  // namespace

TWBrowserResoultViewCtrl* TWBrowserResoultViewCtrl::shared() {
    if (!sharedBrowser()) sharedBrowser() = new TWBrowserResoultViewCtrl();
    return sharedBrowser();
}

void TWBrowserResoultViewCtrl::resetShared() {
    delete sharedBrowser();
    sharedBrowser() = nullptr;
}

TWBrowserResoultViewCtrl::TWBrowserResoultViewCtrl() {
    view_ = new QWidget();
    view_->setObjectName(QStringLiteral("TWBrowserResoultViewCtrl"));
    backButton_ = new QPushButton(tr("Back"), view_);
    backButton_->setObjectName(QStringLiteral("backBtn"));
    summary_ = new QLabel(view_);
    summary_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(view_);
    layout->addWidget(backButton_, 0, Qt::AlignLeft);
    layout->addWidget(summary_, 1);
    connect(backButton_, &QPushButton::clicked, this, [] {
        if (AppDelegate* app = AppDelegate::shared()) app->BackToScan();
    });
}

TWBrowserResoultViewCtrl::~TWBrowserResoultViewCtrl() {
    delete view_;
}

void TWBrowserResoultViewCtrl::reloadData() {
    summary_->setText(
        tr("%n duplicate group(s) found", nullptr, int(TWDuplicateFilesManager::shared().numberOfDuplicateFiles())));
}

void TWBrowserResoultViewCtrl::selectAll() {}
