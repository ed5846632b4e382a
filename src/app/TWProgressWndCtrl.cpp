#include "app/TWProgressWndCtrl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TWAppStyle.h"
#include "removal/TWRemovalProgress.h"

TWProgressWndCtrl* TWProgressWndCtrl::progressWndCtrl() {
    return TWSharedInstance<TWProgressWndCtrl>::get();
}

void TWProgressWndCtrl::resetShared() {
    TWSharedInstance<TWProgressWndCtrl>::reset();
}

TWProgressWndCtrl::TWProgressWndCtrl() {
    setObjectName(QStringLiteral("TWProgressWndCtrl"));
    setWindowTitle(tr("Removing"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setFixedSize(440, 132);
    setStyleSheet(QStringLiteral(
        "QDialog { background: #FAFAFB; border: 1px solid #C9CDD4; border-radius: 8px; }"
        "QProgressBar { border: none; border-radius: 4px; background: #E4E7EB; height: 8px; }"
        "QProgressBar::chunk { border-radius: 4px; background: #3A86DE; }"
        "QPushButton { border: 1px solid #C9CDD4; border-radius: 6px; background: white; padding: 4px 18px; }"
        "QPushButton:hover { background: #F0F2F5; }"
        "QPushButton:disabled { color: #A0A6AE; }"));

    titleLabel_ = new QLabel(this);
    titleLabel_->setObjectName(QStringLiteral("progressTitle"));
    titleLabel_->setFont(TWAppStyle::systemFont(10.5));
    titleLabel_->setStyleSheet(QStringLiteral("color: #24292F;"));
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 1000);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(8);
    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, &TWProgressWndCtrl::cancelClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(12);
    layout->addWidget(titleLabel_);
    layout->addWidget(bar_);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cancelButton_);
    layout->addLayout(buttons);

    setPercent(0);
    setIsCancelled(false);
    setTitle(QString::fromLatin1(kTWRemovingTitle));
}

void TWProgressWndCtrl::setPercent(double percent) {
    percent_ = std::clamp(percent, 0.0, 100.0);
    bar_->setValue(int(percent_ * 10 + 0.5));
}

void TWProgressWndCtrl::setTitle(const QString& title) {
    title_ = title;
    titleLabel_->setText(title);
}

void TWProgressWndCtrl::cancelClick() {
    setIsCancelled(true);
    cancelButton_->setEnabled(false);
    if (cancelHandler_) cancelHandler_();
}

void TWProgressWndCtrl::reject() {
    if (!isCancelled_) cancelClick();
}

void TWProgressWndCtrl::beginSheet(QWidget* parent) {
    if (parent && parentWidget() != parent) setParent(parent, windowFlags() | Qt::Dialog);
    cancelButton_->setEnabled(true);
    setWindowModality(Qt::WindowModal);
    if (parent) {
        QRect frame = geometry();
        frame.moveCenter(parent->geometry().center());
        frame.moveTop(parent->geometry().top() + 60);
        move(frame.topLeft());
    }
    show();
    raise();
}

void TWProgressWndCtrl::endSheet() {
    hide();
}
