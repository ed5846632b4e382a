#pragma once
// The boundary between the core and the image module, a shared object loaded on the
// first image met (see platform/MediaModule.h). Everything that calls libgd, libpuzzle
// or Exiv2 lives behind it, so that a scan that meets no image never maps those
// libraries and the dozens they pull in.
//
// Plain C types only: the module and the core are built together, but the module is
// found at run time, and the version below refuses a module of another build's layout.
// Images and vectors cross as libgd's and libpuzzle's own structures (their headers are
// used by both sides; only the module links the libraries).

#include <gd.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

extern "C" {
#include <puzzle.h>
}

extern "C" {

// Raised whenever a structure below changes.
#define TW_MEDIA_ABI_VERSION 3u

// The module's one exported symbol, of type TWMediaEntry.
#define TW_MEDIA_ENTRY_NAME "twinsift_media_functions"

// A file the core opened safely. The module reads it only through these calls, never by
// a path. Every call is safe from the thread that owns the file.
struct TWMediaFile {
    void* handle;
    uint64_t size;  // at opening
    // Reads up to `length` bytes at `offset` (fewer only at the end); -1 with errno set
    // on a read error.
    long (*readAt)(void* handle, uint64_t offset, void* buffer, size_t length);
    // A new stdio stream over the file, at its start; the module closes it. Null on
    // failure.
    FILE* (*openStream)(void* handle);
};

// The settings libpuzzle's setters are given, in the core's units.
struct TWMediaPuzzleOptions {
    int autoCrop;
    double maxCroppingRatio;
    double contrastBarrierForCropping;
    uint32_t maxWidth;
    uint32_t maxHeight;
    uint32_t lambdas;
    double pRatio;
    double noiseCutOff;
};

// What a picture's header tells before anything is decoded.
enum TWMediaFormat {
    TWMediaFormatUnknown = 0,
    TWMediaFormatJpeg,
    TWMediaFormatPng,
    TWMediaFormatGif,
    TWMediaFormatBmp,
    TWMediaFormatTiff
};
struct TWMediaImageInfo {
    int format;  // TWMediaFormat, by the first bytes
    int width;   // in pixels; 0 (with height) when the header cannot tell
    int height;
    // The most memory each decode below may take for this picture (pixels and the
    // decoder's own buffers), estimated from the header; 0 when the header cannot tell.
    uint64_t fullDecodeBytes;    // decodeImage
    uint64_t squareDecodeBytes;  // decodeSquare with the `minSide` given to imageInfo
    uint64_t countDecodeBytes;   // countColours, when it counts the picture itself (a JPEG)
};

// A picture's colours, counted as it is decoded: each value of each channel, over all
// width x height pixels.
struct TWMediaColourCounts {
    int width;
    int height;
    uint32_t red[256];
    uint32_t green[256];
    uint32_t blue[256];
};

// What countColours did.
enum TWMediaCountResult {
    TWMediaCountFailed = -1,    // the picture cannot be decoded (or would take more than the limit)
    TWMediaCountOtherRoad = 0,  // not a picture it decodes: decodeImage does, into a whole image
    TWMediaCounted = 1,
};

// What the core lends the module for its lifetime (the process's).
struct TWMediaHost {
    uint32_t abiVersion;
    // One line of the core's log (no trailing newline). Safe from any thread.
    void (*log)(const char* line);
};

// All functions are safe from any thread on distinct arguments.
struct TWMediaFunctions {
    uint32_t abiVersion;

    // Width and height in pixels as the header states them, else by decoding (files up
    // to 256 MiB); both zero when the file is not a readable image.
    void (*pixelSize)(const TWMediaFile* file, int* width, int* height);

    // The decoded image, the reader chosen by the ending of `path` (a name only, never
    // opened), then by the first bytes; null when none yields an image.
    gdImagePtr (*decodeImage)(const TWMediaFile* file, const char* path);
    void (*destroyImage)(gdImagePtr image);

    // The header's account of the picture, reading a few kilobytes at most. Only a
    // picture whose format is known can be decoded by the two calls below.
    void (*imageInfo)(const TWMediaFile* file, int minSide, TWMediaImageInfo* info);
    // The picture as a true-colour square of `side` x `side` pixels (transparent parts
    // on white), decoded at the smallest scale whose shorter side keeps at least
    // `minSide` pixels where the format allows it (JPEG's DCT scaling), else in full.
    // Null when it cannot be decoded, or would take more than `memoryLimit` bytes.
    gdImagePtr (*decodeSquare)(const TWMediaFile* file, const char* path, int minSide, int side, uint64_t memoryLimit);
    // The colours of a JPEG that decodeImage would decode with its JPEG reader (the
    // ending of `path` names JPEG or no reader, and the first bytes are JPEG's), counted
    // row by row as they are decoded, never holding the whole picture: the same counts,
    // pixel for pixel, as the image decodeImage returns. TWMediaCountOtherRoad for any
    // other file, with `counts` untouched. Never asks libjpeg for more than
    // `memoryLimit` bytes.
    int (*countColours)(const TWMediaFile* file, const char* path, uint64_t memoryLimit, TWMediaColourCounts* counts);

    void (*initContext)(PuzzleContext* context);
    void (*freeContext)(PuzzleContext* context);
    // Each setter in turn; a value the library refuses leaves its field unchanged.
    void (*applyOptions)(PuzzleContext* context, const TWMediaPuzzleOptions* options);
    void (*initCvec)(PuzzleContext* context, PuzzleCvec* vector);
    void (*freeCvec)(PuzzleContext* context, PuzzleCvec* vector);
    // Fills `vector` from the pixels of `image` (not from its file); 0 on success.
    int (*fillCvecFromImage)(PuzzleContext* context, gdImagePtr image, PuzzleCvec* vector);
    // libpuzzle's quantisation of `count` neighbour differences into `out` (each -2..2,
    // by the context's noise cut-off and the medians of the lighter and darker ones);
    // 0 on success.
    int (*cvecFromDifferences)(PuzzleContext* context, const double* differences, size_t count, signed char* out);
    double (*vectorNormalizedDistance)(PuzzleContext* context, const PuzzleCvec* a, const PuzzleCvec* b,
                                       int fixForTexts);
};

// Null when `host` is of another version.
typedef const TWMediaFunctions* (*TWMediaEntry)(const TWMediaHost* host);

}  // extern "C"
