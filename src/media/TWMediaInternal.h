#pragma once
// Shared between the image module's sources; never seen by the core.

#include "platform/TWMediaModule.h"

namespace twmedia {

// printf-style, to the core's log.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Set up once, when the module is opened: library messages go to the core's log.
void routeLibraryMessages();

void pixelSize(const TWMediaFile* file, int* width, int* height);
gdImagePtr decodeImage(const TWMediaFile* file, const char* path);
int fillCvecFromImage(PuzzleContext* context, gdImagePtr image, PuzzleCvec* vector);
void applyOptions(PuzzleContext* context, const TWMediaPuzzleOptions* options);

}  // namespace twmedia
