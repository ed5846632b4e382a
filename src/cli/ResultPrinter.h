#pragma once
// Prints a scan's result: as text (groups by category, [x] for a copy checked for
// removal, [ ] for a kept one) or as JSON of a fixed shape on standard output.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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
void printJson(FILE* out, const std::vector<PrintedCategory>& categories, const ScanCounters& counters,
               bool interrupted, const ScanNotes& notes = {});
// The notices and the skipped paths, one line each, then how many paths could not be
// read (standard error).
void printNotes(FILE* out, const ScanNotes& notes);

std::string base64(const std::string& bytes);

}  // namespace twcli
