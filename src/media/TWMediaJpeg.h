#pragma once
// libjpeg over a file the core opened: the source that reads it by positioned reads and
// the error handler that returns to the caller's setjmp. Shared by the image module's
// JPEG decoders; each decode owns its own pair, so any thread may decode.

#include <setjmp.h>

#include <cstdint>
#include <cstdio>

#include "media/TWMediaInternal.h"

extern "C" {
#include <jpeglib.h>
}

namespace twmedia {

struct JpegSource {
    jpeg_source_mgr manager;
    const TWMediaFile* file;
    uint64_t offset;
    JOCTET buffer[65536];
};

// A fatal libjpeg error longjmps to `jump`; warnings (damaged data that libjpeg decodes
// around, a file that ends early) are silent and the decode goes on.
struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

// Sets up `info` to read `file` from its start through `source`, errors to `errors`.
void attachJpeg(jpeg_decompress_struct& info, JpegSource& source, JpegErrors& errors, const TWMediaFile* file);

}  // namespace twmedia
