#pragma once
// The results of one file category: its top-level duplicate groups (exact groups and
// similar groups, in the order the scan added them) with two byte totals, and a cached
// exact-only view in which each similar group is replaced by its exact sub-groups.
//
// Threading: safe from any thread. The list, the cache and the totals are guarded by a
// mutex of the container, held while it calls into its groups (a container comes first
// in the lock order of TWDuplicateFile.h; groups never call a container). Predicates
// and callbacks run under that lock and must not call back into the same container.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "files/TWCategoryManager.h"
#include "model/TWDuplicateFile.h"

class TWCategoryFiles {
public:
    using Ptr = std::shared_ptr<TWCategoryFiles>;
    using GroupPtr = TWDuplicateFile::Ptr;
    // Answers whether `group` is the one sought; may set `stop` to end the walk.
    using FindPredicate = std::function<bool(const GroupPtr& group, bool& stop)>;

    // A container with zero totals; null (and one log line) for TWCategory_allFiles,
    // which stands only for the union of all categories.
    static Ptr initWithCategory(int64_t category);
    // Category 0: always null.
    static Ptr init();

    TWCategory category() const { return category_; }
    std::string name() const;              // display name of the category
    size_t numberOfCategoryFiles() const;  // top-level groups
    std::string description() const;       // "Duplicates: <numberOfCategoryFiles>"

    // Appends the group; sizeOfAllFile grows by its totalSize and, for a group of two
    // files or more, sizeOfDuplicateFiles by totalSize - identifySize. Null is ignored.
    void addDuplicateFile(const GroupPtr& group);
    // The first top-level group the predicate accepts; null when none does or when the
    // predicate sets `stop` while answering false.
    GroupPtr findDuplicateFileUsingBlock(const FindPredicate& predicate) const;
    std::vector<GroupPtr> duplicateFilesIncludingSimilar() const;
    // Exact groups, with each similar group replaced by its exact sub-groups; built on
    // first use and kept until resetCache, removeNotDuplicateFileIncludingSimilar or a
    // removal (groups added or edited meanwhile show only after one of those).
    std::vector<GroupPtr> duplicateFilesExcludingSimilar();
    void resetCache();
    // Drops the groups left with fewer than two files and recomputes both totals over
    // the rest; answers whether a group was dropped.
    bool removeNotDuplicateFileIncludingSimilar();
    // Hands the checked files of each group in order to `callback` (see the group's
    // operation), stopping after the group in which the callback asked to stop; then
    // drops the groups left with fewer than two files. Answers whether it stopped.
    bool isCancelledRemoveCheckFilesUsingBlock(const TWDuplicateFile::RemoveCallback& callback);
    void sortDuplicateFilesWithCreateTime(bool newestFirst);
    // Applies a TWCheckMethod to every top-level group in list order.
    void smartCheckDuplicateFilesWithMethod(int32_t method);

    uint64_t numberOfFilesCheckedToRemoved() const;  // over the top-level groups
    uint64_t sizeOfFilesCheckedToRemoved() const;
    // The space the copies beyond the first of each group take.
    uint64_t sizeOfDuplicateFiles() const;
    // The space every file of the groups takes.
    uint64_t sizeOfAllFile() const;

    struct PrivateTag {};
    TWCategoryFiles(PrivateTag, TWCategory category) : category_(category) {}
    TWCategoryFiles(const TWCategoryFiles&) = delete;
    TWCategoryFiles& operator=(const TWCategoryFiles&) = delete;

private:
    mutable std::mutex mutex_;
    const TWCategory category_;
    std::vector<GroupPtr> duplicateFiles_;
    std::optional<std::vector<GroupPtr>> duplicateFilesExcludingSimilar_;
    uint64_t sizeOfDuplicates_ = 0;
    uint64_t sizeOfAllFiles_ = 0;
};
