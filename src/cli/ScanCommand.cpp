// twinsift-cli scan [OPTIONS] FOLDER...: scans, marks the copies by the settings'
// rules, and prints the result.

#include <cerrno>
#include <cstring>

#include "cli/Commands.h"
#include "cli/ScanSession.h"
#include "engine/TWSearchDuplicateFiles.h"
#include "model/TWCategoryFiles.h"

namespace twcli {

namespace {

// What a scan found, kept once it is printed until the process ends, when the kernel
// takes its memory back at once: freeing the groups and their records one by one took
// 6 to 13 ms at 50,000 files and 36 ms at 200,000.
struct Printed {
    ScanOutcome outcome;
    std::vector<PrintedCategory> categories;
};
Printed* printedUntilExit = nullptr;

}  // namespace

Runner addScanCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand("scan", "Find duplicate files and similar images in folders");
    cmd->description(
        "Scan the FOLDERs for duplicate files (equal size and equal content, or equal name and size in name "
        "mode) and for visually similar images, mark the copies to remove by the selection rules of the "
        "settings, and print the groups by category: [x] marks a copy that would be removed, [ ] the copy "
        "that is kept. Options override a setting for this run only; nothing is written. Paths that cannot be "
        "read are named on standard error and give exit status 1. Press Ctrl-C once to stop and print what was "
        "found so far (exit status 130).");
    auto settings = std::make_shared<ScanSettings>();
    addScanOptions(cmd, *settings);
    return [settings]() {
        if (!applyScanSettings(*settings)) return 2;
        ScanOutcome outcome = runScan(*settings);
        std::vector<PrintedCategory> categories;
        for (const auto& container : outcome.result)
            categories.push_back({container, container->duplicateFilesIncludingSimilar()});
        if (settings->json)
            printJson(stdout, categories, outcome.counters, outcome.interrupted, outcome.notes);
        else
            printText(stdout, categories, outcome.counters, outcome.interrupted);
        const bool written = fflush(stdout) == 0 && !ferror(stdout);
        printNotes(stderr, outcome.notes);
        outcome.engine->waitUntilRunEnds();  // the cache's last batch, written meanwhile
        const bool interrupted = outcome.interrupted;
        const bool skipped = outcome.notes.skippedCount > 0;
        printedUntilExit = new Printed{std::move(outcome), std::move(categories)};
        if (!written) {
            fprintf(stderr, "twinsift-cli: cannot write to standard output: %s\n", strerror(errno));
            return 1;
        }
        // As find does: 1 when the scan finished but some paths could not be read.
        if (interrupted) return 130;
        return skipped ? 1 : 0;
    };
}

}  // namespace twcli
