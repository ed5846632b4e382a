#include "TWTitlebarViewCtrl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>

#include "TWAppStyle.h"
#include "TWArtwork.h"

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

    titleLabel_ = new QLabel(this);
    titleLabel_->setObjectName(QStringLiteral("title"));
    titleLabel_->setFont(TWAppStyle::systemFont(10.5, true));
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);

    settingsButton_ = makeButton(QStringLiteral("titlebar_settings"), tr("Settings"), QStringLiteral("settings"));
    menuButton_ = makeButton(QStringLiteral("titlebar_menu"), tr("Main Menu"), QStringLiteral("menu"));
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    minimizeButton_ = makeButton(QStringLiteral("titlebar_minimize"), tr("Minimize"), QStringLiteral("minimize"));
    fullScreenButton_ =
        makeButton(QStringLiteral("titlebar_fullscreen"), tr("Full Screen"), QStringLiteral("fullscreen"));
    closeButton_ = makeButton(QStringLiteral("titlebar_close"), tr("Close"), QStringLiteral("close"));

    connect(settingsButton_, &QToolButton::clicked, this, &TWTitlebarViewCtrl::settingsClicked);
    connect(minimizeButton_, &QToolButton::clicked, this, &TWTitlebarViewCtrl::minimizeClicked);
    connect(fullScreenButton_, &QToolButton::clicked, this, &TWTitlebarViewCtrl::fullScreenClicked);
    connect(closeButton_, &QToolButton::clicked, this, &TWTitlebarViewCtrl::closeClicked);

    // Left and right clusters of equal width keep the title centred on the window.
    auto* left = new QWidget(this);
    auto* right = new QWidget(this);
    auto* rightLayout = new QHBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(4);
    rightLayout->addStretch();
    rightLayout->addWidget(settingsButton_);
    rightLayout->addWidget(menuButton_);
    rightLayout->addSpacing(8);
    rightLayout->addWidget(minimizeButton_);
    rightLayout->addWidget(fullScreenButton_);
    rightLayout->addWidget(closeButton_);
    int clusterWidth = 5 * kButtonSide + 4 * 4 + 8;
    left->setFixedWidth(clusterWidth);
    right->setFixedWidth(clusterWidth);
    left->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(0);
    layout->addWidget(left);
    layout->addWidget(titleLabel_, 1);
    layout->addWidget(right);
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
                       "QToolButton:hover { background: rgba(0, 0, 0, 0.07); }"
                       "QToolButton:pressed, QToolButton:open { background: rgba(0, 0, 0, 0.13); }"
                       "QToolButton::menu-indicator { image: none; width: 0; }"));
    return button;
}

void TWTitlebarViewCtrl::setCanSettings(bool can) {
    settingsButton_->setVisible(can);
}

bool TWTitlebarViewCtrl::canSettings() const {
    return !settingsButton_->isHidden();
}

void TWTitlebarViewCtrl::setTitle(const QString& title) {
    titleLabel_->setText(title);
}

QString TWTitlebarViewCtrl::title() const {
    return titleLabel_->text();
}

void TWTitlebarViewCtrl::setMenu(QMenu* menu) {
    menuButton_->setMenu(menu);
}

void TWTitlebarViewCtrl::setFullScreenAvailable(bool available) {
    fullScreenButton_->setEnabled(available);
}

void TWTitlebarViewCtrl::setFullScreen(bool fullScreen) {
    fullScreenButton_->setIcon(
        TWArtwork::icon(fullScreen ? QStringLiteral("titlebar_restore") : QStringLiteral("titlebar_fullscreen")));
    fullScreenButton_->setToolTip(fullScreen ? tr("Leave Full Screen") : tr("Full Screen"));
}

void TWTitlebarViewCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    TWAppStyle::paintHeaderBar(painter, rect());
}

void TWTitlebarViewCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    QWidget* top = window();
    if (top->isFullScreen()) return;
    if (QWindow* handle = top->windowHandle(); handle && handle->startSystemMove()) return;
    // No window manager support (a bare X server): move the window ourselves.
    manualMove_ = true;
    moveOffset_ = event->globalPosition().toPoint() - top->frameGeometry().topLeft();
}

void TWTitlebarViewCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (manualMove_ && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - moveOffset_);
}

void TWTitlebarViewCtrl::mouseReleaseEvent(QMouseEvent*) {
    manualMove_ = false;
}

void TWTitlebarViewCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // As on GNOME, a double click on the header bar enlarges the window, when it may.
    if (event->button() == Qt::LeftButton && fullScreenButton_->isEnabled()) emit fullScreenClicked();
}
