#pragma once
// What the similar-image search keeps of one image file: its path, file size,
// resolution, its colour histogram or its look (ZPLookSignature, by the context's
// similarMethod), a selection mark and the caller's object.
//
// Every decode first takes its bytes from a decoding budget (ZPDecodeBudget): a picture
// whose decode would take more than the whole budget is not decoded and yields no
// signature, like a picture that cannot be read. A JPEG's histogram is counted as it is
// decoded, one row at a time, so it takes a row's worth of the budget, not a whole
// image's; its counts are those of the whole image, bit for bit.
//
// A signature is complete once created; afterwards only flagSelected and userObject
// change. Safe from any thread: both are read and written atomically.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "files/TWImage.h"
#include "similar/PuzzleHistogram.h"
#include "similar/ZPLookSignature.h"
#include "similar/ZPPuzzle.h"

class ZPDecodeBudget;
class ZPSimilarContext;

class ZPImageSignature {
public:
    // The scan's form: by the context's similarMethod, within its decoding budget.
    static std::shared_ptr<ZPImageSignature> initWithPathFile(const std::string& path, const ZPSimilarContext& context);
    // The colour signature of the image file at `path`, or null: without a context (logs
    // "Without MPS Support, context must be setted."), or when the file cannot be
    // opened safely or decoded (logs "Unable to read [<path>], please check image").
    // Decodes the whole image once, within the shared decoding budget; the file is
    // opened through tw::SafeFile.
    static std::shared_ptr<ZPImageSignature> initWithPathFile(const std::string& path, const PuzzleContext* context);
    // The look signature of the image file at `path`, or null (logged as above). A JPEG
    // is decoded at reduced scale.
    static std::shared_ptr<ZPImageSignature> initLookWithPathFile(const std::string& path, ZPDecodeBudget& budget);
    // Always null: a signature needs a context.
    static std::shared_ptr<ZPImageSignature> initWithPathFile(const std::string& path);

    // A signature of an already counted histogram (for records measured elsewhere,
    // tests and benchmarks); nothing is read.
    static std::shared_ptr<ZPImageSignature> withHistogram(const std::string& path, const PuzzleHistogram& histogram,
                                                           TWSize resolution = {}, uint64_t size = 0);
    // A signature of a look made before (a stored one, tests, benchmarks).
    static std::shared_ptr<ZPImageSignature> withLook(const std::string& path, ZPLookSignature look,
                                                      TWSize resolution = {}, uint64_t size = 0);

    // Signatures are always computed on the processor.
    static bool supportMPS() { return false; }

    ZPImageSignature(const ZPImageSignature&) = delete;
    ZPImageSignature& operator=(const ZPImageSignature&) = delete;

    const std::string& pathfile() const { return pathfile_; }
    // The colour histogram; an empty one (no pixels, similar to nothing) for a look.
    const PuzzleHistogram& histogram() const;
    // The look; null for a colour signature.
    const ZPLookSignature* look() const { return look_ ? &*look_ : nullptr; }
    // Coarse views of the histogram, made with it (see PuzzleHistogramSummary).
    const PuzzleHistogramSummary& histogramSummary() const { return summary_; }
    // The library context the signature was made with; owned by the similarity context
    // and valid only while that lives. Null for signatures made withHistogram.
    const PuzzleContext* context() const { return context_; }
    // Width and height of the decoded image, in pixels.
    TWSize resolution() const { return resolution_; }
    // File size in bytes.
    uint64_t size() const { return size_; }

    // The last component of pathfile.
    std::string filename() const;
    // "1023B", "1.00KiB", "1.00MiB", "1.00GiB" (units of 1024, two fraction digits).
    std::string sizeText() const;
    static std::string sizeText(uint64_t size);
    // "640x480".
    std::string resolutionText() const;

    bool flagSelected() const { return flagSelected_.load(); }
    void setFlagSelected(bool flag) { flagSelected_.store(flag); }

    // The caller's object (the scan keeps its std::shared_ptr<TWFileUtility> here).
    std::shared_ptr<void> userObject() const;
    void setUserObject(std::shared_ptr<void> object);
    template <typename T>
    std::shared_ptr<T> userObjectAs() const {
        return std::static_pointer_cast<T>(userObject());
    }

private:
    ZPImageSignature(std::string path, std::unique_ptr<PuzzleHistogram> histogram, const PuzzleContext* context,
                     TWSize resolution, uint64_t size, std::optional<ZPLookSignature> look = std::nullopt);
    static std::shared_ptr<ZPImageSignature> signColours(const std::string& path, const PuzzleContext* context,
                                                         ZPDecodeBudget& budget);

    const std::string pathfile_;
    const std::unique_ptr<const PuzzleHistogram> histogram_;  // null for a look
    const std::optional<ZPLookSignature> look_;
    const PuzzleHistogramSummary summary_;
    const PuzzleContext* const context_;
    const TWSize resolution_;
    const uint64_t size_;
    std::atomic<bool> flagSelected_{false};
    mutable std::mutex userObjectMutex_;
    std::shared_ptr<void> userObject_;
};
