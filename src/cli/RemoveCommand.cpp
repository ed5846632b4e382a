// twinsift-cli remove [OPTIONS] FOLDER...: the same scan, then the checked copies go to
// the Trash, are deleted, or are moved into a folder, by the same removal run as the
// desktop app's Delete.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>

#include "cli/Commands.h"
#include "cli/Interrupts.h"
#include "cli/ScanSession.h"
#include "engine/TWMediaObjectUtility.h"
#include "engine/TWSearchDuplicateFiles.h"
#include "files/TWFileUtility.h"
#include "model/TWCategoryFiles.h"
#include "model/TWDuplicateFilesManager.h"
#include "platform/DefaultsStore.h"
#include "platform/MainQueue.h"
#include "prefs/TWPreference.h"
#include "removal/TWManagerRemovalSource.h"
#include "removal/TWMoveDestination.h"
#include "removal/TWRemovalReview.h"
#include "removal/TWRemovalRun.h"

extern char** environ;

namespace twcli {

namespace {

struct RemoveSettings {
    ScanSettings scan;
    std::string to;  // trash, delete, move; empty: the setting
    std::string dest;
    bool yes = false;
    bool dryRun = false;
    bool includeSimilar = false;
    bool noWait = false;
    bool allowDifferentContent = false;
};

int32_t ruleFor(TWCategory category) {
    auto& prefs = TWPreference::shared();
    if (category == TWCategory_images && !prefs.usingDupFilesChkMtdForSimImg())
        return prefs.checkMethodForSimilarImages();
    return prefs.checkMethodForDuplicateFiles();
}

// Exact duplicates only: files that are merely similar are unchecked, and the rule is
// applied to each group of byte-identical images, so that each keeps one copy.
void keepExactDuplicatesOnly(const std::vector<std::shared_ptr<TWCategoryFiles>>& result) {
    for (const auto& container : result)
        for (const auto& group : container->duplicateFilesIncludingSimilar()) {
            if (!group->isSimilarGroup()) continue;
            group->uncheckedAll();
            for (const auto& exact : group->duplicateFilesExcludingSimilar())
                exact->smartCheckedByMethod(ruleFor(container->category()));
        }
}

std::vector<PrintedCategory> plannedGroups(const std::vector<std::shared_ptr<TWCategoryFiles>>& result,
                                           bool includeSimilar) {
    std::vector<PrintedCategory> out;
    for (const auto& container : result) {
        PrintedCategory printed{container, {}};
        auto groups =
            includeSimilar ? container->duplicateFilesIncludingSimilar() : container->duplicateFilesExcludingSimilar();
        for (const auto& group : groups)
            if (group->numberOfChecked() > 0) printed.groups.push_back(group);
        out.push_back(std::move(printed));
    }
    return out;
}

// For the fault tests of the removal: the program named by TWINSIFT_TEST_BEFORE_ACT
// runs with each file's path right before that file is acted on, and is waited for.
std::function<void(const std::string&)> beforeActHook() {
    const char* program = getenv("TWINSIFT_TEST_BEFORE_ACT");
    if (!program || !*program) return {};
    return [program = std::string(program)](const std::string& path) {
        std::string arg0 = program, arg1 = path;
        char* argv[] = {arg0.data(), arg1.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    };
}

// Asks on the terminal; false when there is none, the answer is not yes, or a signal
// came (interruptCount() tells).
bool confirm(const std::string& question, bool* noTerminal) {
    int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        *noTerminal = true;
        return false;
    }
    // A signal ends the question, also one that comes before the read begins.
    const int interrupts = interruptCount();
    std::string prompt = question + " [y/N] ";
    (void)!write(tty, prompt.data(), prompt.size());
    std::string answer;
    char c;
    for (;;) {
        pollfd ready{tty, POLLIN, 0};
        if (interruptCount() != interrupts) break;
        if (poll(&ready, 1, 100) <= 0) continue;  // nothing typed yet, or a signal
        if (read(tty, &c, 1) != 1 || c == '\n') break;
        answer.push_back(c);
    }
    close(tty);
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes";
}

class TerminalProgress : public TWRemovalProgress {
public:
    explicit TerminalProgress(bool show) : show_(show) {}
    void removalDidProgress(double percent, const std::string& title) override {
        if (!show_) return;
        fprintf(stderr, "\r\033[K%3.0f%%  %s", percent, title.c_str());
        fflush(stderr);
    }
    void removalIsWaiting() override {
        fprintf(stderr, "Another removal is running; waiting for it to finish...\n");
        fflush(stderr);
    }
    void removalDidFinish(const TWRemovalOutcome& outcome) override {
        if (show_) fprintf(stderr, "\r\033[K");
        outcome_ = outcome;
    }
    TWRemovalOutcome outcome_;

private:
    bool show_;
};

const char* destinationText(int64_t destType) {
    switch (destType) {
        case TWDestTypeTrash:
            return "moved to the Trash";
        case TWDestTypeDeletePermanently:
            return "deleted permanently";
        default:
            return "moved into ";
    }
}

const char* destinationName(int64_t destType) {
    return destType == TWDestTypeTrash ? "trash" : destType == TWDestTypeDeletePermanently ? "delete" : "move";
}

// Whether everything written to standard output so far reached it.
bool outputWritten() {
    return fflush(stdout) == 0 && !ferror(stdout);
}

// Ends the output: with --json the "removal" member that closes the one document, else
// the summary line of a run that ran. A write that fails is exit status 1.
int endRemove(const RemoveSettings& s, const RemovalSummary& summary, int status) {
    if (s.scan.json) {
        printJsonRemoval(stdout, summary);
    } else if (summary.outcome == "removed") {
        const bool moved = summary.destination == "move";
        printf("%s %llu files, %s %s; %llu failed.%s\n", moved ? "Moved" : "Removed",
               static_cast<unsigned long long>(summary.removed),
               TWFileUtility::stringWithSize(summary.bytesFreed).c_str(),
               moved ? "moved out of the scanned folders" : "freed", static_cast<unsigned long long>(summary.failed),
               summary.cancelled ? " Cancelled: the files not reached were left alone." : "");
    }
    // What to do next in the library's own application: part of the answer in text, a
    // note beside the one JSON document otherwise.
    if (!summary.libraryGuide.empty()) fprintf(s.scan.json ? stderr : stdout, "%s\n", summary.libraryGuide.c_str());
    if (outputWritten()) return status;
    fprintf(stderr, "twinsift-cli: cannot write to standard output: %s\n", strerror(errno));
    return status == 0 ? 1 : status;
}

int runRemove(RemoveSettings& s) {
    // A reader that went away is a failed write (exit 1), never a death part-way.
    signal(SIGPIPE, SIG_IGN);
    if (!applyScanSettings(s.scan)) return 2;
    int64_t destType = TWPreference::shared().destType();
    if (s.to == "trash") destType = TWDestTypeTrash;
    if (s.to == "delete") destType = TWDestTypeDeletePermanently;
    if (s.to == "move") destType = TWDestTypeMoveToFolder;
    if (destType < TWDestTypeTrash || destType > TWDestTypeMoveToFolder) {
        fprintf(stderr, "twinsift-cli: the removal destination setting (%lld) is not valid; use --to\n",
                static_cast<long long>(destType));
        return 2;
    }
    if (destType == TWDestTypeMoveToFolder && s.dest.empty()) {
        fprintf(stderr, "twinsift-cli: moving needs a folder: give --dest DIR\nRun 'twinsift-cli remove --help'.\n");
        return 2;
    }
    if (destType != TWDestTypeMoveToFolder && !s.dest.empty()) {
        fprintf(stderr, "twinsift-cli: --dest is only for --to move\nRun 'twinsift-cli remove --help'.\n");
        return 2;
    }
    if (destType == TWDestTypeMoveToFolder) {
        // Moved there, the copies would stay among the files scanned.
        if (auto folder = TWMoveDestination::scannedFolderHolding(s.dest, s.scan.folders)) {
            fprintf(stderr,
                    "twinsift-cli: the destination %s is inside the scanned folder %s; choose a folder outside the "
                    "scanned folders. Nothing was moved.\n",
                    printablePath(s.dest).c_str(), printablePath(*folder).c_str());
            return 2;
        }
    }
    const bool nameMode = TWPreference::shared().searchMode() == TWSearchModeName;

    ScanOutcome scan = runScan(s.scan);
    scan.engine->waitUntilRunEnds();  // what the scan learned is kept before anything is removed
    if (scan.interrupted) {
        fprintf(stderr, "Interrupted: nothing was removed.\n");
        return 130;
    }
    if (!s.includeSimilar) keepExactDuplicatesOnly(scan.result);
    // Name mode matched by name and size: compare the contents before asking. A
    // permanent deletion leaves the files that differ alone unless allowed.
    const uint64_t merelySimilar = s.includeSimilar ? TWRemovalReview::numberOfMerelySimilarChecked(scan.result) : 0;
    std::vector<TWRemovalReview::Differing> differing;
    if (nameMode) differing = TWRemovalReview::checkedDifferingFromKept(scan.result);
    const bool onlyIdentical = nameMode && destType == TWDestTypeDeletePermanently && !s.allowDifferentContent;
    if (onlyIdentical) TWRemovalReview::leaveAlone(differing);
    auto& manager = TWDuplicateFilesManager::shared();
    manager.updateDuplicateFiles(scan.result);

    auto planned = plannedGroups(scan.result, s.includeSimilar);
    const uint64_t count = manager.numberOfFilesCheckedToRemoved();
    const uint64_t bytes = manager.sizeOfFilesCheckedToRemoved();
    std::map<std::string, uint64_t> checkedSizes;
    uint64_t libraryItems = 0;
    for (const auto& container : scan.result)
        for (const auto& group : container->duplicateFilesIncludingSimilar())
            for (const auto& file : group->itemsOfFileUtility())
                if (file->isChecked()) {
                    checkedSizes[file->filePath()] = file->fileSize();
                    if (dynamic_cast<const TWMediaObjectUtility*>(file.get())) ++libraryItems;
                }

    if (s.scan.json)
        printJson(stdout, planned, scan.counters, false, scan.notes, false);
    else
        printText(stdout, planned, scan.counters, false);
    // Nothing is removed that the list did not show.
    if (!outputWritten()) {
        fprintf(stderr, "twinsift-cli: cannot write the list of copies to standard output (%s); nothing was removed.\n",
                strerror(errno));
        return 1;
    }
    if (nameMode && !differing.empty()) {
        fprintf(stderr, "%zu checked files differ in content from the file kept in their group (matched by name).\n",
                differing.size());
        if (onlyIdentical) {
            for (const auto& file : differing)
                fprintf(stderr, "left alone (other content): %s\n", printablePath(file.file->filePath()).c_str());
            fprintf(stderr, "They are left alone; --allow-different-content deletes them too.\n");
        }
    }
    if (merelySimilar > 0)
        fprintf(stderr, "%llu of the checked files are only similar to the images kept, not identical copies.\n",
                static_cast<unsigned long long>(merelySimilar));
    printNotes(stderr, scan.notes);
    // Paths that could not be read make the status 1, as for scan, whatever the removal did.
    const int unreadStatus = scan.notes.skippedCount > 0 ? 1 : 0;
    RemovalSummary summary;
    summary.destination = destinationName(destType);
    if (destType == TWDestTypeMoveToFolder) summary.folder = s.dest;
    if (count == 0) {
        fprintf(stderr, "Nothing to remove.\n");
        summary.outcome = "nothing-to-remove";
        return endRemove(s, summary, unreadStatus);
    }
    std::string where = destinationText(destType);
    if (destType == TWDestTypeMoveToFolder) where += printablePath(s.dest);
    fprintf(stderr, "%llu files (%s) will be %s.\n", static_cast<unsigned long long>(count),
            TWFileUtility::stringWithSize(bytes).c_str(), where.c_str());
    if (libraryItems > 0)
        fprintf(stderr,
                "%llu of them are library items: they stay on disk and are gathered in their library (a tag in "
                "Shotwell or digiKam, a playlist in Rhythmbox) for you to delete there.\n",
                static_cast<unsigned long long>(libraryItems));
    if (s.dryRun) {
        fprintf(stderr, "Dry run: nothing was changed.\n");
        summary.outcome = "dry-run";
        return endRemove(s, summary, unreadStatus);
    }
    if (!s.yes) {
        bool noTerminal = false;
        const bool yes = confirm("Remove these " + std::to_string(count) + " files?", &noTerminal);
        if (interruptCount() > 0) {  // Ctrl-C at the prompt
            fprintf(stderr, "\nInterrupted: nothing was removed.\n");
            summary.outcome = "interrupted";
            return endRemove(s, summary, 130);
        }
        if (!yes) {
            fprintf(stderr, noTerminal ? "twinsift-cli: no terminal to confirm on; run with --yes to remove without "
                                         "asking. Nothing was removed.\n"
                                       : "Nothing was removed.\n");
            summary.outcome = noTerminal ? "no-terminal" : "declined";
            return endRemove(s, summary, noTerminal ? 2 : 0);
        }
    }

    auto progress = std::make_shared<TerminalProgress>(!s.scan.quiet && !s.scan.noProgress &&
                                                       (s.scan.progress || isatty(STDERR_FILENO)));
    auto options = TWRemovalRun::optionsFromPreferences(s.dest);
    options.destType = destType;
    options.waitForOtherRemoval = !s.noWait;
    options.onlyIdentical = onlyIdentical;
    options.beforeAct = beforeActHook();
    auto run = TWRemovalRun::create(std::make_shared<TWManagerRemovalSource>(manager), progress, options);
    int seen = interruptCount();  // before start(): a signal while it starts counts
    run->start();
    auto& queue = tw::MainQueue::shared();
    while (!run->isFinished()) {
        queue.runUntil([&] { return run->isFinished() || interruptCount() != seen; }, std::chrono::hours(24));
        if (interruptCount() != seen) {
            seen = interruptCount();
            run->cancel();
        }
    }

    const TWRemovalOutcome& outcome = progress->outcome_;
    if (!outcome.notStarted.empty() && !outcome.cancelled) {
        fprintf(stderr,
                outcome.otherRemovalRunning ? "twinsift-cli: another removal is running; nothing was removed.\n"
                                            : "twinsift-cli: cannot take the removal lock (%s); nothing was removed.\n",
                outcome.notStarted.c_str());
        summary.outcome = outcome.otherRemovalRunning ? "another-removal-running" : "not-started";
        return endRemove(s, summary, outcome.otherRemovalRunning ? 2 : 1);
    }
    uint64_t failedBytes = 0;
    for (const auto& failure : outcome.failures)
        if (auto it = checkedSizes.find(failure.path); it != checkedSizes.end()) failedBytes += it->second;
    const uint64_t handledBytes = bytes - run->remainingBytes();
    summary.outcome = "removed";
    summary.removed = outcome.disposed;
    summary.failed = outcome.failed;
    summary.bytesFreed = handledBytes > failedBytes ? handledBytes - failedBytes : 0;
    summary.cancelled = outcome.cancelled;
    summary.failures = outcome.failures;
    for (const auto& failure : outcome.failures)
        fprintf(stderr, "failed: %s: %s\n", printablePath(failure.path).c_str(), failure.reason.c_str());
    if (outcome.touchedLibrary()) summary.libraryGuide = outcome.guide().prompt();
    if (outcome.keptChecked > 0)
        fprintf(stderr, "%llu library items were left in their library unchanged: nothing was removed from it.\n",
                static_cast<unsigned long long>(outcome.keptChecked));
    return endRemove(s, summary, outcome.cancelled ? 130 : outcome.failed > 0 ? 1 : unreadStatus);
}

}  // namespace

Runner addRemoveCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand("remove", "Scan, then remove the copies marked for removal");
    cmd->description(
        "Scan the FOLDERs as 'scan' does, list the copies that will be removed, ask on the terminal, then move "
        "them to the Trash, delete them, or move them into --dest.\n"
        "What is guaranteed:\n"
        "  - The last copy of a content is never removed: a copy goes only while a kept file of its group (another "
        "file, not a second link to it) has the same content at that moment (a package: the same whole tree; with "
        "--no-verify, the same bundle identity). "
        "Kept files are read during the run, never taken from a cache, and read again whenever they changed; a "
        "read that overlaps a change counts as changed.\n"
        "  - The file acted on must still be the file the scan saw (device, inode, size, modification and change "
        "times); otherwise it stays and counts as failed.\n"
        "  - One removal runs at a time per user, the desktop app's included: another waits, or with --no-wait "
        "exits with status 2.\n"
        "  - Never removed or moved: files reached through a link from outside the chosen folders, files inside a "
        "layer folder of a mounted overlay, and library items (they are gathered in their library instead).\n"
        "  - A move to another file system writes a hidden copy, checks it, and only then gives it its real name, "
        "never replacing a file. Ctrl-C, SIGTERM or SIGHUP ends the run after at most one more file; a second "
        "one ends it at once and removes the hidden copy.\n"
        "  - Nothing is removed when the list cannot be written to standard output (status 1), when the prompt is "
        "interrupted (130), or when --dest lies inside a scanned folder (2).\n"
        "What the options change: by default images that are merely similar are kept. --include-similar also "
        "removes the merely similar images the scan checked, each while a kept look-alike of its group is still "
        "the file the scan saw. In name mode the checked files are compared with their kept file before asking, "
        "and the count of those with other content is printed; --to trash and --to move take them too, --to "
        "delete leaves them alone unless --allow-different-content is given. Files taken with other content "
        "need only a kept file that is still the file the scan saw.\n"
        "Exit status 1 when any file failed; every failure is printed with its reason (with --json, in the one "
        "JSON document).");
    auto s = std::make_shared<RemoveSettings>();
    addScanOptions(cmd, s->scan);
    cmd->add_option("--to", s->to,
                    "Where the copies go: trash, delete (permanently) or move (into --dest); "
                    "default: the removal setting")
        ->check(CLI::IsMember({"trash", "delete", "move"}));
    cmd->add_option("--dest", s->dest, "The folder that --to move moves the copies into (created when missing)");
    cmd->add_flag("--yes,-y", s->yes, "Remove without asking for confirmation");
    cmd->add_flag("--dry-run,-n", s->dryRun, "Only list what would be removed; change nothing");
    cmd->add_flag("--include-similar", s->includeSimilar,
                  "Also remove images that are only similar, as the scan marked them");
    cmd->add_flag("--no-wait", s->noWait,
                  "When another removal is running, exit with status 2 instead of waiting for it");
    cmd->add_flag("--allow-different-content", s->allowDifferentContent,
                  "In name mode, let --to delete remove files whose content differs from the kept file");
    return [s]() { return runRemove(*s); };
}

}  // namespace twcli
