// Pixel sizes (Exiv2, then libgd) and decoding (libgd) of files the core opened.

#include <strings.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "media/TWMediaInternal.h"

// Exiv2 0.27 still hands out std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

// Decoding for the size alone is bounded: an image file larger than this is not
// worth reading whole when its header could not tell its size.
constexpr size_t kDecodeLimit = 256u << 20;

// The whole content, at most `limit` bytes; nullopt on a read error.
std::optional<std::vector<unsigned char>> readAll(const TWMediaFile& file, size_t limit) {
    std::vector<unsigned char> data;
    unsigned char chunk[65536];
    uint64_t offset = 0;
    while (data.size() < limit) {
        const size_t want = std::min(sizeof chunk, limit - data.size());
        const long n = file.readAt(file.handle, offset, chunk, want);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        data.insert(data.end(), chunk, chunk + n);
        offset += static_cast<uint64_t>(n);
    }
    return data;
}

// An Exiv2 reader over an already opened file. Exiv2 is never given a path: it reads
// through the file's positioned reads, and only parsers that ask for the whole file
// (TIFF-based formats map it) get it read into memory.
class OpenedFileIo : public Exiv2::BasicIo {
public:
    explicit OpenedFileIo(const TWMediaFile& file) : file_(file), size_(file.size) {}

    int open() override {
        position_ = 0;
        eof_ = false;
        return 0;
    }
    int close() override { return 0; }
    long write(const Exiv2::byte*, long) override { return 0; }
    long write(Exiv2::BasicIo&) override { return 0; }
    int putb(Exiv2::byte) override { return EOF; }
    Exiv2::DataBuf read(long rcount) override {
        Exiv2::DataBuf buffer(rcount > 0 ? rcount : 0);
        long n = read(buffer.pData_, rcount);
        buffer.size_ = n;
        return buffer;
    }
    long read(Exiv2::byte* buf, long rcount) override {
        if (rcount <= 0) return 0;
        if (position_ >= size_) {
            eof_ = true;
            return 0;
        }
        long n = file_.readAt(file_.handle, position_, buf, static_cast<size_t>(rcount));
        if (n < 0) {
            error_ = errno ? errno : EIO;
            return 0;
        }
        position_ += static_cast<uint64_t>(n);
        if (n < rcount) eof_ = true;
        return n;
    }
    int getb() override {
        Exiv2::byte b = 0;
        return read(&b, 1) == 1 ? b : EOF;
    }
    void transfer(Exiv2::BasicIo&) override { throw Exiv2::Error(Exiv2::kerFunctionNotSupported, "transfer"); }
    int seek(long offset, Position pos) override {
        int64_t base = pos == beg ? 0 : pos == cur ? static_cast<int64_t>(position_) : static_cast<int64_t>(size_);
        int64_t target = base + offset;
        if (target < 0 || target > static_cast<int64_t>(size_)) return 1;
        position_ = static_cast<uint64_t>(target);
        eof_ = false;
        return 0;
    }
    Exiv2::byte* mmap(bool isWriteable) override {
        if (isWriteable) throw Exiv2::Error(Exiv2::kerFunctionNotSupported, "writeable mmap");
        if (!whole_) {
            if (size_ > kDecodeLimit) throw Exiv2::Error(Exiv2::kerCallFailed, "mmap", "file too large", "read");
            auto data = readAll(file_, size_);
            if (!data) throw Exiv2::Error(Exiv2::kerCallFailed, "mmap", std::strerror(errno), "read");
            whole_ = std::move(*data);
            whole_->resize(size_);
        }
        return whole_->data();
    }
    int munmap() override { return 0; }
    long tell() const override { return static_cast<long>(position_); }
    size_t size() const override { return static_cast<size_t>(size_); }
    bool isopen() const override { return true; }
    int error() const override { return error_; }
    bool eof() const override { return eof_; }
    std::string path() const override { return "(opened file)"; }

private:
    const TWMediaFile& file_;
    uint64_t size_;
    uint64_t position_ = 0;
    bool eof_ = false;
    int error_ = 0;
    std::optional<std::vector<unsigned char>> whole_;
};

struct Size {
    int width = 0;
    int height = 0;
    bool isZero() const { return width <= 0 || height <= 0; }
};

// Pixel size as the header states it. Parsers that throw midway may already have read
// the size (a PNG's IHDR comes before a damaged chunk), so it is asked either way.
Size headerSize(Exiv2::BasicIo::AutoPtr io) {
    Exiv2::Image::AutoPtr image;
    try {
        image = Exiv2::ImageFactory::open(io);
    } catch (const std::exception&) {
        return {};
    }
    if (!image.get()) return {};
    try {
        image->readMetadata();
    } catch (const std::exception&) {
    }
    int width = image->pixelWidth();
    int height = image->pixelHeight();
    if (width <= 0 || height <= 0) return {};
    return Size{width, height};
}

struct GdImageFree {
    void operator()(gdImagePtr image) const {
        if (image) gdImageDestroy(image);
    }
};
using GdImage = std::unique_ptr<gdImage, GdImageFree>;

bool startsWith(const unsigned char* data, size_t length, const char* magic, size_t magicLength, size_t at = 0) {
    return length >= at + magicLength && std::memcmp(data + at, magic, magicLength) == 0;
}

// TGA has no signature (and the footer that names it is optional, which is why the
// header reader may not recognise one): a known image type and pixel depth will do.
bool looksLikeTga(const unsigned char* data, size_t length) {
    if (length < 18 || data[1] > 1) return false;
    const unsigned char type = data[2];
    const unsigned char depth = data[16];
    const bool knownType = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    return knownType && (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
}

// Decodes with the reader that the first bytes name; zero when none does.
Size decodedSize(const unsigned char* data, size_t length) {
    if (length > static_cast<size_t>(INT32_MAX)) return {};
    int size = static_cast<int>(length);
    void* bytes = const_cast<unsigned char*>(data);
    gdImagePtr raw = nullptr;
    if (startsWith(data, length, "\x89PNG", 4)) {
        raw = gdImageCreateFromPngPtr(size, bytes);
    } else if (startsWith(data, length, "\xFF\xD8", 2)) {
        raw = gdImageCreateFromJpegPtr(size, bytes);
    } else if (startsWith(data, length, "GIF8", 4)) {
        raw = gdImageCreateFromGifPtr(size, bytes);
    } else if (startsWith(data, length, "BM", 2)) {
        raw = gdImageCreateFromBmpPtr(size, bytes);
    } else if (startsWith(data, length, "II*\0", 4) || startsWith(data, length, "MM\0*", 4)) {
        raw = gdImageCreateFromTiffPtr(size, bytes);
    } else if (startsWith(data, length, "RIFF", 4) && startsWith(data, length, "WEBP", 4, 8)) {
        raw = gdImageCreateFromWebpPtr(size, bytes);
    } else if (looksLikeTga(data, length)) {
        raw = gdImageCreateFromTgaPtr(size, bytes);
    }
    GdImage image(raw);
    if (!image || gdImageSX(image.get()) <= 0 || gdImageSY(image.get()) <= 0) return {};
    return Size{gdImageSX(image.get()), gdImageSY(image.get())};
}

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

Reader readerForPath(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (!dot) return nullptr;
    for (const auto& entry : kEndingReaders)
        if (strcasecmp(dot, entry.ending) == 0) return entry.reader;
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

gdImagePtr decodeWith(const TWMediaFile& file, Reader reader) {
    FILE* stream = file.openStream(file.handle);
    if (!stream) return nullptr;
    gdImagePtr image = reader(stream);
    fclose(stream);
    return image;
}

// libgd's complaints about a broken file become single lines of the log instead of
// unterminated text on standard error.
void logGdMessage(int /*priority*/, const char* format, va_list args) {
    char message[512];
    vsnprintf(message, sizeof message, format, args);
    size_t length = strlen(message);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == ' ')) message[--length] = '\0';
    twmedia::log("libgd: %s", message);
}

}  // namespace

void twmedia::routeLibraryMessages() {
    gdSetErrorMethod(logGdMessage);
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
}

void twmedia::headerPixelSize(const TWMediaFile* file, int* width, int* height) {
    const Size size = file->size == 0 ? Size{} : headerSize(Exiv2::BasicIo::AutoPtr(new OpenedFileIo(*file)));
    *width = size.width;
    *height = size.height;
}

void twmedia::pixelSize(const TWMediaFile* file, int* width, int* height) {
    *width = 0;
    *height = 0;
    if (file->size == 0) return;
    Size size = headerSize(Exiv2::BasicIo::AutoPtr(new OpenedFileIo(*file)));
    if (size.isZero() && file->size <= kDecodeLimit) {
        auto data = readAll(*file, kDecodeLimit);
        if (!data) return;
        size = decodedSize(data->data(), data->size());
    }
    if (size.isZero()) return;
    *width = size.width;
    *height = size.height;
}

gdImagePtr twmedia::decodeImage(const TWMediaFile* file, const char* path) {
    if (Reader byName = readerForPath(path)) {
        if (gdImagePtr image = decodeWith(*file, byName)) return image;
    }
    unsigned char head[8];
    if (file->readAt(file->handle, 0, head, sizeof head) != static_cast<long>(sizeof head)) return nullptr;
    Reader byContent = readerForLeadingBytes(head);
    if (!byContent) return nullptr;
    return decodeWith(*file, byContent);
}

bool twmedia::decodedAsJpeg(const TWMediaFile* file, const char* path) {
    const Reader byName = readerForPath(path);
    if (byName && byName != gdImageCreateFromJpeg) return false;
    unsigned char head[8];
    if (file->readAt(file->handle, 0, head, sizeof head) != static_cast<long>(sizeof head)) return false;
    return readerForLeadingBytes(head) == gdImageCreateFromJpeg;
}

#pragma GCC diagnostic pop
