// Single-linkage grouping of many signatures, in arrival order, as the scan does it.
//
// By colours:
//   BM_GroupPlain   every newcomer against every member of every group with the full
//                   768-bin test, until one passes
//   BM_GroupBounded ZPSimilarContext::collectionSimilarImages, whose groups try the
//                   coarse 4- and 16-bin bounds before a full pass
// The corpus (fixed seed) is photo-like histograms: scenes with a varying number of
// close variants, shuffled, plus loners.
// By look:
//   BM_LookPlain    every newcomer against every member of every group with the full
//                   look test (ZPLookProbe::matchesFully), until one passes
//   BM_LookPruned   ZPSimilarContext::collectionSimilarImages by look, whose groups rule
//                   members out by the layout bound first
// The corpus (fixed seed) is generated pictures of 160x120 (bench/PictureSet.h), a
// quarter of them with one to five variants (resized, recompressed, brighter or darker,
// cropped, mirrored), shuffled; their looks are made in memory.
// Each pair builds the same groups (checked: the bounded or pruned run fails if they
// differ). Counters: full_passes or full_comparisons, groups, same_as_plain. The pruned
// look run also counts the plain walk's full comparisons for its groups and the factor
// between them; where the plain walk was not run (BM_LookPruned alone, as at 20,000) it
// replays the plain decision of sampled newcomers in full and fails if one differs.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "../tests/similar/HistogramFixtures.h"
#include "PictureSet.h"
#include "similar/ZPLookProbe.h"
#include "similar/ZPSimilarContext.h"

namespace {

using Partition = std::vector<std::vector<size_t>>;

const std::vector<std::shared_ptr<ZPImageSignature>>& corpus(size_t count) {
    static std::map<size_t, std::vector<std::shared_ptr<ZPImageSignature>>> cache;
    auto& images = cache[count];
    if (!images.empty()) return images;
    std::mt19937 random(7);
    std::vector<PuzzleHistogram> histograms;
    while (histograms.size() < count) {
        const PuzzleHistogram base = twtest::randomHistogram(random, 200000 + random() % 12000000);
        const int variants = random() % 3 == 0 ? 1 : 1 + static_cast<int>(random() % 12);
        histograms.push_back(base);
        for (int v = 1; v < variants && histograms.size() < count; ++v)
            histograms.push_back(twtest::perturbed(random, base, (random() % 40) / 1000.0));
    }
    std::shuffle(histograms.begin(), histograms.end(), random);
    for (size_t i = 0; i < histograms.size(); ++i)
        images.push_back(ZPImageSignature::withHistogram("/corpus/" + std::to_string(i) + ".jpg", histograms[i]));
    return images;
}

const double kLevel = static_cast<double>(0.7f);

Partition plainGrouping(const std::vector<std::shared_ptr<ZPImageSignature>>& images) {
    Partition groups;
    for (size_t i = 0; i < images.size(); ++i) {
        bool placed = false;
        for (auto& group : groups) {
            for (size_t member : group)
                if (puzzleHistogramsSimilar(images[member]->histogram(), images[i]->histogram(), kLevel)) {
                    placed = true;
                    break;
                }
            if (placed) {
                group.push_back(i);
                break;
            }
        }
        if (!placed) groups.push_back({i});
    }
    return groups;
}

Partition boundedGrouping(const std::vector<std::shared_ptr<ZPImageSignature>>& images) {
    ZPSimilarContext context;
    ZPSimilarImagesList groups;
    for (const auto& image : images) context.collectionSimilarImages(groups, image);
    std::map<const ZPImageSignature*, size_t> index;
    for (size_t i = 0; i < images.size(); ++i) index[images[i].get()] = i;
    Partition result;
    for (const auto& group : groups) {
        result.emplace_back();
        for (const auto& member : group->imageSignatures()) result.back().push_back(index[member.get()]);
    }
    return result;
}

Partition& plainResult(size_t count) {
    static std::map<size_t, Partition> results;
    return results[count];
}

void BM_GroupPlain(benchmark::State& state) {
    const auto& images = corpus(static_cast<size_t>(state.range(0)));
    uint64_t passes = 0;
    for (auto _ : state) {
        const uint64_t before = puzzleHistogramFullPasses();
        plainResult(images.size()) = plainGrouping(images);
        passes = puzzleHistogramFullPasses() - before;
    }
    state.counters["full_passes"] = static_cast<double>(passes);
    state.counters["groups"] = static_cast<double>(plainResult(images.size()).size());
}

void BM_GroupBounded(benchmark::State& state) {
    const auto& images = corpus(static_cast<size_t>(state.range(0)));
    uint64_t passes = 0;
    Partition result;
    for (auto _ : state) {
        for (const auto& image : images) image->setFlagSelected(false);
        const uint64_t before = puzzleHistogramFullPasses();
        result = boundedGrouping(images);
        passes = puzzleHistogramFullPasses() - before;
    }
    const Partition& plain = plainResult(images.size());
    if (!plain.empty() && plain != result) state.SkipWithError("groups differ from the plain loop's");
    state.counters["full_passes"] = static_cast<double>(passes);
    state.counters["groups"] = static_cast<double>(result.size());
    state.counters["same_as_plain"] = plain.empty() ? -1 : plain == result ? 1 : 0;
}

// --- by look ---

std::shared_ptr<ZPImageSignature> lookOf(const gdImage& picture, size_t index) {
    twbench::Picture square(gdImageCreateTrueColor(ZPLookSignature::kGreySide, ZPLookSignature::kGreySide));
    gdImageCopyResampled(square.get(), const_cast<gdImagePtr>(&picture), 0, 0, 0, 0, square->sx, square->sy, picture.sx,
                         picture.sy);
    auto look = ZPLookSignature::ofSquare(*square);
    return ZPImageSignature::withLook("/corpus/" + std::to_string(index) + ".jpg", *look);
}

const std::vector<std::shared_ptr<ZPImageSignature>>& lookCorpus(size_t count) {
    static std::map<size_t, std::vector<std::shared_ptr<ZPImageSignature>>> cache;
    auto& images = cache[count];
    if (!images.empty()) return images;
    std::mt19937 random(11);
    const twbench::Variant kinds[] = {twbench::Variant::Half,   twbench::Variant::Jpeg40,  twbench::Variant::Brighter,
                                      twbench::Variant::Darker, twbench::Variant::Crop5,   twbench::Variant::Crop10,
                                      twbench::Variant::Mirror, twbench::Variant::Contrast};
    std::vector<twbench::Picture> pictures;
    for (int index = 0; pictures.size() < count; ++index) {
        const twbench::Kind kind = twbench::kKinds[random() % 4];
        twbench::Picture original = twbench::makeOriginal(kind, 7, index, 160, 120);
        const int variants = random() % 4 == 0 ? 1 + static_cast<int>(random() % 5) : 0;
        for (int v = 0; v < variants && pictures.size() + 1 < count; ++v) {
            const twbench::Variant variant = kinds[random() % std::size(kinds)];
            twbench::Picture changed = twbench::makeVariant(*original, variant, uint32_t(random()));
            if (variant == twbench::Variant::Jpeg40) changed = twbench::decode(twbench::encodeJpeg(*changed, 40));
            pictures.push_back(std::move(changed));
        }
        pictures.push_back(std::move(original));
    }
    std::shuffle(pictures.begin(), pictures.end(), random);
    for (size_t i = 0; i < pictures.size(); ++i) images.push_back(lookOf(*pictures[i], i));
    return images;
}

Partition plainLookGrouping(const std::vector<std::shared_ptr<ZPImageSignature>>& images) {
    Partition groups;
    for (size_t i = 0; i < images.size(); ++i) {
        const ZPLookProbe probe(*images[i]);
        bool placed = false;
        for (auto& group : groups) {
            for (size_t member : group)
                if (probe.matchesFully(*images[member]->look(), kLevel)) {
                    placed = true;
                    break;
                }
            if (placed) {
                group.push_back(i);
                break;
            }
        }
        if (!placed) groups.push_back({i});
    }
    return groups;
}

Partition& plainLookResult(size_t count) {
    static std::map<size_t, Partition> results;
    return results[count];
}

void BM_LookPlain(benchmark::State& state) {
    const auto& images = lookCorpus(static_cast<size_t>(state.range(0)));
    uint64_t comparisons = 0;
    for (auto _ : state) {
        const uint64_t before = ZPLookProbe::fullComparisons();
        plainLookResult(images.size()) = plainLookGrouping(images);
        comparisons = ZPLookProbe::fullComparisons() - before;
    }
    state.counters["full_comparisons"] = static_cast<double>(comparisons);
    state.counters["groups"] = static_cast<double>(plainLookResult(images.size()).size());
}

// Where the plain walk is too slow to run (20,000 pictures: some 10^8 full tests), the
// pruned walk's groups are checked newcomer by newcomer instead: `sampled` newcomers,
// spread over the arrival order, are walked as the plain walk would (every member that
// had arrived before, group by group in creation order, fully tested until one
// matches) and must land where the pruned walk put them. The plain walk's number of full
// comparisons for these groups is counted exactly: a newcomer is tested against every
// member that had arrived of every group created before its own, then against its own
// group's members in order up to the first that matches (a founder, against all).
constexpr size_t kSampledNewcomers = 40;

struct PlainReplay {
    uint64_t plainComparisons = 0;
    size_t replayed = 0, differing = 0;
};

PlainReplay replayPlainWalk(const std::vector<std::shared_ptr<ZPImageSignature>>& images, Partition groups,
                            size_t sampled) {
    for (auto& group : groups) std::sort(group.begin(), group.end());  // arrival order
    std::sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) { return a.front() < b.front(); });
    std::vector<size_t> groupOf(images.size()), place(images.size());
    for (size_t g = 0; g < groups.size(); ++g)
        for (size_t p = 0; p < groups[g].size(); ++p) groupOf[groups[g][p]] = g, place[groups[g][p]] = p;
    // Members of each group that had arrived before newcomer i: those below i.
    auto arrivedBefore = [&](size_t g, size_t i) {
        return size_t(std::lower_bound(groups[g].begin(), groups[g].end(), i) - groups[g].begin());
    };
    PlainReplay replay;
    const size_t step = sampled ? std::max<size_t>(1, images.size() / sampled) : 0;
    for (size_t i = 0; i < images.size(); ++i) {
        const size_t own = groupOf[i];
        const ZPLookProbe probe(*images[i]);
        for (size_t g = 0; g < own; ++g) replay.plainComparisons += arrivedBefore(g, i);
        if (place[i] > 0)
            for (size_t p = 0; p < place[i]; ++p) {
                ++replay.plainComparisons;
                if (probe.matchesFully(*images[groups[own][p]]->look(), kLevel)) break;
            }
        if (step == 0 || i % step != step - 1) continue;
        // The plain decision, tested in full.
        ++replay.replayed;
        const size_t none = groups.size();
        size_t landed = none;
        for (size_t g = 0; g < groups.size() && landed == none; ++g) {
            if (groups[g].front() >= i) continue;  // founded by i or after it arrived
            for (size_t p = 0; p < arrivedBefore(g, i); ++p)
                if (probe.matchesFully(*images[groups[g][p]]->look(), kLevel)) {
                    landed = g;
                    break;
                }
        }
        if (landed != (place[i] == 0 ? none : own)) ++replay.differing;
    }
    return replay;
}

void BM_LookPruned(benchmark::State& state) {
    const auto& images = lookCorpus(static_cast<size_t>(state.range(0)));
    uint64_t comparisons = 0;
    Partition result;
    for (auto _ : state) {
        for (const auto& image : images) image->setFlagSelected(false);
        ZPSimilarContext context;
        context.setSimilarMethod(TWSimilarMethodLook);
        context.setSimilarLevel(kLevel);
        const uint64_t before = ZPLookProbe::fullComparisons();
        ZPSimilarImagesList groups;
        for (const auto& image : images) context.collectionSimilarImages(groups, image);
        comparisons = ZPLookProbe::fullComparisons() - before;
        std::map<const ZPImageSignature*, size_t> index;
        for (size_t i = 0; i < images.size(); ++i) index[images[i].get()] = i;
        result.clear();
        for (const auto& group : groups) {
            result.emplace_back();
            for (const auto& member : group->imageSignatures()) result.back().push_back(index[member.get()]);
        }
    }
    const Partition& plain = plainLookResult(images.size());
    if (!plain.empty() && plain != result) state.SkipWithError("groups differ from the plain walk's");
    const PlainReplay replay = replayPlainWalk(images, result, plain.empty() ? kSampledNewcomers : 0);
    if (replay.differing > 0) state.SkipWithError("a newcomer's plain decision differs from the pruned walk's");
    state.counters["full_comparisons"] = static_cast<double>(comparisons);
    state.counters["plain_full_comparisons"] = static_cast<double>(replay.plainComparisons);
    state.counters["factor"] = comparisons ? double(replay.plainComparisons) / double(comparisons) : 0;
    state.counters["groups"] = static_cast<double>(result.size());
    state.counters["same_as_plain"] = plain.empty() ? -1 : plain == result ? 1 : 0;
    state.counters["newcomers_replayed"] = static_cast<double>(replay.replayed);
}

// The plain loop runs first so that the bounded run can compare its groups.
BENCHMARK(BM_GroupPlain)->Arg(200)->Arg(2000)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_GroupBounded)->Arg(200)->Arg(2000)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LookPlain)->Arg(200)->Arg(2000)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LookPruned)->Arg(200)->Arg(2000)->Arg(6000)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
