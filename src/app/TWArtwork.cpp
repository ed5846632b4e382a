#include "TWArtwork.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <memory>

#include "Log.h"
#include "TWAppStyle.h"

// Q_INIT_RESOURCE must run outside any namespace.
static void initTwinsiftResources() {
    Q_INIT_RESOURCE(twinsift);
}

namespace {

// Pictures of things that look the same in both schemes: the app's icon and the
// pictures of other applications' windows.
bool keepsItsColours(const QString& name) {
    return name == QLatin1String("app_icon") || name.startsWith(QLatin1String("guide_"));
}

QSvgRenderer* rendererFor(const QString& name) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    static QSet<QString> reported;
    const bool dark = TWAppStyle::isDark() && !keepsItsColours(name);
    const QString key = dark ? name + QStringLiteral(":dark") : name;
    auto it = cache.find(key);
    if (it != cache.end()) return it->get();
    QFile file(TWArtwork::resourcePath(name));
    QByteArray svg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (dark) svg = TWAppStyle::adaptSvg(svg);
    auto renderer = std::make_shared<QSvgRenderer>(svg);
    if (!renderer->isValid()) {
        if (!reported.contains(name)) {
            reported.insert(name);
            tw::log("no picture named %s", name.toUtf8().constData());
        }
        return nullptr;
    }
    cache.insert(key, renderer);
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
    QString key = QStringLiteral("tw-art:%1:%2x%3:%4")
                      .arg(name)
                      .arg(pixels.width())
                      .arg(pixels.height())
                      .arg(TWAppStyle::isDark() ? 1 : 0);
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

namespace {

// Draws the picture afresh whenever it is asked for, so that buttons follow a change
// of the colour scheme without being told.
class ArtworkIconEngine : public QIconEngine {
public:
    explicit ArtworkIconEngine(QString name) : name_(std::move(name)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, ratio));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            TWArtwork::draw(painter, name_, QRect(QPoint(0, 0), size));
        }
        if (mode == QIcon::Normal) return pixmap;
        // Disabled and selected faces as the style makes them for any icon (greyed).
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
    }
    // Window icons are taken at the sizes an icon lists.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64), QSize(128, 128)};
    }
    QIconEngine* clone() const override { return new ArtworkIconEngine(name_); }
    QString key() const override { return QStringLiteral("twinsift-artwork"); }

private:
    QString name_;
};

}  // namespace

QIcon TWArtwork::icon(const QString& name) {
    ensureLoaded();
    return QIcon(new ArtworkIconEngine(name));
}
