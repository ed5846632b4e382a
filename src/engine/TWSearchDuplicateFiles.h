#pragma once
// One scan: walks the root folders (and, when asked, the photo and music libraries),
// makes a record of every entry the preferences let through, and places it at once:
// non-image files into duplicate groups inside per-category containers, images of the
// common formats into groups of similar images. At the end similar groups become
// duplicate groups, single-file groups are dropped, the preferred selection rule is
// applied and every group is sorted newest first.
//
// Notifications on tw::NotificationCenter::defaultCenter(), all on the main thread:
//   "TWSearchFilesWillStartNotification"  no object; before any progress.
//   "TWSearchFilesProgressNotification"   object TWSearchDuplicateFiles* (this engine);
//                                         once per counted file, after the counters changed.
//   "TWSearchFilesFinishedNotification"   object std::vector<std::shared_ptr<TWCategoryFiles>>;
//                                         once per scan, also after a stop.
//
// With "kRememberFiles" set (the default), what the scan reads of each file is taken
// from and kept in the cache of earlier scans (TWScanCache).
//
// Threading: create, start, stop, pause, resume and read the counters on the main
// thread; the scan runs on pool workers (at the process's own priority, or lowered
// when "kScanInBackground" is set) and hands counts to the main queue, so the main
// queue must keep running while a scan runs. The engine keeps itself alive
// until its finished notification has been delivered. Session events (sleep, wake,
// power-off, unmount) reach it through tw::SessionEvents.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/TWLibraryFiles.h"
#include "engine/TWScanBounds.h"
#include "engine/TWScanReport.h"
#include "engine/TWWalkSlots.h"
#include "files/TWFileUtility.h"
#include "files/TWReadControl.h"
#include "model/TWCategoryFiles.h"
#include "platform/AdaptiveMutex.h"
#include "platform/Executors.h"
#include "platform/SessionEvents.h"

class TWDeviceReaders;
class TWDuplicateIndex;
class TWPlacedItems;
class TWScanCache;
class TWSimilarRoad;
class TWSimilarSigning;
class ZPImageSignature;
class ZPSimilarContext;

inline constexpr const char* TWSearchFilesWillStartNotification = "TWSearchFilesWillStartNotification";
inline constexpr const char* TWSearchFilesProgressNotification = "TWSearchFilesProgressNotification";
inline constexpr const char* TWSearchFilesFinishedNotification = "TWSearchFilesFinishedNotification";

class TWSearchDuplicateFiles : public std::enable_shared_from_this<TWSearchDuplicateFiles> {
public:
    using Ptr = std::shared_ptr<TWSearchDuplicateFiles>;

    struct Options {
        // Where sleep, wake and power-off come from (empty: the system bus), and
        // whether to watch volumes; `sessionEvents` false listens to nothing.
        tw::SessionEvents::Options events;
        bool sessionEvents = true;
        // Whether a walker waits for the main thread to take each count (after its
        // decision, so the other walkers' decisions go on meanwhile). Without the wait the
        // counts still arrive one per file, each with its notification, in decision
        // order and before the finished notification; the main thread takes the
        // waiting counts in batches.
        bool waitForCounts = true;
        // Reads in flight per device; 0 decides by each device's kind (TWDeviceReaders).
        // Only the order and concurrency of reads change, never a result.
        int readers = 0;
        // Whether the finished notification comes before the file cache's last batch is
        // written, which the run then writes while the result is shown; the run ends
        // after it (waitUntilRunEnds()). Otherwise a scan that reports its end has kept
        // all it learned.
        bool reportBeforeCacheIsWritten = false;
    };

    // Main thread. Subscribes to the session's events for the engine's lifetime.
    static Ptr init();
    static Ptr init(Options options);
    ~TWSearchDuplicateFiles();
    TWSearchDuplicateFiles(const TWSearchDuplicateFiles&) = delete;
    TWSearchDuplicateFiles& operator=(const TWSearchDuplicateFiles&) = delete;

    const std::vector<std::string>& rootPaths() const { return rootPaths_; }
    void setRootPaths(std::vector<std::string> paths) { rootPaths_ = std::move(paths); }
    void searchRootPaths(std::vector<std::string> paths) { setRootPaths(std::move(paths)); }
    bool searchPhotosLibrary() const { return searchPhotosLibrary_; }
    void setSearchPhotosLibrary(bool search) { searchPhotosLibrary_ = search; }
    bool searchiTunesLibrary() const { return searchiTunesLibrary_; }
    void setSearchiTunesLibrary(bool search) { searchiTunesLibrary_ = search; }

    // Whether one of the paths is, contains or lies in the Photos library (the music
    // library's media folder), by the preference store's library tests, or holds a file
    // that a library of that source holds (asked of the installed media-library service).
    static bool containPhotosLibrary(const std::vector<std::string>& paths);
    static bool containiTunesLibrary(const std::vector<std::string>& paths);

    // Starts a scan in the background and returns at once. Ignored (and logged) while
    // a scan of this engine runs: two runs would share one set of results.
    void startSearch();
    // Asks the walks to end at their next test; the run still sorts and reports what
    // it collected. Returns at once; releases a paused scan.
    void stopSearch();
    void pauseSearch();
    void resumeSearch();
    bool isSearching() const { return running_.load(); }
    // Waits until every run started has ended, what it learned kept in the file cache.
    void waitUntilRunEnds();
    bool isPaused() const { return gateClosed_.load(); }
    // Whether the session's sleep and power-off events are subscribed; waits at most
    // `timeout` for the attempt (which runs on the GLib thread).
    bool waitUntilSessionEventsSubscribed(std::chrono::milliseconds timeout) const;

    // Main thread only.
    uint64_t numberOfSearchFiles() const { return numberOfSearchFiles_; }
    uint64_t numberOfDuplicateFiles() const { return numberOfDuplicateFiles_; }
    uint64_t sizeOfDuplicateFiles() const { return sizeOfDuplicateFiles_; }
    // Files the walk left to the libraries (TWLibraryFiles) in the last scan; any thread.
    uint64_t numberOfLibraryFilesLeftOut() const { return libraryFilesLeftOut_.load(); }

    // The full-content digests in progress (any thread): how many, the bytes they have
    // read and their sizes. A digest passes the pause gate and tests the stop flag
    // between its blocks, so a scan busy with one huge file still stops at once.
    TWReadControl::Progress digestProgress() const { return digestControl_->progress(); }
    // Bytes and blocks read by this engine's digests, finished ones included (any thread).
    uint64_t bytesReadByDigests() const { return digestControl_->bytesRead(); }
    uint64_t blocksReadByDigests() const { return digestControl_->blocksRead(); }

    // The paths this scan skipped for an error, and its notices (a chosen folder that
    // the ignore settings reject, an overlay scanned with its layer folder). Any thread;
    // complete once the finished notification was posted.
    const TWScanReport& scanReport() const { return report_; }

    // The containers, in the order categories first appeared; complete once the
    // finished notification was posted.
    std::vector<TWCategoryFiles::Ptr> categoryFiles() const;

    // The roots that are walked: ignored roots removed, and every root that lies
    // inside another root removed; the order of rootPaths kept.
    std::vector<std::string> filterPathsWithoutRepetion() const;
    // Whether some root lies on the volume mounted at `devicePath` (the root is that
    // folder or inside it).
    bool isDevicePathInRootPath(const std::string& devicePath) const;

    // Session events (main thread).
    void computeWillSleep() { pauseSearch(); }
    void computeDidWake() { resumeSearch(); }
    void computeWillPowerOff();
    void diskWillUnmount(const std::string& devicePath);

    struct PrivateTag {};
    TWSearchDuplicateFiles(PrivateTag, Options options);

private:
    void run();
    // `resolved` is the folder's path with its links resolved, empty when unknown.
    // `opened`: the folder's descriptor, which the walk takes over, else -1 (opened here).
    void startSearchAtPath(const std::string& path, const std::string& resolved, tw::TaskGroup& group,
                           bool needReleaseCPU, int opened = -1);
    // Marks a record that no removal may touch: one the walk made from `walkedPath`
    // whose real path is not `expectedPath` (it was reached through a link) and lies
    // outside the chosen folders, or one inside an overlay's layer folder. `folder` is
    // where the walked folder lies.
    void boundRecord(TWFileUtility& record, const std::string& walkedPath, const std::string& expectedPath,
                     TWScanBounds::Place folder);
    void placeRecord(TWFileUtility& record, TWScanBounds::Place place);
    // A record whose attributes could not be read: named (unless it is gone), not placed.
    void skipUnreadable(const TWFileUtility& record, const std::string& walkedPath);
    // The walked roots' real paths, each "" when it cannot be resolved (then named as skipped).
    std::vector<std::string> resolveRoots(const std::vector<std::string>& roots);
    void collectFileUtility(const std::shared_ptr<TWFileUtility>& record);
    // A record of a listed folder's file: collected now, or (on a device read in
    // physical order) kept in `batch` until flushBatch, in the same order.
    void collectEntryRecord(const std::shared_ptr<TWFileUtility>& record,
                            std::vector<std::shared_ptr<TWFileUtility>>& batch);
    // Reads what the batch's files will need in their order on the disk, one reader at
    // a time, then collects them in the order they were listed.
    void flushBatch(std::vector<std::shared_ptr<TWFileUtility>>& batch);
    // Whether a file the walk met belongs to a library (and is counted as left out).
    bool isLibraryFile(dev_t device, ino_t inode);
    void collectionFile(const std::shared_ptr<TWFileUtility>& record);
    void collectSimilarFile(const std::shared_ptr<TWFileUtility>& record);
    // A picture's decision, in the order pictures were met; a picture that could not be
    // signed takes the exact road.
    void placeSimilarFile(const std::shared_ptr<TWFileUtility>& record,
                          const std::shared_ptr<ZPImageSignature>& signature);
    void startSearchMediaLibrary();
    void filterAndSortDulicateFiles();
    void incrementCount(bool duplicate, uint64_t size);
    // With waitForCounts: returns once the main thread has taken the counts queued so
    // far; called with no lock of the deciding index held.
    void awaitCounts();
    void applyCount(bool duplicate, uint64_t size);  // main thread
    void drainCounts();                              // main thread
    // Hands the waiting counts to the main thread: `now`, or when the last hand-over is
    // kCountInterval old.
    void flushCounts(bool now = false);
    void passPauseGate();
    // Opens the walk's reserved slots once it waits for the disk or for other programs
    // (a walker calls it for every folder; it looks at most every few milliseconds).
    void noteWalkWaits();
    bool isBeStop() const { return isBeStop_.load(std::memory_order_relaxed); }
    void subscribeSessionEvents();

    const Options options_;
    std::vector<std::string> rootPaths_;
    bool searchPhotosLibrary_ = false;
    bool searchiTunesLibrary_ = false;
    uint64_t numberOfSearchFiles_ = 0;
    uint64_t numberOfDuplicateFiles_ = 0;
    uint64_t sizeOfDuplicateFiles_ = 0;

    std::shared_ptr<ZPSimilarContext> similarContext_;
    std::unique_ptr<TWPlacedItems> placed_;
    std::unique_ptr<TWDuplicateIndex> duplicates_;
    std::unique_ptr<TWSimilarRoad> similar_;
    std::unique_ptr<TWSimilarSigning> signing_;        // signs pictures on every core
    std::unique_ptr<TWScanCache> cache_;               // of earlier scans, with "kRememberFiles"
    std::unique_ptr<TWDeviceReaders> readers_;         // set by the run: reads per device
    std::vector<TWCategoryFiles::Ptr> categoryFiles_;  // the result, after the post-pass
    std::unique_ptr<TWScanBounds> bounds_;             // set by the run before its walks
    bool isRoot_ = false;                              // set by the run: whether it runs as root
    TWScanReport report_;
    int64_t searchMode_ = 0;
    TWLibraryFiles libraryFiles_;  // set before the walks start
    std::atomic<uint64_t> libraryFilesLeftOut_{0};

    tw::WorkerPool* pool_ = nullptr;  // set by startSearch: the run's workers, by the background setting
    TWWalkSlots curSearchSema_;
    // Whether the walk waits (see kWalkReserve), and when it is next asked.
    std::mutex waitWatchMutex_;
    TWWalkWaitWatch waitWatch_;  // guarded by waitWatchMutex_
    std::atomic<std::chrono::steady_clock::time_point> nextWaitCheck_{};
    std::atomic<bool> isBeStop_{false};
    std::atomic<bool> running_{false};
    std::mutex runEndMutex_;
    std::condition_variable runEnded_;
    int runsInFlight_ = 0;  // guarded by runEndMutex_: from startSearch() to the end of run()
    std::mutex sleepMutex_;
    std::condition_variable sleepCondition_;
    bool waitForSleep_ = false;            // guarded by sleepMutex_
    std::atomic<bool> gateClosed_{false};  // mirrors waitForSleep_ for the walkers' fast path
    mutable std::mutex resultMutex_;       // guards categoryFiles_

    struct PendingCount {
        bool duplicate;
        uint64_t size;
    };
    tw::AdaptiveMutex countMutex_;             // taken once per file by the walkers
    std::vector<PendingCount> pendingCounts_;  // guarded by countMutex_
    // Whether a drain task is queued on the main thread, and when the last one was:
    // waking the main thread once per file would cost more than the file (both
    // guarded by countMutex_).
    bool drainQueued_ = false;
    std::chrono::steady_clock::time_point lastDrainQueued_{};

    std::shared_ptr<tw::SessionEvents> sessionEvents_;
    std::unique_ptr<TWReadControl> digestControl_;  // tests isBeStop_ and passes the pause gate
};
