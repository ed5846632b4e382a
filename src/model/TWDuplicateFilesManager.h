#pragma once
// The owner of the last scan's result (one TWCategoryFiles per category that has
// groups) and of what the results browser shows of it: the category, whether similar
// groups are shown whole, the search text, the sort order, the displayed groups and the
// selection among them. It also totals the result and runs the removal walk.
//
// Threading: main thread only, except removeCheckedFilesUsingBlock, which the removal
// run calls on its own thread. That walk holds no lock of a container or a group while
// a file is being disposed of, so the main thread may read the totals and draw the
// groups meanwhile without waiting for a file operation.
//
// The displayed list is a cache: discarded by a change of category, filter method,
// search text or result and by a removal, rebuilt on the next read. Every operation that
// discards or replaces it clears or clamps the selection, so selected indexes always
// refer to the current list.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "files/TWCategoryManager.h"
#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFile.h"

class TWFilesListManager;
class TWDuplicateFilesManager;

enum TWFilterMethod : int32_t {
    // Exact groups only: each similar group is replaced by its exact sub-groups.
    TWFilterMethodExcludingSimilar = 0,
    // Every top-level group, similar groups as whole groups.
    TWFilterMethodIncludingSimilar = 1,
};

// The sort keys. With sortAsending true, text keys run A to Z and numeric keys from
// the largest down; false reverses both. TWSortTypeNone keeps the list's order.
enum TWSortType : int32_t {
    TWSortTypeName = 0,      // the group's filename, localized and case-insensitive
    TWSortTypeSize = 1,      // totalSize
    TWSortTypeCount = 2,     // numberOfFiles
    TWSortTypeCategory = 3,  // categoryName, localized and case-insensitive
    TWSortTypeNone = 4,
};

class TWDuplicateFilesManagerDelegate {
public:
    virtual ~TWDuplicateFilesManagerDelegate() = default;
    // Called on the main thread after setSelection (also through defaultSelection, a
    // removal or removeNotDuplicateFile) replaced the selection.
    virtual void TWDuplicateFilesManagerSelectionDidChanged(TWDuplicateFilesManager& manager) {}
};

class TWDuplicateFilesManager {
public:
    using GroupPtr = TWDuplicateFile::Ptr;
    using ContainerPtr = TWCategoryFiles::Ptr;
    using IndexSet = std::set<size_t>;

    static TWDuplicateFilesManager& shared();
    // Replaces the singleton by a fresh one (tests). Main thread, with no removal running;
    // references to the old instance die with it.
    static void resetShared();
    // The file-list singleton.
    TWFilesListManager& filesListManager() const;

    TWDuplicateFilesManager();
    ~TWDuplicateFilesManager();
    TWDuplicateFilesManager(const TWDuplicateFilesManager&) = delete;
    TWDuplicateFilesManager& operator=(const TWDuplicateFilesManager&) = delete;

    // --- the result and the view state ---
    // Takes a new result: clears the search text and the selection (without telling the
    // delegate) and discards the displayed list; category, filter and sort stay.
    void updateDuplicateFiles(std::vector<ContainerPtr> containers);
    const std::vector<ContainerPtr>& allDuplicateFiles() const { return allDuplicateFiles_; }

    TWCategory category() const { return category_; }
    // A different value discards the displayed list and every container's exact-only
    // view, and clears the selection (without telling the delegate).
    void setCategory(TWCategory category);
    TWFilterMethod filterMethod() const { return filterMethod_; }
    void setFilterMethod(TWFilterMethod method);  // as setCategory
    const std::optional<std::string>& filterString() const { return filterString_; }
    // Only a change of the lower-case form counts: then the text is stored as given, the
    // displayed list discarded and the selection cleared.
    void setFilterString(std::optional<std::string> text);

    TWSortType sortType() const { return sortType_; }
    bool sortAsending() const { return sortAsending_; }
    // When either value differs: stores both and, if a displayed list exists, sorts it
    // anew, clears the selection and, unless the list is empty, selects its first group
    // through setSelection.
    void sortDuplicateFilesWithMethod(TWSortType type, bool ascend);
    void setSortType(TWSortType type) { sortDuplicateFilesWithMethod(type, sortAsending_); }
    void setSortAsending(bool ascend) { sortDuplicateFilesWithMethod(sortType_, ascend); }

    // The displayed groups, computed first when absent (this reads every group of the
    // category). The reference is valid until the next call that discards the list.
    const std::vector<GroupPtr>& displayDuplicateFiles();
    size_t numberOfDisplayDuplicateFiles();
    GroupPtr duplicateFileForDisplayAtIndex(size_t index);  // null past the end

    // --- selection ---
    IndexSet selection() const { return selection_; }
    // Replaces the selection, then tells the delegate.
    void setSelection(IndexSet indexes);
    void defaultSelection();                           // {0}, or nothing for an empty list
    GroupPtr duplicateFileSelected();                  // the first selected group, or null
    std::vector<GroupPtr> duplicateFilesOfSelected();  // in index order

    // Not owned. Until set, the delegate is the file-list singleton; a delegate that
    // dies first sets it to null (or to another delegate) before.
    TWDuplicateFilesManagerDelegate* delegate() const;
    void setDelegate(TWDuplicateFilesManagerDelegate* delegate);

    // --- totals over every container of the result ---
    uint64_t numberOfDuplicateFiles() const;  // top-level groups; a similar group is one
    uint64_t numberOfFilesCheckedToRemoved() const;
    uint64_t sizeOfFilesCheckedToRemoved() const;
    // TWCategory_allFiles: the sum over every container; otherwise that category's first
    // container's value, 0 when there is none.
    uint64_t duplicateSizeOfCategory(TWCategory category) const;
    ContainerPtr findCategoryFilesWithCategory(TWCategory category) const;  // first, or null
    bool similarFilesNeedDisplay() const;                                   // category All or Images

    // --- edits ---
    // Called on the removal thread: hands every checked file of every container, in
    // order, to `callback`, each after it left its group (whatever the callback then does
    // on disk), with no model lock held; the walk ends after the file for which the
    // callback set `stop`. Every visited container then drops its groups left with fewer
    // than two files. Last, on the main thread (inline when called there, else queued
    // without waiting), discards the displayed list and sets an empty selection.
    void removeCheckedFilesUsingBlock(const TWDuplicateFile::RemoveCallback& callback);
    // After a file was ignored: drops the groups left with fewer than two files from the
    // containers and from the displayed list, keeping its order, and clamps the
    // selection to the shorter list. Answers whether any group was dropped.
    bool removeNotDuplicateFile();

private:
    friend class TWFilesListManager;  // hands the default delegate on when it is replaced
    // A delegate being destroyed: if the singleton names it, it falls back to the default.
    static void delegateWillGoAway(TWDuplicateFilesManagerDelegate* delegate);
    // The keys of one record that the search and the sort read, filled on first use.
    struct RecordKeys {
        std::shared_ptr<TWFileUtility> record;  // keeps the map's key address in use
        std::string folded;                     // TWFoldForSearch of fileName
        std::optional<std::string> nameCollation;
        const std::string* categoryCollation = nullptr;  // into categoryCollationKeys_
    };

    // Hands the checked members over one at a time; answers whether the callback stopped.
    static bool handOverCheckedFiles(TWDuplicateFile& group, const TWDuplicateFile::RemoveCallback& callback);
    void discardDisplay();
    void resetContainerCaches();
    std::vector<GroupPtr> groupsOfCategory() const;
    std::vector<GroupPtr> filtered(std::vector<GroupPtr> groups);
    std::vector<GroupPtr> sorted(const std::vector<GroupPtr>& groups);
    RecordKeys& keysOf(const std::shared_ptr<TWFileUtility>& record);
    const std::string& collationKeyOf(RecordKeys& keys, const TWFileUtility& record, bool category);

    // allDuplicateFiles_ is written on the main thread under resultMutex_ and read there
    // without it; the removal thread copies it under the mutex.
    mutable std::mutex resultMutex_;
    std::vector<ContainerPtr> allDuplicateFiles_;

    TWCategory category_ = TWCategory_allFiles;
    TWFilterMethod filterMethod_ = TWFilterMethodExcludingSimilar;
    std::optional<std::string> filterString_;
    TWSortType sortType_ = TWSortTypeNone;
    bool sortAsending_ = false;
    std::optional<std::vector<GroupPtr>> displayDuplicateFiles_;
    IndexSet selection_;
    TWDuplicateFilesManagerDelegate* delegate_ = nullptr;
    bool delegateSet_ = false;

    // Search and collation keys of first members, computed on first use and kept for the
    // life of the result (a record's name never changes). Main thread only.
    std::unordered_map<const TWFileUtility*, RecordKeys> recordKeys_;
    std::unordered_map<std::string, std::string> categoryCollationKeys_;

    // Lets a main-thread task queued by a removal notice that this instance is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
