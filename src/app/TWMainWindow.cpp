#include "TWMainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QWindow>

#include "TWAppStyle.h"
#include "TWTitlebarViewCtrl.h"

namespace {
constexpr int kEdgeGrip = 5;
constexpr int kAnimationMilliseconds = 220;
constexpr QSize kMinimumResizableSize(760, 560);
}  // namespace

TWMainWindow::TWMainWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("wndMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);

    titleBar_ = new TWTitlebarViewCtrl(this);
    content_ = new QWidget(this);
    content_->setObjectName(QStringLiteral("contentView"));
    stack_ = new QStackedLayout(content_);
    stack_->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QVBoxLayout(this);
    // One pixel of border around everything: frameless windows get no outline of
    // their own from the window manager.
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(titleBar_);
    layout->addWidget(content_, 1);

    connect(titleBar_, &TWTitlebarViewCtrl::closeClicked, this, &QWidget::close);
    connect(titleBar_, &TWTitlebarViewCtrl::minimizeClicked, this, &QWidget::showMinimized);
    connect(titleBar_, &TWTitlebarViewCtrl::fullScreenClicked, this, &TWMainWindow::toggleFullScreen);

    qApp->installEventFilter(this);
}

TWMainWindow::~TWMainWindow() {
    qApp->removeEventFilter(this);
}

void TWMainWindow::addContentView(QWidget* view) {
    stack_->addWidget(view);
}

void TWMainWindow::showContentView(QWidget* view) {
    stack_->setCurrentWidget(view);
}

QWidget* TWMainWindow::currentContentView() const {
    return stack_->currentWidget();
}

void TWMainWindow::setResizable(bool resizable) {
    resizable_ = resizable;
    titleBar_->setFullScreenAvailable(resizable || isFullScreen());
    if (!isAnimating()) applySizeRule();
}

void TWMainWindow::applySizeRule() {
    if (isFullScreen()) return;
    if (resizable_) {
        setMinimumSize(kMinimumResizableSize);
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
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        showFullScreen();
    }
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
        }
    }
    QWidget::changeEvent(event);
}

void TWMainWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

void TWMainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), TWAppStyle::windowBackground());
    painter.setPen(TWAppStyle::border().darker(115));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

Qt::Edges TWMainWindow::edgesAt(const QPoint& p) const {
    Qt::Edges edges;
    if (!resizable_ || isFullScreen() || isMaximized()) return edges;
    if (p.x() < kEdgeGrip) edges |= Qt::LeftEdge;
    if (p.x() >= width() - kEdgeGrip) edges |= Qt::RightEdge;
    if (p.y() < kEdgeGrip) edges |= Qt::TopEdge;
    if (p.y() >= height() - kEdgeGrip) edges |= Qt::BottomEdge;
    return edges;
}

bool TWMainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The edges lie under the child widgets, so the window looks at the mouse events
    // of all of its widgets.
    auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    QPoint position = mapFromGlobal(mouse->globalPosition().toPoint());
    Qt::Edges edges = edgesAt(position);
    if (type == QEvent::MouseMove && mouse->buttons() == Qt::NoButton) {
        if (edges) {
            bool diagonal = (edges & (Qt::LeftEdge | Qt::RightEdge)) && (edges & (Qt::TopEdge | Qt::BottomEdge));
            Qt::CursorShape shape = Qt::SizeVerCursor;
            if (diagonal) {
                bool main = (edges == (Qt::LeftEdge | Qt::TopEdge)) || (edges == (Qt::RightEdge | Qt::BottomEdge));
                shape = main ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
            } else if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
                shape = Qt::SizeHorCursor;
            }
            setCursor(shape);
            edgeCursor_ = true;
        } else if (edgeCursor_) {
            unsetCursor();
            edgeCursor_ = false;
        }
        return false;
    }
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton && edges) {
        if (QWindow* handle = windowHandle(); handle && handle->startSystemResize(edges)) return true;
    }
    return false;
}
