#include "platform/SessionEvents.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrivateBus.h"
#include "TestSupport.h"
#include "platform/GLibThread.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kBound = 30s;

TEST(GLibThreadTest, InvokeRunsOnTheGLibThreadInOrder) {
    auto& glib = tw::GLibThread::shared();
    EXPECT_FALSE(glib.isCurrent());
    std::vector<int> order;
    bool onThread = false;
    bool contextIsDefault = false;
    glib.invoke([&] { order.push_back(1); });
    glib.invokeAndWait([&] {
        onThread = glib.isCurrent();
        contextIsDefault = g_main_context_get_thread_default() == glib.context();
        glib.invokeAndWait([&] { order.push_back(2); });  // nested: runs at once
        order.push_back(3);
    });
    EXPECT_TRUE(onThread);
    EXPECT_TRUE(contextIsDefault);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(GLibThreadTest, ToMainQueueDeliversOnTheMainThread) {
    bool delivered = false;
    tw::GLibThread::shared().invoke([&] { tw::GLibThread::toMainQueue([&] { delivered = true; }); });
    EXPECT_TRUE(twtest::runMainQueueUntil([&] { return delivered; }, kBound));
}

// Emits one of logind's manager signals from `peer`.
void emitLogind(GDBusConnection* peer, const char* signal, bool value) {
    GError* error = nullptr;
    ASSERT_TRUE(g_dbus_connection_emit_signal(peer, nullptr, "/org/freedesktop/login1",
                                              "org.freedesktop.login1.Manager", signal, g_variant_new("(b)", value),
                                              &error))
        << (error ? error->message : "");
    ASSERT_TRUE(g_dbus_connection_flush_sync(peer, nullptr, nullptr));
}

// A round trip to the bus: everything `peer` sent before has been routed.
void roundTrip(GDBusConnection* peer) {
    GVariant* reply =
        g_dbus_connection_call_sync(peer, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                    "GetId", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
    ASSERT_TRUE(reply);
    g_variant_unref(reply);
}

class SessionEventsTest : public ::testing::Test {
protected:
    tw::SessionEvents::Callbacks recorder() {
        return {[this](bool start) { events.push_back(start ? "sleep" : "wake"); },
                [this] { events.push_back("powerOff"); },
                [this](const std::string& path) { events.push_back("unmount " + path); }};
    }
    bool waitForEvents(size_t n) {
        return twtest::runMainQueueUntil([&] { return events.size() >= n; }, kBound);
    }
    std::vector<std::string> events;  // main thread only
};

TEST_F(SessionEventsTest, DeliversLogindSleepWakeAndShutdownOnTheMainQueue) {
    twtest::PrivateBus bus;
    auto logind = bus.connect();
    ASSERT_TRUE(twtest::PrivateBus::ownName(logind.get(), "org.freedesktop.login1"));
    tw::SessionEvents session(recorder(), {bus.address(), false});
    ASSERT_TRUE(session.waitUntilSubscribed(kBound));

    emitLogind(logind.get(), "PrepareForSleep", true);
    emitLogind(logind.get(), "PrepareForSleep", false);
    emitLogind(logind.get(), "PrepareForShutdown", false);  // a cancelled shutdown: nothing
    emitLogind(logind.get(), "PrepareForShutdown", true);
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_EQ(events, (std::vector<std::string>{"sleep", "wake", "powerOff"}));
}

TEST_F(SessionEventsTest, IgnoresTheSignalFromAPeerThatIsNotLogind) {
    twtest::PrivateBus bus;
    auto logind = bus.connect();
    auto impostor = bus.connect();
    ASSERT_TRUE(twtest::PrivateBus::ownName(logind.get(), "org.freedesktop.login1"));
    tw::SessionEvents session(recorder(), {bus.address(), false});
    ASSERT_TRUE(session.waitUntilSubscribed(kBound));

    emitLogind(impostor.get(), "PrepareForShutdown", true);
    roundTrip(impostor.get());
    emitLogind(logind.get(), "PrepareForSleep", true);
    ASSERT_TRUE(waitForEvents(1));
    tw::MainQueue::shared().runPending();
    EXPECT_EQ(events, (std::vector<std::string>{"sleep"}));
}

TEST_F(SessionEventsTest, NoBusMeansNoEventsAndNoLogLines) {
    tw::LogCapture capture;
    twtest::TempDir dir;
    tw::SessionEvents session(recorder(), {"unix:path=" + dir / "no-bus-here", false});
    EXPECT_FALSE(session.waitUntilSubscribed(kBound));
    EXPECT_TRUE(capture.lines().empty());
}

TEST_F(SessionEventsTest, NothingArrivesAfterDestruction) {
    twtest::PrivateBus bus;
    auto logind = bus.connect();
    ASSERT_TRUE(twtest::PrivateBus::ownName(logind.get(), "org.freedesktop.login1"));
    {
        tw::SessionEvents first(recorder(), {bus.address(), false});
        ASSERT_TRUE(first.waitUntilSubscribed(kBound));
        emitLogind(logind.get(), "PrepareForSleep", true);
        roundTrip(logind.get());  // routed before `second` exists
        // The event may already sit in the main queue when `first` goes.
    }
    tw::SessionEvents second(recorder(), {bus.address(), false});
    ASSERT_TRUE(second.waitUntilSubscribed(kBound));
    emitLogind(logind.get(), "PrepareForSleep", false);
    ASSERT_TRUE(waitForEvents(1));
    tw::MainQueue::shared().runPending();
    EXPECT_EQ(events, (std::vector<std::string>{"wake"}));
}

TEST_F(SessionEventsTest, WatchingVolumesStartsAndStopsCleanly) {
    twtest::TempDir dir;
    tw::SessionEvents session(recorder(), {"unix:path=" + dir / "no-bus-here", true});
    EXPECT_FALSE(session.waitUntilSubscribed(kBound));
    EXPECT_TRUE(events.empty());
}

}  // namespace
