#pragma once
// The pixel size of an image file, read from its header (Exiv2) and, only where the
// header does not tell, by decoding it (libgd). Every byte is read through the safe
// open; the libraries are those of the image module (MediaModule.h), and without it
// every size is zero. Safe from any thread.

#include <string>

#include "files/TWImage.h"

class TWImageHeader {
public:
    // Width and height in pixels as stored (before any orientation is applied); zero
    // when the file cannot be opened, is not a regular file or is not a readable image.
    static TWSize pixelSizeOfFile(const std::string& path);
};
