#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "Foundation/NotificationCenter.h"

namespace {

using ns::Notification;
using ns::NotificationCenter;

struct Listener : ns::Object {};

TEST(NotificationCenterTest, DeliversInRegistrationOrderToMatchingObservers) {
  auto center = std::make_shared<NotificationCenter>();
  auto a = std::make_shared<Listener>(), b = std::make_shared<Listener>();
  auto sender = std::make_shared<Listener>();
  std::vector<std::string> heard;
  center->addObserver(b, [&](const Notification& n) { heard.push_back("b:" + n.name); }, "TLOpenVideoItem");
  center->addObserver(a, [&](const Notification& n) { heard.push_back("a:" + n.name); }, "");
  center->addObserver(a, [&](const Notification&) { heard.push_back("a:sender"); }, "TLReloadContent", ns::Value(sender));
  center->addObserver(b, [&](const Notification& n) { heard.push_back("b:" + *n.object["id"].asString()); },
                      "TLShowCategory", ns::Value(ns::Dictionary{{"id", "5"}}));

  center->postNotificationName("TLOpenVideoItem", ns::Value(ns::Dictionary{{"id", 7}}));
  center->postNotificationName("TLReloadContent", ns::Value(std::make_shared<Listener>()));
  center->postNotificationName("TLReloadContent", ns::Value(sender));
  center->postNotificationName("TLShowCategory", ns::Value(ns::Dictionary{{"id", "5"}}));
  center->postNotificationName("TLShowCategory", ns::Value(ns::Dictionary{{"id", "6"}}));
  EXPECT_EQ(heard, (std::vector<std::string>{"b:TLOpenVideoItem", "a:TLOpenVideoItem", "a:TLReloadContent",
                                             "a:TLReloadContent", "a:sender", "a:TLShowCategory", "b:5",
                                             "a:TLShowCategory"}));
}

TEST(NotificationCenterTest, ObserversAreWeakAndLeaveWithTheirOwner) {
  auto center = std::make_shared<NotificationCenter>();
  int calls = 0;
  auto owner = std::make_shared<Listener>();
  center->addObserver(owner, [&](const Notification&) { ++calls; }, "N");
  std::weak_ptr<Listener> weak = owner;
  center->postNotificationName("N");
  owner.reset();
  EXPECT_TRUE(weak.expired());
  center->postNotificationName("N");
  EXPECT_EQ(calls, 1);

  auto kept = std::make_shared<Listener>();
  center->addObserver(kept, [&](const Notification&) { ++calls; }, "N");
  center->addObserver(kept, [&](const Notification&) { calls += 10; }, "M");
  center->removeObserver(kept.get(), "M");
  center->postNotificationName("M");
  center->postNotificationName("N");
  EXPECT_EQ(calls, 2);
  center->removeObserver(kept);
  center->postNotificationName("N");
  EXPECT_EQ(calls, 2);

  auto token = center->addObserverForName("B", ns::Value(), [&](const Notification&) { calls += 100; });
  center->postNotificationName("B");
  center->removeObserver(token);
  center->postNotificationName("B");
  EXPECT_EQ(calls, 102);
}

TEST(NotificationCenterTest, ObserversMayPostAndRemoveDuringDelivery) {
  auto center = std::make_shared<NotificationCenter>();
  auto first = std::make_shared<Listener>(), second = std::make_shared<Listener>();
  std::vector<std::string> heard;
  std::mutex posterLock;
  center->addObserver(first, [&](const Notification& n) {
    heard.push_back("first:" + n.name);
    if (n.name == "outer") {
      center->postNotificationName("inner");
      center->removeObserver(second);
      center->addObserver(first, [&](const Notification&) { heard.push_back("late"); }, "outer");
    }
  }, "");
  center->addObserver(second, [&](const Notification& n) { heard.push_back("second:" + n.name); }, "");
  {
    // The poster holds its own lock while observers run and post again.
    std::lock_guard lock(posterLock);
    center->postNotificationName("outer");
  }
  EXPECT_EQ(heard, (std::vector<std::string>{"first:outer", "first:inner", "second:inner"}));
  center->postNotificationName("outer");
  EXPECT_EQ(heard.back(), "late");
}

TEST(NotificationCenterTest, PostsFromSeveralThreadsSafely) {
  auto center = std::make_shared<NotificationCenter>();
  std::atomic<int> calls{0};
  std::vector<std::shared_ptr<Listener>> listeners;
  for (int i = 0; i < 4; ++i) {
    listeners.push_back(std::make_shared<Listener>());
    center->addObserver(listeners.back(), [&](const Notification&) { ++calls; }, "T");
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        center->postNotificationName("T");
        if (i == 100 && t == 0) center->removeObserver(listeners[3]);
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_GE(calls.load(), 4 * 200 * 3);
  EXPECT_LE(calls.load(), 4 * 200 * 4);
}

}  // namespace
