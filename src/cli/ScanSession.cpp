#include "cli/ScanSession.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "cli/Commands.h"
#include "cli/Interrupts.h"
#include "engine/TWSearchDuplicateFiles.h"
#include "files/TWFileUtility.h"
#include "platform/DefaultsStore.h"
#include "platform/MainQueue.h"
#include "platform/MediaLibraryService.h"
#include "platform/NotificationCenter.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPreferenceKeys.h"

namespace twcli {

namespace {

bool fail(const std::string& message) {
    fprintf(stderr, "twinsift-cli: %s\nRun 'twinsift-cli --help' for usage.\n", message.c_str());
    return false;
}

// A rule given by number or by name; nullopt when it is neither.
std::optional<int> parseRule(const std::string& text, int first, const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i)
        if (text == names[i]) return first + static_cast<int>(i);
    char* end = nullptr;
    long n = strtol(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0' && n >= first && n < first + static_cast<long>(names.size()))
        return static_cast<int>(n);
    return std::nullopt;
}

std::optional<uint64_t> parseSizeOption(const std::string& text, const char* option) {
    std::string reason;
    auto parsed = TWPreferenceKeys::parse(*TWPreferenceKeys::find(kMinSizeIgnored), text, &reason);
    if (!parsed) {
        fail(std::string("invalid value for ") + option + ": " + printablePath(text) + " (" + reason + ")");
        return std::nullopt;
    }
    return parsed->get<uint64_t>();
}

std::string absolute(const std::string& path) {
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        std::string out = resolved;
        free(resolved);
        return out;
    }
    return path;
}

// While whole files are read to compare them: how far, so that a long read of a huge
// file never looks like a hang.
std::string readingText(const TWSearchDuplicateFiles& engine) {
    const TWReadControl::Progress reading = engine.digestProgress();
    if (reading.files == 0) return {};
    return "; reading " + TWFileUtility::stringWithSize(std::min(reading.bytesRead, reading.bytesTotal)) + " of " +
           TWFileUtility::stringWithSize(reading.bytesTotal);
}

class ProgressLine {
public:
    explicit ProgressLine(bool enabled) : enabled_(enabled) {}
    void update(const TWSearchDuplicateFiles& engine, bool force = false) {
        if (!enabled_) return;
        auto now = std::chrono::steady_clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        fprintf(stderr, "\r\033[KScanning: %llu files scanned, %llu duplicates found, %s%s",
                static_cast<unsigned long long>(engine.numberOfSearchFiles()),
                static_cast<unsigned long long>(engine.numberOfDuplicateFiles()),
                TWFileUtility::stringWithSize(engine.sizeOfDuplicateFiles()).c_str(), readingText(engine).c_str());
        fflush(stderr);
        shown_ = true;
    }
    void clear() {
        if (shown_) fprintf(stderr, "\r\033[K");
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// Prints, on standard error, the libraries a source will read and those it cannot;
// answers whether there is one to read.
bool reportLibraries(const char* source, const char* kind) {
    auto service = tw::MediaLibraryService::installed();
    auto libraries = service ? service->librariesOf(source) : std::nullopt;
    if (!libraries || libraries->empty()) {
        fprintf(stderr, "No %s library was found; none is included.\n", kind);
        return false;
    }
    bool readable = false;
    for (const auto& library : *libraries) {
        if (library.problem.empty()) {
            fprintf(stderr, "Including the %s library %s.\n", library.name.c_str(),
                    printablePath(library.location).c_str());
            readable = true;
        } else {
            fprintf(stderr, "Skipped the %s library %s: %s.\n", library.name.c_str(),
                    printablePath(library.location).c_str(), library.problem.c_str());
        }
    }
    return readable;
}

}  // namespace

void addScanOptions(CLI::App* cmd, ScanSettings& s) {
    cmd->add_option("FOLDER", s.folders, "Folders to scan")->required();
    cmd->add_option("--mode", s.mode, "How files match: content (equal content) or name (equal name and size)")
        ->check(CLI::IsMember({"content", "name"}));
    cmd->add_option("--min-size", s.minSize, "Ignore files smaller than SIZE (bytes, or with K, M, G suffixes)");
    cmd->add_option("--max-size", s.maxSize, "Ignore files of SIZE or larger (bytes, or with K, M, G suffixes)");
    cmd->add_option("--similarity", s.similarity, "How alike images must be, from 0 (loosest) to 1 (strictest)")
        ->check(CLI::Range(0.0, 1.0));
    cmd->add_option("--similar-by", s.similarBy,
                    "How similar images are told: look (what they show) or colours (their colour histograms)")
        ->check(CLI::IsMember({"colours", "look"}));
    cmd->add_flag("--hidden", s.hidden, "Scan hidden files and folders too");
    cmd->add_flag("--skip-packages", s.skipPackages, "Ignore packages (application bundles)");
    cmd->add_option("--ignore-type", s.ignoreTypes, "Ignore files of this type (extension); repeatable")
        ->allow_extra_args(false);
    cmd->add_option("--ignore", s.ignorePaths, "Ignore this folder or file; repeatable")->allow_extra_args(false);
    cmd->add_option("--rule", s.rule,
                    "Rule that marks the copies to remove: 0 smart-name, 1 privilege, 2 newer, 3 older");
    cmd->add_option("--image-rule", s.imageRule,
                    "Rule for images (implies images use their own rule): 4 high-quality, 5 lower-quality, "
                    "6 high-resolution, 7 low-resolution, 8 best (keeps the highest resolution, then the largest "
                    "file; identical copies by the rule for files)");
    cmd->add_flag("--no-verify", s.noVerify,
                  "Trust the sampled content hash alone (faster; may group different files)");
    auto* background =
        cmd->add_flag("--background", s.background, "Scan at a lower priority (slower while other programs are busy)");
    cmd->add_flag("--no-background", s.noBackground, "Scan at this process's own priority")->excludes(background);
    cmd->add_flag("--no-cache", s.noCache,
                  "Neither read nor keep what earlier scans learned of the files (this run only)");
    cmd->add_flag("--json", s.json, "Print the result as JSON on standard output");
    cmd->add_flag("--quiet", s.quiet, "Print no progress");
    auto* progress = cmd->add_flag("--progress", s.progress, "Show progress even when standard error is no terminal");
    cmd->add_flag("--no-progress", s.noProgress, "Show no progress")->excludes(progress);
    cmd->add_flag("--photos-library", s.photosLibrary,
                  "Include the photo libraries found (Shotwell, digiKam) as library items");
    cmd->add_flag("--music-library", s.musicLibrary, "Include the music library found (Rhythmbox) as library items");
    cmd->add_option("--readers", s.readers,
                    "Reads in flight per disk, 1 to 64 (default: 1 on a rotating disk, files in their order on it; "
                    "several on solid-state and network storage); the groups found are the same")
        ->check(CLI::Range(1, 64));
}

bool applyScanSettings(ScanSettings& s) {
    for (auto& folder : s.folders) {
        struct stat st {};
        if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            fprintf(stderr, "no such folder: %s\n", printablePath(folder).c_str());
            return false;
        }
        folder = absolute(folder);
    }
    auto& store = tw::DefaultsStore::standard();
    auto& prefs = TWPreference::shared();
    if (!s.mode.empty()) store.setOverride(kSearchMode, s.mode == "name" ? 1 : 0);
    uint64_t minSize = prefs.filterMinSize(), maxSize = prefs.filterMaxSize();
    if (!s.minSize.empty()) {
        auto v = parseSizeOption(s.minSize, "--min-size");
        if (!v) return false;
        minSize = *v;
    }
    if (!s.maxSize.empty()) {
        auto v = parseSizeOption(s.maxSize, "--max-size");
        if (!v) return false;
        maxSize = *v;
    }
    if (minSize >= maxSize)
        return fail("the minimum size (" + std::to_string(minSize) + ") must be below the maximum size (" +
                    std::to_string(maxSize) + ")");
    store.setOverride(kMinSizeIgnored, minSize);
    store.setOverride(kMaxSizeIgnored, maxSize);
    if (s.similarity) store.setOverride(kSimilarityLevel, *s.similarity);
    if (!s.similarBy.empty())
        store.setOverride(kSimilarMethod, s.similarBy == "look" ? TWSimilarMethodLook : TWSimilarMethodColours);
    if (s.hidden) store.setOverride(kSkipHiddenItems, false);
    if (s.skipPackages) store.setOverride(kSkipPackages, true);
    if (!s.ignoreTypes.empty()) {
        auto types = prefs.filterFileTypeArray();
        types.insert(types.end(), s.ignoreTypes.begin(), s.ignoreTypes.end());
        store.setOverride(kIgnoredFileTypes, types);
    }
    if (!s.ignorePaths.empty()) {
        auto paths = prefs.filterFileFolders();
        for (const auto& p : s.ignorePaths) paths.push_back(absolute(p));
        store.setOverride(kIgnoredFileFolders, paths);
    }
    if (!s.rule.empty()) {
        auto rule = parseRule(s.rule, 0, {"smart-name", "privilege", "newer", "older"});
        if (!rule) return fail("invalid value for --rule: " + printablePath(s.rule));
        store.setOverride(kSmartCheckMethodForDuplicateFiles, *rule);
    }
    if (!s.imageRule.empty()) {
        auto rule =
            parseRule(s.imageRule, 4, {"high-quality", "lower-quality", "high-resolution", "low-resolution", "best"});
        if (!rule) return fail("invalid value for --image-rule: " + printablePath(s.imageRule));
        store.setOverride(kSmartCheckMethodForSimilarImages, *rule);
        store.setOverride(kUsingDupFileChkMthForSimImg, false);
    }
    if (s.noVerify) store.setOverride(kVerifyFullContent, false);
    if (s.background || s.noBackground) store.setOverride(kScanInBackground, s.background);
    if (s.noCache) store.setOverride(kRememberFiles, false);
    return true;
}

ScanOutcome runScan(const ScanSettings& s) {
    auto& queue = tw::MainQueue::shared();
    queue.adoptCurrentThread();

    installInterruptHandlers();

    TWSearchDuplicateFiles::Options options;
    options.waitForCounts = false;  // the main thread takes the counts in batches
    options.readers = s.readers;
    // The result is printed while the cache's last batch is written.
    options.reportBeforeCacheIsWritten = true;
    auto engine = TWSearchDuplicateFiles::init(options);
    ScanOutcome outcome;
    bool finished = false;
    bool showProgress = !s.quiet && !s.noProgress && (s.progress || isatty(STDERR_FILENO));
    ProgressLine line(showProgress);

    auto& center = tw::NotificationCenter::defaultCenter();
    auto progressObserver =
        center.addObserver(TWSearchFilesProgressNotification, [&](const tw::Notification&) { line.update(*engine); });
    auto finishedObserver = center.addObserver(TWSearchFilesFinishedNotification, [&](const tw::Notification& n) {
        if (auto* list = std::any_cast<std::vector<std::shared_ptr<TWCategoryFiles>>>(&n.object))
            outcome.result = *list;
        finished = true;
    });

    engine->setSearchPhotosLibrary(s.photosLibrary && reportLibraries(MLMediaSourcePhotosIdentifier, "photo"));
    engine->setSearchiTunesLibrary(s.musicLibrary && reportLibraries(MLMediaSourceiTunesIdentifier, "music"));
    int seenInterrupts = interruptCount();
    engine->searchRootPaths(s.folders);
    engine->startSearch();
    while (!finished) {
        // Woken now and then to redraw the line while one long read sends no progress.
        queue.runUntil([&] { return finished || interruptCount() != seenInterrupts; }, std::chrono::milliseconds(250));
        line.update(*engine);
        if (interruptCount() != seenInterrupts) {
            seenInterrupts = interruptCount();
            outcome.interrupted = true;
            engine->stopSearch();
        }
    }
    line.update(*engine, true);
    line.clear();
    outcome.engine = engine;
    outcome.counters = {engine->numberOfSearchFiles(), engine->numberOfDuplicateFiles(),
                        engine->sizeOfDuplicateFiles()};
    const TWScanReport& report = engine->scanReport();
    outcome.notes = {report.numberOfSkippedPaths(), report.skippedPaths(), report.notices()};
    if (const uint64_t leftOut = engine->numberOfLibraryFilesLeftOut(); leftOut > 0 && !s.quiet)
        fprintf(stderr, "%llu files in these folders belong to a photo or music library and were %s.\n",
                static_cast<unsigned long long>(leftOut),
                s.photosLibrary || s.musicLibrary
                    ? "taken as library items where their library is included, else left out"
                    : "left out; give --photos-library or --music-library to include them as library items");
    return outcome;
}

}  // namespace twcli
