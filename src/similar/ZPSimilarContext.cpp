#include "similar/ZPSimilarContext.h"

#include <algorithm>
#include <cctype>

#include "platform/Log.h"
#include "platform/MediaModule.h"
#include "platform/SafeFile.h"
#include "similar/ZPImageDecoder.h"

namespace {

// A libpuzzle vector, released with its owner.
class Cvec {
public:
    Cvec(const TWMediaFunctions& media, PuzzleContext& context) : media_(media), context_(&context) {
        media_.initCvec(context_, &vector_);
    }
    ~Cvec() { media_.freeCvec(context_, &vector_); }
    Cvec(const Cvec&) = delete;
    Cvec& operator=(const Cvec&) = delete;
    PuzzleCvec* get() { return &vector_; }

private:
    const TWMediaFunctions& media_;
    PuzzleContext* context_;
    PuzzleCvec vector_;
};

// Decodes `path` as the signatures do, refuses images beyond the context's maximum
// size, counts the histogram and computes the vector.
bool measure(const TWMediaFunctions& media, const std::string& path, PuzzleContext& context, PuzzleHistogram& histogram,
             PuzzleCvec* vector) {
    std::optional<tw::SafeFile> file = tw::SafeFile::open(path);
    if (!file) return false;
    ZPGdImage image = zpDecodeImage(*file, path);
    if (!image) return false;
    if (static_cast<unsigned>(gdImageSX(image.get())) > context.puzzle_max_width ||
        static_cast<unsigned>(gdImageSY(image.get())) > context.puzzle_max_height)
        return false;
    puzzleCountImage(*image, histogram);
    return media.fillCvecFromImage(&context, image.get(), vector) == 0;
}

}  // namespace

ZPSimilarContext::ZPSimilarContext() {
    setContextOptions();
}

ZPSimilarContext::~ZPSimilarContext() {
    if (puzzleReady_.load()) tw::mediaModule()->freeContext(&puzzle_);
}

const std::vector<std::string>& ZPSimilarContext::supportImageFormats() {
    static const std::vector<std::string> formats{"jpg", "jpeg", "png", "gif", "tif", "tiff", "bmp"};
    return formats;
}

bool ZPSimilarContext::isSupportedImagePath(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;  // ".jpg" alone is a hidden name, not an extension
    std::string extension(name.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto& formats = supportImageFormats();
    return std::find(formats.begin(), formats.end(), extension) != formats.end();
}

double ZPSimilarContext::threshold() {
    double level = similarLevel_.load();
    while (level < 0 || level > 1) {
        const double clamped = level < 0 ? 0.0 : 1.0;
        if (similarLevel_.compare_exchange_weak(level, clamped)) {
            level = clamped;
            break;
        }
    }
    return 0.8 - 5.0 * level / 7.0;
}

template <typename T>
T ZPSimilarContext::read(T Settings::*field) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_.*field;
}

template <typename T>
void ZPSimilarContext::write(T Settings::*field, T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.*field = value;
}

bool ZPSimilarContext::fixForTexts() const {
    return read(&Settings::fixForTexts);
}
void ZPSimilarContext::setFixForTexts(bool fix) {
    write(&Settings::fixForTexts, fix);
}
bool ZPSimilarContext::autoCrop() const {
    return read(&Settings::autoCrop);
}
void ZPSimilarContext::setAutoCrop(bool autoCrop) {
    write(&Settings::autoCrop, autoCrop);
}
double ZPSimilarContext::maxCroppingRatio() const {
    return read(&Settings::maxCroppingRatio);
}
void ZPSimilarContext::setMaxCroppingRatio(double ratio) {
    write(&Settings::maxCroppingRatio, ratio);
}
double ZPSimilarContext::contrastBarrierForCropping() const {
    return read(&Settings::contrastBarrierForCropping);
}
void ZPSimilarContext::setContrastBarrierForCropping(double b) {
    write(&Settings::contrastBarrierForCropping, b);
}
int64_t ZPSimilarContext::maxWidth() const {
    return read(&Settings::maxWidth);
}
void ZPSimilarContext::setMaxWidth(int64_t width) {
    write(&Settings::maxWidth, width);
}
int64_t ZPSimilarContext::maxHeight() const {
    return read(&Settings::maxHeight);
}
void ZPSimilarContext::setMaxHeight(int64_t height) {
    write(&Settings::maxHeight, height);
}
double ZPSimilarContext::P_Ratio() const {
    return read(&Settings::pRatio);
}
void ZPSimilarContext::setP_Ratio(double ratio) {
    write(&Settings::pRatio, ratio);
}
double ZPSimilarContext::noiseCutOff() const {
    return read(&Settings::noiseCutOff);
}
void ZPSimilarContext::setNoiseCutOff(double cutOff) {
    write(&Settings::noiseCutOff, cutOff);
}
int64_t ZPSimilarContext::lambdas() const {
    return read(&Settings::lambdas);
}
void ZPSimilarContext::setLambdas(int64_t lambdas) {
    write(&Settings::lambdas, lambdas);
}

std::shared_ptr<ZPSimilarContextDelegate> ZPSimilarContext::delegate() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return delegate_.lock();
}

void ZPSimilarContext::setDelegate(const std::shared_ptr<ZPSimilarContextDelegate>& delegate) {
    std::lock_guard<std::mutex> lock(mutex_);
    delegate_ = delegate;
}

void ZPSimilarContext::setContextOptions() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (puzzleReady_.load()) {
        applyOptionsLocked(settings_);
        return;
    }
    // The same settings twice in a row act as once (a refused value stays refused).
    if (pendingOptions_.empty() || !(pendingOptions_.back() == settings_)) pendingOptions_.push_back(settings_);
}

void ZPSimilarContext::applyOptionsLocked(const Settings& settings) const {
    const TWMediaPuzzleOptions options{
        settings.autoCrop ? 1 : 0,
        settings.maxCroppingRatio,
        settings.contrastBarrierForCropping,
        static_cast<uint32_t>(settings.maxWidth),
        static_cast<uint32_t>(settings.maxHeight),
        static_cast<uint32_t>(settings.lambdas),
        settings.pRatio,
        settings.noiseCutOff,
    };
    tw::mediaModule()->applyOptions(&puzzle_, &options);
}

bool ZPSimilarContext::puzzleReadyLocked() const {
    if (puzzleReady_.load()) return true;
    const TWMediaFunctions* media = tw::mediaModule();
    if (!media) return false;
    media->initContext(&puzzle_);
    for (const Settings& settings : pendingOptions_) applyOptionsLocked(settings);
    pendingOptions_.clear();
    pendingOptions_.shrink_to_fit();
    puzzleReady_.store(true);
    return true;
}

const PuzzleContext* ZPSimilarContext::puzzleContext() const {
    if (!puzzleReady_.load()) {
        std::lock_guard<std::mutex> lock(mutex_);
        puzzleReadyLocked();
    }
    return &puzzle_;
}

PuzzleContext ZPSimilarContext::puzzleContextCopy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    puzzleReadyLocked();
    return puzzle_;
}

bool ZPSimilarContext::histogramsSimilar(const PuzzleHistogram& a, const PuzzleHistogram& b, double level) {
    return puzzleHistogramsSimilar(a, b, level);
}

bool ZPSimilarContext::imageSignatureSimilarTo(const ZPImageSignature& image, const ZPSimilarImages& group) const {
    const bool byLook = similarMethod() == TWSimilarMethodLook;
    return imageSignatureSimilarTo(image, byLook ? ZPLookProbe(image) : ZPLookProbe(), group);
}

bool ZPSimilarContext::imageSignatureSimilarTo(const ZPImageSignature& image, const ZPLookProbe& probe,
                                               const ZPSimilarImages& group) const {
    if (similarMethod() == TWSimilarMethodLook) return group.lookSimilarToImage(probe, similarLevel());
    return group.equalHistogramForImage(image, similarLevel(), puzzleContext());
}

void ZPSimilarContext::collectionSimilarImages(ZPSimilarImagesList& groups,
                                               const std::shared_ptr<ZPImageSignature>& image) const {
    if (!image) return;
    const ZPLookProbe probe = similarMethod() == TWSimilarMethodLook ? ZPLookProbe(*image) : ZPLookProbe();
    for (const auto& group : groups) {
        if (imageSignatureSimilarTo(*image, probe, *group)) {
            image->setFlagSelected(true);
            group->addImageSignature(image);
            return;
        }
    }
    groups.push_back(ZPSimilarImages::initWithImage(image));
}

bool ZPSimilarContext::imageVecHisSimilarToVecHis(const PuzzleCvec& vectorA, const PuzzleHistogram& histogramA,
                                                  const PuzzleCvec& vectorB, const PuzzleHistogram& histogramB) {
    if (puzzleHistogramsSimilar(histogramA, histogramB, similarLevel())) {
        tw::log("Histogram equal.");
        return true;
    }
    const TWMediaFunctions* media = tw::mediaModule();
    if (!media) return false;  // no vectors can have been made either
    PuzzleContext context = puzzleContextCopy();
    const double distance = media->vectorNormalizedDistance(&context, &vectorA, &vectorB, fixForTexts() ? 1 : 0);
    const double limit = threshold();
    tw::log("Distance: %.3f, threshold: %.3f", distance, limit);
    return distance <= limit;
}

bool ZPSimilarContext::imageSimilarTo(const std::string& pathA, const std::string& pathB) {
    if (pathA.size() < 4 || pathB.size() < 4) {
        tw::log("Parameter error");
        return false;
    }
    setContextOptions();
    const TWMediaFunctions* media = tw::mediaModule();
    if (!media) {
        tw::log("Unable to read [%s], please check image", pathA.c_str());
        return false;
    }
    PuzzleContext context = puzzleContextCopy();
    auto histogramA = std::make_unique<PuzzleHistogram>();
    auto histogramB = std::make_unique<PuzzleHistogram>();
    Cvec vectorA(*media, context), vectorB(*media, context);
    for (const auto& [path, histogram, vector] :
         {std::tuple{&pathA, histogramA.get(), vectorA.get()}, std::tuple{&pathB, histogramB.get(), vectorB.get()}}) {
        if (!measure(*media, *path, context, *histogram, vector)) {
            tw::log("Unable to read [%s], please check image", path->c_str());
            return false;
        }
    }
    return imageVecHisSimilarToVecHis(*vectorA.get(), *histogramA, *vectorB.get(), *histogramB);
}

std::vector<std::string> ZPSimilarContext::filterSubfolders(const std::vector<std::string>& folders, bool recursive) {
    if (folders.size() < 2) return folders;
    std::vector<std::string> kept;
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string& entry = folders[i];
        bool drop = std::find(folders.begin(), folders.begin() + static_cast<std::ptrdiff_t>(i), entry) !=
                    folders.begin() + static_cast<std::ptrdiff_t>(i);
        // The test is textual, as the preference store's folder test: "/a/bc" holds "/a/b".
        for (size_t j = 0; recursive && !drop && j < folders.size(); ++j)
            drop = folders[j] != entry && entry.find(folders[j]) != std::string::npos;
        if (!drop) kept.push_back(entry);
    }
    return kept;
}
