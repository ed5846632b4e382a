#pragma once
// libpuzzle's signature vector of one frame of a grey thumbnail: the mean grey level of a
// block around each point of a kGrid x kGrid lattice spread evenly over the frame, the
// difference of each point to each of its neighbours, quantised to -2..2 (differences
// within the noise cut-off become 0; the others +-1 or +-2 by the medians of the lighter
// and the darker ones), and compared by libpuzzle's normalized distance with its fix for
// texts. libpuzzle itself reads pictures only from files, so the lattice is sampled here
// and the quantisation and distance follow its own (a test holds them to it).
//
// Values are immutable; safe from any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

// A square region of a thumbnail, in shares of its side: the left and top edges and the
// size. {0, 0, 1} is the whole thumbnail.
struct ZPLookFrame {
    double left = 0;
    double top = 0;
    double size = 1;
    // The same region of the mirror image.
    ZPLookFrame mirrored() const { return {1 - left - size, top, size}; }
};

// A grey picture, side x side levels 0..255, row by row.
struct ZPGreyThumbnail {
    int side = 0;
    const uint8_t* levels = nullptr;
};

class ZPLookVector {
public:
    static constexpr int kGrid = 9;
    static constexpr double kNoiseCutoff = 2.0;

    ZPLookVector() = default;  // empty: at distance 0 from another empty vector only

    // The vector of `frame` of `grey`.
    static ZPLookVector ofFrame(const ZPGreyThumbnail& grey, const ZPLookFrame& frame);
    // libpuzzle's quantisation of neighbour differences (in its order, count()) .
    static ZPLookVector quantise(const std::vector<double>& differences);
    // Values a vector holds: every point's existing neighbours (8 inside, 5 on an edge, 3
    // in a corner).
    static constexpr size_t kCount = size_t((kGrid - 2) * (kGrid - 2) * 8 + 4 * (kGrid - 2) * 5 + 4 * 3);
    static size_t count() { return kCount; }

    // The vector of the mirror image of the frame (left and right swapped).
    ZPLookVector mirrored() const;

    // libpuzzle's normalized distance with its fix for texts (0 against +-2 counts as
    // 3): |a - b| / (|a| + |b|), 0 when both are empty.
    static double distance(const ZPLookVector& a, const ZPLookVector& b);

    const std::vector<int8_t>& values() const { return values_; }
    uint32_t squaredLength() const { return squaredLength_; }

private:
    explicit ZPLookVector(std::vector<int8_t> values);
    std::vector<int8_t> values_;
    uint32_t squaredLength_ = 0;

};
