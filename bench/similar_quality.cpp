// How well the similar-picture search finds what a person would call the same picture.
//
//   similar_quality [--originals N] [--seed S] [--keep DIR]
//       makes a picture set (N originals of four kinds, 800x600 JPEG, each with twelve
//       variants, a look-alike: a different picture in the same colours, and a scene of
//       the same layout: a different picture composed alike), signs
//       every picture with each measure, groups them in a shuffled order as a scan
//       does, and prints for each measure and the levels 0.5, 0.7 and 0.9: pair
//       precision, pair recall (without and with the rotated copies), the share of
//       each variant kind found in its original's group, and the look-alikes and the
//       scenes of the same layout joined.
//   similar_quality camera DIR [--count 27] [--width 4000] [--height 3000] [--seed S]
//       writes camera-sized photo-like JPEGs (the speed benchmark's folder).
//   similar_quality huge DIR [--side 16000] [--count 1]
//       writes `count` PNGs of side x side pixels (a field and an ellipse, each placed
//       and coloured a little differently) and one JPEG of the first (the memory
//       benchmark's folder).
//
// A variant counts as found when it lands in the group of its own original. A pair is
// two pictures in one group; it is right when both come from the same original.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "PictureSet.h"
#include "similar/ZPImageSignature.h"
#include "similar/ZPLookProbe.h"
#include "similar/ZPSimilarContext.h"

namespace {

using namespace twbench;

struct Item {
    std::string path;
    int family;    // the original it comes from; look-alikes and scenes have a family of their own
    int variant;   // -1 the original, -2 a look-alike, -3 a scene of the same layout, else the Variant
    int original;  // index of the original it was made from (look-alikes too)
};

struct Options {
    int originals = 40;
    uint32_t seed = 19;
    std::string keep;
};

// The set's pictures and what each one is; with `write`, the pictures are drawn and
// written too (otherwise they are taken as a previous run left them in `folder`).
std::vector<Item> pictureSet(const std::string& folder, const Options& options, bool write) {
    std::vector<Item> items;
    const int perKind = (options.originals + 3) / 4;
    int original = 0;
    for (Kind kind : kKinds) {
        for (int i = 0; i < perKind && original < options.originals; ++i, ++original) {
            const std::string stem = folder + "/" + kindName(kind) + std::to_string(i);
            Picture decoded;
            if (write) {
                const auto encoded = encodeJpeg(*makeOriginal(kind, options.seed, i, 800, 600), 90);
                writeFile(stem + ".jpg", encoded);
                decoded = decode(encoded);
            }
            items.push_back({stem + ".jpg", original, -1, original});
            for (Variant variant : kVariants) {
                const std::string path = stem + "-" + std::to_string(int(variant)) + "." + variantEnding(variant);
                if (write) {
                    const Picture changed = makeVariant(*decoded, variant, options.seed + 31u * uint32_t(original));
                    writeFile(path, encodeVariant(*changed, variant));
                }
                items.push_back({path, original, int(variant), original});
            }
            if (write) writeFile(stem + "-alike.jpg", encodeJpeg(*makeLookAlike(kind, options.seed, i, 800, 600), 90));
            items.push_back({stem + "-alike.jpg", 100000 + original, -2, original});
            if (write) writeFile(stem + "-scene.jpg", encodeJpeg(*makeSameLayout(kind, options.seed, i, 800, 600), 90));
            items.push_back({stem + "-scene.jpg", 200000 + original, -3, original});
        }
    }
    return items;
}

struct Measure {
    const char* name;
    TWSimilarMethod method;
};

struct Scores {
    double precision = 0, recall = 0, recallWithRotation = 0;
    int pairsGrouped = 0;
    std::vector<int> foundByVariant = std::vector<int>(std::size(kVariants), 0);
    int lookAlikesJoined = 0;
    int scenesJoined = 0;
    int groups = 0;
};

// The group index of every item (-1 when it could not be signed).
Scores score(const std::vector<Item>& items, const std::vector<int>& groupOf, int originals) {
    Scores s;
    long grouped = 0, right = 0, truePairs = 0, truePairsFound = 0, truePairsNoRot = 0, foundNoRot = 0;
    for (size_t a = 0; a < items.size(); ++a)
        for (size_t b = a + 1; b < items.size(); ++b) {
            const bool together = groupOf[a] >= 0 && groupOf[a] == groupOf[b];
            const bool same = items[a].family == items[b].family;
            const bool rotation =
                items[a].variant == int(Variant::Rotate90) || items[b].variant == int(Variant::Rotate90);
            grouped += together;
            right += together && same;
            truePairs += same;
            truePairsFound += same && together;
            truePairsNoRot += same && !rotation;
            foundNoRot += same && !rotation && together;
        }
    std::map<int, int> originalGroup;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].variant == -1) originalGroup[items[i].family] = groupOf[i];
    for (size_t i = 0; i < items.size(); ++i) {
        const int own = originalGroup[items[i].original];
        const bool withOriginal = own >= 0 && groupOf[i] == own;
        if (items[i].variant >= 0) s.foundByVariant[size_t(items[i].variant)] += withOriginal;
        if (items[i].variant == -2) s.lookAlikesJoined += withOriginal;
        if (items[i].variant == -3) s.scenesJoined += withOriginal;
    }
    s.pairsGrouped = static_cast<int>(grouped);
    s.precision = grouped ? double(right) / double(grouped) : 1.0;
    s.recall = truePairsNoRot ? double(foundNoRot) / double(truePairsNoRot) : 0.0;
    s.recallWithRotation = truePairs ? double(truePairsFound) / double(truePairs) : 0.0;
    (void)originals;
    return s;
}

void printTable(const char* measureName, const std::vector<double>& levels, const std::vector<Scores>& scores,
                int originals) {
    printf("\n### %s\n\n| | ", measureName);
    for (double level : levels) printf("level %.1f | ", level);
    printf("\n|---|");
    for (size_t i = 0; i < levels.size(); ++i) printf("---:|");
    printf("\n| pair precision | ");
    for (const Scores& s : scores) printf("%.3f | ", s.precision);
    printf("\n| pair recall, rotation left out | ");
    for (const Scores& s : scores) printf("%.3f | ", s.recall);
    printf("\n| pair recall, rotation included | ");
    for (const Scores& s : scores) printf("%.3f | ", s.recallWithRotation);
    for (Variant variant : kVariants) {
        printf("\n| %s found | ", variantName(variant));
        for (const Scores& s : scores) printf("%d of %d | ", s.foundByVariant[size_t(variant)], originals);
    }
    printf("\n| look-alikes joined | ");
    for (const Scores& s : scores) printf("%d of %d | ", s.lookAlikesJoined, originals);
    printf("\n| scenes of the same layout joined | ");
    for (const Scores& s : scores) printf("%d of %d | ", s.scenesJoined, originals);
    printf("\n| groups of two or more | ");
    for (const Scores& s : scores) printf("%d | ", s.groups);
    printf("\n");
    fflush(stdout);
}

// Diagnostics of the look measure (TW_DISTANCES=1): for each variant kind, the distance
// of the best candidate to its original, and the likeness and detail of the nearest
// candidate within the limits of level 0.7; the same for pairs of different pictures
// made from one original's settings (look-alikes and scenes of the same layout with the
// original's copies).
struct PairLook {
    double distance = 9, likeness = -1, detail = -1;
    bool guessed = false;
};

// The nearest distance of all pairings, and the likeness and detail of the nearest
// candidate within the limits of level 0.7 (the one the test confirms or not).
PairLook pairLook(const ZPImageSignature& a, const ZPImageSignature& b, double limit) {
    PairLook result;
    if (!a.look() || !b.look()) return result;
    const ZPLookProbe probe(b.look());
    for (const auto& c : probe.candidates(*a.look(), 1e9, 9.0)) result.distance = std::min(result.distance, c.distance);
    const auto within = probe.candidates(*a.look(), ZPLookProbe::layoutLimit(0.7), limit);
    if (!within.empty()) {
        const ZPLookProbe::Placed placed = probe.placed(*a.look(), within.front());
        result.likeness = placed.likeness;
        result.detail = placed.detail;
        result.guessed = within.front().guessed;
    }
    return result;
}

void printQuantiles(const char* name, std::vector<double> v) {
    if (v.empty()) return;
    std::sort(v.begin(), v.end());
    auto q = [&](double f) { return v[std::min(v.size() - 1, size_t(f * double(v.size() - 1)))]; };
    printf("%-28s min %.3f  q10 %.3f  median %.3f  q90 %.3f  max %.3f\n", name, v.front(), q(0.1), q(0.5), q(0.9),
           v.back());
}

// Word keys of a vector: per lattice point, its values (up to 8) with the point's index.
using Keys = std::vector<uint64_t>;
Keys wordsOf(const ZPLookVector& v, int mode) {
    Keys keys;
    const auto& values = v.values();
    // libpuzzle's order: points column outer; every point has 3..8 values. Walk in groups.
    size_t i = 0;
    int point = 0;
    const int n = ZPLookVector::kGrid;
    for (int cx = 0; cx < n; ++cx)
        for (int cy = 0; cy < n; ++cy, ++point) {
            const int w = (cx > 0 && cx < n - 1 ? 3 : 2) * (cy > 0 && cy < n - 1 ? 3 : 2) - 1;
            uint64_t key = uint64_t(point) << 40;
            int nonzero = 0;
            for (int k = 0; k < w; ++k) {
                int value = values[i + size_t(k)];
                if (mode == 1) value = value > 0 ? 1 : value < 0 ? -1 : 0;
                nonzero += value != 0;
                key = key * 5 + uint64_t(value + 2);
            }
            i += size_t(w);
            if (nonzero >= (mode == 2 ? 3 : 2)) keys.push_back(key);
        }
    std::sort(keys.begin(), keys.end());
    return keys;
}

bool share(const Keys& a, const Keys& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i] == b[j]) return true;
        a[i] < b[j] ? ++i : ++j;
    }
    return false;
}

// The 74 vector pairs of a member and a newcomer, as ZPLookProbe pairs them.
std::vector<std::pair<ZPLookVector, ZPLookVector>> vectorPairs(const ZPLookSignature& member,
                                                               const ZPLookSignature& probe) {
    std::vector<std::pair<ZPLookVector, ZPLookVector>> pairs;
    for (int mirror = 0; mirror < 2; ++mirror) {
        auto vec = [&](const ZPLookFrame& f) {
            return mirror ? ZPLookVector::ofFrame(probe.grey(), f.mirrored()).mirrored()
                          : ZPLookVector::ofFrame(probe.grey(), f);
        };
        pairs.push_back({member.whole(), vec(ZPLookFrame{})});
        for (size_t crop = 0; crop < 2; ++crop) {
            const double size = ZPLookSignature::kCropScales[crop];
            for (int px = 0; px < 3; ++px)
                for (int py = 0; py < 3; ++py) {
                    const ZPLookVector w = vec(ZPLookFrame{(1 - size) * px / 2, (1 - size) * py / 2, size});
                    pairs.push_back({member.whole(), w});
                    pairs.push_back({member.centre(crop), w});
                }
        }
    }
    return pairs;
}

// Low-frequency layout of a frame: 9x9 block means, normalised, projected on the DCT
// basis functions with u + v <= `order` (DC left out).
std::vector<double> layoutOf(const ZPGreyThumbnail& grey, const ZPLookFrame& frame, bool mirror, int order) {
    const int n = 9;
    double z[9][9];
    const double size = frame.size * grey.side, x0 = frame.left * grey.side, y0 = frame.top * grey.side;
    double mean = 0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int xa = int(std::lround(x0 + i * size / n)),
                      xb = std::max(xa + 1, int(std::lround(x0 + (i + 1) * size / n)));
            const int ya = int(std::lround(y0 + j * size / n)),
                      yb = std::max(ya + 1, int(std::lround(y0 + (j + 1) * size / n)));
            double sum = 0;
            int count = 0;
            for (int y = ya; y < yb && y < grey.side; ++y)
                for (int x = xa; x < xb && x < grey.side; ++x) {
                    sum += grey.levels[y * grey.side + x];
                    ++count;
                }
            z[j][mirror ? n - 1 - i : i] = count ? sum / count : 0;
            mean += z[j][mirror ? n - 1 - i : i];
        }
    mean /= n * n;
    double var = 0;
    for (auto& row : z)
        for (double& v : row) {
            v -= mean;
            var += v * v;
        }
    const double scale = var > 1e-9 ? std::sqrt(n * n / var) : 0;
    for (auto& row : z)
        for (double& v : row) v *= scale;
    std::vector<double> out;
    for (int u = 0; u <= order; ++u)
        for (int v = 0; u + v <= order; ++v) {
            if (u == 0 && v == 0) continue;
            double c = 0;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i)
                    c += z[j][i] * std::cos(M_PI * (i + 0.5) * u / n) * std::cos(M_PI * (j + 0.5) * v / n);
            c *= (u ? std::sqrt(2.0 / n) : std::sqrt(1.0 / n)) * (v ? std::sqrt(2.0 / n) : std::sqrt(1.0 / n));
            out.push_back(c);
        }
    return out;
}

double gap(const std::vector<double>& a, const std::vector<double>& b) {
    double s = 0;
    for (size_t i = 0; i < a.size(); ++i) s += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(s);
}

void printLayoutStats(const std::vector<Item>& items, const std::vector<std::shared_ptr<ZPImageSignature>>& signatures,
                      int order) {
    // frame pairs as the probe pairs them: (member frame, probe frame, mirror)
    std::vector<std::tuple<ZPLookFrame, ZPLookFrame, bool>> framePairs;
    for (int mirror = 0; mirror < 2; ++mirror) {
        framePairs.push_back({ZPLookFrame{}, ZPLookFrame{}, mirror});
        for (size_t crop = 0; crop < 2; ++crop) {
            const double size = ZPLookSignature::kCropScales[crop];
            for (int px = 0; px < 3; ++px)
                for (int py = 0; py < 3; ++py) {
                    const ZPLookFrame w{(1 - size) * px / 2, (1 - size) * py / 2, size};
                    framePairs.push_back({ZPLookFrame{}, w, mirror});
                    framePairs.push_back({ZPLookSignature::centreFrame(crop), w, mirror});
                }
        }
    }
    std::map<int, std::vector<double>> trueGaps;
    std::vector<double> differentGaps;
    std::map<int, size_t> originalOf;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].variant == -1) originalOf[items[i].original] = i;
    auto minGap = [&](const ZPLookSignature& m, const ZPLookSignature& p) {
        double best = 1e9;
        for (const auto& [mf, pf, mirror] : framePairs)
            best = std::min(best, gap(layoutOf(m.grey(), mf, false, order), layoutOf(p.grey(), pf, mirror, order)));
        return best;
    };
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].variant < 0 || !signatures[i]) continue;
        trueGaps[items[i].variant].push_back(
            minGap(*signatures[originalOf[items[i].original]]->look(), *signatures[i]->look()));
    }
    for (size_t a = 0; a < items.size(); a += 3)
        for (size_t b = a + 1; b < items.size(); b += 5)
            if (items[a].family != items[b].family && signatures[a] && signatures[b])
                differentGaps.push_back(minGap(*signatures[a]->look(), *signatures[b]->look()));
    printf("layout order %d (%zu coefficients)\n", order,
           layoutOf(signatures[0]->look()->grey(), ZPLookFrame{}, false, order).size());
    for (auto& [variant, values] : trueGaps) printQuantiles(variantName(Variant(variant)), values);
    printQuantiles("different", differentGaps);
}

void printKeyStats(const std::vector<Item>& items, const std::vector<std::shared_ptr<ZPImageSignature>>& signatures) {
    const double limit = ZPLookProbe::distanceLimit(0.7);
    for (int mode = 0; mode < 3; ++mode) {
        long trueWithin = 0, trueShared = 0, diffPairs = 0, diffShared = 0, diffWithin = 0;
        for (size_t a = 0; a < items.size(); ++a)
            for (size_t b = 0; b < items.size(); ++b) {
                if (a == b || !signatures[a] || !signatures[b]) continue;
                const bool same = items[a].family == items[b].family && items[a].variant != int(Variant::Rotate90) &&
                                  items[b].variant != int(Variant::Rotate90);
                if (!same && (a * 7 + b) % 13 != 0) continue;  // a sample of the different pairs
                if (items[a].family != items[b].family)
                    ++diffPairs;
                else if (!same)
                    continue;
                bool shared = false, within = false, sharedWithin = false;
                for (const auto& [m, p] : vectorPairs(*signatures[a]->look(), *signatures[b]->look())) {
                    const bool s = share(wordsOf(m, mode), wordsOf(p, mode));
                    const bool w = ZPLookVector::distance(m, p) <= limit;
                    shared |= s, within |= w, sharedWithin |= s && w;
                }
                if (same)
                    trueWithin += within, trueShared += sharedWithin;
                else
                    diffShared += shared, diffWithin += within;
            }
        printf(
            "words mode %d: true pairs within limit %ld, of them sharing a word %ld; different pairs sampled %ld, "
            "sharing a word %ld, within limit %ld\n",
            mode, trueWithin, trueShared, diffPairs, diffShared, diffWithin);
    }
}

void printDistances(const std::vector<Item>& items, const std::vector<std::shared_ptr<ZPImageSignature>>& signatures) {
    const double limit = ZPLookProbe::distanceLimit(0.7);
    std::map<int, size_t> originalOf;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].variant == -1) originalOf[items[i].original] = i;
    std::map<int, std::vector<double>> distances, likenesses, details;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].variant == -1 || !signatures[i]) continue;
        const PairLook look = pairLook(*signatures[originalOf[items[i].original]], *signatures[i], limit);
        if (getenv("TW_PAIRS"))
            printf("true %s %d %.4f %.4f\n", std::filesystem::path(items[i].path).filename().c_str(), int(look.guessed),
                   look.likeness, look.detail);
        distances[items[i].variant].push_back(look.distance);
        likenesses[items[i].variant].push_back(look.likeness);
        details[items[i].variant].push_back(look.detail);
    }
    for (auto& [variant, values] : distances) {
        const std::string name = variant == -2   ? "look-alike"
                                 : variant == -3 ? "same layout"
                                                 : variantName(Variant(variant));
        printQuantiles((name + " distance").c_str(), values);
        printQuantiles((name + " likeness").c_str(), likenesses[variant]);
        printQuantiles((name + " detail").c_str(), details[variant]);
    }
    std::vector<double> different, differentLikeness, differentDetail;
    std::vector<std::pair<double, std::string>> named;
    for (size_t a = 0; a < items.size(); ++a)
        for (size_t b = a + 1; b < items.size(); ++b) {
            // Different pictures made from one original's settings: the hardest to tell apart.
            if (items[a].family == items[b].family || items[a].original != items[b].original || !signatures[a] ||
                !signatures[b])
                continue;
            const PairLook look = pairLook(*signatures[a], *signatures[b], limit);
            different.push_back(look.distance);
            if (getenv("TW_PAIRS"))
                printf("pair %s %s %d %.4f %.4f\n", std::filesystem::path(items[a].path).filename().c_str(),
                       std::filesystem::path(items[b].path).filename().c_str(), int(look.guessed), look.likeness,
                       look.detail);
            if (look.likeness > -1) {
                differentLikeness.push_back(look.likeness);
                differentDetail.push_back(look.detail);

                named.push_back({look.detail, std::filesystem::path(items[a].path).filename().string() + " " +
                                                  std::filesystem::path(items[b].path).filename().string()});
            }
        }
    printQuantiles("different distance", different);
    printQuantiles("different likeness (candidates)", differentLikeness);
    printQuantiles("different detail (candidates)", differentDetail);

    std::sort(named.rbegin(), named.rend());
    for (size_t i = 0; i < 6 && i < named.size(); ++i) printf("  %.3f %s\n", named[i].first, named[i].second.c_str());
}

int runQuality(const Options& options) {
    std::string folder = options.keep;
    char pattern[] = "/tmp/twinsift-quality-XXXXXX";
    if (folder.empty()) folder = mkdtemp(pattern);
    std::filesystem::create_directories(folder);
    std::vector<Item> items = std::filesystem::exists(folder + "/natural0.jpg") && getenv("TW_REUSE")
                                  ? pictureSet(folder, options, false)
                                  : pictureSet(folder, options, true);
    // A scan meets files in the order of the folder listing: here a fixed shuffle.
    std::mt19937 shuffle(options.seed);
    std::shuffle(items.begin(), items.end(), shuffle);
    printf("%zu pictures from %d originals (seed %u) in %s\n", items.size(), options.originals, options.seed,
           folder.c_str());

    std::vector<Measure> measures = {{"colours", TWSimilarMethodColours}, {"look", TWSimilarMethodLook}};
    if (getenv("TW_LOOK_ONLY")) measures.erase(measures.begin());
    const std::vector<double> levels = {0.5, static_cast<double>(0.7f), 0.9};
    for (const Measure& measure : measures) {
        ZPSimilarContext context;
        context.setSimilarMethod(measure.method);
        std::vector<std::shared_ptr<ZPImageSignature>> signatures;
        for (size_t i = 0; i < items.size(); ++i) {
            auto signature = ZPImageSignature::initWithPathFile(items[i].path, context);
            if (signature) signature->setUserObject(std::make_shared<size_t>(i));
            signatures.push_back(signature);
        }
        if (getenv("TW_DISTANCES") && measure.method == TWSimilarMethodLook) printDistances(items, signatures);
        if (getenv("TW_KEYS") && measure.method == TWSimilarMethodLook) printKeyStats(items, signatures);
        if (getenv("TW_LAYOUT") && measure.method == TWSimilarMethodLook)
            for (int order : {2, 3, 4}) printLayoutStats(items, signatures, order);
        std::vector<Scores> scores;
        for (double level : levels) {
            context.setSimilarLevel(level);
            ZPSimilarImagesList groups;
            const uint64_t before = ZPLookProbe::fullComparisons();
            for (const auto& signature : signatures) context.collectionSimilarImages(groups, signature);
            if (measure.method == TWSimilarMethodLook)
                printf("level %.1f: %llu full comparisons\n", level,
                       (unsigned long long)(ZPLookProbe::fullComparisons() - before));
            std::vector<int> groupOf(items.size(), -1);
            int bigGroups = 0;
            for (size_t g = 0; g < groups.size(); ++g) {
                bigGroups += groups[g]->numberOfImages() > 1;
                for (const auto& member : groups[g]->imageSignatures())
                    groupOf[*member->userObjectAs<size_t>()] = static_cast<int>(g);
            }
            for (const auto& signature : signatures)
                if (signature) signature->setFlagSelected(false);
            scores.push_back(score(items, groupOf, options.originals));
            scores.back().groups = bigGroups;
        }
        printTable(measure.name, levels, scores, options.originals);
    }
    if (options.keep.empty()) std::filesystem::remove_all(folder);
    return 0;
}

int writeCamera(const std::string& folder, int count, int width, int height, uint32_t seed) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        const Kind kind = i % 5 == 4 ? Kind::Composite : Kind::Natural;
        char name[32];
        snprintf(name, sizeof name, "/IMG_%04d.jpg", i + 1);
        writeFile(folder + name, encodeJpeg(*makeOriginal(kind, seed, i, width, height), 90));
    }
    return 0;
}

int writeHuge(const std::string& folder, int side, int count) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        Picture picture(gdImageCreateTrueColor(side, side));
        gdImageFilledRectangle(picture.get(), 0, 0, side - 1, side - 1, gdTrueColor(90, 140 - 10 * i, 200));
        gdImageFilledEllipse(picture.get(), side / 2 + i * side / 16, side / 2, side / 2, side / 3,
                             gdTrueColor(240, 200, 60));
        const std::string stem = folder + "/huge" + (i ? std::to_string(i) : "");
        writeFile(stem + ".png", encodePng(*picture));
        if (i == 0) writeFile(stem + ".jpg", encodeJpeg(*picture, 80));
    }
    return 0;
}

int usage() {
    fprintf(stderr,
            "usage: similar_quality [--originals N] [--seed S] [--keep DIR]\n"
            "       similar_quality camera DIR [--count 27] [--width 4000] [--height 3000] [--seed S]\n"
            "       similar_quality huge DIR [--side 16000] [--count 1]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto option = [&](const char* name, const std::string& fallback) {
        for (size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == name) return args[i + 1];
        return fallback;
    };
    const uint32_t seed = static_cast<uint32_t>(std::stoul(option("--seed", "19")));
    if (!args.empty() && args[0] == "camera") {
        if (args.size() < 2) return usage();
        return writeCamera(args[1], std::stoi(option("--count", "27")), std::stoi(option("--width", "4000")),
                           std::stoi(option("--height", "3000")), seed);
    }
    if (!args.empty() && args[0] == "huge") {
        if (args.size() < 2) return usage();
        return writeHuge(args[1], std::stoi(option("--side", "16000")), std::stoi(option("--count", "1")));
    }
    if (!args.empty() && args[0].rfind("--", 0) != 0) return usage();
    Options options;
    options.originals = std::stoi(option("--originals", "40"));
    options.seed = seed;
    options.keep = option("--keep", "");
    return runQuality(options);
}
