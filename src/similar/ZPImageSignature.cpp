#include "similar/ZPImageSignature.h"

#include <cinttypes>
#include <cstdio>

#include "platform/Log.h"
#include "platform/MediaModule.h"
#include "platform/SafeFile.h"
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

}  // namespace

ZPImageSignature::ZPImageSignature(std::string path, std::unique_ptr<PuzzleHistogram> histogram,
                                   const PuzzleContext* context, TWSize resolution, uint64_t size)
    : pathfile_(std::move(path)),
      histogram_(std::move(histogram)),
      summary_(puzzleSummarizeHistogram(*histogram_)),
      context_(context),
      resolution_(resolution),
      size_(size) {}

std::shared_ptr<ZPImageSignature> ZPImageSignature::initWithPathFile(const std::string& path,
                                                                     const ZPSimilarContext& context) {
    return initWithPathFile(path, context.puzzleContext());
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::initWithPathFile(const std::string& path) {
    return initWithPathFile(path, static_cast<const PuzzleContext*>(nullptr));
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::initWithPathFile(const std::string& path,
                                                                     const PuzzleContext* context) {
    if (!context) {
        tw::log("Without MPS Support, context must be setted.");
        return nullptr;
    }
    // Without the image module no image can be read, and the context was never filled.
    if (!tw::mediaModule()) {
        tw::log("Unable to read [%s], please check image", path.c_str());
        return nullptr;
    }
    if (context->magic != kPuzzleContextMagic) zpReportInternalError();

    std::optional<tw::SafeFile> file = tw::SafeFile::open(path);
    ZPGdImage image = file ? zpDecodeImage(*file, path) : nullptr;
    if (!image) {
        tw::log("Unable to read [%s], please check image", path.c_str());
        return nullptr;
    }
    auto histogram = std::make_unique<PuzzleHistogram>();
    puzzleCountImage(*image, *histogram);
    const TWSize resolution{static_cast<double>(gdImageSX(image.get())), static_cast<double>(gdImageSY(image.get()))};
    image.reset();
    if (resolution.isZero()) return nullptr;
    return std::shared_ptr<ZPImageSignature>(
        new ZPImageSignature(path, std::move(histogram), context, resolution, file->size()));
}

std::shared_ptr<ZPImageSignature> ZPImageSignature::withHistogram(const std::string& path,
                                                                  const PuzzleHistogram& histogram, TWSize resolution,
                                                                  uint64_t size) {
    return std::shared_ptr<ZPImageSignature>(
        new ZPImageSignature(path, std::make_unique<PuzzleHistogram>(histogram), nullptr, resolution, size));
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
