#include "app/TWFocusRing.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>

#include "app/TWAppStyle.h"

namespace {

constexpr int kRingWidth = 2;
constexpr int kRingGap = 1;  // between the control and the ring
constexpr int kMargin = kRingWidth + kRingGap;

QPointer<TWFocusRing>& sharedRing() {
    static QPointer<TWFocusRing> ring;
    return ring;
}

// The ring itself: drawn over the window, letting every click through.
class RingView : public QWidget {
public:
    explicit RingView(QWidget* window) : QWidget(window) {
        setObjectName(QStringLiteral("TWFocusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(TWAppStyle::accent(), kRingWidth));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = kRingWidth / 2.0;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 4, 4);
    }
};

}  // namespace

void TWFocusRing::install() {
    if (!sharedRing()) sharedRing() = new TWFocusRing();
}

TWFocusRing* TWFocusRing::shared() {
    return sharedRing();
}

TWFocusRing::TWFocusRing() : QObject(qApp) {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now) follow(nullptr);
    });
    // The reason of a focus change shows only in the widget's own event.
    qApp->installEventFilter(this);
}

QWidget* TWFocusRing::target() const {
    return ring() ? target_.data() : nullptr;
}

QWidget* TWFocusRing::ring() const {
    return ring_ && ring_->isVisible() ? ring_.data() : nullptr;
}

bool TWFocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() || watched == ring_) return false;
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::FocusIn: {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // A menu or a popup that closes gives focus back as it was.
            if (reason == Qt::PopupFocusReason && target_ == widget) break;
            follow(reason == Qt::MouseFocusReason || widget->isWindow() ? nullptr : widget);
            break;
        }
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            if (target_ && (widget == target_ || widget->isAncestorOf(target_))) place();
            break;
        default:
            break;
    }
    return false;
}

void TWFocusRing::follow(QWidget* widget) {
    target_ = widget;
    place();
}

void TWFocusRing::place() {
    QWidget* target = target_;
    if (!target || !target->isVisible()) {
        if (ring_) ring_->hide();
        return;
    }
    QWidget* window = target->window();
    if (!ring_ || ring_->parentWidget() != window) {
        if (ring_) ring_->hide();
        ring_ = window->findChild<QWidget*>(QStringLiteral("TWFocusRing"), Qt::FindDirectChildrenOnly);
        if (!ring_) ring_ = new RingView(window);
    }
    const QPoint origin = target->mapTo(window, QPoint(0, 0));
    // Kept inside the window: a control at its edge keeps the ring on every side.
    const QRect around = QRect(origin, target->size()).adjusted(-kMargin, -kMargin, kMargin, kMargin);
    ring_->setGeometry(around.intersected(window->rect()));
    ring_->raise();
    ring_->show();
    ring_->update();
}
