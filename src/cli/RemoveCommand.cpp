// twinsift-cli remove [OPTIONS] FOLDER...: the same scan, then the checked copies go to
// the Trash, are deleted, or are moved into a folder, by the same removal run as the
// desktop app's Delete.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>

#include "Commands.h"
#include "DefaultsStore.h"
#include "MainQueue.h"
#include "ScanSession.h"
#include "TWCategoryFiles.h"
#include "TWDuplicateFilesManager.h"
#include "TWFileUtility.h"
#include "TWManagerRemovalSource.h"
#include "TWMediaObjectUtility.h"
#include "TWPreference.h"
#include "TWRemovalReview.h"
#include "TWRemovalRun.h"

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
    bool allowDifferentContent = false;
};

std::atomic<int> gRemovalInterrupts{0};
void onRemovalInterrupt(int) {
    if (gRemovalInterrupts.fetch_add(1) >= 1) _exit(130);
}

int32_t ruleFor(TWCategory category) {
    auto& prefs = TWPreference::shared();
    if (category == TWCategory_images && !prefs.usingDupFilesChkMtdForSimImg()) return prefs.checkMethodForSimilarImages();
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

// Asks on the terminal; false when there is none or the answer is not yes.
bool confirm(const std::string& question, bool* noTerminal) {
    int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        *noTerminal = true;
        return false;
    }
    std::string prompt = question + " [y/N] ";
    (void)!write(tty, prompt.data(), prompt.size());
    std::string answer;
    char c;
    while (read(tty, &c, 1) == 1 && c != '\n') answer.push_back(c);
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
        case TWDestTypeTrash: return "moved to the Trash";
        case TWDestTypeDeletePermanently: return "deleted permanently";
        default: return "moved into ";
    }
}

int runRemove(RemoveSettings& s) {
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
    const bool nameMode = TWPreference::shared().searchMode() == TWSearchModeName;

    ScanOutcome scan = runScan(s.scan);
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
        printJson(stdout, planned, scan.counters, false, scan.notes);
    else
        printText(stdout, planned, scan.counters, false);
    fflush(stdout);
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
    if (count == 0) {
        fprintf(stderr, "Nothing to remove.\n");
        return unreadStatus;
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
        return unreadStatus;
    }
    if (!s.yes) {
        bool noTerminal = false;
        if (!confirm("Remove these " + std::to_string(count) + " files?", &noTerminal)) {
            fprintf(stderr, noTerminal ? "twinsift-cli: no terminal to confirm on; run with --yes to remove without "
                                         "asking. Nothing was removed.\n"
                                       : "Nothing was removed.\n");
            return noTerminal ? 2 : 0;
        }
    }

    struct sigaction action {};
    action.sa_handler = onRemovalInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    auto progress = std::make_shared<TerminalProgress>(!s.scan.quiet && !s.scan.noProgress &&
                                                       (s.scan.progress || isatty(STDERR_FILENO)));
    auto options = TWRemovalRun::optionsFromPreferences(s.dest);
    options.destType = destType;
    options.onlyIdentical = onlyIdentical;
    options.beforeAct = beforeActHook();
    auto run = TWRemovalRun::create(std::make_shared<TWManagerRemovalSource>(manager), progress, options);
    run->start();
    auto& queue = tw::MainQueue::shared();
    int seen = 0;
    while (!run->isFinished()) {
        queue.runUntil([&] { return run->isFinished() || gRemovalInterrupts.load() != seen; }, std::chrono::hours(24));
        if (gRemovalInterrupts.load() != seen) {
            seen = gRemovalInterrupts.load();
            run->cancel();
        }
    }

    const TWRemovalOutcome& outcome = progress->outcome_;
    uint64_t failedBytes = 0;
    for (const auto& failure : outcome.failures)
        if (auto it = checkedSizes.find(failure.path); it != checkedSizes.end()) failedBytes += it->second;
    const uint64_t handledBytes = bytes - run->remainingBytes();
    const uint64_t freed = handledBytes > failedBytes ? handledBytes - failedBytes : 0;
    printf("%s %llu files, %s %s; %llu failed.%s\n", destType == TWDestTypeMoveToFolder ? "Moved" : "Removed",
           static_cast<unsigned long long>(outcome.disposed), TWFileUtility::stringWithSize(freed).c_str(),
           destType == TWDestTypeMoveToFolder ? "moved out of the scanned folders" : "freed",
           static_cast<unsigned long long>(outcome.failed),
           outcome.cancelled ? " Cancelled: the files not reached were left alone." : "");
    for (const auto& failure : outcome.failures)
        fprintf(stderr, "failed: %s: %s\n", printablePath(failure.path).c_str(), failure.reason.c_str());
    if (outcome.touchedLibrary()) printf("%s\n", outcome.guide().prompt().c_str());
    if (outcome.keptChecked > 0)
        fprintf(stderr, "%llu library items were left in their library unchanged: nothing was removed from it.\n",
                static_cast<unsigned long long>(outcome.keptChecked));
    fflush(stdout);
    if (outcome.cancelled) return 130;
    return outcome.failed > 0 ? 1 : unreadStatus;
}

}  // namespace

Runner addRemoveCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand("remove", "Scan, then remove the copies marked for removal");
    cmd->description(
        "Scan the FOLDERs as 'scan' does, list the copies that will be removed, ask for confirmation on the "
        "terminal, then move them to the Trash, delete them, or move them into a folder. By default only exact "
        "duplicates are removed (files that are merely similar images are kept, and every group of identical "
        "files keeps one copy); --include-similar acts on the groups as the scan marked them. A file is removed "
        "only while it is still the file the scan saw and, right before the act, a kept file of its group still has "
        "its content (a merely similar image or a file matched by name: while a kept file of its group is still the "
        "file the scan saw). In name mode the contents are compared first; --to delete leaves files with other "
        "content alone unless --allow-different-content is given. Prints what was removed, the bytes "
        "freed and how many files failed; any failure gives exit status 1.");
    auto s = std::make_shared<RemoveSettings>();
    addScanOptions(cmd, s->scan);
    cmd->add_option("--to", s->to, "Where the copies go: trash, delete (permanently) or move (into --dest); "
                                    "default: the removal setting")
        ->check(CLI::IsMember({"trash", "delete", "move"}));
    cmd->add_option("--dest", s->dest, "The folder that --to move moves the copies into (created when missing)");
    cmd->add_flag("--yes,-y", s->yes, "Remove without asking for confirmation");
    cmd->add_flag("--dry-run,-n", s->dryRun, "Only list what would be removed; change nothing");
    cmd->add_flag("--include-similar", s->includeSimilar,
                  "Also remove images that are only similar, as the scan marked them");
    cmd->add_flag("--allow-different-content", s->allowDifferentContent,
                  "In name mode, let --to delete remove files whose content differs from the kept file");
    return [s]() { return runRemove(*s); };
}

}  // namespace twcli
