#include "app/TWIconViewController.h"

#include "app/TWIconView.h"

TWIconViewController* TWIconViewController::shared() {
    return TWSharedInstance<TWIconViewController>::get();
}

void TWIconViewController::resetShared() {
    TWSharedInstance<TWIconViewController>::reset();
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
