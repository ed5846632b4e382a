#pragma once
// Pictures of files for the result views: thumbnails of images, made on worker threads
// and kept in a bounded cache, and the desktop's icon for every other kind of file,
// kept per icon name. Asking never blocks the GUI thread on a file: a picture that is
// not ready yet answers null and `thumbnailReady` follows once it is.
//
// Main thread only (the workers hand their results back through the event loop).

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <deque>
#include <memory>
#include <mutex>

#include "app/TWSharedInstance.h"
#include "files/TWFileUtility.h"

class TWThumbnailCache : public QObject {
    Q_OBJECT
public:
    // Thumbnails are made at one of two sizes (the largest side, in pixels): small for
    // lists and small icon items, large for big icon items and cards.
    static constexpr int kSmallSide = 200;
    static constexpr int kLargeSide = 400;

    static TWThumbnailCache* shared();
    // Drops every picture and waits for the workers (tests, and the end of the app).
    static void resetShared();

    // The thumbnail of an image file at the size bucket for `side`, or null when it is
    // not made yet (a request is then queued). Non-images answer null at once.
    QImage thumbnail(const std::shared_ptr<TWFileUtility>& file, int side);
    // What a view shows of a file: its thumbnail at `side` if made (asking queues it
    // otherwise), else the desktop icon of its type at `iconSide` (never null for a path
    // the icon theme knows a generic icon for). The one place that makes that choice.
    struct Picture {
        QImage image;
        bool isThumbnail = false;
    };
    Picture pictureForFile(const std::shared_ptr<TWFileUtility>& file, int side, int iconSide);
    // The same with the icon at the thumbnail's side; the image alone.
    QImage pictureForFile(const std::shared_ptr<TWFileUtility>& file, int side);
    // The desktop icon of the file's type at `side`: a folder's for a package or a folder.
    QImage iconForFile(const TWFileUtility& file, int side);
    // The desktop icon of the file's type, rendered at `side`; cached per icon name.
    QImage iconForPath(const QString& path, int side);
    static bool isImageFile(const TWFileUtility& file);

    // Reads an image through the safe open, decoded straight at a size whose largest
    // side is at most `side`, EXIF orientation applied. Any thread.
    static QImage readScaledImage(const std::string& path, int side);

    // Requests waiting for a worker, and pictures made so far (tests, benchmark).
    size_t pendingCount() const;
    size_t madeCount() const { return made_; }

signals:
    void thumbnailReady(const QString& path);

private:
    friend class TWSharedInstance<TWThumbnailCache>;
    TWThumbnailCache();
    ~TWThumbnailCache() override;
    struct Request {
        std::string path;
        int side;
        QString key;
    };
    void enqueue(Request request);
    void workerLoop();
    void deliver(const QString& key, const QString& path, const QImage& image);
    static int bucketFor(int side) { return side <= kSmallSide ? kSmallSide : kLargeSide; }

    QCache<QString, QImage> thumbnails_;  // key: bucket + path; cost in bytes
    QSet<QString> inFlight_;
    QSet<QString> unreadable_;
    QHash<QString, QImage> icons_;  // key: icon name + side
    size_t made_ = 0;

    struct Shared;
    std::shared_ptr<Shared> shared_;  // the queue the workers take from
};
