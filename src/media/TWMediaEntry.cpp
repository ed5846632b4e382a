#include <cstdarg>
#include <cstdio>
#include <type_traits>

#include "media/TWMediaInternal.h"

namespace {

const TWMediaHost* gHost = nullptr;

const TWMediaFunctions kFunctions = {
    TW_MEDIA_ABI_VERSION,
    twmedia::pixelSize,
    twmedia::decodeImage,
    [](gdImagePtr image) {
        if (image) gdImageDestroy(image);
    },
    twmedia::imageInfo,
    twmedia::decodeSquare,
    twmedia::countColours,
    puzzle_init_context,
    puzzle_free_context,
    twmedia::applyOptions,
    puzzle_init_cvec,
    puzzle_free_cvec,
    twmedia::fillCvecFromImage,
    twmedia::cvecFromDifferences,
    [](PuzzleContext* context, const PuzzleCvec* a, const PuzzleCvec* b, int fixForTexts) {
        return puzzle_vector_normalized_distance(context, a, b, fixForTexts);
    },
};

}  // namespace

void twmedia::log(const char* format, ...) {
    if (!gHost || !gHost->log) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    gHost->log(line);
}

// The core calls this once, under its own once-only guard.
extern "C" __attribute__((visibility("default"))) const TWMediaFunctions* twinsift_media_functions(
    const TWMediaHost* host) {
    if (!host || host->abiVersion != TW_MEDIA_ABI_VERSION) return nullptr;
    gHost = host;
    twmedia::routeLibraryMessages();
    return &kFunctions;
}

static_assert(std::is_same_v<decltype(&twinsift_media_functions), TWMediaEntry>);
