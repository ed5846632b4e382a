// Several threads asking one record's lazy values at once.

#include <gtest/gtest.h>
#include <xxhash.h>

#include <latch>
#include <thread>

#include "TestSupport.h"
#include "files/TWFileUtility.h"
#include "files/TWHashUtility.h"
#include "platform/Log.h"

namespace {

constexpr int kThreads = 8;

template <typename Body>
void runTogether(Body body) {
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            body(i);
        });
    }
    for (auto& t : threads) t.join();
}

TEST(FileRecordConcurrency, HashAndDigestAskedAtOnceAgree) {
    twtest::TempDir dir;
    std::string content = twtest::randomBytes((1 << 20) + 3, 5);
    auto record = TWFileUtility::initWithPath(dir.write("big.bin", content));
    std::vector<std::optional<std::string>> hashes(kThreads);
    std::vector<std::optional<TWContentDigest>> digests(kThreads);
    runTogether([&](int i) {
        if (i % 2) {
            hashes[i] = record->hashString();
            digests[i] = record->contentDigest();
        } else {
            digests[i] = record->contentDigest();
            hashes[i] = record->hashString();
        }
    });
    size_t n = content.size();
    std::string sample = content.substr(n / 3, 1024) + content.substr(2 * n / 3, 1024);
    XXH128_hash_t whole = XXH3_128bits(content.data(), content.size());
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(hashes[i], TWHashUtility::hashStringWithString(sample));
        ASSERT_TRUE(digests[i].has_value());
        EXPECT_EQ(digests[i], (TWContentDigest{whole.high64, whole.low64}));
    }
}

TEST(FileRecordConcurrency, UnopenableFileIsTriedOnceWhoeverAsks) {
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir / "gone.txt");
    tw::LogCapture log;
    std::vector<std::optional<std::string>> hashes(kThreads);
    runTogether([&](int i) { hashes[i] = record->hashString(); });
    EXPECT_EQ(log.count("No access right(" + record->filePath() + ")."), 1u);
    for (const auto& hash : hashes) EXPECT_EQ(hash, TWHashUtility::hashStringWithString(record->filePath()));
}

TEST(FileRecordConcurrency, ResolutionIconAndMarksFromManyThreads) {
    twtest::TempDir dir;
    auto record = TWFileUtility::initWithPath(dir.write("x.png", "not an image"));
    runTogether([&](int i) {
        record->setIsChecked(i % 2 == 0);
        (void)record->resolution();
        (void)record->fileIcon();
        (void)record->formatResolution();
        (void)record->cachedHashString();
        (void)record->hashString();
    });
    EXPECT_TRUE(record->storedResolution().isZero());
}

}  // namespace
