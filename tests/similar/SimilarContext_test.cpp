#include <gtest/gtest.h>

#include <cmath>

#include "HistogramFixtures.h"
#include "ImageFixtures.h"
#include "platform/Log.h"
#include "similar/ZPSimilarContext.h"

namespace {

using twtest::histogramOf;
using twtest::signatureOf;

// The level at which `measure` sits exactly on the limit.
double levelAtLimit(double measure) {
    return 1.0 - (measure - 0.003) / 0.087;
}

TEST(SimilarContextSettings, StartWithTheirDocumentedValuesInTheLibraryContext) {
    ZPSimilarContext context;
    EXPECT_EQ(context.similarLevel(), 0.699999988079071);
    EXPECT_TRUE(context.fixForTexts());
    EXPECT_TRUE(context.autoCrop());
    EXPECT_EQ(context.maxCroppingRatio(), 0.05000000074505806);
    EXPECT_EQ(context.contrastBarrierForCropping(), 5.0);
    EXPECT_EQ(context.maxWidth(), 10000);
    EXPECT_EQ(context.maxHeight(), 10000);
    EXPECT_EQ(context.P_Ratio(), 1.0);
    EXPECT_EQ(context.noiseCutOff(), 0.0);
    EXPECT_EQ(context.lambdas(), 11);
    EXPECT_FALSE(context.terminalFind());

    const PuzzleContext& library = *context.puzzleContext();
    EXPECT_EQ(library.puzzle_max_width, 10000u);
    EXPECT_EQ(library.puzzle_max_height, 10000u);
    EXPECT_EQ(library.puzzle_lambdas, 11u);
    EXPECT_EQ(library.puzzle_p_ratio, 1.0);
    EXPECT_EQ(library.puzzle_noise_cutoff, 0.0);
    EXPECT_EQ(library.puzzle_contrast_barrier_for_cropping, 5.0);
    EXPECT_EQ(library.puzzle_max_cropping_ratio, 0.05000000074505806);
    EXPECT_EQ(library.puzzle_enable_autocrop, 1);
    EXPECT_EQ(library.magic, 0xdeadbeefUL);
}

TEST(SimilarContextSettings, RefusedValuesKeepTheLibraryFieldButNotTheProperty) {
    ZPSimilarContext context;
    context.setLambdas(0);
    context.setP_Ratio(0.5);
    context.setMaxCroppingRatio(0);
    context.setContrastBarrierForCropping(-1);
    context.setMaxWidth(0);
    context.setMaxHeight((int64_t{1} << 32) + 7);  // narrowed to 32 bits: 7
    context.setNoiseCutOff(-3);
    context.setAutoCrop(false);
    context.setContextOptions();

    const PuzzleContext& library = *context.puzzleContext();
    EXPECT_EQ(library.puzzle_lambdas, 11u);
    EXPECT_EQ(library.puzzle_p_ratio, 1.0);
    EXPECT_EQ(library.puzzle_max_cropping_ratio, 0.05000000074505806);
    EXPECT_EQ(library.puzzle_contrast_barrier_for_cropping, 5.0);
    EXPECT_EQ(library.puzzle_max_width, 10000u);
    EXPECT_EQ(library.puzzle_max_height, 7u);
    EXPECT_EQ(library.puzzle_noise_cutoff, -3.0);
    EXPECT_EQ(library.puzzle_enable_autocrop, 0);
    EXPECT_EQ(context.lambdas(), 0);
    EXPECT_EQ(context.P_Ratio(), 0.5);
}

TEST(SimilarContextSettings, ThresholdClampsAndKeepsTheLevel) {
    ZPSimilarContext context;
    EXPECT_NEAR(context.threshold(), 0.3, 1e-6);  // level 0.7f
    context.setSimilarLevel(1.5);
    EXPECT_NEAR(context.threshold(), 0.0857, 1e-4);
    EXPECT_EQ(context.similarLevel(), 1.0);
    context.setSimilarLevel(-0.2);
    EXPECT_DOUBLE_EQ(context.threshold(), 0.8);
    EXPECT_EQ(context.similarLevel(), 0.0);
    context.setSimilarLevel(0.5);
    EXPECT_NEAR(context.threshold(), 0.4429, 1e-4);
    EXPECT_EQ(context.similarLevel(), 0.5);
}

TEST(SimilarContextSettings, OnlyTheListedExtensionsAreImageCandidates) {
    EXPECT_EQ(ZPSimilarContext::supportImageFormats(),
              (std::vector<std::string>{"jpg", "jpeg", "png", "gif", "tif", "tiff", "bmp"}));
    for (const char* path : {"/p/a.jpg", "/p/a.JPEG", "/p/b.Png", "c.gif", "/p.x/d.tif", "e.TIFF", "f.bmp"})
        EXPECT_TRUE(ZPSimilarContext::isSupportedImagePath(path)) << path;
    for (const char* path :
         {"/p/a.jpe", "/p/a.heic", "/p/a.webp", "/p/jpg", "/p/.jpg", "/p.jpg/readme", "/p/a.jpg.txt"})
        EXPECT_FALSE(ZPSimilarContext::isSupportedImagePath(path)) << path;
}

TEST(HistogramTest, LimitFollowsTheClampedLevel) {
    EXPECT_DOUBLE_EQ(puzzleHistogramLimit(1), 0.003);
    EXPECT_DOUBLE_EQ(puzzleHistogramLimit(0), 0.09);
    EXPECT_DOUBLE_EQ(puzzleHistogramLimit(0.5), 0.0465);
    EXPECT_NEAR(puzzleHistogramLimit(static_cast<double>(0.7f)), 0.0291, 1e-4);
    EXPECT_DOUBLE_EQ(puzzleHistogramLimit(1.5), 0.003);
    EXPECT_DOUBLE_EQ(puzzleHistogramLimit(-0.2), 0.09);

    // 100 % in bin 0 against 95 % / 5 %: 0.05^2 / 1.95 + 0.05 in each channel.
    const PuzzleHistogram a = histogramOf({{0, 100}}), b = histogramOf({{0, 95}, {1, 5}});
    const double measure = 0.0025 / 1.95 + 0.05;
    EXPECT_NEAR(puzzleHistogramDistance(a, b), measure, 1e-12);
    EXPECT_TRUE(ZPSimilarContext::histogramsSimilar(a, b, levelAtLimit(measure) - 1e-6));
    EXPECT_FALSE(ZPSimilarContext::histogramsSimilar(a, b, levelAtLimit(measure) + 1e-6));
    EXPECT_TRUE(ZPSimilarContext::histogramsSimilar(a, b, -0.2));
    EXPECT_FALSE(ZPSimilarContext::histogramsSimilar(a, b, 1.5));
}

TEST(HistogramTest, CountsAreNormalisedSoImageSizeDoesNotMatter) {
    const PuzzleHistogram small = histogramOf({{10, 3}, {200, 1}}), large = histogramOf({{10, 3000}, {200, 1000}});
    EXPECT_EQ(puzzleHistogramDistance(small, large), 0.0);
    EXPECT_TRUE(ZPSimilarContext::histogramsSimilar(small, large, 1.0));
}

TEST(HistogramTest, EmptyHistogramsAreSimilarToNothing) {
    PuzzleHistogram empty;
    empty.channels = 3;
    const PuzzleHistogram full = histogramOf({{0, 1}});
    EXPECT_FALSE(ZPSimilarContext::histogramsSimilar(empty, full, 0));
    EXPECT_FALSE(ZPSimilarContext::histogramsSimilar(full, empty, 0));
    EXPECT_FALSE(ZPSimilarContext::histogramsSimilar(empty, empty, 0));
}

// The coarse bounds may only skip full passes that would have failed: over many
// photo-like pairs, many near the limit, the answer equals the full test's.
TEST(HistogramTest, CoarseBoundsNeverChangeTheAnswer) {
    std::mt19937 random(42);
    const uint64_t passesBefore = puzzleHistogramFullPasses();
    int pairs = 0, similar = 0, nearLimit = 0;
    for (int i = 0; i < 400; ++i) {
        const PuzzleHistogram a = twtest::randomHistogram(random, 1000 + random() % 5000000);
        const PuzzleHistogram b = i % 3 == 0 ? twtest::randomHistogram(random, 1000 + random() % 5000000)
                                             : twtest::perturbed(random, a, (random() % 100) / 400.0);
        const PuzzleHistogramSummary sa = puzzleSummarizeHistogram(a), sb = puzzleSummarizeHistogram(b);
        const double measure = puzzleHistogramDistance(a, b);
        const double boundary = levelAtLimit(measure);
        for (double level : {0.0, 0.3, 0.7, 1.0, boundary, boundary + 1e-9, boundary - 1e-9, boundary + 1e-4}) {
            const bool full = puzzleHistogramLimit(level) >= measure;
            EXPECT_EQ(puzzleHistogramsSimilar(a, sa, b, sb, level), full) << "pair " << i << " level " << level;
            ++pairs;
            similar += full;
            nearLimit += std::fabs(level - boundary) < 1e-3 && level >= 0 && level <= 1;
        }
    }
    EXPECT_GT(similar, pairs / 10);
    EXPECT_GT(nearLimit, 200);
    EXPECT_LT(puzzleHistogramFullPasses() - passesBefore, static_cast<uint64_t>(400 + pairs));
}

TEST(HistogramTest, ClearlyDifferentHistogramsNeedNoFullPass) {
    const PuzzleHistogram dark = histogramOf({{5, 100}}), light = histogramOf({{250, 100}});
    const uint64_t before = puzzleHistogramFullPasses();
    EXPECT_FALSE(
        puzzleHistogramsSimilar(dark, puzzleSummarizeHistogram(dark), light, puzzleSummarizeHistogram(light), 0));
    EXPECT_EQ(puzzleHistogramFullPasses(), before);
}

class CollectionTest : public ::testing::Test {
protected:
    ZPSimilarContext context_;
    // At level 0 (limit 0.09): A-C 0.051 and B-C 0.018 pass, A-B 0.105 fails.
    std::shared_ptr<ZPImageSignature> a_ = signatureOf("/a.png", histogramOf({{0, 100}}));
    std::shared_ptr<ZPImageSignature> b_ = signatureOf("/b.png", histogramOf({{0, 90}, {1, 10}}));
    std::shared_ptr<ZPImageSignature> c_ = signatureOf("/c.png", histogramOf({{0, 95}, {1, 5}}));
    std::shared_ptr<ZPImageSignature> far_ = signatureOf("/far.png", histogramOf({{128, 1}}));
};

TEST_F(CollectionTest, FoundersStayUnflaggedAndJoinersAreFlagged) {
    context_.setSimilarLevel(0);
    ZPSimilarImagesList groups;
    context_.collectionSimilarImages(groups, a_);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->imageSignatures(), (ZPSimilarImages::Signatures{a_}));
    EXPECT_FALSE(a_->flagSelected());

    context_.collectionSimilarImages(groups, c_);
    context_.collectionSimilarImages(groups, far_);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0]->imageSignatures(), (ZPSimilarImages::Signatures{a_, c_}));
    EXPECT_TRUE(c_->flagSelected());
    EXPECT_EQ(groups[1]->imageSignatures(), (ZPSimilarImages::Signatures{far_}));
    EXPECT_FALSE(far_->flagSelected());
}

TEST_F(CollectionTest, AnImageLikeTwoGroupsJoinsTheEarlierOnly) {
    context_.setSimilarLevel(0);
    ZPSimilarImagesList groups;
    context_.collectionSimilarImages(groups, a_);
    context_.collectionSimilarImages(groups, b_);
    ASSERT_EQ(groups.size(), 2u);  // A and B are not alike
    context_.collectionSimilarImages(groups, c_);
    EXPECT_EQ(groups[0]->imageSignatures(), (ZPSimilarImages::Signatures{a_, c_}));
    EXPECT_EQ(groups[1]->imageSignatures(), (ZPSimilarImages::Signatures{b_}));
}

TEST_F(CollectionTest, LinkageGoesThroughAnyMemberNotOnlyTheFounder) {
    context_.setSimilarLevel(0);
    ZPSimilarImagesList groups;
    for (const auto& image : {a_, c_, b_}) context_.collectionSimilarImages(groups, image);
    ASSERT_EQ(groups.size(), 1u);  // B resembles C, not the founder A
    EXPECT_EQ(groups[0]->imageSignatures(), (ZPSimilarImages::Signatures{a_, c_, b_}));
    EXPECT_TRUE(context_.imageSignatureSimilarTo(*b_, *groups[0]));

    context_.setSimilarLevel(1);  // at the strictest level nothing here is alike
    ZPSimilarImagesList strict;
    for (const auto& image : {a_, c_, b_}) context_.collectionSimilarImages(strict, image);
    EXPECT_EQ(strict.size(), 3u);
}

class ImageFileTest : public ::testing::Test {
protected:
    twtest::TempDir dir_;
    std::shared_ptr<ZPSimilarContext> context_ = std::make_shared<ZPSimilarContext>();
    tw::LogCapture log_;
};

TEST_F(ImageFileTest, AnImageAndItsMirrorImageGroupTogetherAtEveryLevel) {
    ZPGdImage picture = twtest::noiseImage(40, 30, 7, 20, 60, 100, 120);
    const std::string original = twtest::writePng(dir_, "original.png", picture.get());
    const std::string mirror = twtest::writePng(dir_, "mirror.png", twtest::mirrored(picture.get()).get());
    const std::string other = twtest::writePng(dir_, "other.png", twtest::noiseImage(40, 30, 8, 130, 0, 0, 120).get());

    for (double level : {-0.2, 0.0, 0.25, 0.5, static_cast<double>(0.7f), 0.9, 1.0, 1.5}) {
        context_->setSimilarLevel(level);
        ZPSimilarImagesList groups;
        for (const auto& path : {original, other, mirror})
            context_->collectionSimilarImages(groups, ZPImageSignature::initWithPathFile(path, *context_));
        ASSERT_EQ(groups.size(), 2u) << "level " << level;
        EXPECT_EQ(groups[0]->pathfilesOfImageSign(), (std::vector<std::string>{original, mirror})) << level;

        log_.clear();
        EXPECT_TRUE(context_->imageSimilarTo(original, mirror)) << level;
        EXPECT_EQ(log_.lines(), (std::vector<std::string>{"Histogram equal."})) << level;
    }
}

TEST_F(ImageFileTest, DifferentColoursFallBackToTheVectorDistance) {
    const std::string left = twtest::writePng(dir_, "left.png", twtest::trueColorImage(64, 64, [](int x, int y) {
                                                                    return gdTrueColor(x * 4, 0, y * 4);
                                                                }).get());
    const std::string right =
        twtest::writePng(dir_, "right.png", twtest::trueColorImage(64, 64, [](int x, int y) {
                                                return gdTrueColor(0, ((x / 8 + y / 8) % 2) * 255, 0);
                                            }).get());
    context_->setSimilarLevel(1);
    EXPECT_FALSE(context_->imageSimilarTo(left, right));
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_TRUE(log_.lines()[0].starts_with("Distance: ")) << log_.lines()[0];
    EXPECT_TRUE(log_.lines()[0].ends_with(", threshold: 0.086")) << log_.lines()[0];

    // The same picture made brighter: no colour is where it was, so the histograms
    // differ at every level, but the picture's structure, which the vectors keep, is
    // unchanged.
    const std::string brighter = twtest::writePng(
        dir_, "brighter.png",
        twtest::trueColorImage(64, 64, [](int x, int y) { return gdTrueColor(x * 4 + 3, 3, y * 4 + 3); }).get());
    log_.clear();
    context_->setSimilarLevel(0);
    EXPECT_TRUE(context_->imageSimilarTo(left, brighter)) << log_.lines()[0];
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_TRUE(log_.lines()[0].starts_with("Distance: 0.")) << log_.lines()[0];
}

TEST_F(ImageFileTest, TwoFileComparisonRefusesWhatItCannotMeasure) {
    const std::string good = twtest::writePng(dir_, "good.png", twtest::noiseImage(16, 8, 9, 0, 0, 0, 256).get());
    const std::string broken = dir_.write("broken.jpg", "not a jpeg");

    EXPECT_FALSE(context_->imageSimilarTo("a.j", good));
    EXPECT_FALSE(context_->imageSimilarTo(good, ""));
    EXPECT_EQ(log_.count("Parameter error"), 2u);

    log_.clear();
    EXPECT_FALSE(context_->imageSimilarTo(broken, dir_ / "missing.png"));  // B is not tried once A failed
    EXPECT_EQ(log_.count("Unable to read [" + broken + "], please check image"), 1u);
    EXPECT_FALSE(log_.contains("missing.png"));

    log_.clear();
    context_->setMaxWidth(15);  // wider images are refused, at the next comparison
    EXPECT_FALSE(context_->imageSimilarTo(good, good));
    EXPECT_EQ(log_.count("Unable to read [" + good + "], please check image"), 1u);
    context_->setMaxWidth(16);
    EXPECT_TRUE(context_->imageSimilarTo(good, good));
}

TEST(FilterSubfolders, DropsRepeatsAndTextuallyContainedEntries) {
    using List = std::vector<std::string>;
    EXPECT_EQ(ZPSimilarContext::filterSubfolders({"/a", "/a/b", "/c"}, true), (List{"/a", "/c"}));
    EXPECT_EQ(ZPSimilarContext::filterSubfolders({"/a/b", "/c", "/a"}, true), (List{"/c", "/a"}));
    EXPECT_EQ(ZPSimilarContext::filterSubfolders({"/a", "/a"}, false), (List{"/a"}));
    EXPECT_EQ(ZPSimilarContext::filterSubfolders({"/a", "/a"}, true), (List{"/a"}));
    EXPECT_EQ(ZPSimilarContext::filterSubfolders({"/a/b", "/a/bc"}, true), (List{"/a/b"}));
    EXPECT_EQ(ZPSimilarContext::filterSubfolders({"/a", "/a/b"}, false), (List{"/a", "/a/b"}));
    EXPECT_EQ(ZPSimilarContext::filterSubfolders({"/a/b"}, true), (List{"/a/b"}));
    EXPECT_EQ(ZPSimilarContext::filterSubfolders({}, true), (List{}));
}

}  // namespace
