#include "ZPLookVector.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr int kGrid = ZPLookVector::kGrid;

// The order of the differences, as libpuzzle writes them: for each point (column outer,
// row inner), each neighbour that exists (column outer, row inner); points on the edge
// have fewer. `at` gives the position of a (point, neighbour) pair, -1 for none.
class Lattice {
public:
    Lattice() : index_(size_t(kGrid * kGrid * 9), -1) {
        int next = 0;
        for (int cx = 0; cx < kGrid; ++cx)
            for (int cy = 0; cy < kGrid; ++cy)
                for (int nx = std::max(cx - 1, 0); nx <= std::min(cx + 1, kGrid - 1); ++nx)
                    for (int ny = std::max(cy - 1, 0); ny <= std::min(cy + 1, kGrid - 1); ++ny)
                        if (nx != cx || ny != cy) index_[slot(cx, cy, nx - cx, ny - cy)] = next++;
        count_ = size_t(next);
        if (count_ != ZPLookVector::kCount) throw std::logic_error("the lattice's count is wrong");
        mirror_.resize(count_);
        for (int cx = 0; cx < kGrid; ++cx)
            for (int cy = 0; cy < kGrid; ++cy)
                for (int dx = -1; dx <= 1; ++dx)
                    for (int dy = -1; dy <= 1; ++dy)
                        if (const int from = at(cx, cy, dx, dy); from >= 0)
                            mirror_[size_t(from)] = at(kGrid - 1 - cx, cy, -dx, dy);
    }
    size_t count() const { return count_; }
    int at(int cx, int cy, int dx, int dy) const { return index_[slot(cx, cy, dx, dy)]; }
    // Where each value goes in the vector of the mirror image: columns reversed.
    const std::vector<int>& mirror() const { return mirror_; }

private:
    static size_t slot(int cx, int cy, int dx, int dy) {
        return size_t(((cx * kGrid + cy) * 3 + (dx + 1)) * 3 + (dy + 1));
    }
    std::vector<int> index_;
    std::vector<int> mirror_;
    size_t count_ = 0;
};

const Lattice& lattice() {
    static const Lattice instance;
    return instance;
}

// The whole number at or below `value` (clamped by the callers, so no overflow).
int roundedDown(double value) {
    return static_cast<int>(std::floor(value));
}

// Mean level of the pixels of columns [x0, x1) and rows [y0, y1), clamped to the picture
// and at least one pixel wide.
double meanLevel(const ZPGreyThumbnail& grey, int x0, int y0, int x1, int y1) {
    x0 = std::clamp(x0, 0, grey.side - 1), y0 = std::clamp(y0, 0, grey.side - 1);
    x1 = std::clamp(x1, x0 + 1, grey.side), y1 = std::clamp(y1, y0 + 1, grey.side);
    uint32_t sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) sum += grey.levels[y * grey.side + x];
    return double(sum) / double((x1 - x0) * (y1 - y0));
}

// libpuzzle's cut-off between the levels 1 and 2: the value at size / 2 of the set in
// order and the one after it (0 past the end, where libpuzzle's buffer holds zeros),
// their mean, or the first of them when the mean does not lie between the two.
double median(std::vector<double>& values) {
    if (values.empty()) return 0.0;
    const size_t n = values.size() / 2;
    const size_t o = n == 0 ? (values.size() > 1 ? 1 : 0) : n + 1;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(n), values.end());
    const double low = values[n];
    double high = 0.0;
    if (o < values.size()) high = o == n ? low : *std::min_element(values.begin() + std::ptrdiff_t(n) + 1, values.end());
    const double mean = (low + high) / 2.0;
    return mean < low || mean > high ? low : mean;
}

}  // namespace

ZPLookVector::ZPLookVector(std::vector<int8_t> values) : values_(std::move(values)) {
    for (int8_t v : values_) squaredLength_ += static_cast<uint32_t>(v * v);
}

ZPLookVector ZPLookVector::ofFrame(const ZPGreyThumbnail& grey, const ZPLookFrame& frame) {
    // libpuzzle's lattice: points at (i + 1) / (kGrid + 1) of the frame, each the centre of
    // a block half as wide as the spacing.
    const double size = frame.size * grey.side;
    const double x0 = frame.left * grey.side, y0 = frame.top * grey.side;
    const double spacing = size / (kGrid + 1), block = std::max(1.0, spacing / 2);
    double levels[kGrid][kGrid];
    for (int cx = 0; cx < kGrid; ++cx)
        for (int cy = 0; cy < kGrid; ++cy) {
            const double px = x0 + (cx + 1) * spacing, py = y0 + (cy + 1) * spacing;
            levels[cx][cy] = meanLevel(grey, roundedDown(px - block / 2 + 0.5), roundedDown(py - block / 2 + 0.5),
                                       roundedDown(px + block / 2 + 0.5), roundedDown(py + block / 2 + 0.5));
        }
    std::vector<double> differences(count());
    const Lattice& grid = lattice();
    for (int cx = 0; cx < kGrid; ++cx)
        for (int cy = 0; cy < kGrid; ++cy)
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    if (const int index = grid.at(cx, cy, dx, dy); index >= 0)
                        differences[size_t(index)] = levels[cx][cy] - levels[cx + dx][cy + dy];
    return quantise(differences);
}

ZPLookVector ZPLookVector::quantise(const std::vector<double>& differences) {
    std::vector<double> lights, darks;
    for (double d : differences) {
        if (d >= -kNoiseCutoff && d <= kNoiseCutoff) continue;
        (d < 0 ? darks : lights).push_back(d);
    }
    const double lighter = median(lights), darker = median(darks);
    std::vector<int8_t> values;
    values.reserve(differences.size());
    for (double d : differences) {
        if (d >= -kNoiseCutoff && d <= kNoiseCutoff)
            values.push_back(0);
        else if (d < 0)
            values.push_back(d < darker ? -2 : -1);
        else
            values.push_back(d > lighter ? 2 : 1);
    }
    return ZPLookVector(std::move(values));
}

ZPLookVector ZPLookVector::mirrored() const {
    const std::vector<int>& to = lattice().mirror();
    std::vector<int8_t> values(values_.size());
    for (size_t i = 0; i < values_.size(); ++i) values[size_t(to[i])] = values_[i];
    return ZPLookVector(std::move(values));
}

double ZPLookVector::distance(const ZPLookVector& a, const ZPLookVector& b) {
    // An empty vector (the default one) is at distance 0 from another empty one only.
    if (a.values_.size() != kCount || b.values_.size() != kCount)
        return a.values_.size() == b.values_.size() ? 0.0 : 1.0;
    const int8_t* x = a.values_.data();
    const int8_t* y = b.values_.data();
    uint32_t sum = 0;
    // In a form the compiler vectorises: a 0 against +-2 (a difference of 2 with a zero
    // product) counts 9 instead of 4.
    for (size_t i = 0; i < kCount; ++i) {
        const int d = x[i] - y[i];
        const int square = d * d;
        sum += static_cast<uint32_t>(square + (square == 4 && x[i] * y[i] == 0 ? 5 : 0));
    }
    // As libpuzzle computes it, so that the answer is the same to the last bit.
    const double lengths = std::sqrt(double(a.squaredLength_)) + std::sqrt(double(b.squaredLength_));
    return lengths == 0.0 ? 0.0 : std::sqrt(double(sum)) / lengths;
}
