#include <gtest/gtest.h>

#include <numeric>

#include "ImageFixtures.h"
#include "platform/Log.h"
#include "similar/ZPImageSignature.h"
#include "similar/ZPSimilarContext.h"

namespace {

int blockSum(const PuzzleHistogram& h, int block) {
    int sum = 0;
    for (int v = 0; v < 256; ++v) sum += h.bin(block, v);
    return sum;
}

class ImageSignatureTest : public ::testing::Test {
protected:
    twtest::TempDir dir_;
    ZPSimilarContext context_;
    tw::LogCapture log_;
};

TEST_F(ImageSignatureTest, CountsEveryPixelOfATrueColourImageByChannel) {
    ZPGdImage image(gdImageCreateTrueColor(2, 2));
    gdImageSetPixel(image.get(), 0, 0, gdTrueColor(255, 0, 0));
    gdImageSetPixel(image.get(), 1, 0, gdTrueColor(255, 0, 0));
    gdImageSetPixel(image.get(), 0, 1, gdTrueColor(0, 255, 0));
    gdImageSetPixel(image.get(), 1, 1, gdTrueColor(0, 0, 0));
    const std::string path = twtest::writePng(dir_, "four.png", image.get());

    auto signature = ZPImageSignature::initWithPathFile(path, context_);
    ASSERT_TRUE(signature);
    const PuzzleHistogram& h = signature->histogram();
    EXPECT_EQ(h.total, 4u);
    EXPECT_EQ(h.channels, 3);
    EXPECT_EQ(h.bin(0, 0), 2);
    EXPECT_EQ(h.bin(0, 255), 2);
    EXPECT_EQ(h.bin(1, 0), 3);
    EXPECT_EQ(h.bin(1, 255), 1);
    EXPECT_EQ(h.bin(2, 0), 4);
    for (int block = 0; block < 3; ++block) EXPECT_EQ(blockSum(h, block), 4) << "block " << block;
    EXPECT_EQ(blockSum(h, 3), 0);
    EXPECT_EQ(signature->resolution(), (TWSize{2, 2}));
    EXPECT_EQ(signature->resolutionText(), "2x2");
    EXPECT_EQ(signature->size(), twtest::readFile(path).size());
    EXPECT_EQ(signature->filename(), "four.png");
    EXPECT_EQ(signature->context(), context_.puzzleContext());
    EXPECT_FALSE(signature->flagSelected());
}

TEST_F(ImageSignatureTest, AlphaBitsOfTrueColourPixelsAreIgnored) {
    ZPGdImage image(gdImageCreateTrueColor(3, 1));
    gdImageAlphaBlending(image.get(), 0);
    gdImageSaveAlpha(image.get(), 1);
    for (int x = 0; x < 3; ++x) gdImageSetPixel(image.get(), x, 0, gdTrueColorAlpha(10, 20, 30, 40 * x));
    auto signature = ZPImageSignature::initWithPathFile(twtest::writePng(dir_, "alpha.png", image.get()), context_);
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->histogram().bin(0, 10), 3);
    EXPECT_EQ(signature->histogram().bin(1, 20), 3);
    EXPECT_EQ(signature->histogram().bin(2, 30), 3);
}

TEST_F(ImageSignatureTest, PaletteImageCountsPaletteColoursNotIndexes) {
    ZPGdImage image(gdImageCreate(3, 2));
    const int dark = gdImageColorAllocate(image.get(), 7, 8, 9);        // index 0
    const int light = gdImageColorAllocate(image.get(), 200, 100, 50);  // index 1
    for (int x = 0; x < 3; ++x) {
        gdImageSetPixel(image.get(), x, 0, dark);
        gdImageSetPixel(image.get(), x, 1, x == 0 ? dark : light);
    }
    // GIF keeps the palette on disk, so the decoded image is a palette image again.
    const std::string path = dir_.writeBytes("palette.gif", twtest::encodeGif(image.get()));

    auto signature = ZPImageSignature::initWithPathFile(path, context_);
    ASSERT_TRUE(signature);
    const PuzzleHistogram& h = signature->histogram();
    EXPECT_EQ(h.total, 6u);
    EXPECT_EQ(h.bin(0, 7), 4);
    EXPECT_EQ(h.bin(1, 8), 4);
    EXPECT_EQ(h.bin(2, 9), 4);
    EXPECT_EQ(h.bin(0, 200), 2);
    EXPECT_EQ(h.bin(1, 100), 2);
    EXPECT_EQ(h.bin(2, 50), 2);
    EXPECT_EQ(h.bin(0, 0), 0);
    EXPECT_EQ(h.bin(0, 1), 0);
}

TEST_F(ImageSignatureTest, ContentDecidesWhenTheEndingsReaderFails) {
    ZPGdImage image = twtest::noiseImage(8, 5, 1, 0, 0, 0, 256);
    const auto png = twtest::encodePng(image.get());
    // A PNG named .jpg: the JPEG reader fails, the leading bytes pick PNG.
    auto misnamed = ZPImageSignature::initWithPathFile(dir_.writeBytes("photo.jpg", png), context_);
    ASSERT_TRUE(misnamed);
    EXPECT_EQ(misnamed->resolution(), (TWSize{8, 5}));
    // An ending outside the list goes straight to the leading bytes; so does none.
    EXPECT_TRUE(ZPImageSignature::initWithPathFile(dir_.writeBytes("photo.webp", png), context_));
    EXPECT_TRUE(
        ZPImageSignature::initWithPathFile(dir_.writeBytes("noending", twtest::encodeJpeg(image.get())), context_));
    EXPECT_TRUE(
        ZPImageSignature::initWithPathFile(dir_.writeBytes("anim.dat", twtest::encodeGif(image.get())), context_));
    EXPECT_TRUE(ZPImageSignature::initWithPathFile(dir_.writeBytes("UPPER.PNG", png), context_));
    EXPECT_FALSE(log_.contains("Unable to read"));
}

TEST_F(ImageSignatureTest, UnreadableFilesYieldNoSignatureAndSaySo) {
    const std::string shortFile = dir_.write("tiny.xyz", "GIF8");
    const std::string text = dir_.write("notes.png", "this is not an image at all");
    const std::string truncated = dir_.writeBytes("cut.png", [] {
        auto bytes = twtest::encodePng(twtest::noiseImage(16, 16, 2, 0, 0, 0, 256).get());
        bytes.resize(40);
        return bytes;
    }());
    const std::string fifo = dir_.fifo("pipe.png");
    const std::string link =
        dir_.symlink(twtest::writePng(dir_, "real.png", twtest::noiseImage(2, 2, 3, 0, 0, 0, 9).get()), "link.png");
    const std::string missing = dir_ / "missing.png";

    for (const std::string& path : {shortFile, text, truncated, fifo, link, missing}) {
        EXPECT_FALSE(ZPImageSignature::initWithPathFile(path, context_)) << path;
        EXPECT_EQ(log_.count("Unable to read [" + path + "], please check image"), 1u) << path;
    }
}

TEST_F(ImageSignatureTest, NoContextMeansNoSignature) {
    const std::string path = twtest::writePng(dir_, "ok.png", twtest::noiseImage(2, 2, 4, 0, 0, 0, 9).get());
    EXPECT_FALSE(ZPImageSignature::initWithPathFile(path));
    EXPECT_FALSE(ZPImageSignature::initWithPathFile(path, static_cast<const PuzzleContext*>(nullptr)));
    EXPECT_EQ(log_.count("Without MPS Support, context must be setted."), 2u);
    EXPECT_FALSE(ZPImageSignature::supportMPS());
}

TEST_F(ImageSignatureTest, ContextWithoutItsMagicIsReportedAndTheFillGoesOn) {
    PuzzleContext broken = *context_.puzzleContext();
    broken.magic = 0;
    const std::string path = twtest::writePng(dir_, "ok.png", twtest::noiseImage(2, 2, 5, 0, 0, 0, 9).get());
    auto signature = ZPImageSignature::initWithPathFile(path, &broken);
    EXPECT_TRUE(signature);
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_TRUE(log_.lines()[0].starts_with("*BUG* File: [ZPImageSignature.cpp] Line: [")) << log_.lines()[0];
}

TEST(ImageSignatureText, SizeTextSwitchesUnitsAtPowersOf1024) {
    EXPECT_EQ(ZPImageSignature::sizeText(0), "0B");
    EXPECT_EQ(ZPImageSignature::sizeText(1023), "1023B");
    EXPECT_EQ(ZPImageSignature::sizeText(1024), "1.00KiB");
    EXPECT_EQ(ZPImageSignature::sizeText(1048575), "1024.00KiB");
    EXPECT_EQ(ZPImageSignature::sizeText(1048576), "1.00MiB");
    EXPECT_EQ(ZPImageSignature::sizeText(1073741823), "1024.00MiB");
    EXPECT_EQ(ZPImageSignature::sizeText(1073741824), "1.00GiB");
    EXPECT_EQ(ZPImageSignature::sizeText(5ull << 40), "5120.00GiB");
}

TEST(ImageSignatureText, CallerObjectAndFlagAreKept) {
    PuzzleHistogram h;
    auto signature = ZPImageSignature::withHistogram("/x/y/z.png", h, {640, 480}, 1536);
    EXPECT_EQ(signature->filename(), "z.png");
    EXPECT_EQ(signature->resolutionText(), "640x480");
    EXPECT_EQ(signature->sizeText(), "1.50KiB");
    EXPECT_FALSE(signature->userObject());
    auto record = std::make_shared<std::string>("record");
    signature->setUserObject(record);
    EXPECT_EQ(signature->userObjectAs<std::string>(), record);
    signature->setFlagSelected(true);
    EXPECT_TRUE(signature->flagSelected());
}

}  // namespace
