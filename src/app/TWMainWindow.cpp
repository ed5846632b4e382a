#include "TWMainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "TWAppStyle.h"
#include "TWScreenFit.h"
#include "TWTitlebarViewCtrl.h"

namespace {
constexpr int kAnimationMilliseconds = 220;
constexpr int kNoticeMargin = 12;
}  // namespace

TWMainWindow::TWMainWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("wndMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);

    titleBar_ = new TWTitlebarViewCtrl(this);
    content_ = new QWidget(this);
    content_->setObjectName(QStringLiteral("contentView"));
    stack_ = new QStackedLayout(content_);
    stack_->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(titleBar_);
    layout->addWidget(content_, 1);

    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("windowNotice"));
    notice_->setWordWrap(true);
    notice_->setAlignment(Qt::AlignCenter);
    // A dark banner in both schemes (rgba colours are left as they are).
    notice_->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(36, 41, 47, 0.92); color: rgb(255, 255, 255);"
                       " border-radius: 8px; padding: 8px 14px; }"));
    notice_->hide();
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    connect(noticeTimer_, &QTimer::timeout, notice_, &QWidget::hide);

    connect(titleBar_, &TWTitlebarViewCtrl::fullScreenClicked, this, &TWMainWindow::toggleFullScreen);
    connect(titleBar_, &TWTitlebarViewCtrl::doubleClicked, this, &TWMainWindow::toggleMaximized);
}

TWMainWindow::~TWMainWindow() = default;

void TWMainWindow::addContentView(QWidget* view) {
    stack_->addWidget(view);
    notice_->raise();
}

void TWMainWindow::showContentView(QWidget* view) {
    // A stack is as large as its largest view; only the view shown sets the window's
    // minimum size, so that the scan view keeps its own size after the results.
    for (int i = 0; i < stack_->count(); ++i) {
        QWidget* page = stack_->widget(i);
        const auto policy = page == view ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        page->setSizePolicy(policy, policy);
    }
    stack_->setCurrentWidget(view);
}

QWidget* TWMainWindow::currentContentView() const {
    return stack_->currentWidget();
}

void TWMainWindow::setResizable(bool resizable) {
    resizable_ = resizable;
    titleBar_->setFullScreenAvailable(resizable || isFullScreen());
    if (!isAnimating() && !pendingFrame_) applySizeRule();
}

void TWMainWindow::applySizeRule() {
    if (isFullScreen() || isMaximized()) return;
    if (resizable_) {
        setMinimumSize(TWScreenFit::capped(this, kMinimumResizableSize));
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(size());
    }
}

void TWMainWindow::animateToFrame(const QRect& frame) {
    if (animation_) animation_->stop();
    // Free the size while it changes; the rule of the new style applies at the end.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (isMaximized()) {
        // Leaving maximised restores the old frame; the new one follows that.
        pendingFrame_ = frame;
        showNormal();
        return;
    }
    if (!isVisible() || isFullScreen()) {
        setGeometry(frame);
        applySizeRule();
        return;
    }
    auto* animation = new QPropertyAnimation(this, "geometry", this);
    animation->setDuration(kAnimationMilliseconds);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setStartValue(geometry());
    animation->setEndValue(frame);
    connect(animation, &QPropertyAnimation::finished, this, [this, frame] {
        setGeometry(frame);
        applySizeRule();
    });
    animation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

bool TWMainWindow::isAnimating() const {
    return animation_ && animation_->state() == QAbstractAnimation::Running;
}

void TWMainWindow::toggleFullScreen() {
    if (isFullScreen()) {
        showNormal();
    } else if (resizable_) {
        if (animation_) animation_->stop();
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
    }
}

void TWMainWindow::toggleMaximized() {
    if (isFullScreen()) return;
    if (isMaximized()) {
        showNormal();
    } else if (resizable_) {
        if (animation_) animation_->stop();
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showMaximized();
    }
}

void TWMainWindow::showNotice(const QString& text, int milliseconds) {
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
    placeNotice();
    notice_->raise();
    if (!text.isEmpty()) noticeTimer_->start(milliseconds);
}

QString TWMainWindow::noticeText() const {
    return notice_->isHidden() ? QString() : notice_->text();
}

void TWMainWindow::placeNotice() {
    const int width = std::min({notice_->sizeHint().width(), content_->width() - 2 * kNoticeMargin, 520});
    const int height = notice_->heightForWidth(width);
    notice_->setGeometry((this->width() - width) / 2, content_->y() + kNoticeMargin, width, height);
}

void TWMainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (notice_->isVisible()) placeNotice();
}

void TWMainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F11 && event->modifiers() == Qt::NoModifier) {
        toggleFullScreen();
        return;
    }
    if (event->key() == Qt::Key_Escape && isFullScreen()) {
        // A search field with text clears first (it takes the key itself); Escape only
        // reaches the window from elsewhere, or from an empty field.
        auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (field && !field->text().isEmpty()) {
            field->clear();
            return;
        }
        showNormal();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TWMainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        bool fullScreen = isFullScreen();
        if (fullScreen != wasFullScreen_) {
            wasFullScreen_ = fullScreen;
            titleBar_->setFullScreen(fullScreen);
            titleBar_->setFullScreenAvailable(resizable_ || fullScreen);
            if (!fullScreen) applySizeRule();
            emit fullScreen ? fullScreenEntered() : fullScreenExited();
        } else if (!isMaximized() && pendingFrame_) {
            QTimer::singleShot(0, this, [this] {
                if (!pendingFrame_) return;
                const QRect frame = *std::exchange(pendingFrame_, std::nullopt);
                animateToFrame(frame);
            });
        } else if (!isMaximized() && !isAnimating() && !pendingFrame_) {
            applySizeRule();
        }
    }
    QWidget::changeEvent(event);
}

void TWMainWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) emit closed();
}
