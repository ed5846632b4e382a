#include "TWPlacedItems.h"

#include "TWMediaObjectUtility.h"

size_t TWPlacedItems::FileKeyHash::operator()(const FileKey& key) const noexcept {
    uint64_t h = static_cast<uint64_t>(key.inode) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(key.device) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
    return static_cast<size_t>(h ^ (static_cast<uint64_t>(key.source) << 48));
}

uint32_t TWPlacedItems::sourceIdLocked(const std::string& source) {
    auto [it, added] = sources_.emplace(source, static_cast<uint32_t>(sources_.size()));
    return it->second;
}

bool TWPlacedItems::claim(const TWFileUtility& record) {
    const std::string source = record.sourceType();
    const auto* libraryItem = dynamic_cast<const TWMediaObjectUtility*>(&record);
    std::lock_guard<std::mutex> lock(mutex_);
    if (libraryItem && libraryItems_.count(source + '\n' + libraryItem->identifier())) return false;
    if (record.hasIdentity()) {
        const FileKey key{sourceIdLocked(source), record.device(), record.inode()};
        if (!files_.insert(key).second) return false;
    }
    if (libraryItem) libraryItems_.insert(source + '\n' + libraryItem->identifier());
    return true;
}

void TWPlacedItems::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    files_ = {};
    libraryItems_ = {};
}

size_t TWPlacedItems::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.size() + libraryItems_.size();
}
