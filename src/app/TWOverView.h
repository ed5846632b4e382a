#pragma once
// The overview's ring chart: one slice per file category (documents ... others) sized
// by the category's share of the duplicate size, "All" in the middle. Hovering a slice
// shows its caption and makes it pulse; releasing the mouse on it picks the category.
// Main thread only.

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

class QVariantAnimation;
class TWOverView;

class TWOverViewDataSource {
public:
    virtual ~TWOverViewDataSource() = default;
    virtual uint64_t TWArcProportion(TWOverView& view, int category) { return 0; }
    virtual QColor TWArcColor(TWOverView& view, int category) { return {}; }
    // The slice's angle in degrees.
    virtual double sizeOfPartAtIndex(TWOverView& view, int category) { return 0; }
    virtual QString getBlockInformation(TWOverView& view, int category) { return {}; }
    virtual void overViewMouseUpEvent(TWOverView& view, int category) {}
};

class TWOverView : public QWidget {
    Q_OBJECT
public:
    explicit TWOverView(QWidget* parent = nullptr);
    void setDataSource(TWOverViewDataSource* source) { dataSource_ = source; }

    // Rereads the data source; from any thread (hops to the main thread).
    void reload();

    // Whether slices are drawn (the total is above 0).
    bool slicesVisible() const { return total_ > 0; }
    double outerRadius() const;
    double innerRadius() const;
    // The category of the slice under a point, or -1.
    int categoryAt(const QPointF& point) const;
    // The slice that pulses now, or -1.
    int hoveredCategory() const { return hovered_; }
    // Start and span of a slice in degrees, clockwise from twelve o'clock.
    double startAngleOf(int category) const;
    double spanOf(int category) const { return angles_[category]; }
    QSize sizeHint() const override { return QSize(260, 260); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovered(int category, const QPoint& globalPosition);

    TWOverViewDataSource* dataSource_ = nullptr;
    uint64_t total_ = 0;
    double angles_[8] = {};
    QColor colors_[8];
    int hovered_ = -1;
    double pulse_ = 0;  // 0..1, how far the hovered slice is lightened
    QPointer<QVariantAnimation> pulseAnimation_;
};
