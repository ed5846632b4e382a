// The look measure: ordinary copies of a picture (resized, recompressed, brightened,
// mirrored) join their original's group; a different picture in the same colours, or
// another scene of the same layout, does not. The colour measure is left as it was: the
// look-alike is just what it joins.

#include <gd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "ImageFixtures.h"
#include "similar/ZPSimilarContext.h"

namespace {

// A photo-like scene: a sky-to-ground gradient with grain, and shapes at places drawn
// from `layout`; the colours come from `palette` alone, so two layouts of one palette
// are different pictures in the same colours.
ZPGdImage scene(unsigned palette, unsigned layout, int width = 480, int height = 360) {
    std::mt19937 colours(palette);
    auto channel = [&] { return int(colours() % 200) + 28; };
    const int top[3] = {channel(), channel(), channel()};
    const int bottom[3] = {channel(), channel(), channel()};
    std::vector<int> shapes;
    for (int i = 0; i < 6; ++i) shapes.push_back(gdTrueColor(channel(), channel(), channel()));
    std::mt19937 grain(palette * 31 + 7);
    ZPGdImage image = twtest::trueColorImage(width, height, [&](int, int y) {
        const double t = double(y) / height;
        auto mix = [&](int c) {
            return std::clamp(int(top[c] * (1 - t) + bottom[c] * t) + int(grain() % 13) - 6, 0, 255);
        };
        return gdTrueColor(mix(0), mix(1), mix(2));
    });
    std::mt19937 places(layout);
    for (size_t i = 0; i < shapes.size(); ++i) {
        const int cx = int(places() % unsigned(width)), cy = int(places() % unsigned(height));
        const int w = width / 8 + int(places() % unsigned(width / 4)),
                  h = height / 8 + int(places() % unsigned(height / 4));
        if (i % 2 == 0)
            gdImageFilledEllipse(image.get(), cx, cy, w, h, shapes[i]);
        else
            gdImageFilledRectangle(image.get(), cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2, shapes[i]);
    }
    return image;
}

// A landscape of fixed composition: a sky gradient, a sun, three layers of hills on the
// same horizons in the same colours; only the sun's place and the hills' outlines come
// from `seed`. Two seeds are two different photos of one layout.
ZPGdImage landscape(unsigned seed, int width = 640, int height = 480) {
    ZPGdImage image = twtest::trueColorImage(width, height, [&](int, int y) {
        const double t = double(y) / height;
        return gdTrueColor(int(90 + 120 * t), int(140 + 90 * t), int(230 - 20 * t));
    });
    std::mt19937 draw(seed);
    auto pick = [&](int low, int high) { return low + int(draw() % unsigned(high - low + 1)); };
    gdImageFilledEllipse(image.get(), pick(width / 5, width * 4 / 5), pick(height / 6, height / 3), height / 6,
                         height / 6, gdTrueColor(255, 220, 90));
    for (int layer = 0; layer < 3; ++layer) {
        const int base = int(height * (0.55 + 0.13 * layer));
        std::vector<gdPoint> outline{{0, height}};
        for (int x = 0; x <= width; x += width / 12) outline.push_back({x, base - pick(0, height / 6)});
        outline.push_back({width, height});
        gdImageFilledPolygon(image.get(), outline.data(), int(outline.size()),
                             gdTrueColor(60 - 15 * layer, 150 - 35 * layer, 70 - 15 * layer));
    }
    return image;
}

ZPGdImage resized(const gdImagePtr source, int width, int height) {
    ZPGdImage image(gdImageCreateTrueColor(width, height));
    gdImageCopyResampled(image.get(), source, 0, 0, 0, 0, width, height, gdImageSX(source), gdImageSY(source));
    return image;
}

ZPGdImage brightened(const gdImagePtr source, double factor) {
    return twtest::trueColorImage(gdImageSX(source), gdImageSY(source), [&](int x, int y) {
        const int c = gdImageGetTrueColorPixel(source, x, y);
        auto scale = [&](int v) { return std::min(255, int(v * factor + 0.5)); };
        return gdTrueColor(scale(gdTrueColorGetRed(c)), scale(gdTrueColorGetGreen(c)), scale(gdTrueColorGetBlue(c)));
    });
}

class LookMeasure : public ::testing::Test {
protected:
    LookMeasure() { context_.setSimilarMethod(TWSimilarMethodLook); }

    std::shared_ptr<ZPImageSignature> sign(const std::string& path) {
        auto signature = ZPImageSignature::initWithPathFile(path, context_);
        EXPECT_TRUE(signature) << path;
        if (signature) {
            EXPECT_TRUE(signature->look()) << path;
        }
        return signature;
    }
    // Whether the picture at `path` joins a group founded by the one at `original`.
    bool joins(const std::string& original, const std::string& path) {
        auto founder = sign(original), candidate = sign(path);
        if (!founder || !candidate) return false;
        return context_.imageSignatureSimilarTo(*candidate, *ZPSimilarImages::initWithImage(founder));
    }

    twtest::TempDir dir_;
    ZPSimilarContext context_;
};

TEST_F(LookMeasure, OrdinaryCopiesJoinTheirOriginal) {
    for (unsigned seed : {3u, 11u, 27u}) {
        SCOPED_TRACE(seed);
        ZPGdImage original = scene(seed, seed + 100);
        const std::string name = std::to_string(seed);
        const std::string path = dir_.writeBytes(name + ".jpg", twtest::encodeJpeg(original.get(), 92));
        EXPECT_TRUE(joins(path, dir_.writeBytes(name + "-half.jpg",
                                                twtest::encodeJpeg(resized(original.get(), 240, 180).get(), 90))));
        EXPECT_TRUE(joins(path, dir_.writeBytes(name + "-q60.jpg", twtest::encodeJpeg(original.get(), 60))));
        EXPECT_TRUE(joins(path, dir_.writeBytes(name + "-bright.jpg",
                                                twtest::encodeJpeg(brightened(original.get(), 1.1).get(), 90))));
        EXPECT_TRUE(joins(path, twtest::writePng(dir_, name + "-mirror.png", twtest::mirrored(original.get()).get())));
    }
}

TEST_F(LookMeasure, ADifferentPictureInTheSameColoursStaysApart) {
    for (unsigned seed : {3u, 11u, 27u}) {
        SCOPED_TRACE(seed);
        const std::string name = std::to_string(seed);
        const std::string path = dir_.writeBytes(name + ".jpg", twtest::encodeJpeg(scene(seed, seed + 100).get(), 92));
        const std::string other =
            dir_.writeBytes(name + "-other.jpg", twtest::encodeJpeg(scene(seed, seed + 200).get(), 92));
        EXPECT_FALSE(joins(path, other));
    }
}

// Photos composed alike (the same horizons, sky and colours) are different pictures;
// an edited, recompressed copy of one is still that picture.
TEST_F(LookMeasure, AnotherSceneOfTheSameLayoutStaysApart) {
    std::vector<std::string> paths;
    for (unsigned seed : {1u, 2u, 3u})
        paths.push_back(dir_.writeBytes(std::to_string(seed) + ".jpg", twtest::encodeJpeg(landscape(seed).get(), 90)));
    for (size_t a = 0; a < paths.size(); ++a)
        for (size_t b = 0; b < paths.size(); ++b)
            if (a != b) {
                EXPECT_FALSE(joins(paths[a], paths[b])) << paths[a] << " " << paths[b];
            }
    ZPGdImage edited = landscape(2);
    gdImageFilledRectangle(edited.get(), 400, 120, 414, 130, gdTrueColor(40, 40, 40));
    EXPECT_TRUE(joins(paths[1], dir_.writeBytes("2-edited.jpg", twtest::encodeJpeg(edited.get(), 80))));
}

// A picture without detail (a smooth gradient) is still matched by its layout: the
// recompression's noise is no detail to compare.
TEST_F(LookMeasure, ARecompressedSmoothGradientJoinsItsOriginal) {
    ZPGdImage sky = twtest::trueColorImage(
        640, 480, [](int x, int y) { return gdTrueColor(60 + y * 150 / 480, 120 + x * 60 / 640, 230 - y * 40 / 480); });
    const std::string path = dir_.writeBytes("sky.jpg", twtest::encodeJpeg(sky.get(), 95));
    EXPECT_TRUE(joins(path, dir_.writeBytes("sky-q40.jpg", twtest::encodeJpeg(sky.get(), 40))));
    EXPECT_TRUE(
        joins(path, dir_.writeBytes("sky-half.jpg", twtest::encodeJpeg(resized(sky.get(), 320, 240).get(), 60))));
}

TEST_F(LookMeasure, TheSettingChoosesTheMeasureAndColoursSignNoLook) {
    const std::string path = dir_.writeBytes("p.jpg", twtest::encodeJpeg(scene(5, 6).get(), 90));
    ZPSimilarContext colours;
    EXPECT_EQ(colours.similarMethod(), TWSimilarMethodColours);
    auto byColour = ZPImageSignature::initWithPathFile(path, colours);
    ASSERT_TRUE(byColour);
    EXPECT_FALSE(byColour->look());
    auto byLook = sign(path);
    ASSERT_TRUE(byLook);
    // A colour signature never joins a group by look, nor a look one by colours.
    EXPECT_FALSE(context_.imageSignatureSimilarTo(*byColour, *ZPSimilarImages::initWithImage(byLook)));
    EXPECT_FALSE(colours.imageSignatureSimilarTo(*byLook, *ZPSimilarImages::initWithImage(byColour)));
    // An unreadable file signs no look either.
    EXPECT_FALSE(ZPImageSignature::initWithPathFile(dir_.write("broken.jpg", "not a picture"), context_));
}

}  // namespace
