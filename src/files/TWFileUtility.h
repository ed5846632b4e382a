#pragma once
// The record of one item found by a scan: a file, a package directory
// (TWApplicationUtility) or a media-library item (TWMediaObjectUtility).
//
// Attributes are read once, at creation; the content hash, the full-content digest,
// the resolution and the icon are computed lazily on first use (they read the file:
// see each accessor). Records are shared between groups, rows, views and removal.
// Safe from any thread: the lazy values are computed at most once behind a guard of
// the record; isChecked is atomic (groups change it under their own lock).

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "files/TWCategoryManager.h"
#include "files/TWHashUtility.h"
#include "files/TWImage.h"
#include "files/TWRecordPath.h"
#include "platform/AdaptiveMutex.h"

class TWReadControl;

// The lock of a record's lazy values, one byte: records exist by the hundred thousand,
// and their waiters wait on file reads, so they sleep at once rather than spin.
using TWRecordLock = tw::WordLock<uint8_t, 0>;

enum TWFileType : int64_t {
    TWFileTypeRegular = 0,
    TWFileTypePackage = 1,
    TWFileTypeDirectory = 2,
};

using TWTime = std::chrono::system_clock::time_point;

// The source identifier of every file-system record.
inline constexpr const char* kTWFileSystemSourceIdentifier = "org.twinsift.source.filesystem";

// A 128-bit digest of a file's whole content (XXH3-128).
struct TWContentDigest {
    uint64_t high = 0;
    uint64_t low = 0;
    bool operator==(const TWContentDigest&) const = default;
};

// What a plain file record read at creation, and its sampled hash once known: enough to
// make the same record again without touching the file (a scan keeps the many files
// that match nothing in this form, see TWDuplicateIndex).
struct TWFileAttributes {
    uint64_t fileSize = 0;
    uint64_t fileSizeOnDisk = 0;
    dev_t device = 0;
    ino_t inode = 0;
    int64_t createTimeNs = 0;  // valid when hasCreateTime
    int64_t modifyTimeNs = 0;  // valid when hasIdentity
    int64_t changeTimeNs = 0;  // valid when hasIdentity
    TWMD5 hash{};              // valid when hasHash
    int8_t fileType = 0;
    int8_t category = 0;
    bool hasCreateTime = false;
    bool hasIdentity = false;
    bool isRegularFile = false;
    bool hasHash = false;
};

// A scan keeps one record per file found, so every field is sized for a few hundred
// thousand of them: rarely used values (an image's size and icon) live outside.
class TWFileUtility {
public:
    // A record with every field read at once. Never fails: for a path that cannot be
    // read the sizes are 0, the type is 0, createTime is absent and it has no identity.
    static std::shared_ptr<TWFileUtility> initWithPath(const std::string& path);
    // The record of an entry found by listing a folder, equal to initWithPath(path)
    // but cheaper: `path` is the resolved folder's path joined with the entry's name
    // (absolute, no "~", ".", ".." or symbolic link before the last component). An
    // entry that is not a symbolic link is then its own resolved path, and one statx
    // gives every attribute; a link (or an entry that cannot be read) takes the full
    // resolution of initWithPath.
    static std::shared_ptr<TWFileUtility> initWithEntryOfResolvedFolder(const std::string& path);
    // The same with the entry's attributes already read by readEntryAttributes.
    static std::shared_ptr<TWFileUtility> initWithEntryOfResolvedFolder(const std::string& path,
                                                                        const struct statx& attributes);
    // The one statx the record of a listed entry needs (the item itself, a final link
    // not followed); false when it cannot be read, lacks a field, or is a symbolic
    // link (whose record needs the full resolution). `error` (when given) gets the
    // errno of a failed statx, else 0.
    static bool readEntryAttributes(const std::string& path, struct statx& attributes, int* error = nullptr);
    // A plain file record (not a package's or a library item's) made again from what
    // attributes() gave; only the check mark starts unset.
    static std::shared_ptr<TWFileUtility> initWithAttributes(std::string path, const TWFileAttributes& attributes);
    // The same, of a path already in parts (sharing its folder's part).
    static std::shared_ptr<TWFileUtility> initWithAttributes(TWRecordPath path, const TWFileAttributes& attributes);
    virtual ~TWFileUtility();

    // Whether this is a plain file record, which initWithAttributes can make again.
    bool isPlainFileRecord() const;
    TWFileAttributes attributes() const;

    // The given path with its symbolic links resolved and a leading "~" expanded. Made
    // from its parts on every call: read it once where it is needed several times.
    std::string filePath() const { return filePath_.str(); }
    // The same path in its two parts, read without making it whole.
    const TWRecordPath& recordPath() const { return filePath_; }
    uint64_t fileSize() const { return fileSize_; }
    uint64_t fileSizeOnDisk() const { return fileSizeOnDisk_; }
    TWFileType fileType() const { return static_cast<TWFileType>(fileType_); }
    TWCategory category() const { return static_cast<TWCategory>(category_); }
    // Birth time where the file system records one, else the modification time, of the
    // path given at creation; absent when its attributes could not be read.
    std::optional<TWTime> createTime() const;

    // The identity of the file at filePath (device, inode), taken at creation; absent
    // when its attributes could not be read. Two records are the same file when their
    // paths are equal or their identities are.
    bool hasIdentity() const { return hasIdentity_; }
    dev_t device() const { return device_; }
    ino_t inode() const { return inode_; }
    bool isSameFile(const TWFileUtility& other) const;
    // The modification and change times of the file at filePath as the scan saw it
    // (nanoseconds since the epoch, a final link not followed); valid with the identity.
    // Together with the identity and fileSize they tell whether the file is still the
    // one that was scanned.
    int64_t modifyTimeNs() const { return modifyTimeNs_; }
    int64_t changeTimeNs() const { return changeTimeNs_; }
    // Whether filePath named a regular file (S_ISREG) at creation.
    bool isRegularFile() const { return isRegularFile_; }

    // The content hash: MD5 of a sample of at most 2 KB (whole files up to 2047 bytes;
    // first and last KB up to 6143; the KB at L/3 and 2L/3 beyond). A path that cannot
    // be opened, is not a regular file, cannot be read, or is empty hashes by its own
    // path. Reads the file on the first call only.
    virtual std::optional<std::string> hashString();
    // The stored hash without computing it.
    std::optional<std::string> cachedHashString() const;
    // The stored hash as its 16 bytes, without computing it.
    std::optional<TWMD5> cachedHash() const;
    // The hash of a plain file record at `path`, as hashString() computes it: the same
    // sample of the file, or the path itself when the content cannot be sampled.
    // A file of up to 6143 bytes is read whole for its sample and, when `wholeDigest`
    // is given, gives its content digest too, as contentDigest() would read it.
    static TWMD5 contentHashOfPath(const std::string& path, std::optional<TWContentDigest>* wholeDigest = nullptr);
    // The content digest of bytes in memory: the value contentDigest() streams.
    static TWContentDigest digestOfBytes(const void* bytes, size_t length);
    // Resource forks do not exist on Linux: always absent.
    std::optional<std::vector<unsigned char>> getResourceForkData() const;

    // The whole content's digest, streamed; computed on the first call and cached.
    // Absent when the file cannot be opened or read (such a file never matches).
    // With a `control`, the read passes its gate and gives up when it says stop between
    // blocks (absent, nothing cached: a later call reads again), and counts its bytes there.
    std::optional<TWContentDigest> contentDigest(TWReadControl* control = nullptr);
    // The stored digest without reading.
    std::optional<TWContentDigest> cachedDigest() const;

    // --- what a cache of earlier scans knows (TWScanCache) ---
    // Takes a hash and a digest that the cache vouched for as if they had been
    // computed; an absent value is left to be computed. A value already known stays.
    void adoptRememberedValues(const std::optional<TWMD5>& hash, const std::optional<TWContentDigest>& digest);
    // The values known now that the cache does not hold yet (neither adopted from it nor
    // handed to it), marked as held by it from now on.
    void takeValuesToRemember(std::optional<TWMD5>& hash, std::optional<TWContentDigest>& digest);

    std::string fileName() const;  // last component without its extension
    std::string formatSize() const;
    std::string descriptionOfCreateTime() const;  // locale's short date, medium time
    std::string descriptionOfCategory() const;

    // For an Images record with a zero stored resolution, reads the image's size first
    // (from its header; a decode only where the header cannot tell).
    TWSize resolution();
    TWSize storedResolution() const;
    std::string formatResolution() const;  // "N/A" for a zero stored resolution
    bool higherThanResolution(TWSize size);
    // Runs getImageSizeAndThumbnail first when no icon is stored; absent without a
    // thumbnail provider.
    std::shared_ptr<TWImage> fileIcon();
    void getImageSizeAndThumbnail();

    bool isChecked() const { return isChecked_.load(std::memory_order_relaxed); }
    // A record that refusesRemoval() is never checked: setting the mark does nothing.
    void setIsChecked(bool checked) {
        if (!checked || !refusesRemoval()) isChecked_.store(checked, std::memory_order_relaxed);
    }

    // --- files that no mark, rule or removal may touch ---
    // Marked by the scan before the record is shared, never changed afterwards.
    // Outside the chosen folders: the file's real path lies outside the real path of
    // every chosen folder; the walk reached it through a symbolic link at `linkPath`.
    void markOutsideChosenFolders(const std::string& linkPath);
    bool isOutsideChosenFolders() const { return refusal_ & kOutsideChosenFolders; }
    // The link's own path for a file outside the chosen folders; "" for any other.
    std::string linkPath() const;
    // Inside a layer folder (lower, upper or work) of a mounted overlay: changing it
    // behind the overlay's back would change what the overlay shows.
    void markInsideOverlayLayer() { refusal_ |= kInsideOverlayLayer; }
    bool isInsideOverlayLayer() const { return refusal_ & kInsideOverlayLayer; }
    // Whether this file must never be checked, removed or moved; the removal asks it of
    // every file whatever its mark says.
    bool refusesRemoval() const { return refusal_ != 0; }
    // Why, as a phrase for a message ("it lies outside ..."); "" when it may be removed.
    std::string removalRefusalReason() const;

    // A reference that lives as long as the record: asked several times for every file
    // a scan places, it is never copied onto the heap.
    virtual const std::string& sourceType() const;
    // The privilege of the nearest granted ancestor folder, -1 when none; asked of the installed TWPrivilegeSource.
    virtual int64_t privilege() const;

    // --- class operations: probes of a path ---
    static uint64_t sizeOfPath(const std::string& path);        // lstat size; 0 when unreadable
    static uint64_t sizeOfPathOnDisk(const std::string& path);  // st_blocks x 512
    // False for extension "dylib"; false for files owned by root unless this process
    // runs as root; otherwise whether the item itself is a regular file.
    static bool fileIsRegular(const std::string& path);
    static bool fileIsDirectory(const std::string& path);  // a link to one is not
    static bool fileIsPackage(const std::string& path);
    // Whether the name's extension is a package's ("app", "bundle", ...; any case), by
    // the name alone: no disk access, a trailing "/" ignored. What the front ends test
    // before they let a chosen or dropped folder in while packages are skipped.
    static bool isPackageName(const std::string& path);
    static TWFileType fileTypeOf(const std::string& path);
    static std::string stringWithSize(uint64_t bytes);  // "%lu B", "%@ KB", "%@ MB", "%@ GB"
    static std::shared_ptr<TWImage> createThumbnailForImage(const TWImage& image, int orientation);

    // Path helpers shared by the model: the last component, its extension (text after
    // the last "." of the last component, "" when none), and the resolved path.
    static std::string lastPathComponent(const std::string& path);
    static std::string pathExtension(const std::string& path);
    static std::string resolvePath(const std::string& path);

protected:
    explicit TWFileUtility(const std::string& path);
    TWFileUtility(const std::string& resolvedPath, const struct statx& attributes);
    TWFileUtility(TWRecordPath path, const TWFileAttributes& attributes);

    // A package shows the size of its contents, not that of its folder entry.
    void setContentSizes(uint64_t size, uint64_t sizeOnDisk) {
        fileSize_ = size;
        fileSizeOnDisk_ = sizeOnDisk;
    }

    // Stores the hash of the sample (or identity) under lazyMutex_.
    void storeHashLocked(const TWMD5& hash) {
        hash_ = hash;
        hasHash_ = true;
    }

private:
    // The image values, made when first stored.
    struct ImageValues {
        TWSize resolution;
        std::shared_ptr<TWImage> icon;
    };

    // Takes a digest read elsewhere unless one is known already.
    void keepDigest(const TWContentDigest& digest);
    void readResolutionLocked();
    void getImageSizeAndThumbnailLocked();
    void setCreateTime(const TWTime& time);

    TWRecordPath filePath_;
    uint64_t fileSize_ = 0;
    uint64_t fileSizeOnDisk_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    int64_t createTimeNs_ = 0;                  // since the epoch; valid when hasCreateTime_
    int64_t modifyTimeNs_ = 0;                  // valid when hasIdentity_
    int64_t changeTimeNs_ = 0;                  // valid when hasIdentity_
    TWMD5 hash_{};                              // valid when hasHash_ (guarded by lazyMutex_)
    TWContentDigest digest_;                    // valid when hasDigest_ (guarded by digestMutex_)
    std::unique_ptr<ImageValues> imageValues_;  // guarded by lazyMutex_
    // Once-guards of the digest and of the image values (held across their I/O).
    TWRecordLock digestMutex_;
    TWRecordLock imageMutex_;
    // Both enumerations have a handful of small values: a byte each.
    int8_t fileType_ = TWFileTypeRegular;
    int8_t category_ = TWCategory_others;
    bool hasCreateTime_ = false;
    bool hasIdentity_ = false;
    bool isRegularFile_ = false;
    std::atomic<bool> isChecked_{false};
    bool hasHash_ = false;
    bool digestDone_ = false;
    bool hasDigest_ = false;
    enum : uint8_t { kOutsideChosenFolders = 1, kInsideOverlayLayer = 2 };
    uint8_t refusal_ = 0;  // written only before the record is shared
    enum : uint8_t { kCacheHoldsHash = 1, kCacheHoldsDigest = 2 };
    uint8_t cacheHolds_ = 0;  // guarded by lazyMutex_

protected:
    mutable TWRecordLock lazyMutex_;  // guards the stored lazy values (held briefly, never across I/O)
    // Held while a hash is computed, so that concurrent askers wait for the one reader
    // instead of reading the file again. Taken before lazyMutex_, never after it.
    TWRecordLock hashMutex_;
};

// The record of a package directory: hashes by bundle identity. Its fileSize is the
// size of the files inside (TWPackageTree), read at creation.
class TWApplicationUtility : public TWFileUtility {
public:
    static std::shared_ptr<TWApplicationUtility> initWithPath(const std::string& path);

    // The digest of the whole tree (TWPackageTree::digestOf), read on the first call and
    // kept, so that it tells what the scan saw; absent when the tree cannot be read.
    std::optional<TWContentDigest> treeDigest();
    // The kept digest without reading; absent when it was never read or is absent.
    std::optional<TWContentDigest> cachedTreeDigest() const;

    // Identifier + short version + bundle version, hashed; absent (and retried on the
    // next call) when the bundle has no identifier.
    std::optional<std::string> hashString() override;
    // The value under `key` in the bundle's information dictionary
    // (Contents/Info.plist, else Resources/Info.plist, else Info.plist; XML or binary),
    // as text; absent when the key or the bundle is absent.
    std::optional<std::string> applicationInfoForKey(const std::string& key) const;
    std::optional<std::string> applicationIdentify() const { return applicationInfoForKey("CFBundleIdentifier"); }
    std::optional<std::string> applicationVersion() const {
        return applicationInfoForKey("CFBundleShortVersionString");
    }
    std::optional<std::string> applicationBundleVersion() const { return applicationInfoForKey("CFBundleVersion"); }

protected:
    explicit TWApplicationUtility(const std::string& path) : TWFileUtility(path) {}

private:
    // Packages are few: a lock and a digest of their own cost little.
    mutable std::mutex treeMutex_;
    bool treeRead_ = false;
    std::optional<TWContentDigest> tree_;
};
