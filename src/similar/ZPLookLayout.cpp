#include "ZPLookLayout.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTiles = ZPLookLayout::kTiles;

struct Frequency {
    int u;  // across
    int v;  // down
};

// The frequencies kept, lowest first.
constexpr Frequency kFrequencies[ZPLookLayout::kCoefficients] = {{1, 0}, {0, 1}, {2, 0}, {1, 1}, {0, 2},
                                                                 {3, 0}, {2, 1}, {1, 2}, {0, 3}};

// The orthonormal cosine basis: a coefficient is the sum over the tiles of the level
// times basis[u][x] times basis[v][y].
struct Basis {
    double values[4][kTiles];
    Basis() {
        for (int u = 0; u < 4; ++u)
            for (int x = 0; x < kTiles; ++x)
                values[u][x] = std::sqrt((u == 0 ? 1.0 : 2.0) / kTiles) * std::cos(M_PI * (x + 0.5) * u / kTiles);
    }
};

const Basis& basis() {
    static const Basis instance;
    return instance;
}

}  // namespace

ZPLookLayout ZPLookLayout::ofFrame(const ZPGreyThumbnail& grey, const ZPLookFrame& frame) {
    const double size = frame.size * grey.side, left = frame.left * grey.side, top = frame.top * grey.side;
    double tiles[kTiles][kTiles];
    double mean = 0;
    for (int ty = 0; ty < kTiles; ++ty)
        for (int tx = 0; tx < kTiles; ++tx) {
            // Edges rounded to the nearest pixel (they are never negative).
            const int x0 = int(left + tx * size / kTiles + 0.5), y0 = int(top + ty * size / kTiles + 0.5);
            const int x1 = std::max(x0 + 1, int(left + (tx + 1) * size / kTiles + 0.5));
            const int y1 = std::max(y0 + 1, int(top + (ty + 1) * size / kTiles + 0.5));
            uint32_t sum = 0, count = 0;
            for (int y = std::max(y0, 0); y < std::min(y1, grey.side); ++y)
                for (int x = std::max(x0, 0); x < std::min(x1, grey.side); ++x, ++count)
                    sum += grey.levels[y * grey.side + x];
            tiles[ty][tx] = count ? double(sum) / count : 0.0;
            mean += tiles[ty][tx];
        }
    mean /= kTiles * kTiles;
    double variance = 0;
    for (auto& row : tiles)
        for (double& level : row) {
            level -= mean;
            variance += level * level;
        }
    // A flat frame has no layout: all coefficients 0.
    const double scale = variance > 1e-9 ? std::sqrt(kTiles * kTiles / variance) : 0.0;
    ZPLookLayout layout;
    const Basis& b = basis();
    for (int k = 0; k < kCoefficients; ++k) {
        double c = 0;
        for (int ty = 0; ty < kTiles; ++ty)
            for (int tx = 0; tx < kTiles; ++tx)
                c += tiles[ty][tx] * b.values[kFrequencies[k].u][tx] * b.values[kFrequencies[k].v][ty];
        layout.coefficients_[size_t(k)] = static_cast<float>(c * scale);
    }
    return layout;
}

bool ZPLookLayout::oddAcross(int coefficient) {
    return kFrequencies[coefficient].u % 2 == 1;
}

ZPLookLayout ZPLookLayout::mirrored() const {
    ZPLookLayout out = *this;
    for (int k = 0; k < kCoefficients; ++k)
        if (oddAcross(k)) out.coefficients_[size_t(k)] = -out.coefficients_[size_t(k)];
    return out;
}

ZPLookLayout::Coefficients ZPLookLayout::mirrorFree() const {
    Coefficients out = coefficients_;
    for (int k = 0; k < kCoefficients; ++k)
        if (oddAcross(k)) out[size_t(k)] = std::fabs(out[size_t(k)]);
    return out;
}

double ZPLookLayout::gap(const ZPLookLayout& a, const ZPLookLayout& b) {
    double sum = 0;
    for (size_t k = 0; k < a.coefficients_.size(); ++k) {
        const double d = double(a.coefficients_[k]) - double(b.coefficients_[k]);
        sum += d * d;
    }
    return std::sqrt(sum);
}
