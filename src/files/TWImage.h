#pragma once
// An image that the core hands around without knowing how it is drawn: the desktop
// app's thumbnail provider makes them (over QImage); the core only asks their size.

#include <memory>
#include <optional>
#include <string>

class TWImage {
public:
    virtual ~TWImage() = default;
    virtual double width() const = 0;
    virtual double height() const = 0;
};

struct TWSize {
    double width = 0;
    double height = 0;
    bool isZero() const { return width == 0 && height == 0; }
    bool operator==(const TWSize&) const = default;
};

// Icons and thumbnails come from a provider that a front end installs (the desktop
// app, with Qt's image reader and the icon theme). Without one, fileIcon is absent.
// Implementations must be safe from any thread.
class TWThumbnailProvider {
public:
    virtual ~TWThumbnailProvider() = default;

    // The desktop's icon for any file or folder.
    virtual std::shared_ptr<TWImage> iconForFile(const std::string& path) = 0;

    struct ImageSource {
        std::shared_ptr<TWImage> thumbnail;  // orientation applied, largest side <= 400
        std::shared_ptr<TWImage> full;       // may be null when only a thumbnail was made
        int orientation = 1;                 // of `full`, 1..8
        TWSize pixelSize;                    // of the full image
    };
    // Opens an image (through the safe open); nullopt when it cannot be read.
    virtual std::optional<ImageSource> imageSource(const std::string& path) = 0;

    // A new 400 x 400 image: `image` centred, scaled to fit when larger, turned for
    // orientations 3/4, 5/8 and 6/7 (mirroring ignored).
    virtual std::shared_ptr<TWImage> createThumbnailForImage(const TWImage& image, int orientation) = 0;

    static void install(std::shared_ptr<TWThumbnailProvider> provider);
    static std::shared_ptr<TWThumbnailProvider> installed();
};
