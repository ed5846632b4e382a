#include "TWPreferenceCtrl.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
TWPreferenceCtrl*& sharedPreferences() {
    static TWPreferenceCtrl* controller = nullptr;
    return controller;
}
}  // namespace

TWPreferenceCtrl* TWPreferenceCtrl::shared() {
    if (!sharedPreferences()) sharedPreferences() = new TWPreferenceCtrl();
    return sharedPreferences();
}

void TWPreferenceCtrl::resetShared() {
    delete sharedPreferences();
    sharedPreferences() = nullptr;
}

TWPreferenceCtrl::TWPreferenceCtrl() {
    window_ = new QWidget(nullptr, Qt::Window);
    window_->setObjectName(QStringLiteral("TWPreferenceCtrl"));
    window_->setWindowTitle(tr("Preferences"));
    auto* layout = new QVBoxLayout(window_);
    layout->addWidget(new QLabel(tr("Preferences"), window_));
    window_->resize(560, 420);
}

TWPreferenceCtrl::~TWPreferenceCtrl() {
    delete window_;
}

void TWPreferenceCtrl::showWindow() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}
