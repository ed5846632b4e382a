#pragma once
// Prints a scan's result: as text (groups by category, [x] for a copy checked for
// removal, [ ] for a kept one) or as JSON of a fixed shape on standard output.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "TWRemovalProgress.h"
#include "TWScanReport.h"

class TWCategoryFiles;
class TWDuplicateFile;

namespace twcli {

struct ScanCounters {
    uint64_t filesScanned = 0;
    uint64_t duplicatesFound = 0;
    uint64_t duplicateBytes = 0;
};

// What a scan skipped for an error (all counted, the first ones named) and its notices.
struct ScanNotes {
    uint64_t skippedCount = 0;
    std::vector<TWScanReport::Entry> skipped;
    std::vector<TWScanReport::Entry> notices;
};

// One category's groups as printed (the whole result, or the exact-only view).
struct PrintedCategory {
    std::shared_ptr<TWCategoryFiles> container;
    std::vector<std::shared_ptr<TWDuplicateFile>> groups;
};

void printText(FILE* out, const std::vector<PrintedCategory>& categories, const ScanCounters& counters,
               bool interrupted);
// `close` false leaves the document open for printJsonRemoval to end.
void printJson(FILE* out, const std::vector<PrintedCategory>& categories, const ScanCounters& counters,
               bool interrupted, const ScanNotes& notes = {}, bool close = true);
// The notices and the skipped paths, one line each, then how many paths could not be
// read (standard error).
void printNotes(FILE* out, const ScanNotes& notes);

// How a removal ended, as remove prints it.
struct RemovalSummary {
    // "removed" (the run ran, perhaps cancelled), "nothing-to-remove", "dry-run",
    // "declined", "no-terminal", "interrupted" (at the prompt), "another-removal-running",
    // "not-started" (the removal lock could not be taken).
    std::string outcome;
    std::string destination;  // "trash", "delete" or "move"
    std::string folder;       // where "move" moves to
    uint64_t removed = 0;     // trashed, deleted or moved
    uint64_t failed = 0;
    uint64_t bytesFreed = 0;  // for "move": moved out of the scanned folders
    bool cancelled = false;
    std::vector<TWRemovalFailure> failures;
    std::string libraryGuide;  // how to finish in the library's application, when items went there
};
// The "removal" member with the summary, which ends the document that printJson left
// open: {"counters":...,"categories":[...],"interrupted":false,"removal":{...}}.
void printJsonRemoval(FILE* out, const RemovalSummary& summary);

std::string base64(const std::string& bytes);

}  // namespace twcli
