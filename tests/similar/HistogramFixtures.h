#pragma once
// Histograms built by hand for the similarity suites.

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "similar/PuzzleHistogram.h"
#include "similar/ZPImageSignature.h"

namespace twtest {

// The same counts in the red, green and blue blocks: {value, count} pairs.
inline PuzzleHistogram histogramOf(std::initializer_list<std::pair<int, int>> counts) {
    PuzzleHistogram h;
    h.channels = 3;
    for (auto [value, count] : counts) {
        for (int block = 0; block < 3; ++block) h.bins[block * 256 + value] += count;
        h.total += static_cast<uint64_t>(count);
    }
    return h;
}

inline std::shared_ptr<ZPImageSignature> signatureOf(const std::string& path, const PuzzleHistogram& h,
                                                     uint64_t size = 0) {
    return ZPImageSignature::withHistogram(path, h, {1, 1}, size);
}

// A photo-like histogram: a few broad bumps per channel, `total` pixels.
inline PuzzleHistogram randomHistogram(std::mt19937& random, uint64_t total) {
    PuzzleHistogram h;
    h.channels = 3;
    h.total = total;
    for (int block = 0; block < 3; ++block) {
        const int bumps = 1 + static_cast<int>(random() % 4);
        double weights[256] = {};
        for (int k = 0; k < bumps; ++k) {
            const double centre = random() % 256, width = 3 + random() % 60, height = 1 + random() % 10;
            for (int v = 0; v < 256; ++v) weights[v] += height / (1 + (v - centre) * (v - centre) / (width * width));
        }
        double sum = 0;
        for (double w : weights) sum += w;
        uint64_t placed = 0;
        for (int v = 0; v < 256; ++v) {
            const auto n = static_cast<uint64_t>(weights[v] / sum * static_cast<double>(total));
            h.bins[block * 256 + v] = static_cast<int32_t>(n);
            placed += n;
        }
        h.bins[block * 256 + static_cast<int>(random() % 256)] += static_cast<int32_t>(total - placed);
    }
    return h;
}

// `base` with about `share` of its pixels moved, in 200 lumps, to neighbouring bins.
inline PuzzleHistogram perturbed(std::mt19937& random, const PuzzleHistogram& base, double share) {
    PuzzleHistogram h = base;
    const auto lump = std::max<int64_t>(1, static_cast<int64_t>(share * static_cast<double>(base.total) / 200));
    for (int i = 0; i < 200; ++i) {
        const int block = static_cast<int>(random() % 3);
        int from = static_cast<int>(random() % 256);
        while (h.bins[block * 256 + from] == 0) from = (from + 1) % 256;
        const int to = std::clamp(from + static_cast<int>(random() % 9) - 4, 0, 255);
        const auto moved = static_cast<int32_t>(std::min<int64_t>(lump, h.bins[block * 256 + from]));
        h.bins[block * 256 + from] -= moved;
        h.bins[block * 256 + to] += moved;
    }
    return h;
}

}  // namespace twtest
