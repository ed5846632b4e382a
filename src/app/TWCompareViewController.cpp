#include "app/TWCompareViewController.h"

#include "app/TWCompareView.h"

TWCompareViewController* TWCompareViewController::shared() {
    return TWSharedInstance<TWCompareViewController>::get();
}

void TWCompareViewController::resetShared() {
    TWSharedInstance<TWCompareViewController>::reset();
}

TWCompareViewController::TWCompareViewController() : view_(new TWCompareView()) {}

TWCompareViewController::~TWCompareViewController() {
    delete view_;
}

void TWCompareViewController::reloadData() {
    view_->reloadData();
}
