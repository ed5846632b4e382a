#pragma once
// The app's pictures: our own vector drawings compiled into the resources under the
// names the views ask for ("btn_scan", "loadImage", "scanAnimationImage", ...).
// Main thread only (renderers and pixmaps are GUI objects).

#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;

class TWArtwork {
public:
    // Registers the resources of the static library; idempotent.
    static void ensureLoaded();
    static QString resourcePath(const QString& name);  // ":/images/<name>.svg"
    static bool exists(const QString& name);
    // Draws the picture scaled into `rect` (vector, so sharp at any size). An unknown
    // name draws nothing and logs once.
    static void draw(QPainter& painter, const QString& name, const QRectF& rect);
    static QPixmap pixmap(const QString& name, const QSize& size, qreal devicePixelRatio = 1.0);
    static QIcon icon(const QString& name);
};
