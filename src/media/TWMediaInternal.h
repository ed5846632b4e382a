#pragma once
// Shared between the image module's sources; never seen by the core.

#include "platform/TWMediaModule.h"

namespace twmedia {

// printf-style, to the core's log.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Set up once, when the module is opened: library messages go to the core's log.
void routeLibraryMessages();

void pixelSize(const TWMediaFile* file, int* width, int* height);
// The size as the header states it (Exiv2), never by decoding; zero when it cannot tell.
void headerPixelSize(const TWMediaFile* file, int* width, int* height);
void imageInfo(const TWMediaFile* file, int minSide, TWMediaImageInfo* info);
gdImagePtr decodeSquare(const TWMediaFile* file, const char* path, int minSide, int side, uint64_t memoryLimit);
gdImagePtr decodeImage(const TWMediaFile* file, const char* path);
// Whether decodeImage reads the file with libgd's JPEG reader and nothing else: the
// ending of `path` names that reader or none, and the first bytes are JPEG's.
bool decodedAsJpeg(const TWMediaFile* file, const char* path);
int countColours(const TWMediaFile* file, const char* path, uint64_t memoryLimit, TWMediaColourCounts* counts);
int fillCvecFromImage(PuzzleContext* context, gdImagePtr image, PuzzleCvec* vector);
int cvecFromDifferences(PuzzleContext* context, const double* differences, size_t count, signed char* out);
void applyOptions(PuzzleContext* context, const TWMediaPuzzleOptions* options);

}  // namespace twmedia
