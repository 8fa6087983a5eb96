#include <gtest/gtest.h>

#include "Foundation/Exception.h"
#include "Foundation/Object.h"
#include "Foundation/Value.h"

namespace {

// An observed object with two keys, one of which can be nil.
struct Observed : ns::Object {
  int status = 0;
  std::shared_ptr<ns::Object> item;
  void setStatus(int s) {
    willChangeValueForKey("status");
    status = s;
    didChangeValueForKey("status");
  }
  void setItem(std::shared_ptr<ns::Object> i) {
    willChangeValueForKey("item");
    item = std::move(i);
    didChangeValueForKey("item");
  }
  ns::Value valueForKey(std::string_view key) const override {
    if (key == "status") return status;
    if (key == "item") return item ? ns::Value(item) : ns::Value();
    return ns::Object::valueForKey(key);
  }
};

struct Heard {
  std::string key;
  ns::Value change;
  void* context;
};

struct Observer : ns::Object {
  std::vector<Heard> heard;
  void observeValueForKeyPath(std::string_view key, ns::Object&, const ns::Value& change,
                              void* context) override {
    heard.push_back({std::string(key), change, context});
  }
};

int statusContext, itemContext;

TEST(KeyValueObservingTest, ObserversHearNewValuesWithTheirContextAndInitialValuesAtOnce) {
  auto observed = std::make_shared<Observed>();
  auto observer = std::make_shared<Observer>();
  observed->addObserver(observer, "status",
                        ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionInitial, &statusContext);
  observed->addObserver(observer, "item", ns::KeyValueObservingOptionNew, &itemContext);
  ASSERT_EQ(observer->heard.size(), 1u);  // the initial value of "status" only
  EXPECT_EQ(observer->heard[0].change[ns::kKeyValueChangeNewKey], ns::Value(0));
  EXPECT_EQ(observer->heard[0].change[ns::kKeyValueChangeKindKey], ns::Value(ns::kKeyValueChangeSetting));

  observed->setStatus(1);
  auto thing = std::make_shared<ns::Object>();
  observed->setItem(thing);
  observed->setItem(nullptr);
  ASSERT_EQ(observer->heard.size(), 4u);
  EXPECT_EQ(observer->heard[1].context, &statusContext);
  EXPECT_EQ(observer->heard[1].change[ns::kKeyValueChangeNewKey], ns::Value(1));
  EXPECT_EQ(observer->heard[2].context, &itemContext);
  EXPECT_EQ(observer->heard[2].change[ns::kKeyValueChangeNewKey].asObject(), thing);
  // No item reads as the platform's null, not as a missing value.
  EXPECT_TRUE(observer->heard[3].change[ns::kKeyValueChangeNewKey].isNull());

  // Without the new-value option the change carries only its kind.
  auto plain = std::make_shared<Observer>();
  observed->addObserver(plain, "status", 0, nullptr);
  observed->setStatus(2);
  ASSERT_EQ(plain->heard.size(), 1u);
  EXPECT_TRUE(plain->heard[0].change[ns::kKeyValueChangeNewKey].isNil());
}

TEST(KeyValueObservingTest, RemovalIsPerKeyAndContextAndFailsForUnknownObservers) {
  auto observed = std::make_shared<Observed>();
  auto observer = std::make_shared<Observer>();
  observed->addObserver(observer, "status", ns::KeyValueObservingOptionNew, &statusContext);
  observed->addObserver(observer, "status", ns::KeyValueObservingOptionNew, &itemContext);
  observed->removeObserver(observer.get(), "status", &statusContext);
  observed->setStatus(5);
  ASSERT_EQ(observer->heard.size(), 1u);
  EXPECT_EQ(observer->heard[0].context, &itemContext);

  observed->removeObserver(observer.get(), "status");
  observed->setStatus(6);
  EXPECT_EQ(observer->heard.size(), 1u);
  try {
    observed->removeObserver(observer.get(), "status");
    FAIL() << "removing an observer that is not registered must throw";
  } catch (const ns::Exception& e) {
    EXPECT_EQ(e.name(), ns::kRangeException);
  }
}

TEST(KeyValueObservingTest, ObserversAreHeldWeaklyAndUnhandledChangesThrow) {
  auto observed = std::make_shared<Observed>();
  auto observer = std::make_shared<Observer>();
  observed->addObserver(observer, "status", ns::KeyValueObservingOptionNew, nullptr);
  std::weak_ptr<Observer> weak = observer;
  observer.reset();
  EXPECT_TRUE(weak.expired());
  observed->setStatus(3);  // nobody left to hear it

  // An object that observes without handling the change gets the platform's exception.
  auto careless = std::make_shared<ns::Object>();
  observed->addObserver(careless, "status", 0, nullptr);
  EXPECT_THROW(observed->setStatus(4), ns::Exception);
}

}  // namespace
