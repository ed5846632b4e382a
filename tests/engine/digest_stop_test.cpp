// A full-content digest reads a whole file: it passes the scan's pause gate and tests
// its stop flag between blocks, and shows how far it has read, so that a scan busy with
// one huge file stops at once and never looks hung.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "ScanHarness.h"
#include "files/TWReadControl.h"

using namespace twtest;
using namespace std::chrono_literals;

namespace {

constexpr uint64_t kBlock = 64u << 10;  // the digest's block

TEST(DigestControl, TheGateIsPassedBeforeEveryBlockAndAStopLeavesNoDigestCached) {
    TempDir dir;
    const std::string path = dir.write("ten-blocks.bin", randomBytes(10 * kBlock + 5, 3));
    auto record = TWFileUtility::initWithPath(path);

    std::atomic<bool> stop{false};
    int gates = 0;
    TWReadControl stopping(stop, [&] { stop = ++gates == 4; });
    EXPECT_FALSE(record->contentDigest(&stopping));
    EXPECT_EQ(stopping.blocksRead(), 3u);
    EXPECT_EQ(stopping.bytesRead(), 3 * kBlock);
    EXPECT_EQ(stopping.progress().files, 0u);
    EXPECT_EQ(stopping.progress().bytesRead, 0u);
    EXPECT_EQ(stopping.progress().bytesTotal, 0u);

    // Nothing was cached: the next asker reads the whole file.
    const auto whole = record->contentDigest();
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, *TWFileUtility::initWithPath(path)->contentDigest());

    std::atomic<bool> never{false};
    int passes = 0;
    TWReadControl counting(never, [&] { ++passes; });
    auto again = TWFileUtility::initWithPath(path);
    EXPECT_EQ(again->contentDigest(&counting), whole);
    // The short last block reaches the size the file was opened with: no read is spent
    // on learning that nothing follows (a file of whole blocks needs that one, below).
    EXPECT_EQ(passes, 11) << "eleven blocks, the last one short";
    EXPECT_EQ(counting.blocksRead(), 11u);
    EXPECT_EQ(counting.bytesRead(), 10 * kBlock + 5);
}

TEST(DigestControl, ProgressShowsTheReadsUnderWay) {
    TempDir dir;
    const std::string path = dir.write("two-blocks.bin", randomBytes(2 * kBlock, 4));
    std::atomic<bool> stop{false};
    std::vector<TWReadControl::Progress> seen;
    TWReadControl* control = nullptr;
    TWReadControl watching(stop, [&] { seen.push_back(control->progress()); });
    control = &watching;
    ASSERT_TRUE(TWFileUtility::initWithPath(path)->contentDigest(&watching));
    ASSERT_EQ(seen.size(), 3u);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].files, 1u);
        EXPECT_EQ(seen[i].bytesRead, i * kBlock);
        EXPECT_EQ(seen[i].bytesTotal, 2 * kBlock);
    }
}

TEST(DigestStop, AStopDuringTheDigestOfAHugeFileEndsTheScanAtOnce) {
    ScopedDefaults defaults;
    TempDir dir;
    // Two equal sparse files: equal sizes and sampled hashes, so their whole contents
    // are compared; each read is long, but costs no disk.
    constexpr off_t kSize = off_t{4} << 30;
    for (const char* name : {"a.bin", "b.bin"}) {
        const int fd = ::open((dir / name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, kSize), 0);
        ::close(fd);
    }
    auto engine = TWSearchDuplicateFiles::init(quietOptions());
    engine->searchRootPaths({dir.path()});
    ScanObserver observer(engine);
    engine->startSearch();
    ASSERT_TRUE(runMainQueueUntil([&] { return engine->digestProgress().bytesRead > 0 || observer.finished; }, 60s));
    ASSERT_FALSE(observer.finished) << "the digests ended before the test could stop them";
    EXPECT_EQ(engine->digestProgress().bytesTotal % kSize, 0u);

    engine->stopSearch();
    const uint64_t blocksAtStop = engine->blocksReadByDigests();
    ASSERT_TRUE(observer.waitFinished());
    // Each digest under way finishes at most the block it was reading.
    EXPECT_LE(engine->blocksReadByDigests() - blocksAtStop, 2u);
    EXPECT_LT(engine->bytesReadByDigests(), static_cast<uint64_t>(kSize));
    EXPECT_EQ(engine->digestProgress().files, 0u);
    EXPECT_TRUE(groupsOf(observer.report, dir.path()).empty()) << "a stopped digest matches nothing";
}

}  // namespace
