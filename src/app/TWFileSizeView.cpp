#include "app/TWFileSizeView.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "app/TWAppStyle.h"
#include "app/TWArtwork.h"
#include "files/TWFileUtility.h"
#include "prefs/TWPreference.h"

namespace {
constexpr uint64_t kMiB = 1024 * 1024;

QFont tickFont() {
    QFont font = TWAppStyle::systemFont(8);
    font.setPixelSize(10);
    return font;
}
}  // namespace

TWFileSizeView::TWFileSizeView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TWFileSizeView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(false);
    reloadData();
}

QSize TWFileSizeView::sizeHint() const {
    return QSize(480, minimumSizeHint().height());
}

QSize TWFileSizeView::minimumSizeHint() const {
    // Track, the tick band below it and a little air.
    return QSize(200, int(kValueBand + kTrackInset + trackHeight_ + kTickDrop + kTickBand + 4));
}

// --- the scale ---

double TWFileSizeView::positionOfSize(uint64_t size, double scaleLength) {
    const double low = kLowShare * scaleLength;
    if (size <= kLowRangeEnd) return double(size) / double(kLowRangeEnd) * low;
    if (size <= kHighRangeEnd) {
        return low + double(size - kLowRangeEnd) / double(kHighRangeEnd - kLowRangeEnd) * (scaleLength - low);
    }
    return scaleLength + kUnlimitedRoom;
}

uint64_t TWFileSizeView::sizeAtPosition(double position, double scaleLength) {
    if (position > scaleLength) return kUnlimited;
    if (position <= 0 || scaleLength <= 0) return 0;
    const double low = kLowShare * scaleLength;
    if (position <= low) return uint64_t(std::llround(position / low * double(kLowRangeEnd)));
    double fraction = (position - low) / (scaleLength - low);
    return kLowRangeEnd + uint64_t(std::llround(fraction * double(kHighRangeEnd - kLowRangeEnd)));
}

QString TWFileSizeView::labelForSize(uint64_t size) {
    if (size > kHighRangeEnd) return tr("Unlimited");
    return QString::fromStdString(TWFileUtility::stringWithSize(size));
}

// --- geometry ---

double TWFileSizeView::trackWidth() const {
    return std::max(0.0, width() - 2 * kTrackInset);
}

double TWFileSizeView::scaleLength() const {
    // A view too narrow to show anything still keeps a scale that maps one way.
    return std::max(1.0, trackWidth() - kUnlimitedRoom);
}

double TWFileSizeView::trackHeight() const {
    return std::clamp(trackHeight_, 4.0, std::max(4.0, height() / 3.0));
}

void TWFileSizeView::setTrackHeight(double height) {
    trackHeight_ = std::max(4.0, height);
    updateGeometry();
    update();
}

QRectF TWFileSizeView::trackRect() const {
    return QRectF(kTrackInset, kValueBand + kTrackInset, trackWidth(), trackHeight());
}

QString TWFileSizeView::valueText(Thumb thumb) const {
    return thumb == Thumb::minimum ? minSizeText() : maxSizeText();
}

QRectF TWFileSizeView::valueRect(Thumb thumb) const {
    const QFontMetricsF metrics(tickFont());
    const double top = thumbRect(thumb).top() - kValueBand + 2;
    auto placed = [&](Thumb which) {
        const double textWidth = metrics.horizontalAdvance(valueText(which)) + 2;
        const double centre = thumbRect(which).center().x();
        const double left = std::clamp(centre - textWidth / 2, 0.0, std::max(0.0, width() - textWidth));
        return QRectF(left, top, textWidth, kValueBand - 2);
    };
    QRectF minimum = placed(Thumb::minimum);
    QRectF maximum = placed(Thumb::maximum);
    const double overlap = minimum.right() + 6 - maximum.left();
    if (overlap > 0) {
        // Each gives half the way, within the view.
        const double minShift =
            std::min(overlap / 2 + std::max(0.0, maximum.right() + overlap / 2 - width()), minimum.left());
        minimum.translate(-minShift, 0);
        maximum.translate(overlap - minShift, 0);
    }
    return thumb == Thumb::minimum ? minimum : maximum;
}

QRectF TWFileSizeView::thumbRect(Thumb thumb) const {
    double position = thumb == Thumb::minimum ? minPosition_ : maxPosition_;
    QRectF track = trackRect();
    QPointF centre(track.left() + position, track.center().y());
    return QRectF(centre.x() - kThumbWidth / 2, centre.y() - kThumbHeight / 2, kThumbWidth, kThumbHeight);
}

std::vector<TWFileSizeView::Tick> TWFileSizeView::ticks() const {
    const double length = scaleLength();
    const QString megabytes = tr("%1 MB");
    std::vector<Tick> ticks{{0, QStringLiteral("0")}};
    for (int quarter = 1; quarter <= 4; ++quarter) {
        uint64_t size = kLowRangeEnd / 4 * quarter;
        ticks.push_back({positionOfSize(size, length), megabytes.arg(size / kMiB)});
    }
    uint64_t middle = kLowRangeEnd + (kHighRangeEnd - kLowRangeEnd) / 2;
    ticks.push_back({positionOfSize(middle, length), megabytes.arg(middle / kMiB)});
    ticks.push_back({length, QString()});
    ticks.push_back({length + kUnlimitedRoom, tr("Unlimited")});
    return ticks;
}

QRectF TWFileSizeView::tickLabelRect(const Tick& tick, double textWidth) const {
    QRectF track = trackRect();
    double x = track.left() + tick.position;
    double top = track.bottom() + kTickDrop + 7;
    double left = tick.label == tr("Unlimited") ? x - 0.7 * textWidth : x - textWidth / 2;
    return QRectF(left, top, textWidth, kTickBand - 7);
}

TWFileSizeView::Thumb TWFileSizeView::thumbAt(const QPointF& point) const {
    bool onMin = thumbRect(Thumb::minimum).contains(point);
    bool onMax = thumbRect(Thumb::maximum).contains(point);
    if (onMin != onMax) return onMin ? Thumb::minimum : Thumb::maximum;
    if (!onMin) return Thumb::none;
    // Overlapping thumbs: the nearer centre; on a tie the one that can still move.
    double toMin = std::abs(point.x() - thumbRect(Thumb::minimum).center().x());
    double toMax = std::abs(point.x() - thumbRect(Thumb::maximum).center().x());
    if (toMin != toMax) return toMin < toMax ? Thumb::minimum : Thumb::maximum;
    return maxPosition_ >= trackWidth() ? Thumb::minimum : Thumb::maximum;
}

// --- state ---

void TWFileSizeView::reloadData() {
    placeThumbs();
    update();
    emit sizesChanged();
}

void TWFileSizeView::placeThumbs() {
    const TWPreference& preferences = TWPreference::shared();
    minPosition_ = positionOfSize(preferences.filterMinSize(), scaleLength());
    maxPosition_ = positionOfSize(preferences.filterMaxSize(), scaleLength());
}

QString TWFileSizeView::minSizeText() const {
    return labelForSize(TWPreference::shared().filterMinSize());
}

QString TWFileSizeView::maxSizeText() const {
    return labelForSize(TWPreference::shared().filterMaxSize());
}

void TWFileSizeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (dragged_ == Thumb::none) placeThumbs();
}

// --- dragging ---

void TWFileSizeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragged_ = thumbAt(event->position());
    if (dragged_ == Thumb::none) return;
    grabOffset_ = event->position().x() - thumbRect(dragged_).center().x();
    update();
}

void TWFileSizeView::mouseMoveEvent(QMouseEvent* event) {
    if (dragged_ == Thumb::none || !(event->buttons() & Qt::LeftButton)) return;
    moveDraggedThumb(event->position().x());
}

void TWFileSizeView::mouseReleaseEvent(QMouseEvent* event) {
    if (dragged_ == Thumb::none) return QWidget::mouseReleaseEvent(event);
    dragged_ = Thumb::none;
    // Snap to what the store holds (a size above 1 GiB sits at the track's end).
    reloadData();
}

void TWFileSizeView::moveDraggedThumb(double pointerX) {
    const double position = pointerX - grabOffset_ - trackRect().left();
    TWPreference& preferences = TWPreference::shared();
    if (dragged_ == Thumb::minimum) {
        // The minimum also stops at L: a minimum of "no limit" would ignore every file
        // and could never sit below the maximum the store insists on.
        double upper = std::min(maxPosition_ - kThumbGap, scaleLength());
        minPosition_ = std::clamp(position, 0.0, std::max(0.0, upper));
        preferences.setFilterMinSize(sizeAtPosition(minPosition_, scaleLength()));
    } else {
        maxPosition_ = std::clamp(position, minPosition_ + kThumbGap, std::max(minPosition_ + kThumbGap, trackWidth()));
        preferences.setFilterMaxSize(sizeAtPosition(maxPosition_, scaleLength()));
    }
    update();
    emit sizesChanged();
}

// --- drawing ---

void TWFileSizeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF track = trackRect();
    double radius = track.height() / 2;

    painter.setPen(Qt::NoPen);
    painter.setBrush(TWAppStyle::adapt(QColor(0xDC, 0xE0, 0xE6)));
    painter.drawRoundedRect(track, radius, radius);
    // The kept range between the thumbs.
    QRectF kept(track.left() + minPosition_, track.top(), maxPosition_ - minPosition_, track.height());
    painter.setBrush(TWAppStyle::accent());
    painter.drawRoundedRect(kept, radius, radius);

    painter.setFont(tickFont());
    QFontMetricsF metrics(painter.font());
    for (const Tick& tick : ticks()) {
        double x = track.left() + tick.position;
        painter.setPen(QPen(TWAppStyle::grey(0.62), 1));
        double top = track.bottom() + kTickDrop;
        painter.drawLine(QPointF(x, top), QPointF(x, top + (tick.label.isEmpty() ? 4 : 5)));
        if (tick.label.isEmpty()) continue;
        painter.setPen(TWAppStyle::secondaryText());
        QRectF box = tickLabelRect(tick, metrics.horizontalAdvance(tick.label));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, tick.label);
    }

    painter.setPen(TWAppStyle::secondaryText());
    for (Thumb thumb : {Thumb::minimum, Thumb::maximum})
        painter.drawText(valueRect(thumb), Qt::AlignCenter, valueText(thumb));
    for (Thumb thumb : {Thumb::minimum, Thumb::maximum}) {
        QString picture = dragged_ == thumb ? QStringLiteral("cursorDown") : QStringLiteral("cursorNormal");
        TWArtwork::draw(painter, picture, thumbRect(thumb));
    }
}
