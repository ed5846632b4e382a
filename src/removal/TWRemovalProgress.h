#pragma once
// What a removal run shows while it works, and how it ended. The app's progress sheet
// and the command line each implement TWRemovalProgress; the texts and the percentage
// are computed here so that both show the same.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/TrashEntry.h"
#include "removal/TWCleanMediaLibraryGuide.h"

// The progress window's title before a run has said anything.
inline constexpr const char* kTWRemovingTitle = "Removing, please waiting...";
// The title while a run starts, before the first file is done.
inline constexpr const char* kTWProcessingTitle = "Processing, please waiting...";
// The title while another removal holds the removal lock.
inline constexpr const char* kTWWaitingTitle = "Waiting for another removal to finish...";
// The title while the checked files are compared with the kept ones, before a removal.
inline constexpr const char* kTWComparingTitle = "Comparing the checked files...";

// "<n> files, <size> remaining" ("1 file, ..." for one), the size as stringWithSize.
std::string TWRemovalProgressTitle(uint64_t remainingCount, uint64_t remainingBytes);
// (total - remaining) x 100 / total in single precision; 0 for a total of 0.
double TWRemovalProgressPercent(uint64_t total, uint64_t remainingCount);

// An item a run moved to the Trash: its place there and its size in the results.
struct TWTrashedFile {
    tw::TrashEntry entry;
    uint64_t size = 0;
};

struct TWRemovalFailure {
    std::string path;
    std::string reason;
};

// How a run ended. Every file handed to the run left the results, whether it was
// disposed of or failed; files not reached (after a cancel) keep their checks.
struct TWRemovalOutcome {
    uint64_t total = 0;     // checked files at the start
    uint64_t handled = 0;   // files the run took in hand
    uint64_t disposed = 0;  // trashed, deleted, moved, or handed to a library's application
    uint64_t failed = 0;    // left where they were; each is in `failures` and in the log
    std::vector<TWRemovalFailure> failures;
    // Of the failed: library items their library refused, which stay in the results,
    // still checked (every other file handed to the run left the results).
    uint64_t keptChecked = 0;
    bool cancelled = false;  // the walk ended early at the user's request
    // Why the run touched nothing, when it could not take the removal lock; empty when
    // it ran. otherRemovalRunning: another removal held it and the run was not to wait.
    std::string notStarted;
    bool otherRemovalRunning = false;
    bool cleanPhotos = false;
    bool cleanItunes = false;
    std::string photosLibraries;  // the applications that took photo items ("Shotwell")
    std::string musicLibraries;
    // Where the files went (TWDestType, and the folder of a move) and the bytes of the
    // files that left the disk or their place (library items not counted).
    int64_t destType = 0;
    std::string folder;
    uint64_t disposedBytes = 0;
    uint64_t disposedFiles = 0;
    // The items trashed, each with its place in the Trash, for an undo; `untracked`
    // counts trashed items that no Trash folder showed afterwards.
    std::vector<TWTrashedFile> trashed;
    uint64_t untracked = 0;

    // Whether the clean-up guide is to be shown, and what it says.
    bool touchedLibrary() const { return cleanPhotos || cleanItunes; }
    TWCleanMediaLibraryGuide guide() const;
};

// Main thread only: the run calls each of these through the main queue.
class TWRemovalProgress {
public:
    virtual ~TWRemovalProgress() = default;
    // The run begins: show percent 0 and kTWProcessingTitle. The run waits for it, so
    // what it shows is up before the first file.
    virtual void removalDidStart() {}
    // Another removal is running: the run waits for it before it starts (cancel ends
    // the wait). Called at most once, before removalDidStart.
    virtual void removalIsWaiting() {}
    // After every file, without the run waiting; several may arrive at once, each with
    // the newest values.
    virtual void removalDidProgress(double percent, const std::string& title) {}
    // The run is over and the results are updated; the run waits for it. A front end
    // ends its progress display, refreshes its views, shows the guide when
    // outcome.touchedLibrary(), and reports the failures.
    virtual void removalDidFinish(const TWRemovalOutcome& outcome) {}
};
