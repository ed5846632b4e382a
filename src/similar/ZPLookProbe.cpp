#include "similar/ZPLookProbe.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "similar/ZPImageSignature.h"

namespace {

// Each limit is a straight line over the level, chosen on the similar-picture quality
// benchmark: at the default level 0.7 every ordinary variant passes and look-alikes of
// the same colours do not.
constexpr double kLayoutAtZero = 2.24, kLayoutSlope = 1.2;
constexpr double kDistanceAtZero = 0.56, kDistanceSlope = 0.3;
constexpr double kLikenessAtZero = 0.8, kLikenessSlope = 0.15;
// A crop's regions are placed by the climb to a fraction of a pixel, which costs their
// detail a little: they need kGuessedDetailMargin less.
constexpr double kDetailAtZero = 0.94, kDetailSlope = 0.057, kGuessedDetailMargin = 0.1;
// The blur that a region's detail is taken from: a box of this radius, twice.
constexpr int kDetailBlurRadius = 3;
// A region whose detail holds less than this share of its variance has none to speak
// of (a smooth gradient, a clear sky; what is left is noise): its detail is not
// compared.
constexpr double kLeastDetailShare = 0.002;

std::atomic<uint64_t> gFullComparisons{0};

// Mean-free samples of one region of a look's grey thumbnail, resampled (bilinear) to
// every `stride`-th row and column of the thumbnail's own size.
struct Samples {
    static constexpr int kSide = ZPLookSignature::kGreySide;
    float levels[kSide * kSide];
    int count = 0;  // a side
};

void sampleRegion(const ZPLookSignature& look, const ZPLookFrame& frame, bool mirror, int stride, Samples& out) {
    const ZPGreyThumbnail grey = look.grey();
    const int side = grey.side, count = side / stride;
    const double step = frame.size * side / count, left = frame.left * side, top = frame.top * side;
    double sum = 0;
    for (int j = 0; j < count; ++j) {
        const double v = std::clamp(top + (j + 0.5) * step - 0.5, 0.0, side - 1.0);
        const int y0 = std::min(int(v), side - 2);
        const double fy = v - y0;
        for (int i = 0; i < count; ++i) {
            double u = left + (i + 0.5) * step - 0.5;
            if (mirror) u = side - 1 - u;
            u = std::clamp(u, 0.0, side - 1.0);
            const int x0 = std::min(int(u), side - 2);
            const double fx = u - x0;
            const uint8_t* p = grey.levels + y0 * side + x0;
            const uint8_t* q = p + side;
            const double level = (p[0] * (1 - fx) + p[1] * fx) * (1 - fy) + (q[0] * (1 - fx) + q[1] * fx) * fy;
            out.levels[j * count + i] = static_cast<float>(level);
            sum += level;
        }
    }
    out.count = count;
    const auto mean = static_cast<float>(sum / (count * count));
    for (int i = 0; i < count * count; ++i) out.levels[i] -= mean;
}

// The correlation of two mean-free sets of samples: 1 for the same pattern whatever its
// brightness and contrast. Two flat sets correlate fully; one flat, not at all.
double correlation(const Samples& a, const Samples& b) {
    double ab = 0, aa = 0, bb = 0;
    for (int i = 0; i < a.count * a.count; ++i) {
        ab += double(a.levels[i]) * b.levels[i];
        aa += double(a.levels[i]) * a.levels[i];
        bb += double(b.levels[i]) * b.levels[i];
    }
    constexpr double kFlat = 1e-3;
    if (aa < kFlat || bb < kFlat) return aa < kFlat && bb < kFlat ? 1.0 : 0.0;
    return ab / std::sqrt(aa * bb);
}

// A box blur of `radius` along rows and columns, the edges held.
void boxBlur(const float* in, float* out, int side, int radius) {
    std::vector<float> across(size_t(side) * side);
    for (int pass = 0; pass < 2; ++pass) {
        const float* from = pass == 0 ? in : across.data();
        float* to = pass == 0 ? across.data() : out;
        for (int line = 0; line < side; ++line)
            for (int at = 0; at < side; ++at) {
                float sum = 0;
                for (int d = -radius; d <= radius; ++d) {
                    const int k = std::clamp(at + d, 0, side - 1);
                    sum += pass == 0 ? from[line * side + k] : from[k * side + line];
                }
                (pass == 0 ? to[line * side + at] : to[at * side + line]) = sum / float(2 * radius + 1);
            }
    }
}

double energy(const Samples& samples) {
    double sum = 0;
    for (int i = 0; i < samples.count * samples.count; ++i) sum += double(samples.levels[i]) * samples.levels[i];
    return sum;
}

// What is left of mean-free samples once their broad layout (their blur) is taken away,
// smoothed a little so that regions placed a fraction of a pixel apart still agree;
// mean-free again. Answers the share of the variance that is left.
double keepDetail(Samples& samples) {
    const double before = energy(samples);
    const int side = samples.count;
    std::vector<float> smooth(size_t(side) * side), blurred(size_t(side) * side), twice(size_t(side) * side);
    boxBlur(samples.levels, smooth.data(), side, 1);
    boxBlur(samples.levels, blurred.data(), side, kDetailBlurRadius);
    boxBlur(blurred.data(), twice.data(), side, kDetailBlurRadius);
    double sum = 0;
    for (int i = 0; i < side * side; ++i) sum += samples.levels[i] = smooth[size_t(i)] - twice[size_t(i)];
    const auto mean = static_cast<float>(sum / (side * side));
    for (int i = 0; i < side * side; ++i) samples.levels[i] -= mean;
    return before > 0 ? energy(samples) / before : 0.0;
}

// Whether two mirror-free layouts lie within `limit`: never false when the layouts they
// come from (either way round) do. The margin covers rounding, which differs.
bool mirrorFreeWithin(const ZPLookLayout::Coefficients& a, const ZPLookLayout::Coefficients& b, double limit) {
    float sum = 0;
    for (size_t k = 0; k < a.size(); ++k) sum += (a[k] - b[k]) * (a[k] - b[k]);
    return std::sqrt(double(sum)) <= limit + 1e-4;
}

}  // namespace

ZPLookProbe::ZPLookProbe(const ZPImageSignature& image) : ZPLookProbe(image.look()) {}

ZPLookProbe::ZPLookProbe(const ZPLookSignature* look) : look_(look) {
    if (!look_) return;
    std::vector<ZPLookFrame> frames{ZPLookFrame{}};
    std::vector<size_t> crops{0};
    for (size_t crop = 0; crop < std::size(ZPLookSignature::kCropScales); ++crop) {
        const double size = ZPLookSignature::kCropScales[crop];
        for (int px = 0; px < kPlaces; ++px)
            for (int py = 0; py < kPlaces; ++py) {
                frames.push_back({(1 - size) * px / (kPlaces - 1), (1 - size) * py / (kPlaces - 1), size});
                crops.push_back(crop);
            }
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        const ZPLookLayout layout = ZPLookLayout::ofFrame(look->grey(), frames[i]);
        regions_.push_back(Region{frames[i], crops[i], i == 0, i, {layout, layout}, layout.mirrorFree()});
    }
    // The windows lie symmetrically: the mirror image's region at a frame is the
    // newcomer's region at the mirrored frame, seen in a mirror.
    for (Region& region : regions_) {
        const ZPLookFrame across = region.frame.mirrored();
        for (size_t j = 0; j < regions_.size(); ++j)
            if (std::abs(regions_[j].frame.left - across.left) < 1e-9 && regions_[j].frame.top == across.top &&
                regions_[j].frame.size == across.size)
                region.across = j;
        region.layouts[1] = regions_[region.across].layouts[0].mirrored();
    }
    windowBoxes_.resize(std::size(ZPLookSignature::kCropScales));
    for (const Region& region : regions_)
        if (!region.whole) windowBoxes_[region.crop].add(region.mirrorFree);
    vectors_ = std::make_unique<Vectors>();
}

const std::vector<std::array<ZPLookVector, 2>>& ZPLookProbe::vectors() const {
    std::call_once(vectors_->once, [this] {
        std::vector<ZPLookVector> own;
        for (const Region& region : regions_) own.push_back(ZPLookVector::ofFrame(look_->grey(), region.frame));
        for (size_t i = 0; i < regions_.size(); ++i)
            vectors_->byRegion.push_back({own[i], own[regions_[i].across].mirrored()});
    });
    return vectors_->byRegion;
}

void ZPLookProbe::Box::add(const ZPLookLayout::Coefficients& values) {
    for (size_t k = 0; k < values.size(); ++k) {
        low[k] = empty ? values[k] : std::min(low[k], values[k]);
        high[k] = empty ? values[k] : std::max(high[k], values[k]);
    }
    empty = false;
}

bool ZPLookProbe::Box::mayBeWithin(const ZPLookLayout::Coefficients& values, double limit) const {
    // The gap to the box is at most the gap to any of its layouts.
    float sum = 0;
    for (size_t k = 0; k < values.size(); ++k) {
        const float over = std::max({low[k] - values[k], values[k] - high[k], 0.0f});
        sum += over * over;
    }
    return std::sqrt(double(sum)) <= limit + 1e-4;
}

double ZPLookProbe::layoutLimit(double level) {
    const double l = std::clamp(level, 0.0, 1.0);
    return kLayoutAtZero - kLayoutSlope * l;
}

double ZPLookProbe::distanceLimit(double level) {
    const double l = std::clamp(level, 0.0, 1.0);
    return kDistanceAtZero - kDistanceSlope * l;
}

double ZPLookProbe::likenessLimit(double level) {
    const double l = std::clamp(level, 0.0, 1.0);
    return kLikenessAtZero + kLikenessSlope * l;
}

double ZPLookProbe::detailLimit(double level, bool guessed) {
    const double l = std::clamp(level, 0.0, 1.0);
    return kDetailAtZero + kDetailSlope * l - (guessed ? kGuessedDetailMargin : 0.0);
}

double ZPLookProbe::likeness(const ZPLookSignature& member, const Candidate& candidate) const {
    return placed(member, candidate).likeness;
}

ZPLookProbe::Placed ZPLookProbe::placed(const ZPLookSignature& member, const Candidate& candidate) const {
    // Two regions of 9 KB each: on the heap, not on a worker's stack.
    auto fixed = std::make_unique<Samples>(), moving = std::make_unique<Samples>();
    auto measured = [&](const ZPLookFrame& frame) {
        sampleRegion(member, candidate.memberFrame, false, 1, *fixed);
        sampleRegion(*look_, frame, candidate.mirror, 1, *moving);
        Placed result{frame, correlation(*fixed, *moving), 1.0};
        const double fixedShare = keepDetail(*fixed), movingShare = keepDetail(*moving);
        if (std::min(fixedShare, movingShare) >= kLeastDetailShare) result.detail = correlation(*fixed, *moving);
        return result;
    };
    const Placed first = measured(candidate.probeFrame);
    if (!candidate.guessed || first.likeness < kWorthPlacing) return first;
    // A crop's region was guessed to within a quarter of the room around it: climb to the
    // best place and size in steps that halve, on every fourth, then every other row and
    // column, and measure the place found in full.
    int stride = 0;
    ZPLookFrame frame = candidate.probeFrame;
    double best = 0;
    auto score = [&](const ZPLookFrame& f) {
        sampleRegion(*look_, f, candidate.mirror, stride, *moving);
        return correlation(*fixed, *moving);
    };
    for (double step = (1 - frame.size) / 4 + 0.01; step > 0.003; step /= 2) {
        if (const int wanted = step >= 0.01 ? 4 : 2; wanted != stride) {
            stride = wanted;
            sampleRegion(member, candidate.memberFrame, false, stride, *fixed);
            best = score(frame);
        }
        for (bool moved = true; moved;) {
            moved = false;
            const ZPLookFrame tries[] = {{frame.left + step, frame.top, frame.size},
                                         {frame.left - step, frame.top, frame.size},
                                         {frame.left, frame.top + step, frame.size},
                                         {frame.left, frame.top - step, frame.size},
                                         {frame.left - step / 2, frame.top - step / 2, frame.size + step},
                                         {frame.left + step / 2, frame.top + step / 2, frame.size - step}};
            for (ZPLookFrame next : tries) {
                next.size = std::clamp(next.size, kSmallestRegion, 1.0);
                next.left = std::clamp(next.left, 0.0, 1 - next.size);
                next.top = std::clamp(next.top, 0.0, 1 - next.size);
                const double value = score(next);
                if (value > best + 1e-9) {
                    best = value;
                    frame = next;
                    moved = true;
                }
            }
        }
    }
    const Placed moved = measured(frame);
    return moved.likeness > first.likeness ? moved : first;
}

bool ZPLookProbe::confirmed(const ZPLookSignature& member, const Candidate& candidate, double level) const {
    const double needed = likenessLimit(level);
    // On every other row and column first: a pair far below (or, for a crop, far below
    // being worth placing) is given up there.
    auto fixed = std::make_unique<Samples>(), moving = std::make_unique<Samples>();
    sampleRegion(member, candidate.memberFrame, false, 2, *fixed);
    sampleRegion(*look_, candidate.probeFrame, candidate.mirror, 2, *moving);
    const double coarse = correlation(*fixed, *moving);
    if (coarse < (candidate.guessed ? kWorthPlacing : needed - kCoarseMargin)) return false;
    const Placed placing = placed(member, candidate);
    return placing.likeness >= needed && placing.detail >= detailLimit(level, candidate.guessed);
}

std::vector<ZPLookProbe::Candidate> ZPLookProbe::candidates(const ZPLookSignature& member, double layoutLimit,
                                                            double distanceLimit) const {
    std::vector<Candidate> found;
    if (!look_) return found;
    const auto& vectorsByRegion = vectors();
    auto consider = [&](const ZPLookLayout& memberLayout, const ZPLookVector& memberVector,
                        const ZPLookFrame& memberFrame, size_t index, int mirror) {
        const Region& region = regions_[index];
        const double layoutGap = ZPLookLayout::gap(memberLayout, region.layouts[mirror]);
        if (layoutGap > layoutLimit) return;
        const double distance = ZPLookVector::distance(memberVector, vectorsByRegion[index][size_t(mirror)]);
        if (distance > distanceLimit) return;
        found.push_back(Candidate{layoutGap, distance, memberFrame, region.frame, mirror == 1, !region.whole});
    };
    for (int mirror = 0; mirror < 2; ++mirror)
        for (size_t index = 0; index < regions_.size(); ++index) {
            const Region& region = regions_[index];
            // The member is a crop of the newcomer (or the whole of it).
            consider(member.wholeLayout(), member.whole(), ZPLookFrame{}, index, mirror);
            // The newcomer is a crop of the member.
            if (!region.whole)
                consider(member.centreLayout(region.crop), member.centre(region.crop),
                         ZPLookSignature::centreFrame(region.crop), index, mirror);
        }
    std::stable_sort(found.begin(), found.end(),
                     [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
    return found;
}

uint64_t ZPLookProbe::fullComparisons() {
    return gFullComparisons.load();
}

bool ZPLookProbe::mayMatch(const ZPLookSignature& member, double level) const {
    if (!look_) return false;
    const double limit = layoutLimit(level);
    // First a box around all windows of a scale, then the regions one by one.
    bool inBox = mirrorFreeWithin(member.wholeMirrorFree(), regions_[0].mirrorFree, limit);
    for (size_t crop = 0; crop < windowBoxes_.size() && !inBox; ++crop)
        inBox = windowBoxes_[crop].mayBeWithin(member.wholeMirrorFree(), limit) ||
                windowBoxes_[crop].mayBeWithin(member.centreMirrorFree(crop), limit);
    if (!inBox) return false;
    // Then the layouts of the pairings themselves, as candidates() tries them.
    for (const Region& region : regions_)
        for (const ZPLookLayout& layout : region.layouts) {
            if (ZPLookLayout::gap(member.wholeLayout(), layout) <= limit) return true;
            if (!region.whole && ZPLookLayout::gap(member.centreLayout(region.crop), layout) <= limit) return true;
        }
    return false;
}

bool ZPLookProbe::matches(const ZPLookSignature& member, double level) const {
    return mayMatch(member, level) && matchesFully(member, level);
}

bool ZPLookProbe::matchesFully(const ZPLookSignature& member, double level) const {
    gFullComparisons.fetch_add(1, std::memory_order_relaxed);
    const std::vector<Candidate> found = candidates(member, layoutLimit(level), distanceLimit(level));
    // The nearest candidate alone is confirmed: further ones would only add chances to
    // confirm a different picture.
    return !found.empty() && confirmed(member, found.front(), level);
}
