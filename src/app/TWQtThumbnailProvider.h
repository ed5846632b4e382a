#pragma once
// Thumbnails and icons for the core, made with Qt: images are read through the safe
// open by QImageReader with the EXIF orientation applied and decoded at thumbnail
// size; icons come from the desktop's icon theme. Safe from any thread: icon look-ups
// need the GUI thread and are handed to it (bounded wait, cached per icon name).

#include <QIcon>
#include <QImage>
#include <QString>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "files/TWImage.h"

class TWQtThumbnailProvider : public TWThumbnailProvider {
public:
    static constexpr int kThumbnailSide = 400;
    static constexpr int kIconSide = 128;

    TWQtThumbnailProvider();
    // Makes a provider and installs it for the core. Main thread, after QApplication.
    static std::shared_ptr<TWQtThumbnailProvider> installShared();
    // Picks a fallback icon theme when the desktop names none that has icons.
    static void chooseIconTheme();
    // The desktop's icon for a path, as the file manager would show it. Main thread.
    static QIcon desktopIconForPath(const QString& path);

    std::shared_ptr<TWImage> iconForFile(const std::string& path) override;
    std::optional<ImageSource> imageSource(const std::string& path) override;
    std::shared_ptr<TWImage> createThumbnailForImage(const TWImage& image, int orientation) override;

    // The 400 x 400 drawing of createThumbnailForImage, on QImages.
    static QImage drawThumbnail(const QImage& image, int orientation);

    // How long a worker waits for the GUI thread to render an icon.
    void setIconWaitLimit(std::chrono::milliseconds limit) { iconWaitLimit_ = limit; }

private:
    QImage renderIcon(const QString& path, const QString& cacheKey);

    std::mutex mutex_;
    std::unordered_map<std::string, QImage> iconCache_;  // by icon name (mime type or "folder")
    std::chrono::milliseconds iconWaitLimit_{2000};
};
