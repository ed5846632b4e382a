#pragma once
// Helpers of the engine suites: digests computed outside the code under test, and
// images made in memory.

#include <gd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "TestSupport.h"

namespace enginetest {

// The MD5 of `bytes` as md5sum computes it, in upper case.
inline std::string md5sumOf(const std::string& bytes) {
    twtest::TempDir dir("twinsift-md5");
    std::string path = dir.write("sample", bytes);
    std::string command = "md5sum '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return "popen failed";
    char line[128] = {};
    if (!fgets(line, sizeof line, pipe.get())) return "md5sum failed";
    std::string hex(line, 32);
    for (char& c : hex) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return hex;
}

enum class ImageFormat { png, jpeg };

// An image file's bytes of the given size, drawn with libgd.
inline std::string imageBytes(int width, int height, ImageFormat format) {
    gdImagePtr image = gdImageCreateTrueColor(width, height);
    if (!image) return {};
    gdImageFilledRectangle(image, 0, 0, width / 2, height / 2, gdTrueColor(200, 30, 30));
    int size = 0;
    void* data = nullptr;
    switch (format) {
        case ImageFormat::png:
            data = gdImagePngPtr(image, &size);
            break;
        case ImageFormat::jpeg:
            data = gdImageJpegPtr(image, &size, 80);
            break;
    }
    std::string bytes = data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size)) : std::string();
    gdFree(data);
    gdImageDestroy(image);
    return bytes;
}

// An uncompressed 24-bit TGA without the optional footer (libgd writes no TGA).
inline std::string tgaBytes(int width, int height) {
    std::string bytes(18, '\0');
    bytes[2] = 2;  // true colour, uncompressed
    bytes[12] = static_cast<char>(width & 0xFF);
    bytes[13] = static_cast<char>(width >> 8);
    bytes[14] = static_cast<char>(height & 0xFF);
    bytes[15] = static_cast<char>(height >> 8);
    bytes[16] = 24;
    bytes[17] = 0x20;  // top-left origin
    bytes += std::string(static_cast<size_t>(width * height * 3), '\x7f');
    return bytes;
}

}  // namespace enginetest
