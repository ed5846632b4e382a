#include "TWScreenFit.h"

#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// Before a window is first mapped the window manager has not told its frame yet; a
// title bar and thin borders are what the common ones add.
constexpr QMargins kAssumedFrame(4, 32, 4, 4);

QMargins frameOf(const QWidget* window) {
    QMargins margins;
    if (window && window->windowHandle()) margins = window->windowHandle()->frameMargins();
    if (margins.isNull() && QGuiApplication::platformName() != QLatin1String("offscreen")) margins = kAssumedFrame;
    return margins;
}

}  // namespace

QRect TWScreenFit::available(const QWidget* window) {
    QScreen* screen = window ? window->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return screen->availableGeometry().marginsRemoved(frameOf(window));
}

QSize TWScreenFit::capped(const QWidget* window, const QSize& size) {
    const QRect room = available(window);
    return room.isEmpty() ? size : size.boundedTo(room.size());
}

QRect TWScreenFit::centred(const QWidget* window, const QSize& size) {
    const QRect room = available(window);
    if (room.isEmpty()) return QRect(QPoint(-size.width() / 2, -size.height() / 2), size);
    const QSize fitted = size.boundedTo(room.size());
    return QRect(
        QPoint(room.x() + (room.width() - fitted.width()) / 2, room.y() + (room.height() - fitted.height()) / 2),
        fitted);
}

void TWScreenFit::capFixedSize(QWidget* window, const QSize& size) {
    // A native window knows its frame on the platforms that tell it before mapping.
    window->winId();
    window->setFixedSize(capped(window, size));
}
