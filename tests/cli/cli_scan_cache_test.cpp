// twinsift-cli and the cache of earlier scans: several scans sharing one cache at once
// leave it sound and group right; --no-cache neither reads nor writes it, and neither
// does a run with "kRememberFiles" off.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <nlohmann/json.hpp>
#include <set>

#include "CliProcess.h"
#include "CliRunner.h"
#include "TestSupport.h"
#include "files/TWFileUtility.h"
#include "files/TWScanCache.h"
#include "platform/SqliteDatabase.h"

using json = nlohmann::json;
using twtest::runCli;

namespace {

using Group = std::set<std::string>;
using Groups = std::set<Group>;

Groups groupsOf(const std::string& out) {
    Groups groups;
    const json result = json::parse(out);
    for (const auto& category : result["categories"])
        for (const auto& group : category["groups"]) {
            Group g;
            for (const auto& file : group["files"]) g.insert(file["path"].get<std::string>());
            groups.insert(g);
        }
    return groups;
}

class CliScanCache : public ::testing::Test {
protected:
    twtest::TempDir config{"twinsift-cli-config"};
    twtest::TempDir cache{"twinsift-cli-cache"};
    twtest::TempDir tree{"twinsift-cli-tree"};
    std::string root = TWFileUtility::resolvePath(tree.path());
    std::map<std::string, std::string> env() const {
        return {{"XDG_CONFIG_HOME", config.path()}, {"XDG_CACHE_HOME", cache.path()}};
    }
    std::string cachePath() const { return cache.path() + "/twinsift/cache.sqlite3"; }
    int64_t count(const std::string& sql) const {
        auto db = tw::SqliteDatabase::openReadOnly(cachePath());
        int64_t n = -1;
        db.query(sql, {}, [&](const tw::SqliteRow& row) {
            n = row.integer(0);
            return false;
        });
        return n;
    }
    Groups scan(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"scan", "--json", "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(tree.path());
        auto r = runCli(args, env());
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        return r.exitStatus == 0 ? groupsOf(r.out) : Groups{};
    }
};

TEST_F(CliScanCache, ScansSharingTheCacheAtOnceLeaveItSoundAndGroupRight) {
    // 150 sets of two copies in 30 folders, and as many lone files of the same sizes:
    // half of them small enough to be read whole for their sample, half larger.
    Groups expected;
    for (int i = 0; i < 150; ++i) {
        const size_t size = (i % 2 ? 2500 : 9000) + 7 * i;
        const std::string content = twtest::randomBytes(size, i);
        const std::string a = "d" + std::to_string(i % 30) + "/f" + std::to_string(i) + ".dat";
        const std::string b = "e" + std::to_string(i % 30) + "/copy" + std::to_string(i) + ".dat";
        tree.write(a, content);
        tree.write(b, content);
        tree.write("lone/l" + std::to_string(i) + ".dat", twtest::randomBytes(size, 1000 + i));
        expected.insert({root + "/" + a, root + "/" + b});
    }
    twtest::letFileTimesSettle();
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<twtest::CliProcess>> scans;
        for (int i = 0; i < 3; ++i) {
            twtest::CliSpawn spawn;
            spawn.args = {"scan", "--json", "--quiet", tree.path()};
            spawn.env = env();
            scans.push_back(std::make_unique<twtest::CliProcess>(spawn));
        }
        for (auto& process : scans) {
            ASSERT_EQ(process->wait(), 0) << process->err;
            EXPECT_EQ(groupsOf(process->out), expected) << "round " << round;
        }
    }
    // A small lone file's digest came with its sample; a larger one's was never read.
    EXPECT_EQ(count("SELECT count(*) FROM files WHERE hash IS NOT NULL AND digest IS NOT NULL"), 375);
    EXPECT_EQ(count("SELECT count(*) FROM files WHERE digest IS NULL"), 75);
    auto db = tw::SqliteDatabase::openReadOnly(cachePath());
    std::string check;
    db.query("PRAGMA integrity_check", {}, [&](const tw::SqliteRow& row) {
        check = row.text(0);
        return false;
    });
    EXPECT_EQ(check, "ok");
    EXPECT_FALSE(twtest::exists(cachePath() + ".damaged"));
}

TEST_F(CliScanCache, NoCacheAndTheSettingOffNeitherReadNorWriteIt) {
    const std::string content = twtest::randomBytes(8000, 3);
    tree.write("a/one.bin", content);
    const std::string two = tree.write("b/two.bin", content);
    twtest::letFileTimesSettle();
    const Groups together = {{root + "/a/one.bin", root + "/b/two.bin"}};

    EXPECT_EQ(scan({"--no-cache"}), together);
    EXPECT_FALSE(twtest::exists(cachePath()));
    EXPECT_EQ(scan(), together);
    ASSERT_EQ(count("SELECT count(*) FROM files WHERE digest IS NOT NULL"), 2);

    // A cache that lies about b/two.bin's content splits the pair while it is read; a run
    // that reads it marks the entry, last marked long ago, as seen today.
    struct stat st {};
    ASSERT_EQ(::stat(two.c_str(), &st), 0);
    const int64_t longAgo = int64_t(time(nullptr) / 86400) - TWScanCache::kMarkSeenAfterDays - 1;
    {
        auto db = tw::SqliteDatabase::openReadWrite(cachePath());
        ASSERT_TRUE(db.execute("UPDATE files SET digest = zeroblob(16), seen = ? WHERE inode = ?",
                               {longAgo, int64_t(st.st_ino)}));
    }
    const std::string lie =
        "SELECT count(*) FROM files WHERE digest = zeroblob(16) AND seen = " + std::to_string(longAgo);
    ASSERT_EQ(count(lie), 1);
    EXPECT_EQ(scan({"--no-cache"}), together);
    ASSERT_EQ(runCli({"prefs", "kRememberFiles", "false"}, env()).exitStatus, 0);
    EXPECT_EQ(scan(), together);
    EXPECT_EQ(count(lie), 1) << "a run without the cache wrote to it";
    ASSERT_EQ(runCli({"prefs", "kRememberFiles", "true"}, env()).exitStatus, 0);
    EXPECT_EQ(scan(), Groups{}) << "the lie is served when the cache is read";
    EXPECT_EQ(count(lie), 0) << "the entry read was not marked as seen";
}

}  // namespace

namespace {

// The removal's own checks read the files: a cache that calls two different files
// copies makes the scan group them, and the removal still leaves both alone.
TEST_F(CliScanCache, TheRemovalReadsTheFilesWhateverTheCacheSays) {
    std::string content = twtest::randomBytes(30000, 9);
    const std::string one = tree.write("a/one.bin", content);
    content[20] = static_cast<char>(content[20] ^ 0x55);  // a byte the sampled hash does not read
    const std::string two = tree.write("b/two.bin", content);
    twtest::letFileTimesSettle();
    ASSERT_EQ(scan(), Groups{});
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat(one.c_str(), &a), 0);
    ASSERT_EQ(::stat(two.c_str(), &b), 0);
    {
        auto db = tw::SqliteDatabase::openReadWrite(cachePath());
        ASSERT_TRUE(db.execute("UPDATE files SET digest = (SELECT digest FROM files WHERE inode = ?) WHERE inode = ?",
                               {int64_t(a.st_ino), int64_t(b.st_ino)}));
    }
    ASSERT_EQ(scan(), (Groups{{root + "/a/one.bin", root + "/b/two.bin"}})) << "the lie is served";

    twtest::TempDir data{"twinsift-cli-data"};
    auto environment = env();
    environment["XDG_DATA_HOME"] = data.path();
    auto r = runCli({"remove", "--yes", "--quiet", "--to", "delete", tree.path()}, environment);
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_TRUE(twtest::exists(one));
    EXPECT_TRUE(twtest::exists(two));
    EXPECT_EQ(twtest::readFile(two), content);
}

}  // namespace
