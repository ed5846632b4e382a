#pragma once
// What `scan` and `remove` share: their options, the settings those options override
// for this run only, and one scan driven on the main queue with its progress line and
// Ctrl-C handling.

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/ResultPrinter.h"

class TWCategoryFiles;
class TWSearchDuplicateFiles;

namespace twcli {

struct ScanSettings {
    std::vector<std::string> folders;
    std::string mode;  // "content" or "name"; empty keeps the setting
    std::string minSize, maxSize;
    std::optional<double> similarity;
    std::string similarBy;  // "colours" or "look"; empty keeps the setting
    bool hidden = false;
    bool skipPackages = false;
    std::vector<std::string> ignoreTypes;
    std::vector<std::string> ignorePaths;
    std::string rule, imageRule;
    bool noVerify = false;
    bool background = false;    // this run only: lowered CPU and I/O priority
    bool noBackground = false;  // this run only: the process's own priority
    bool noCache = false;       // this run only: the cache of earlier scans is left alone
    bool json = false;
    bool quiet = false;
    bool progress = false;
    bool noProgress = false;
    bool photosLibrary = false;  // include the photo libraries (Shotwell, digiKam)
    bool musicLibrary = false;   // include the music library (Rhythmbox)
    int readers = 0;             // reads in flight per device; 0: by the device's kind
};

// Registers the options shared by scan and remove.
void addScanOptions(CLI::App* command, ScanSettings& settings);

// Checks the folders and the option values and puts the overrides into the settings'
// argument layer. On bad input prints one line and answers false (exit status 2).
bool applyScanSettings(ScanSettings& settings);

struct ScanOutcome {
    std::vector<std::shared_ptr<TWCategoryFiles>> result;
    ScanCounters counters;
    ScanNotes notes;
    bool interrupted = false;
    // The scan's engine, which may still be writing what the scan learned to the file
    // cache: waitUntilRunEnds() before the process ends.
    std::shared_ptr<TWSearchDuplicateFiles> engine;
};

// Runs one scan of settings.folders on the calling thread's main queue. The first
// Ctrl-C (or SIGTERM, SIGHUP) stops the scan (what was found so far is returned, marked
// interrupted); a second one ends the process at once with status 130 (Interrupts.h).
ScanOutcome runScan(const ScanSettings& settings);

}  // namespace twcli
