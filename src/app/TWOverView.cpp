#include "TWOverView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSequentialAnimationGroup>
#include <QToolTip>
#include <QVariantAnimation>
#include <cmath>

#include "MainQueue.h"
#include "TWAppStyle.h"

namespace {

constexpr double kRingWidthFraction = 0.36;  // of the outer radius

QColor lighter(const QColor& color, double amount) {
    auto up = [amount](float component) { return std::min(1.0f, component + float(amount)); };
    return QColor::fromRgbF(up(color.redF()), up(color.greenF()), up(color.blueF()), color.alphaF());
}

}  // namespace

TWOverView::TWOverView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TWOverView"));
    setMouseTracking(true);
}

double TWOverView::outerRadius() const {
    return std::min(width(), height()) / 2.0 - 8;
}

double TWOverView::innerRadius() const {
    return outerRadius() * (1.0 - kRingWidthFraction);
}

void TWOverView::reload() {
    if (!tw::MainQueue::shared().isMainThread()) {
        QPointer<TWOverView> self(this);
        tw::MainQueue::shared().post([self] {
            if (self) self->reload();
        });
        return;
    }
    total_ = dataSource_ ? dataSource_->TWArcProportion(*this, 0) : 0;
    for (int category = 0; category < 8; ++category) {
        angles_[category] = dataSource_ && category > 0 ? dataSource_->sizeOfPartAtIndex(*this, category) : 0;
        colors_[category] = dataSource_ ? dataSource_->TWArcColor(*this, category) : QColor();
    }
    setHovered(-1, QPoint());
    update();
}

double TWOverView::startAngleOf(int category) const {
    double start = 0;
    for (int i = 1; i < category; ++i) start += angles_[i];
    return start;
}

int TWOverView::categoryAt(const QPointF& point) const {
    if (!slicesVisible()) return -1;
    const QPointF centre = QRectF(rect()).center();
    const QPointF d = point - centre;
    const double distance = std::hypot(d.x(), d.y());
    if (distance > outerRadius() || distance < innerRadius()) return -1;
    // Clockwise from twelve o'clock, in degrees.
    double angle = std::atan2(d.x(), -d.y()) * 180.0 / M_PI;
    if (angle < 0) angle += 360;
    double start = 0;
    for (int category = 1; category < 8; ++category) {
        if (angles_[category] > 0 && angle >= start && angle < start + angles_[category]) return category;
        start += angles_[category];
    }
    return -1;
}

void TWOverView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const double outer = outerRadius();
    const double inner = innerRadius();
    if (outer <= 0) return;
    const QRectF outerRect(centre.x() - outer, centre.y() - outer, 2 * outer, 2 * outer);
    const QRectF innerRect(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner);

    // The empty ring behind the slices.
    QPainterPath ring;
    ring.addEllipse(outerRect);
    ring.addEllipse(innerRect);
    painter.setPen(Qt::NoPen);
    painter.setBrush(TWAppStyle::adapt(QColor(0xEC, 0xEE, 0xF2)));
    painter.drawPath(ring);

    if (slicesVisible()) {
        double start = 0;
        for (int category = 1; category < 8; ++category) {
            const double span = angles_[category];
            if (span <= 0) continue;
            QPainterPath slice;
            // Qt counts degrees counter-clockwise from three o'clock.
            const double qtStart = 90 - start;
            slice.arcMoveTo(outerRect, qtStart);
            slice.arcTo(outerRect, qtStart, -span);
            slice.arcTo(innerRect, qtStart - span, span);
            slice.closeSubpath();
            QColor color = colors_[category];
            if (category == hovered_) color = lighter(color, 0.4 * pulse_);
            painter.setBrush(color);
            painter.drawPath(slice);
            start += span;
        }
        // Thin white seams between the slices.
        painter.setPen(QPen(TWAppStyle::adapt(Qt::white), 1.5));
        start = 0;
        int drawn = 0;
        for (int category = 1; category < 8; ++category)
            if (angles_[category] > 0) ++drawn;
        for (int category = 1; category < 8 && drawn > 1; ++category) {
            if (angles_[category] <= 0) continue;
            const double radians = (start)*M_PI / 180.0;
            const QPointF direction(std::sin(radians), -std::cos(radians));
            painter.drawLine(centre + direction * inner, centre + direction * outer);
            start += angles_[category];
        }
    }

    painter.setFont(TWAppStyle::counterFont(24));
    painter.setPen(QColor::fromRgbF(0.290f, 0.565f, 1.0f));
    painter.drawText(innerRect, Qt::AlignCenter, QStringLiteral("All"));
}

void TWOverView::mouseMoveEvent(QMouseEvent* event) {
    setHovered(categoryAt(event->position()), event->globalPosition().toPoint());
}

void TWOverView::leaveEvent(QEvent*) {
    setHovered(-1, QPoint());
}

void TWOverView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int category = categoryAt(event->position());
    if (category > 0 && dataSource_) dataSource_->overViewMouseUpEvent(*this, category);
}

void TWOverView::setHovered(int category, const QPoint& globalPosition) {
    if (category == hovered_) return;
    hovered_ = category;
    pulse_ = 0;
    if (pulseAnimation_) pulseAnimation_->deleteLater();
    if (category < 0) {
        QToolTip::hideText();
        update();
        return;
    }
    if (dataSource_) QToolTip::showText(globalPosition, dataSource_->getBlockInformation(*this, category), this);
    // To the lighter colour and back, a second each way, until the pointer leaves.
    auto* animation = new QVariantAnimation(this);
    // Linear time 0..2, each leg eased in on its own.
    animation->setStartValue(0.0);
    animation->setEndValue(2.0);
    animation->setDuration(2000);
    animation->setLoopCount(-1);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double t = value.toDouble();
        pulse_ = t < 1 ? t * t : 1 - (t - 1) * (t - 1);
        update();
    });
    pulseAnimation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    update();
}
