#include "ZPLookSignature.h"

#include <gd.h>

namespace {

// libpuzzle's grey: 77 parts red, 151 green and 28 blue in 256.
uint8_t greyOf(int pixel) {
    return static_cast<uint8_t>(
        (gdTrueColorGetRed(pixel) * 77 + gdTrueColorGetGreen(pixel) * 151 + gdTrueColorGetBlue(pixel) * 28 + 128) /
        256);
}

}  // namespace

ZPLookSignature::ZPLookSignature(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    std::vector<ZPLookFrame> frames{ZPLookFrame{}};
    for (size_t crop = 0; crop < std::size(kCropScales); ++crop) frames.push_back(centreFrame(crop));
    for (const ZPLookFrame& frame : frames) {
        vectors_.push_back(ZPLookVector::ofFrame(grey(), frame));
        layouts_.push_back(ZPLookLayout::ofFrame(grey(), frame));
        mirrorFree_.push_back(layouts_.back().mirrorFree());
    }
}

ZPLookFrame ZPLookSignature::centreFrame(size_t crop) {
    const double size = kCropScales[crop] * kCropScales[crop];
    return {(1 - size) / 2, (1 - size) / 2, size};
}

std::optional<ZPLookSignature> ZPLookSignature::ofSquare(const gdImageStruct& square) {
    if (!square.trueColor || square.sx != kGreySide || square.sy != kGreySide) return std::nullopt;
    std::vector<uint8_t> bytes(kSize);
    bytes[0] = kVersion;
    for (int y = 0; y < kGreySide; ++y)
        for (int x = 0; x < kGreySide; ++x) bytes[1 + size_t(y * kGreySide + x)] = greyOf(square.tpixels[y][x]);
    return ZPLookSignature(std::move(bytes));
}

std::optional<ZPLookSignature> ZPLookSignature::fromBytes(const uint8_t* data, size_t size) {
    if (!data || size != kSize || data[0] != kVersion) return std::nullopt;
    return ZPLookSignature(std::vector<uint8_t>(data, data + size));
}
