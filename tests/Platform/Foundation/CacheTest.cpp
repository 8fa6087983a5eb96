#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Foundation/AssociatedObjects.h"
#include "Foundation/Cache.h"
#include "Foundation/MIMEType.h"
#include "Foundation/OperationQueue.h"

namespace {

std::vector<std::string> keysPresent(ns::Cache& cache, std::initializer_list<const char*> keys) {
  std::vector<std::string> present;
  for (const char* k : keys)
    if (cache.objectForKey(k)) present.push_back(k);
  return present;
}

TEST(CacheTest, EvictsLeastRecentlyUsedPastEachLimit) {
  struct Case {
    const char* name;
    std::size_t countLimit, costLimit, budget;
    std::vector<std::string> kept;
  } cases[] = {
      // a, b, c, d are added with costs 10, 20, 30, 40; a is read after c was added.
      {"no limits", 0, 0, 0, {"a", "b", "c", "d"}},
      {"count", 3, 0, 0, {"a", "c", "d"}},
      {"cost", 0, 70, 0, {"a", "d"}},
      {"budget without cost limit", 0, 0, 50, {"d"}},
      {"smaller of cost limit and budget", 0, 100, 75, {"a", "d"}},
  };
  for (const auto& c : cases) {
    auto cache = std::make_shared<ns::Cache>();
    cache->setCountLimit(c.countLimit);
    cache->setTotalCostLimit(c.costLimit);
    cache->setMemoryBudget(c.budget);
    cache->setObject("A", "a", 10);
    cache->setObject("B", "b", 20);
    cache->setObject("C", "c", 30);
    cache->objectForKey("a");
    cache->setObject("D", "d", 40);
    EXPECT_EQ(cache->count(), c.kept.size()) << c.name;
    EXPECT_EQ(keysPresent(*cache, {"a", "b", "c", "d"}), c.kept) << c.name;
    std::size_t cost = 0;
    for (const auto& k : c.kept) cost += (k[0] - 'a' + 1) * 10;
    EXPECT_EQ(cache->totalCost(), cost) << c.name;
  }
}

TEST(CacheTest, ReplacesRemovesAndDropsWhatCannotFit) {
  auto cache = std::make_shared<ns::Cache>();
  cache->setTotalCostLimit(100);
  cache->setObject("one", "k", 60);
  cache->setObject("two", "k", 70);
  EXPECT_EQ(cache->objectForKey("k"), ns::Value("two"));
  EXPECT_EQ(cache->totalCost(), 70u);
  cache->setObject("huge", "h", 101);
  EXPECT_FALSE(cache->objectForKey("h"));
  cache->setObject(ns::Value(), "k");
  EXPECT_EQ(cache->count(), 0u);
  EXPECT_EQ(cache->totalCost(), 0u);
  cache->setObject("x", "x", 1);
  cache->removeAllObjects();
  EXPECT_FALSE(cache->objectForKey("x"));
  // Lowering a limit trims at once.
  for (int i = 0; i < 5; ++i) cache->setObject(i, std::to_string(i), 1);
  cache->setCountLimit(2);
  EXPECT_EQ(cache->count(), 2u);
}

TEST(CacheTest, StaysConsistentUnderConcurrentUse) {
  auto cache = std::make_shared<ns::Cache>();
  cache->setCountLimit(50);
  auto queue = std::make_shared<ns::OperationQueue>();
  std::vector<ns::OperationPtr> work;
  for (int t = 0; t < 4; ++t)
    work.push_back(ns::BlockOperation::blockOperationWithBlock([cache, t] {
      for (int i = 0; i < 2000; ++i) {
        std::string key = std::to_string((i * 7 + t) % 120);
        if (i % 3 == 0)
          cache->setObject(i, key, 1);
        else
          cache->objectForKey(key);
      }
    }));
  queue->addOperations(work, true);
  EXPECT_LE(cache->count(), 50u);
  EXPECT_EQ(cache->totalCost(), cache->count());
}

TEST(MIMETypeTest, MapsExtensionsInAnyCaseAndUnknownToNothing) {
  struct Case {
    const char* extension;
    std::optional<std::string> type;
  } cases[] = {
      {"png", "image/png"},
      {"JPG", "image/jpeg"},
      {"Txt", "text/plain"},
      {"json", "application/json"},
      {"plist", "application/x-plist"},
      {"zzqx", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ns::MIMETypeForPathExtension(c.extension), c.type) << c.extension;
}

TEST(MIMETypeTest, ReadsTheMimeTypesLayoutFirstEntryWinning) {
  auto table = ns::MIMETypeTable::fromMimeTypesText(
      "# comment image/fake png\n"
      "text/x-one  one ONE2   # trailing comment\n"
      "text/x-two\tone two\n"
      "notatype three\n"
      "application/empty\n");
  EXPECT_EQ(table.typeForExtension("one"), "text/x-one");
  EXPECT_EQ(table.typeForExtension("one2"), "text/x-one");
  EXPECT_EQ(table.typeForExtension("TWO"), "text/x-two");
  EXPECT_EQ(table.typeForExtension("png"), std::nullopt);
  EXPECT_EQ(table.typeForExtension("three"), std::nullopt);
  EXPECT_EQ(table.size(), 3u);
  auto fallback = ns::MIMETypeTable::fromMimeTypesText("text/x-other one\nimage/png png\n");
  table.merge(fallback);
  EXPECT_EQ(table.typeForExtension("one"), "text/x-one");
  EXPECT_EQ(table.typeForExtension("png"), "image/png");
}

struct Tracked final : ns::Object {
  explicit Tracked(int* deaths) : deaths_(deaths) {}
  ~Tracked() override { ++*deaths_; }
  int* deaths_;
};

TEST(AssociatedObjectsTest, AttachReplaceAndReleaseWithTheOwner) {
  static const char keyA = 0, keyB = 0;
  int deaths = 0;
  auto owner = std::make_shared<ns::Object>();
  EXPECT_FALSE(ns::getAssociatedObject(*owner, &keyA));
  ns::setAssociatedObject(*owner, &keyA, ns::Value(std::make_shared<Tracked>(&deaths)));
  ns::setAssociatedObject(*owner, &keyB, "b");
  EXPECT_TRUE(ns::getAssociatedObject(*owner, &keyA).asObject<Tracked>());
  EXPECT_EQ(ns::getAssociatedObject(*owner, &keyB), ns::Value("b"));
  // Replacing releases the earlier value; nil removes.
  ns::setAssociatedObject(*owner, &keyA, ns::Value(std::make_shared<Tracked>(&deaths)));
  EXPECT_EQ(deaths, 1);
  ns::setAssociatedObject(*owner, &keyB, ns::Value());
  EXPECT_FALSE(ns::getAssociatedObject(*owner, &keyB));
  owner.reset();
  EXPECT_EQ(deaths, 2);
}

TEST(AssociatedObjectsTest, AValueMayClearItsOwnerWhileBeingReleased) {
  static const char key = 0;
  auto owner = std::make_shared<ns::Object>();
  struct ClearsOwner final : ns::Object {
    std::weak_ptr<ns::Object> owner;
    ~ClearsOwner() override {
      if (auto o = owner.lock()) ns::removeAssociatedObjects(*o);
    }
  };
  auto value = std::make_shared<ClearsOwner>();
  value->owner = owner;
  ns::setAssociatedObject(*owner, &key, ns::Value(value));
  value.reset();
  ns::setAssociatedObject(*owner, &key, ns::Value());  // must not deadlock
  EXPECT_FALSE(ns::getAssociatedObject(*owner, &key));
}

}  // namespace
