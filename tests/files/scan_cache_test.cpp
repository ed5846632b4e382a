// The cache of earlier scans on its own: what it keeps is served only for the file as
// it was, never for one edited in place with its times put back; a damaged file is set
// aside and the cache begins anew; files that changed a moment ago are not kept.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <ctime>
#include <fstream>
#include <map>

#include "TestSupport.h"
#include "files/TWHashUtility.h"
#include "files/TWScanCache.h"
#include "platform/SqliteDatabase.h"

namespace {

using twtest::TempDir;

// Writes `bytes` over the file at `offset`, in place (same inode), and puts its
// access and modification times back as they were.
void editInPlaceKeepingTimes(const std::string& path, long offset, const std::string& bytes) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(file.good());
        file.seekp(offset);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    ASSERT_EQ(after.st_ino, before.st_ino);
    ASSERT_EQ(after.st_size, before.st_size);
    ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
}

// A record of the file with its hash and digest read, handed to a new session of the
// cache at `cachePath`, which is then closed.
std::shared_ptr<TWFileUtility> rememberFile(const std::string& cachePath, const std::string& path) {
    auto record = TWFileUtility::initWithPath(path);
    record->hashString();
    record->contentDigest();
    auto cache = TWScanCache::open(cachePath);
    EXPECT_NE(cache, nullptr);
    if (!cache) return record;
    cache->remember(*record);
    cache->finish();
    EXPECT_EQ(cache->numberWritten(), 1u);
    return record;
}

TEST(ScanCache, ServesWhatItKeptOnlyWhileTheFileIsUnchangedEvenWithItsTimesPutBack) {
    TempDir dir;
    const std::string cachePath = dir / "cache/twinsift/cache.sqlite3";
    const std::string path = dir.write("file.bin", twtest::randomBytes(20000, 7));
    twtest::letFileTimesSettle();
    const auto first = rememberFile(cachePath, path);

    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    auto again = TWFileUtility::initWithPath(path);
    ASSERT_TRUE(cache->recall(*again));
    EXPECT_EQ(again->cachedHash(), first->cachedHash());
    EXPECT_EQ(again->cachedDigest(), first->cachedDigest());
    // Served values are not written back.
    cache->remember(*again);
    cache->finish();
    EXPECT_EQ(cache->numberWritten(), 0u);

    // The same size, the same modification time; the bytes the sample reads differ.
    editInPlaceKeepingTimes(path, 20000 / 3, "changed");
    auto edited = TWFileUtility::initWithPath(path);
    ASSERT_EQ(edited->modifyTimeNs(), first->modifyTimeNs());
    auto reopened = TWScanCache::open(cachePath);
    ASSERT_NE(reopened, nullptr);
    EXPECT_FALSE(reopened->recall(*edited));
    EXPECT_FALSE(edited->cachedHash());
    EXPECT_NE(edited->hashString(), first->cachedHashString());
    EXPECT_NE(edited->contentDigest(), first->cachedDigest());
    EXPECT_FALSE(reopened->recallHash(*TWScanCache::stampOf(*edited), path));
}

TEST(ScanCache, AnotherFileAtTheSamePathIsNeverServedWhatWasKeptOfTheFirst) {
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    const std::string path = dir.write("file.bin", twtest::randomBytes(12000, 10));
    // Written before the first is kept, so that both have settled.
    const std::string other = dir.write("other.bin", twtest::randomBytes(12000, 11));
    twtest::letFileTimesSettle();
    const auto first = rememberFile(cachePath, path);
    // The other file takes the first one's place and its times: same path, same size,
    // same modification time, another inode.
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
    ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);
    auto replaced = TWFileUtility::initWithPath(path);
    ASSERT_NE(replaced->inode(), first->inode());
    ASSERT_EQ(replaced->modifyTimeNs(), first->modifyTimeNs());

    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    EXPECT_FALSE(cache->recall(*replaced));
    EXPECT_FALSE(cache->recallHash(*TWScanCache::stampOf(*replaced), path));
    EXPECT_NE(replaced->hashString(), first->cachedHashString());
}

TEST(ScanCache, TwoFilesOfOneFolderWhoseKeysMeetNeverGetEachOthersValues) {
    // The key keeps 24 bits of a name: among a few thousand names two meet.
    std::map<uint32_t, std::string> byBits;
    std::pair<std::string, std::string> names;
    for (int i = 0; names.first.empty(); ++i) {
        const std::string name = "n" + std::to_string(i) + ".bin";
        const uint32_t bits = XXH3_64bits(name.data(), name.size()) & 0xFFFFFF;
        if (auto [at, added] = byBits.emplace(bits, name); !added) names = {at->second, name};
    }
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    const std::string first = dir.write(names.first, twtest::randomBytes(7000, 12));
    const std::string second = dir.write(names.second, twtest::randomBytes(7000, 13));
    twtest::letFileTimesSettle();
    rememberFile(cachePath, first);
    rememberFile(cachePath, second);  // takes the entry of the first

    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    for (const std::string& path : {first, second}) {
        auto record = TWFileUtility::initWithPath(path);
        const bool served = cache->recall(*record);
        EXPECT_EQ(served, path == second);
        EXPECT_EQ(record->hashString(), TWFileUtility::initWithPath(path)->hashString()) << path;
        EXPECT_EQ(record->contentDigest(), TWFileUtility::initWithPath(path)->contentDigest()) << path;
    }
}

TEST(ScanCache, KeepsNothingOfFilesThatChangedAMomentAgoNorAHashThatStandsForThePath) {
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    const std::string fresh = dir.write("fresh.bin", twtest::randomBytes(3000, 1));
    auto record = TWFileUtility::initWithPath(fresh);
    record->hashString();
    cache->remember(*record);  // changed since the session began: a second change could hide
    const std::string gone = dir.write("gone.bin", twtest::randomBytes(3000, 2));
    twtest::letFileTimesSettle();
    auto cache2 = TWScanCache::open(cachePath);
    ASSERT_NE(cache2, nullptr);
    auto unreadable = TWFileUtility::initWithPath(gone);
    ASSERT_EQ(::unlink(gone.c_str()), 0);
    unreadable->hashString();  // hashes by its path: no content to vouch for
    cache2->remember(*unreadable);
    cache->finish();
    cache2->finish();
    EXPECT_EQ(cache->numberWritten() + cache2->numberWritten(), 0u);
}

TEST(ScanCache, ADamagedFileIsSetAsideAndTheCacheBeginsAnew) {
    TempDir dir;
    const std::string cachePath = dir.write("cache.sqlite3", std::string(8192, 'x'));
    const std::string path = dir.write("file.bin", twtest::randomBytes(5000, 3));
    twtest::letFileTimesSettle();
    const auto first = rememberFile(cachePath, path);
    EXPECT_TRUE(twtest::exists(cachePath + ".damaged"));
    EXPECT_EQ(twtest::readFile(cachePath + ".damaged"), std::string(8192, 'x'));

    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    auto again = TWFileUtility::initWithPath(path);
    EXPECT_TRUE(cache->recall(*again));
    EXPECT_EQ(again->cachedHash(), first->cachedHash());
}

TEST(ScanCache, ADamagedPageIsNeverServedAndTheFileIsSetAside) {
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    std::vector<std::string> paths;
    for (int i = 0; i < 300; ++i) paths.push_back(dir.write("f" + std::to_string(i), twtest::randomBytes(2100, i)));
    twtest::letFileTimesSettle();
    {
        auto cache = TWScanCache::open(cachePath);
        ASSERT_NE(cache, nullptr);
        for (const auto& path : paths) {
            auto record = TWFileUtility::initWithPath(path);
            record->hashString();
            cache->remember(*record);
        }
    }
    {
        // Every page after the schema's is overwritten.
        auto db = tw::SqliteDatabase::openReadWrite(cachePath);
        ASSERT_TRUE(db.execute("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    {
        std::fstream file(cachePath, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096);
        const std::string garbage(64 * 1024, '\x5a');
        file.write(garbage.data(), garbage.size());
    }
    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    size_t served = 0;
    for (const auto& path : paths) {
        auto record = TWFileUtility::initWithPath(path);
        served += cache->recall(*record) ? 1 : 0;
        // Whatever was served or not, the record's hash is the file's.
        EXPECT_EQ(record->hashString(), TWFileUtility::initWithPath(path)->hashString());
    }
    cache->finish();
    EXPECT_LT(served, paths.size());
    EXPECT_TRUE(twtest::exists(cachePath + ".damaged"));
    EXPECT_NE(TWScanCache::open(cachePath), nullptr);
}

TEST(ScanCache, WhatOneScanLearnsOfAFileAtSeveralMomentsIsKeptTogether) {
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    const std::string path = dir.write("file.bin", twtest::randomBytes(9000, 8));
    const std::string other = dir.write("other.bin", twtest::randomBytes(9000, 9));
    twtest::letFileTimesSettle();
    auto record = TWFileUtility::initWithPath(path);
    const std::optional<std::string> hash = record->hashString();
    const std::optional<TWContentDigest> digest = record->contentDigest();
    ASSERT_TRUE(hash && digest);
    {
        auto cache = TWScanCache::open(cachePath);
        ASSERT_NE(cache, nullptr);
        // The sample's hash first (as a founder's), the digest later from the record;
        // another file's entry between them.
        cache->rememberHash(*TWScanCache::stampOf(*record), *record->cachedHash(), path);
        auto second = TWFileUtility::initWithPath(other);
        second->hashString();
        cache->remember(*second);
        auto withDigest = TWFileUtility::initWithPath(path);
        withDigest->contentDigest();
        cache->remember(*withDigest);
        cache->finish();
        EXPECT_EQ(cache->numberWritten(), 2u) << "one row a file";
    }
    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    auto again = TWFileUtility::initWithPath(path);
    ASSERT_TRUE(cache->recall(*again));
    EXPECT_EQ(again->cachedHashString(), hash);
    EXPECT_EQ(again->cachedDigest(), digest);
}

TEST(ScanCache, EntriesNotSeenForNinetyDaysAreDropped) {
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    const std::string old = dir.write("old.bin", twtest::randomBytes(5000, 5));
    const std::string recent = dir.write("recent.bin", twtest::randomBytes(5000, 6));
    twtest::letFileTimesSettle();
    rememberFile(cachePath, old);
    rememberFile(cachePath, recent);
    const int64_t today = int64_t(time(nullptr) / 86400);
    {
        auto db = tw::SqliteDatabase::openReadWrite(cachePath);
        ASSERT_TRUE(db.execute(
            "UPDATE files SET seen = ? WHERE inode = ?",
            {today - TWScanCache::kForgetAfterDays - 1, int64_t(TWFileUtility::initWithPath(old)->inode())}));
        ASSERT_TRUE(db.execute(
            "UPDATE files SET seen = ? WHERE inode = ?",
            {today - TWScanCache::kForgetAfterDays + 1, int64_t(TWFileUtility::initWithPath(recent)->inode())}));
        ASSERT_TRUE(db.execute("UPDATE meta SET value = value - 1 WHERE key = 'forgotten'"));  // the pass is due
    }
    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    auto oldRecord = TWFileUtility::initWithPath(old);
    auto recentRecord = TWFileUtility::initWithPath(recent);
    EXPECT_FALSE(cache->recall(*oldRecord));
    EXPECT_TRUE(cache->recall(*recentRecord));
    cache->finish();
    EXPECT_EQ(cache->numberWritten(), 1u) << "the entry in use is marked seen today";

    // Marked seen a few days ago: served without being written again.
    auto db = tw::SqliteDatabase::openReadWrite(cachePath);
    const auto seenOfRecent = [&] {
        int64_t seen = -1;
        db.query("SELECT seen FROM files WHERE inode = ?", {int64_t(recentRecord->inode())},
                 [&](const tw::SqliteRow& row) {
                     seen = row.integer(0);
                     return false;
                 });
        return seen;
    };
    EXPECT_EQ(seenOfRecent(), today);
    ASSERT_TRUE(db.execute("UPDATE files SET seen = ?", {today - TWScanCache::kMarkSeenAfterDays + 1}));
    auto again = TWScanCache::open(cachePath);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->recall(*TWFileUtility::initWithPath(recent)));
    again->finish();
    EXPECT_EQ(again->numberWritten(), 0u);
    EXPECT_EQ(seenOfRecent(), today - TWScanCache::kMarkSeenAfterDays + 1);
}

TEST(ScanCache, TheJournalStaysBoundedHoweverManyFilesAScanKeeps) {
    // Entries of many folders, in batches as a scan hands them over: every batch dirties
    // pages all over the table, and a journal never copied into the file grew with the
    // square of the entries (160 MB here).
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    constexpr uint64_t kEntries = 200'000;
    for (uint64_t n = 0; n < kEntries; ++n) {
        const TWFileStamp stamp{1, n + 1, 4096, 1'000'000'000, 1'000'000'000, S_IFREG};
        const std::string path = "/home/user/folder-" + std::to_string(n * 7919 % 20011) + "/file-" + std::to_string(n);
        cache->rememberHash(stamp, TWHashUtility::md5OfData(path.data(), path.size() - 1), path);
        // Paced like a scan that the writer keeps up with: a full queue drops entries.
        if ((n + 1) % TWScanCache::kBatch == 0)
            while (cache->numberWritten() + TWScanCache::kBatch < n + 1) usleep(1000);
    }
    cache->finish();
    ASSERT_EQ(cache->numberWritten(), kEntries);
    struct stat journal {};
    ASSERT_EQ(::stat((cachePath + "-wal").c_str(), &journal), 0) << "the session's connections keep the journal";
    // At most the bound and the batch that passed it.
    EXPECT_LE(journal.st_size, TWScanCache::kMostJournalBytes + (int64_t{16} << 20));
}

// The n-th of many made-up files, spread over 97 folders, and its hash.
TWFileStamp stampOf(uint64_t n) {
    return TWFileStamp{1, n + 1, 4096, 1'000'000'000, 1'000'000'000, S_IFREG};
}
std::string pathOf(uint64_t n) {
    return "/home/user/f" + std::to_string(n % 97) + "/" + std::to_string(n);
}
TWMD5 hashOf(uint64_t n) {
    return TWHashUtility::md5OfData(&n, sizeof n);
}

// A scan ends its remembering and sorts its results while the writer finishes: what
// was queued before (a full batch and part of one) is written, and nothing after.
TEST(ScanCache, WhatWasQueuedWhenRememberingEndsIsWrittenAndNothingLater) {
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    constexpr uint64_t kQueued = TWScanCache::kBatch + 1000;
    {
        auto cache = TWScanCache::open(cachePath);
        ASSERT_NE(cache, nullptr);
        for (uint64_t n = 0; n < kQueued; ++n) cache->rememberHash(stampOf(n), hashOf(n), pathOf(n));
        cache->endRemembering();
        cache->rememberHash(stampOf(kQueued), hashOf(kQueued), pathOf(kQueued));
        cache->finish();
        EXPECT_EQ(cache->numberWritten(), kQueued);
    }
    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    for (uint64_t n : {uint64_t{0}, kQueued / 2, kQueued - 1})
        EXPECT_EQ(cache->recallHash(stampOf(n), pathOf(n)), hashOf(n)) << n;
    EXPECT_FALSE(cache->recallHash(stampOf(kQueued), pathOf(kQueued)));
}

// When the walks end the writer is told to write what is queued, a batch however
// small, and the session still takes what the scan hands over after that.
TEST(ScanCache, WhatIsQueuedIsWrittenWhenAskedAndTheSessionGoesOn) {
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    for (uint64_t n = 0; n < 100; ++n) cache->rememberHash(stampOf(n), hashOf(n), pathOf(n));
    cache->writeQueued();
    for (int waited = 0; cache->numberWritten() < 100 && waited < 10'000; ++waited) usleep(1000);
    ASSERT_EQ(cache->numberWritten(), 100u) << "a batch smaller than a full one is written when asked";
    for (uint64_t n = 100; n < 150; ++n) cache->rememberHash(stampOf(n), hashOf(n), pathOf(n));
    cache->finish();
    EXPECT_EQ(cache->numberWritten(), 150u);
    auto again = TWScanCache::open(cachePath);
    ASSERT_NE(again, nullptr);
    for (uint64_t n : {uint64_t{0}, uint64_t{99}, uint64_t{149}})
        EXPECT_EQ(again->recallHash(stampOf(n), pathOf(n)), hashOf(n)) << n;
}

TEST(ScanCache, ClearEmptiesTheCache) {
    TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    const std::string path = dir.write("file.bin", twtest::randomBytes(5000, 4));
    twtest::letFileTimesSettle();
    rememberFile(cachePath, path);
    std::string error;
    ASSERT_TRUE(TWScanCache::clear(cachePath, &error)) << error;
    auto cache = TWScanCache::open(cachePath);
    ASSERT_NE(cache, nullptr);
    auto again = TWFileUtility::initWithPath(path);
    EXPECT_FALSE(cache->recall(*again));
    EXPECT_TRUE(TWScanCache::clear(dir / "never-made.sqlite3", &error));
}

}  // namespace
