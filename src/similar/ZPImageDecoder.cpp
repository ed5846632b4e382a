#include "ZPImageDecoder.h"

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "Log.h"

namespace {

using Reader = gdImagePtr (*)(FILE*);

// The readers libgd's load-by-name operation chooses by a file name's ending.
struct EndingReader {
    const char* ending;
    Reader reader;
};
const EndingReader kEndingReaders[] = {
    {".gif", gdImageCreateFromGif},   {".gd", gdImageCreateFromGd},    {".wbmp", gdImageCreateFromWBMP},
    {".bmp", gdImageCreateFromBmp},   {".xbm", gdImageCreateFromXbm},  {".tga", gdImageCreateFromTga},
    {".png", gdImageCreateFromPng},   {".jpg", gdImageCreateFromJpeg}, {".jpeg", gdImageCreateFromJpeg},
    {".tiff", gdImageCreateFromTiff}, {".tif", gdImageCreateFromTiff}, {".gd2", gdImageCreateFromGd2},
};

Reader readerForPath(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos) return nullptr;
    const char* ending = path.c_str() + dot;
    for (const auto& entry : kEndingReaders)
        if (strcasecmp(ending, entry.ending) == 0) return entry.reader;
    return nullptr;
}

Reader readerForLeadingBytes(const unsigned char (&head)[8]) {
    static const unsigned char kGif[] = {0x47, 0x49, 0x46, 0x38};
    static const unsigned char kJpeg[] = {0xFF, 0xD8, 0xFF};
    static const unsigned char kPng[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(head, kGif, sizeof kGif) == 0) return gdImageCreateFromGif;
    if (std::memcmp(head, kJpeg, sizeof kJpeg) == 0) return gdImageCreateFromJpeg;
    if (std::memcmp(head, kPng, sizeof kPng) == 0) return gdImageCreateFromPng;
    return nullptr;
}

// libgd's complaints about a broken file become single lines of our log instead of
// unterminated text on standard error.
void logGdMessage(int /*priority*/, const char* format, va_list args) {
    char message[512];
    vsnprintf(message, sizeof message, format, args);
    size_t length = strlen(message);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == ' ')) message[--length] = '\0';
    tw::log("libgd: %s", message);
}

ZPGdImage decodeWith(const tw::SafeFile& file, Reader reader) {
    tw::SafeFile::FilePtr stream = file.openStream();
    if (!stream) return nullptr;
    return ZPGdImage(reader(stream.get()));
}

}  // namespace

ZPGdImage zpDecodeImage(const tw::SafeFile& file, const std::string& path) {
    static std::once_flag routeMessages;
    std::call_once(routeMessages, [] { gdSetErrorMethod(logGdMessage); });
    if (Reader byName = readerForPath(path)) {
        if (ZPGdImage image = decodeWith(file, byName)) return image;
    }
    unsigned char head[8];
    if (file.readAt(0, head, sizeof head) != static_cast<long>(sizeof head)) return nullptr;
    Reader byContent = readerForLeadingBytes(head);
    if (!byContent) return nullptr;
    return decodeWith(file, byContent);
}
