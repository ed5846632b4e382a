#include "removal/TWRemovalRun.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine/TWMediaObjectUtility.h"
#include "engine/TWOverlayMounts.h"
#include "files/TWPackageTree.h"
#include "platform/Executors.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/MediaLibraryService.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPreferenceTypes.h"
#include "removal/TWAppleScript.h"
#include "removal/TWCleanMediaLibraryGuide.h"
#include "removal/TWFileRemoval.h"

namespace {

void subtractSaturating(std::atomic<uint64_t>& counter, uint64_t amount) {
    uint64_t current = counter.load();
    while (!counter.compare_exchange_weak(current, current > amount ? current - amount : 0)) {
    }
}

}  // namespace

TWRemovalRun::Options TWRemovalRun::optionsFromPreferences(const std::string& folder) {
    Options options;
    options.destType = TWPreference::shared().destType();
    options.searchMode = TWPreference::shared().searchMode();
    options.verifyFullContent = TWPreference::shared().verifyFullContent();
    options.folder = folder;
    return options;
}

std::shared_ptr<TWRemovalRun> TWRemovalRun::create(std::shared_ptr<TWRemovalSource> source,
                                                   std::shared_ptr<TWRemovalProgress> progress, Options options) {
    if (!source) return nullptr;
    if (!progress) progress = std::make_shared<TWRemovalProgress>();
    return std::make_shared<TWRemovalRun>(PrivateTag{}, std::move(source), std::move(progress), std::move(options));
}

TWRemovalRun::TWRemovalRun(PrivateTag, std::shared_ptr<TWRemovalSource> source,
                           std::shared_ptr<TWRemovalProgress> progress, Options options)
    : source_(std::move(source)), progress_(std::move(progress)), options_(std::move(options)) {}

void TWRemovalRun::start() {
    if (started_.exchange(true)) return;  // a run runs once
    tw::Status status;
    auto lock = TWRemovalLock::tryLock(&status);
    if (lock || status.error != EWOULDBLOCK || !options_.waitForOtherRemoval) {
        begin(std::move(lock), status);
        return;
    }
    progress_->removalIsWaiting();
    auto self = shared_from_this();
    std::lock_guard<std::mutex> guard(waitMutex_);
    waiter_ = TWRemovalLock::lockInBackground(
        [self](std::unique_ptr<TWRemovalLock> held, const tw::Status& s) { self->begin(std::move(held), s); });
}

void TWRemovalRun::cancel() {
    isCancelled_.store(true);
    std::shared_ptr<TWRemovalLock::Waiter> waiter;
    {
        std::lock_guard<std::mutex> guard(waitMutex_);
        waiter = std::move(waiter_);
    }
    if (waiter && waiter->abandon())
        begin(nullptr, tw::Status::failure("", "cancelled while another removal was running", ECANCELED));
}

void TWRemovalRun::begin(std::unique_ptr<TWRemovalLock> lock, const tw::Status& lockStatus) {
    auto self = shared_from_this();
    std::shared_ptr<TWRemovalLock> held = std::move(lock);
    // The lock goes with the work and is let go when it is over.
    tw::WorkerPool::forScans(TWPreference::shared().scanInBackground()).submit([self, held, lockStatus] {
        self->work(held, lockStatus);
    });
}

void TWRemovalRun::work(const std::shared_ptr<TWRemovalLock>& lock, const tw::Status& lockStatus) {
    std::vector<std::shared_ptr<TWCategoryFiles>> containers;
    tw::MainQueue::shared().postAndWait([&] {
        progress_->removalDidStart();
        total_.store(source_->numberOfFilesCheckedToRemoved());
        remainingCount_.store(total_.load());
        remainingBytes_.store(source_->sizeOfFilesCheckedToRemoved());
        containers = source_->allDuplicateFiles();
    });
    outcome_.total = total_.load();
    outcome_.destType = options_.destType;
    outcome_.folder = options_.folder;
    if (!lock) {
        outcome_.notStarted = lockStatus.message();
        outcome_.otherRemovalRunning = lockStatus.error == EWOULDBLOCK;
        outcome_.cancelled = lockStatus.error == ECANCELED;
        tw::log("Removal not started: %s", outcome_.notStarted.c_str());
    }

    if (lock && outcome_.total > 0) {
        // The files that stay, and the checked files in the order of the walk.
        std::vector<TWDuplicateFile::Ptr> groups;
        for (const auto& container : containers)
            if (container)
                for (auto& group : container->duplicateFilesIncludingSimilar()) groups.push_back(std::move(group));
        keptCopies_ = TWKeptCopies::snapshotOfGroups(
            groups, {options_.searchMode, options_.onlyIdentical, options_.verifyFullContent,
                     TWOverlayMounts::mountPointsWithUnplacedLayers()});
        std::vector<TWKeptCopies::FilePtr> checked;
        std::unordered_set<const TWFileUtility*> listed;
        for (const auto& group : groups)
            for (const auto& file : group->itemsOfFileUtility())
                if (file && file->isChecked() && listed.insert(file.get()).second) checked.push_back(file);

        // The disk work, with no lock of the results held.
        std::unordered_set<const TWFileUtility*> handled;
        for (const auto& file : checked) {
            const bool stop = isCancelled_.load();
            disposeOf(file);
            handled.insert(file.get());
            if (stop) {
                outcome_.cancelled = true;
                break;
            }
        }
        // A refused library item stays in the results, checked: the walk below passes
        // by unchecked files, so it is unchecked for the walk and checked again after
        // it (its group's counters never saw the change).
        const std::vector<TWKeptCopies::FilePtr> refused = handOverLibraryItems();
        for (const auto& item : refused) {
            handled.erase(item.get());
            item->setIsChecked(false);
        }

        // The results drop what was handled, and only that: after a cancel the walk
        // stops at the last handled file. A file that became checked since the listing
        // (the results were edited meanwhile) is taken in hand here; it was not in the
        // snapshot, so it stays on disk and counts as failed.
        const bool cancelled = outcome_.cancelled;
        source_->removeCheckedFilesUsingBlock([&](const TWKeptCopies::FilePtr& file, bool& stop) {
            if (!file) return;
            if (handled.erase(file.get()) == 0) disposeOf(file);
            if (cancelled && handled.empty()) stop = true;
        });
        handOverLibraryItems();  // library items that became checked meanwhile
        for (const auto& item : refused) item->setIsChecked(true);
        outcome_.keptChecked = refused.size();
    }

    outcome_.cleanPhotos = cleanPhotos_.load();
    outcome_.cleanItunes = cleanItunes_.load();
    outcome_.failed = failed_.load();
    if (outcome_.failed > 0)
        tw::log("Removal finished: %lu of %lu files could not be removed", static_cast<unsigned long>(outcome_.failed),
                static_cast<unsigned long>(outcome_.handled));
    tw::MainQueue::shared().postAndWait([&] {
        progress_->removalDidFinish(outcome_);
        finished_.store(true);
    });
}

void TWRemovalRun::disposeOf(const TWKeptCopies::FilePtr& file) {
    subtractSaturating(remainingCount_, 1);
    subtractSaturating(remainingBytes_, file->fileSize());
    // A library item never leaves the disk here, whatever the destination: it waits
    // for the hand-over to its library after the walk. The user deletes what the library
    // gathered, so the last copy of a group is not handed over either.
    if (!dynamic_cast<const TWMediaObjectUtility*>(file.get())) {
        const tw::Status status = disposeOfPlainFile(*file);
        if (status) {
            ++outcome_.disposedFiles;
            outcome_.disposedBytes += file->fileSize();
        }
        record(*file, status);
    } else if (tw::Status kept = keptCopies_.mayDispose(*file); !kept)
        record(*file, kept);
    else
        libraryItems_.push_back(file);
    postProgress();
}

void TWRemovalRun::record(const TWFileUtility& file, const tw::Status& status) {
    ++outcome_.handled;
    if (status) {
        ++outcome_.disposed;
    } else {
        outcome_.failures.push_back({status.path.empty() ? file.filePath() : status.path, status.reason});
        failed_.fetch_add(1);
    }
}

std::vector<TWKeptCopies::FilePtr> TWRemovalRun::handOverLibraryItems() {
    std::map<std::pair<std::string, std::string>, std::vector<TWKeptCopies::FilePtr>> byLibrary;
    for (auto& file : libraryItems_) {
        const auto& item = static_cast<const TWMediaObjectUtility&>(*file);
        byLibrary[{item.sourceType(), item.libraryName()}].push_back(std::move(file));
    }
    libraryItems_.clear();
    std::vector<TWKeptCopies::FilePtr> refused;
    for (const auto& [library, files] : byLibrary) {
        std::vector<std::string> identifiers;
        for (const auto& file : files)
            identifiers.push_back(static_cast<const TWMediaObjectUtility&>(*file).identifier());
        const auto& [source, name] = library;
        TWAppleScript& script = TWAppleScript::shareAppleScript();
        bool gathered = false;
        std::string reason;
        if (source == MLMediaSourcePhotosIdentifier) {
            gathered = script.removeDuplicatePhotos(identifiers, kTWDuplicateAlbumName, kTWDuplicateFolderName);
        } else if (source == MLMediaSourceiTunesIdentifier) {
            gathered = script.removeDuplicateiTunes(identifiers, kTWDuplicatePlaylistName);
        } else {
            reason = "it belongs to an unknown library";
        }
        if (gathered) {
            // The guide is shown only for a library that took its items.
            (source == MLMediaSourcePhotosIdentifier ? cleanPhotos_ : cleanItunes_).store(true);
            std::string& names =
                source == MLMediaSourcePhotosIdentifier ? outcome_.photosLibraries : outcome_.musicLibraries;
            if (!name.empty() && names.find(name) == std::string::npos) names += (names.empty() ? "" : " and ") + name;
            for (const auto& file : files) record(*file, tw::Status::success());
            continue;
        }
        if (reason.empty()) {
            const std::string why = TWAppleScript::lastError();
            reason = (name.empty() ? std::string("its library") : name) + " did not take it" +
                     (why.empty() ? std::string(" (see the log)") : ": " + why);
            refused.insert(refused.end(), files.begin(), files.end());
        }
        for (const auto& file : files) {
            tw::log("Left library item(%s) in place: %s", file->filePath().c_str(), reason.c_str());
            record(*file, tw::Status::failure(file->filePath(), reason));
        }
    }
    return refused;
}

tw::Status TWRemovalRun::disposeOfPlainFile(const TWFileUtility& file) {
    std::optional<TWKeptCopies::Verified> verified;
    // Some files are never removed or moved, whatever their mark says.
    if (file.refusesRemoval()) {
        tw::log("Left file(%s) in place: %s", file.filePath().c_str(), file.removalRefusalReason().c_str());
        return tw::Status::failure(file.filePath(), file.removalRefusalReason());
    }
    tw::Status status = keptCopies_.mayDispose(file, &verified);
    if (status && options_.beforeAct) {
        options_.beforeAct(file.filePath());
        status = keptCopies_.mayDispose(file, &verified);
    }
    if (status && !verified) status = tw::Status::failure(file.filePath(), "it was not verified");
    if (!status) {
        tw::log("Left file(%s) in place: %s", file.filePath().c_str(), status.reason.c_str());
        return status;
    }
    return actOn(file, *verified);
}

namespace {

// Whether the item at `path` is the one that was verified. A rename changes an item's
// change time, so an item set aside is judged by the rest of its stamp, and a package
// by its tree as well.
bool isVerifiedItem(const std::string& path, const TWKeptCopies::Verified& verified, bool setAside) {
    std::optional<TWFileStamp> now = TWFileStamp::ofPath(path);
    if (!now) return false;
    if (setAside) now->changeTimeNs = verified.stamp.changeTimeNs;
    if (!(*now == verified.stamp)) return false;
    return !verified.tree || TWPackageTree::digestOf(path) == verified.tree;
}

}  // namespace

tw::Status TWRemovalRun::actOn(const TWFileUtility& file, const TWKeptCopies::Verified& verified) {
    if (options_.destType == TWDestTypeDeletePermanently)
        return TWFileRemoval::removedFileDirect(
            file, [&](const std::string& aside) { return isVerifiedItem(aside, verified, true); });
    if (!isVerifiedItem(file.filePath(), verified, false)) {
        tw::log("Left file(%s) in place: it changed just before its removal", file.filePath().c_str());
        return tw::Status::failure(file.filePath(), "it changed just before its removal");
    }
    switch (options_.destType) {
        case TWDestTypeMoveToFolder:
            return TWFileRemoval::moveFile(file, options_.folder, options_.move);
        case TWDestTypeTrash: {
            std::optional<tw::TrashEntry> entry;
            tw::Status status = TWFileRemoval::removedFileToTrash(file, &entry);
            if (status && entry)
                outcome_.trashed.push_back({std::move(*entry), file.fileSize()});
            else if (status)
                ++outcome_.untracked;
            return status;
        }
        default:
            tw::log("Left file(%s) in place: unknown removal destination %ld", file.filePath().c_str(),
                    static_cast<long>(options_.destType));
            return tw::Status::failure(file.filePath(), "unknown removal destination");
    }
}

void TWRemovalRun::postProgress() {
    // Reads the counters when it runs, so it shows the newest values.
    auto self = shared_from_this();
    tw::MainQueue::shared().post([self] { self->progress_->removalDidProgress(self->percent(), self->title()); });
}
