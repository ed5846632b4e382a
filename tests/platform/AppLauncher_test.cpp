#include "platform/AppLauncher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "GioDataHome.h"
#include "TestSupport.h"
#include "platform/Log.h"

using namespace std::chrono_literals;

namespace {

TEST(AppLauncherTest, AnUnknownNameIsLoggedAndRefused) {
    tw::LogCapture capture;
    EXPECT_FALSE(tw::AppLauncher::launchByName("Twinsift No Such Application"));
    EXPECT_EQ(capture.count("no application named Twinsift No Such Application"), 1u);
}

TEST(AppLauncherTest, LaunchesTheEntryWithThatName) {
    ASSERT_TRUE(tw::AppLauncher::launchByName(twtest::kTestApplicationName));
    // The launched program is another process: poll for its side effect, bounded.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!twtest::exists(twtest::gioLaunchMarker()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(twtest::exists(twtest::gioLaunchMarker()));
}

}  // namespace
