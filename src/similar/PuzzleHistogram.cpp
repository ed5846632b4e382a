#include "similar/PuzzleHistogram.h"

#include <gd.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <limits>

#include "similar/ZPInternalCheck.h"

namespace {

std::atomic<uint64_t> gFullPasses{0};

// A bin pair whose normalised sum is below this contributes nothing.
constexpr double kNegligibleBin = 1e-10;

// How far a coarse mean must lie above the limit to prove that the full mean does too:
// the full pass leaves out near-empty bins (at most 256 a channel, each worth less than
// kNegligibleBin), and the two sums round differently (far below 1e-12).
constexpr double kBoundMargin = 1e-7;

// A true-colour pixel is an int 0xAARRGGBB; on a little-endian machine its bytes lie in
// memory as blue, green, red, alpha, and reading them as bytes spares the shifts and
// masks (the pass is bound by instructions, not by memory). Alternate pixels go to
// separate tables, so that runs of one value do not chain their increments.
void countTrueColor(const gdImageStruct& image, uint32_t (&red)[256], uint32_t (&green)[256], uint32_t (&blue)[256]) {
    struct Lane {
        uint32_t red[256], green[256], blue[256];
    };
    Lane lanes[2] = {};
    const int width = image.sx;
    for (int y = 0; y < image.sy; ++y) {
        if constexpr (std::endian::native == std::endian::little) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(image.tpixels[y]);
            int x = 0;
            for (; x + 2 <= width; x += 2, bytes += 8) {
                ++lanes[0].blue[bytes[0]];
                ++lanes[0].green[bytes[1]];
                ++lanes[0].red[bytes[2]];
                ++lanes[1].blue[bytes[4]];
                ++lanes[1].green[bytes[5]];
                ++lanes[1].red[bytes[6]];
            }
            if (x < width) {
                ++lanes[0].blue[bytes[0]];
                ++lanes[0].green[bytes[1]];
                ++lanes[0].red[bytes[2]];
            }
        } else {
            const int* row = image.tpixels[y];
            for (int x = 0; x < width; ++x) {
                const auto pixel = static_cast<uint32_t>(row[x]);
                ++lanes[0].red[(pixel >> 16) & 0xff];
                ++lanes[0].green[(pixel >> 8) & 0xff];
                ++lanes[0].blue[pixel & 0xff];
            }
        }
    }
    for (const Lane& lane : lanes)
        for (int v = 0; v < 256; ++v) {
            red[v] += lane.red[v];
            green[v] += lane.green[v];
            blue[v] += lane.blue[v];
        }
}

void countPalette(const gdImageStruct& image, uint32_t (&red)[256], uint32_t (&green)[256], uint32_t (&blue)[256]) {
    // Count the indexes first and turn them into colours once per palette entry.
    uint32_t indexes[256] = {};
    const int width = image.sx;
    for (int y = 0; y < image.sy; ++y) {
        const unsigned char* row = image.pixels[y];
        for (int x = 0; x < width; ++x) ++indexes[row[x]];
    }
    for (int i = 0; i < 256; ++i) {
        if (indexes[i] == 0) continue;
        red[image.red[i] & 0xff] += indexes[i];
        green[image.green[i] & 0xff] += indexes[i];
        blue[image.blue[i] & 0xff] += indexes[i];
    }
}

// The measure of two normalised coarse views of `binsPerChannel` bins for 3 channels,
// as a mean over the channels.
double coarseMean(const double* a, const double* b, int binsPerChannel) {
    double sum = 0;
    for (int i = 0; i < PuzzleHistogramSummary::kChannels * binsPerChannel; ++i) {
        const double s = a[i] + b[i];
        if (s < kNegligibleBin) continue;
        const double d = a[i] - b[i];
        sum += d * d / s;
    }
    return sum / PuzzleHistogramSummary::kChannels;
}

}  // namespace

void puzzleCountImage(const gdImageStruct& image, PuzzleHistogram& histogram) {
    if (image.sx <= 0 || image.sy <= 0) zpReportInternalError();
    uint32_t red[256] = {}, green[256] = {}, blue[256] = {};
    if (image.sx > 0 && image.sy > 0) {
        if (image.trueColor)
            countTrueColor(image, red, green, blue);
        else
            countPalette(image, red, green, blue);
    }
    puzzleAddCounts(image.sx, image.sy, red, green, blue, histogram);
}

void puzzleAddCounts(int width, int height, const uint32_t (&red)[256], const uint32_t (&green)[256],
                     const uint32_t (&blue)[256], PuzzleHistogram& histogram) {
    histogram.total = static_cast<uint64_t>(width > 0 ? width : 0) * static_cast<uint64_t>(height > 0 ? height : 0);
    histogram.channels = 3;
    if (histogram.total == 0) return;
    for (int v = 0; v < 256; ++v) {
        histogram.bins[0 * 256 + v] += static_cast<int32_t>(red[v]);
        histogram.bins[1 * 256 + v] += static_cast<int32_t>(green[v]);
        histogram.bins[2 * 256 + v] += static_cast<int32_t>(blue[v]);
    }
}

PuzzleHistogramSummary puzzleSummarizeHistogram(const PuzzleHistogram& histogram) {
    PuzzleHistogramSummary summary;
    if (histogram.total == 0 || histogram.channels != PuzzleHistogramSummary::kChannels) return summary;
    const auto total = static_cast<double>(histogram.total);
    for (int c = 0; c < PuzzleHistogramSummary::kChannels; ++c) {
        for (int j = 0; j < 16; ++j) {
            int64_t count = 0;
            for (int i = 0; i < 16; ++i) count += histogram.bin(c, j * 16 + i);
            summary.coarse16[c * 16 + j] = static_cast<double>(count) / total;
        }
        for (int j = 0; j < 4; ++j) {
            int64_t count = 0;
            for (int i = 0; i < 64; ++i) count += histogram.bin(c, j * 64 + i);
            summary.coarse4[c * 4 + j] = static_cast<double>(count) / total;
        }
    }
    summary.valid = true;
    return summary;
}

double puzzleHistogramLimit(double level) {
    if (level < 0)
        level = 0;
    else if (level > 1)
        level = 1;
    return (1.0 - level) * 0.087 + 0.003;
}

double puzzleHistogramDistance(const PuzzleHistogram& a, const PuzzleHistogram& b) {
    gFullPasses.fetch_add(1, std::memory_order_relaxed);
    const int channels = a.channels;
    if (a.total == 0 || b.total == 0 || channels < 1 || channels > PuzzleHistogram::kBlocks)
        return std::numeric_limits<double>::quiet_NaN();
    const auto totalA = static_cast<double>(a.total);
    const auto totalB = static_cast<double>(b.total);
    double sum = 0;
    for (int c = 0; c < channels; ++c) {
        double blockSum = 0;
        const int32_t* binsA = a.bins + c * PuzzleHistogram::kBinsPerBlock;
        const int32_t* binsB = b.bins + c * PuzzleHistogram::kBinsPerBlock;
        for (int i = 0; i < PuzzleHistogram::kBinsPerBlock; ++i) {
            if ((binsA[i] | binsB[i]) == 0) continue;  // both empty: a + b is 0
            const double va = static_cast<double>(binsA[i]) / totalA;
            const double vb = static_cast<double>(binsB[i]) / totalB;
            const double s = va + vb;
            if (std::fabs(s) < kNegligibleBin) continue;
            const double d = va - vb;
            blockSum += d * d / s;
        }
        sum += blockSum;
    }
    return sum / channels;
}

bool puzzleHistogramsSimilar(const PuzzleHistogram& a, const PuzzleHistogram& b, double level) {
    return puzzleHistogramLimit(level) >= puzzleHistogramDistance(a, b);
}

bool puzzleCoarseBoundExceeds(const double* coarse4A, const double* coarse4B, double limit) {
    return coarseMean(coarse4A, coarse4B, 4) > limit + kBoundMargin;
}

bool puzzleHistogramsSimilar(const PuzzleHistogram& a, const PuzzleHistogramSummary& summaryA, const PuzzleHistogram& b,
                             const PuzzleHistogramSummary& summaryB, double level) {
    const double limit = puzzleHistogramLimit(level);
    if (summaryA.valid && summaryB.valid && a.channels == PuzzleHistogramSummary::kChannels) {
        if (puzzleCoarseBoundExceeds(summaryA.coarse4, summaryB.coarse4, limit)) return false;
        if (coarseMean(summaryA.coarse16, summaryB.coarse16, 16) > limit + kBoundMargin) return false;
    }
    return limit >= puzzleHistogramDistance(a, b);
}

uint64_t puzzleHistogramFullPasses() {
    return gFullPasses.load(std::memory_order_relaxed);
}

namespace {

constexpr uint8_t kHistogramBytesVersion = 1;

void putNumber(std::vector<uint8_t>& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

bool takeNumber(const uint8_t*& at, const uint8_t* end, uint64_t& value) {
    value = 0;
    for (int shift = 0; at < end && shift < 64; shift += 7) {
        const uint8_t byte = *at++;
        value |= uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80)) return true;
    }
    return false;
}

}  // namespace

std::vector<uint8_t> puzzleHistogramBytes(const PuzzleHistogram& histogram) {
    std::vector<uint8_t> out{kHistogramBytesVersion};
    putNumber(out, histogram.total);
    putNumber(out, static_cast<uint32_t>(histogram.channels));
    for (int32_t bin : histogram.bins) putNumber(out, static_cast<uint32_t>(bin));
    return out;
}

std::optional<PuzzleHistogram> puzzleHistogramFromBytes(const uint8_t* data, size_t size) {
    if (!data || size == 0 || data[0] != kHistogramBytesVersion) return std::nullopt;
    const uint8_t* at = data + 1;
    const uint8_t* end = data + size;
    PuzzleHistogram histogram;
    uint64_t value = 0;
    if (!takeNumber(at, end, histogram.total)) return std::nullopt;
    if (!takeNumber(at, end, value) || value > 4) return std::nullopt;
    histogram.channels = static_cast<int32_t>(value);
    for (int32_t& bin : histogram.bins) {
        if (!takeNumber(at, end, value) || value > INT32_MAX) return std::nullopt;
        bin = static_cast<int32_t>(value);
    }
    if (at != end) return std::nullopt;
    return histogram;
}
