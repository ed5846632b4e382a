// Scans that remember what they read: a second scan gives the groups of the first;
// a file edited in place with its times put back is read again; pictures keep their
// signatures under either measure; a damaged cache file is set aside and the scan still
// groups right; with "kRememberFiles" off the cache is neither made nor read.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "ScanHarness.h"
#include "files/TWScanCache.h"
#include "platform/SqliteDatabase.h"
#include "prefs/TWPreference.h"
#include "prefs/TWPreferenceTypes.h"

using namespace twtest;
using Groups = std::vector<Group>;

namespace {

int64_t rowsWith(const std::string& cachePath, const std::string& where) {
    auto db = tw::SqliteDatabase::openReadOnly(cachePath);
    int64_t rows = -1;
    db.query("SELECT count(*) FROM files WHERE " + where, {}, [&](const tw::SqliteRow& row) {
        rows = row.integer(0);
        return false;
    });
    return rows;
}

void editInPlaceKeepingTimes(const std::string& path, long offset, const std::string& bytes) {
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(offset);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class RememberedScan : public ::testing::Test {
protected:
    ScopedDefaults defaults;
    TempDir dir;
    std::string base = TWFileUtility::resolvePath(dir.path());
    std::string cachePath() const { return TWScanCache::defaultPath(); }
    Groups scanGroups() { return groupsOf(scan({dir.path()}), base); }
};

TEST_F(RememberedScan, AFileEditedInPlaceWithItsTimesPutBackIsReadAgain) {
    ASSERT_EQ(cachePath(), defaults.cacheHome() + "/twinsift/cache.sqlite3");
    const std::string content = randomBytes(30000, 11);
    dir.write("a/one.bin", content);
    const std::string copy = dir.write("b/two.bin", content);
    dir.write("c/three.bin", content);
    dir.write("a/small.txt", "small copy");
    dir.write("b/small.txt", "small copy");
    letFileTimesSettle();

    const Groups expected = {{"a/one.bin", "b/two.bin", "c/three.bin"}, {"a/small.txt", "b/small.txt"}};
    ASSERT_EQ(scanGroups(), expected);
    EXPECT_EQ(rowsWith(cachePath(), "hash IS NOT NULL"), 5);
    EXPECT_EQ(rowsWith(cachePath(), "digest IS NOT NULL"), 5);
    EXPECT_EQ(scanGroups(), expected);

    // One byte that the sampled hash reads, and one that only the digest reads.
    editInPlaceKeepingTimes(copy, 30000 / 3, "x");
    EXPECT_EQ(scanGroups(), (Groups{{"a/one.bin", "c/three.bin"}, {"a/small.txt", "b/small.txt"}}));
    editInPlaceKeepingTimes(dir / "c/three.bin", 20, "y");
    EXPECT_EQ(scanGroups(), (Groups{{"a/small.txt", "b/small.txt"}}));
}

TEST_F(RememberedScan, ADamagedCacheFileIsSetAsideAndTheScanStillGroupsRight) {
    const std::string content = randomBytes(9000, 5);
    dir.write("a/one.doc", content);
    dir.write("b/two.doc", content);
    dir.write("b/other.doc", randomBytes(9000, 6));
    letFileTimesSettle();
    const Groups expected = {{"a/one.doc", "b/two.doc"}};
    ASSERT_EQ(scanGroups(), expected);

    // A file SQLite cannot read at all, then one whose pages past the first are lost.
    for (int damage = 0; damage < 2; ++damage) {
        if (damage == 0) {
            ASSERT_EQ(::unlink(cachePath().c_str()), 0);
            std::ofstream(cachePath()) << std::string(10000, 'q');
        } else {
            std::fstream file(cachePath(), std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(4096);
            const std::string garbage(4 * 4096, '\x33');
            file.write(garbage.data(), garbage.size());
        }
        EXPECT_EQ(scanGroups(), expected) << "damage " << damage;
        EXPECT_TRUE(exists(cachePath() + ".damaged")) << "damage " << damage;
        ASSERT_EQ(::unlink((cachePath() + ".damaged").c_str()), 0);
        EXPECT_EQ(scanGroups(), expected) << "damage " << damage;
        EXPECT_EQ(rowsWith(cachePath(), "digest IS NOT NULL"), 2) << "damage " << damage;
    }
}

// A scan may report its end before the cache's last batch is written (the command
// line prints meanwhile): the run ends only once it is, and the next scan finds it.
TEST_F(RememberedScan, AScanThatReportsFirstHasKeptEverythingWhenItsRunEnds) {
    const std::string content = randomBytes(9000, 7);
    for (int i = 0; i < 40; ++i) dir.write("d" + std::to_string(i % 4) + "/f" + std::to_string(i), content);
    letFileTimesSettle();
    TWSearchDuplicateFiles::Options options = quietOptions();
    options.reportBeforeCacheIsWritten = true;
    auto engine = TWSearchDuplicateFiles::init(options);
    engine->searchRootPaths({dir.path()});
    ScanObserver observer(engine);
    engine->startSearch();
    ASSERT_TRUE(observer.waitFinished());
    engine->waitUntilRunEnds();
    EXPECT_FALSE(engine->isSearching());
    EXPECT_EQ(rowsWith(cachePath(), "hash IS NOT NULL AND digest IS NOT NULL"), 40);
    const std::vector<Group> groups = groupsOf(observer.report, base);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].size(), 40u);
    EXPECT_EQ(scanGroups(), groups);
}

TEST_F(RememberedScan, WithTheSettingOffTheCacheIsNeitherReadNorWritten) {
    const std::string content = randomBytes(7000, 8);
    dir.write("a/one.bin", content);
    dir.write("b/two.bin", content);
    letFileTimesSettle();
    TWPreference::shared().setRememberFiles(false);
    EXPECT_EQ(scanGroups(), (Groups{{"a/one.bin", "b/two.bin"}}));
    EXPECT_FALSE(exists(cachePath()));

    // A cache that lies about b/two.bin is not read either.
    TWPreference::shared().setRememberFiles(true);
    ASSERT_EQ(scanGroups(), (Groups{{"a/one.bin", "b/two.bin"}}));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "b/two.bin").c_str(), &st), 0);
    {
        auto db = tw::SqliteDatabase::openReadWrite(cachePath());
        ASSERT_TRUE(db.execute("UPDATE files SET digest = zeroblob(16) WHERE inode = ?", {int64_t(st.st_ino)}));
    }
    EXPECT_EQ(scanGroups(), Groups{}) << "the lie is served while the setting is on";
    TWPreference::shared().setRememberFiles(false);
    EXPECT_EQ(scanGroups(), (Groups{{"a/one.bin", "b/two.bin"}}));
}

class RememberedPictures : public RememberedScan, public ::testing::WithParamInterface<TWSimilarMethod> {};

TEST_P(RememberedPictures, KeepTheirSignaturesAndGroupTheSameFromTheCache) {
    TWPreference::shared().setSimilarMethod(GetParam());
    for (int seed = 0; seed < 6; ++seed) {
        writeGradientPng(dir, "p/" + std::to_string(seed) + ".png", seed);
        writeGradientPng(dir, "q/" + std::to_string(seed) + " copy.png", seed);
    }
    letFileTimesSettle();
    const Groups first = scanGroups();
    ASSERT_FALSE(first.empty());
    const char* column = GetParam() == TWSimilarMethodLook ? "look" : "histogram";
    EXPECT_EQ(rowsWith(cachePath(), std::string(column) + " IS NOT NULL AND width = 48 AND height = 32"), 12);
    EXPECT_EQ(scanGroups(), first);
}

INSTANTIATE_TEST_SUITE_P(ByEitherMeasure, RememberedPictures,
                         ::testing::Values(TWSimilarMethodColours, TWSimilarMethodLook));

}  // namespace
