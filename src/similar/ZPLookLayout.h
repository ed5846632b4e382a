#pragma once
// The coarse layout of light and dark in one frame of a grey thumbnail: the frame in
// 9 x 9 tiles, their mean levels made to mean 0 and variance 1 (so that brightness and
// contrast do not count), and the nine lowest frequencies of their cosine transform
// (the constant one left out). Near copies of a picture have layouts a short way apart;
// the gap between two layouts is the Euclidean distance of the coefficients.
//
// The layout is what lets a scan skip most members without comparing them: it is small,
// and a bound over it (mirrorFree) holds for a picture and its mirror image at once.
//
// Values; safe from any thread.

#include <array>

#include "ZPLookVector.h"

class ZPLookLayout {
public:
    static constexpr int kTiles = 9;
    static constexpr int kCoefficients = 9;  // the frequencies (u, v) with 0 < u + v <= 3
    using Coefficients = std::array<float, kCoefficients>;

    ZPLookLayout() = default;
    static ZPLookLayout ofFrame(const ZPGreyThumbnail& grey, const ZPLookFrame& frame);

    const Coefficients& coefficients() const { return coefficients_; }
    // The layout of the frame's mirror image: the coefficients odd across change sign.
    ZPLookLayout mirrored() const;
    // The same with every such coefficient made positive: the gap between the mirror-free
    // forms of two layouts is at most the gap between them and between one and the
    // other's mirror image.
    Coefficients mirrorFree() const;

    static double gap(const ZPLookLayout& a, const ZPLookLayout& b);
    // Whether a coefficient changes sign in the mirror image.
    static bool oddAcross(int coefficient);

private:
    Coefficients coefficients_{};
};
