// Records made from a listed entry of a resolved folder must equal those made from
// the path alone, whatever the entry is; and the scan's bookkeeping of placed items.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "ScanHarness.h"
#include "TestSupport.h"
#include "engine/TWPlacedItems.h"
#include "files/TWFileUtility.h"
#include "prefs/TWPreference.h"

using namespace twtest;

namespace {

void expectSameRecord(const TWFileUtility& fast, const TWFileUtility& full, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(fast.filePath(), full.filePath());
    EXPECT_EQ(fast.fileSize(), full.fileSize());
    EXPECT_EQ(fast.fileSizeOnDisk(), full.fileSizeOnDisk());
    EXPECT_EQ(fast.fileType(), full.fileType());
    EXPECT_EQ(fast.category(), full.category());
    EXPECT_EQ(fast.createTime(), full.createTime());
    EXPECT_EQ(fast.hasIdentity(), full.hasIdentity());
    EXPECT_EQ(fast.device(), full.device());
    EXPECT_EQ(fast.inode(), full.inode());
    EXPECT_EQ(fast.modifyTimeNs(), full.modifyTimeNs());
    EXPECT_EQ(fast.changeTimeNs(), full.changeTimeNs());
    EXPECT_EQ(fast.isRegularFile(), full.isRegularFile());
    EXPECT_EQ(fast.fileName(), full.fileName());
}

std::string realPathOf(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return {};
    std::string result(resolved);
    free(resolved);
    return result;
}

TEST(FileRecordEntry, EveryKindOfEntryGivesTheRecordOfItsPath) {
    TempDir dir;
    const std::string folder = realPathOf(dir.mkdir("in"));
    ASSERT_FALSE(folder.empty());
    dir.write("in/data.TXT", randomBytes(5000, 3));
    dir.write("in/empty.mp3", "");
    dir.write("in/.hidden", "x");
    dir.write("in/no-extension", "abc");
    dir.hardlink("in/data.TXT", "in/hard.csv");
    dir.fifo("in/pipe.jpg");
    dir.mkdir("in/Tool.app");
    dir.mkdir("in/notes.txt");
    dir.write("elsewhere/target.pdf", "target");
    dir.symlink(dir / "elsewhere/target.pdf", "in/link.pdf");
    dir.symlink(dir / "elsewhere", "in/folder-link");
    dir.symlink(dir / "nowhere", "in/dangling.doc");
    const char* names[] = {"data.TXT", "empty.mp3", ".hidden",  "no-extension", "hard.csv",     "pipe.jpg",
                           "Tool.app", "notes.txt", "link.pdf", "folder-link",  "dangling.doc", "gone.txt"};
    for (const char* name : names) {
        const std::string path = folder + "/" + name;
        expectSameRecord(*TWFileUtility::initWithEntryOfResolvedFolder(path), *TWFileUtility::initWithPath(path), name);
    }
    // The link entries are resolved to their targets; the others keep the path given.
    EXPECT_EQ(TWFileUtility::initWithEntryOfResolvedFolder(folder + "/link.pdf")->filePath(),
              realPathOf(dir / "elsewhere/target.pdf"));
    EXPECT_TRUE(TWFileUtility::initWithEntryOfResolvedFolder(folder + "/data.TXT")
                    ->isSameFile(*TWFileUtility::initWithEntryOfResolvedFolder(folder + "/hard.csv")));
}

TEST(FileRecordEntry, RecordLockExcludesAndAdmitsOneHolder) {
    TWRecordLock lock;
    EXPECT_TRUE(lock.try_lock());
    EXPECT_FALSE(lock.try_lock());
    lock.unlock();
    {
        std::lock_guard held(lock);
        EXPECT_FALSE(lock.try_lock());
    }
    EXPECT_TRUE(lock.try_lock());
    lock.unlock();
}

TEST(PlacedItems, RemembersEachFileOnceAcrossManyFilesAndBothDevices) {
    TempDir dir;
    std::vector<std::shared_ptr<TWFileUtility>> records;
    for (int i = 0; i < 300; ++i)
        records.push_back(TWFileUtility::initWithPath(dir.write("f" + std::to_string(i), "")));
    records.push_back(TWFileUtility::initWithPath(dir.hardlink("f7", "hard")));
    records.push_back(TWFileUtility::initWithPath("/proc/self/status"));  // another device
    records.push_back(TWFileUtility::initWithPath(dir / "missing-a"));    // no identity
    records.push_back(TWFileUtility::initWithPath(dir / "missing-b"));

    TWPlacedItems placed;
    size_t claimed = 0;
    for (const auto& record : records) claimed += placed.claim(*record) ? 1 : 0;
    // The hard link is f7 again; records without identity are always new.
    EXPECT_EQ(claimed, records.size() - 1);
    for (int i = 0; i < 300; ++i) EXPECT_FALSE(placed.claim(*records[i])) << i;
    EXPECT_TRUE(placed.claim(*records.back()));
    EXPECT_EQ(placed.size(), 301u);
    placed.clear();
    EXPECT_EQ(placed.size(), 0u);
    EXPECT_TRUE(placed.claim(*records[0]));
}

// Inode numbers past 32 bits are kept apart from those that share their low bits.
TEST(PlacedItems, TellsApartInodesThatDifferOnlyAbove32Bits) {
    const auto recordWithInode = [](uint64_t inode) {
        TWFileAttributes attributes;
        attributes.device = 42;
        attributes.inode = static_cast<ino_t>(inode);
        attributes.hasIdentity = true;
        attributes.isRegularFile = true;
        return TWFileUtility::initWithAttributes("/nowhere/" + std::to_string(inode), attributes);
    };
    const uint64_t high = uint64_t{1} << 32;
    std::vector<uint64_t> inodes = {1, UINT32_MAX, high, high + 1, 7 * high + 1, UINT64_MAX};
    for (uint64_t i = 2; i < 200; ++i) inodes.push_back(i * high + i);  // grows the wide table
    TWPlacedItems placed;
    for (uint64_t inode : inodes) EXPECT_TRUE(placed.claim(*recordWithInode(inode))) << inode;
    for (uint64_t inode : inodes) EXPECT_FALSE(placed.claim(*recordWithInode(inode))) << inode;
    EXPECT_TRUE(placed.claim(*recordWithInode(2)));  // low bits of 2 * high + 2, yet another file
    EXPECT_EQ(placed.size(), inodes.size() + 1);
}

TEST(FileRecordEntry, AScanThroughALinkedRootReportsResolvedPaths) {
    ScopedDefaults defaults;
    TempDir dir;
    dir.write("real/sub/a.txt", "the same words");
    dir.write("real/b.txt", "the same words");
    dir.write("other/c.txt", "the same words");
    dir.symlink(dir / "other/c.txt", "real/sub/link-to-c.txt");
    dir.symlink(dir / "real", "root-link");
    ScanReport report = scan({dir / "root-link"});
    const std::string base = realPathOf(dir.path());
    EXPECT_EQ(groupsOf(report, base), (std::vector<Group>{{"other/c.txt", "real/b.txt", "real/sub/a.txt"}}));
    EXPECT_EQ(report.scanned, 3u);
}

}  // namespace

namespace {

TEST(FileRecordEntry, AScanSkipsWhatAFolderHidesAndOnlyThat) {
    ScopedDefaults defaults;
    TWPreference::shared().setSkipHiddenItems(true);
    TempDir dir;
    const std::string words = "hidden or not";
    dir.write("listed/shown.txt", words);
    dir.write("listed/secret.txt", words);
    dir.write("listed/.hidden", "secret.txt\nnot-here.txt\n");
    dir.write("plain/copy.txt", words);
    dir.write("plain/.dot.txt", words);
    dir.write("plain/secret.txt", words);  // hidden only in the folder that lists it
    ScanReport report = scan({dir.path()});
    const std::string base = realPathOf(dir.path());
    EXPECT_EQ(groupsOf(report, base), (std::vector<Group>{{"listed/shown.txt", "plain/copy.txt", "plain/secret.txt"}}));
    EXPECT_EQ(report.scanned, 3u);
}

}  // namespace
