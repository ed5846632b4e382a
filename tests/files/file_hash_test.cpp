// Content hash and full-content digest of a file record.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include "EngineTestHelpers.h"
#include "TestSupport.h"
#include "files/TWFileUtility.h"
#include "files/TWHashUtility.h"
#include "platform/Log.h"

namespace {

using enginetest::md5sumOf;

// The sample the hash is defined over, cut out independently of the record.
std::string expectedSample(const std::string& content) {
    size_t n = content.size();
    if (n <= 2047) return content;
    if (n <= 6143) return content.substr(0, 1024) + content.substr(n - 1024, 1024);
    return content.substr(n / 3, 1024) + content.substr(2 * n / 3, 1024);
}

TEST(FileHash, SampleOfEachSizeClassMatchesAnIndependentMd5) {
    twtest::TempDir dir;
    for (size_t size : {size_t{1}, size_t{2047}, size_t{2048}, size_t{6143}, size_t{6144}, size_t{1} << 20}) {
        std::string content = twtest::randomBytes(size, static_cast<unsigned>(size));
        std::string path = dir.write("f" + std::to_string(size), content);
        auto record = TWFileUtility::initWithPath(path);
        EXPECT_EQ(record->hashString(), md5sumOf(expectedSample(content))) << size;
    }
    // 6144 bytes: the kilobytes at 2048 and 4096, not the first and last.
    std::string content = twtest::randomBytes(6144, 7);
    auto record = TWFileUtility::initWithPath(dir.write("six", content));
    EXPECT_EQ(record->hashString(), md5sumOf(content.substr(2048, 1024) + content.substr(4096, 1024)));
}

TEST(FileHash, EmptyFilesHashByTheirOwnPathAndNeverMatch) {
    twtest::TempDir dir;
    auto a = TWFileUtility::initWithPath(dir.write("a.txt", ""));
    auto b = TWFileUtility::initWithPath(dir.write("b.txt", ""));
    EXPECT_FALSE(a->getResourceForkData().has_value());
    EXPECT_EQ(a->hashString(), md5sumOf(a->filePath()));
    EXPECT_NE(a->hashString(), b->hashString());
}

TEST(FileHash, SameSampleDifferentContentHashesEqualButDigestsDiffer) {
    twtest::TempDir dir;
    std::string content = twtest::randomBytes(9000, 3);
    std::string changed = content;
    changed[100] ^= 0x5A;  // outside the kilobytes at 3000 and 6000
    auto a = TWFileUtility::initWithPath(dir.write("a.bin", content));
    auto b = TWFileUtility::initWithPath(dir.write("b.bin", changed));
    EXPECT_EQ(a->hashString(), b->hashString());
    ASSERT_TRUE(a->contentDigest().has_value());
    ASSERT_TRUE(b->contentDigest().has_value());
    EXPECT_NE(a->contentDigest(), b->contentDigest());
    auto c = TWFileUtility::initWithPath(dir.write("c.bin", content));
    EXPECT_EQ(a->contentDigest(), c->contentDigest());
}

TEST(FileHash, HashAndDigestAreComputedOnceAndKept) {
    twtest::TempDir dir;
    std::string path = dir.write("a.txt", "first content");
    auto record = TWFileUtility::initWithPath(path);
    EXPECT_EQ(record->cachedHashString(), std::nullopt);
    auto hash = record->hashString();
    auto digest = record->contentDigest();
    dir.write("a.txt", "other content");
    EXPECT_EQ(record->hashString(), hash);
    EXPECT_EQ(record->cachedHashString(), hash);
    EXPECT_EQ(record->contentDigest(), digest);
}

TEST(FileHash, DigestStreamsAcrossChunksAndMatchesOneShotXxh3) {
    twtest::TempDir dir;
    // Whole blocks end with a read that finds nothing; a short last block ends by itself.
    for (size_t size : {size_t{0}, size_t{5}, size_t{128} << 10, (size_t{600} << 10) + 17}) {
        std::string content = twtest::randomBytes(size, 11);
        auto record = TWFileUtility::initWithPath(dir.write("d" + std::to_string(size), content));
        XXH128_hash_t expected = XXH3_128bits(content.data(), content.size());
        auto digest = record->contentDigest();
        ASSERT_TRUE(digest.has_value()) << size;
        EXPECT_EQ(digest->high, expected.high64);
        EXPECT_EQ(digest->low, expected.low64);
    }
}

TEST(FileHash, AFileReadWholeForItsSampleKeepsItsDigestFromTheSameRead) {
    twtest::TempDir dir;
    for (size_t size : {size_t{1}, size_t{2047}, size_t{2048}, size_t{6143}, size_t{6144}}) {
        const std::string content = twtest::randomBytes(size, 13);
        const std::string path = dir.write("w" + std::to_string(size), content);
        auto record = TWFileUtility::initWithPath(path);
        ASSERT_TRUE(record->hashString()) << size;
        if (size > 6143) {
            EXPECT_FALSE(record->cachedDigest()) << "two kilobytes were read, not the whole file";
            continue;
        }
        const XXH128_hash_t expected = XXH3_128bits(content.data(), content.size());
        const auto kept = record->cachedDigest();
        ASSERT_TRUE(kept) << size;
        EXPECT_EQ(kept->high, expected.high64);
        EXPECT_EQ(kept->low, expected.low64);
        // The kept digest is what a full read gives, and it tells the bytes apart.
        EXPECT_EQ(kept, TWFileUtility::initWithPath(path)->contentDigest());
        std::string changed = content;
        changed[size / 2] ^= 0x21;
        dir.write("w" + std::to_string(size), changed);
        auto other = TWFileUtility::initWithPath(path);
        ASSERT_TRUE(other->hashString());
        EXPECT_NE(other->cachedDigest(), kept);
    }
}

TEST(FileHash, ItemsThatAreNotRegularFilesAreNeverReadAndHashByPath) {
    twtest::TempDir dir;
    // A FIFO without a writer would block an ordinary open or read forever.
    std::vector<std::string> paths = {dir.fifo("pipe"), dir.mkdir("folder.txt"), "/dev/null"};
    tw::LogCapture log;
    for (const auto& path : paths) {
        auto record = TWFileUtility::initWithPath(path);
        EXPECT_EQ(record->hashString(), md5sumOf(record->filePath())) << path;
        EXPECT_EQ(record->contentDigest(), std::nullopt) << path;
    }
    EXPECT_FALSE(log.contains("No access right"));
}

TEST(FileHash, MissingFileHashesByPathAndLogsOnFirstUseOnly) {
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir / "gone.txt");
    tw::LogCapture log;
    EXPECT_EQ(record->hashString(), md5sumOf(record->filePath()));
    EXPECT_EQ(record->hashString(), md5sumOf(record->filePath()));
    EXPECT_EQ(log.count("No access right(" + record->filePath() + ")."), 1u);
    EXPECT_EQ(record->contentDigest(), std::nullopt);
}

TEST(FileHash, UnreadableFileHashesByPathAndLogsOnce) {
    twtest::TempDir dir;
    std::string path = dir.write("secret.txt", "private content");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    int rc = twtest::runAsUnprivileged([&] {
        auto record = TWFileUtility::initWithPath(path);
        tw::LogCapture log;
        if (record->hashString() != TWHashUtility::hashStringWithString(path)) return 1;
        record->hashString();
        if (log.count("No access right(" + path + ").") != 1) return 2;
        if (record->contentDigest().has_value()) return 3;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST(FileHash, NameThatIsNotUtf8IsKeptAndHashedByItsBytes) {
    twtest::TempDir dir;
    const std::string name = "bad\xff\xfe name\xc3.txt";
    std::string path = dir.write(name, "");
    auto record = TWFileUtility::initWithPath(path);
    EXPECT_EQ(TWFileUtility::lastPathComponent(record->filePath()), name);
    EXPECT_EQ(record->fileName(), "bad\xff\xfe name\xc3");
    EXPECT_EQ(record->category(), TWCategory_documents);
    EXPECT_TRUE(record->hasIdentity());
    EXPECT_EQ(record->hashString(), md5sumOf(record->filePath()));
    // A neighbour whose name differs only in an invalid byte is another file.
    auto other = TWFileUtility::initWithPath(dir.write("bad\xff\xfd name\xc3.txt", ""));
    EXPECT_FALSE(record->isSameFile(*other));
    EXPECT_NE(record->hashString(), other->hashString());
}

}  // namespace
