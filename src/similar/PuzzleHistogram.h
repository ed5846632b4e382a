#pragma once
// The colour histogram of one image, and the measure by which two histograms are
// compared.
//
// The measure of two histograms A and B is, for each counted channel, the sum over
// its 256 bins of (a - b)^2 / (a + b), with a and b the bin counts divided by each
// histogram's total; bins where a + b < 1e-10 are left out. Two histograms are
// similar at level L (clamped into [0, 1]) when (1 - L) * 0.087 + 0.003 is at least
// the mean of the channel sums over A's channel count.
//
// All functions are pure and safe from any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct gdImageStruct;

// Counts of red, green and blue values, in 4 blocks of 256 counters: block 0 red,
// block 1 green, block 2 blue, block 3 never counted (always zero). A new record is all
// zeros; after counting, each of the first three blocks sums to `total`.
struct PuzzleHistogram {
    static constexpr int kBlocks = 4;
    static constexpr int kBinsPerBlock = 256;

    uint64_t total = 0;  // pixels counted, width x height
    int32_t channels = 0;
    int32_t bins[kBlocks * kBinsPerBlock] = {};

    int32_t bin(int block, int value) const { return bins[block * kBinsPerBlock + value]; }
};

// Coarser views of one histogram, normalised by its total: 16 and 4 bins a channel,
// each the sum of the normalised bins it covers. Merging bins can only lower the
// measure (it is an f-divergence), so the measure of two summaries is a lower bound of
// the measure of the histograms, and a summary far enough above the limit proves that
// the full comparison fails without making it.
struct PuzzleHistogramSummary {
    static constexpr int kChannels = 3;
    double coarse4[kChannels * 4] = {};
    double coarse16[kChannels * 16] = {};
    bool valid = false;  // false when the histogram cannot be summarised (no pixels, odd channel count)
};

// Adds every pixel of a decoded image to `histogram` (true-colour pixels by their red,
// green and blue bits, alpha ignored; palette pixels by their palette entry's colour),
// and sets total = width x height and channels = 3.
void puzzleCountImage(const gdImageStruct& image, PuzzleHistogram& histogram);
// The same record from counts of each channel's values made without an image (a picture
// counted row by row as it was decoded): total = width x height, channels = 3.
void puzzleAddCounts(int width, int height, const uint32_t (&red)[256], const uint32_t (&green)[256],
                     const uint32_t (&blue)[256], PuzzleHistogram& histogram);

// The histogram as bytes that can be kept between runs (a version, then the total, the
// channel count and every bin as variable-length numbers: about 2 KB), and back;
// nullopt for bytes of another version or damaged ones.
std::vector<uint8_t> puzzleHistogramBytes(const PuzzleHistogram& histogram);
std::optional<PuzzleHistogram> puzzleHistogramFromBytes(const uint8_t* data, size_t size);

PuzzleHistogramSummary puzzleSummarizeHistogram(const PuzzleHistogram& histogram);

// The limit of the measure at `level`, clamped into [0, 1] first.
double puzzleHistogramLimit(double level);

// The mean measure of A and B over A's channel count, by one full pass over the bins.
// Counts one full pass (puzzleHistogramFullPasses). A histogram without pixels or a
// channel count outside 1...4 gives NaN, which no limit accepts.
double puzzleHistogramDistance(const PuzzleHistogram& a, const PuzzleHistogram& b);

// Whether A (an image already in a group) and B (the candidate) are similar at
// `level`. With summaries of both, the coarse bounds are tried first; the answer is the
// same as the full comparison's in every case.
bool puzzleHistogramsSimilar(const PuzzleHistogram& a, const PuzzleHistogram& b, double level);
bool puzzleHistogramsSimilar(const PuzzleHistogram& a, const PuzzleHistogramSummary& summaryA, const PuzzleHistogram& b,
                             const PuzzleHistogramSummary& summaryB, double level);
// The cheapest bound alone, over 4 bins a channel (12 values each, as stored by groups
// side by side): true when it proves that A and B are not similar at `limit`.
bool puzzleCoarseBoundExceeds(const double* coarse4A, const double* coarse4B, double limit);

// Number of full passes made by puzzleHistogramDistance since the process started
// (benchmarks compare it with the plain loop's).
uint64_t puzzleHistogramFullPasses();
