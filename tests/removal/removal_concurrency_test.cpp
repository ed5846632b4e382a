// While a removal step works on a file, the GUI thread can still read the results and
// the run's counters: no lock of the results is held across a file operation.

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "InMemoryMediaLibrary.h"
#include "RemovalRunSupport.h"
#include "TestSupport.h"
#include "engine/TWMediaObjectUtility.h"
#include "removal/TWRemovalRun.h"

namespace {

using namespace removaltest;

TEST(RemovalConcurrency, ResultsStayReadableWhileAStepIsBusy) {
    twtest::TempDir dir;
    auto executor = std::make_shared<HoldingExecutor>(1);
    tw::ScriptExecutor::install(executor);
    auto object =
        std::make_shared<twtest::InMemoryMediaObject>("ID-1", dir.write("p.jpg", "p"), MLMediaSourcePhotosIdentifier);
    auto item = TWMediaObjectUtility::initWithMediaObject(object, MLMediaSourcePhotosIdentifier);
    auto group = groupOf({{recordOf(dir.write("kept.jpg", "p")), false}, {item, true}});
    auto container = containerOf(TWCategory_images, {group});
    auto progress = std::make_shared<RecordingProgress>();
    auto run = TWRemovalRun::create(std::make_shared<ContainerSource>(std::vector{container}), progress, {});
    run->start();
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return executor->isHeld(); }));

    auto reading = std::async(std::launch::async, [&] {
        return group->numberOfChecked() + group->numberOfFiles() + container->numberOfFilesCheckedToRemoved();
    });
    const bool answered = reading.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    EXPECT_EQ(run->remainingCount(), 0u);  // the run's own counters, read without a lock
    executor->release();
    EXPECT_TRUE(answered) << "a read of the results waited for the file operation";
    EXPECT_EQ(reading.get(), 1u + 2u + 1u);
    ASSERT_TRUE(twtest::runMainQueueUntil([&] { return progress->finished; }));
    EXPECT_EQ(group->numberOfFiles(), 1u);
    tw::ScriptExecutor::install(nullptr);
}

}  // namespace
