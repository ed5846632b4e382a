// An overlay mount shows the files of its layer folders again in its merged view, under
// another device. The mount table tells the layers; a scan that holds files of both says
// so once, and a file inside a layer folder is never checked (nor, see the removal
// suites, removed).

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "ScanHarness.h"
#include "TWOverlayMounts.h"
#include "TWPreference.h"

using namespace twtest;

namespace {

TEST(OverlayMountTable, LayersAreReadWithTheTableAndTheOverlayEscapesDecoded) {
    const std::string table =
        "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
        "48 27 0:40 / /srv/m\\040m rw,relatime shared:5 master:1 - overlay overlay "
        "rw,lowerdir=/srv/lo\\040w\\134\\054x:/srv/l2::/srv/data,upperdir=/srv/u\\134\\054p,workdir=/srv/w,uuid=on\n"
        "49 27 0:41 / /srv/new rw - overlay none rw,lowerdir+=/srv/a,lowerdir+=/srv/b\\134c,datadir+=/srv/d\n"
        "50 27 0:42 / /srv/rel rw - overlay overlay ro,lowerdir=relative:/srv/c\\134:olon:/srv/b\\134\\134s\n"
        "51 27 8:1 / /home rw - ext4 /dev/sda1 rw,lowerdir=/not/an/overlay\n";
    const std::vector<TWOverlayMount> overlays = TWOverlayMounts::parse(table);
    ASSERT_EQ(overlays.size(), 3u);
    EXPECT_EQ(overlays[0].mountPoint, "/srv/m m");
    EXPECT_EQ(overlays[0].layers,
              (std::vector<std::string>{"/srv/lo w,x", "/srv/l2", "/srv/data", "/srv/u,p", "/srv/w"}));
    EXPECT_EQ(overlays[1].mountPoint, "/srv/new");
    EXPECT_EQ(overlays[1].layers, (std::vector<std::string>{"/srv/a", "/srv/b\\c", "/srv/d"}));
    EXPECT_EQ(overlays[2].layers, (std::vector<std::string>{"/srv/c:olon", "/srv/b\\s"}));
    // A layer given as a relative path cannot be placed: the mount says so.
    EXPECT_FALSE(overlays[0].hasUnplacedLayer || overlays[1].hasUnplacedLayer);
    EXPECT_TRUE(overlays[2].hasUnplacedLayer);
    EXPECT_EQ(TWOverlayMounts::decodeField("a\\011b\\012c\\\\d\\13"), "a\tb\nc\\\\d\\13");
}

// An overlay mounted at dir/merged over dir/lower, unmounted again on destruction.
class MountedOverlay {
public:
    explicit MountedOverlay(const TempDir& dir) : merged_(dir.mkdir("merged")) {
        dir.mkdir("lower");
        dir.mkdir("upper");
        dir.mkdir("work");
        const std::string options =
            "lowerdir=" + dir / "lower" + ",upperdir=" + dir / "upper" + ",workdir=" + dir / "work";
        if (::mount("overlay", merged_.c_str(), "overlay", 0, options.c_str()) != 0) error_ = std::strerror(errno);
    }
    ~MountedOverlay() {
        if (error_.empty()) ::umount2(merged_.c_str(), MNT_DETACH);
    }
    // Empty when mounted.
    const std::string& error() const { return error_; }

private:
    std::string merged_;
    std::string error_;
};

class OverlayLayers : public ::testing::Test {
protected:
    // One scan; the records of its groups and its notices.
    std::map<std::string, std::shared_ptr<TWFileUtility>> scanRoots(const std::vector<std::string>& roots) {
        auto engine = TWSearchDuplicateFiles::init(quietOptions());
        engine->searchRootPaths(roots);
        ScanObserver observer(engine);
        engine->startSearch();
        EXPECT_TRUE(observer.waitFinished());
        notices = engine->scanReport().notices();
        std::map<std::string, std::shared_ptr<TWFileUtility>> records;
        for (const auto& container : observer.report.containers)
            for (const auto& group : container->duplicateFilesIncludingSimilar())
                for (const auto& file : group->itemsOfFileUtility()) records[relative(file->filePath(), base)] = file;
        return records;
    }

    ScopedDefaults defaults;
    TempDir dir;
    std::string base = TWFileUtility::resolvePath(dir.path());
    std::vector<TWScanReport::Entry> notices;
};

TEST_F(OverlayLayers, AMergedViewScannedWithItsLowerFolderGivesOneNoticeAndNeverChecksTheLayer) {
    dir.write("lower/shared.txt", "one file, two devices");
    dir.write("lower/sub/other.txt", "another file");
    MountedOverlay overlay(dir);
    ASSERT_EQ(overlay.error(), "") << "cannot mount the overlay";

    for (int32_t rule : {TWCheckMethodSmartName, TWCheckMethodNewer, TWCheckMethodOlder}) {
        TWPreference::shared().setCheckMethodForDuplicateFiles(rule);
        auto records = scanRoots({dir / "merged", dir / "lower"});
        SCOPED_TRACE("rule " + std::to_string(rule));
        ASSERT_EQ(records.size(), 4u);
        for (const char* name : {"shared.txt", "sub/other.txt"}) {
            const auto& layer = records.at(std::string("lower/") + name);
            const auto& merged = records.at(std::string("merged/") + name);
            EXPECT_TRUE(layer->isInsideOverlayLayer());
            EXPECT_TRUE(layer->refusesRemoval());
            EXPECT_FALSE(layer->isChecked());
            EXPECT_FALSE(merged->refusesRemoval());
        }
        ASSERT_EQ(notices.size(), 1u) << "said once";
        EXPECT_EQ(notices[0].path, base + "/lower");
        EXPECT_NE(notices[0].text.find(base + "/merged"), std::string::npos) << notices[0].text;
    }
}

TEST_F(OverlayLayers, OneSideAloneGivesNoNoticeAndOnlyLayerFilesAreMarked) {
    dir.write("lower/a.txt", "same");
    dir.write("lower/b.txt", "same");
    MountedOverlay overlay(dir);
    ASSERT_EQ(overlay.error(), "") << "cannot mount the overlay";

    auto merged = scanRoots({dir / "merged"});
    EXPECT_TRUE(notices.empty());
    ASSERT_EQ(merged.size(), 2u);
    for (const auto& [path, file] : merged) EXPECT_FALSE(file->refusesRemoval()) << path;

    auto lower = scanRoots({dir / "lower"});
    EXPECT_TRUE(notices.empty());
    ASSERT_EQ(lower.size(), 2u);
    for (const auto& [path, file] : lower) {
        EXPECT_TRUE(file->isInsideOverlayLayer()) << path;
        EXPECT_FALSE(file->isChecked()) << path;
    }
}

}  // namespace
