#pragma once
// A newcomer's look as the members of the groups are tested against it.
//
// The test of a member M and the newcomer N at similarity level L pairs regions of the
// two: M's whole picture with N's whole picture; M's whole picture with each window of
// N (M is a crop of N); and M's centre with each window of N of the same scale (N is a
// crop of M). Each also with N's mirror image. A pairing is a candidate when
//   1. the coarse layouts of the two regions lie within layoutLimit(L), and
//   2. libpuzzle's normalized distance of their vectors is within distanceLimit(L).
// M matches N when the nearest candidate is confirmed (confirmed()):
//   3. the correlation of the two grey thumbnails over the regions, moved a little where
//      a crop's region was only guessed, reaches likenessLimit(L), and
//   4. the correlation of their detail there (each region less its own blur: what is
//      left when the broad layout is taken away) reaches detailLimit(L); a region
//      with next to no detail (a smooth gradient) passes this step.
// The detail of copies stays near 1 (0.99 and more for resized, recompressed,
// brightened copies; 0.9 and more for crops, placed by a climb); that of different
// lines of words on the same background reaches 0.97.
// Correlation ignores brightness and contrast; other words on the same background lower
// the first. Another scene of the same layout (the same horizon, the same lines of text,
// other shapes in the same places) can keep the first high, since the broad layout is
// most of a thumbnail's variance; its detail does not correlate.
//
// Bounds over the layouts (mayMatch) rule most members out before any region is
// compared; they never rule out a member that the test would accept.
//
// Immutable once made (its vectors are made on first need, once); safe from any thread.
// The look it is made from must outlive it.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "similar/ZPLookSignature.h"

class ZPImageSignature;

class ZPLookProbe {
public:
    // The windows of a newcomer per crop scale: 3 x 3 places from corner to corner.
    static constexpr int kPlaces = 3;
    // The smallest region a crop's region may shrink to while it is placed.
    static constexpr double kSmallestRegion = 0.75;
    // A crop's regions that correlate less than this before they are placed are not
    // worth placing: a crop of the same picture starts well above it.
    static constexpr double kWorthPlacing = 0.55;
    static constexpr double kCoarseMargin = 0.1;

    // A probe that matches nothing (a signature without a look).
    ZPLookProbe() = default;
    explicit ZPLookProbe(const ZPImageSignature& image);
    explicit ZPLookProbe(const ZPLookSignature* look);
    ZPLookProbe(ZPLookProbe&&) = default;
    ZPLookProbe& operator=(ZPLookProbe&&) = default;

    bool empty() const { return !look_; }
    // Whether `member` shows the same picture at `level` (0 loosest .. 1 strictest).
    // Members that mayMatch rules out are answered without a full comparison.
    bool matches(const ZPLookSignature& member, double level) const;
    // The bounds alone: false only when no pairing of `member` can be a candidate.
    bool mayMatch(const ZPLookSignature& member, double level) const;
    // The full test, without the bounds.
    bool matchesFully(const ZPLookSignature& member, double level) const;
    // Full tests made since the process started (benchmarks compare it with the plain
    // walk's).
    static uint64_t fullComparisons();

    // The limits at a level, clamped into [0, 1].
    static double layoutLimit(double level);
    static double distanceLimit(double level);
    static double likenessLimit(double level);
    // The detail's limit; lower for a crop's regions (`guessed`), placed by a climb.
    static double detailLimit(double level, bool guessed);

    // A pairing of a region of the member with a region of the newcomer.
    struct Candidate {
        double layoutGap, distance;
        ZPLookFrame memberFrame, probeFrame;
        bool mirror;   // the newcomer's mirror image
        bool guessed;  // a crop's region, to be placed exactly by the confirmation
    };
    // Every pairing whose layout gap and distance are within the limits, nearest first.
    std::vector<Candidate> candidates(const ZPLookSignature& member, double layoutLimit, double distanceLimit) const;
    // A candidate's regions as placed by the confirmation: the newcomer's frame moved to
    // where it correlates best (the candidate's own frame unless it was guessed), the
    // likeness there and the likeness of the detail there; each -1..1.
    struct Placed {
        ZPLookFrame probeFrame;
        double likeness, detail;
    };
    Placed placed(const ZPLookSignature& member, const Candidate& candidate) const;
    // The likeness of the best-placed regions of a candidate; -1..1.
    double likeness(const ZPLookSignature& member, const Candidate& candidate) const;
    // Whether a candidate is confirmed at `level`: on every other row and column its
    // regions correlate at least kWorthPlacing (a crop's) or likenessLimit - kCoarseMargin
    // (others), and then, placed, its likeness reaches likenessLimit and its detail
    // detailLimit.
    bool confirmed(const ZPLookSignature& member, const Candidate& candidate, double level) const;

private:
    struct Region {
        ZPLookFrame frame;  // in the newcomer (in its mirror image for the mirrored one)
        size_t crop;        // index into ZPLookSignature::kCropScales; 0 for the whole
        bool whole;
        size_t across;            // the region at the mirrored frame (the whole's is itself)
        ZPLookLayout layouts[2];  // of the newcomer, of its mirror image
        ZPLookLayout::Coefficients mirrorFree;
    };
    // The regions' vectors, of the newcomer and of its mirror image, made once when a
    // member first passes the bounds.
    struct Vectors {
        std::once_flag once;
        std::vector<std::array<ZPLookVector, 2>> byRegion;
    };
    // The least and the most of each mirror-free coefficient over several regions.
    struct Box {
        ZPLookLayout::Coefficients low{}, high{};
        bool empty = true;
        void add(const ZPLookLayout::Coefficients& values);
        bool mayBeWithin(const ZPLookLayout::Coefficients& values, double limit) const;
    };
    const std::vector<std::array<ZPLookVector, 2>>& vectors() const;

    const ZPLookSignature* look_ = nullptr;
    std::vector<Region> regions_;   // the whole picture, then the windows
    std::vector<Box> windowBoxes_;  // by crop
    std::unique_ptr<Vectors> vectors_;
};
