#include "model/TWDuplicateFile.h"

#include <algorithm>

#include "model/TWMatching.h"
#include "prefs/TWPreference.h"

namespace {

using FilePtr = TWDuplicateFile::FilePtr;

uint64_t minusClamped(uint64_t value, uint64_t amount) {
    return value > amount ? value - amount : 0;
}

// The exact copies among `members`: each member joins the first earlier bucket whose
// first record it matches, and buckets of one member are dropped. Reads files.
std::vector<std::vector<FilePtr>> partitionExactCopies(const std::vector<FilePtr>& members, int64_t searchMode,
                                                       bool verifyFullContent) {
    std::vector<std::vector<FilePtr>> buckets;
    for (const FilePtr& member : members) {
        auto home = std::find_if(buckets.begin(), buckets.end(), [&](const std::vector<FilePtr>& bucket) {
            return TWRecordMatches(*bucket.front(), *member, searchMode, verifyFullContent);
        });
        if (home != buckets.end()) {
            home->push_back(member);
        } else {
            buckets.push_back({member});
        }
    }
    std::erase_if(buckets, [](const std::vector<FilePtr>& bucket) { return bucket.size() < 2; });
    return buckets;
}

}  // namespace

TWDuplicateFile::TWDuplicateFile(PrivateTag, std::vector<FilePtr> files, Ptr parent, bool similar)
    : isSimilarGroup_(similar), files_(std::move(files)), parentSimilarGroup_(std::move(parent)) {
    recountLocked();  // not shared yet: nobody else can reach the members
}

TWDuplicateFile::~TWDuplicateFile() = default;

TWDuplicateFile::Ptr TWDuplicateFile::make(const FilePtr& file, const Ptr& parent, bool similar) {
    if (!file) return nullptr;
    return std::make_shared<TWDuplicateFile>(PrivateTag{}, std::vector<FilePtr>{file}, parent, similar);
}

TWDuplicateFile::Ptr TWDuplicateFile::initWithFile(const FilePtr& file) {
    return make(file, nullptr, false);
}

TWDuplicateFile::Ptr TWDuplicateFile::initWithFile(const FilePtr& file, const Ptr& parent) {
    return make(file, parent, false);
}

TWDuplicateFile::Ptr TWDuplicateFile::initWithSimilarFile(const FilePtr& file) {
    return make(file, nullptr, true);
}

// --- derived values ---

FilePtr TWDuplicateFile::firstFile() const {
    std::lock_guard lock(mutex_);
    return files_.empty() ? nullptr : files_.front();
}

std::optional<std::string> TWDuplicateFile::hashString() const {
    FilePtr first = firstFile();  // hashed outside the lock: it may read the file
    return first ? first->hashString() : std::nullopt;
}

std::string TWDuplicateFile::filename() const {
    FilePtr first = firstFile();
    return first ? first->fileName() : std::string();
}

std::string TWDuplicateFile::categoryName() const {
    FilePtr first = firstFile();
    return first ? first->descriptionOfCategory() : std::string();
}

std::string TWDuplicateFile::sourceType() const {
    FilePtr first = firstFile();
    return first ? first->sourceType() : std::string();
}

uint64_t TWDuplicateFile::identifySize() const {
    FilePtr first = firstFile();
    return first ? first->fileSize() : 0;
}

std::shared_ptr<TWImage> TWDuplicateFile::fileIcon() const {
    FilePtr first = firstFile();
    return first ? first->fileIcon() : nullptr;
}

size_t TWDuplicateFile::numberOfFiles() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

std::vector<FilePtr> TWDuplicateFile::itemsOfFileUtility() const {
    std::lock_guard lock(mutex_);
    return files_;
}

uint64_t TWDuplicateFile::totalSize() const {
    std::lock_guard lock(mutex_);
    if (files_.empty()) return 0;
    if (!isSimilarGroup_) return files_.front()->fileSize() * files_.size();
    uint64_t sum = 0;
    for (const FilePtr& file : files_) sum += file->fileSize();
    return sum;
}

uint64_t TWDuplicateFile::numberOfChecked() const {
    std::lock_guard lock(mutex_);
    return numberOfChecked_;
}

uint64_t TWDuplicateFile::sizeOfChecked() const {
    std::lock_guard lock(mutex_);
    return sizeOfChecked_;
}

// --- queries ---

size_t TWDuplicateFile::indexOfFileUtility(const FilePtr& file) const {
    std::lock_guard lock(mutex_);
    auto it = std::find(files_.begin(), files_.end(), file);
    return (file && it != files_.end()) ? static_cast<size_t>(it - files_.begin()) : kNotFound;
}

bool TWDuplicateFile::isCheckedAtIndex(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < files_.size() && files_[index]->isChecked();
}

bool TWDuplicateFile::fileIsExist(const FilePtr& file) const {
    if (!file) return false;
    std::lock_guard lock(mutex_);
    return std::any_of(files_.begin(), files_.end(), [&](const FilePtr& member) { return member->isSameFile(*file); });
}

TWDuplicateFile::Ptr TWDuplicateFile::findDuplicateFile(const FilePtr& file) const {
    std::optional<std::vector<Ptr>> subgroups;
    {
        std::lock_guard lock(mutex_);
        subgroups = liveCacheLocked();
    }
    if (!file || !subgroups) return nullptr;
    const TWPreference& prefs = TWPreference::shared();
    const int64_t mode = prefs.searchMode();
    const bool verify = prefs.verifyFullContent();
    for (const Ptr& subgroup : *subgroups) {
        FilePtr first = subgroup->firstFile();
        if (first && TWRecordMatches(*first, *file, mode, verify)) return subgroup;
    }
    return nullptr;
}

std::optional<std::vector<TWDuplicateFile::Ptr>> TWDuplicateFile::liveCacheLocked() const {
    if (!duplicateFilesInSimilar_) return std::nullopt;
    std::vector<Ptr> live;
    live.reserve(duplicateFilesInSimilar_->size());
    for (const std::weak_ptr<TWDuplicateFile>& weak : *duplicateFilesInSimilar_) {
        Ptr subgroup = weak.lock();
        if (!subgroup) return std::nullopt;
        live.push_back(std::move(subgroup));
    }
    return live;
}

std::vector<TWDuplicateFile::Ptr> TWDuplicateFile::duplicateFilesExcludingSimilar() {
    if (!isSimilarGroup_) return {shared_from_this()};
    const TWPreference& prefs = TWPreference::shared();
    const int64_t mode = prefs.searchMode();
    const bool verify = prefs.verifyFullContent();
    // Hashing reads every image, so it runs with no lock held; the result is stored only
    // if the members did not change meanwhile. After a few lost races the members are
    // partitioned under the lock instead, so a busy group cannot starve the caller.
    constexpr int kUnlockedAttempts = 3;
    for (int attempt = 0;; ++attempt) {
        std::vector<FilePtr> members;
        uint64_t seen = 0;
        std::vector<std::vector<FilePtr>> buckets;
        {
            std::unique_lock lock(mutex_);
            if (auto live = liveCacheLocked()) return *live;
            members = files_;
            seen = version_;
            if (attempt >= kUnlockedAttempts) buckets = partitionExactCopies(members, mode, verify);
        }
        if (attempt < kUnlockedAttempts) buckets = partitionExactCopies(members, mode, verify);
        std::lock_guard lock(mutex_);
        if (auto live = liveCacheLocked()) return *live;
        if (version_ != seen) continue;
        Ptr self = shared_from_this();
        std::vector<Ptr> subgroups;
        std::vector<std::weak_ptr<TWDuplicateFile>> cache;
        for (std::vector<FilePtr>& bucket : buckets) {
            subgroups.push_back(std::make_shared<TWDuplicateFile>(PrivateTag{}, std::move(bucket), self, false));
            cache.push_back(subgroups.back());
        }
        duplicateFilesInSimilar_ = std::make_unique<std::vector<std::weak_ptr<TWDuplicateFile>>>(std::move(cache));
        return subgroups;
    }
}

// --- edits ---

void TWDuplicateFile::recountLocked() {
    numberOfChecked_ = 0;
    sizeOfChecked_ = 0;
    for (const FilePtr& file : files_) {
        if (!file->isChecked()) continue;
        ++numberOfChecked_;
        sizeOfChecked_ += file->fileSize();
    }
}

void TWDuplicateFile::discardCacheLocked() {
    duplicateFilesInSimilar_.reset();
}

bool TWDuplicateFile::removeMemberLocked(const FilePtr& file) {
    auto it = std::find(files_.begin(), files_.end(), file);
    if (!file || it == files_.end()) return false;
    if (file->isChecked()) {
        numberOfChecked_ = minusClamped(numberOfChecked_, 1);
        sizeOfChecked_ = minusClamped(sizeOfChecked_, file->fileSize());
    }
    files_.erase(it);
    discardCacheLocked();
    ++version_;
    return true;
}

bool TWDuplicateFile::addFile(const FilePtr& file) {
    if (!file) return false;
    std::lock_guard lock(mutex_);
    files_.push_back(file);
    if (file->isChecked()) {
        ++numberOfChecked_;
        sizeOfChecked_ += file->fileSize();
    }
    ++version_;
    return true;
}

void TWDuplicateFile::removeFile(const FilePtr& file) {
    {
        std::lock_guard lock(mutex_);
        removeMemberLocked(file);
    }
    if (parentSimilarGroup_) parentSimilarGroup_->removeFile(file);
}

void TWDuplicateFile::setChecked(bool checked, size_t index) {
    {
        std::lock_guard lock(mutex_);
        if (index >= files_.size()) return;
        const FilePtr& file = files_[index];
        if (file->isChecked() == checked || (checked && file->refusesRemoval())) return;
        file->setIsChecked(checked);
        if (checked) {
            ++numberOfChecked_;
            sizeOfChecked_ += file->fileSize();
        } else {
            numberOfChecked_ = minusClamped(numberOfChecked_, 1);
            sizeOfChecked_ = minusClamped(sizeOfChecked_, file->fileSize());
        }
    }
    flagsChanged();
}

void TWDuplicateFile::updateFlagedState() {
    {
        std::lock_guard lock(mutex_);
        recountLocked();
    }
    recountSubgroups();
}

void TWDuplicateFile::uncheckedAll() {
    {
        std::lock_guard lock(mutex_);
        for (const FilePtr& file : files_) file->setIsChecked(false);
        numberOfChecked_ = 0;
        sizeOfChecked_ = 0;
    }
    flagsChanged();
}

void TWDuplicateFile::flagsChanged() {
    if (parentSimilarGroup_) {
        parentSimilarGroup_->updateFlagedState();  // which recounts this group's siblings too
    } else {
        recountSubgroups();
    }
}

void TWDuplicateFile::recountSubgroups() {
    std::vector<std::weak_ptr<TWDuplicateFile>> cache;
    {
        std::lock_guard lock(mutex_);
        if (!isSimilarGroup_ || !duplicateFilesInSimilar_) return;
        cache = *duplicateFilesInSimilar_;
    }
    // Sub-groups share this group's records, so a flag changed here changes theirs.
    for (const std::weak_ptr<TWDuplicateFile>& weak : cache) {
        if (Ptr subgroup = weak.lock()) {
            std::lock_guard lock(subgroup->mutex_);
            subgroup->recountLocked();
        }
    }
}

void TWDuplicateFile::hideFileUnitility(const FilePtr& file) {
    if (!file) return;
    {
        std::lock_guard lock(mutex_);
        removeMemberLocked(file);
    }
    if (parentSimilarGroup_) parentSimilarGroup_->removeFile(file);
    TWPreference::shared().addFilterFileFolder(file->filePath());
}

bool TWDuplicateFile::isCancelledRemoveCheckFilesUsingBlock(const RemoveCallback& callback) {
    if (!callback) return false;
    std::lock_guard lock(mutex_);
    std::vector<FilePtr> removed;
    bool stop = false;
    for (const FilePtr& file : files_) {
        if (!file->isChecked()) continue;
        if (parentSimilarGroup_) parentSimilarGroup_->removeFile(file);
        numberOfChecked_ = minusClamped(numberOfChecked_, 1);
        sizeOfChecked_ = minusClamped(sizeOfChecked_, file->fileSize());
        removed.push_back(file);
        callback(file, stop);
        if (stop) break;
    }
    std::erase_if(
        files_, [&](const FilePtr& file) { return std::find(removed.begin(), removed.end(), file) != removed.end(); });
    discardCacheLocked();
    if (!removed.empty()) ++version_;
    return stop;
}

void TWDuplicateFile::sortFileWithCreateTime(bool newestFirst) {
    std::lock_guard lock(mutex_);
    std::stable_sort(files_.begin(), files_.end(), [newestFirst](const FilePtr& a, const FilePtr& b) {
        const std::optional<TWTime>& ta = a->createTime();
        const std::optional<TWTime>& tb = b->createTime();
        if (!ta || !tb) return ta.has_value() && !tb.has_value();  // undated members last
        return newestFirst ? *ta > *tb : *ta < *tb;
    });
    ++version_;
}
