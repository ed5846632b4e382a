#include "app/TWIconViewController.h"

#include "app/TWIconView.h"

namespace {
TWIconViewController*& sharedCtrl() {
    static TWIconViewController* ctrl = nullptr;
    return ctrl;
}
}  // namespace

TWIconViewController* TWIconViewController::shared() {
    if (!sharedCtrl()) sharedCtrl() = new TWIconViewController();
    return sharedCtrl();
}

void TWIconViewController::resetShared() {
    delete sharedCtrl();
    sharedCtrl() = nullptr;
}

TWIconViewController::TWIconViewController() : view_(new TWIconView()) {}

TWIconViewController::~TWIconViewController() {
    delete view_;
}

void TWIconViewController::reloadData() {
    view_->reloadData();
}

double TWIconViewController::scalePercent() const {
    return view_->scalePercent();
}

void TWIconViewController::setScalePercent(double percent) {
    view_->setScalePercent(percent);
}
