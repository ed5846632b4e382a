#pragma once
// The duplicate decisions of one scan. For every category it keeps the groups in the
// order they were founded and an index of their first files by (source, kind, size)
// and then by content hash (content mode) or lower-cased name (name mode), so that a
// new record finds the first group in founding order that accepts it without being
// compared with every group: the index yields exactly the group that a walk over the
// container in order would find.
//
// A record is hashed only once a second record of its category, source and size is
// known; the first one is hashed then too. A record of a lone size is never read.
// A path that is not a regular file (a FIFO, a device, a symbolic link to a folder)
// founds a group of its own that nothing joins; packages match by bundle identity and
// size and, with the full-content check, by their whole trees (TWPackageMatches).
//
// Most files match nothing. In the content mode the founder of a group of one is kept
// in a compact form (its attributes, hash and name, with its folder and device
// interned: a quarter of a record's memory) and made a record again only when a
// file with its hash arrives; what it answers is the same either way.
//
// Groups are handed to their category containers only by addGroupsToContainers(),
// after the walks: groups of one file never reach a container, and
// releaseRecords() lets their records go.
//
// With a cache of earlier scans (TWScanCache), a hash or digest is taken from it where
// it holds one for the file as it is now, and what is read is handed to it.
//
// Safe from any thread. place() is serialised by the index's own lock (the engine's
// duplicate queue); prefetch() reads files with no lock held.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/TWPlacedItems.h"
#include "files/TWFileUtility.h"
#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFile.h"
#include "platform/AdaptiveMutex.h"

class TWScanCache;

enum class TWPlacement {
    Dropped,  // not placed: a stop, or the same item placed before
    Founded,  // the first file of a new group
    Joined,   // a copy added to an existing group
};

class TWDuplicateIndex {
public:
    using FilePtr = std::shared_ptr<TWFileUtility>;
    // Called under the index's lock right after a record was placed, so that counts
    // reach the caller in decision order.
    using Counted = std::function<void(TWPlacement placement, uint64_t size)>;

    // `placed` is shared with the similar road; it must outlive the index, and so must
    // `control` (when given), under which every full-content digest is read, and
    // `cache` (when given).
    TWDuplicateIndex(int64_t searchMode, bool verifyFullContent, TWPlacedItems& placed,
                     TWReadControl* control = nullptr, TWScanCache* cache = nullptr);
    TWDuplicateIndex(const TWDuplicateIndex&) = delete;
    TWDuplicateIndex& operator=(const TWDuplicateIndex&) = delete;

    // Optional, on the walker's thread before place(): computes the hashes (and, with
    // the full-content check, the digests) that place() will ask for, so that the
    // serial decision finds them cached. Reads only what place() would read.
    void prefetch(const FilePtr& record);

    // The decision: the first group in founding order whose first file matches gets
    // the record; otherwise it founds a group. Creates the category's container
    // first (even on a stop). Nothing is placed once `stop` is set.
    TWPlacement place(const FilePtr& record, const std::atomic<bool>& stop, const Counted& counted);

    // The category containers in the order categories first appeared; `create` adds
    // a missing one at the end (the similar post-pass).
    std::vector<TWCategoryFiles::Ptr> categoryFiles() const;
    TWCategoryFiles::Ptr containerFor(TWCategory category, bool create);

    // Hands every group of two files or more to its container, in founding order.
    void addGroupsToContainers();
    // Hands what the records learned to the cache (when there is one), then drops the
    // per-scan state and with it every record kept only here.
    void releaseRecords();

    // For tests: records that were founders of a group of one when asked.
    size_t numberOfGroupsOfOne() const;

private:
    enum class Kind : uint8_t { Regular, Package, Unmatchable };
    static constexpr uint32_t kNone = UINT32_MAX;

    // A founder of the content mode kept compact: a plain file record's attributes,
    // its folder and device by number, and its name's bytes right after it in the
    // arena. The size on disk is kept in 512-byte blocks, as the file system counts it
    // (a record whose size on disk is no such count stays a record).
    struct CompactFounder {
        uint64_t fileSize;
        uint64_t inode;
        int64_t createTimeNs;
        int64_t modifyTimeNs;
        int64_t changeTimeNs;
        TWMD5 hash;
        uint32_t blocksOnDisk;
        uint32_t folder;
        uint16_t device;
        uint16_t nameLength;
        int8_t fileType;
        int8_t category;
        uint8_t flags;
        const char* name() const { return reinterpret_cast<const char*>(this + 1); }
    };
    struct Slot {
        // The founder: a compact founder's address (even), or its record's index in
        // Category::records, doubled, plus one.
        uintptr_t founder = 0;
        uint32_t group = kNone;        // into Category::groups; kNone while the first file is alone
        uint32_t nextSameKey = kNone;  // the next founder with the same key, in order
        CompactFounder* compact() const { return founder & 1 ? nullptr : reinterpret_cast<CompactFounder*>(founder); }
        size_t record() const { return founder >> 1; }
    };
    struct Category {
        TWCategory category;
        TWCategoryFiles::Ptr container;  // null only for a category no file can have
        std::deque<Slot> slots;
        std::deque<FilePtr> records;  // of the founders that are not compact
        std::vector<TWDuplicateFile::Ptr> groups;
    };
    struct BucketKey {
        uint64_t size;
        uint32_t tag;  // category, kind and source id
        bool operator==(const BucketKey&) const = default;
    };
    // The founders of one (category, source, kind, size): a lone founder not yet
    // hashed, or founders keyed by hash or name (each list in founding order), in one
    // open-addressing table of 16-byte entries (a node-based map took three times
    // the memory and a cache miss more per look-up).
    static constexpr uint32_t kKeyed = 0x80000000u;
    struct Bucket {
        uint64_t size = 0;
        uint32_t tag = 0;
        // kNone: a free entry. Otherwise the lone founder's slot, or kKeyed | the
        // bucket's number in chains_ once it has keys.
        uint32_t value = kNone;
        bool isKeyed() const { return value & kKeyed; }
        uint32_t keyedNumber() const { return value & ~kKeyed; }
    };
    class BucketTable {
    public:
        Bucket* find(const BucketKey& key);
        Bucket& findOrAdd(const BucketKey& key);  // a new one has value kNone

    private:
        size_t at(const BucketKey& key) const;
        std::vector<Bucket> entries_;
        size_t count_ = 0;
    };
    // (bucket, 64-bit digest of a key) -> the first founder of its chain (see
    // Slot::nextSameKey), open addressing. Keys whose digests collide share a chain,
    // so a walk of a chain skips founders whose own key differs. A chain keeps no
    // tail: an append walks it, as every placement of its key does anyway, and nearly
    // every chain holds one founder.
    struct Chain {
        uint64_t digest = 0;
        uint32_t bucket = 0;
        uint32_t head = kNone;  // kNone marks a free entry
    };
    class ChainTable {
    public:
        const Chain* find(uint32_t bucket, uint64_t digest) const;
        Chain& findOrAdd(uint32_t bucket, uint64_t digest);  // a new one has head kNone

    private:
        size_t at(uint32_t bucket, uint64_t digest) const;
        std::vector<Chain> entries_;
        size_t count_ = 0;
    };

    Kind kindOf(const TWFileUtility& record) const;
    // `source` is the record's sourceType(), asked before the lock is taken.
    std::optional<BucketKey> bucketKeyLocked(const TWFileUtility& record, const std::string& source, Kind kind,
                                             bool create);
    std::optional<std::string> matchKey(TWFileUtility& record) const;
    // matchKey() when it needs nothing read: a regular file's, of the hash it holds.
    std::optional<std::string> knownMatchKey(const TWFileUtility& record) const;
    // Whether the founder's key is `key` (a chain may hold colliding keys).
    bool hasKey(TWFileUtility& founder, const std::string& key) const;
    bool matches(TWFileUtility& first, TWFileUtility& record, Kind kind) const;
    Category* findCategoryLocked(TWCategory category);
    Category& categoryLocked(TWCategory category);  // created and appended when missing
    uint32_t foundLocked(Category& category, const FilePtr& record);
    // The compact form of a plain file record; null when it has none (another kind
    // of record, a name that cannot be split, too many devices).
    CompactFounder* compactLocked(const TWFileUtility& record);
    std::string pathOfLocked(const CompactFounder& founder) const;
    // The same in parts, the folder's part shared by every founder of that folder made a
    // record (a group's first files outnumber its folders several times over).
    TWRecordPath recordPathOfLocked(const CompactFounder& founder);
    // `bytes` of the arena, aligned for a compact founder: room left by a founder made a
    // record where there is room of that size, else new room.
    std::byte* arenaBytesLocked(size_t bytes);
    // Room in the arena counted in units of the founders' alignment: the free room is
    // kept by this count, so taking room and giving it back must agree on it.
    static constexpr size_t arenaUnits(size_t bytes) {
        return (bytes + alignof(CompactFounder) - 1) / alignof(CompactFounder);
    }
    // The room of a compact founder that was made a record, to be used again.
    void freeRoomLocked(CompactFounder* founder);
    // The folder's number, interned on first sight; kNone when there are too many.
    uint32_t folderIdLocked(std::string_view folder);
    // The founder as a record, made from its compact form on first need and kept.
    const FilePtr& founderLocked(Category& category, Slot& slot);
    // The founder's hash, read now when not known yet (under the lock, as a record's
    // hash would be).
    TWMD5 founderHashLocked(Slot& slot);
    // The record's hash, taken from the cache where it holds one.
    std::optional<std::string> hashOf(TWFileUtility& record) const;
    // The same for a record of the regular kind, whose hash text is its MD5's bytes in
    // hexadecimal: the bytes themselves.
    TWMD5 regularHashOf(TWFileUtility& record) const;
    // A compact founder's hash: from the cache where it holds one (`digest` then gets
    // the digest it holds with it), else read (and handed to the cache, with the digest
    // of a file small enough to be read whole, which `digest` gets too). `device` is the
    // founder's device.
    TWMD5 hashOfCompact(const CompactFounder& founder, dev_t device, const std::string& path, bool& fromCache,
                        std::optional<TWContentDigest>& digest) const;
    // Sets a compact founder's hash, as hashOfCompact() gave it.
    void setFounderHashLocked(CompactFounder& founder, const TWMD5& hash, bool fromCache,
                              const std::optional<TWContentDigest>& digest);
    void remember(TWFileUtility& record) const;
    void appendLocked(Category& category, uint32_t bucket, const std::string& key, uint32_t slot);

    const int64_t searchMode_;
    const bool verifyFullContent_;
    TWReadControl* const control_;
    TWScanCache* const cache_;
    TWPlacedItems& placed_;

    mutable tw::AdaptiveMutex mutex_;
    std::vector<std::unique_ptr<Category>> categories_;  // in order of appearance
    std::unordered_map<std::string, uint32_t> sourceIds_;
    std::optional<std::string> lastSource_;  // the source last found, and its number
    uint32_t lastSourceId_ = 0;
    BucketTable buckets_;
    uint32_t keyedBuckets_ = 0;
    ChainTable chains_;
    // The compact founders' storage and the folders and devices they name.
    std::vector<std::unique_ptr<std::byte[]>> arena_;
    size_t arenaUsed_ = 0;  // in the last block
    // The free room of founders made records (a group's first file is made a record when
    // its first copy arrives), by its size in units of the founders' alignment: each
    // piece holds the address of the next one of its size.
    std::vector<std::byte*> freeRoom_;
    // Folders by number, their text in the arena; folderIds_ finds a folder's number by
    // its text (open addressing, kNone marks a free slot). A home folder's tree has a
    // folder for about every ten files: a node-based map took twice the memory.
    std::vector<std::string_view> folders_;
    std::vector<TWRecordPath> folderPaths_;  // by number, each made on first need
    std::vector<uint32_t> folderIds_;
    std::vector<dev_t> devices_;
    // The digests the cache held for compact founders whose hash it served, or that were
    // read with a small founder's hash, until the founders are made records: a founder
    // then takes its values from here instead of asking the cache a second time (a
    // rescan asked again for every group's first file) or opening the file again.
    std::unordered_map<const CompactFounder*, TWContentDigest> recalledDigests_;
};

// A file name lower-cased for the name match: UTF-8 letters by their Unicode case
// mapping, bytes that are not valid UTF-8 as they stand.
std::string TWLowercasedName(const std::string& name);
