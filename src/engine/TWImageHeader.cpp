#include "TWImageHeader.h"

#include <gd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "SafeFile.h"

// Exiv2 0.27 still hands out std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

// Decoding for the size alone is bounded: an image file larger than this is not
// worth reading whole when its header could not tell its size.
constexpr size_t kDecodeLimit = 256u << 20;

// An Exiv2 reader over an already opened file. Exiv2 is never given a path: it reads
// through pread on the safe descriptor, and only parsers that ask for the whole file
// (TIFF-based formats map it) get it read into memory.
class SafeFileIo : public Exiv2::BasicIo {
public:
    explicit SafeFileIo(const tw::SafeFile& file) : file_(file), size_(file.size()) {}

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
        long n = file_.readAt(position_, buf, static_cast<size_t>(rcount));
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
            auto data = file_.readAll(size_);
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
    const tw::SafeFile& file_;
    uint64_t size_;
    uint64_t position_ = 0;
    bool eof_ = false;
    int error_ = 0;
    std::optional<std::vector<unsigned char>> whole_;
};

void muteExiv2() {
    static std::once_flag once;
    std::call_once(once, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

// Pixel size as the header states it. Parsers that throw midway may already have read
// the size (a PNG's IHDR comes before a damaged chunk), so it is asked either way.
TWSize headerSize(Exiv2::BasicIo::AutoPtr io) {
    muteExiv2();
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
    return TWSize{static_cast<double>(width), static_cast<double>(height)};
}

struct GdImageFree {
    void operator()(gdImagePtr image) const {
        if (image) gdImageDestroy(image);
    }
};

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
TWSize decodedSize(const unsigned char* data, size_t length) {
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
    std::unique_ptr<gdImage, GdImageFree> image(raw);
    if (!image || gdImageSX(image.get()) <= 0 || gdImageSY(image.get()) <= 0) return {};
    return TWSize{static_cast<double>(gdImageSX(image.get())), static_cast<double>(gdImageSY(image.get()))};
}

}  // namespace

TWSize TWImageHeader::pixelSizeOfFile(const std::string& path) {
    auto file = tw::SafeFile::open(path);
    if (!file || file->size() == 0) return {};
    TWSize size = headerSize(Exiv2::BasicIo::AutoPtr(new SafeFileIo(*file)));
    if (!size.isZero() || file->size() > kDecodeLimit) return size;
    auto data = file->readAll(kDecodeLimit);
    if (!data) return {};
    return decodedSize(data->data(), data->size());
}

#pragma GCC diagnostic pop
