#include "model/TWFilesListManager.h"

#include <algorithm>

#include "platform/Executors.h"
#include "platform/FileManagerReveal.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

namespace {

std::mutex& instanceMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<TWFilesListManager>& instance() {
    static std::unique_ptr<TWFilesListManager> manager;
    return manager;
}

void revealWithFileManager(const std::vector<std::string>& paths) {
    const tw::Status status = tw::FileManagerReveal().reveal(paths);
    if (!status) tw::log("Can't reveal in the file manager: %s", status.message().c_str());
}

}  // namespace

TWFilesListManager& TWFilesListManager::shareFilesListManager() {
    std::lock_guard lock(instanceMutex());
    if (!instance()) instance() = std::make_unique<TWFilesListManager>();
    return *instance();
}

void TWFilesListManager::resetShareFilesListManager() {
    std::unique_ptr<TWFilesListManager> old;
    {
        std::lock_guard lock(instanceMutex());
        old = std::move(instance());
    }
    if (old) TWDuplicateFilesManager::delegateWillGoAway(old.get());
}

TWFilesListManager::TWFilesListManager() = default;
TWFilesListManager::~TWFilesListManager() = default;

// --- rows ---

std::vector<TWFilesListManager::RowPtr> TWFilesListManager::buildRows(const std::vector<GroupPtr>& groups) {
    std::vector<RowPtr> rows;
    for (const GroupPtr& group : groups) {
        const std::vector<FilePtr> members = group->itemsOfFileUtility();
        for (size_t i = 0; i < members.size(); ++i) {
            rows.push_back(std::make_shared<TWFileUtilityMgr>(members[i], group, i == 0));
        }
    }
    return rows;
}

template <typename Fn>
auto TWFilesListManager::withRows(Fn&& fn) {
    for (;;) {
        uint64_t generation = 0;
        {
            std::lock_guard lock(mutex_);
            if (cacheFileUnitiyMgr_) return fn(*cacheFileUnitiyMgr_);
            generation = generation_;
        }
        // Built without the mutex: reading the groups takes their locks.
        std::vector<RowPtr> built = buildRows(TWDuplicateFilesManager::shared().duplicateFilesOfSelected());
        std::lock_guard lock(mutex_);
        if (!cacheFileUnitiyMgr_ && generation == generation_) cacheFileUnitiyMgr_ = std::move(built);
        if (cacheFileUnitiyMgr_) return fn(*cacheFileUnitiyMgr_);
        // Discarded while being built: build again from the newer selection.
    }
}

std::vector<TWFilesListManager::RowPtr> TWFilesListManager::arrayFileUtilityMgr() {
    return withRows([](const std::vector<RowPtr>& rows) { return rows; });
}

size_t TWFilesListManager::numberOfFilesItem() {
    return withRows([](const std::vector<RowPtr>& rows) { return rows.size(); });
}

TWFilesListManager::RowPtr TWFilesListManager::fileUtilityMgrAtIndex(size_t index) {
    return withRows([index](const std::vector<RowPtr>& rows) { return index < rows.size() ? rows[index] : nullptr; });
}

TWFilesListManager::FilePtr TWFilesListManager::fileItemAtIndex(size_t index) {
    return fileItemAtIndex(index, nullptr);
}

TWFilesListManager::FilePtr TWFilesListManager::fileItemAtIndex(size_t index, bool* isFirst) {
    const RowPtr row = fileUtilityMgrAtIndex(index);
    if (!row) return nullptr;
    if (isFirst) *isFirst = row->isFirst();
    return row->fileUtility();
}

bool TWFilesListManager::isFirstFileItemAtIndex(size_t index) {
    if (index == 0) return true;
    const RowPtr row = fileUtilityMgrAtIndex(index);
    return row && row->isFirst();
}

TWFilesListManager::GroupPtr TWFilesListManager::duplicateFileAtFileItemIndex(size_t index,
                                                                              size_t* basedDuplicateFileIndex) {
    const RowPtr row = fileUtilityMgrAtIndex(index);
    if (!row) return nullptr;
    if (basedDuplicateFileIndex)
        *basedDuplicateFileIndex = row->duplicateFile()->indexOfFileUtility(row->fileUtility());
    return row->duplicateFile();
}

void TWFilesListManager::removeFileUtilityMgrAtIndex(size_t index) {
    std::lock_guard lock(mutex_);
    if (cacheFileUnitiyMgr_ && index < cacheFileUnitiyMgr_->size()) {
        cacheFileUnitiyMgr_->erase(cacheFileUnitiyMgr_->begin() + static_cast<ptrdiff_t>(index));
    }
}

void TWFilesListManager::TWDuplicateFilesManagerSelectionDidChanged(TWDuplicateFilesManager& manager) {
    std::lock_guard lock(mutex_);
    cacheFileUnitiyMgr_.reset();
    ++generation_;
}

// --- row selection ---

TWFilesListManager::IndexSet TWFilesListManager::selection() const {
    std::lock_guard lock(mutex_);
    return selections_;
}

void TWFilesListManager::setSelection(IndexSet indexes) {
    {
        std::lock_guard lock(mutex_);
        selections_ = std::move(indexes);
    }
    tw::NotificationCenter::defaultCenter().post(TWDuplicateSingleFileSelectionChangedNotification);
}

void TWFilesListManager::defaultSelection() {
    setSelection(numberOfFilesItem() > 0 ? IndexSet{0} : IndexSet{});
}

TWFilesListManager::FilePtr TWFilesListManager::fileItemSelected() {
    const IndexSet selected = selection();
    return selected.empty() ? nullptr : fileItemAtIndex(*selected.begin());
}

// --- actions ---

bool TWFilesListManager::checkedFileItem(bool checked, size_t index) {
    const RowPtr row = fileUtilityMgrAtIndex(index);
    if (!row) return false;
    const GroupPtr& group = row->duplicateFile();
    const size_t position = group->indexOfFileUtility(row->fileUtility());
    if (position == TWDuplicateFile::kNotFound) return false;
    if (group->isCheckedAtIndex(position) == checked) return false;
    group->setChecked(checked, position);
    return true;
}

bool TWFilesListManager::ignoreFileItemAtIndex(size_t index) {
    const RowPtr row = fileUtilityMgrAtIndex(index);
    if (!row) return false;
    row->duplicateFile()->hideFileUnitility(row->fileUtility());
    // The row itself leaves, wherever it stands now.
    std::lock_guard lock(mutex_);
    if (cacheFileUnitiyMgr_) std::erase(*cacheFileUnitiyMgr_, row);
    return true;
}

void TWFilesListManager::showInFinderFileItemAtIndex(size_t index) {
    const FilePtr file = fileItemAtIndex(index);
    if (!file) return;
    Revealer revealer;
    {
        std::lock_guard lock(mutex_);
        revealer = revealer_ ? revealer_ : Revealer(revealWithFileManager);
    }
    std::vector<std::string> paths{file->filePath()};
    tw::WorkerPool::defaultPriority().submit(
        [revealer = std::move(revealer), paths = std::move(paths)] { revealer(paths); });
}

void TWFilesListManager::setRevealer(Revealer revealer) {
    std::lock_guard lock(mutex_);
    revealer_ = std::move(revealer);
}

bool TWFilesListManager::containSimilarItem() {
    const auto groups = TWDuplicateFilesManager::shared().duplicateFilesOfSelected();
    return std::any_of(groups.begin(), groups.end(), [](const GroupPtr& group) { return group->isSimilarGroup(); });
}

void TWFilesListManager::smartCheckWithMethod(TWCheckMethod method) {
    for (const GroupPtr& group : TWDuplicateFilesManager::shared().duplicateFilesOfSelected()) {
        group->smartCheckedByMethod(method);
    }
}

void TWFilesListManager::uncheckedAll() {
    for (const GroupPtr& group : TWDuplicateFilesManager::shared().duplicateFilesOfSelected()) group->uncheckedAll();
}
