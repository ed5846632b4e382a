// The colours of a JPEG counted row by row as it is decoded, never as a whole image. The
// decoder is set up exactly as libgd's JPEG reader sets it up (libjpeg's defaults for the
// DCT and upsampling, RGB out of YCbCr, RGB and grey, CMYK out of CMYK and YCCK with
// libgd's own conversion to RGB, no EXIF rotation), so the counts equal those of the
// image decodeImage returns, pixel for pixel, at a fraction of its memory and time.

#include <climits>
#include <cstring>
#include <memory>

#include "media/TWMediaJpeg.h"

namespace {

// Two tables a channel, alternate pixels in each, so that runs of one value do not chain
// their increments.
struct Tallies {
    uint32_t red[2][256] = {}, green[2][256] = {}, blue[2][256] = {};

    void add(int lane, int r, int g, int b) {
        ++red[lane][r];
        ++green[lane][g];
        ++blue[lane][b];
    }

    void addRgb(const JSAMPLE* row, JDIMENSION width) {
        JDIMENSION x = 0;
        for (; x + 2 <= width; x += 2, row += 6) {
            add(0, row[0], row[1], row[2]);
            add(1, row[3], row[4], row[5]);
        }
        if (x < width) add(0, row[0], row[1], row[2]);
    }

    // libgd's conversion: each ink taken away from white, then the black.
    void addCmyk(const JSAMPLE* row, JDIMENSION width, bool inverted) {
        const int flip = inverted ? 255 : 0;
        for (JDIMENSION x = 0; x < width; ++x, row += 4) {
            const int c = row[0] ^ flip, m = row[1] ^ flip, y = row[2] ^ flip, k = row[3] ^ flip;
            add(x & 1, (255 - c) * (255 - k) / 255, (255 - m) * (255 - k) / 255, (255 - y) * (255 - k) / 255);
        }
    }

    void into(TWMediaColourCounts& counts) const {
        for (int v = 0; v < 256; ++v) {
            counts.red[v] = red[0][v] + red[1][v];
            counts.green[v] = green[0][v] + green[1][v];
            counts.blue[v] = blue[0][v] + blue[1][v];
        }
    }
};

// Photoshop writes CMYK inverted and says so in an APP14 segment that starts "Adobe".
bool adobeInverted(const jpeg_decompress_struct& info) {
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next)
        if (marker->marker == JPEG_APP0 + 14 && marker->data_length >= 12 &&
            std::strncmp(reinterpret_cast<const char*>(marker->data), "Adobe", 5) == 0)
            return true;
    return false;
}

// Everything one decode owns; released whichever way the decode ends.
struct Decode {
    jpeg_decompress_struct info{};
    twmedia::JpegErrors errors{};
    twmedia::JpegSource source{};
    std::unique_ptr<JSAMPLE[]> row;
    Tallies tallies;
};

// Decodes and counts into `decode.tallies`; a libjpeg error longjmps to the caller's
// setjmp, so nothing here may own what the jump would leak. Kept out of the caller: in
// a function that calls setjmp the compiler keeps values in memory, not in registers,
// which slowed the counting loop by half.
[[gnu::noinline]] bool countRows(Decode& decode, uint64_t memoryLimit) {
    jpeg_decompress_struct& info = decode.info;
    info.mem->max_memory_to_use = static_cast<long>(std::min<uint64_t>(memoryLimit, LONG_MAX));
    jpeg_save_markers(&info, JPEG_APP0 + 14, 256);
    jpeg_read_header(&info, TRUE);
    // libgd's image holds width x height ints: it refuses what that would overflow, and
    // the counters (int32 in the histogram) could not hold it either.
    if (uint64_t(info.image_width) * info.image_height > uint64_t(INT_MAX)) return false;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != (cmyk ? 4 : 3)) return false;
    const bool inverted = cmyk && adobeInverted(info);
    decode.row.reset(new JSAMPLE[size_t(info.output_width) * info.output_components]);
    JSAMPROW rows[] = {decode.row.get()};
    while (info.output_scanline < info.output_height) {
        if (jpeg_read_scanlines(&info, rows, 1) != 1) return false;
        if (cmyk)
            decode.tallies.addCmyk(rows[0], info.output_width, inverted);
        else
            decode.tallies.addRgb(rows[0], info.output_width);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

int twmedia::countColours(const TWMediaFile* file, const char* path, uint64_t memoryLimit,
                          TWMediaColourCounts* counts) {
    if (!decodedAsJpeg(file, path)) return TWMediaCountOtherRoad;
    auto decode = std::make_unique<Decode>();
    if (setjmp(decode->errors.jump)) {
        char message[JMSG_LENGTH_MAX];
        decode->errors.manager.format_message(reinterpret_cast<j_common_ptr>(&decode->info), message);
        twmedia::log("libjpeg: %s", message);
        jpeg_destroy_decompress(&decode->info);
        return TWMediaCountFailed;
    }
    attachJpeg(decode->info, decode->source, decode->errors, file);
    const bool counted = countRows(*decode, memoryLimit);
    if (counted) {
        counts->width = static_cast<int>(decode->info.output_width);
        counts->height = static_cast<int>(decode->info.output_height);
        decode->tallies.into(*counts);
    }
    jpeg_destroy_decompress(&decode->info);
    return counted ? TWMediaCounted : TWMediaCountFailed;
}
