#pragma once
// Decoding of image files with libgd for the colour histograms and the two-file
// comparison, through the image module (MediaModule.h). Safe from any thread (libgd's
// readers keep no shared state).
//
// Only libgd's structures are used here: the core does not link libgd.

#include <gd.h>

#include <memory>
#include <string>

#include "platform/SafeFile.h"

// Releases an image decoded by zpDecodeImage (or made with the libgd the module uses).
void zpDestroyImage(gdImagePtr image);

struct ZPGdImageDeleter {
    void operator()(gdImagePtr image) const {
        if (image) zpDestroyImage(image);
    }
};
using ZPGdImage = std::unique_ptr<gdImage, ZPGdImageDeleter>;

// Decodes the opened `file`. The reader is chosen first by the text after the last "."
// of `path`, ignoring case, among gif, gd, wbmp, bmp, xbm, tga, png, jpg, jpeg, tiff,
// tif and gd2; when that yields nothing (another ending, or the reader failed), by the
// file's first 8 bytes: "GIF8" for GIF, FF D8 FF for JPEG, the PNG signature for PNG.
// Null when neither yields an image (fewer than 8 bytes, another start, a failed read)
// or when the image module cannot be loaded.
// `path` only names the reader: the file is never opened again by its name.
ZPGdImage zpDecodeImage(const tw::SafeFile& file, const std::string& path);
