#pragma once
// One group of images that the histogram test judged similar: signatures in insertion
// order, the first of which founded the group. A newcomer joins when it resembles any
// one member (single linkage), so a later member may be unlike the founder.
//
// Safe from any thread: a mutex owned by the group serialises additions, the
// similarity test and every read, so a reader never sees a half-made addition.
// removeFlagSelected does its file I/O without holding that mutex.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ZPImageSignature.h"
#include "ZPLookProbe.h"

class ZPSimilarImages {
public:
    using Signatures = std::vector<std::shared_ptr<ZPImageSignature>>;

    enum SortType : int32_t { SortBySize = 0, SortByFileName = 1, SortByResolution = 2, SortByInsertion = 3 };

    // A group whose only member is `image`, or an empty group when `image` is null;
    // sorted in insertion order.
    static std::shared_ptr<ZPSimilarImages> initWithImage(std::shared_ptr<ZPImageSignature> image);
    explicit ZPSimilarImages(std::shared_ptr<ZPImageSignature> image = nullptr);
    ZPSimilarImages(const ZPSimilarImages&) = delete;
    ZPSimilarImages& operator=(const ZPSimilarImages&) = delete;

    // Whether some member's histogram (as the first) and `image`'s histogram (as the
    // second) are similar at `level`; members are tried in insertion order and the
    // first that passes ends the search. `context` is not needed by the histogram test
    // and may be null.
    bool equalHistogramForImage(const ZPImageSignature& image, double level, const PuzzleContext* context) const;
    // Whether some member's look lies within the look limit of `level` of the probe's
    // look or of its mirror image; members are tried in insertion order.
    bool lookSimilarToImage(const ZPLookProbe& probe, double level) const;

    void addImageSignature(std::shared_ptr<ZPImageSignature> image);
    void addImageSignatures(const Signatures& images);

    size_t numberOfImages() const;
    // The member at insertion index `index`, or null past the end.
    std::shared_ptr<ZPImageSignature> imageAtIndex(size_t index) const;
    // The members in the current sort order (computed once per change and cached).
    Signatures imageSignatures() const;

    int32_t sortType() const;
    void setSortType(int32_t sortType);
    // For the sorts by size, name and resolution: true puts the larger key first.
    bool ascending() const;
    void setAscending(bool ascending);

    std::set<size_t> selection() const;
    void setSelection(std::set<size_t> selection);

    // Removes the files of the members whose flagSelected is true (to the Trash when
    // `toTrash`, waiting until the Trash has answered for all of them; else deleted
    // for good, failures ignored) and drops those members, whatever happened on disk.
    // Blocks on file I/O: not for the main thread while a view waits on the group.
    void removeFlagSelected(bool toTrash);

    std::vector<std::string> pathfilesOfImageSign() const;
    std::vector<std::string> filenameOfImageSign() const;
    // The members' file names joined with ",".
    std::string description() const;
    size_t numberOfFlagSelected() const;
    uint64_t sizeOfFlagSelected() const;
    uint64_t totalSize() const;

private:
    void appendLocked(std::shared_ptr<ZPImageSignature> image);
    void sortLocked() const;

    mutable std::mutex mutex_;
    Signatures members_;
    // Each member's 4-bin-a-channel summary, side by side, so that the cheapest bound
    // of the similarity test scans contiguous memory; summaryValid_ says which are usable.
    std::vector<double> coarse4_;
    std::vector<bool> summaryValid_;
    mutable std::optional<Signatures> sorted_;
    std::set<size_t> selection_;
    int32_t sortType_ = SortByInsertion;
    bool ascending_ = false;
};
