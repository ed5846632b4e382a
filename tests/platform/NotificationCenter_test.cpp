#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Log.h"

namespace {

using tw::Notification;
using tw::NotificationCenter;

TEST(NotificationCenterTest, DeliversToObserversOfTheNameInOrderOfAddition) {
    NotificationCenter center;
    std::vector<std::string> calls;
    auto a = center.addObserver(
        "A", [&](const Notification& n) { calls.push_back("a1:" + std::any_cast<std::string>(n.object)); });
    auto b = center.addObserver("B", [&](const Notification&) { calls.push_back("b"); });
    auto a2 = center.addObserver("A", [&](const Notification& n) { calls.push_back("a2:" + n.name); });
    center.post("A", std::string("x"));
    EXPECT_EQ(calls, (std::vector<std::string>{"a1:x", "a2:A"}));
}

TEST(NotificationCenterTest, AnObserverMayRemoveItselfOrALaterOneDuringDelivery) {
    NotificationCenter center;
    std::vector<std::string> calls;
    NotificationCenter::Observer first, second, third;
    first = center.addObserver("N", [&](const Notification&) {
        calls.push_back("first");
        first.reset();
        third.reset();
    });
    second = center.addObserver("N", [&](const Notification&) { calls.push_back("second"); });
    third = center.addObserver("N", [&](const Notification&) { calls.push_back("third"); });
    center.post("N");
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second", "second"}));
}

TEST(NotificationCenterTest, ObserversAddedDuringDeliveryHearOnlyLaterPosts) {
    NotificationCenter center;
    int late = 0;
    NotificationCenter::Observer added;
    auto adder = center.addObserver("N", [&](const Notification&) {
        if (!added) added = center.addObserver("N", [&](const Notification&) { ++late; });
    });
    center.post("N");
    EXPECT_EQ(late, 0);
    center.post("N");
    EXPECT_EQ(late, 1);
}

TEST(NotificationCenterTest, TokenMoveKeepsTheRegistrationAndResetEndsIt) {
    NotificationCenter center;
    int calls = 0;
    NotificationCenter::Observer kept;
    {
        auto temporary = center.addObserver("N", [&](const Notification&) { ++calls; });
        NotificationCenter::Observer moved(std::move(temporary));
        kept = std::move(moved);
        EXPECT_FALSE(temporary);
        EXPECT_FALSE(moved);
    }  // moved-from tokens are destroyed here and must not unregister
    center.post("N");
    EXPECT_EQ(calls, 1);
    kept = NotificationCenter::Observer();
    center.post("N");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, AThrowingObserverIsLoggedAndTheOthersStillHear) {
    tw::LogCapture capture;
    NotificationCenter center;
    bool second = false;
    auto a = center.addObserver("N", [](const Notification&) { throw std::runtime_error("bad observer"); });
    auto b = center.addObserver("N", [&](const Notification&) { second = true; });
    center.post("N");
    EXPECT_TRUE(second);
    EXPECT_TRUE(capture.contains("bad observer"));
}

}  // namespace
