// The look measure: ordinary copies of a picture (resized, recompressed, brightened,
// mirrored) join their original's group; a different picture in the same colours does
// not. The colour measure is left as it was: the look-alike is just what it joins.

#include <gd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ImageFixtures.h"
#include "ZPSimilarContext.h"

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
        if (signature) EXPECT_TRUE(signature->look()) << path;
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
