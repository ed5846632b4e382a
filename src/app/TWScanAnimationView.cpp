#include "app/TWScanAnimationView.h"

#include <QPainter>
#include <QPointer>
#include <QVariantAnimation>

#include "app/TWArtwork.h"
#include "platform/MainQueue.h"

namespace {
constexpr int kTurnMilliseconds = 2000;
// -4 pi radians with the y axis up is two clockwise turns on screen.
constexpr double kTurnDegrees = 720;
}  // namespace

TWScanAnimationView::TWScanAnimationView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    animation_ = new QVariantAnimation(this);
    animation_->setStartValue(0.0);
    animation_->setEndValue(kTurnDegrees);
    animation_->setDuration(kTurnMilliseconds);
    animation_->setLoopCount(-1);
    animation_->setEasingCurve(QEasingCurve::Linear);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        angle_ = value.toDouble();
        update(ringRect().toAlignedRect());
    });
}

TWScanAnimationView::~TWScanAnimationView() = default;

void TWScanAnimationView::startAnimation() {
    if (tw::MainQueue::shared().isMainThread()) return startOnMainThread();
    QPointer<TWScanAnimationView> self(this);
    tw::MainQueue::shared().post([self] {
        if (self) self->startOnMainThread();
    });
}

void TWScanAnimationView::stopAnimation() {
    if (tw::MainQueue::shared().isMainThread()) return stopOnMainThread();
    QPointer<TWScanAnimationView> self(this);
    tw::MainQueue::shared().post([self] {
        if (self) self->stopOnMainThread();
    });
}

void TWScanAnimationView::startOnMainThread() {
    ringOn_ = true;
    if (animation_->state() != QAbstractAnimation::Running) animation_->start();
    update();
}

void TWScanAnimationView::stopOnMainThread() {
    animation_->stop();
    angle_ = 0;
    ringOn_ = false;
    update();
}

bool TWScanAnimationView::isAnimating() const {
    return animation_->state() == QAbstractAnimation::Running;
}

void TWScanAnimationView::setWaringStatus(bool on) {
    if (waringStatus_ == on) return;
    waringStatus_ = on;
    update();
}

QRectF TWScanAnimationView::ringRect() const {
    double side = std::min(width(), height());
    return QRectF((width() - side) / 2, (height() - side) / 2, side, side);
}

QString TWScanAnimationView::ringPicture() const {
    if (ringOn_) return QStringLiteral("scanAnimationImage");
    if (waringStatus_) return QStringLiteral("noduplicatesfound_ring_bg");
    return {};
}

void TWScanAnimationView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    TWArtwork::draw(painter, QStringLiteral("folderBrowerBg"), rect());

    QString picture = ringPicture();
    if (picture.isEmpty()) return;
    QRectF ring = ringRect();
    painter.save();
    painter.translate(ring.center());
    painter.rotate(angle_);
    painter.translate(-ring.center());
    TWArtwork::draw(painter, picture, ring);
    painter.restore();
}
