#include "TWArtwork.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QSvgRenderer>
#include <memory>

#include "Log.h"

// Q_INIT_RESOURCE must run outside any namespace.
static void initTwinsiftResources() {
    Q_INIT_RESOURCE(twinsift);
}

namespace {

QSvgRenderer* rendererFor(const QString& name) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    static QSet<QString> reported;
    auto it = cache.find(name);
    if (it != cache.end()) return it->get();
    auto renderer = std::make_shared<QSvgRenderer>(TWArtwork::resourcePath(name));
    if (!renderer->isValid()) {
        if (!reported.contains(name)) {
            reported.insert(name);
            tw::log("no picture named %s", name.toUtf8().constData());
        }
        return nullptr;
    }
    cache.insert(name, renderer);
    return renderer.get();
}

}  // namespace

void TWArtwork::ensureLoaded() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    initTwinsiftResources();
}

QString TWArtwork::resourcePath(const QString& name) {
    return QStringLiteral(":/images/%1.svg").arg(name);
}

bool TWArtwork::exists(const QString& name) {
    ensureLoaded();
    return QFile::exists(resourcePath(name));
}

void TWArtwork::draw(QPainter& painter, const QString& name, const QRectF& rect) {
    ensureLoaded();
    // Rendering a drawing costs far more than blitting it, and the ring is drawn
    // sixty times a second while a scan runs: draw from a pixmap made once per size.
    qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QSize pixels = (rect.size() * ratio).toSize();
    if (pixels.isEmpty()) return;
    QString key = QStringLiteral("tw-art:%1:%2x%3").arg(name).arg(pixels.width()).arg(pixels.height());
    QPixmap cached;
    if (!QPixmapCache::find(key, &cached)) {
        QSvgRenderer* renderer = rendererFor(name);
        if (!renderer) return;
        cached = QPixmap(pixels);
        cached.fill(Qt::transparent);
        QPainter offscreen(&cached);
        offscreen.setRenderHint(QPainter::Antialiasing);
        renderer->render(&offscreen, QRectF(QPointF(0, 0), QSizeF(pixels)));
        offscreen.end();
        QPixmapCache::insert(key, cached);
    }
    cached.setDevicePixelRatio(ratio);
    painter.drawPixmap(rect, cached, QRectF(QPointF(0, 0), QSizeF(cached.size())));
}

QPixmap TWArtwork::pixmap(const QString& name, const QSize& size, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, name, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QIcon TWArtwork::icon(const QString& name) {
    ensureLoaded();
    return QIcon(resourcePath(name));
}
