#pragma once
// Fitting windows to the screen they open on: every window's size and minimum size is
// capped to the space the screen offers, less the frame the window manager adds, so
// that no button ends up off-screen (a 840 x 630 window on a 1600 x 1000 screen at
// scale 2 has 800 x 500 to live in). Main thread only.

#include <QRect>
#include <QSize>

class QWidget;

class TWScreenFit {
public:
    // The room for a window's client area on `window`'s screen (the primary screen
    // when `window` is null or has none): the available geometry less the frame.
    static QRect available(const QWidget* window);
    // `size` no larger than available(window).
    static QSize capped(const QWidget* window, const QSize& size);
    // capped(window, size), centred in available(window).
    static QRect centred(const QWidget* window, const QSize& size);
    // Caps a fixed-size window (dialogs, the preferences) to its screen.
    static void capFixedSize(QWidget* window, const QSize& size);
};
