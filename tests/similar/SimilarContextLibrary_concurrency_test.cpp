// A context's library context is filled on first need; threads that meet their first
// images at once fill it once.

#include <gtest/gtest.h>

#include <thread>

#include "ImageFixtures.h"
#include "platform/Log.h"
#include "similar/ZPImageSignature.h"
#include "similar/ZPSimilarContext.h"

namespace {

// A context's first signatures, made by several threads at once, share one library
// context filled once.
TEST(SimilarContextLibrary, FirstSignaturesFromManyThreadsShareOneFilledContext) {
    twtest::TempDir dir;
    const std::string path = twtest::writePng(dir, "a.png", twtest::noiseImage(16, 12, 3, 10, 90, 40, 60).get());
    ZPSimilarContext context;
    context.setMaxHeight(4000);
    context.setContextOptions();
    tw::LogCapture log;

    std::vector<std::shared_ptr<ZPImageSignature>> signatures(8);
    std::vector<std::thread> workers;
    for (size_t i = 0; i < signatures.size(); ++i)
        workers.emplace_back([&, i] { signatures[i] = ZPImageSignature::initWithPathFile(path, context); });
    for (auto& worker : workers) worker.join();

    for (const auto& signature : signatures) {
        ASSERT_TRUE(signature);
        EXPECT_EQ(signature->context(), context.puzzleContext());
        EXPECT_EQ(signature->resolutionText(), "16x12");
    }
    EXPECT_EQ(context.puzzleContext()->puzzle_max_height, 4000u);
    EXPECT_TRUE(log.lines().empty()) << log.lines()[0];
}

}  // namespace
