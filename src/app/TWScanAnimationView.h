#pragma once
// The ring behind the drop area: it turns while a scan runs and, once a scan that
// found nothing has stopped, shows the warning ring. The controller decides; the view
// only draws. Main thread, except startAnimation/stopAnimation, which may be called
// from any thread and move themselves to the main thread.

#include <QRectF>
#include <QWidget>

class QVariantAnimation;

class TWScanAnimationView : public QWidget {
    Q_OBJECT
public:
    explicit TWScanAnimationView(QWidget* parent = nullptr);
    ~TWScanAnimationView() override;

    // The ring turns about its centre from 0 to -4 pi radians every 2 seconds,
    // linearly, without end.
    void startAnimation();
    // Removes all animation from the ring; it then shows the warning ring when
    // waringStatus() is set, else nothing.
    void stopAnimation();
    bool isAnimating() const;

    bool waringStatus() const { return waringStatus_; }
    void setWaringStatus(bool on);

    // The ring's square: the view's bounds narrowed on both sides to the height.
    QRectF ringRect() const;
    // What the ring shows now: "scanAnimationImage", "noduplicatesfound_ring_bg" or empty.
    QString ringPicture() const;
    double ringAngle() const { return angle_; }  // degrees, clockwise on screen

    QSize sizeHint() const override { return {300, 300}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void startOnMainThread();
    void stopOnMainThread();

    QVariantAnimation* animation_ = nullptr;
    bool waringStatus_ = false;
    bool ringOn_ = false;
    double angle_ = 0;
};
