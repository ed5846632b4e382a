#pragma once
// One removal of the checked files. Started from the main thread, it works on one
// worker thread (at a lowered priority only when "kScanInBackground" is set): it tells its TWRemovalProgress (on the
// main thread) that it starts, how far it is after every file, and how it ended.
//
// Every file is first checked against a snapshot of the files that stay (TWKeptCopies:
// the last copy is never removed), then trashed, deleted or moved into a folder by
// TWFileRemoval. Library items never leave the disk here: once the walk is done they
// are handed to their libraries by script, all the items of one library in one call
// (one transaction for a database library); the items of a library that refused them
// stay in the results, still checked, and are reported as failures.
// Between the check and the act lies the hook `beforeAct` (tests use it to change the
// files at exactly that moment); after it the check is made again, and the act makes
// sure it deals with the file that was checked: a deletion first sets the file aside
// under a private name and judges it there (TWFileRemoval), a move or a trash compares
// its stamp right before.
// All disk work happens with no lock of the results held: the run lists the checked
// files first, disposes of them, and only then lets the results drop them through the
// source's walk, so that the views never wait for a copy or a Trash.
//
// Cancel: the step that starts after cancel() still disposes of its own file; the walk
// ends after it, and files not reached keep their checks.
//
// One removal at a time per user (TWRemovalLock): the run holds the lock from before
// its first check to after its last act. When another removal holds it, the run tells
// its progress (removalIsWaiting) and waits, or with waitForOtherRemoval false ends at
// once; a cancel() while it waits ends it too. A run that did not get the lock touches
// nothing and says why in its outcome.
//
// Threading: start() and the progress calls on the main thread; cancel() and every
// counter from any thread (the counters are single atomic words, read with no lock).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "TWFolderMove.h"
#include "TWKeptCopies.h"
#include "TWRemovalLock.h"
#include "TWRemovalProgress.h"
#include "TWRemovalSource.h"

class TWRemovalRun : public std::enable_shared_from_this<TWRemovalRun> {
public:
    struct Options {
        int64_t destType = 0;    // TWDestType
        std::string folder;      // the destination of TWDestTypeMoveToFolder
        int64_t searchMode = 0;  // TWSearchMode the results were found with
        // Name mode: only files whose content a kept file of their group has at the
        // moment of the act go; the others stay and count as failed.
        bool onlyIdentical = false;
        // Packages group by whole trees (TWPreference::verifyFullContent); else by
        // bundle identity.
        bool verifyFullContent = true;
        TWFolderMove::Options move;
        bool waitForOtherRemoval = true;  // false: end at once when another removal runs
        // Called on the worker thread with the path of each file that passed its check,
        // right before it is acted on; the check is then made again.
        std::function<void(const std::string& path)> beforeAct;
    };
    // destType, searchMode and verifyFullContent from the preference store; main thread.
    static Options optionsFromPreferences(const std::string& folder);

    static std::shared_ptr<TWRemovalRun> create(std::shared_ptr<TWRemovalSource> source,
                                                std::shared_ptr<TWRemovalProgress> progress, Options options);

    // Starts the run in the background and returns at once (removedCheckedFilesWithFolder).
    void start();
    // The progress window's Cancel (cancelClick).
    void cancel();
    bool isCancelled() const { return isCancelled_.load(); }
    // Set once the finish has been shown on the main thread.
    bool isFinished() const { return finished_.load(); }

    // The run's counters, readable at any time from any thread.
    uint64_t total() const { return total_.load(); }
    uint64_t remainingCount() const { return remainingCount_.load(); }
    uint64_t remainingBytes() const { return remainingBytes_.load(); }
    bool cleanPhotos() const { return cleanPhotos_.load(); }
    bool cleanItunes() const { return cleanItunes_.load(); }
    uint64_t failedCount() const { return failed_.load(); }
    double percent() const { return TWRemovalProgressPercent(total(), remainingCount()); }
    std::string title() const { return TWRemovalProgressTitle(remainingCount(), remainingBytes()); }

    struct PrivateTag {};
    TWRemovalRun(PrivateTag, std::shared_ptr<TWRemovalSource> source, std::shared_ptr<TWRemovalProgress> progress,
                 Options options);

private:
    void begin(std::unique_ptr<TWRemovalLock> lock, const tw::Status& lockStatus);
    void work(const std::shared_ptr<TWRemovalLock>& lock, const tw::Status& lockStatus);
    // The per-file step: counters, the disposal, the progress report.
    void disposeOf(const TWKeptCopies::FilePtr& file);
    tw::Status disposeOfPlainFile(const TWFileUtility& file);
    tw::Status actOn(const TWFileUtility& file, const TWKeptCopies::Verified& verified);
    void record(const TWFileUtility& file, const tw::Status& status);
    // Hands the library items gathered so far to their libraries; answers those that
    // were refused.
    std::vector<TWKeptCopies::FilePtr> handOverLibraryItems();
    void postProgress();

    std::shared_ptr<TWRemovalSource> source_;
    std::shared_ptr<TWRemovalProgress> progress_;
    const Options options_;
    TWKeptCopies keptCopies_;                          // worker thread only
    std::vector<TWKeptCopies::FilePtr> libraryItems_;  // worker thread only

    std::mutex waitMutex_;
    std::shared_ptr<TWRemovalLock::Waiter> waiter_;  // waitMutex_; while waiting for another removal
    std::atomic<bool> isCancelled_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
    std::atomic<uint64_t> total_{0};
    std::atomic<uint64_t> remainingCount_{0};
    std::atomic<uint64_t> remainingBytes_{0};
    std::atomic<bool> cleanPhotos_{false};
    std::atomic<bool> cleanItunes_{false};
    std::atomic<uint64_t> failed_{0};
    // Worker thread while running; handed to the main thread by the finish.
    TWRemovalOutcome outcome_;
};
