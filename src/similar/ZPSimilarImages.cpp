#include "ZPSimilarImages.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "Trash.h"

namespace {

// Widths and heights are compared to a thousandth of a pixel. Rounding each to the
// nearest thousandth, rather than calling values closer than 0.001 equal, keeps the
// order transitive (a tolerance is not, and would break the sort).
long long thousandths(double value) {
    return std::llround(value * 1000.0);
}

// The key order of one sort type: negative, zero or positive as a's key is smaller,
// equal or larger.
int compareKeys(int32_t sortType, const ZPImageSignature& a, const ZPImageSignature& b) {
    switch (sortType) {
        case ZPSimilarImages::SortBySize:
            return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
        case ZPSimilarImages::SortByFileName:
            return a.filename().compare(b.filename());
        case ZPSimilarImages::SortByResolution: {
            const long long wa = thousandths(a.resolution().width), wb = thousandths(b.resolution().width);
            if (wa != wb) return wa < wb ? -1 : 1;
            const long long ha = thousandths(a.resolution().height), hb = thousandths(b.resolution().height);
            return ha < hb ? -1 : ha > hb ? 1 : 0;
        }
        default:
            return 0;
    }
}

}  // namespace

std::shared_ptr<ZPSimilarImages> ZPSimilarImages::initWithImage(std::shared_ptr<ZPImageSignature> image) {
    return std::make_shared<ZPSimilarImages>(std::move(image));
}

ZPSimilarImages::ZPSimilarImages(std::shared_ptr<ZPImageSignature> image) {
    if (image) appendLocked(std::move(image));
}

void ZPSimilarImages::appendLocked(std::shared_ptr<ZPImageSignature> image) {
    const PuzzleHistogramSummary& summary = image->histogramSummary();
    coarse4_.insert(coarse4_.end(), std::begin(summary.coarse4), std::end(summary.coarse4));
    summaryValid_.push_back(summary.valid);
    members_.push_back(std::move(image));
    sorted_.reset();
}

bool ZPSimilarImages::equalHistogramForImage(const ZPImageSignature& image, double level,
                                             const PuzzleContext* /*context*/) const {
    constexpr size_t kCoarseValues = std::size(PuzzleHistogramSummary{}.coarse4);
    const PuzzleHistogram& candidate = image.histogram();
    const PuzzleHistogramSummary& candidateSummary = image.histogramSummary();
    const double limit = puzzleHistogramLimit(level);

    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < members_.size(); ++i) {
        if (candidateSummary.valid && summaryValid_[i] &&
            puzzleCoarseBoundExceeds(&coarse4_[i * kCoarseValues], candidateSummary.coarse4, limit))
            continue;
        const ZPImageSignature& member = *members_[i];
        if (puzzleHistogramsSimilar(member.histogram(), member.histogramSummary(), candidate, candidateSummary, level))
            return true;
    }
    return false;
}

bool ZPSimilarImages::lookSimilarToImage(const ZPLookProbe& probe, double level) const {
    if (probe.empty()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& member : members_)
        if (member->look() && probe.matches(*member->look(), level)) return true;
    return false;
}

void ZPSimilarImages::addImageSignature(std::shared_ptr<ZPImageSignature> image) {
    if (!image) return;
    std::lock_guard<std::mutex> lock(mutex_);
    appendLocked(std::move(image));
}

void ZPSimilarImages::addImageSignatures(const Signatures& images) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& image : images)
        if (image) appendLocked(image);
}

size_t ZPSimilarImages::numberOfImages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return members_.size();
}

std::shared_ptr<ZPImageSignature> ZPSimilarImages::imageAtIndex(size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index < members_.size() ? members_[index] : nullptr;
}

void ZPSimilarImages::sortLocked() const {
    if (sorted_) return;
    Signatures order = members_;
    if (sortType_ == SortBySize || sortType_ == SortByFileName || sortType_ == SortByResolution) {
        const int32_t type = sortType_;
        const bool largerFirst = ascending_;
        std::stable_sort(order.begin(), order.end(), [type, largerFirst](const auto& a, const auto& b) {
            const int c = compareKeys(type, *a, *b);
            return largerFirst ? c > 0 : c < 0;
        });
    }
    sorted_ = std::move(order);
}

ZPSimilarImages::Signatures ZPSimilarImages::imageSignatures() const {
    std::lock_guard<std::mutex> lock(mutex_);
    sortLocked();
    return *sorted_;
}

int32_t ZPSimilarImages::sortType() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sortType_;
}

void ZPSimilarImages::setSortType(int32_t sortType) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sortType_ == sortType) return;
    sortType_ = sortType;
    sorted_.reset();
}

bool ZPSimilarImages::ascending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ascending_;
}

void ZPSimilarImages::setAscending(bool ascending) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ascending_ == ascending) return;
    ascending_ = ascending;
    sorted_.reset();
}

std::set<size_t> ZPSimilarImages::selection() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return selection_;
}

void ZPSimilarImages::setSelection(std::set<size_t> selection) {
    std::lock_guard<std::mutex> lock(mutex_);
    selection_ = std::move(selection);
}

std::vector<std::string> ZPSimilarImages::pathfilesOfImageSign() const {
    std::vector<std::string> paths;
    for (const auto& image : imageSignatures()) paths.push_back(image->pathfile());
    return paths;
}

std::vector<std::string> ZPSimilarImages::filenameOfImageSign() const {
    std::vector<std::string> names;
    for (const auto& image : imageSignatures()) names.push_back(image->filename());
    return names;
}

std::string ZPSimilarImages::description() const {
    std::string text;
    const std::vector<std::string> names = filenameOfImageSign();
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += ',';
        text += names[i];
    }
    return text;
}

size_t ZPSimilarImages::numberOfFlagSelected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(
        std::count_if(members_.begin(), members_.end(), [](const auto& image) { return image->flagSelected(); }));
}

uint64_t ZPSimilarImages::sizeOfFlagSelected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t total = 0;
    for (const auto& image : members_)
        if (image->flagSelected()) total += image->size();
    return total;
}

uint64_t ZPSimilarImages::totalSize() const {
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t total = 0;
    for (const auto& image : members_) total += image->size();
    return total;
}

void ZPSimilarImages::removeFlagSelected(bool toTrash) {
    Signatures flagged;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& image : members_)
            if (image->flagSelected()) flagged.push_back(image);
    }
    if (flagged.empty()) return;

    // File I/O runs without the group's lock; each call returns once the file is gone
    // or has failed, so the whole request is finished when the loop is.
    for (const auto& image : flagged) {
        if (toTrash) {
            tw::Trash::moveToTrash(image->pathfile());
        } else {
            std::error_code ignored;
            std::filesystem::remove(image->pathfile(), ignored);
        }
    }

    std::lock_guard<std::mutex> lock(mutex_);
    Signatures kept;
    std::vector<double> keptCoarse;
    std::vector<bool> keptValid;
    constexpr size_t kCoarseValues = std::size(PuzzleHistogramSummary{}.coarse4);
    for (size_t i = 0; i < members_.size(); ++i) {
        if (std::find(flagged.begin(), flagged.end(), members_[i]) != flagged.end()) continue;
        kept.push_back(members_[i]);
        keptCoarse.insert(keptCoarse.end(), coarse4_.begin() + static_cast<std::ptrdiff_t>(i * kCoarseValues),
                          coarse4_.begin() + static_cast<std::ptrdiff_t>((i + 1) * kCoarseValues));
        keptValid.push_back(summaryValid_[i]);
    }
    members_ = std::move(kept);
    coarse4_ = std::move(keptCoarse);
    summaryValid_ = std::move(keptValid);
    sorted_.reset();
}
