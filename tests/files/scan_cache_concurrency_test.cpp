// One session of the scan cache used by many threads at once, as a scan's walkers and
// signers use it: every value served is the one kept for that file.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "files/TWScanCache.h"

namespace {

TEST(ScanCacheConcurrency, ThreadsRecallingAndRememberingAtOnceGetTheirOwnFilesValues) {
    twtest::TempDir dir;
    const std::string cachePath = dir / "cache.sqlite3";
    std::vector<std::string> paths;
    for (int i = 0; i < 400; ++i) paths.push_back(dir.write("f" + std::to_string(i), twtest::randomBytes(3000, i)));
    twtest::letFileTimesSettle();
    std::vector<TWMD5> hashes;
    for (const auto& path : paths) hashes.push_back(TWFileUtility::contentHashOfPath(path));

    for (int round = 0; round < 2; ++round) {
        auto cache = TWScanCache::open(cachePath);
        ASSERT_NE(cache, nullptr);
        std::vector<std::thread> threads;
        std::vector<int> wrong(4, 0);
        std::atomic<uint64_t> recalls{0};
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (size_t i = t % 2; i < paths.size(); i += 2) {  // two threads per file
                    auto record = TWFileUtility::initWithPath(paths[i]);
                    ++recalls;
                    if (!cache->recall(*record) && round == 1) ADD_FAILURE() << "not served: " << paths[i];
                    if (record->hashString() != TWHashUtility::hexStringOfMD5(hashes[i])) ++wrong[t];
                    record->contentDigest();
                    cache->remember(*record);
                }
            });
        for (auto& thread : threads) thread.join();
        cache->finish();
        for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
        if (round == 1) {
            EXPECT_EQ(cache->numberWritten(), 0u) << "the second round had everything served";
        }
        EXPECT_EQ(recalls.load(), 2 * paths.size());
        EXPECT_EQ(cache->numberServed(), round == 0 ? 0u : recalls.load());
    }
}

}  // namespace
