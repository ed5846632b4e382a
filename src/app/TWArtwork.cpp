#include "TWArtwork.h"

#include <QFile>
#include <QHash>
#include <QPainter>
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
    if (QSvgRenderer* renderer = rendererFor(name)) renderer->render(&painter, rect);
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
