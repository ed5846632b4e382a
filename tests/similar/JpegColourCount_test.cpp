// A JPEG's colour histogram is counted row by row as it is decoded, never from a whole
// image; it must equal, bit for bit, the histogram of the image libgd decodes from the
// same file, whatever kind of JPEG it is, and take only a row's worth of the budget.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

#include "ImageFixtures.h"
#include "platform/Log.h"
#include "platform/MediaModule.h"
#include "platform/SafeFile.h"
#include "similar/ZPImageSignature.h"
#include "similar/ZPSimilarContext.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

struct JpegKind {
    const char* name;
    int width;
    int height;
    J_COLOR_SPACE input = JCS_RGB;  // JCS_RGB, JCS_GRAYSCALE or JCS_CMYK
    J_COLOR_SPACE stored = JCS_YCbCr;
    int lumaH = 2, lumaV = 2;  // sampling of the first component; the others 1x1
    bool progressive = false;
    bool adobeMarker = true;  // CMYK and YCCK only
    int restartRows = 0;
    bool exifRotated = false;  // an Exif orientation of 6 (turn right), which nothing applies
};

// Gradients under noise, different in each channel, so that every bin counts.
std::vector<JSAMPLE> pixels(const JpegKind& kind, int components) {
    std::mt19937 random(static_cast<unsigned>(kind.width * 31 + kind.height));
    std::vector<JSAMPLE> data(size_t(kind.width) * kind.height * components);
    for (int y = 0; y < kind.height; ++y)
        for (int x = 0; x < kind.width; ++x)
            for (int c = 0; c < components; ++c) {
                const int gradient = (x * (c + 1) * 255 / std::max(1, kind.width) + y * (3 - c % 3) * 7) % 256;
                data[(size_t(y) * kind.width + x) * components + c] =
                    static_cast<JSAMPLE>(std::clamp(gradient + int(random() % 41) - 20, 0, 255));
            }
    return data;
}

// An APP1 Exif segment, little-endian TIFF, one entry: Orientation = 6.
std::vector<JOCTET> exifOrientation6() {
    return {'E', 'x', 'i',  'f',  0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,  // header, first IFD at 8
            1,   0,   0x12, 0x01, 3, 0, 1,   0,   0,  0, 6, 0, 0, 0,  // one entry: 0x0112 SHORT 1 = 6
            0,   0,   0,    0};                                       // no next IFD
}

std::vector<unsigned char> encode(const JpegKind& kind) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(kind.width);
    info.image_height = static_cast<JDIMENSION>(kind.height);
    info.in_color_space = kind.input;
    info.input_components = kind.input == JCS_GRAYSCALE ? 1 : kind.input == JCS_CMYK ? 4 : 3;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, kind.stored);
    jpeg_set_quality(&info, 85, TRUE);
    info.comp_info[0].h_samp_factor = kind.lumaH;
    info.comp_info[0].v_samp_factor = kind.lumaV;
    if (kind.stored == JCS_RGB) info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
    info.write_Adobe_marker = kind.adobeMarker && (kind.stored == JCS_CMYK || kind.stored == JCS_YCCK);
    info.restart_in_rows = kind.restartRows;
    if (kind.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (kind.exifRotated) {
        const std::vector<JOCTET> exif = exifOrientation6();
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    }
    const std::vector<JSAMPLE> data = pixels(kind, info.input_components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row[] = {const_cast<JSAMPLE*>(&data[size_t(info.next_scanline) * kind.width * info.input_components])};
        jpeg_write_scanlines(&info, row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<unsigned char> bytes(buffer, buffer + size);
    free(buffer);
    return bytes;
}

// The same record, and so the same bytes in the scan cache; else where they part.
::testing::AssertionResult sameHistogram(const PuzzleHistogram& rows, const PuzzleHistogram& whole) {
    if (rows.total != whole.total || rows.channels != whole.channels)
        return ::testing::AssertionFailure() << "total " << rows.total << " / " << whole.total << ", channels "
                                             << rows.channels << " / " << whole.channels;
    for (int i = 0; i < PuzzleHistogram::kBlocks * PuzzleHistogram::kBinsPerBlock; ++i)
        if (rows.bins[i] != whole.bins[i])
            return ::testing::AssertionFailure() << "block " << i / 256 << ", value " << i % 256 << ": " << rows.bins[i]
                                                 << " counted by rows, " << whole.bins[i] << " in the image";
    if (puzzleHistogramBytes(rows) != puzzleHistogramBytes(whole))
        return ::testing::AssertionFailure() << "bytes differ";
    return ::testing::AssertionSuccess();
}

class JpegColourCount : public ::testing::Test {
protected:
    twtest::TempDir dir_;
    ZPSimilarContext context_;
    tw::LogCapture log_;

    // The histogram of the image libgd decodes (the road every other format takes).
    std::optional<PuzzleHistogram> wholeImageHistogram(const std::string& path, TWSize& size) {
        std::optional<tw::SafeFile> file = tw::SafeFile::open(path);
        if (!file) return std::nullopt;
        ZPGdImage image = zpDecodeImage(*file, path);
        if (!image) return std::nullopt;
        PuzzleHistogram histogram;
        puzzleCountImage(*image, histogram);
        size = TWSize{double(gdImageSX(image.get())), double(gdImageSY(image.get()))};
        return histogram;
    }

    TWMediaImageInfo infoOf(const std::string& path) {
        std::optional<tw::SafeFile> file = tw::SafeFile::open(path);
        TWMediaImageInfo info{};
        if (file) tw::mediaModule()->imageInfo(tw::MediaFileView(*file).get(), 64, &info);
        return info;
    }

    // Signs `path` by colours under a budget that holds what the count by rows needs and
    // less than a whole image, so that only the count by rows can sign it, and compares
    // the result with libgd's image.
    void expectSameAsWholeImage(const std::string& path, const std::string& what) {
        SCOPED_TRACE(what);
        TWSize wholeSize;
        const std::optional<PuzzleHistogram> whole = wholeImageHistogram(path, wholeSize);
        ASSERT_TRUE(whole) << "libgd cannot decode the sample";
        const TWMediaImageInfo info = infoOf(path);
        ASSERT_EQ(info.format, TWMediaFormatJpeg);
        ASSERT_GT(info.countDecodeBytes, 0u);
        ASSERT_LT(info.countDecodeBytes, info.fullDecodeBytes) << "the sample is too small to tell the roads apart";
        context_.setDecodeBudget(std::make_shared<ZPDecodeBudget>(info.countDecodeBytes));

        const auto signature = ZPImageSignature::initWithPathFile(path, context_);
        ASSERT_TRUE(signature) << "not signed within a row's budget";
        EXPECT_TRUE(sameHistogram(signature->histogram(), *whole));
        EXPECT_EQ(signature->resolution(), wholeSize);
    }
};

TEST_F(JpegColourCount, EveryKindOfJpegCountsAsLibgdsImageDoes) {
    const JpegKind kinds[] = {
        {"YCbCr 4:2:0, odd size", 333, 217},
        {"YCbCr 4:4:4", 200, 150, JCS_RGB, JCS_YCbCr, 1, 1},
        {"YCbCr 4:2:2, odd size", 121, 97, JCS_RGB, JCS_YCbCr, 2, 1},
        {"YCbCr 4:4:0", 64, 131, JCS_RGB, JCS_YCbCr, 1, 2},
        {"progressive 4:2:0", 257, 129, JCS_RGB, JCS_YCbCr, 2, 2, true},
        {"progressive grey", 99, 151, JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 1, true},
        {"grey", 301, 90, JCS_GRAYSCALE, JCS_GRAYSCALE, 1, 1},
        {"stored as RGB", 140, 100, JCS_RGB, JCS_RGB, 1, 1},
        {"CMYK, Adobe marker (inverted)", 160, 120, JCS_CMYK, JCS_CMYK, 1, 1},
        {"CMYK, no Adobe marker", 160, 120, JCS_CMYK, JCS_CMYK, 1, 1, false, false},
        {"YCCK, Adobe marker", 150, 110, JCS_CMYK, JCS_YCCK, 2, 2},
        {"progressive CMYK", 90, 100, JCS_CMYK, JCS_CMYK, 1, 1, true},
        {"restart markers", 250, 180, JCS_RGB, JCS_YCbCr, 2, 2, false, true, 1},
        {"Exif orientation 6", 240, 100, JCS_RGB, JCS_YCbCr, 2, 2, false, true, 0, true},
    };
    for (const JpegKind& kind : kinds) {
        const std::string path = dir_.writeBytes(std::string(kind.name) + ".jpg", encode(kind));
        expectSameAsWholeImage(path, kind.name);
    }
    // The Exif orientation is not applied by either: the stored width and height stand.
    EXPECT_FALSE(log_.contains("Unable to read"));
}

TEST_F(JpegColourCount, DamagedDataIsDecodedAroundAsLibgdDoes) {
    const std::vector<unsigned char> bytes = encode({"damaged", 320, 240});
    // Cut short: libjpeg finishes the picture in grey, with a warning, on both roads.
    const std::string cut = dir_.writeBytes("cut.jpg", {bytes.begin(), bytes.begin() + bytes.size() * 3 / 5});
    expectSameAsWholeImage(cut, "cut short");
    // Bytes overwritten in the middle of the coded data.
    std::vector<unsigned char> scrambled = bytes;
    for (size_t i = scrambled.size() / 2; i < scrambled.size() / 2 + 64; ++i)
        scrambled[i] = static_cast<unsigned char>(i * 37 & 0x7F);  // never a marker's 0xFF
    expectSameAsWholeImage(dir_.writeBytes("scrambled.jpg", scrambled), "scrambled");
    EXPECT_FALSE(log_.contains("Unable to read"));
}

TEST_F(JpegColourCount, AJpegThatCannotBeDecodedIsUnreadableAndSaysWhy) {
    std::vector<unsigned char> bytes = encode({"broken", 64, 64});
    // The frame header's precision made 12 bits, which neither road decodes.
    bool found = false;
    for (size_t i = 2; i + 4 < bytes.size() && !found; ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 4] = 12;
            found = true;
        }
    ASSERT_TRUE(found);
    const std::string path = dir_.writeBytes("broken.jpg", bytes);
    TWSize size;
    ASSERT_FALSE(wholeImageHistogram(path, size));
    log_.clear();
    EXPECT_FALSE(ZPImageSignature::initWithPathFile(path, context_));
    EXPECT_EQ(log_.count("Unable to read [" + path + "], please check image"), 1u);
    EXPECT_TRUE(log_.contains("libjpeg: ")) << "the reason is logged too";
}

TEST_F(JpegColourCount, AJpegUnderAnotherFormatsNameIsStillDecodedWhole) {
    // libgd's PNG reader refuses it first, then its first bytes pick the JPEG reader: the
    // whole-image road, which a budget of one row cannot hold.
    const std::string path = dir_.writeBytes("photo.png", encode({"misnamed", 200, 160}));
    TWSize size;
    const std::optional<PuzzleHistogram> whole = wholeImageHistogram(path, size);
    ASSERT_TRUE(whole);
    const auto signature = ZPImageSignature::initWithPathFile(path, context_);
    ASSERT_TRUE(signature);
    EXPECT_TRUE(sameHistogram(signature->histogram(), *whole));
    context_.setDecodeBudget(std::make_shared<ZPDecodeBudget>(infoOf(path).countDecodeBytes));
    EXPECT_FALSE(ZPImageSignature::initWithPathFile(path, context_));
}

}  // namespace
