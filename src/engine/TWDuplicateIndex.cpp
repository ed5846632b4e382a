#include "engine/TWDuplicateIndex.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "files/TWScanCache.h"
#include "model/TWMatching.h"
#include "prefs/TWPreferenceTypes.h"

namespace {

// Decodes one UTF-8 sequence at text[i]; returns its length, 0 when invalid.
size_t decodeUtf8(const std::string& text, size_t i, char32_t& out) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    out = cp;
    return length;
}

void encodeUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The case mapping of a UTF-8 locale, whatever the process's own locale is.
locale_t utf8Locale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return locale;
}

}  // namespace

std::string TWLowercasedName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const size_t length = decodeUtf8(name, i, cp);
        if (length == 0) {
            out += name[i++];
            continue;
        }
        encodeUtf8(static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), utf8Locale())), out);
        i += length;
    }
    return out;
}

size_t TWDuplicateIndex::BucketTable::at(const BucketKey& key) const {
    uint64_t h = key.size * 0x9E3779B97F4A7C15ull;
    h ^= (static_cast<uint64_t>(key.tag) + 0x632BE59BD9B4E019ull) + (h << 6) + (h >> 2);
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<size_t>(h ^ (h >> 31)) & (entries_.size() - 1);
}

TWDuplicateIndex::Bucket* TWDuplicateIndex::BucketTable::find(const BucketKey& key) {
    if (entries_.empty()) return nullptr;
    const size_t mask = entries_.size() - 1;
    for (size_t i = at(key);; i = (i + 1) & mask) {
        Bucket& entry = entries_[i];
        if (entry.value == kNone) return nullptr;
        if (entry.size == key.size && entry.tag == key.tag) return &entry;
    }
}

TWDuplicateIndex::Bucket& TWDuplicateIndex::BucketTable::findOrAdd(const BucketKey& key) {
    if (Bucket* found = find(key)) return *found;
    // Grown at 3/4 full, so that every probe ends at a free entry.
    if ((count_ + 1) * 4 > entries_.size() * 3) {
        std::vector<Bucket> old(entries_.empty() ? 1024 : entries_.size() * 2);
        old.swap(entries_);
        const size_t mask = entries_.size() - 1;
        for (const Bucket& entry : old) {
            if (entry.value == kNone) continue;
            size_t i = at(BucketKey{entry.size, entry.tag});
            while (entries_[i].value != kNone) i = (i + 1) & mask;
            entries_[i] = entry;
        }
    }
    const size_t mask = entries_.size() - 1;
    size_t i = at(key);
    while (entries_[i].value != kNone) i = (i + 1) & mask;
    ++count_;
    Bucket& added = entries_[i];
    added.size = key.size;
    added.tag = key.tag;
    return added;  // value still kNone: the caller fills it in
}

TWDuplicateIndex::TWDuplicateIndex(int64_t searchMode, bool verifyFullContent, TWPlacedItems& placed,
                                   TWReadControl* control, TWScanCache* cache)
    : searchMode_(searchMode),
      verifyFullContent_(verifyFullContent),
      control_(control),
      cache_(cache),
      placed_(placed) {}

TWDuplicateIndex::Kind TWDuplicateIndex::kindOf(const TWFileUtility& record) const {
    if (record.fileType() == TWFileTypePackage) return Kind::Package;
    if (record.fileType() == TWFileTypeRegular && record.isRegularFile()) return Kind::Regular;
    // A folder reached through a link, a FIFO, a device: removal must never take one of
    // these for a copy, so it never joins a group.
    return Kind::Unmatchable;
}

std::optional<TWDuplicateIndex::BucketKey> TWDuplicateIndex::bucketKeyLocked(const TWFileUtility& record,
                                                                             const std::string& source, Kind kind,
                                                                             bool create) {
    // Nearly every file of a scan has the source of the one before: no hashing.
    if (!lastSource_ || source != *lastSource_) {
        auto it = sourceIds_.find(source);
        if (it == sourceIds_.end()) {
            if (!create) return std::nullopt;
            it = sourceIds_.emplace(source, static_cast<uint32_t>(sourceIds_.size())).first;
        }
        lastSource_ = source;
        lastSourceId_ = it->second;
    }
    const uint32_t tag =
        (lastSourceId_ << 8) | (static_cast<uint32_t>(kind) << 4) | static_cast<uint32_t>(record.category());
    return BucketKey{record.fileSize(), tag};
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The first 15 bytes of a hexadecimal digest, short enough to live inside the
// string itself; a full comparison follows every key match.
std::string compactHash(const std::string& hash) {
    if (hash.size() < 30) return hash;
    std::string key(15, '\0');
    for (size_t i = 0; i < 15; ++i) {
        const int high = hexValue(hash[2 * i]), low = hexValue(hash[2 * i + 1]);
        if (high < 0 || low < 0) return hash;
        key[i] = static_cast<char>(high << 4 | low);
    }
    return key;
}

// The key of a content hash: its first 15 bytes, as compactHash makes it of the text.
std::string keyOfHash(const TWMD5& hash) {
    return std::string(reinterpret_cast<const char*>(hash.data()), 15);
}

}  // namespace

std::optional<std::string> TWDuplicateIndex::knownMatchKey(const TWFileUtility& record) const {
    if (searchMode_ != TWSearchModeContent || kindOf(record) != Kind::Regular) return std::nullopt;
    const std::optional<TWMD5> known = record.cachedHash();
    return known ? std::optional<std::string>(keyOfHash(*known)) : std::nullopt;
}

std::optional<std::string> TWDuplicateIndex::matchKey(TWFileUtility& record) const {
    if (searchMode_ == TWSearchModeContent) {
        // A plain file's hash text is its sample's MD5 in hexadecimal: the key is taken
        // from the bytes, without making the text and reading it back.
        if (kindOf(record) == Kind::Regular) return keyOfHash(regularHashOf(record));
        auto hash = hashOf(record);
        if (!hash) return std::nullopt;
        return compactHash(*hash);
    }
    if (searchMode_ == TWSearchModeName) return TWLowercasedName(record.fileName());
    return std::nullopt;  // another mode matches nothing
}

bool TWDuplicateIndex::matches(TWFileUtility& first, TWFileUtility& record, Kind kind) const {
    // The bucket already holds equal source, category, kind and size, and the key list
    // equal hash or equal name.
    if (searchMode_ == TWSearchModeName) return true;
    if (kind == Kind::Package) return TWPackageMatches(first, record, verifyFullContent_);
    return TWContentMatches(first, record, verifyFullContent_, control_);
}

TWDuplicateIndex::Category* TWDuplicateIndex::findCategoryLocked(TWCategory category) {
    for (auto& c : categories_)
        if (c->category == category) return c.get();
    return nullptr;
}

TWDuplicateIndex::Category& TWDuplicateIndex::categoryLocked(TWCategory category) {
    if (Category* found = findCategoryLocked(category)) return *found;
    auto created = std::make_unique<Category>();
    created->category = category;
    created->container = TWCategoryFiles::initWithCategory(category);
    categories_.push_back(std::move(created));
    return *categories_.back();
}

namespace {

constexpr size_t kArenaBlock = 64u << 10;
constexpr uint64_t kBlock = 512;  // the unit of a file system's count of blocks on disk
enum : uint8_t {
    kHasCreateTime = 1,
    kHasIdentity = 2,
    kIsRegularFile = 4,
    kHasHash = 8,
    kCacheHoldsHash = 16,
    kHashFromCache = 32,  // served by the cache, with what it held of the digest
    kDigestKept = 64,     // read whole for its sample: its digest waits in recalledDigests_
};

}  // namespace

uint32_t TWDuplicateIndex::foundLocked(Category& category, const FilePtr& record) {
    Slot slot;
    if (CompactFounder* compact = compactLocked(*record)) {
        // What the decision read of it (its hash, and its digest when it was compared
        // in full) goes to the cache now: the compact form keeps the hash alone, and
        // the record was the last to know the digest.
        if (cache_ && (compact->flags & kHasHash)) {
            remember(*record);
            compact->flags |= kCacheHoldsHash;
        }
        slot.founder = reinterpret_cast<uintptr_t>(compact);
    } else {
        slot.founder = category.records.size() << 1 | 1;
        category.records.push_back(record);
    }
    category.slots.push_back(slot);
    return static_cast<uint32_t>(category.slots.size() - 1);
}

TWDuplicateIndex::CompactFounder* TWDuplicateIndex::compactLocked(const TWFileUtility& record) {
    // A record that refuses removal keeps its marks (and link path) only as a record.
    if (searchMode_ != TWSearchModeContent || !record.isPlainFileRecord() || record.refusesRemoval()) return nullptr;
    const std::string_view folderPart = record.recordPath().folder();
    const std::string_view name = record.recordPath().name();
    if (folderPart.empty() || name.empty() || name.size() > UINT16_MAX) return nullptr;
    const TWFileAttributes attributes = record.attributes();
    if (attributes.fileSizeOnDisk % kBlock != 0 || attributes.fileSizeOnDisk / kBlock > UINT32_MAX) return nullptr;

    size_t device = std::find(devices_.begin(), devices_.end(), attributes.device) - devices_.begin();
    if (device == devices_.size()) {
        if (device > UINT16_MAX) return nullptr;
        devices_.push_back(attributes.device);
    }
    const uint32_t folder = folderIdLocked(folderPart.substr(0, folderPart.size() - 1));
    if (folder == kNone) return nullptr;

    const size_t nameLength = name.size();
    static_assert(alignof(CompactFounder) >= 2, "a slot tells a compact founder by its even address");
    std::byte* at = arenaBytesLocked(sizeof(CompactFounder) + nameLength);
    auto* founder = new (at) CompactFounder{};
    founder->fileSize = attributes.fileSize;
    founder->blocksOnDisk = static_cast<uint32_t>(attributes.fileSizeOnDisk / kBlock);
    founder->inode = attributes.inode;
    founder->createTimeNs = attributes.createTimeNs;
    founder->modifyTimeNs = attributes.modifyTimeNs;
    founder->changeTimeNs = attributes.changeTimeNs;
    founder->hash = attributes.hash;
    founder->folder = folder;
    founder->device = static_cast<uint16_t>(device);
    founder->nameLength = static_cast<uint16_t>(nameLength);
    founder->fileType = attributes.fileType;
    founder->category = attributes.category;
    founder->flags = (attributes.hasCreateTime ? kHasCreateTime : 0) | (attributes.hasIdentity ? kHasIdentity : 0) |
                     (attributes.isRegularFile ? kIsRegularFile : 0) | (attributes.hasHash ? kHasHash : 0);
    std::memcpy(at + sizeof(CompactFounder), name.data(), nameLength);
    return founder;
}

std::byte* TWDuplicateIndex::arenaBytesLocked(size_t bytes) {
    const size_t units = arenaUnits(bytes);
    bytes = units * alignof(CompactFounder);
    if (units < freeRoom_.size() && freeRoom_[units]) {
        std::byte* at = freeRoom_[units];
        std::memcpy(&freeRoom_[units], at, sizeof(std::byte*));
        return at;
    }
    if (arena_.empty() || arenaUsed_ + bytes > kArenaBlock) {
        arena_.push_back(std::unique_ptr<std::byte[]>(new std::byte[std::max(kArenaBlock, bytes)]));
        arenaUsed_ = 0;
    }
    std::byte* at = arena_.back().get() + arenaUsed_;
    arenaUsed_ += bytes;
    return at;
}

void TWDuplicateIndex::freeRoomLocked(CompactFounder* founder) {
    // Nothing holds a founder's address once its slot names the record: the slot is
    // looked up again whenever the lock was let go, and a digest kept for it is gone.
    recalledDigests_.erase(founder);
    const size_t units = arenaUnits(sizeof(CompactFounder) + founder->nameLength);
    static_assert(sizeof(CompactFounder) >= sizeof(std::byte*), "a free piece holds the next one's address");
    if (units >= freeRoom_.size()) freeRoom_.resize(units + 1, nullptr);
    auto* at = reinterpret_cast<std::byte*>(founder);
    std::memcpy(at, &freeRoom_[units], sizeof(std::byte*));
    freeRoom_[units] = at;
}

uint32_t TWDuplicateIndex::folderIdLocked(std::string_view folder) {
    const auto slotOf = [](std::string_view text, size_t mask) {
        return static_cast<size_t>(std::hash<std::string_view>{}(text)) & mask;
    };
    if (!folderIds_.empty()) {
        const size_t mask = folderIds_.size() - 1;
        for (size_t at = slotOf(folder, mask); folderIds_[at] != kNone; at = (at + 1) & mask)
            if (folders_[folderIds_[at]] == folder) return folderIds_[at];
    }
    if (folders_.size() >= kNone) return kNone;
    // Grown at 3/4 full, so that every probe ends at a free slot.
    if ((folders_.size() + 1) * 4 > folderIds_.size() * 3) {
        folderIds_.assign(folderIds_.empty() ? 256 : folderIds_.size() * 2, kNone);
        const size_t mask = folderIds_.size() - 1;
        for (uint32_t id = 0; id < folders_.size(); ++id) {
            size_t at = slotOf(folders_[id], mask);
            while (folderIds_[at] != kNone) at = (at + 1) & mask;
            folderIds_[at] = id;
        }
    }
    auto* text = reinterpret_cast<char*>(arenaBytesLocked(folder.size()));
    std::memcpy(text, folder.data(), folder.size());
    const auto id = static_cast<uint32_t>(folders_.size());
    folders_.emplace_back(text, folder.size());
    const size_t mask = folderIds_.size() - 1;
    size_t at = slotOf(folder, mask);
    while (folderIds_[at] != kNone) at = (at + 1) & mask;
    folderIds_[at] = id;
    return id;
}

std::string TWDuplicateIndex::pathOfLocked(const CompactFounder& founder) const {
    const std::string_view folder = folders_[founder.folder];
    std::string path;
    path.reserve(folder.size() + 1 + founder.nameLength);
    path += folder;
    path += '/';
    path.append(founder.name(), founder.nameLength);
    return path;
}

TWRecordPath TWDuplicateIndex::recordPathOfLocked(const CompactFounder& founder) {
    if (folderPaths_.size() <= founder.folder) folderPaths_.resize(folders_.size());
    TWRecordPath& folder = folderPaths_[founder.folder];
    if (folder.empty()) {
        std::string text(folders_[founder.folder]);
        text += '/';
        folder = TWRecordPath::ofFolder(text);
    }
    return TWRecordPath(folder, std::string_view(founder.name(), founder.nameLength));
}

const TWDuplicateIndex::FilePtr& TWDuplicateIndex::founderLocked(Category& category, Slot& slot) {
    if (!slot.compact()) return category.records[slot.record()];
    CompactFounder& founder = *slot.compact();
    TWFileAttributes attributes;
    attributes.fileSize = founder.fileSize;
    attributes.fileSizeOnDisk = uint64_t{founder.blocksOnDisk} * kBlock;
    attributes.device = devices_[founder.device];
    attributes.inode = founder.inode;
    attributes.createTimeNs = founder.createTimeNs;
    attributes.modifyTimeNs = founder.modifyTimeNs;
    attributes.changeTimeNs = founder.changeTimeNs;
    attributes.hash = founder.hash;
    attributes.fileType = founder.fileType;
    attributes.category = founder.category;
    attributes.hasCreateTime = founder.flags & kHasCreateTime;
    attributes.hasIdentity = founder.flags & kHasIdentity;
    attributes.isRegularFile = founder.flags & kIsRegularFile;
    attributes.hasHash = founder.flags & kHasHash;
    slot.founder = category.records.size() << 1 | 1;
    category.records.push_back(TWFileUtility::initWithAttributes(recordPathOfLocked(founder), attributes));
    // A founder about to be compared in full takes its digest from the cache too.
    TWFileUtility& record = *category.records.back();
    if (founder.flags & (kHashFromCache | kDigestKept)) {
        // The cache holds what it served, and was handed a digest read here with the
        // hash; without a cache nothing asks what it holds.
        std::optional<TWContentDigest> digest;
        if (auto kept = recalledDigests_.find(&founder); kept != recalledDigests_.end()) {
            digest = kept->second;
            recalledDigests_.erase(kept);
        }
        record.adoptRememberedValues(founder.hash, digest);
    } else if (!(cache_ && cache_->recall(record)) && (founder.flags & kCacheHoldsHash)) {
        record.adoptRememberedValues(founder.hash, std::nullopt);
    }
    freeRoomLocked(&founder);
    return category.records.back();
}

TWMD5 TWDuplicateIndex::founderHashLocked(Slot& slot) {
    CompactFounder& founder = *slot.compact();
    if (!(founder.flags & kHasHash)) {
        bool fromCache = false;
        std::optional<TWContentDigest> digest;
        const TWMD5 hash = hashOfCompact(founder, devices_[founder.device], pathOfLocked(founder), fromCache, digest);
        setFounderHashLocked(founder, hash, fromCache, digest);
    }
    return founder.hash;
}

void TWDuplicateIndex::setFounderHashLocked(CompactFounder& founder, const TWMD5& hash, bool fromCache,
                                            const std::optional<TWContentDigest>& digest) {
    founder.hash = hash;
    founder.flags |= kHasHash | (fromCache || cache_ ? kCacheHoldsHash : 0) | (fromCache ? kHashFromCache : 0);
    if (!digest) return;
    recalledDigests_[&founder] = *digest;
    if (!fromCache) founder.flags |= kDigestKept;
}

std::optional<std::string> TWDuplicateIndex::hashOf(TWFileUtility& record) const {
    if (cache_ && !record.cachedHash()) cache_->recall(record);
    return record.hashString();
}

TWMD5 TWDuplicateIndex::regularHashOf(TWFileUtility& record) const {
    if (std::optional<TWMD5> known = record.cachedHash()) return *known;
    if (cache_) cache_->recall(record);
    if (std::optional<TWMD5> known = record.cachedHash()) return *known;
    record.hashString();  // reads and keeps it
    return record.cachedHash().value_or(TWMD5{});
}

TWMD5 TWDuplicateIndex::hashOfCompact(const CompactFounder& founder, dev_t device, const std::string& path,
                                      bool& fromCache, std::optional<TWContentDigest>& digest) const {
    fromCache = false;
    digest.reset();
    const bool plain =
        (founder.flags & kHasIdentity) && (founder.flags & kIsRegularFile) && founder.fileType == TWFileTypeRegular;
    // Empty when seen: it hashes by its path, as its record would.
    if (plain && founder.fileSize == 0) return TWHashUtility::md5OfData(path.data(), path.size());
    if (!plain) return TWFileUtility::contentHashOfPath(path);
    if (!cache_) return TWFileUtility::contentHashOfPath(path, &digest);
    const TWFileStamp stamp{device, founder.inode, founder.fileSize, founder.modifyTimeNs, founder.changeTimeNs,
                            S_IFREG};
    if (std::optional<TWMD5> kept = cache_->recallHash(stamp, path, &digest)) {
        fromCache = true;
        return *kept;
    }
    const TWMD5 hash = TWFileUtility::contentHashOfPath(path, &digest);
    cache_->rememberHash(stamp, hash, path, digest);
    return hash;
}

void TWDuplicateIndex::remember(TWFileUtility& record) const {
    if (cache_) cache_->remember(record);
}

namespace {

uint64_t digestOfKey(const std::string& key) {
    return std::hash<std::string>{}(key);
}

}  // namespace

size_t TWDuplicateIndex::ChainTable::at(uint32_t bucket, uint64_t digest) const {
    uint64_t h = (digest ^ (static_cast<uint64_t>(bucket) * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
    return static_cast<size_t>(h ^ (h >> 31)) & (entries_.size() - 1);
}

const TWDuplicateIndex::Chain* TWDuplicateIndex::ChainTable::find(uint32_t bucket, uint64_t digest) const {
    if (entries_.empty()) return nullptr;
    const size_t mask = entries_.size() - 1;
    for (size_t i = at(bucket, digest);; i = (i + 1) & mask) {
        const Chain& entry = entries_[i];
        if (entry.head == kNone) return nullptr;
        if (entry.digest == digest && entry.bucket == bucket) return &entry;
    }
}

TWDuplicateIndex::Chain& TWDuplicateIndex::ChainTable::findOrAdd(uint32_t bucket, uint64_t digest) {
    if (const Chain* found = find(bucket, digest)) return const_cast<Chain&>(*found);
    // Grown at 3/4 full, so that every probe ends at a free entry.
    if ((count_ + 1) * 4 > entries_.size() * 3) {
        std::vector<Chain> old(entries_.empty() ? 64 : entries_.size() * 2);
        old.swap(entries_);
        const size_t mask = entries_.size() - 1;
        for (const Chain& entry : old) {
            if (entry.head == kNone) continue;
            size_t i = at(entry.bucket, entry.digest);
            while (entries_[i].head != kNone) i = (i + 1) & mask;
            entries_[i] = entry;
        }
    }
    const size_t mask = entries_.size() - 1;
    size_t i = at(bucket, digest);
    while (entries_[i].head != kNone) i = (i + 1) & mask;
    ++count_;
    Chain& added = entries_[i];
    added.digest = digest;
    added.bucket = bucket;
    return added;  // head still kNone: the caller fills it in
}

void TWDuplicateIndex::appendLocked(Category& category, uint32_t bucket, const std::string& key, uint32_t slot) {
    Chain& chain = chains_.findOrAdd(bucket, digestOfKey(key));
    if (chain.head == kNone) {
        chain.head = slot;
        return;
    }
    uint32_t last = chain.head;
    while (category.slots[last].nextSameKey != kNone) last = category.slots[last].nextSameKey;
    category.slots[last].nextSameKey = slot;
}

bool TWDuplicateIndex::hasKey(TWFileUtility& founder, const std::string& key) const {
    // Content keys need no second look: the match compares the whole hashes, and keys
    // that differ come from hashes that differ.
    if (searchMode_ != TWSearchModeName) return true;
    return TWLowercasedName(founder.fileName()) == key;
}

void TWDuplicateIndex::prefetch(const FilePtr& record) {
    if (!record || searchMode_ != TWSearchModeContent) return;
    const Kind kind = kindOf(*record);
    if (kind == Kind::Unmatchable) return;
    FilePtr lone;
    Category* loneCategory = nullptr;
    uint32_t loneSlot = kNone;
    std::string lonePath;  // of a compact lone founder not hashed yet
    CompactFounder loneFounder{};
    dev_t loneDevice = 0;
    const std::string& source = record->sourceType();
    {
        std::lock_guard lock(mutex_);
        auto key = bucketKeyLocked(*record, source, kind, false);
        if (!key) return;
        const Bucket* bucket = buckets_.find(*key);
        if (!bucket) return;  // alone in its size so far: never read
        if (!bucket->isKeyed()) {
            loneCategory = findCategoryLocked(record->category());
            loneSlot = bucket->value;
            Slot& slot = loneCategory->slots[loneSlot];
            if (!slot.compact()) {
                lone = loneCategory->records[slot.record()];
            } else if (!(slot.compact()->flags & kHasHash)) {
                lonePath = pathOfLocked(*slot.compact());
                loneFounder = *slot.compact();
                loneDevice = devices_[loneFounder.device];
            }
        }
    }
    if (lone) {
        hashOf(*lone);
        remember(*lone);
    } else if (!lonePath.empty()) {
        bool fromCache = false;
        std::optional<TWContentDigest> digest;
        const TWMD5 loneHash = hashOfCompact(loneFounder, loneDevice, lonePath, fromCache, digest);
        std::lock_guard lock(mutex_);
        Slot& slot = loneCategory->slots[loneSlot];
        // Made a record meanwhile: the decision reads that one's hash itself.
        if (CompactFounder* compact = slot.compact(); compact && !(compact->flags & kHasHash))
            setFounderHashLocked(*compact, loneHash, fromCache, digest);
    }
    if (kind != Kind::Regular || !verifyFullContent_) {
        hashOf(*record);
        return remember(*record);
    }
    const TWMD5 hash = regularHashOf(*record);

    // Candidates with the same hash: compare now, so that the decision finds both
    // digests cached. The decision repeats the test in order.
    std::vector<FilePtr> candidates;
    {
        std::lock_guard lock(mutex_);
        auto key = bucketKeyLocked(*record, source, kind, false);
        const Bucket* bucket = key ? buckets_.find(*key) : nullptr;
        if (!bucket) return;
        Category& category = *findCategoryLocked(record->category());
        // A compact founder becomes a record only when its hash is the record's.
        const auto consider = [&](Slot& slot) {
            const CompactFounder* compact = slot.compact();
            if (compact && (!(compact->flags & kHasHash) || compact->hash != hash)) return;
            candidates.push_back(founderLocked(category, slot));
        };
        if (!bucket->isKeyed()) {
            consider(category.slots[bucket->value]);
        } else {
            if (const Chain* found = chains_.find(bucket->keyedNumber(), digestOfKey(keyOfHash(hash))))
                for (uint32_t slot = found->head; slot != kNone; slot = category.slots[slot].nextSameKey)
                    consider(category.slots[slot]);
        }
    }
    for (const auto& candidate : candidates) {
        // Of the record's bucket, so of the regular kind too: its hash is bytes as well.
        const bool matched = candidate->cachedHash() == hash && TWContentMatches(*candidate, *record, true, control_);
        remember(*candidate);
        if (matched) break;
    }
    remember(*record);
}

TWPlacement TWDuplicateIndex::place(const FilePtr& record, const std::atomic<bool>& stop, const Counted& counted) {
    if (!record) return TWPlacement::Dropped;
    // The key of a hash read before (by prefetch()), made before the lock is taken: the
    // lock is what every walker waits for.
    std::optional<std::string> earlyKey = knownMatchKey(*record);
    const std::string& source = record->sourceType();
    // A second path to a file placed before (a hard link) is dropped: of two paths of
    // one file, the one claimed first is placed. The claim has a lock of its own.
    const bool claimed = !stop.load() && placed_.claim(*record);
    std::lock_guard lock(mutex_);
    Category& category = categoryLocked(record->category());
    if (stop.load() || !claimed) return TWPlacement::Dropped;

    const auto finish = [&](TWPlacement placement, uint64_t size) {
        if (counted) counted(placement, size);
        return placement;
    };
    const Kind kind = kindOf(*record);
    if (kind == Kind::Unmatchable) {
        foundLocked(category, record);
        return finish(TWPlacement::Founded, 0);
    }

    const BucketKey key = *bucketKeyLocked(*record, source, kind, true);
    Bucket& bucket = buckets_.findOrAdd(key);
    if (bucket.value == kNone) {
        bucket.value = foundLocked(category, record);
        return finish(TWPlacement::Founded, 0);
    }
    uint32_t keyedBucket = bucket.keyedNumber();
    if (!bucket.isKeyed()) {
        // A second file of this size: the lone founder gets its key now.
        const uint32_t lone = bucket.value;
        keyedBucket = keyedBuckets_++;
        bucket.value = kKeyed | keyedBucket;
        Slot& loneSlot = category.slots[lone];
        if (loneSlot.compact()) {
            appendLocked(category, keyedBucket, keyOfHash(founderHashLocked(loneSlot)), lone);
        } else if (auto loneKey = matchKey(*category.records[loneSlot.record()])) {
            appendLocked(category, keyedBucket, *loneKey, lone);
        }
    }

    const std::optional<std::string> recordKey = earlyKey ? std::move(earlyKey) : matchKey(*record);
    if (stop.load()) return TWPlacement::Dropped;
    if (recordKey) {
        const std::optional<TWMD5> recordHash = record->cachedHash();
        if (const Chain* found = chains_.find(keyedBucket, digestOfKey(*recordKey))) {
            for (uint32_t index = found->head; index != kNone; index = category.slots[index].nextSameKey) {
                Slot& slot = category.slots[index];
                // A compact founder (content mode) whose hash differs cannot match.
                if (slot.compact() && slot.compact()->hash != recordHash) continue;
                const FilePtr& first = founderLocked(category, slot);
                if (!hasKey(*first, *recordKey) || !matches(*first, *record, kind)) continue;
                if (stop.load()) return TWPlacement::Dropped;
                if (slot.group == kNone) {
                    slot.group = static_cast<uint32_t>(category.groups.size());
                    category.groups.push_back(TWDuplicateFile::initWithFile(first));
                }
                category.groups[slot.group]->addFile(record);
                return finish(TWPlacement::Joined, record->fileSize());
            }
        }
    }
    if (stop.load()) return TWPlacement::Dropped;
    const uint32_t slot = foundLocked(category, record);
    if (recordKey) appendLocked(category, keyedBucket, *recordKey, slot);
    return finish(TWPlacement::Founded, 0);
}

std::vector<TWCategoryFiles::Ptr> TWDuplicateIndex::categoryFiles() const {
    std::lock_guard lock(mutex_);
    std::vector<TWCategoryFiles::Ptr> list;
    for (const auto& c : categories_)
        if (c->container) list.push_back(c->container);
    return list;
}

TWCategoryFiles::Ptr TWDuplicateIndex::containerFor(TWCategory category, bool create) {
    std::lock_guard lock(mutex_);
    if (Category* found = findCategoryLocked(category)) return found->container;
    return create ? categoryLocked(category).container : nullptr;
}

void TWDuplicateIndex::addGroupsToContainers() {
    std::lock_guard lock(mutex_);
    for (auto& c : categories_)
        for (const Slot& slot : c->slots)
            if (slot.group != kNone && c->container) c->container->addDuplicateFile(c->groups[slot.group]);
}

void TWDuplicateIndex::releaseRecords() {
    std::lock_guard lock(mutex_);
    // What the decisions read of founders and copies under the lock is kept now.
    for (auto& c : categories_) {
        for (const FilePtr& record : c->records) remember(*record);
        for (const auto& group : c->groups)
            for (const auto& file : group->itemsOfFileUtility()) remember(*file);
    }
    for (auto& c : categories_) {
        c->slots = {};
        c->records = {};
        c->groups = {};
    }
    buckets_ = {};
    keyedBuckets_ = 0;
    chains_ = {};
    arena_.clear();
    arena_.shrink_to_fit();
    arenaUsed_ = 0;
    freeRoom_ = {};
    folderIds_ = {};
    folders_ = {};
    devices_ = {};
    recalledDigests_ = {};
}

size_t TWDuplicateIndex::numberOfGroupsOfOne() const {
    std::lock_guard lock(mutex_);
    size_t count = 0;
    for (const auto& c : categories_)
        for (const Slot& slot : c->slots) count += slot.group == kNone ? 1 : 0;
    return count;
}
