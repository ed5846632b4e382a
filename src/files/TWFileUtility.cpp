#include "files/TWFileUtility.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <typeinfo>
#include <unordered_map>

#include "files/TWHashUtility.h"
#include "files/TWImageHeader.h"
#include "files/TWPrivilegeSource.h"
#include "files/TWReadControl.h"
#include "platform/Log.h"
#include "platform/SafeFile.h"

namespace {

constexpr uint64_t kSampleBlock = 1024;
constexpr uint64_t kWholeFileLimit = 2047;   // files up to this size are hashed whole
constexpr uint64_t kEdgeSampleLimit = 6143;  // up to this size: first and last kilobyte
static_assert(kWholeFileLimit <= 2 * kSampleBlock, "a sample holds at most two blocks");
// Streaming block of the full-content digest, on the reading thread's stack: a scan
// digests thousands of files, and a heap block this size would be mapped and
// unmapped for each.
constexpr size_t kDigestChunk = 64u << 10;
constexpr double kThumbnailSide = 400;

std::string homeOf(const std::string& user) {
    if (user.empty()) {
        if (const char* home = std::getenv("HOME"); home && *home) return home;
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    int rc = user.empty() ? getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found)
                          : getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (rc != 0 || !found || !found->pw_dir) return {};
    return found->pw_dir;
}

// "~" and "~user" at the start become the home folder; anything else is unchanged.
std::string expandTilde(const std::string& path) {
    if (path.empty() || path[0] != '~') return path;
    size_t slash = path.find('/');
    std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    std::string home = homeOf(user);
    if (home.empty()) return path;
    return slash == std::string::npos ? home : home + path.substr(slash);
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return path;
    return path.empty() ? std::string(cwd) : std::string(cwd) + "/" + path;
}

std::optional<std::string> realPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

bool ownerIsRoot(uid_t uid) {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
    return std::strcmp(found->pw_name, "root") == 0;
}

std::string lowercasedAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Birth time where the file system records one, else the modification time; the
// item itself is asked, a final symbolic link is not followed.
std::optional<TWTime> creationTimeOf(const std::string& path) {
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &sx) != 0) return std::nullopt;
    const struct statx_timestamp& ts = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
    return TWTime{} + std::chrono::duration_cast<TWTime::duration>(std::chrono::seconds(ts.tv_sec) +
                                                                   std::chrono::nanoseconds(ts.tv_nsec));
}

std::string formatQuotient(float quotient, const char* unit) {
    // "%.2f" takes the decimal separator of LC_NUMERIC and never groups; then trailing
    // zeros and a bare separator go, as a number formatter with at most two fraction
    // digits writes it.
    char number[64];
    std::snprintf(number, sizeof number, "%.2f", static_cast<double>(quotient));
    std::string text(number);
    const char* point = std::localeconv()->decimal_point;
    std::string separator = point && *point ? point : ".";
    size_t at = text.rfind(separator);
    if (at != std::string::npos) {
        size_t end = text.size();
        while (end > at + separator.size() && text[end - 1] == '0') --end;
        if (end == at + separator.size()) end = at;
        text.resize(end);
    }
    return text + " " + unit;
}

}  // namespace

// --- creation ---

namespace {

constexpr unsigned kEntryMask =
    STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_BLOCKS | STATX_MTIME | STATX_CTIME;

// A record made with make_shared (object and counts in one allocation) from a
// protected constructor.
template <class Record>
struct Made final : Record {
    template <class... Args>
    explicit Made(Args&&... args) : Record(std::forward<Args>(args)...) {}
};

int64_t nanosecondsOf(const struct timespec& ts) {
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int64_t nanosecondsOf(const struct statx_timestamp& ts) {
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

TWTime timeOf(const struct statx_timestamp& ts) {
    return TWTime{} + std::chrono::duration_cast<TWTime::duration>(std::chrono::seconds(ts.tv_sec) +
                                                                   std::chrono::nanoseconds(ts.tv_nsec));
}

bool isPackageExtension(const std::string& path) {
    std::string extension = lowercasedAscii(TWFileUtility::pathExtension(path));
    if (extension.empty()) return false;
    const auto& packages = TWCategoryManager::arrayOfPackageFileType();
    return std::find(packages.begin(), packages.end(), extension) != packages.end();
}

// fileTypeOf for an item whose lstat mode is known: only a folder is anything but
// TWFileTypeRegular.
TWFileType typeOfMode(const std::string& path, mode_t mode) {
    if (!S_ISDIR(mode)) return TWFileTypeRegular;
    return isPackageExtension(path) ? TWFileTypePackage : TWFileTypeDirectory;
}

}  // namespace

TWFileUtility::TWFileUtility(const std::string& path) {
    const std::string resolved = resolvePath(path);
    filePath_ = TWRecordPath(resolved);
    struct stat st {};
    if (lstat(resolved.c_str(), &st) == 0) {
        fileSize_ = static_cast<uint64_t>(st.st_size);
        fileSizeOnDisk_ = static_cast<uint64_t>(st.st_blocks) * 512;
        hasIdentity_ = true;
        device_ = st.st_dev;
        inode_ = st.st_ino;
        modifyTimeNs_ = nanosecondsOf(st.st_mtim);
        changeTimeNs_ = nanosecondsOf(st.st_ctim);
        isRegularFile_ = S_ISREG(st.st_mode);
        fileType_ = typeOfMode(resolved, st.st_mode);
    }
    category_ = TWCategoryManager::categoryOfFileExtension(pathExtension(resolved));
    // The date belongs to the item as it was named (a link keeps its own), but a
    // leading "~" still has to be expanded to name anything at all.
    if (auto time = creationTimeOf(expandTilde(path))) setCreateTime(*time);
}

TWFileUtility::TWFileUtility(const std::string& resolvedPath, const struct statx& sx) : filePath_(resolvedPath) {
    fileSize_ = sx.stx_size;
    fileSizeOnDisk_ = sx.stx_blocks * 512;
    hasIdentity_ = true;
    device_ = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    inode_ = sx.stx_ino;
    modifyTimeNs_ = nanosecondsOf(sx.stx_mtime);
    changeTimeNs_ = nanosecondsOf(sx.stx_ctime);
    isRegularFile_ = S_ISREG(sx.stx_mode);
    fileType_ = typeOfMode(resolvedPath, sx.stx_mode);
    category_ = TWCategoryManager::categoryOfFileExtension(pathExtension(resolvedPath));
    setCreateTime(timeOf((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime));
}

void TWFileUtility::setCreateTime(const TWTime& time) {
    createTimeNs_ = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    hasCreateTime_ = true;
}

std::optional<TWTime> TWFileUtility::createTime() const {
    if (!hasCreateTime_) return std::nullopt;
    return TWTime{} + std::chrono::duration_cast<TWTime::duration>(std::chrono::nanoseconds(createTimeNs_));
}

std::shared_ptr<TWFileUtility> TWFileUtility::initWithPath(const std::string& path) {
    return std::make_shared<Made<TWFileUtility>>(path);
}

bool TWFileUtility::readEntryAttributes(const std::string& path, struct statx& sx, int* error) {
    // Inside the folder a walk holds open, the name alone is looked up.
    const tw::SafeFile::FolderScope* scope = tw::SafeFile::FolderScope::current();
    const char* name = scope ? scope->nameInside(path) : nullptr;
    const bool read = statx(name ? scope->fd() : AT_FDCWD, name ? name : path.c_str(), AT_SYMLINK_NOFOLLOW,
                            STATX_BASIC_STATS | STATX_BTIME, &sx) == 0;
    if (error) *error = read ? 0 : errno;
    return read && (sx.stx_mask & kEntryMask) == kEntryMask && (sx.stx_mask & (STATX_BTIME | STATX_MTIME)) != 0 &&
           !S_ISLNK(sx.stx_mode);
}

std::shared_ptr<TWFileUtility> TWFileUtility::initWithEntryOfResolvedFolder(const std::string& path) {
    struct statx sx {};
    if (!readEntryAttributes(path, sx)) return initWithPath(path);
    return std::make_shared<Made<TWFileUtility>>(path, sx);
}

std::shared_ptr<TWFileUtility> TWFileUtility::initWithEntryOfResolvedFolder(const std::string& path,
                                                                            const struct statx& attributes) {
    return std::make_shared<Made<TWFileUtility>>(path, attributes);
}

std::shared_ptr<TWFileUtility> TWFileUtility::initWithAttributes(std::string path, const TWFileAttributes& attributes) {
    return initWithAttributes(TWRecordPath(path), attributes);
}

std::shared_ptr<TWFileUtility> TWFileUtility::initWithAttributes(TWRecordPath path,
                                                                 const TWFileAttributes& attributes) {
    return std::make_shared<Made<TWFileUtility>>(std::move(path), attributes);
}

TWFileUtility::TWFileUtility(TWRecordPath path, const TWFileAttributes& a)
    : filePath_(std::move(path)),
      fileSize_(a.fileSize),
      fileSizeOnDisk_(a.fileSizeOnDisk),
      device_(a.device),
      inode_(a.inode),
      createTimeNs_(a.createTimeNs),
      modifyTimeNs_(a.modifyTimeNs),
      changeTimeNs_(a.changeTimeNs),
      hash_(a.hash),
      fileType_(a.fileType),
      category_(a.category),
      hasCreateTime_(a.hasCreateTime),
      hasIdentity_(a.hasIdentity),
      isRegularFile_(a.isRegularFile),
      hasHash_(a.hasHash) {}

namespace {

// The link paths of the few records outside the chosen folders, kept beside them so
// that every other record pays nothing for them. Never destroyed: records may outlive
// the statics of the process.
struct LinkPaths {
    std::mutex mutex;
    std::unordered_map<const TWFileUtility*, std::string> paths;
};

LinkPaths& linkPaths() {
    static LinkPaths* shared = new LinkPaths;
    return *shared;
}

}  // namespace

TWFileUtility::~TWFileUtility() {
    if (!isOutsideChosenFolders()) return;
    std::lock_guard lock(linkPaths().mutex);
    linkPaths().paths.erase(this);
}

void TWFileUtility::markOutsideChosenFolders(const std::string& linkPath) {
    if (!isOutsideChosenFolders()) {
        std::lock_guard lock(linkPaths().mutex);
        linkPaths().paths[this] = linkPath;
    }
    refusal_ |= kOutsideChosenFolders;
}

std::string TWFileUtility::linkPath() const {
    if (!isOutsideChosenFolders()) return {};
    std::lock_guard lock(linkPaths().mutex);
    auto found = linkPaths().paths.find(this);
    return found == linkPaths().paths.end() ? std::string() : found->second;
}

std::string TWFileUtility::removalRefusalReason() const {
    if (isOutsideChosenFolders()) return "it lies outside the chosen folders (reached through a symbolic link)";
    if (isInsideOverlayLayer()) return "it lies inside a layer folder of a mounted overlay";
    return {};
}

bool TWFileUtility::isPlainFileRecord() const {
    return typeid(*this) == typeid(Made<TWFileUtility>);
}

TWFileAttributes TWFileUtility::attributes() const {
    TWFileAttributes a;
    a.fileSize = fileSize_;
    a.fileSizeOnDisk = fileSizeOnDisk_;
    a.device = device_;
    a.inode = inode_;
    a.createTimeNs = createTimeNs_;
    a.modifyTimeNs = modifyTimeNs_;
    a.changeTimeNs = changeTimeNs_;
    a.fileType = fileType_;
    a.category = category_;
    a.hasCreateTime = hasCreateTime_;
    a.hasIdentity = hasIdentity_;
    a.isRegularFile = isRegularFile_;
    std::lock_guard lock(lazyMutex_);
    a.hash = hash_;
    a.hasHash = hasHash_;
    return a;
}

bool TWFileUtility::isSameFile(const TWFileUtility& other) const {
    if (filePath_ == other.filePath_) return true;
    return hasIdentity_ && other.hasIdentity_ && device_ == other.device_ && inode_ == other.inode_;
}

const std::string& TWFileUtility::sourceType() const {
    static const std::string kFileSystem = kTWFileSystemSourceIdentifier;
    return kFileSystem;
}

// --- content hash and digest ---

std::optional<std::string> TWFileUtility::hashString() {
    std::optional<TWContentDigest> whole;
    TWMD5 hash;
    {
        std::lock_guard once(hashMutex_);
        if (auto stored = cachedHashString()) return stored;
        // A file that was empty when the record was made hashes by its path, as an empty
        // file read now would: there is nothing to open it for.
        const bool empty = fileSize_ == 0 && hasIdentity_ && isRegularFile_ && isPlainFileRecord();
        const std::string path = filePath_.str();
        hash = empty ? TWHashUtility::md5OfData(path.data(), path.size()) : contentHashOfPath(path, &whole);
        std::lock_guard lock(lazyMutex_);
        storeHashLocked(hash);
    }
    // A file read whole for its sample gave its digest too: a full comparison need not
    // open it again.
    if (whole) keepDigest(*whole);
    return TWHashUtility::hexStringOfMD5(hash);
}

std::optional<std::string> TWFileUtility::cachedHashString() const {
    const std::optional<TWMD5> hash = cachedHash();
    if (!hash) return std::nullopt;
    return TWHashUtility::hexStringOfMD5(*hash);
}

std::optional<TWMD5> TWFileUtility::cachedHash() const {
    std::lock_guard lock(lazyMutex_);
    if (!hasHash_) return std::nullopt;
    return hash_;
}

TWMD5 TWFileUtility::contentHashOfPath(const std::string& path, std::optional<TWContentDigest>* wholeDigest) {
    const auto pathHash = [&] { return TWHashUtility::md5OfData(path.data(), path.size()); };
    int error = 0;
    auto file = tw::SafeFile::open(path, &error);
    if (!file) {
        // A FIFO, socket, device or folder is not content: it hashes by its path, quietly.
        if (error != EINVAL) tw::log("No access right(%s).", path.c_str());
        return pathHash();
    }
    const uint64_t length = file->size();
    if (length == 0) {
        // Resource forks do not exist here: an empty file hashes by its path.
        return pathHash();
    }
    // A short read means the file shrank while it was read: its sample would not
    // describe the size it was matched by, so it hashes by path like a read error.
    const auto unreadable = [&](long n) {
        tw::log("Cannot read(%s): %s.", path.c_str(), n < 0 ? std::strerror(errno) : "file changed");
        return pathHash();
    };
    // A file of up to 6143 bytes is read whole, in one read of a byte more than its
    // size: a read that stops at the size found the end, the sample is cut from what
    // was read, and the digest of all of it comes for free.
    if (length <= kEdgeSampleLimit) {
        unsigned char whole[kEdgeSampleLimit + 1];
        long n = file->readOnce(0, whole, length + 1);
        if (n >= 0 && static_cast<uint64_t>(n) < length) {
            const long more = file->readAt(static_cast<uint64_t>(n), whole + n, length - static_cast<uint64_t>(n));
            n = more < 0 ? more : n + more;
        }
        if (n < 0 || static_cast<uint64_t>(n) < length) return unreadable(n);
        if (wholeDigest && static_cast<uint64_t>(n) == length) *wholeDigest = digestOfBytes(whole, length);
        if (length <= kWholeFileLimit) return TWHashUtility::md5OfData(whole, length);
        unsigned char edges[2 * kSampleBlock];
        std::memcpy(edges, whole, kSampleBlock);
        std::memcpy(edges + kSampleBlock, whole + length - kSampleBlock, kSampleBlock);
        return TWHashUtility::md5OfData(edges, sizeof edges);
    }
    // Beyond, the kilobytes at a third and two thirds of the file.
    unsigned char sample[2 * kSampleBlock];
    size_t sampled = 0;
    for (const uint64_t offset : {length / 3, 2 * length / 3}) {
        const long n = file->readAt(offset, sample + sampled, kSampleBlock);
        if (n != static_cast<long>(kSampleBlock)) return unreadable(n);
        sampled += kSampleBlock;
    }
    return TWHashUtility::md5OfData(sample, sampled);
}

TWContentDigest TWFileUtility::digestOfBytes(const void* bytes, size_t length) {
    const XXH128_hash_t value = XXH3_128bits(bytes, length);
    return TWContentDigest{value.high64, value.low64};
}

std::optional<std::vector<unsigned char>> TWFileUtility::getResourceForkData() const {
    return std::nullopt;
}

namespace {

// Counts one read of `size` bytes under a control from its start to its end.
class ControlledRead {
public:
    ControlledRead(TWReadControl* control, uint64_t size) : control_(control), size_(size) {
        if (control_) control_->readWillStart(size_);
    }
    ~ControlledRead() {
        if (control_) control_->readDidEnd(read_, size_);
    }
    // Between blocks: whether the read is to give up.
    bool shouldStop() const { return control_ && control_->shouldStopBeforeBlock(); }
    void didRead(uint64_t bytes) {
        read_ += bytes;
        if (control_) control_->didRead(bytes);
    }

private:
    TWReadControl* const control_;
    const uint64_t size_;
    uint64_t read_ = 0;
};

}  // namespace

std::optional<TWContentDigest> TWFileUtility::contentDigest(TWReadControl* control) {
    std::lock_guard once(digestMutex_);
    const auto stored = [this]() -> std::optional<TWContentDigest> {
        if (!hasDigest_) return std::nullopt;
        return digest_;
    };
    if (digestDone_) return stored();
    digestDone_ = true;
    const std::string path = filePath_.str();
    auto file = tw::SafeFile::open(path);
    if (!file) return stored();
    std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)> state(XXH3_createState(), XXH3_freeState);
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK) return stored();
    ControlledRead read(control, file->size());
    unsigned char chunk[kDigestChunk];
    for (uint64_t offset = 0;;) {
        if (read.shouldStop()) {
            digestDone_ = false;  // not a result: the next asker reads the file again
            return std::nullopt;
        }
        long n = file->readOnce(offset, chunk, sizeof chunk);
        if (n < 0) {
            tw::log("Cannot read(%s): %s.", path.c_str(), std::strerror(errno));
            return stored();
        }
        if (n == 0) break;
        read.didRead(static_cast<uint64_t>(n));
        XXH3_128bits_update(state.get(), chunk, static_cast<size_t>(n));
        offset += static_cast<uint64_t>(n);
        if (file->endsAt(offset, static_cast<size_t>(n), sizeof chunk)) break;
    }
    XXH128_hash_t value = XXH3_128bits_digest(state.get());
    digest_ = TWContentDigest{value.high64, value.low64};
    hasDigest_ = true;
    return digest_;
}

std::optional<TWContentDigest> TWFileUtility::cachedDigest() const {
    std::lock_guard once(const_cast<TWRecordLock&>(digestMutex_));
    if (!hasDigest_) return std::nullopt;
    return digest_;
}

void TWFileUtility::keepDigest(const TWContentDigest& digest) {
    std::lock_guard once(digestMutex_);
    if (digestDone_) return;  // one read or given before: that one stands
    digest_ = digest;
    hasDigest_ = digestDone_ = true;
}

void TWFileUtility::adoptRememberedValues(const std::optional<TWMD5>& hash,
                                          const std::optional<TWContentDigest>& digest) {
    if (digest) keepDigest(*digest);
    std::lock_guard once(hashMutex_);
    std::lock_guard lock(lazyMutex_);
    if (hash && !hasHash_) storeHashLocked(*hash);
    if (hash) cacheHolds_ |= kCacheHoldsHash;
    if (digest) cacheHolds_ |= kCacheHoldsDigest;
}

void TWFileUtility::takeValuesToRemember(std::optional<TWMD5>& hash, std::optional<TWContentDigest>& digest) {
    const std::optional<TWContentDigest> known = cachedDigest();
    std::lock_guard lock(lazyMutex_);
    hash.reset();
    digest.reset();
    if (hasHash_ && !(cacheHolds_ & kCacheHoldsHash)) {
        hash = hash_;
        cacheHolds_ |= kCacheHoldsHash;
    }
    if (known && !(cacheHolds_ & kCacheHoldsDigest)) {
        digest = known;
        cacheHolds_ |= kCacheHoldsDigest;
    }
}

// --- texts ---

std::string TWFileUtility::fileName() const {
    // The name part is the last component, but for a path given with a trailing "/".
    std::string name = filePath_.name().empty() ? lastPathComponent(filePath_.str()) : std::string(filePath_.name());
    const std::string extension = pathExtension(name);
    // A name that is all extension (".profile") keeps it: two such files must not share
    // the empty name, which the name match would take for equal.
    if (extension.empty() && (name.empty() || name.back() != '.')) return name;
    size_t cut = name.size() - extension.size() - 1;
    return cut == 0 ? name : name.substr(0, cut);
}

std::string TWFileUtility::formatSize() const {
    return stringWithSize(fileSize_);
}

std::string TWFileUtility::descriptionOfCreateTime() const {
    const std::optional<TWTime> time = createTime();
    if (!time) return {};
    std::time_t seconds = std::chrono::system_clock::to_time_t(*time);
    struct tm local {};
    if (!localtime_r(&seconds, &local)) return {};
    char text[128];
    size_t n = std::strftime(text, sizeof text, "%x %X", &local);
    return std::string(text, n);
}

std::string TWFileUtility::descriptionOfCategory() const {
    return TWCategoryManager::descriptionOf(category_);
}

std::string TWFileUtility::stringWithSize(uint64_t bytes) {
    if (bytes < 1024) {
        char text[32];
        std::snprintf(text, sizeof text, "%lu B", static_cast<unsigned long>(bytes));
        return text;
    }
    if (bytes < (1ull << 20)) return formatQuotient(static_cast<float>(bytes) / 1024.0f, "KB");
    if (bytes < (1ull << 30)) return formatQuotient(static_cast<float>(bytes) / 1048576.0f, "MB");
    return formatQuotient(static_cast<float>(bytes) / 1073741824.0f, "GB");
}

// --- image values ---

TWSize TWFileUtility::storedResolution() const {
    std::lock_guard lock(lazyMutex_);
    return imageValues_ ? imageValues_->resolution : TWSize{};
}

std::string TWFileUtility::formatResolution() const {
    TWSize size = storedResolution();
    if (size.isZero()) return "N/A";
    char text[64];
    std::snprintf(text, sizeof text, "%.0fx%.0f", size.width, size.height);
    return text;
}

TWSize TWFileUtility::resolution() {
    if (category_ == TWCategory_images) {
        std::lock_guard guard(imageMutex_);
        if (storedResolution().isZero()) readResolutionLocked();
    }
    return storedResolution();
}

void TWFileUtility::readResolutionLocked() {
    TWSize size = TWImageHeader::pixelSizeOfFile(filePath_.str());
    std::lock_guard lock(lazyMutex_);
    if (!imageValues_) imageValues_ = std::make_unique<ImageValues>();
    imageValues_->resolution = size;
}

bool TWFileUtility::higherThanResolution(TWSize size) {
    const TWSize own = resolution();
    if (own == size) return false;
    if (own.isZero() || size.isZero()) return !own.isZero();
    if (own.width > size.width) return true;
    return std::abs(own.width - size.width) < 0.0001 && own.height > size.height;
}

std::shared_ptr<TWImage> TWFileUtility::fileIcon() {
    std::lock_guard guard(imageMutex_);
    {
        std::lock_guard lock(lazyMutex_);
        if (imageValues_ && imageValues_->icon) return imageValues_->icon;
    }
    getImageSizeAndThumbnailLocked();
    std::lock_guard lock(lazyMutex_);
    return imageValues_ ? imageValues_->icon : nullptr;
}

void TWFileUtility::getImageSizeAndThumbnail() {
    std::lock_guard guard(imageMutex_);
    getImageSizeAndThumbnailLocked();
}

void TWFileUtility::getImageSizeAndThumbnailLocked() {
    auto provider = TWThumbnailProvider::installed();
    std::shared_ptr<TWImage> icon;
    TWSize size;
    const std::string path = filePath_.str();
    if (category_ == TWCategory_images) {
        size = TWImageHeader::pixelSizeOfFile(path);
        std::optional<TWThumbnailProvider::ImageSource> source;
        if (provider) source = provider->imageSource(path);
        if (source) {
            std::shared_ptr<TWImage> chosen = source->thumbnail;
            int orientation = 1;
            if (!chosen && source->full) {
                chosen = source->full;
                orientation = source->orientation;
            }
            if (chosen && (chosen->width() > kThumbnailSide || chosen->height() > kThumbnailSide)) {
                chosen = provider->createThumbnailForImage(*chosen, orientation);
            }
            icon = chosen;
        }
    }
    if (!icon && provider) icon = provider->iconForFile(path);
    std::lock_guard lock(lazyMutex_);
    if (!imageValues_) imageValues_ = std::make_unique<ImageValues>();
    imageValues_->resolution = size;
    imageValues_->icon = icon;
}

std::shared_ptr<TWImage> TWFileUtility::createThumbnailForImage(const TWImage& image, int orientation) {
    auto provider = TWThumbnailProvider::installed();
    return provider ? provider->createThumbnailForImage(image, orientation) : nullptr;
}

int64_t TWFileUtility::privilege() const {
    const TWPrivilegeSource* source = TWPrivilegeSource::installed();
    return source ? source->privilegeAtPath(filePath_.str()) : -1;
}

// --- probes of a path ---

uint64_t TWFileUtility::sizeOfPath(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

uint64_t TWFileUtility::sizeOfPathOnDisk(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_blocks) * 512 : sizeOfPath(path);
}

bool TWFileUtility::fileIsRegular(const std::string& path) {
    if (pathExtension(path) == "dylib") return false;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return false;
    // System files are left alone, but a process running as root owns everything it
    // (and its user) creates, so the owner test would then exclude every file.
    if (geteuid() != 0 && ownerIsRoot(st.st_uid)) return false;
    return S_ISREG(st.st_mode);
}

bool TWFileUtility::fileIsDirectory(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool TWFileUtility::fileIsPackage(const std::string& path) {
    return isPackageExtension(path) && fileIsDirectory(path);
}

bool TWFileUtility::isPackageName(const std::string& path) {
    return isPackageExtension(path);
}

TWFileType TWFileUtility::fileTypeOf(const std::string& path) {
    // A root-owned file, a "dylib" or anything else that is neither a regular file nor
    // a folder is TWFileTypeRegular too: one lstat tells the three types apart.
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return TWFileTypeRegular;
    return typeOfMode(path, st.st_mode);
}

// --- path helpers ---

std::string TWFileUtility::lastPathComponent(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return path.empty() ? std::string() : std::string("/");
    size_t start = path.rfind('/', end);
    return path.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

std::string TWFileUtility::pathExtension(const std::string& path) {
    std::string name = lastPathComponent(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string TWFileUtility::resolvePath(const std::string& path) {
    const std::string expanded = absolute(expandTilde(path));
    if (auto resolved = realPath(expanded)) return *resolved;
    // The item itself cannot be resolved (it is gone, or a link that points nowhere):
    // resolve the folder that holds it and keep its own name.
    std::string name = lastPathComponent(expanded);
    size_t slash = expanded.find_last_not_of('/');
    slash = slash == std::string::npos ? std::string::npos : expanded.rfind('/', slash);
    if (slash != std::string::npos && name != "/") {
        std::string parent = slash == 0 ? "/" : expanded.substr(0, slash);
        if (auto resolvedParent = realPath(parent)) {
            return *resolvedParent == "/" ? "/" + name : *resolvedParent + "/" + name;
        }
    }
    return expanded;
}
