#include "app/TWTitlebarViewCtrl.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"

namespace {
QPointer<TWTitlebarViewCtrl>& liveTitleBar() {
    static QPointer<TWTitlebarViewCtrl> bar;
    return bar;
}
constexpr int kButtonSide = 28;
constexpr int kIconSide = 16;
}  // namespace

TWTitlebarViewCtrl::TWTitlebarViewCtrl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TWTitlebarViewCtrl"));
    setFixedHeight(kHeight);
    liveTitleBar() = this;

    settingsButton_ = makeButton(QStringLiteral("titlebar_settings"), tr("Settings"), QStringLiteral("settings"));
    menuButton_ = makeButton(QStringLiteral("titlebar_menu"), tr("Main Menu"), QStringLiteral("menu"));
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    fullScreenButton_ =
        makeButton(QStringLiteral("titlebar_fullscreen"), tr("Full Screen (F11)"), QStringLiteral("fullscreen"));

    connect(settingsButton_, &QToolButton::clicked, this, &TWTitlebarViewCtrl::settingsClicked);
    connect(fullScreenButton_, &QToolButton::clicked, this, &TWTitlebarViewCtrl::fullScreenClicked);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(4);
    layout->addStretch(1);
    layout->addWidget(settingsButton_);
    layout->addWidget(menuButton_);
    layout->addWidget(fullScreenButton_);
}

TWTitlebarViewCtrl::~TWTitlebarViewCtrl() = default;

TWTitlebarViewCtrl* TWTitlebarViewCtrl::titleBarViewCtrl() {
    return liveTitleBar();
}

QToolButton* TWTitlebarViewCtrl::makeButton(const QString& picture, const QString& tip, const QString& objectName) {
    auto* button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setIcon(TWArtwork::icon(picture));
    button->setIconSize(QSize(kIconSide, kIconSide));
    button->setFixedSize(kButtonSide, kButtonSide);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(
        QStringLiteral("QToolButton { border: none; border-radius: 14px; background: transparent; }"
                       "QToolButton:hover { background: rgba(127, 127, 127, 0.18); }"
                       "QToolButton:pressed, QToolButton:open { background: rgba(127, 127, 127, 0.3); }"
                       "QToolButton::menu-indicator { image: none; width: 0; }"));
    return button;
}

void TWTitlebarViewCtrl::setCanSettings(bool can) {
    settingsButton_->setVisible(can);
}

bool TWTitlebarViewCtrl::canSettings() const {
    return !settingsButton_->isHidden();
}

void TWTitlebarViewCtrl::setMenu(QMenu* menu) {
    menuButton_->setMenu(menu);
    if (menu) TWAppStyle::dropHoverWhenMenuCloses(menuButton_, menu);
}

void TWTitlebarViewCtrl::setFullScreenAvailable(bool available) {
    fullScreenButton_->setEnabled(available);
}

void TWTitlebarViewCtrl::setFullScreen(bool fullScreen) {
    fullScreenButton_->setIcon(
        TWArtwork::icon(fullScreen ? QStringLiteral("titlebar_restore") : QStringLiteral("titlebar_fullscreen")));
    fullScreenButton_->setToolTip(fullScreen ? tr("Leave Full Screen (Esc)") : tr("Full Screen (F11)"));
}

void TWTitlebarViewCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    TWAppStyle::paintHeaderBar(painter, rect());
}

void TWTitlebarViewCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}
