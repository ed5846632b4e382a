// Resolution and icon of a file record, with a fake thumbnail provider.

#include <gtest/gtest.h>

#include <mutex>

#include "EngineTestHelpers.h"
#include "TestSupport.h"
#include "files/TWFileUtility.h"

namespace {

using enginetest::imageBytes;
using enginetest::ImageFormat;

struct FakeImage : TWImage {
    FakeImage(double w, double h, std::string tag) : w(w), h(h), tag(std::move(tag)) {}
    double width() const override { return w; }
    double height() const override { return h; }
    double w, h;
    std::string tag;
};

// Answers from fixed images and records every question it is asked.
class RecordingProvider : public TWThumbnailProvider {
public:
    std::shared_ptr<TWImage> iconForFile(const std::string& path) override {
        std::lock_guard lock(mutex);
        calls.push_back("icon " + path);
        return std::make_shared<FakeImage>(32, 32, "icon");
    }
    std::optional<ImageSource> imageSource(const std::string& path) override {
        std::lock_guard lock(mutex);
        calls.push_back("source " + path);
        return source;
    }
    std::shared_ptr<TWImage> createThumbnailForImage(const TWImage& image, int orientation) override {
        std::lock_guard lock(mutex);
        calls.push_back("draw " + static_cast<const FakeImage&>(image).tag + " " + std::to_string(orientation));
        return std::make_shared<FakeImage>(400, 400, "drawn");
    }

    std::mutex mutex;
    std::vector<std::string> calls;
    std::optional<ImageSource> source;
};

// Installs a provider for one test and removes it afterwards.
class ProviderScope {
public:
    explicit ProviderScope(std::shared_ptr<TWThumbnailProvider> provider) {
        TWThumbnailProvider::install(std::move(provider));
    }
    ~ProviderScope() { TWThumbnailProvider::install(nullptr); }
};

std::string tagOf(const std::shared_ptr<TWImage>& image) {
    auto fake = std::dynamic_pointer_cast<FakeImage>(image);
    return fake ? fake->tag : "(none)";
}

TEST(FileImage, ResolutionComesFromTheHeaderOnFirstRead) {
    twtest::TempDir dir;
    auto png = TWFileUtility::initWithPath(dir.write("a.png", imageBytes(640, 480, ImageFormat::png)));
    EXPECT_EQ(png->formatResolution(), "N/A");  // nothing read yet
    EXPECT_EQ(png->resolution(), (TWSize{640, 480}));
    EXPECT_EQ(png->formatResolution(), "640x480");
    auto jpeg = TWFileUtility::initWithPath(dir.write("b.JPEG", imageBytes(33, 17, ImageFormat::jpeg)));
    EXPECT_EQ(jpeg->resolution(), (TWSize{33, 17}));
}

TEST(FileImage, ImageWhoseHeaderNobodyParsesIsDecoded) {
    // A TGA without its optional footer has no signature for a header reader to find.
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir.write("odd.tga", enginetest::tgaBytes(21, 13)));
    EXPECT_EQ(record->resolution(), (TWSize{21, 13}));
}

TEST(FileImage, WhatCannotBeReadHasZeroResolution) {
    twtest::TempDir dir;
    auto text = TWFileUtility::initWithPath(dir.write("notes.txt", "hello"));
    EXPECT_TRUE(text->resolution().isZero());
    EXPECT_EQ(text->formatResolution(), "N/A");
    auto broken = TWFileUtility::initWithPath(dir.write("broken.jpg", "\xFF\xD8 not really a jpeg"));
    EXPECT_TRUE(broken->resolution().isZero());
    auto truncated = imageBytes(300, 200, ImageFormat::png).substr(0, 20);
    EXPECT_TRUE(TWFileUtility::initWithPath(dir.write("short.png", truncated))->resolution().isZero());
    EXPECT_TRUE(TWFileUtility::initWithPath(dir.write("empty.gif", ""))->resolution().isZero());
    // A FIFO named like an image is never opened for reading (it would block).
    EXPECT_TRUE(TWFileUtility::initWithPath(dir.fifo("pipe.png"))->resolution().isZero());
    // Outside the Images category nothing is examined, whatever the file holds.
    EXPECT_TRUE(
        TWFileUtility::initWithPath(dir.write("image.txt", imageBytes(8, 8, ImageFormat::png)))->resolution().isZero());
    // Unreadable image: retried on the next read, still zero.
    EXPECT_TRUE(broken->resolution().isZero());
}

TEST(FileImage, ResolutionRanking) {
    twtest::TempDir dir;
    auto wide = TWFileUtility::initWithPath(dir.write("w.png", imageBytes(1920, 1080, ImageFormat::png)));
    auto none = TWFileUtility::initWithPath(dir.write("n.txt", "x"));
    EXPECT_TRUE(wide->higherThanResolution({1920, 720}));
    EXPECT_FALSE(wide->higherThanResolution({2048, 100}));
    EXPECT_FALSE(wide->higherThanResolution({1920, 1080}));
    EXPECT_TRUE(wide->higherThanResolution({0, 0}));
    EXPECT_TRUE(wide->higherThanResolution({1000, 5000}));
    EXPECT_FALSE(none->higherThanResolution({0, 0}));
    EXPECT_FALSE(none->higherThanResolution({10, 10}));
}

TEST(FileImage, WithoutProviderThereIsNoIcon) {
    TWThumbnailProvider::install(nullptr);
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir.write("a.png", imageBytes(50, 40, ImageFormat::png)));
    EXPECT_EQ(record->fileIcon(), nullptr);
    EXPECT_EQ(record->storedResolution(), (TWSize{50, 40}));
    EXPECT_EQ(TWFileUtility::createThumbnailForImage(FakeImage(800, 600, "x"), 1), nullptr);
}

TEST(FileImage, NonImagesGetTheDesktopIconOnce) {
    auto provider = std::make_shared<RecordingProvider>();
    ProviderScope scope(provider);
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir.write("a.pdf", "%PDF"));
    EXPECT_EQ(tagOf(record->fileIcon()), "icon");
    EXPECT_EQ(tagOf(record->fileIcon()), "icon");
    EXPECT_EQ(provider->calls, (std::vector<std::string>{"icon " + record->filePath()}));
    EXPECT_TRUE(record->storedResolution().isZero());
}

TEST(FileImage, SmallThumbnailIsUsedAsItIs) {
    auto provider = std::make_shared<RecordingProvider>();
    provider->source = TWThumbnailProvider::ImageSource{
        std::make_shared<FakeImage>(400, 300, "thumb"), std::make_shared<FakeImage>(800, 600, "full"), 6, {800, 600}};
    ProviderScope scope(provider);
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir.write("a.png", imageBytes(800, 600, ImageFormat::png)));
    EXPECT_EQ(tagOf(record->fileIcon()), "thumb");
    EXPECT_EQ(provider->calls, (std::vector<std::string>{"source " + record->filePath()}));
    EXPECT_EQ(record->storedResolution(), (TWSize{800, 600}));
}

TEST(FileImage, LargeFullImageIsDrawnWithItsOrientation) {
    auto provider = std::make_shared<RecordingProvider>();
    provider->source =
        TWThumbnailProvider::ImageSource{nullptr, std::make_shared<FakeImage>(800, 600, "full"), 6, {800, 600}};
    ProviderScope scope(provider);
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir.write("a.jpg", imageBytes(800, 600, ImageFormat::jpeg)));
    EXPECT_EQ(tagOf(record->fileIcon()), "drawn");
    EXPECT_EQ(provider->calls, (std::vector<std::string>{"source " + record->filePath(), "draw full 6"}));
}

TEST(FileImage, ImageTheProviderCannotOpenGetsTheDesktopIcon) {
    auto provider = std::make_shared<RecordingProvider>();  // answers no source
    ProviderScope scope(provider);
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir.write("bad.gif", "GIF89a garbage"));
    EXPECT_EQ(tagOf(record->fileIcon()), "icon");
    EXPECT_EQ(provider->calls,
              (std::vector<std::string>{"source " + record->filePath(), "icon " + record->filePath()}));
    EXPECT_EQ(record->formatResolution(), "N/A");
}

}  // namespace
