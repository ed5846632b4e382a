#include "engine/TWPlacedItems.h"

#include "engine/TWMediaObjectUtility.h"

namespace {

template <class Inode>
size_t slotOf(Inode inode, size_t mask) {
    uint64_t h = static_cast<uint64_t>(inode) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h ^ (h >> 29)) & mask;
}

template <class Inode>
void insertFresh(std::vector<Inode>& slots, Inode inode) {
    const size_t mask = slots.size() - 1;
    size_t at = slotOf(inode, mask);
    while (slots[at] != 0) at = (at + 1) & mask;
    slots[at] = inode;
}

}  // namespace

template <class Inode>
bool TWPlacedItems::Slots<Inode>::insert(Inode inode) {
    if (slots.empty()) slots.assign(64, 0);
    const size_t mask = slots.size() - 1;
    for (size_t at = slotOf(inode, mask);; at = (at + 1) & mask) {
        if (slots[at] == inode) return false;
        if (slots[at] == 0) break;
    }
    // Grown at 3/4 full, so that a probe always ends at a free slot.
    if ((count + 1) * 4 > slots.size() * 3) {
        std::vector<Inode> grown(slots.size() * 2, 0);
        for (Inode kept : slots)
            if (kept != 0) insertFresh(grown, kept);
        slots.swap(grown);
    }
    insertFresh(slots, inode);
    ++count;
    return true;
}

bool TWPlacedItems::InodeSet::insert(ino_t inode) {
    if (inode == 0) {
        if (hasZero) return false;
        hasZero = true;
        return true;
    }
    if (inode <= UINT32_MAX) return narrow.insert(static_cast<uint32_t>(inode));
    return wide.insert(static_cast<uint64_t>(inode));
}

uint32_t TWPlacedItems::sourceIdLocked(const std::string& source) {
    // Looked up first: an emplace makes its node (and copies the name) before it looks.
    if (auto it = sources_.find(source); it != sources_.end()) return it->second;
    return sources_.emplace(source, static_cast<uint32_t>(sources_.size())).first->second;
}

bool TWPlacedItems::claim(const TWFileUtility& record) {
    const std::string& source = record.sourceType();
    const auto* libraryItem = dynamic_cast<const TWMediaObjectUtility*>(&record);
    std::lock_guard<std::mutex> lock(mutex_);
    if (libraryItem && libraryItems_.count(source + '\n' + libraryItem->identifier())) return false;
    if (record.hasIdentity()) {
        const uint32_t sourceId = sourceIdLocked(source);
        InodeSet* set = nullptr;
        for (auto& candidate : files_)
            if (candidate.source == sourceId && candidate.device == record.device()) set = &candidate;
        if (!set) set = &files_.emplace_back(InodeSet{sourceId, record.device(), {}, {}});
        if (!set->insert(record.inode())) return false;
        ++fileCount_;
    }
    if (libraryItem) libraryItems_.insert(source + '\n' + libraryItem->identifier());
    return true;
}

void TWPlacedItems::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    files_ = {};
    fileCount_ = 0;
    libraryItems_ = {};
}

size_t TWPlacedItems::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fileCount_ + libraryItems_.size();
}
