#include "app/TWThumbnailCache.h"

#include <QFile>
#include <QFileIconProvider>
#include <QIcon>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <condition_variable>
#include <thread>
#include <vector>

#include "app/TWQtThumbnailProvider.h"
#include "platform/SafeFile.h"

namespace {

// Enough for a screenful of large items and several of small ones; older requests
// belong to items scrolled away and are dropped first.
constexpr size_t kMaxQueued = 384;
constexpr int kWorkers = 2;
constexpr qsizetype kCacheBytes = qsizetype(192) * 1024 * 1024;

QString keyFor(int bucket, const std::string& path) {
    return QString::number(bucket) + QLatin1Char(':') + QString::fromStdString(path);
}

}  // namespace

struct TWThumbnailCache::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Request> queue;  // newest at the back, taken first
    QSet<QString> queued;       // keys in `queue` or being made
    bool stop = false;
    std::vector<std::thread> workers;
};

TWThumbnailCache* TWThumbnailCache::shared() {
    return TWSharedInstance<TWThumbnailCache>::get();
}

void TWThumbnailCache::resetShared() {
    TWSharedInstance<TWThumbnailCache>::reset();
}

TWThumbnailCache::TWThumbnailCache() : shared_(std::make_shared<Shared>()) {
    thumbnails_.setMaxCost(kCacheBytes);
    for (int i = 0; i < kWorkers; ++i) shared_->workers.emplace_back([this] { workerLoop(); });
}

TWThumbnailCache::~TWThumbnailCache() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
        shared_->queue.clear();
    }
    shared_->wake.notify_all();
    for (auto& worker : shared_->workers) worker.join();
}

bool TWThumbnailCache::isImageFile(const TWFileUtility& file) {
    return file.category() == TWCategory_images && file.fileType() == TWFileTypeRegular;
}

QImage TWThumbnailCache::thumbnail(const std::shared_ptr<TWFileUtility>& file, int side) {
    if (!file || !isImageFile(*file)) return {};
    const int bucket = bucketFor(side);
    const QString key = keyFor(bucket, file->filePath());
    if (QImage* image = thumbnails_.object(key)) return *image;
    // A large picture serves a small request until the small one is made.
    if (bucket == kSmallSide)
        if (QImage* large = thumbnails_.object(keyFor(kLargeSide, file->filePath()))) return *large;
    if (!unreadable_.contains(key)) enqueue({file->filePath(), bucket, key});
    return {};
}

TWThumbnailCache::Picture TWThumbnailCache::pictureForFile(const std::shared_ptr<TWFileUtility>& file, int side,
                                                           int iconSide) {
    if (!file) return {};
    QImage image = thumbnail(file, side);
    if (!image.isNull()) return {image, true};
    return {iconForFile(*file, iconSide), false};
}

QImage TWThumbnailCache::pictureForFile(const std::shared_ptr<TWFileUtility>& file, int side) {
    return pictureForFile(file, side, side).image;
}

QImage TWThumbnailCache::iconForFile(const TWFileUtility& file, int side) {
    const QString path = QString::fromStdString(file.filePath());
    return iconForPath(file.fileType() == TWFileTypeRegular ? path : path + QLatin1Char('/'), side);
}

QImage TWThumbnailCache::iconForPath(const QString& path, int side) {
    // Decided by the name alone, so that no file is read on the GUI thread; a path
    // ending in "/" is a folder (packages).
    static QMimeDatabase database;
    const bool folder = path.endsWith(QLatin1Char('/'));
    const QString name = folder ? QStringLiteral("inode/directory")
                                : database.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    const QString key = name + QLatin1Char('@') + QString::number(side);
    auto it = icons_.find(key);
    if (it != icons_.end()) return *it;
    QIcon icon;
    if (folder) {
        icon = QIcon::fromTheme(QStringLiteral("folder"));
    } else {
        QMimeType type = database.mimeTypeForName(name);
        icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    }
    if (icon.isNull()) {
        static QFileIconProvider provider;
        icon = provider.icon(folder ? QFileIconProvider::Folder : QFileIconProvider::File);
    }
    QImage image = icon.pixmap(side, side).toImage();
    icons_.insert(key, image);
    return image;
}

QImage TWThumbnailCache::readScaledImage(const std::string& path, int side) {
    auto file = tw::SafeFile::open(path);
    if (!file) return {};
    QFile device;
    if (!device.open(file->fd(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return {};
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid()) {
        // The transformation may swap the sides; the bound applies to the result.
        if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
        if (size.width() > side || size.height() > side) {
            QSize scaled = size.scaled(side, side, Qt::KeepAspectRatio);
            if (reader.transformation() & QImageIOHandler::TransformationRotate90) scaled.transpose();
            reader.setScaledSize(scaled.expandedTo(QSize(1, 1)));
        }
    }
    QImage image = reader.read();
    if (image.isNull()) return {};
    if (image.width() > side || image.height() > side)
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32)
        image =
            image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    return image;
}

void TWThumbnailCache::enqueue(Request request) {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->queued.contains(request.key)) return;
        shared_->queued.insert(request.key);
        shared_->queue.push_back(std::move(request));
        while (shared_->queue.size() > kMaxQueued) {
            shared_->queued.remove(shared_->queue.front().key);
            shared_->queue.pop_front();
        }
    }
    shared_->wake.notify_one();
}

void TWThumbnailCache::workerLoop() {
    auto shared = shared_;
    for (;;) {
        Request request;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] { return shared->stop || !shared->queue.empty(); });
            if (shared->stop) return;
            request = std::move(shared->queue.back());
            shared->queue.pop_back();
        }
        QImage image = readScaledImage(request.path, request.side);
        QString path = QString::fromStdString(request.path);
        QMetaObject::invokeMethod(
            this, [this, key = request.key, path, image] { deliver(key, path, image); }, Qt::QueuedConnection);
    }
}

void TWThumbnailCache::deliver(const QString& key, const QString& path, const QImage& image) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->queued.remove(key);
    }
    if (image.isNull()) {
        unreadable_.insert(key);
    } else {
        thumbnails_.insert(key, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes()));
        ++made_;
    }
    emit thumbnailReady(path);
}

size_t TWThumbnailCache::pendingCount() const {
    std::lock_guard lock(shared_->mutex);
    return size_t(shared_->queued.size());
}
