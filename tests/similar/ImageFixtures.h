#pragma once
// Images made with libgd for the similar-image suites.

#include <gd.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "similar/ZPImageDecoder.h"

namespace twtest {

inline ZPGdImage trueColorImage(int width, int height, const std::function<int(int x, int y)>& colour) {
    ZPGdImage image(gdImageCreateTrueColor(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) gdImageSetPixel(image.get(), x, y, colour(x, y));
    return image;
}

// Noise in a colour range: each channel uniform in [base, base + spread).
inline ZPGdImage noiseImage(int width, int height, unsigned seed, int baseR, int baseG, int baseB, int spread) {
    std::mt19937 random(seed);
    return trueColorImage(width, height, [&](int, int) {
        auto channel = [&](int base) { return std::min(255, base + static_cast<int>(random() % spread)); };
        return gdTrueColor(channel(baseR), channel(baseG), channel(baseB));
    });
}

inline ZPGdImage mirrored(const gdImagePtr source) {
    ZPGdImage image(gdImageCreateTrueColor(gdImageSX(source), gdImageSY(source)));
    gdImageCopy(image.get(), source, 0, 0, 0, 0, gdImageSX(source), gdImageSY(source));
    gdImageFlipHorizontal(image.get());
    return image;
}

inline std::vector<unsigned char> encodePng(const gdImagePtr image) {
    const std::string bytes = twtest::pngBytesOf(image);
    return {bytes.begin(), bytes.end()};
}

inline std::vector<unsigned char> encodeJpeg(const gdImagePtr image, int quality = 90) {
    int size = 0;
    void* data = gdImageJpegPtr(image, &size, quality);
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    gdFree(data);
    return bytes;
}

inline std::vector<unsigned char> encodeGif(const gdImagePtr image) {
    int size = 0;
    void* data = gdImageGifPtr(image, &size);
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    gdFree(data);
    return bytes;
}

inline std::string writePng(const TempDir& dir, const std::string& name, const gdImagePtr image) {
    return dir.writeBytes(name, encodePng(image));
}

}  // namespace twtest
