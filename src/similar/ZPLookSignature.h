#pragma once
// How a picture looks, as a plain value that can be stored and compared in a later run:
// the picture squeezed into a small square (so that neither its size nor its aspect
// ratio matters), kept as a grey thumbnail, as bytes with their version. Everything the
// comparison needs is made from these bytes.
//
// What it is compared by (ZPLookProbe): the coarse layouts (ZPLookLayout) and libpuzzle's
// signature vectors (ZPLookVector) of regions of the grey thumbnail find the candidates,
// for the whole picture, its mirror image and crops of up to a tenth of each side; the
// correlation of the thumbnails at the place found confirms them.
//
// Values are immutable; safe from any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "ZPLookLayout.h"
#include "ZPLookVector.h"

struct gdImageStruct;

class ZPLookSignature {
public:
    // Raised whenever the way a look is made changes; fromBytes refuses looks of another
    // version, so that a stored look of an old version is made again.
    static constexpr uint8_t kVersion = 1;
    static constexpr int kGreySide = 48;
    // A picture is decoded with at least this many pixels on its shorter side (JPEG at
    // 1/2, 1/4 or 1/8 of its size where that keeps them) and then squeezed to kGreySide.
    static constexpr int kDecodeMinSide = 128;
    // The crops a look allows for: a tenth and a twentieth of each side. The member's
    // centre at the square of each is what a crop's own windows are compared with.
    static constexpr double kCropScales[2] = {0.95, 0.9};

    // The look of a true-colour square of kGreySide pixels.
    static std::optional<ZPLookSignature> ofSquare(const gdImageStruct& square);
    // A look stored before (bytes()); nullopt for another version or damaged bytes.
    static std::optional<ZPLookSignature> fromBytes(const uint8_t* data, size_t size);

    // Version, then the grey thumbnail row by row.
    const std::vector<uint8_t>& bytes() const { return bytes_; }

    ZPGreyThumbnail grey() const { return {kGreySide, bytes_.data() + 1}; }

    // The vectors a newcomer is compared with: the whole picture, and its centre at the
    // square of each crop scale (what remains of it in such a crop, at the crop's scale).
    const ZPLookVector& whole() const { return vectors_[0]; }
    const ZPLookVector& centre(size_t crop) const { return vectors_[1 + crop]; }
    // Their layouts, and the mirror-free forms of those (for bounds).
    const ZPLookLayout& wholeLayout() const { return layouts_[0]; }
    const ZPLookLayout& centreLayout(size_t crop) const { return layouts_[1 + crop]; }
    const ZPLookLayout::Coefficients& wholeMirrorFree() const { return mirrorFree_[0]; }
    const ZPLookLayout::Coefficients& centreMirrorFree(size_t crop) const { return mirrorFree_[1 + crop]; }
    static ZPLookFrame centreFrame(size_t crop);

private:
    static constexpr size_t kSize = 1 + size_t(kGreySide * kGreySide);
    explicit ZPLookSignature(std::vector<uint8_t> bytes);

    std::vector<uint8_t> bytes_;
    std::vector<ZPLookVector> vectors_;
    std::vector<ZPLookLayout> layouts_;
    std::vector<ZPLookLayout::Coefficients> mirrorFree_;
};
