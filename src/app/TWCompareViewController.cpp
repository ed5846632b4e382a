#include "app/TWCompareViewController.h"

#include "app/TWCompareView.h"

namespace {
TWCompareViewController*& sharedCtrl() {
    static TWCompareViewController* ctrl = nullptr;
    return ctrl;
}
}  // namespace

TWCompareViewController* TWCompareViewController::shared() {
    if (!sharedCtrl()) sharedCtrl() = new TWCompareViewController();
    return sharedCtrl();
}

void TWCompareViewController::resetShared() {
    delete sharedCtrl();
    sharedCtrl() = nullptr;
}

TWCompareViewController::TWCompareViewController() : view_(new TWCompareView()) {}

TWCompareViewController::~TWCompareViewController() {
    delete view_;
}

void TWCompareViewController::reloadData() {
    view_->reloadData();
}
