#include "model/TWCategoryFiles.h"

#include "platform/Log.h"

namespace {
// What a group adds to the two totals: all of its bytes, and all but one copy's.
struct GroupSizes {
    uint64_t all = 0;
    uint64_t duplicates = 0;
};

GroupSizes sizesOf(const TWDuplicateFile& group) {
    const uint64_t total = group.totalSize();
    const uint64_t identify = group.identifySize();
    return {total, total > identify ? total - identify : 0};
}
}  // namespace

TWCategoryFiles::Ptr TWCategoryFiles::initWithCategory(int64_t category) {
    if (category == TWCategory_allFiles) {
        tw::log("Can't create @TWCategory_allFiles ");
        return nullptr;
    }
    return std::make_shared<TWCategoryFiles>(PrivateTag{}, static_cast<TWCategory>(category));
}

TWCategoryFiles::Ptr TWCategoryFiles::init() {
    return initWithCategory(TWCategory_allFiles);
}

std::string TWCategoryFiles::name() const {
    return TWCategoryManager::descriptionOf(category_);
}

size_t TWCategoryFiles::numberOfCategoryFiles() const {
    std::lock_guard lock(mutex_);
    return duplicateFiles_.size();
}

std::string TWCategoryFiles::description() const {
    return "Duplicates: " + std::to_string(numberOfCategoryFiles());
}

void TWCategoryFiles::addDuplicateFile(const GroupPtr& group) {
    if (!group) return;
    std::lock_guard lock(mutex_);
    if (duplicateFiles_.empty()) duplicateFiles_.reserve(4);
    duplicateFiles_.push_back(group);
    const GroupSizes sizes = sizesOf(*group);
    sizeOfAllFiles_ += sizes.all;
    if (group->numberOfFiles() >= 2) sizeOfDuplicates_ += sizes.duplicates;
}

TWCategoryFiles::GroupPtr TWCategoryFiles::findDuplicateFileUsingBlock(const FindPredicate& predicate) const {
    if (!predicate) return nullptr;
    std::lock_guard lock(mutex_);
    for (const GroupPtr& group : duplicateFiles_) {
        bool stop = false;
        if (predicate(group, stop)) return group;
        if (stop) break;
    }
    return nullptr;
}

std::vector<TWCategoryFiles::GroupPtr> TWCategoryFiles::duplicateFilesIncludingSimilar() const {
    std::lock_guard lock(mutex_);
    return duplicateFiles_;
}

std::vector<TWCategoryFiles::GroupPtr> TWCategoryFiles::duplicateFilesExcludingSimilar() {
    std::lock_guard lock(mutex_);
    if (duplicateFilesExcludingSimilar_) return *duplicateFilesExcludingSimilar_;
    std::vector<GroupPtr> view;
    for (const GroupPtr& group : duplicateFiles_) {
        std::vector<GroupPtr> exact = group->duplicateFilesExcludingSimilar();
        view.insert(view.end(), exact.begin(), exact.end());
    }
    duplicateFilesExcludingSimilar_ = view;
    return view;
}

void TWCategoryFiles::resetCache() {
    std::lock_guard lock(mutex_);
    duplicateFilesExcludingSimilar_.reset();
}

bool TWCategoryFiles::removeNotDuplicateFileIncludingSimilar() {
    std::lock_guard lock(mutex_);
    sizeOfAllFiles_ = 0;
    sizeOfDuplicates_ = 0;
    const size_t before = duplicateFiles_.size();
    std::erase_if(duplicateFiles_, [this](const GroupPtr& group) {
        if (group->numberOfFiles() <= 1) return true;
        const GroupSizes sizes = sizesOf(*group);
        sizeOfAllFiles_ += sizes.all;
        sizeOfDuplicates_ += sizes.duplicates;
        return false;
    });
    duplicateFilesExcludingSimilar_.reset();
    return duplicateFiles_.size() != before;
}

bool TWCategoryFiles::isCancelledRemoveCheckFilesUsingBlock(const TWDuplicateFile::RemoveCallback& callback) {
    bool stopped = false;
    {
        std::lock_guard lock(mutex_);
        for (const GroupPtr& group : duplicateFiles_) {
            if (group->isCancelledRemoveCheckFilesUsingBlock(callback)) {
                stopped = true;
                break;
            }
        }
        duplicateFilesExcludingSimilar_.reset();
    }
    removeNotDuplicateFileIncludingSimilar();
    return stopped;
}

void TWCategoryFiles::sortDuplicateFilesWithCreateTime(bool newestFirst) {
    std::lock_guard lock(mutex_);
    for (const GroupPtr& group : duplicateFiles_) group->sortFileWithCreateTime(newestFirst);
}

void TWCategoryFiles::smartCheckDuplicateFilesWithMethod(int32_t method) {
    std::lock_guard lock(mutex_);
    for (const GroupPtr& group : duplicateFiles_) group->smartCheckedByMethod(method);
}

uint64_t TWCategoryFiles::numberOfFilesCheckedToRemoved() const {
    std::lock_guard lock(mutex_);
    uint64_t sum = 0;
    for (const GroupPtr& group : duplicateFiles_) sum += group->numberOfChecked();
    return sum;
}

uint64_t TWCategoryFiles::sizeOfFilesCheckedToRemoved() const {
    std::lock_guard lock(mutex_);
    uint64_t sum = 0;
    for (const GroupPtr& group : duplicateFiles_) sum += group->sizeOfChecked();
    return sum;
}

uint64_t TWCategoryFiles::sizeOfDuplicateFiles() const {
    std::lock_guard lock(mutex_);
    return sizeOfDuplicates_;
}

uint64_t TWCategoryFiles::sizeOfAllFile() const {
    std::lock_guard lock(mutex_);
    return sizeOfAllFiles_;
}
