#pragma once
// Runs one scan of the engine on the test's main queue and keeps what it reported:
// the order of the notifications, the counters and the result, with each group as
// the sorted list of its files' paths relative to a base folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/TWSearchDuplicateFiles.h"
#include "model/TWCategoryFiles.h"
#include "platform/NotificationCenter.h"

namespace twtest {

using Group = std::vector<std::string>;

struct ScanReport {
    std::vector<std::string> events;  // "start", "progress", "finished", in order of delivery
    std::vector<TWCategoryFiles::Ptr> containers;
    uint64_t scanned = 0, duplicates = 0, duplicateSize = 0;
    size_t progressCount() const { return std::count(events.begin(), events.end(), "progress"); }
};

class ScanObserver {
public:
    explicit ScanObserver(const TWSearchDuplicateFiles::Ptr& engine) : engine_(engine) {
        auto& center = tw::NotificationCenter::defaultCenter();
        start_ = center.addObserver(TWSearchFilesWillStartNotification,
                                    [this](const tw::Notification&) { report.events.push_back("start"); });
        progress_ = center.addObserver(TWSearchFilesProgressNotification, [this](const tw::Notification& n) {
            auto* sender = std::any_cast<TWSearchDuplicateFiles*>(n.object);
            if (sender != engine_.get()) return;
            report.events.push_back("progress");
            if (onProgress) onProgress(*sender);
        });
        finished_ = center.addObserver(TWSearchFilesFinishedNotification, [this](const tw::Notification& n) {
            report.events.push_back("finished");
            report.containers = std::any_cast<std::vector<TWCategoryFiles::Ptr>>(n.object);
            report.scanned = engine_->numberOfSearchFiles();
            report.duplicates = engine_->numberOfDuplicateFiles();
            report.duplicateSize = engine_->sizeOfDuplicateFiles();
            finished = true;
        });
    }
    bool waitFinished(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
        return runMainQueueUntil([this] { return finished; }, bound);
    }

    ScanReport report;
    bool finished = false;
    std::function<void(TWSearchDuplicateFiles&)> onProgress;

private:
    TWSearchDuplicateFiles::Ptr engine_;
    tw::NotificationCenter::Observer start_, progress_, finished_;
};

inline TWSearchDuplicateFiles::Options quietOptions() {
    TWSearchDuplicateFiles::Options options;
    options.sessionEvents = false;
    return options;
}

// One scan of `roots`, run to its end.
inline ScanReport scan(const std::vector<std::string>& roots,
                       TWSearchDuplicateFiles::Options options = quietOptions()) {
    auto engine = TWSearchDuplicateFiles::init(options);
    engine->searchRootPaths(roots);
    ScanObserver observer(engine);
    engine->startSearch();
    EXPECT_TRUE(observer.waitFinished()) << "the scan did not finish";
    return observer.report;
}

inline std::string relative(const std::string& path, const std::string& base) {
    return path.compare(0, base.size() + 1, base + "/") == 0 ? path.substr(base.size() + 1) : path;
}

// Every group of the category (or of all categories for TWCategory_allFiles), each
// sorted, the list sorted.
inline std::vector<Group> groupsOf(const ScanReport& report, const std::string& base,
                                   TWCategory category = TWCategory_allFiles) {
    std::vector<Group> groups;
    for (const auto& container : report.containers) {
        if (category != TWCategory_allFiles && container->category() != category) continue;
        for (const auto& group : container->duplicateFilesIncludingSimilar()) {
            Group g;
            for (const auto& file : group->itemsOfFileUtility()) g.push_back(relative(file->filePath(), base));
            std::sort(g.begin(), g.end());
            groups.push_back(g);
        }
    }
    std::sort(groups.begin(), groups.end());
    return groups;
}

}  // namespace twtest

#include <gd.h>

namespace twtest {

// A small PNG of a colour gradient seeded by `seed` (equal seeds give equal files).
inline std::string writeGradientPng(const TempDir& dir, const std::string& name, int seed) {
    gdImagePtr image = gdImageCreateTrueColor(48, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            gdImageSetPixel(image, x, y,
                            gdTrueColor((x * 5 + seed * 37) % 256, (y * 7 + seed * 91) % 256, (seed * 53) % 256));
    const std::string bytes = pngBytesOf(image);
    gdImageDestroy(image);
    return dir.write(name, bytes);
}

}  // namespace twtest

namespace twtest {

// 8 folders x 8 folders x 6 files; every file has one copy elsewhere in the tree.
inline void buildTree(const TempDir& dir, const std::string& top = "tree") {
    for (int a = 0; a < 8; ++a)
        for (int b = 0; b < 8; ++b)
            for (int f = 0; f < 6; ++f) {
                const std::string content = randomBytes(100 + 37 * (a * 48 + b * 6 + f) % 3000, a * 48 + b * 6 + f);
                dir.write(top + "/" + std::to_string(a) + "/" + std::to_string(b) + "/f" + std::to_string(f) + ".txt",
                          content);
                dir.write(
                    top + "/copies/" + std::to_string(a) + "-" + std::to_string(b) + "-" + std::to_string(f) + ".txt",
                    content);
            }
}
inline constexpr uint64_t kTreeFiles = 8 * 8 * 6 * 2;

}  // namespace twtest
