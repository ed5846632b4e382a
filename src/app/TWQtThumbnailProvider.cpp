#include "app/TWQtThumbnailProvider.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <condition_variable>

#include "app/TWQtImage.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/SafeFile.h"

namespace {

// The icon name the cache is keyed by: what decides which icon a path gets.
QString iconKeyFor(const QString& path) {
    QFileInfo info(path);
    if (info.isDir()) return QStringLiteral("inode/directory");
    static QMimeDatabase database;  // QMimeDatabase is thread-safe
    return database.mimeTypeForFile(info, QMimeDatabase::MatchExtension).name();
}

// EXIF orientation of the image a reader is about to decode (1 when unknown).
int orientationOf(QImageReader& reader) {
    switch (reader.transformation()) {
        case QImageIOHandler::TransformationMirror:
            return 2;
        case QImageIOHandler::TransformationRotate180:
            return 3;
        case QImageIOHandler::TransformationFlip:
            return 4;
        case QImageIOHandler::TransformationFlipAndRotate90:
            return 5;
        case QImageIOHandler::TransformationRotate90:
            return 6;
        case QImageIOHandler::TransformationMirrorAndRotate90:
            return 7;
        case QImageIOHandler::TransformationRotate270:
            return 8;
        default:
            return 1;
    }
}

}  // namespace

TWQtThumbnailProvider::TWQtThumbnailProvider() = default;

std::shared_ptr<TWQtThumbnailProvider> TWQtThumbnailProvider::installShared() {
    chooseIconTheme();
    auto provider = std::make_shared<TWQtThumbnailProvider>();
    TWThumbnailProvider::install(provider);
    return provider;
}

void TWQtThumbnailProvider::chooseIconTheme() {
    QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QStringLiteral("hicolor")) return;
    for (const QString& candidate : {QStringLiteral("Adwaita"), QStringLiteral("breeze"), QStringLiteral("gnome")}) {
        for (const QString& base : QIcon::themeSearchPaths()) {
            if (QFileInfo::exists(base + QStringLiteral("/") + candidate + QStringLiteral("/index.theme"))) {
                QIcon::setThemeName(candidate);
                return;
            }
        }
    }
}

QIcon TWQtThumbnailProvider::desktopIconForPath(const QString& path) {
    QFileInfo info(path);
    if (info.isDir()) {
        QIcon folder = QIcon::fromTheme(QStringLiteral("folder"));
        if (!folder.isNull()) return folder;
    } else {
        static QMimeDatabase database;
        QMimeType type = database.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        QIcon icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
        if (!icon.isNull()) return icon;
    }
    static QFileIconProvider provider;
    return provider.icon(info);
}

QImage TWQtThumbnailProvider::renderIcon(const QString& path, const QString& cacheKey) {
    {
        std::lock_guard lock(mutex_);
        auto it = iconCache_.find(cacheKey.toStdString());
        if (it != iconCache_.end()) return it->second;
    }
    auto render = [path] {
        QIcon icon = desktopIconForPath(path);
        return icon.isNull() ? QImage() : icon.pixmap(kIconSide, kIconSide).toImage();
    };
    QImage image;
    auto& queue = tw::MainQueue::shared();
    if (queue.isMainThread()) {
        image = render();
    } else {
        // Icons are GUI objects: render on the main thread, but never wait for it
        // without bound (it may itself be waiting for this worker).
        struct Result {
            std::mutex mutex;
            std::condition_variable cv;
            bool done = false;
            QImage image;
        };
        auto result = std::make_shared<Result>();
        queue.post([result, render] {
            QImage rendered = render();
            std::lock_guard lock(result->mutex);
            result->image = rendered;
            result->done = true;
            result->cv.notify_all();
        });
        std::unique_lock lock(result->mutex);
        if (!result->cv.wait_for(lock, iconWaitLimit_, [&] { return result->done; })) {
            tw::log("no icon for %s: the main thread did not answer in time", path.toUtf8().constData());
            return {};
        }
        image = result->image;
    }
    if (!image.isNull()) {
        std::lock_guard lock(mutex_);
        iconCache_[cacheKey.toStdString()] = image;
    }
    return image;
}

std::shared_ptr<TWImage> TWQtThumbnailProvider::iconForFile(const std::string& path) {
    QString qpath = QString::fromStdString(path);
    QImage image = renderIcon(qpath, iconKeyFor(qpath));
    if (image.isNull()) return nullptr;
    return std::make_shared<TWQtImage>(image);
}

std::optional<TWThumbnailProvider::ImageSource> TWQtThumbnailProvider::imageSource(const std::string& path) {
    auto file = tw::SafeFile::open(path);
    if (!file) return std::nullopt;
    // The reader gets the opened descriptor, never the path.
    QFile device;
    if (!device.open(file->fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle) || !device.seek(0)) {
        return std::nullopt;
    }
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    QSize pixelSize = reader.size();
    if (!pixelSize.isValid()) return std::nullopt;
    int orientation = orientationOf(reader);
    // Rotated by a quarter turn, the stored width is the shown height.
    bool quarterTurn = orientation >= 5;
    QSize shown = quarterTurn ? pixelSize.transposed() : pixelSize;
    if (shown.width() > kThumbnailSide || shown.height() > kThumbnailSide) {
        QSize target = shown.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio);
        reader.setScaledSize(quarterTurn ? target.transposed() : target);
    }
    QImage thumbnail = reader.read();
    if (thumbnail.isNull()) {
        tw::log("cannot decode image %s: %s", path.c_str(), reader.errorString().toUtf8().constData());
        return std::nullopt;
    }
    ImageSource source;
    source.thumbnail = std::make_shared<TWQtImage>(thumbnail);
    source.orientation = orientation;
    source.pixelSize = TWSize{double(pixelSize.width()), double(pixelSize.height())};
    return source;
}

QImage TWQtThumbnailProvider::drawThumbnail(const QImage& image, int orientation) {
    const double side = kThumbnailSide;
    QImage surface(kThumbnailSide, kThumbnailSide, QImage::Format_ARGB32_Premultiplied);
    surface.fill(Qt::transparent);
    if (image.isNull()) return surface;

    QSizeF size(image.width(), image.height());
    if (size.width() > side || size.height() > side) size = size.scaled(side, side, Qt::KeepAspectRatio);
    QRectF target(QPointF((side - size.width()) / 2, (side - size.height()) / 2), size);

    QPainter painter(&surface);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Turns on screen (y down): 3/4 half a turn, 6/7 a quarter turn clockwise, 5/8 a
    // quarter turn anticlockwise; mirrored forms are drawn unmirrored.
    switch (orientation) {
        case 3:
        case 4:
            painter.translate(side, side);
            painter.rotate(180);
            break;
        case 6:
        case 7:
            painter.translate(side, 0);
            painter.rotate(90);
            break;
        case 5:
        case 8:
            painter.translate(0, side);
            painter.rotate(-90);
            break;
        default:
            break;
    }
    painter.drawImage(target, image);
    painter.end();
    return surface;
}

std::shared_ptr<TWImage> TWQtThumbnailProvider::createThumbnailForImage(const TWImage& image, int orientation) {
    QImage source;
    if (auto* qt = dynamic_cast<const TWQtImage*>(&image)) source = qt->image();
    return std::make_shared<TWQtImage>(drawThumbnail(source, orientation));
}
