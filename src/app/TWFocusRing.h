#pragma once
// The focus indicator of every window of the app: a ring in the accent colour around
// the widget that has the keyboard focus. The app's style sheets draw their own
// borders, which hide the style's focus frame, so one ring drawn over the window shows
// the focus the same way on every control. It stays hidden while focus came from a
// mouse click (the pointer shows where the user is) and shows for every other way in:
// Tab, a shortcut, a window that opens or comes back.
//
// Main thread only.

#include <QObject>
#include <QPointer>
#include <QWidget>

class TWFocusRing : public QObject {
    Q_OBJECT
public:
    // Starts following the application's focus; idempotent.
    static void install();
    // The ring's follower, or null before install() (tests).
    static TWFocusRing* shared();

    // The widget the ring surrounds, or null while none shows.
    QWidget* target() const;
    // The ring drawn over the target's window, or null while none shows.
    QWidget* ring() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TWFocusRing();
    void follow(QWidget* widget);
    void place();

    QPointer<QWidget> target_;
    QPointer<QWidget> ring_;  // a child of the target's window, made anew per window
};
