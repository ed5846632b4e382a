// What a picture's header tells (format, size, the memory a decode takes) and the small
// square of it that the look measure signs, decoded at reduced scale where JPEG allows.

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "media/TWMediaJpeg.h"

namespace {

// What every decode costs besides its pixels: the decoders' tables and row buffers.
constexpr uint64_t kDecoderOverhead = 4u << 20;

uint64_t product(uint64_t a, uint64_t b) {
    return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

uint64_t sum(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

uint64_t pixelBytes(uint64_t width, uint64_t height, uint64_t perPixel) {
    return product(product(width, height), perPixel);
}

uint32_t bigEndian32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t littleEndian32(const unsigned char* p) {
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
uint16_t littleEndian16(const unsigned char* p) {
    return uint16_t(p[1] << 8 | p[0]);
}

struct JpegHeader {
    int width = 0, height = 0, components = 0;
    bool multipleScans = false;  // progressive or not interleaved: libjpeg keeps every coefficient
    bool rgbOutput = false;      // YCbCr, RGB or grey, which libjpeg turns into RGB itself
};

bool readJpegHeader(const TWMediaFile* file, JpegHeader& header) {
    jpeg_decompress_struct info{};
    twmedia::JpegErrors errors{};
    auto* source = new twmedia::JpegSource;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        delete source;
        return false;
    }
    twmedia::attachJpeg(info, *source, errors, file);
    jpeg_read_header(&info, TRUE);
    header.width = static_cast<int>(info.image_width);
    header.height = static_cast<int>(info.image_height);
    header.components = info.num_components;
    header.multipleScans = jpeg_has_multiple_scans(&info);
    header.rgbOutput = info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB ||
                       info.jpeg_color_space == JCS_GRAYSCALE;
    jpeg_destroy_decompress(&info);
    delete source;
    return header.width > 0 && header.height > 0;
}

// The largest of 8, 4, 2 and 1 that keeps the shorter side at `minSide` or more.
int scaleDenominator(int width, int height, int minSide) {
    for (int denominator = 8; denominator > 1; denominator /= 2)
        if ((std::min(width, height) + denominator - 1) / denominator >= minSide) return denominator;
    return 1;
}

// Whole-image coefficients (2 bytes each, padded to 8x8 blocks) of every component.
uint64_t coefficientBytes(const JpegHeader& header) {
    if (!header.multipleScans) return 0;
    const uint64_t blocks = product((uint64_t(header.width) + 15) / 8, (uint64_t(header.height) + 15) / 8);
    return product(product(blocks, 128), uint64_t(header.components));
}

// libgd's JPEG reader: its true-colour image and libjpeg's buffers.
uint64_t jpegFullBytes(const JpegHeader& header) {
    return sum(sum(pixelBytes(header.width, header.height, 4), coefficientBytes(header)), kDecoderOverhead);
}

// What libjpeg holds besides its coefficients when it hands out rows, a column at a
// time: strips of each component's rows, an MCU row and its neighbours for the
// upsampling (some 20 to 40 rows of the full-width component at the usual samplings,
// fewer of the subsampled ones); the fixed overhead covers the rest.
constexpr uint64_t kStripBytesPerComponentColumn = 64;

// countColours: one row of output (at most 4 bytes a pixel) and libjpeg's buffers.
uint64_t jpegRowBytes(const JpegHeader& header) {
    const uint64_t columns = (uint64_t(header.width) + 15) / 16 * 16;
    const uint64_t perColumn = 4 + kStripBytesPerComponentColumn * uint64_t(header.components);
    return sum(sum(product(columns, perColumn), coefficientBytes(header)), kDecoderOverhead);
}

uint64_t jpegScaledBytes(const JpegHeader& header, int minSide) {
    if (!header.rgbOutput) return jpegFullBytes(header);
    const int d = scaleDenominator(header.width, header.height, minSide);
    const uint64_t w = (uint64_t(header.width) + d - 1) / d, h = (uint64_t(header.height) + d - 1) / d;
    return sum(sum(pixelBytes(w, h, 4), coefficientBytes(header)), kDecoderOverhead);
}

// Decodes at 1/8, 1/4 or 1/2 (whichever keeps `minSide`), never asking libjpeg for more
// than `memoryLimit` bytes. Null for a damaged file and for what libjpeg cannot turn
// into RGB (CMYK, which libgd's reader converts instead).
gdImagePtr decodeJpegScaled(const TWMediaFile* file, int minSide, uint64_t memoryLimit) {
    jpeg_decompress_struct info{};
    twmedia::JpegErrors errors{};
    twmedia::JpegSource* volatile source = new twmedia::JpegSource;
    gdImagePtr volatile image = nullptr;
    JSAMPLE* volatile row = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        delete source;
        delete[] row;
        if (image) gdImageDestroy(image);
        return nullptr;
    }
    twmedia::attachJpeg(info, *source, errors, file);
    info.mem->max_memory_to_use = static_cast<long>(std::min<uint64_t>(memoryLimit, LONG_MAX));
    jpeg_read_header(&info, TRUE);
    const bool rgb = info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB ||
                     info.jpeg_color_space == JCS_GRAYSCALE;
    if (rgb) {
        info.out_color_space = JCS_RGB;
        info.scale_num = 1;
        info.scale_denom = static_cast<unsigned>(
            scaleDenominator(static_cast<int>(info.image_width), static_cast<int>(info.image_height), minSide));
        info.dct_method = JDCT_ISLOW;
        jpeg_start_decompress(&info);
        image = gdImageCreateTrueColor(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
        row = new JSAMPLE[size_t(info.output_width) * 3];
        while (image && info.output_scanline < info.output_height) {
            const int y = static_cast<int>(info.output_scanline);
            JSAMPROW rows[] = {row};
            jpeg_read_scanlines(&info, rows, 1);
            for (JDIMENSION x = 0; x < info.output_width; ++x)
                image->tpixels[y][x] = gdTrueColor(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        }
        if (image) jpeg_finish_decompress(&info);
    }
    jpeg_destroy_decompress(&info);
    delete source;
    delete[] row;
    return image;
}

TWMediaFormat formatOf(const unsigned char* head, size_t length) {
    auto starts = [&](const char* magic, size_t n) { return length >= n && std::memcmp(head, magic, n) == 0; };
    if (starts("\xFF\xD8\xFF", 3)) return TWMediaFormatJpeg;
    if (starts("\x89PNG\r\n\x1A\n", 8)) return TWMediaFormatPng;
    if (starts("GIF8", 4)) return TWMediaFormatGif;
    if (starts("BM", 2)) return TWMediaFormatBmp;
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return TWMediaFormatTiff;
    return TWMediaFormatUnknown;
}

// libgd's PNG reader keeps every row (one byte a channel, two for 16-bit samples when
// they are not stripped first) beside its image of 4 bytes a pixel.
uint64_t pngBytes(const unsigned char* ihdr, int width, int height) {
    const int depth = ihdr[8], type = ihdr[9];
    const int channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
    return sum(pixelBytes(width, height, 4 + uint64_t(channels) * (depth == 16 ? 2 : 1)), kDecoderOverhead);
}

void sizeFromHeader(const TWMediaFile* file, const unsigned char* head, size_t length, TWMediaImageInfo* info) {
    int width = 0, height = 0;
    uint64_t bytes = 0;
    switch (info->format) {
        case TWMediaFormatPng:
            if (length < 26 || std::memcmp(head + 12, "IHDR", 4) != 0) return;
            width = static_cast<int>(std::min<uint32_t>(bigEndian32(head + 16), INT32_MAX));
            height = static_cast<int>(std::min<uint32_t>(bigEndian32(head + 20), INT32_MAX));
            bytes = pngBytes(head + 16, width, height);
            break;
        case TWMediaFormatGif:  // a palette image of the logical screen's size
            if (length < 10) return;
            width = littleEndian16(head + 6);
            height = littleEndian16(head + 8);
            bytes = sum(pixelBytes(width, height, 2), kDecoderOverhead);
            break;
        case TWMediaFormatBmp: {
            if (length < 26) return;
            const bool core = littleEndian32(head + 14) == 12;  // the oldest header: 16-bit sizes
            width = core ? littleEndian16(head + 18) : static_cast<int>(littleEndian32(head + 18));
            const int32_t rawHeight =
                core ? littleEndian16(head + 20) : static_cast<int32_t>(littleEndian32(head + 22));
            height = rawHeight == INT32_MIN ? 0 : std::abs(rawHeight);  // negative: rows stored top down
            bytes = sum(pixelBytes(width, height, 4), kDecoderOverhead);
            break;
        }
        case TWMediaFormatTiff:  // libgd reads every pixel as RGBA, then copies it
            twmedia::headerPixelSize(file, &width, &height);
            bytes = sum(pixelBytes(width, height, 8), kDecoderOverhead);
            break;
        default:
            return;
    }
    if (width <= 0 || height <= 0) return;
    info->width = width;
    info->height = height;
    info->fullDecodeBytes = bytes;
    info->squareDecodeBytes = bytes;
}

}  // namespace

void twmedia::imageInfo(const TWMediaFile* file, int minSide, TWMediaImageInfo* info) {
    *info = TWMediaImageInfo{};
    unsigned char head[32];
    const long n = file->readAt(file->handle, 0, head, sizeof head);
    if (n <= 0) return;
    info->format = formatOf(head, static_cast<size_t>(n));
    if (info->format != TWMediaFormatJpeg) {
        sizeFromHeader(file, head, static_cast<size_t>(n), info);
        return;
    }
    JpegHeader header;
    if (!readJpegHeader(file, header)) return;
    info->width = header.width;
    info->height = header.height;
    info->fullDecodeBytes = jpegFullBytes(header);
    info->squareDecodeBytes = jpegScaledBytes(header, minSide);
    info->countDecodeBytes = jpegRowBytes(header);
}

gdImagePtr twmedia::decodeSquare(const TWMediaFile* file, const char* path, int minSide, int side,
                                 uint64_t memoryLimit) {
    TWMediaImageInfo info;
    imageInfo(file, minSide, &info);
    // A size the header does not tell is decoded whole, within the limit the caller took.
    if (info.squareDecodeBytes > memoryLimit) return nullptr;
    // A JPEG that libjpeg turns into RGB is decoded at reduced scale or not at all: the
    // estimate above was made for that decode alone.
    JpegHeader header;
    const bool scaled = info.format == TWMediaFormatJpeg && readJpegHeader(file, header) && header.rgbOutput;
    gdImagePtr decoded = scaled ? decodeJpegScaled(file, minSide, memoryLimit) : decodeImage(file, path);
    if (!decoded) return nullptr;
    gdImagePtr square = gdImageCreateTrueColor(side, side);
    if (square) {
        gdImageFilledRectangle(square, 0, 0, side - 1, side - 1, gdTrueColor(255, 255, 255));
        gdImageCopyResampled(square, decoded, 0, 0, 0, 0, side, side, gdImageSX(decoded), gdImageSY(decoded));
    }
    gdImageDestroy(decoded);
    return square;
}
