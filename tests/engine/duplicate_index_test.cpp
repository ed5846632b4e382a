// The index of the duplicate decisions against the plain walk over the groups in
// order, and when it reads files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "InMemoryMediaLibrary.h"
#include "TestSupport.h"
#include "engine/TWDuplicateIndex.h"
#include "engine/TWMediaObjectUtility.h"
#include "files/TWScanCache.h"
#include "model/TWMatching.h"
#include "platform/Log.h"
#include "prefs/TWPreference.h"

using namespace twtest;

namespace {

using FilePtr = std::shared_ptr<TWFileUtility>;

// The decision as a walk over every group in founding order.
std::vector<std::vector<FilePtr>> inOrderWalk(const std::vector<FilePtr>& records, int64_t mode, bool verify) {
    std::vector<std::vector<FilePtr>> groups;
    for (const auto& record : records) {
        bool placed = false;
        for (auto& group : groups) {
            TWFileUtility& first = *group.front();
            if (first.category() != record->category() || first.sourceType() != record->sourceType()) continue;
            if (!first.isRegularFile() || !record->isRegularFile()) continue;
            const bool match = mode == TWSearchModeName
                                   ? TWLowercasedName(first.fileName()) == TWLowercasedName(record->fileName()) &&
                                         first.fileSize() == record->fileSize()
                                   : TWContentMatches(first, *record, verify);
            if (match) {
                group.push_back(record);
                placed = true;
                break;
            }
        }
        if (!placed) groups.push_back({record});
    }
    return groups;
}

std::vector<std::vector<FilePtr>> indexed(const std::vector<FilePtr>& records, int64_t mode, bool verify) {
    TWPlacedItems placed;
    TWDuplicateIndex index(mode, verify, placed);
    std::atomic<bool> stop{false};
    for (const auto& record : records) index.place(record, stop, {});
    index.addGroupsToContainers();
    std::vector<std::vector<FilePtr>> groups;
    for (const auto& container : index.categoryFiles())
        for (const auto& group : container->duplicateFilesIncludingSimilar())
            groups.push_back(group->itemsOfFileUtility());
    return groups;
}

// The groups of two files or more by their paths (the index may hand back a founder
// as another record of the same file).
std::vector<std::vector<std::string>> withoutSingles(const std::vector<std::vector<FilePtr>>& groups) {
    std::vector<std::vector<std::string>> paths;
    for (const auto& group : groups) {
        if (group.size() < 2) continue;
        paths.emplace_back();
        for (const auto& file : group) paths.back().push_back(file->filePath());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

class DuplicateIndex : public ::testing::Test {
protected:
    ScopedDefaults defaults;
    TempDir dir;
};

// Many files over few sizes, few contents and near-collisions (equal samples, other
// bytes differ), in three categories and under case-varied names.
TEST_F(DuplicateIndex, YieldsExactlyTheGroupsOfTheInOrderWalk) {
    std::mt19937 random(42);
    std::vector<std::string> contents;
    for (int i = 0; i < 6; ++i) contents.push_back(randomBytes(7000 + (i % 2) * 10, i));
    // Outside every sampled kilobyte of a 7000-byte file: one hash, three contents, so
    // that founders share a key.
    for (size_t at : {200, 4000}) {
        std::string near = contents[0];
        near[at] ^= 1;
        contents.push_back(near);
    }
    const char* names[] = {"a.txt", "A.TXT", "b.txt", "a.mp3", "c.zip"};
    std::vector<FilePtr> records;
    for (int i = 0; i < 120; ++i) {
        const std::string path =
            dir.write(std::to_string(i) + "/" + names[random() % 5], contents[random() % contents.size()]);
        records.push_back(TWFileUtility::initWithPath(path));
    }
    for (bool verify : {true, false})
        for (int64_t mode : {int64_t(TWSearchModeContent), int64_t(TWSearchModeName)})
            EXPECT_EQ(withoutSingles(indexed(records, mode, verify)),
                      withoutSingles(inOrderWalk(records, mode, verify)))
                << "mode " << mode << " verify " << verify;
}

// A founder's file is removed once placed: were it read, the failed read would be logged.
TEST_F(DuplicateIndex, HashesAFileOnlyWhenASecondFileOfItsSizeArrives) {
    TWPlacedItems placed;
    TWDuplicateIndex index(TWSearchModeContent, true, placed);
    std::atomic<bool> stop{false};
    tw::LogCapture log;
    auto lone = TWFileUtility::initWithPath(dir.write("lone.txt", "twelve bytes"));
    auto first = TWFileUtility::initWithPath(dir.write("first.txt", "eleven byte"));
    auto second = TWFileUtility::initWithPath(dir.write("second.txt", "other bytes"));
    auto music = TWFileUtility::initWithPath(dir.write("other.mp3", "eleven byte"));  // another category

    EXPECT_EQ(index.place(lone, stop, {}), TWPlacement::Founded);
    EXPECT_EQ(index.place(first, stop, {}), TWPlacement::Founded);
    index.prefetch(music);
    EXPECT_EQ(index.place(music, stop, {}), TWPlacement::Founded);
    EXPECT_FALSE(music->cachedHashString());
    for (const char* name : {"lone.txt", "first.txt", "other.mp3"}) ASSERT_EQ(::unlink((dir / name).c_str()), 0);

    index.prefetch(second);  // the walker's side reads both before the decision
    EXPECT_TRUE(log.contains("first.txt"));
    EXPECT_TRUE(second->cachedHashString());
    EXPECT_EQ(index.place(second, stop, {}), TWPlacement::Founded);
    EXPECT_FALSE(log.contains("lone.txt"));
    EXPECT_FALSE(log.contains("other.mp3"));
}

// In the content mode a founder that matches nothing is kept compact; when a copy
// arrives, the group's first file must be the record it was.
TEST_F(DuplicateIndex, AFounderKeptCompactComesBackAsTheSameRecord) {
    TWPlacedItems placed;
    TWDuplicateIndex index(TWSearchModeContent, true, placed);
    std::atomic<bool> stop{false};
    const std::string content = randomBytes(9000, 3);
    const std::string founderPath = dir.write("sub dir/caf\xc3\xa9 \xff.dat", content);
    auto founder = TWFileUtility::initWithPath(founderPath);
    std::weak_ptr<TWFileUtility> watch = founder;
    EXPECT_EQ(index.place(founder, stop, {}), TWPlacement::Founded);
    for (int i = 0; i < 5; ++i)  // other founders around it, one of its size
        index.place(TWFileUtility::initWithPath(
                        dir.write("other" + std::to_string(i) + ".dat", randomBytes(i == 0 ? 9000 : 100 + i, 10 + i))),
                    stop, {});
    founder.reset();
    EXPECT_TRUE(watch.expired());  // nothing but the compact form is left of it

    auto copy = TWFileUtility::initWithPath(dir.write("copy.dat", content));
    index.prefetch(copy);
    ASSERT_EQ(index.place(copy, stop, {}), TWPlacement::Joined);
    index.addGroupsToContainers();
    ASSERT_EQ(index.categoryFiles().size(), 1u);
    const auto groups = index.categoryFiles()[0]->duplicateFilesIncludingSimilar();
    ASSERT_EQ(groups.size(), 1u);
    const auto files = groups[0]->itemsOfFileUtility();
    ASSERT_EQ(files.size(), 2u);
    const TWFileUtility& back = *files[0];
    const auto fresh = TWFileUtility::initWithPath(founderPath);
    EXPECT_EQ(back.filePath(), fresh->filePath());
    EXPECT_EQ(back.fileSize(), fresh->fileSize());
    EXPECT_EQ(back.fileSizeOnDisk(), fresh->fileSizeOnDisk());
    EXPECT_EQ(back.createTime(), fresh->createTime());
    EXPECT_EQ(back.category(), fresh->category());
    EXPECT_EQ(back.fileType(), fresh->fileType());
    EXPECT_EQ(back.isRegularFile(), fresh->isRegularFile());
    EXPECT_EQ(back.hasIdentity(), fresh->hasIdentity());
    EXPECT_EQ(back.device(), fresh->device());
    EXPECT_EQ(back.inode(), fresh->inode());
    EXPECT_EQ(back.modifyTimeNs(), fresh->modifyTimeNs());
    EXPECT_EQ(back.changeTimeNs(), fresh->changeTimeNs());
    EXPECT_NE(back.changeTimeNs(), 0);
    EXPECT_TRUE(back.isPlainFileRecord());
    EXPECT_EQ(back.cachedHashString(), fresh->hashString());
    EXPECT_FALSE(back.isChecked());
}

// Copies that reach the scan from the folders and from two libraries, in turns: each
// source keeps groups of its own, whichever source came before.
TEST_F(DuplicateIndex, SourcesTakenInTurnsNeverShareAGroup) {
    const std::string content = randomBytes(9000, 8);
    std::vector<FilePtr> records;
    std::vector<std::shared_ptr<InMemoryMediaObject>> items;
    const char* sources[] = {nullptr, MLMediaSourcePhotosIdentifier, MLMediaSourceiTunesIdentifier};
    for (int i = 0; i < 9; ++i) {
        const std::string path = dir.write("copy" + std::to_string(i) + ".mp3", content);
        const char* source = sources[i % 3];
        if (!source) {
            records.push_back(TWFileUtility::initWithPath(path));
        } else {
            items.push_back(std::make_shared<InMemoryMediaObject>("item" + std::to_string(i), path, source));
            records.push_back(TWMediaObjectUtility::initWithMediaObject(items.back(), source));
        }
        ASSERT_TRUE(records.back()) << i;
    }
    const auto groups = withoutSingles(indexed(records, TWSearchModeContent, true));
    EXPECT_EQ(groups, withoutSingles(inOrderWalk(records, TWSearchModeContent, true)));
    ASSERT_EQ(groups.size(), 3u);
    for (const auto& group : groups) EXPECT_EQ(group.size(), 3u);
}

// A second scan over a cache the first one filled: each file is asked for once, the
// founder of the group too (it used to be asked again when it was made a record to be
// compared in full), and the group is the same.
TEST_F(DuplicateIndex, ARescanAsksTheCacheOnceForEachFile) {
    const std::string content = randomBytes(50000, 3);
    const std::string first = dir.write("a/first.bin", content);
    const std::string other = dir.write("b/other.bin", randomBytes(50000, 4));  // its size, not its bytes
    const std::string copy = dir.write("c/copy.bin", content);
    letFileTimesSettle();
    const auto scan = [&](uint64_t& served) {
        auto cache = TWScanCache::open(dir / "cache.sqlite3");
        EXPECT_NE(cache, nullptr);
        TWPlacedItems placed;
        TWDuplicateIndex index(TWSearchModeContent, true, placed, nullptr, cache.get());
        std::atomic<bool> stop{false};
        std::vector<FilePtr> records;
        for (const std::string& path : {first, other, copy}) {
            records.push_back(TWFileUtility::initWithPath(path));
            index.prefetch(records.back());
            index.place(records.back(), stop, {});
        }
        index.addGroupsToContainers();
        std::vector<std::vector<FilePtr>> groups;
        for (const auto& container : index.categoryFiles())
            for (const auto& group : container->duplicateFilesIncludingSimilar())
                groups.push_back(group->itemsOfFileUtility());
        index.releaseRecords();
        cache->finish();
        served = cache->numberServed();
        return withoutSingles(groups);
    };
    const std::vector<std::vector<std::string>> expected{{first, copy}};
    uint64_t served = 0;
    ASSERT_EQ(scan(served), expected);
    ASSERT_EQ(served, 0u);
    EXPECT_EQ(scan(served), expected);
    EXPECT_EQ(served, 3u);
}

// A file compared in full by the decision itself (no prefetch() read ahead for it, as
// when another walker was placing the first file of its size) and then kept compact:
// what was read of it still reaches the cache.
TEST_F(DuplicateIndex, WhatTheDecisionReadOfAFounderKeptCompactReachesTheCache) {
    std::string content = randomBytes(30000, 5);
    const std::string first = dir.write("a/first.bin", content);
    content[20] = static_cast<char>(content[20] ^ 0x55);  // a byte the sample does not read
    const std::string second = dir.write("b/second.bin", content);
    letFileTimesSettle();
    {
        auto cache = TWScanCache::open(dir / "cache.sqlite3");
        ASSERT_NE(cache, nullptr);
        TWPlacedItems placed;
        TWDuplicateIndex index(TWSearchModeContent, true, placed, nullptr, cache.get());
        std::atomic<bool> stop{false};
        ASSERT_EQ(index.place(TWFileUtility::initWithPath(first), stop, {}), TWPlacement::Founded);
        ASSERT_EQ(index.place(TWFileUtility::initWithPath(second), stop, {}), TWPlacement::Founded);
        index.addGroupsToContainers();
        index.releaseRecords();
        cache->finish();
    }
    auto cache = TWScanCache::open(dir / "cache.sqlite3");
    ASSERT_NE(cache, nullptr);
    for (const std::string& path : {first, second}) {
        auto again = TWFileUtility::initWithPath(path);
        ASSERT_TRUE(cache->recall(*again)) << path;
        EXPECT_TRUE(again->cachedHash()) << path;
        EXPECT_EQ(again->cachedDigest(), TWFileUtility::initWithPath(path)->contentDigest()) << path;
    }
}

// Founders kept compact in hundreds of folders (their folder table grows several
// times) each come back under their own path.
TEST_F(DuplicateIndex, CompactFoundersInManyFoldersComeBackUnderTheirOwnPaths) {
    TWPlacedItems placed;
    TWDuplicateIndex index(TWSearchModeContent, true, placed);
    std::atomic<bool> stop{false};
    constexpr int kFolders = 700;
    std::vector<std::string> founders;
    const auto content = [](int i) { return "content " + std::to_string(i); };  // a size shared by many
    for (int i = 0; i < kFolders; ++i) {
        founders.push_back(dir.write("f" + std::to_string(i % 350) + "/" + std::to_string(i / 350) + "/x", content(i)));
        index.place(TWFileUtility::initWithPath(founders.back()), stop, {});
    }
    for (int i = 0; i < kFolders; ++i) {
        auto copy = TWFileUtility::initWithPath(dir.write("copies/" + std::to_string(i), content(i)));
        index.prefetch(copy);
        ASSERT_EQ(index.place(copy, stop, {}), TWPlacement::Joined) << i;
    }
    index.addGroupsToContainers();
    std::vector<std::string> firsts;
    for (const auto& container : index.categoryFiles())
        for (const auto& group : container->duplicateFilesIncludingSimilar())
            firsts.push_back(group->firstFile()->filePath());
    std::sort(firsts.begin(), firsts.end());
    std::sort(founders.begin(), founders.end());
    EXPECT_EQ(firsts, founders);
}

TEST_F(DuplicateIndex, FoundersOfOneFolderMadeRecordsShareItsPath) {
    TWPlacedItems placed;
    TWDuplicateIndex index(TWSearchModeContent, true, placed);
    std::atomic<bool> stop{false};
    // Founders of two folders placed in turns, then their copies: each founder is made a
    // record from its compact form when its copy arrives.
    for (int i = 0; i < 6; ++i)
        index.place(TWFileUtility::initWithPath(dir.write("f" + std::to_string(i % 2) + "/" + std::to_string(i),
                                                          "content " + std::to_string(i))),
                    stop, {});
    for (int i = 0; i < 6; ++i) {
        auto copy =
            TWFileUtility::initWithPath(dir.write("copies/" + std::to_string(i), "content " + std::to_string(i)));
        ASSERT_EQ(index.place(copy, stop, {}), TWPlacement::Joined) << i;
    }
    index.addGroupsToContainers();
    std::vector<FilePtr> firsts;
    for (const auto& container : index.categoryFiles())
        for (const auto& group : container->duplicateFilesIncludingSimilar()) firsts.push_back(group->firstFile());
    ASSERT_EQ(firsts.size(), 6u);
    const auto folderOf = [](const FilePtr& record) {
        const std::string path = record->filePath();
        return path.substr(0, path.rfind('/'));
    };
    for (const auto& first : firsts)
        for (const auto& other : firsts)
            EXPECT_EQ(first->recordPath().sharesFolderWith(other->recordPath()), folderOf(first) == folderOf(other))
                << first->filePath() << " " << other->filePath();
}

// Founders made records while others arrive: the room each one leaves is taken by
// later founders, which still come back as themselves, with the hash and the digest
// read from their own file (files this small are read whole with the hash, and the
// digest waits in the index until the founder is made a record). Rounds of founders,
// then of their copies, then of founders again, hand out many free pieces at a time.
TEST_F(DuplicateIndex, FoundersInTheRoomOfFoundersMadeRecordsComeBackAsThemselves) {
    auto cache = TWScanCache::open(dir / "cache.sqlite3");
    ASSERT_NE(cache, nullptr);
    TWPlacedItems placed;
    TWDuplicateIndex index(TWSearchModeContent, true, placed, nullptr, cache.get());
    std::atomic<bool> stop{false};
    const auto content = [](int i) { return randomBytes(3000, 1000 + i); };  // one size: every founder is hashed
    std::vector<std::string> founders;
    const auto placeFounders = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            // Names of one length: the room of every founder fits every later one.
            founders.push_back(dir.write("f/" + std::to_string(1000 + i), content(i)));
            auto record = TWFileUtility::initWithPath(founders.back());
            index.prefetch(record);
            ASSERT_EQ(index.place(record, stop, {}), TWPlacement::Founded) << i;
        }
    };
    const auto placeCopies = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            auto copy = TWFileUtility::initWithPath(dir.write("c/" + std::to_string(1000 + i), content(i)));
            index.prefetch(copy);
            ASSERT_EQ(index.place(copy, stop, {}), TWPlacement::Joined) << i;
        }
    };
    placeFounders(0, 100);
    placeCopies(0, 60);
    placeFounders(100, 200);
    placeCopies(60, 200);
    placeFounders(200, 260);
    placeCopies(200, 260);

    index.addGroupsToContainers();
    ASSERT_EQ(index.categoryFiles().size(), 1u);
    const auto groups = index.categoryFiles()[0]->duplicateFilesIncludingSimilar();
    ASSERT_EQ(groups.size(), founders.size());
    for (size_t i = 0; i < groups.size(); ++i) {
        const auto files = groups[i]->itemsOfFileUtility();
        ASSERT_EQ(files.size(), 2u);
        const auto fresh = TWFileUtility::initWithPath(founders[i]);
        EXPECT_EQ(files[0]->filePath(), founders[i]);
        EXPECT_EQ(files[0]->inode(), fresh->inode());
        EXPECT_EQ(files[0]->fileSize(), fresh->fileSize());
        EXPECT_EQ(files[0]->cachedHashString(), fresh->hashString()) << i;
        EXPECT_EQ(files[0]->cachedDigest(), fresh->contentDigest()) << i;
    }
    index.releaseRecords();
    cache->finish();
}

TEST_F(DuplicateIndex, CountsEachPlacementInDecisionOrderAndNothingAfterAStop) {
    TWPlacedItems placed;
    TWDuplicateIndex index(TWSearchModeContent, true, placed);
    std::atomic<bool> stop{false};
    std::vector<std::pair<TWPlacement, uint64_t>> counted;
    auto count = [&](TWPlacement p, uint64_t size) { counted.emplace_back(p, size); };
    const std::string a = dir.write("a.txt", "copy!");
    dir.hardlink("a.txt", "hard.txt");
    index.place(TWFileUtility::initWithPath(a), stop, count);
    index.place(TWFileUtility::initWithPath(dir.write("b.txt", "copy!")), stop, count);
    index.place(TWFileUtility::initWithPath(dir / "hard.txt"), stop, count);  // the same file
    stop = true;
    EXPECT_EQ(index.place(TWFileUtility::initWithPath(dir.write("c.txt", "copy!")), stop, count), TWPlacement::Dropped);
    EXPECT_EQ(counted,
              (std::vector<std::pair<TWPlacement, uint64_t>>{{TWPlacement::Founded, 0}, {TWPlacement::Joined, 5}}));
}

TEST_F(DuplicateIndex, UnreadableFilesGroupByNameButNeverByContent) {
    for (const char* file : {"1/secret.txt", "2/secret.txt"})
        ASSERT_EQ(chmod(dir.write(file, "same secret").c_str(), 0600), 0);
    for (const char* folder : {"", "1", "2"}) ASSERT_EQ(chmod((dir / folder).c_str(), 0755), 0);
    const int status = runAsUnprivileged([&] {
        // As nobody neither file can be read (both belong to root, mode 0600).
        auto groupsIn = [&](int64_t mode) {
            TWPlacedItems placed;
            TWDuplicateIndex index(mode, true, placed);
            std::atomic<bool> stop{false};
            index.place(TWFileUtility::initWithPath(dir / "1/secret.txt"), stop, {});
            return index.place(TWFileUtility::initWithPath(dir / "2/secret.txt"), stop, {});
        };
        if (groupsIn(TWSearchModeContent) != TWPlacement::Founded) return 1;
        if (groupsIn(TWSearchModeName) != TWPlacement::Joined) return 2;
        return 0;
    });
    ASSERT_NE(status, -1) << "could not drop privileges";
    EXPECT_EQ(status, 0);
}

// With the full-content check, two packages are copies only when their whole trees
// are; without it, equal bundle identities and content sizes still match.
TEST_F(DuplicateIndex, PackagesMatchByTheirWholeTreesUnderTheFullCheck) {
    const std::string plist =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>org.x.tool</string>"
        "<key>CFBundleShortVersionString</key><string>1.0</string></dict></plist>";
    for (const char* name : {"one", "two", "three"})
        dir.write(std::string(name) + "/Tool.app/Contents/Info.plist", plist);
    dir.write("one/Tool.app/Contents/binary", "build A");
    dir.write("two/Tool.app/Contents/binary", "build B");  // same size, other content
    dir.write("three/Tool.app/Contents/binary", "build A");
    std::atomic<bool> stop{false};
    const auto placements = [&](bool verify) {
        TWPlacedItems placed;
        TWDuplicateIndex index(TWSearchModeContent, verify, placed);
        std::vector<TWPlacement> out;
        for (const char* name : {"one", "two", "three"}) {
            auto package = TWApplicationUtility::initWithPath(dir / (std::string(name) + "/Tool.app"));
            EXPECT_EQ(package->fileType(), TWFileTypePackage);
            out.push_back(index.place(package, stop, {}));
        }
        return out;
    };
    EXPECT_EQ(placements(true), (std::vector{TWPlacement::Founded, TWPlacement::Founded, TWPlacement::Joined}));
    EXPECT_EQ(placements(false), (std::vector{TWPlacement::Founded, TWPlacement::Joined, TWPlacement::Joined}));
}

// (The name mode keeps every founder as a record until the release.)
TEST_F(DuplicateIndex, ReleasesTheRecordsOfSingleFileGroups) {
    TWPlacedItems placed;
    TWDuplicateIndex index(TWSearchModeName, true, placed);
    std::atomic<bool> stop{false};
    auto single = TWFileUtility::initWithPath(dir.write("single.txt", "alone"));
    auto copyA = TWFileUtility::initWithPath(dir.write("a/pair.txt", "pair"));
    auto copyB = TWFileUtility::initWithPath(dir.write("b/pair.txt", "pair"));
    std::weak_ptr<TWFileUtility> watch = single;
    for (auto* r : {&single, &copyA, &copyB}) index.place(*r, stop, {});
    single.reset();
    index.addGroupsToContainers();
    EXPECT_FALSE(watch.expired());
    index.releaseRecords();
    EXPECT_TRUE(watch.expired());
    ASSERT_EQ(index.categoryFiles().size(), 1u);
    EXPECT_EQ(index.categoryFiles()[0]->numberOfCategoryFiles(), 1u);  // the pair's group stays
}

TEST(LowercasedName, FoldsUnicodeLettersAndKeepsInvalidBytes) {
    EXPECT_EQ(TWLowercasedName("\xC3\x84RGER Report"), "\xC3\xA4rger report");
    EXPECT_EQ(TWLowercasedName("\xCE\xA3\xCE\xA9"), "\xCF\x83\xCF\x89");  // Greek capitals
    EXPECT_EQ(TWLowercasedName("A\xFF\xC3"), "a\xFF\xC3");
}

}  // namespace
