#pragma once
// The size range slider of the Ignore page: two thumbs on one track set the smallest
// and the largest size of the files a scan keeps ("minsizeignored", "maxsizeignored").
// Every movement of a thumb is written to the preference store at once.
//
// The scale has two parts, so that the sizes people care about get most of the room:
// 0 to 200 MiB fills the first 70 % of the scale length L, 200 MiB to 1 GiB the rest;
// the last 16 points of the track, past L, stand for "no limit". Positions are
// measured in points from the start of the track. Main thread only.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class TWFileSizeView : public QWidget {
    Q_OBJECT
public:
    static constexpr uint64_t kLowRangeEnd = 200ull * 1024 * 1024;  // 209,715,200 bytes
    static constexpr uint64_t kHighRangeEnd = 1ull << 30;           // 1,073,741,824 bytes
    static constexpr uint64_t kUnlimited = UINT64_MAX;
    static constexpr double kLowShare = 0.7;
    static constexpr double kTrackInset = 17;  // left, right and top
    static constexpr double kUnlimitedRoom = 16;
    static constexpr double kThumbWidth = 18;
    static constexpr double kThumbHeight = 19;
    static constexpr double kThumbGap = 9;  // closest the two thumbs may come
    static constexpr double kTickDrop = 4;
    static constexpr double kTickBand = 25;
    static constexpr double kValueBand = 15;  // above the track: each thumb's size

    enum class Thumb { none, minimum, maximum };

    struct Tick {
        double position;
        QString label;  // empty: an unlabelled tick
    };

    explicit TWFileSizeView(QWidget* parent = nullptr);

    // The scale, for a scale length L (track width - 16). A size above 1 GiB sits at
    // the track's end, L + 16; a position past L reads as no limit.
    static double positionOfSize(uint64_t size, double scaleLength);
    static uint64_t sizeAtPosition(double position, double scaleLength);
    // "Unlimited" above 1 GiB, else the size text of the file list ("200 MB").
    static QString labelForSize(uint64_t size);

    QRectF trackRect() const;
    double trackWidth() const;
    double scaleLength() const;  // L
    double trackHeight() const;
    // At least 4 and at most a third of the view's height.
    void setTrackHeight(double height);

    double minPosition() const { return minPosition_; }
    double maxPosition() const { return maxPosition_; }
    // The thumb rectangles in view coordinates, centred on their positions.
    QRectF thumbRect(Thumb thumb) const;
    std::vector<Tick> ticks() const;
    // Where a thumb's size is written: above the thumb, inside the view, and never over
    // the other thumb's (the two push apart where the thumbs come close).
    QRectF valueRect(Thumb thumb) const;
    QString valueText(Thumb thumb) const;
    // The label rectangle of a tick for the given text width: centred under the tick,
    // except "Unlimited", which sits 70 % of its width left of its tick.
    QRectF tickLabelRect(const Tick& tick, double textWidth) const;

    Thumb draggedThumb() const { return dragged_; }
    // The thumb under a point (the nearer one where the two overlap).
    Thumb thumbAt(const QPointF& point) const;

    // Places the thumbs at the stored sizes.
    void reloadData();
    QString minSizeText() const;
    QString maxSizeText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A thumb moved (its size was offered to the store) or the sizes were reloaded.
    void sizesChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void moveDraggedThumb(double pointerX);
    void placeThumbs();

    double trackHeight_ = 4;
    double minPosition_ = 0;
    double maxPosition_ = 0;
    Thumb dragged_ = Thumb::none;
    double grabOffset_ = 0;  // pointer minus thumb centre at the press
};
