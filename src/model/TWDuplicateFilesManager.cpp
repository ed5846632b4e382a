#include "model/TWDuplicateFilesManager.h"

#include <algorithm>

#include "model/TWFilesListManager.h"
#include "model/TWTextKeys.h"
#include "platform/MainQueue.h"

namespace {

std::mutex& instanceMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<TWDuplicateFilesManager>& instance() {
    static std::unique_ptr<TWDuplicateFilesManager> manager;
    return manager;
}

}  // namespace

// --- singleton ---

TWDuplicateFilesManager& TWDuplicateFilesManager::shared() {
    std::lock_guard lock(instanceMutex());
    if (!instance()) instance() = std::make_unique<TWDuplicateFilesManager>();
    return *instance();
}

void TWDuplicateFilesManager::resetShared() {
    std::unique_ptr<TWDuplicateFilesManager> old;
    {
        std::lock_guard lock(instanceMutex());
        old = std::move(instance());
    }
}

void TWDuplicateFilesManager::delegateWillGoAway(TWDuplicateFilesManagerDelegate* delegate) {
    std::lock_guard lock(instanceMutex());
    TWDuplicateFilesManager* manager = instance().get();
    if (manager && manager->delegateSet_ && manager->delegate_ == delegate) {
        manager->delegate_ = nullptr;
        manager->delegateSet_ = false;
    }
}

TWFilesListManager& TWDuplicateFilesManager::filesListManager() const {
    return TWFilesListManager::shareFilesListManager();
}

TWDuplicateFilesManager::TWDuplicateFilesManager() = default;
TWDuplicateFilesManager::~TWDuplicateFilesManager() = default;

TWDuplicateFilesManagerDelegate* TWDuplicateFilesManager::delegate() const {
    return delegateSet_ ? delegate_ : &TWFilesListManager::shareFilesListManager();
}

void TWDuplicateFilesManager::setDelegate(TWDuplicateFilesManagerDelegate* delegate) {
    delegate_ = delegate;
    delegateSet_ = true;
}

// --- the result and the view state ---

void TWDuplicateFilesManager::updateDuplicateFiles(std::vector<ContainerPtr> containers) {
    setFilterString(std::nullopt);
    selection_.clear();
    {
        std::lock_guard lock(resultMutex_);
        allDuplicateFiles_ = std::move(containers);
    }
    discardDisplay();
    recordKeys_.clear();
}

void TWDuplicateFilesManager::setCategory(TWCategory category) {
    if (category == category_) return;
    category_ = category;
    discardDisplay();
    resetContainerCaches();
    selection_.clear();
}

void TWDuplicateFilesManager::setFilterMethod(TWFilterMethod method) {
    if (method == filterMethod_) return;
    filterMethod_ = method;
    discardDisplay();
    resetContainerCaches();
    selection_.clear();
}

void TWDuplicateFilesManager::setFilterString(std::optional<std::string> text) {
    const auto lower = [](const std::optional<std::string>& s) {
        return s ? std::optional<std::string>(TWLowercase(*s)) : std::nullopt;
    };
    if (lower(text) == lower(filterString_)) return;
    filterString_ = std::move(text);
    discardDisplay();
    selection_.clear();
}

void TWDuplicateFilesManager::sortDuplicateFilesWithMethod(TWSortType type, bool ascend) {
    if (type == sortType_ && ascend == sortAsending_) return;
    sortType_ = type;
    sortAsending_ = ascend;
    if (!displayDuplicateFiles_) return;
    displayDuplicateFiles_ = sorted(*displayDuplicateFiles_);
    selection_.clear();
    if (!displayDuplicateFiles_->empty()) setSelection({0});
}

const std::vector<TWDuplicateFilesManager::GroupPtr>& TWDuplicateFilesManager::displayDuplicateFiles() {
    if (!displayDuplicateFiles_) displayDuplicateFiles_ = sorted(filtered(groupsOfCategory()));
    return *displayDuplicateFiles_;
}

size_t TWDuplicateFilesManager::numberOfDisplayDuplicateFiles() {
    return displayDuplicateFiles().size();
}

TWDuplicateFilesManager::GroupPtr TWDuplicateFilesManager::duplicateFileForDisplayAtIndex(size_t index) {
    const auto& groups = displayDuplicateFiles();
    return index < groups.size() ? groups[index] : nullptr;
}

void TWDuplicateFilesManager::discardDisplay() {
    displayDuplicateFiles_.reset();
}

void TWDuplicateFilesManager::resetContainerCaches() {
    for (const ContainerPtr& container : allDuplicateFiles_) container->resetCache();
}

std::vector<TWDuplicateFilesManager::GroupPtr> TWDuplicateFilesManager::groupsOfCategory() const {
    if (category_ == TWCategory_allFiles) {
        // All: every group whole, whatever the filter method.
        std::vector<GroupPtr> groups;
        for (const ContainerPtr& container : allDuplicateFiles_) {
            std::vector<GroupPtr> part = container->duplicateFilesIncludingSimilar();
            groups.insert(groups.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
        }
        return groups;
    }
    const ContainerPtr container = findCategoryFilesWithCategory(category_);
    if (!container) return {};
    return filterMethod_ == TWFilterMethodIncludingSimilar ? container->duplicateFilesIncludingSimilar()
                                                           : container->duplicateFilesExcludingSimilar();
}

// Keeps the groups whose filename (the first member's name; the other members' names
// are not searched) contains the search text, ignoring case and diacritics.
std::vector<TWDuplicateFilesManager::GroupPtr> TWDuplicateFilesManager::filtered(std::vector<GroupPtr> groups) {
    if (!filterString_ || filterString_->empty()) return groups;
    const std::string needle = TWFoldForSearch(*filterString_);
    std::vector<GroupPtr> kept;
    for (GroupPtr& group : groups) {
        const std::shared_ptr<TWFileUtility> first = group->firstFile();
        const std::string_view name = first ? std::string_view(keysOf(first).folded) : std::string_view();
        if (TWFoldedContains(name, needle)) kept.push_back(std::move(group));
    }
    return kept;
}

TWDuplicateFilesManager::RecordKeys& TWDuplicateFilesManager::keysOf(const std::shared_ptr<TWFileUtility>& record) {
    auto [it, inserted] = recordKeys_.try_emplace(record.get());
    if (inserted) {
        it->second.record = record;
        it->second.folded = TWFoldForSearch(record->fileName());
    }
    return it->second;
}

const std::string& TWDuplicateFilesManager::collationKeyOf(RecordKeys& keys, const TWFileUtility& record,
                                                           bool category) {
    if (!category) {
        if (!keys.nameCollation) keys.nameCollation = TWCollationKey(record.fileName());
        return *keys.nameCollation;
    }
    if (!keys.categoryCollation) {
        const std::string name = record.descriptionOfCategory();
        auto [it, inserted] = categoryCollationKeys_.try_emplace(name);
        if (inserted) it->second = TWCollationKey(name);
        keys.categoryCollation = &it->second;
    }
    return *keys.categoryCollation;
}

// A stable sort, so groups with equal keys keep their order. Keys are read once per
// group before sorting: a group's values sit behind its lock and may change meanwhile.
std::vector<TWDuplicateFilesManager::GroupPtr> TWDuplicateFilesManager::sorted(const std::vector<GroupPtr>& groups) {
    const bool textKey = sortType_ == TWSortTypeName || sortType_ == TWSortTypeCategory;
    const bool numericKey = sortType_ == TWSortTypeSize || sortType_ == TWSortTypeCount;
    // TWSortTypeNone keeps the order; an unknown type makes every group equal, which a
    // stable sort also leaves in order.
    if (!textKey && !numericKey) return groups;

    struct Item {
        const std::string* text;
        uint64_t number;
        size_t index;
    };
    static const std::string emptyKey = TWCollationKey("");
    std::vector<Item> items;
    items.reserve(groups.size());
    for (size_t i = 0; i < groups.size(); ++i) {
        Item item{&emptyKey, 0, i};
        if (sortType_ == TWSortTypeSize) {
            item.number = groups[i]->totalSize();
        } else if (sortType_ == TWSortTypeCount) {
            item.number = groups[i]->numberOfFiles();
        } else if (const std::shared_ptr<TWFileUtility> first = groups[i]->firstFile()) {
            item.text = &collationKeyOf(keysOf(first), *first, sortType_ == TWSortTypeCategory);
        }
        items.push_back(item);
    }
    // The flag reads "A to Z" for text and "largest first" for numbers.
    const bool ascend = sortAsending_;
    if (textKey) {
        std::stable_sort(items.begin(), items.end(), [ascend](const Item& a, const Item& b) {
            return ascend ? *a.text < *b.text : *b.text < *a.text;
        });
    } else {
        std::stable_sort(items.begin(), items.end(), [ascend](const Item& a, const Item& b) {
            return ascend ? a.number > b.number : a.number < b.number;
        });
    }
    std::vector<GroupPtr> out;
    out.reserve(items.size());
    for (const Item& item : items) out.push_back(groups[item.index]);
    return out;
}

// --- selection ---

void TWDuplicateFilesManager::setSelection(IndexSet indexes) {
    selection_ = std::move(indexes);
    if (TWDuplicateFilesManagerDelegate* target = delegate()) {
        target->TWDuplicateFilesManagerSelectionDidChanged(*this);
    }
}

void TWDuplicateFilesManager::defaultSelection() {
    setSelection(displayDuplicateFiles().empty() ? IndexSet{} : IndexSet{0});
}

TWDuplicateFilesManager::GroupPtr TWDuplicateFilesManager::duplicateFileSelected() {
    if (selection_.empty()) return nullptr;
    return duplicateFileForDisplayAtIndex(*selection_.begin());
}

std::vector<TWDuplicateFilesManager::GroupPtr> TWDuplicateFilesManager::duplicateFilesOfSelected() {
    std::vector<GroupPtr> groups;
    for (size_t index : selection_) {
        if (GroupPtr group = duplicateFileForDisplayAtIndex(index)) groups.push_back(std::move(group));
    }
    return groups;
}

// --- totals ---

uint64_t TWDuplicateFilesManager::numberOfDuplicateFiles() const {
    uint64_t total = 0;
    for (const ContainerPtr& container : allDuplicateFiles_) total += container->numberOfCategoryFiles();
    return total;
}

uint64_t TWDuplicateFilesManager::numberOfFilesCheckedToRemoved() const {
    uint64_t total = 0;
    for (const ContainerPtr& container : allDuplicateFiles_) total += container->numberOfFilesCheckedToRemoved();
    return total;
}

uint64_t TWDuplicateFilesManager::sizeOfFilesCheckedToRemoved() const {
    uint64_t total = 0;
    for (const ContainerPtr& container : allDuplicateFiles_) total += container->sizeOfFilesCheckedToRemoved();
    return total;
}

uint64_t TWDuplicateFilesManager::duplicateSizeOfCategory(TWCategory category) const {
    uint64_t total = 0;
    for (const ContainerPtr& container : allDuplicateFiles_) {
        if (category != TWCategory_allFiles && container->category() != category) continue;
        total += container->sizeOfDuplicateFiles();
        if (category != TWCategory_allFiles) break;
    }
    return total;
}

TWDuplicateFilesManager::ContainerPtr TWDuplicateFilesManager::findCategoryFilesWithCategory(
    TWCategory category) const {
    for (const ContainerPtr& container : allDuplicateFiles_) {
        if (container->category() == category) return container;
    }
    return nullptr;
}

bool TWDuplicateFilesManager::similarFilesNeedDisplay() const {
    return category_ == TWCategory_allFiles || category_ == TWCategory_images;
}

// --- edits ---

// The walk of TWCategoryFiles::isCancelledRemoveCheckFilesUsingBlock, with one
// difference: each file is handed over with no lock held. The container's own walk runs
// the callback under the container's and the group's lock, and the callback is a file
// operation (a copy to another file system may take minutes), during which the window
// could not read a total or draw a group. Here each file leaves its group (counters
// following) before the callback runs, exactly as in the group's walk; only the moment
// of the callback differs.
void TWDuplicateFilesManager::removeCheckedFilesUsingBlock(const TWDuplicateFile::RemoveCallback& callback) {
    std::vector<ContainerPtr> containers;
    {
        std::lock_guard lock(resultMutex_);
        containers = allDuplicateFiles_;
    }
    bool stopped = !callback;  // nothing to hand the files to: they stay
    for (const ContainerPtr& container : containers) {
        if (stopped) break;
        for (const GroupPtr& group : container->duplicateFilesIncludingSimilar()) {
            stopped = handOverCheckedFiles(*group, callback);
            if (stopped) break;
        }
        // Drops the groups left with fewer than two files, recomputes both totals and
        // discards the exact-only view, as the container's walk ends.
        container->removeNotDuplicateFileIncludingSimilar();
    }

    auto finish = [this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;  // the manager was replaced meanwhile (tests)
        discardDisplay();
        setSelection({});
    };
    tw::MainQueue& mainQueue = tw::MainQueue::shared();
    if (mainQueue.isMainThread()) {
        finish();
    } else {
        mainQueue.post(std::move(finish));
    }
}

bool TWDuplicateFilesManager::handOverCheckedFiles(TWDuplicateFile& group,
                                                   const TWDuplicateFile::RemoveCallback& callback) {
    for (const std::shared_ptr<TWFileUtility>& file : group.itemsOfFileUtility()) {
        if (!file->isChecked()) continue;
        group.removeFile(file);
        bool stop = false;
        callback(file, stop);
        if (stop) return true;
    }
    return false;
}

bool TWDuplicateFilesManager::removeNotDuplicateFile() {
    bool dropped = false;
    for (const ContainerPtr& container : allDuplicateFiles_) {
        if (container->removeNotDuplicateFileIncludingSimilar()) dropped = true;  // every container
    }
    // A sub-group of the exact-only view can fall to one file while its similar group
    // keeps two or more, so that no container drops anything: it leaves the displayed
    // list all the same, or the browser would go on showing a group of one file.
    const std::vector<GroupPtr>& current = displayDuplicateFiles();
    std::vector<GroupPtr> kept;
    kept.reserve(current.size());
    for (const GroupPtr& group : current) {
        if (group->numberOfFiles() > 1) kept.push_back(group);
    }
    if (!dropped && kept.size() == current.size()) return false;

    displayDuplicateFiles_ = std::move(kept);
    const size_t length = displayDuplicateFiles_->size();
    IndexSet clamped;
    if (length > 0) {
        for (size_t index : selection_) clamped.insert(std::min(index, length - 1));
    }
    setSelection(std::move(clamped));
    return true;
}
