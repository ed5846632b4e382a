#include "similar/ZPImageSignature.h"

#include <cinttypes>
#include <cstdio>

#include "platform/Log.h"
#include "platform/MediaModule.h"
#include "platform/SafeFile.h"
#include "similar/ZPDecodeBudget.h"
#include "similar/ZPImageDecoder.h"
#include "similar/ZPInternalCheck.h"
#include "similar/ZPSimilarContext.h"

namespace {

constexpr unsigned long kPuzzleContextMagic = 0xdeadbeef;

std::string format(const char* pattern, double value) {
    char buffer[64];
    snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::nullptr_t unreadable(const std::string& path) {
    tw::log("Unable to read [%s], please check image", path.c_str());
    return nullptr;
}

struct OpenedPicture {
    tw::SafeFile file;
    TWMediaImageInfo info;
};

// The file opened safely and its header read; nothing (logged) when there is no image
// module or the file cannot be opened.
std::optional<OpenedPicture> openPicture(const std::string& path) {
    const TWMediaFunctions* media = tw::mediaModule();
    std::optional<tw::SafeFile> file = media ? tw::SafeFile::open(path) : std::nullopt;
    if (!file) {
        unreadable(path);
        return std::nullopt;
    }
    OpenedPicture picture{std::move(*file), {}};
    const tw::MediaFileView view(picture.file);
    media->imageInfo(view.get(), ZPLookSignature::kDecodeMinSide, &picture.info);
    return picture;
}

// The budget's bytes for a decode, or nothing (logged) for a decode larger than the
// whole budget, which is never made. A header that tells no size (a format whose header
// is not read here, such as WebP or TGA, or no picture at all) takes the whole budget:
// such a picture is still decoded as before, but alone.
std::optional<ZPDecodeBudget::Lease> leaseFor(const std::string& path, const TWMediaImageInfo& info, uint64_t bytes,
                                              ZPDecodeBudget& budget) {
    if (bytes == 0) bytes = budget.totalBytes();
    std::optional<ZPDecodeBudget::Lease> lease = budget.acquire(bytes);
    if (!lease) {
        tw::log("Not decoded [%s]: %dx%d pixels would take %llu MB, more than the decoding budget of %llu MB",
                path.c_str(), info.width, info.height, static_cast<unsigned long long>(bytes >> 20),
                static_cast<unsigned long long>(budget.totalBytes() >> 20));
        unreadable(path);
    }
    return lease;
}

// A JPEG's colours, counted by the image module as it decodes the picture row by row:
// its lease covers one row and libjpeg's own buffers, not the whole picture.
// TWMediaCountOtherRoad leaves `histogram` and `resolution` untouched; on failure the
// "Unable to read" line is logged.
int countByRows(const std::string& path, const OpenedPicture& picture, ZPDecodeBudget& budget,
                PuzzleHistogram& histogram, TWSize& resolution) {
    std::optional<ZPDecodeBudget::Lease> lease = leaseFor(path, picture.info, picture.info.countDecodeBytes, budget);
    if (!lease) return TWMediaCountFailed;
    const tw::MediaFileView view(picture.file);
    auto counts = std::make_unique<TWMediaColourCounts>();
    const int result = tw::mediaModule()->countColours(view.get(), path.c_str(), lease->bytes(), counts.get());
    if (result == TWMediaCountFailed) unreadable(path);
    if (result != TWMediaCounted) return result;
    puzzleAddCounts(counts->width, counts->height, counts->red, counts->green, counts->blue, histogram);
    resolution = TWSize{double(counts->width), double(counts->height)};
    return result;
}

// Any picture, decoded whole into an image whose pixels are then counted.
bool countWholeImage(const std::string& path, const OpenedPicture& picture, ZPDecodeBudget& budget,
                     PuzzleHistogram& histogram, TWSize& resolution) {
    std::optional<ZPDecodeBudget::Lease> lease = leaseFor(path, picture.info, picture.info.fullDecodeBytes, budget);
    if (!lease) return false;
    ZPGdImage image = zpDecodeImage(picture.file, path);
    if (!image) {
        unreadable(path);
        return false;
    }
    puzzleCountImage(*image, histogram);
    resolution = TWSize{static_cast<double>(gdImageSX(image.get())), static_cast<double>(gdImageSY(image.get()))};
    return true;
}

}  // namespace

ZPImageSignature::ZPImageSignature(std::string path, std::unique_ptr<PuzzleHistogram> histogram,
                                   const PuzzleContext* context, TWSize resolution, uint64_t size,
                                   std::optional<ZPLookSignature> look)
    : pathfile_(std::move(path)),
      histogram_(std::move(histogram)),
      look_(std::move(look)),
      summary_(histogram_ ? puzzleSummarizeHistogram(*histogram_) : PuzzleHistogramSummary{}),
      context_(context),
      resolution_(resolution),
      size_(size) {}

const PuzzleHistogram& ZPImageSignature::histogram() const {
    static const PuzzleHistogram kEmpty;
    return histogram_ ? *histogram_ : kEmpty;
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::initWithPathFile(const std::string& path,
                                                                     const ZPSimilarContext& context) {
    if (context.similarMethod() == TWSimilarMethodLook) return initLookWithPathFile(path, context.decodeBudget());
    return signColours(path, context.puzzleContext(), context.decodeBudget());
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::initWithPathFile(const std::string& path) {
    return initWithPathFile(path, static_cast<const PuzzleContext*>(nullptr));
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::initWithPathFile(const std::string& path,
                                                                     const PuzzleContext* context) {
    return signColours(path, context, ZPDecodeBudget::shared());
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::signColours(const std::string& path, const PuzzleContext* context,
                                                                ZPDecodeBudget& budget) {
    if (!context) {
        tw::log("Without MPS Support, context must be setted.");
        return nullptr;
    }
    std::optional<OpenedPicture> picture = openPicture(path);
    if (!picture) return nullptr;
    if (context->magic != kPuzzleContextMagic) zpReportInternalError();
    auto histogram = std::make_unique<PuzzleHistogram>();
    TWSize resolution;
    // A JPEG is counted as it is decoded; the module leaves to the whole-image decode
    // what its reader would not be the one to read.
    const int byRows = picture->info.format == TWMediaFormatJpeg
                           ? countByRows(path, *picture, budget, *histogram, resolution)
                           : TWMediaCountOtherRoad;
    if (byRows == TWMediaCountFailed) return nullptr;
    if (byRows == TWMediaCountOtherRoad && !countWholeImage(path, *picture, budget, *histogram, resolution))
        return nullptr;
    if (resolution.isZero()) return nullptr;
    return std::shared_ptr<ZPImageSignature>(
        new ZPImageSignature(path, std::move(histogram), context, resolution, picture->file.size()));
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::initLookWithPathFile(const std::string& path,
                                                                         ZPDecodeBudget& budget) {
    std::optional<OpenedPicture> picture = openPicture(path);
    if (!picture) return nullptr;
    std::optional<ZPDecodeBudget::Lease> lease = leaseFor(path, picture->info, picture->info.squareDecodeBytes, budget);
    if (!lease) return nullptr;
    const tw::MediaFileView view(picture->file);
    ZPGdImage square(tw::mediaModule()->decodeSquare(view.get(), path.c_str(), ZPLookSignature::kDecodeMinSide,
                                                     ZPLookSignature::kGreySide, lease->bytes()));
    std::optional<ZPLookSignature> look = square ? ZPLookSignature::ofSquare(*square) : std::nullopt;
    if (!look) return unreadable(path);
    const TWSize resolution{double(picture->info.width), double(picture->info.height)};
    return std::shared_ptr<ZPImageSignature>(
        new ZPImageSignature(path, nullptr, nullptr, resolution, picture->file.size(), std::move(look)));
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::withHistogram(const std::string& path,
                                                                  const PuzzleHistogram& histogram, TWSize resolution,
                                                                  uint64_t size) {
    return std::shared_ptr<ZPImageSignature>(
        new ZPImageSignature(path, std::make_unique<PuzzleHistogram>(histogram), nullptr, resolution, size));
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::withLook(const std::string& path, ZPLookSignature look,
                                                             TWSize resolution, uint64_t size) {
    return std::shared_ptr<ZPImageSignature>(
        new ZPImageSignature(path, nullptr, nullptr, resolution, size, std::move(look)));
}

std::string ZPImageSignature::filename() const {
    const size_t slash = pathfile_.rfind('/');
    return slash == std::string::npos ? pathfile_ : pathfile_.substr(slash + 1);
}

std::string ZPImageSignature::sizeText() const {
    return sizeText(size_);
}

std::string ZPImageSignature::sizeText(uint64_t size) {
    if (size <= 1023) {
        char buffer[32];
        snprintf(buffer, sizeof buffer, "%" PRIu64 "B", size);
        return buffer;
    }
    if (size <= 1048575) return format("%.2fKiB", static_cast<double>(size) / 1024.0);
    if (size <= 1073741823) return format("%.2fMiB", static_cast<double>(size) / 1048576.0);
    return format("%.2fGiB", static_cast<double>(size) / 1073741824.0);
}

std::string ZPImageSignature::resolutionText() const {
    char buffer[96];
    snprintf(buffer, sizeof buffer, "%.0fx%.0f", resolution_.width, resolution_.height);
    return buffer;
}

std::shared_ptr<void> ZPImageSignature::userObject() const {
    std::lock_guard<std::mutex> lock(userObjectMutex_);
    return userObject_;
}

void ZPImageSignature::setUserObject(std::shared_ptr<void> object) {
    std::lock_guard<std::mutex> lock(userObjectMutex_);
    userObject_ = std::move(object);
}
