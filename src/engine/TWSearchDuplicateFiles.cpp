#include "engine/TWSearchDuplicateFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "engine/TWDeviceReaders.h"
#include "engine/TWDuplicateIndex.h"
#include "engine/TWMediaObjectUtility.h"
#include "engine/TWOverlayMounts.h"
#include "engine/TWPlacedItems.h"
#include "engine/TWRememberedPictures.h"
#include "engine/TWSearchMediaLibrary.h"
#include "engine/TWSimilarRoad.h"
#include "engine/TWSimilarSigning.h"
#include "files/TWBaseFunction.h"
#include "files/TWScanCache.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/SafeFile.h"
#include "prefs/TWPreference.h"
#include "similar/ZPSimilarContext.h"

namespace {

// How often at most a walker wakes the main thread to take the counts waiting.
constexpr auto kCountInterval = std::chrono::milliseconds(10);

unsigned processors() {
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 4 : count;
}

// One walk for each processor, and four more once the walk waits: for the disk, where a
// walker blocked in a lookup of a folder or a file not in memory leaves its processor
// idle (four more walkers took a third off a cold scan of a home folder), or for other
// busy programs, which the scheduler shares the processors with thread by thread (with
// one walker a processor a scan beside two busy programs took a quarter longer). In
// memory on an idle machine more walkers only take turns, and a rescan took a tenth
// longer with them.
constexpr ptrdiff_t kWalkReserve = 4;

// How often at most a walker asks whether the walk waits.
constexpr auto kWaitCheckInterval = std::chrono::milliseconds(5);

std::string joinPath(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// How many folders one walker holds open at once, its own and those it descends into
// on its thread: deeper folders are listed and closed at once, and their entries
// looked up by whole path. Bounded so that a deep tree cannot use up the descriptors.
constexpr int kHeldFoldersPerWalker = 32;
thread_local int heldFolders = 0;

// A folder opened for its walk, closed at the end of its scope.
class OpenFolder {
public:
    OpenFolder() = default;
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    ~OpenFolder() { close(); }
    int fd() const { return fd_; }
    // Opens `folder` (a link in it, or the folder itself, is followed as opendir did).
    bool open(const std::string& folder) {
        fd_ = ::open(folder.c_str(), O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC);
        return fd_ >= 0;
    }
    // Takes a descriptor opened by the caller (-1: none), or hands it on.
    void adopt(int fd) { fd_ = fd; }
    int release() { return std::exchange(fd_, -1); }
    // Keeps the descriptor for lookups inside the folder when this walker may hold
    // one more; else closes it now.
    void holdOrClose() {
        if (fd_ >= 0 && heldFolders < kHeldFoldersPerWalker) {
            held_ = true;
            ++heldFolders;
        } else {
            close();
        }
    }
    void close() {
        if (fd_ < 0) return;
        ::close(fd_);
        fd_ = -1;
        if (held_) --heldFolders;
        held_ = false;
    }

private:
    int fd_ = -1;
    bool held_ = false;
};

// The folder `name` of the open folder `parent`, looked up by its name alone; -1 when
// that fails, for whatever reason (the entry became a link, went away, refuses): the
// caller then opens it by its whole path, which reports the reason.
int openSubfolder(int parent, const std::string& name) {
    if (parent < 0) return -1;
    return ::openat(parent, name.c_str(), O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
}

struct FolderEntry {
    std::string name;
    unsigned char type;  // d_type: DT_UNKNOWN when the file system does not say
};

// The entries of the open folder, hidden ones included, in the order the file system
// gives them; none when it cannot be listed. `hasHiddenList` tells whether one of them
// is named ".hidden"; `error` gets the errno of a listing that failed or ended early,
// else 0. Read with getdents64 into a buffer of the thread (a listing ends before any
// descent), so a folder costs no allocation of a directory stream.
std::vector<FolderEntry> listFolder(int fd, bool& hasHiddenList, int& error) {
    alignas(8) static thread_local char buffer[32768];
    std::vector<FolderEntry> entries;
    hasHiddenList = false;
    error = 0;
    for (;;) {
        const ssize_t read = ::getdents64(fd, buffer, sizeof buffer);
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) {
            error = read < 0 ? errno : 0;
            break;
        }
        for (ssize_t at = 0; at < read;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            if (std::strcmp(name, ".hidden") == 0) hasHiddenList = true;
            entries.push_back({name, entry->d_type});
        }
    }
    return entries;
}

// Whether the walk may look up the entries of a folder it could list (search
// permission); `error` gets the errno of a refusal. Root is never refused.
bool canEnter(int fd, bool isRoot, int& error) {
    if (isRoot || faccessat(fd, ".", X_OK, AT_EACCESS) == 0) return true;
    error = errno;
    // Any other failure shows at the entries themselves.
    return error != EACCES && error != EPERM;
}

// TWFileUtility::fileTypeOf, answered from the entry's type where the listing gave
// one: it tells a directory (a package by its extension) from everything else, which
// is TWFileTypeRegular, by the same lstat type the listing reports.
TWFileType entryType(const std::string& path, unsigned char type) {
    if (type == DT_UNKNOWN) return TWFileUtility::fileTypeOf(path);
    if (type != DT_DIR) return TWFileTypeRegular;
    return TWFileUtility::fileIsPackage(path) ? TWFileTypePackage : TWFileTypeDirectory;
}

// The folder's path with every symbolic link resolved; empty when it cannot be
// resolved (errno then tells why).
std::string resolvedFolder(const std::string& path) {
    char* resolved = ::realpath(TWFileUtility::resolvePath(path).c_str(), nullptr);
    if (!resolved) return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// Whether a library of the source holds a file inside one of the folders: on Linux a
// library's files live in the user's own folders, not in a library package.
// Compared as text, links in the folders resolved: a library may hold many thousand files.
bool holdsLibraryFiles(const char* source, const std::vector<std::string>& folders) {
    auto service = tw::MediaLibraryService::installed();
    if (!service) return false;
    std::vector<std::string> prefixes;
    for (const std::string& folder : folders) {
        std::string resolved = resolvedFolder(folder);
        if (resolved.empty()) continue;
        prefixes.push_back(resolved == "/" ? resolved : resolved + "/");
    }
    for (const std::string& file : service->referencedFiles(source))
        for (const std::string& prefix : prefixes)
            if (file.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

}  // namespace

TWSearchDuplicateFiles::Ptr TWSearchDuplicateFiles::init() {
    return init(Options{});
}

TWSearchDuplicateFiles::Ptr TWSearchDuplicateFiles::init(Options options) {
    auto engine = std::make_shared<TWSearchDuplicateFiles>(PrivateTag{}, std::move(options));
    if (engine->options_.sessionEvents) engine->subscribeSessionEvents();
    return engine;
}

TWSearchDuplicateFiles::TWSearchDuplicateFiles(PrivateTag, Options options)
    : options_(std::move(options)),
      similarContext_(std::make_shared<ZPSimilarContext>()),
      placed_(std::make_unique<TWPlacedItems>()),
      curSearchSema_(processors(), kWalkReserve),
      digestControl_(std::make_unique<TWReadControl>(isBeStop_, [this] { passPauseGate(); })) {}

TWSearchDuplicateFiles::~TWSearchDuplicateFiles() {
    // The session's events are unsubscribed on the main thread; the last owner may be
    // the run task, on a worker.
    if (sessionEvents_ && !tw::MainQueue::shared().isMainThread())
        tw::MainQueue::shared().post([events = std::move(sessionEvents_)] {});
}

void TWSearchDuplicateFiles::subscribeSessionEvents() {
    std::weak_ptr<TWSearchDuplicateFiles> weak = weak_from_this();
    tw::SessionEvents::Callbacks callbacks;
    callbacks.sleep = [weak](bool start) {
        if (auto engine = weak.lock()) start ? engine->computeWillSleep() : engine->computeDidWake();
    };
    callbacks.powerOff = [weak] {
        if (auto engine = weak.lock()) engine->computeWillPowerOff();
    };
    callbacks.willUnmount = [weak](const std::string& mountPath) {
        if (auto engine = weak.lock()) engine->diskWillUnmount(mountPath);
    };
    sessionEvents_ = std::make_shared<tw::SessionEvents>(std::move(callbacks), options_.events);
}

bool TWSearchDuplicateFiles::waitUntilSessionEventsSubscribed(std::chrono::milliseconds timeout) const {
    return sessionEvents_ && sessionEvents_->waitUntilSubscribed(timeout);
}

// --- library questions ---

bool TWSearchDuplicateFiles::containPhotosLibrary(const std::vector<std::string>& paths) {
    const TWPreference& prefs = TWPreference::shared();
    for (const auto& path : paths)
        if (prefs.containPhotoLibraryPath(path) || prefs.isPhotosLibraryPath(path) ||
            prefs.containedByPhotoLibraryPath(path))
            return true;
    return holdsLibraryFiles(MLMediaSourcePhotosIdentifier, paths);
}

bool TWSearchDuplicateFiles::containiTunesLibrary(const std::vector<std::string>& paths) {
    const TWPreference& prefs = TWPreference::shared();
    for (const auto& path : paths)
        if (prefs.containItunesMediaFolder(path) || prefs.isItuneMediaFolderLocation(path) ||
            prefs.containedByItunesMediaFolder(path))
            return true;
    return holdsLibraryFiles(MLMediaSourceiTunesIdentifier, paths);
}

// --- control (main thread) ---

void TWSearchDuplicateFiles::startSearch() {
    if (running_.exchange(true)) {
        tw::log("A scan is already running; start ignored.");
        return;
    }
    isBeStop_.store(false);
    report_.clear();
    numberOfSearchFiles_ = 0;
    numberOfDuplicateFiles_ = 0;
    sizeOfDuplicateFiles_ = 0;
    similarContext_->setSimilarLevel(TWPreference::shared().similarityLevel());
    similarContext_->setSimilarMethod(static_cast<TWSimilarMethod>(TWPreference::shared().similarMethod()));
    pool_ = &tw::WorkerPool::forScans(TWPreference::shared().scanInBackground());
    {
        std::lock_guard lock(runEndMutex_);
        ++runsInFlight_;
    }
    pool_->submit([self = shared_from_this()] {
        self->run();
        {
            std::lock_guard lock(self->runEndMutex_);
            --self->runsInFlight_;
        }
        self->runEnded_.notify_all();
    });
}

void TWSearchDuplicateFiles::waitUntilRunEnds() {
    std::unique_lock lock(runEndMutex_);
    runEnded_.wait(lock, [this] { return runsInFlight_ == 0; });
}

void TWSearchDuplicateFiles::stopSearch() {
    isBeStop_.store(true);
    std::lock_guard<std::mutex> lock(sleepMutex_);
    waitForSleep_ = false;
    gateClosed_.store(false);
    sleepCondition_.notify_all();
}

void TWSearchDuplicateFiles::pauseSearch() {
    std::lock_guard<std::mutex> lock(sleepMutex_);
    waitForSleep_ = true;
    gateClosed_.store(true);
}

void TWSearchDuplicateFiles::resumeSearch() {
    std::lock_guard<std::mutex> lock(sleepMutex_);
    waitForSleep_ = false;
    gateClosed_.store(false);
    sleepCondition_.notify_all();
}

void TWSearchDuplicateFiles::passPauseGate() {
    // The flag is written under the mutex; a walker that misses a pause by a hair
    // would have passed just before it anyway.
    if (!gateClosed_.load()) return;
    flushCounts(true);  // a paused scan shows every file it counted
    std::unique_lock<std::mutex> lock(sleepMutex_);
    sleepCondition_.wait(lock, [this] { return !waitForSleep_; });
}

std::vector<TWCategoryFiles::Ptr> TWSearchDuplicateFiles::categoryFiles() const {
    std::lock_guard<std::mutex> lock(resultMutex_);
    return categoryFiles_;
}

// --- roots and session events ---

std::vector<std::string> TWSearchDuplicateFiles::filterPathsWithoutRepetion() const {
    const TWPreference& prefs = TWPreference::shared();
    std::vector<std::string> kept;
    for (const auto& root : rootPaths_)
        if (!prefs.fileFolderIsIgnored(root)) kept.push_back(root);
    std::vector<std::string> roots;
    for (size_t b = 0; b < kept.size(); ++b) {
        bool inner = false;
        for (size_t a = 0; a < kept.size() && !inner; ++a)
            inner = a != b && TWBaseFunction::pathIsParentOfPath(kept[a], kept[b]);
        if (!inner) roots.push_back(kept[b]);
    }
    return roots;
}

bool TWSearchDuplicateFiles::isDevicePathInRootPath(const std::string& devicePath) const {
    if (devicePath.empty()) return false;
    std::string prefix = devicePath;
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    for (const auto& root : rootPaths_) {
        if (root == prefix) return true;
        // At a component boundary: /media/usb holds /media/usb/x, not /media/usb2.
        if (root.size() > prefix.size() && root.compare(0, prefix.size(), prefix) == 0 &&
            (prefix == "/" || root[prefix.size()] == '/'))
            return true;
    }
    return false;
}

void TWSearchDuplicateFiles::computeWillPowerOff() {
    tw::log("poweroff");
}

void TWSearchDuplicateFiles::diskWillUnmount(const std::string& devicePath) {
    if (isDevicePathInRootPath(devicePath)) tw::log("disk: %s, unmounted.", devicePath.c_str());
}

// --- the run (one worker task per scan) ---

void TWSearchDuplicateFiles::run() {
    tw::MainQueue::shared().post(
        [] { tw::NotificationCenter::defaultCenter().post(TWSearchFilesWillStartNotification); });

    // The mode is fixed for the whole scan: the index keys every group by it.
    const TWPreference& prefs = TWPreference::shared();
    searchMode_ = prefs.searchMode();
    placed_->clear();
    cache_ = prefs.rememberFiles() ? TWScanCache::open() : nullptr;
    duplicates_ = std::make_unique<TWDuplicateIndex>(searchMode_, prefs.verifyFullContent(), *placed_,
                                                     digestControl_.get(), cache_.get());
    similar_ = std::make_unique<TWSimilarRoad>(*similarContext_, *placed_);
    readers_ = std::make_unique<TWDeviceReaders>(options_.readers);
    signing_ = std::make_unique<TWSimilarSigning>(
        [this](const std::shared_ptr<TWFileUtility>& record) {
            return isBeStop() ? nullptr : TWSignPictureRemembering(*record, *similarContext_, cache_.get());
        },
        [this](const auto& record, const auto& signature) { placeSimilarFile(record, signature); }, *pool_,
        std::max(1u, std::thread::hardware_concurrency()));
    libraryFiles_ = TWLibraryFiles::ofInstalledLibraries();
    libraryFilesLeftOut_.store(0);
    {
        std::lock_guard<std::mutex> lock(resultMutex_);
        categoryFiles_.clear();
    }

    // A chosen folder that the settings ignore is not walked, and that is no error.
    for (const auto& root : rootPaths_)
        if (prefs.fileFolderIsIgnored(root)) report_.addNotice(root, "is ignored by the settings: not scanned");
    const std::vector<std::string> roots = filterPathsWithoutRepetion();
    const std::vector<std::string> realRoots = resolveRoots(roots);
    isRoot_ = geteuid() == 0;
    bounds_ = std::make_unique<TWScanBounds>(realRoots, TWOverlayMounts::read());
    curSearchSema_.closeReserve();  // every slot is free between walks
    {
        std::lock_guard<std::mutex> lock(waitWatchMutex_);
        waitWatch_ = TWWalkWaitWatch(processors(), TWWalkWaitWatch::now());
        nextWaitCheck_.store({}, std::memory_order_relaxed);
    }
    {
        tw::TaskGroup group;
        for (size_t i = 0; i < roots.size(); ++i) {
            if (realRoots[i].empty()) continue;
            curSearchSema_.take();
            if (isBeStop()) {
                curSearchSema_.release();
                break;
            }
            group.run(*pool_, [this, root = roots[i], real = realRoots[i], &group] {
                startSearchAtPath(root, real, group, true);
            });
        }
        if (searchPhotosLibrary_ || searchiTunesLibrary_) group.run(*pool_, [this] { startSearchMediaLibrary(); });
        group.wait();
    }
    signing_->finish();

    // The walks are over: what they handed to the cache is written while the groups are
    // gathered, not after (at 50,000 files the writer waited 8 ms for a full batch that
    // would not come, then wrote while the scan waited for it).
    if (cache_) cache_->writeQueued();
    filterAndSortDulicateFiles();
    // What is queued is written before the scan reports its end, or after it, while the
    // result is shown; a scan started meanwhile opens a session of its own.
    std::unique_ptr<TWScanCache> writing = std::move(cache_);
    if (!options_.reportBeforeCacheIsWritten) writing.reset();
    tw::MainQueue::shared().postAndWait([this, result = categoryFiles()] {
        drainCounts();  // every count before the finished notification
        running_.store(false);
        tw::NotificationCenter::defaultCenter().post(TWSearchFilesFinishedNotification, result);
    });
    writing.reset();
}

std::vector<std::string> TWSearchDuplicateFiles::resolveRoots(const std::vector<std::string>& roots) {
    std::vector<std::string> realRoots;
    for (const auto& root : roots) {
        realRoots.push_back(resolvedFolder(root));
        if (realRoots.back().empty()) report_.addSkipped(root, TWScanReport::cannotListFolder(errno));
    }
    return realRoots;
}

void TWSearchDuplicateFiles::noteWalkWaits() {
    if (curSearchSema_.isReserveOpen()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextWaitCheck_.load(std::memory_order_relaxed)) return;
    // One walker looks; the others go on.
    std::unique_lock<std::mutex> lock(waitWatchMutex_, std::try_to_lock);
    if (!lock.owns_lock() || now < nextWaitCheck_.load(std::memory_order_relaxed)) return;
    nextWaitCheck_.store(now + kWaitCheckInterval, std::memory_order_relaxed);
    if (waitWatch_.waits(TWWalkWaitWatch::now())) curSearchSema_.openReserve();
}

void TWSearchDuplicateFiles::startSearchAtPath(const std::string& path, const std::string& resolved,
                                               tw::TaskGroup& group, bool needReleaseCPU, int opened) {
    const TWPreference& prefs = TWPreference::shared();
    struct statx attributes {};
    bool hasHiddenList = false;
    int error = 0;
    OpenFolder folder;
    folder.adopt(opened);
    std::vector<FolderEntry> entries;
    if (folder.fd() >= 0 || folder.open(path)) {
        entries = listFolder(folder.fd(), hasHiddenList, error);
    } else {
        error = errno;
    }
    // A folder gone since its parent was listed held nothing to skip.
    if (error != 0 && error != ENOENT) report_.addSkipped(path, TWScanReport::cannotListFolder(error));
    noteWalkWaits();
    if (!entries.empty() && !canEnter(folder.fd(), isRoot_, error)) {
        report_.addSkipped(path, TWScanReport::cannotEnterFolder(error));
        entries.clear();
    }
    // The entries are looked up (and their files opened) relative to the folder's
    // descriptor while it is held: the kernel then resolves only their names. Only with
    // the resolved path known: the records name their files by it.
    if (resolved.empty() || entries.empty()) {
        folder.close();
    } else {
        folder.holdOrClose();
    }
    std::optional<tw::SafeFile::FolderScope> opens;
    if (folder.fd() >= 0) opens.emplace(folder.fd(), resolved);
    const TWScanBounds::Place place = resolved.empty() ? TWScanBounds::Place{} : bounds_->placeOf(resolved);
    std::vector<std::shared_ptr<TWFileUtility>> batch;
    for (const auto& entry : entries) {
        if (isBeStop()) break;
        const std::string child = joinPath(path, entry.name.c_str());
        // Library content is reached only through the media-library sources.
        if (prefs.isLibraryLocation(child)) continue;
        passPauseGate();
        const std::string resolvedChild = resolved.empty() ? std::string() : joinPath(resolved, entry.name.c_str());
        // No call of the system takes a path this long.
        if (child.size() >= PATH_MAX || resolvedChild.size() >= PATH_MAX) {
            report_.addSkipped(child, TWScanReport::pathTooLong());
            continue;
        }
        // An entry that is neither a folder nor a link (the common case): the one statx
        // of its record answers the ignore test too.
        if (!resolved.empty() && entry.type != DT_DIR && entry.type != DT_LNK) {
            // Inside the held folder's scope: a statx of the name alone.
            const bool read = TWFileUtility::readEntryAttributes(resolvedChild, attributes, &error);
            if (read && !S_ISDIR(attributes.stx_mode)) {
                if (prefs.fileFolderIsIgnored(child, TWFileTypeRegular, attributes.stx_size, hasHiddenList)) continue;
                if (isLibraryFile(makedev(attributes.stx_dev_major, attributes.stx_dev_minor), attributes.stx_ino))
                    continue;
                auto record = TWFileUtility::initWithEntryOfResolvedFolder(resolvedChild, attributes);
                placeRecord(*record, place);
                collectEntryRecord(record, batch);
                continue;
            }
            if (error != 0) {
                if (error != ENOENT) report_.addSkipped(child, TWScanReport::cannotReadAttributes(error));
                continue;
            }
        }
        // A folder's kind is known from the listing; the test of anything else (a link,
        // an entry of unknown type) reads what it is.
        const TWFileType type = entryType(child, entry.type);
        if (entry.type == DT_DIR ? prefs.fileFolderIsIgnored(child, type, 0, hasHiddenList)
                                 : prefs.fileFolderIsIgnored(child))
            continue;
        flushBatch(batch);  // every entry in the order listed
        if (type == TWFileTypeRegular || type == TWFileTypePackage) {
            std::shared_ptr<TWFileUtility> record;
            if (type == TWFileTypePackage) {
                record = TWApplicationUtility::initWithPath(child);  // not entered
            } else {
                record = resolved.empty() ? TWFileUtility::initWithPath(child)
                                          : TWFileUtility::initWithEntryOfResolvedFolder(resolvedChild);
            }
            if (!record->hasIdentity()) {
                skipUnreadable(*record, child);
                continue;
            }
            if (type == TWFileTypeRegular && isLibraryFile(record->device(), record->inode())) continue;
            boundRecord(*record, child, resolvedChild, place);
            collectFileUtility(record);
        } else {
            // A folder that is not a link: its resolved path is its folder's plus its name.
            // A slot is taken only when one is free: a timed wait for one cost every
            // folder up to a millisecond (and a round of yields), while the walk that
            // holds the slot goes on anyway.
            // It is opened here, by its name in this folder while that is held (a lookup
            // of one name instead of the whole path), and handed to its walk.
            if (curSearchSema_.tryTake()) {
                auto subfolder = std::make_shared<OpenFolder>();  // closes it should the walk not run
                subfolder->adopt(openSubfolder(folder.fd(), entry.name));
                group.run(*pool_, [this, child, resolvedChild, &group, subfolder] {
                    startSearchAtPath(child, resolvedChild, group, true, subfolder->release());
                });
            } else if (isBeStop()) {
                break;
            } else {
                // No free slot: descend depth-first on this thread instead of waiting.
                startSearchAtPath(child, resolvedChild, group, false, openSubfolder(folder.fd(), entry.name));
            }
        }
    }
    flushBatch(batch);
    flushCounts();
    if (needReleaseCPU) curSearchSema_.release();
}

void TWSearchDuplicateFiles::boundRecord(TWFileUtility& record, const std::string& walkedPath,
                                         const std::string& expectedPath, TWScanBounds::Place folder) {
    if (record.recordPath() != expectedPath) {
        // Reached through a link (or from a folder that could not be resolved).
        const std::string path = record.filePath();
        if (!bounds_->isInsideChosenFolders(path)) record.markOutsideChosenFolders(walkedPath);
        folder = bounds_->placeOf(path);
    }
    placeRecord(record, folder);
}

void TWSearchDuplicateFiles::placeRecord(TWFileUtility& record, TWScanBounds::Place place) {
    if (place.overlay < 0) return;
    if (place.isInsideLayer()) record.markInsideOverlayLayer();
    if (auto notice = bounds_->noteFile(place)) report_.addNotice(notice->path, notice->text);
}

void TWSearchDuplicateFiles::skipUnreadable(const TWFileUtility& record, const std::string& walkedPath) {
    struct stat st {};
    const int error = ::lstat(record.filePath().c_str(), &st) == 0 ? 0 : errno;
    if (error != 0 && error != ENOENT) {
        report_.addSkipped(walkedPath, TWScanReport::cannotReadAttributes(error));
    } else {
        tw::log("Skipped(%s): it changed while it was read.", walkedPath.c_str());
    }
}

bool TWSearchDuplicateFiles::isLibraryFile(dev_t device, ino_t inode) {
    if (!libraryFiles_.contains(device, inode)) return false;
    libraryFilesLeftOut_.fetch_add(1);
    return true;
}

void TWSearchDuplicateFiles::collectFileUtility(const std::shared_ptr<TWFileUtility>& record) {
    if (!record || isBeStop()) return;
    passPauseGate();
    // Images of the common formats are compared by their look in both modes, never by
    // hash or name.
    if (ZPSimilarContext::isSupportedImagePath(record->recordPath().name())) {
        collectSimilarFile(record);
    } else {
        collectionFile(record);
    }
}

void TWSearchDuplicateFiles::collectEntryRecord(const std::shared_ptr<TWFileUtility>& record,
                                                std::vector<std::shared_ptr<TWFileUtility>>& batch) {
    if (readers_->readsInPhysicalOrder(record->device())) {
        batch.push_back(record);
        return;
    }
    flushBatch(batch);
    collectFileUtility(record);
}

void TWSearchDuplicateFiles::flushBatch(std::vector<std::shared_ptr<TWFileUtility>>& batch) {
    if (batch.empty()) return;
    std::vector<std::shared_ptr<TWFileUtility>> ordered;
    for (const auto& record : batch)
        if (!ZPSimilarContext::isSupportedImagePath(record->recordPath().name())) ordered.push_back(record);
    TWDeviceReaders::sortInPhysicalOrder(ordered);
    // The prefetch only reads ahead what the decisions will ask for: they are still
    // taken in the listed order, and read whatever the prefetch left.
    for (const auto& record : ordered) {
        if (isBeStop()) break;
        passPauseGate();
        TWDeviceReaders::Turn turn(*readers_, record->device());
        duplicates_->prefetch(record);
    }
    for (const auto& record : batch) collectFileUtility(record);
    batch.clear();
}

void TWSearchDuplicateFiles::collectionFile(const std::shared_ptr<TWFileUtility>& record) {
    {
        TWDeviceReaders::Turn turn(*readers_, record->device());
        duplicates_->prefetch(record);
    }
    const TWPlacement placement = duplicates_->place(record, isBeStop_, [this](TWPlacement placed, uint64_t size) {
        incrementCount(placed == TWPlacement::Joined, size);
    });
    if (placement != TWPlacement::Dropped) awaitCounts();
}

void TWSearchDuplicateFiles::collectSimilarFile(const std::shared_ptr<TWFileUtility>& record) {
    // A FIFO or a device named like an image is never opened, and dropped uncounted.
    if (!record->isRegularFile()) return;
    signing_->offer(record);
}

void TWSearchDuplicateFiles::placeSimilarFile(const std::shared_ptr<TWFileUtility>& record,
                                              const std::shared_ptr<ZPImageSignature>& signature) {
    if (isBeStop()) return;
    // A picture that cannot be decoded is still a file: it groups with its exact copies.
    if (!signature) return collectionFile(record);
    signature->setUserObject(record);
    const TWPlacement placement = similar_->place(signature, isBeStop_, [this](TWPlacement placed, uint64_t size) {
        incrementCount(placed == TWPlacement::Joined, size);
    });
    if (placement != TWPlacement::Dropped) awaitCounts();
}

void TWSearchDuplicateFiles::startSearchMediaLibrary() {
    std::vector<std::string> sources;
    if (searchPhotosLibrary_) sources.emplace_back(MLMediaSourcePhotosIdentifier);
    if (searchiTunesLibrary_) sources.emplace_back(MLMediaSourceiTunesIdentifier);
    auto library = TWSearchMediaLibrary::initWithSourceTypes(sources);
    if (!library) return;
    library->enumMediaObjectsWithBlock(
        [this](const std::string& sourceType, const std::shared_ptr<tw::MediaObject>& object) {
            if (isBeStop()) return true;
            collectFileUtility(TWMediaObjectUtility::initWithMediaObject(object, sourceType));
            return isBeStop();
        });
}

void TWSearchDuplicateFiles::applyCount(bool duplicate, uint64_t size) {
    if (duplicate) {
        ++numberOfDuplicateFiles_;
        sizeOfDuplicateFiles_ += size;
    }
    ++numberOfSearchFiles_;
    tw::NotificationCenter::defaultCenter().post(TWSearchFilesProgressNotification, this);
}

void TWSearchDuplicateFiles::drainCounts() {
    std::vector<PendingCount> counts;
    {
        std::lock_guard lock(countMutex_);
        counts.swap(pendingCounts_);
        drainQueued_ = false;
    }
    for (const PendingCount& count : counts) applyCount(count.duplicate, count.size);
}

void TWSearchDuplicateFiles::flushCounts(bool now) {
    if (options_.waitForCounts) return;
    {
        // At the end of a folder the flush gives way when the mutex is busy: its holder
        // is a walker counting under the deciding lock (every other walker then waits
        // for it) or the main thread draining, and the next folder's end or the clock of
        // the counts themselves queues the drain.
        std::unique_lock lock(countMutex_, std::defer_lock);
        if (now) {
            lock.lock();
        } else if (!lock.try_lock()) {
            return;
        }
        if (drainQueued_ || pendingCounts_.empty()) return;
        const auto clock = std::chrono::steady_clock::now();
        // At the end of a folder, too, the main thread is woken at most once every
        // kCountInterval: a wake-up for each of a home folder's thousands of small
        // folders cost more than the walk of many of them.
        if (!now && clock - lastDrainQueued_ < kCountInterval) return;
        drainQueued_ = true;
        lastDrainQueued_ = clock;
    }
    tw::MainQueue::shared().post([this] { drainCounts(); });
}

void TWSearchDuplicateFiles::incrementCount(bool duplicate, uint64_t size) {
    // Called under the deciding lock: counts queue up in decision order, and nothing
    // here waits for the main thread (a wait under that lock would hold every other
    // walker's decision for a round trip to the main thread).
    // The engine outlives every count it queued: the run waits for the finished
    // notification, which the main queue delivers after them.
    tw::MainQueue& main = tw::MainQueue::shared();
    if (main.isMainThread()) {
        drainCounts();
        applyCount(duplicate, size);
        return;
    }
    // One task on the main queue applies every count waiting when it runs, each with
    // its own notification. Without the wait, a count queues the next such task when
    // none is queued and the last one is kCountInterval old; counts left waiting are
    // flushed when a folder is done (no sooner than that either), before a pause and
    // before the finished notification. With it, the walker queues the task itself in awaitCounts().
    bool queue = false;
    {
        std::lock_guard lock(countMutex_);
        pendingCounts_.push_back({duplicate, size});
        // The clock is read for every 16th waiting count only: reading it for each
        // file cost a twentieth of the scan's own time.
        if (!options_.waitForCounts && !drainQueued_ && pendingCounts_.size() % 16 == 1) {
            const auto now = std::chrono::steady_clock::now();
            queue = now - lastDrainQueued_ >= kCountInterval;
            if (queue) {
                drainQueued_ = true;
                lastDrainQueued_ = now;
            }
        }
    }
    if (queue) main.post([this] { drainCounts(); });
}

void TWSearchDuplicateFiles::awaitCounts() {
    tw::MainQueue& main = tw::MainQueue::shared();
    if (!options_.waitForCounts || main.isMainThread()) return;
    // The drain takes this walker's count and every one queued before it.
    main.postAndWait([this] { drainCounts(); });
}

void TWSearchDuplicateFiles::filterAndSortDulicateFiles() {
    duplicates_->addGroupsToContainers();
    similar_->moveGroupsTo(*duplicates_);
    std::vector<TWCategoryFiles::Ptr> containers = duplicates_->categoryFiles();
    // Groups of one file never reached a container; their records go now.
    duplicates_->releaseRecords();
    placed_->clear();
    // Nothing more is asked of the cache or handed to it: its writer finishes while the
    // groups are marked and sorted.
    if (cache_) cache_->endRemembering();

    const TWPreference& prefs = TWPreference::shared();
    const int32_t forFiles = prefs.checkMethodForDuplicateFiles();
    const int32_t forImages = prefs.usingDupFilesChkMtdForSimImg() ? forFiles : prefs.checkMethodForSimilarImages();
    for (const auto& container : containers) {
        container->removeNotDuplicateFileIncludingSimilar();
        container->smartCheckDuplicateFilesWithMethod(container->category() == TWCategory_images ? forImages
                                                                                                 : forFiles);
        container->sortDuplicateFilesWithCreateTime(true);
    }
    std::lock_guard<std::mutex> lock(resultMutex_);
    categoryFiles_ = std::move(containers);
}
