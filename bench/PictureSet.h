#pragma once
// Photo-like pictures for the similar-picture benchmarks, drawn with libgd from a fixed
// seed: the same arguments give the same pixels on every machine (only the raw output
// of std::mt19937 is used, never a standard distribution, whose results may differ
// between library versions).
//
// Four kinds of original: "natural" (smooth fields of colour with grain, like a
// landscape), "text" (lines of words on a flat background), "composite" (shapes over a
// gradient) and "pattern" (stripes, checks, rings and waves). Each original has a
// look-alike: a different picture in the same colours (another field of the same
// palette, other words, the same shapes elsewhere, the same colours at another period),
// and a scene of the same layout: another picture composed alike (the same broad field
// with other detail, the same lines of words in another order, other shapes in the same
// places over the same gradient, another pattern of the same colours and period).
//
// Not thread-safe by itself: one generator per thread.

#include <gd.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace twbench {

struct GdFree {
    void operator()(gdImagePtr image) const {
        if (image) gdImageDestroy(image);
    }
};
using Picture = std::unique_ptr<gdImage, GdFree>;

enum class Kind { Natural, Text, Composite, Pattern };
inline constexpr Kind kKinds[] = {Kind::Natural, Kind::Text, Kind::Composite, Kind::Pattern};
const char* kindName(Kind kind);

// The ways a copy of a picture is changed, as the benchmark tables name them.
enum class Variant { Half, Quarter, Jpeg60, Jpeg40, Brighter, Darker, Contrast, Crop5, Crop10, Mirror, Rotate90, Png };
inline constexpr Variant kVariants[] = {Variant::Half,     Variant::Quarter, Variant::Jpeg60,   Variant::Jpeg40,
                                        Variant::Brighter, Variant::Darker,  Variant::Contrast, Variant::Crop5,
                                        Variant::Crop10,   Variant::Mirror,  Variant::Rotate90, Variant::Png};
const char* variantName(Variant variant);

// The original `index` of `kind` and its look-alike: both are made from the same
// settings, drawn from `seed` and the index, and differ only where the kind says.
Picture makeOriginal(Kind kind, uint32_t seed, int index, int width, int height);
Picture makeLookAlike(Kind kind, uint32_t seed, int index, int width, int height);
Picture makeSameLayout(Kind kind, uint32_t seed, int index, int width, int height);

// The variant of a decoded original. `seed` chooses where a crop falls.
Picture makeVariant(const gdImage& original, Variant variant, uint32_t seed);
// File ending and encoded bytes of a variant (PNG for Variant::Png, else JPEG at the
// variant's quality: 60, 40, or 90 for the others).
const char* variantEnding(Variant variant);
std::vector<unsigned char> encodeVariant(const gdImage& picture, Variant variant);

std::vector<unsigned char> encodeJpeg(const gdImage& picture, int quality);
std::vector<unsigned char> encodePng(const gdImage& picture);
Picture decode(const std::vector<unsigned char>& bytes);
void writeFile(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace twbench
