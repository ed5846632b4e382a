#pragma once
// The settings of the similar-image comparison and its two tests:
// - the histogram test (colour distributions at `similarLevel`), by which the scan
//   groups images;
// - the vector test (libpuzzle's signature vectors and normalized distance), used only
//   by the two-file comparison imageSimilarTo after the histogram test has failed.
// It also offers a folder search of its own that reports to a delegate.
//
// Safe from any thread: settings are guarded by the context, similarLevel and
// terminalFind are atomic. The folder searches keep the context alive while they run
// and so need it owned by a std::shared_ptr.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "prefs/TWPreferenceTypes.h"
#include "similar/PuzzleHistogram.h"
#include "similar/ZPDecodeBudget.h"
#include "similar/ZPImageSignature.h"
#include "similar/ZPPuzzle.h"
#include "similar/ZPSimilarImages.h"

class ZPSimilarContext;
using ZPSimilarImagesList = std::vector<std::shared_ptr<ZPSimilarImages>>;

// Receives the start and the end of a folder search, on the main thread.
class ZPSimilarContextDelegate {
public:
    virtual ~ZPSimilarContextDelegate() = default;
    virtual void similarContextStartFindProcess(ZPSimilarContext& context) {}
    // `result` holds every group found, groups of one image included.
    virtual void similarContextCompleteWithResult(ZPSimilarContext& context, const ZPSimilarImagesList& result) {}
};

class ZPSimilarContext : public std::enable_shared_from_this<ZPSimilarContext> {
public:
    // Called on the main thread, while the search waits, with a snapshot of the groups
    // found so far.
    using ProgressBlock = std::function<void(const ZPSimilarImagesList& snapshot)>;

    ZPSimilarContext();
    ~ZPSimilarContext();
    ZPSimilarContext(const ZPSimilarContext&) = delete;
    ZPSimilarContext& operator=(const ZPSimilarContext&) = delete;

    // The extensions (lower case) of image candidates: jpg, jpeg, png, gif, tif, tiff, bmp.
    static const std::vector<std::string>& supportImageFormats();
    // Whether the extension of `path`'s last component, lower-cased, is in that list.
    static bool isSupportedImagePath(std::string_view path);

    // 0 = loosest, 1 = strictest; 0.7f at creation.
    double similarLevel() const { return similarLevel_.load(); }
    void setSimilarLevel(double level) { similarLevel_.store(level); }
    // The vector test's threshold, 0.8 - 5 * L / 7. Clamps similarLevel into [0, 1]
    // first and keeps the clamped value.
    double threshold();

    // How signatures are made and groups accept them; colours at creation.
    TWSimilarMethod similarMethod() const { return similarMethod_.load(); }
    void setSimilarMethod(TWSimilarMethod method) { similarMethod_.store(method); }
    // The budget that signatures made with this context decode within: the shared one
    // unless another is set (before any signature is made).
    ZPDecodeBudget& decodeBudget() const { return budget_ ? *budget_ : ZPDecodeBudget::shared(); }
    void setDecodeBudget(std::shared_ptr<ZPDecodeBudget> budget) { budget_ = std::move(budget); }

    bool fixForTexts() const;
    void setFixForTexts(bool fix);
    bool autoCrop() const;
    void setAutoCrop(bool autoCrop);
    double maxCroppingRatio() const;
    void setMaxCroppingRatio(double ratio);
    double contrastBarrierForCropping() const;
    void setContrastBarrierForCropping(double barrier);
    int64_t maxWidth() const;
    void setMaxWidth(int64_t width);
    int64_t maxHeight() const;
    void setMaxHeight(int64_t height);
    double P_Ratio() const;
    void setP_Ratio(double ratio);
    double noiseCutOff() const;
    void setNoiseCutOff(double cutOff);
    int64_t lambdas() const;
    void setLambdas(int64_t lambdas);

    bool terminalFind() const { return terminalFind_.load(); }
    // Set by a caller to stop a running folder search at the next entry of every walk.
    void setTerminalFind(bool stop) { terminalFind_.store(stop); }

    std::shared_ptr<ZPSimilarContextDelegate> delegate() const;
    // Held weakly: a delegate that is gone is not called.
    void setDelegate(const std::shared_ptr<ZPSimilarContextDelegate>& delegate);

    // Copies the settings into the library context; a value the library refuses leaves
    // its library field as it was.
    void setContextOptions();
    // The library context; valid for the context's lifetime. Read-only to callers.
    // Filled on the first call, which loads the image module (MediaModule.h): settings
    // copied before then are applied in their order at that point, so a scan that meets
    // no image never loads the module. All zero (without its magic) when the module
    // cannot be loaded.
    const PuzzleContext* puzzleContext() const;
    // Serialises insertions into a list of groups shared by several walks.
    std::mutex& similarQueue() { return similarQueue_; }

    // The full histogram test of A (an image in a group) against B (the candidate).
    static bool histogramsSimilar(const PuzzleHistogram& a, const PuzzleHistogram& b, double level);

    // The group's test for `image` at the current similarLevel: the histogram test, or
    // the look test when similarMethod is look.
    bool imageSignatureSimilarTo(const ZPImageSignature& image, const ZPSimilarImages& group) const;
    // The same with the look probe of `image` made beforehand (ZPLookProbe(image)), for
    // callers that offer one image to many groups.
    bool imageSignatureSimilarTo(const ZPImageSignature& image, const ZPLookProbe& probe,
                                 const ZPSimilarImages& group) const;
    // Offers `image` to `groups` in order: the first that accepts it gets it and the
    // image's flagSelected becomes true; else a new group of it is appended. The caller
    // serialises calls that share `groups` (see similarQueue).
    void collectionSimilarImages(ZPSimilarImagesList& groups, const std::shared_ptr<ZPImageSignature>& image) const;

    // Whether two image files are similar: the histogram test, then the vector test.
    // Logs "Parameter error" for a path shorter than 4 characters and "Unable to read
    // [<path>], please check image" for a file that cannot be decoded or exceeds the
    // maximum width or height; those answer false.
    bool imageSimilarTo(const std::string& pathA, const std::string& pathB);
    // The combined test of two measured images; logs "Histogram equal." or
    // "Distance: <d>, threshold: <t>".
    bool imageVecHisSimilarToVecHis(const PuzzleCvec& vectorA, const PuzzleHistogram& histogramA,
                                    const PuzzleCvec& vectorB, const PuzzleHistogram& histogramB);

    // Folder searches: start in the background and return at once; the delegate hears
    // the start and, with every group found (also after a stop), the end.
    void findSimilarImagesAtFolder(const std::string& folder, ProgressBlock process, bool recursive);
    void findSimilarImagesAtFolders(const std::vector<std::string>& folders, ProgressBlock process, bool recursive);
    // The walk both use, on the calling thread. With `concurrent`, insertions into
    // `groups` and the progress snapshots run under similarQueue. Symbolic links to
    // folders are followed, except into a folder that is already being walked above.
    void findSimilarImages(ZPSimilarImagesList& groups, const std::string& folder, const ProgressBlock& process,
                           bool recursive, bool concurrent);
    // Drops repeated entries and, when `recursive`, every entry whose text contains
    // another entry's text; the rest keep their order.
    static std::vector<std::string> filterSubfolders(const std::vector<std::string>& folders, bool recursive);
    void postStartFindProcess();
    void postCompleteFindProcessWithSimilarImages(const ZPSimilarImagesList& groups);

private:
    struct Settings {
        bool fixForTexts = true;
        bool autoCrop = true;
        double maxCroppingRatio = static_cast<double>(0.05f);
        double contrastBarrierForCropping = 5.0;
        int64_t maxWidth = 10000;
        int64_t maxHeight = 10000;
        double pRatio = 1.0;
        double noiseCutOff = 0.0;
        int64_t lambdas = 11;
        bool operator==(const Settings&) const = default;
    };
    template <typename T>
    T read(T Settings::*field) const;
    template <typename T>
    void write(T Settings::*field, T value);
    PuzzleContext puzzleContextCopy() const;
    bool puzzleReadyLocked() const;
    void applyOptionsLocked(const Settings& settings) const;

    struct WalkState;
    void walk(ZPSimilarImagesList& groups, const std::string& folder, const ProgressBlock& process, bool recursive,
              bool concurrent, WalkState& state);
    void insertFound(ZPSimilarImagesList& groups, const std::string& path, const ProgressBlock& process,
                     bool concurrent);

    std::atomic<double> similarLevel_{static_cast<double>(0.7f)};
    std::atomic<TWSimilarMethod> similarMethod_{TWSimilarMethodColours};
    std::shared_ptr<ZPDecodeBudget> budget_;
    std::atomic<bool> terminalFind_{false};
    mutable std::mutex mutex_;  // guards settings_, puzzle_ (but its magic), pendingOptions_ and delegate_
    Settings settings_;
    mutable PuzzleContext puzzle_{};
    mutable std::atomic<bool> puzzleReady_{false};  // set once puzzle_ is filled, never cleared
    mutable std::vector<Settings> pendingOptions_;  // copied before puzzle_ was filled
    std::weak_ptr<ZPSimilarContextDelegate> delegate_;
    std::mutex similarQueue_;
};
