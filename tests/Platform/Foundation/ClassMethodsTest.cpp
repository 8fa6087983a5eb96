#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Foundation/ClassMethods.h"
#include "Foundation/ClassRegistry.h"

namespace {

using Answer = int(std::string_view receiver);

struct Base : ns::Object {};
struct Derived : Base {};

void registerClasses() {
  static bool done = [] {
    ns::ClassRegistry::shared().registerClass<Base>("ClassMethodsTestBase");
    ns::ClassRegistry::shared().registerClass<Derived>("ClassMethodsTestDerived", "ClassMethodsTestBase");
    ns::ClassRegistry::shared().registerClass<Derived>("ClassMethodsTestLeaf", "ClassMethodsTestDerived");
    ns::ClassMethods::shared().setMethod<Answer>("ClassMethodsTestBase", "answer",
                                                 [](std::string_view) { return 1; });
    ns::ClassMethods::shared().setMethod<std::string(std::string_view)>(
        "ClassMethodsTestBase", "who", [](std::string_view receiver) { return std::string(receiver); });
    return true;
  }();
  (void)done;
}

int answer(std::string_view cls) {
  auto method = ns::ClassMethods::shared().method<Answer>(cls, "answer");
  return method ? method(cls) : -1;
}

TEST(ClassMethodsTest, InheritedUntilASubclassSetsItsOwn) {
  registerClasses();
  auto& methods = ns::ClassMethods::shared();
  EXPECT_EQ(
      methods.method<std::string(std::string_view)>("ClassMethodsTestLeaf", "who")("ClassMethodsTestLeaf"),
      "ClassMethodsTestLeaf");
  EXPECT_EQ(answer("ClassMethodsTestLeaf"), 1);
  EXPECT_FALSE(methods.definesMethod("ClassMethodsTestLeaf", "answer"));

  methods.setMethod<Answer>("ClassMethodsTestDerived", "answer", [](std::string_view) { return 2; });
  struct Case {
    const char* cls;
    int expected;
  } cases[] = {{"ClassMethodsTestBase", 1},
               {"ClassMethodsTestDerived", 2},
               {"ClassMethodsTestLeaf", 2},
               {"NoSuchClass", -1}};
  for (const auto& c : cases) EXPECT_EQ(answer(c.cls), c.expected) << c.cls;
  // A signature other than the one set finds nothing instead of a bad cast.
  EXPECT_FALSE((methods.method<long(std::string_view)>("ClassMethodsTestBase", "answer")));
}

TEST(ClassMethodsTest, ReplacementAndLookUpFromManyThreads) {
  registerClasses();
  std::vector<std::thread> threads;
  std::atomic<int> misses{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &misses] {
      for (int i = 0; i < 200; ++i) {
        if (t % 2)
          ns::ClassMethods::shared().setMethod<Answer>("ClassMethodsTestLeaf", "race",
                                                       [i](std::string_view) { return i; });
        else if (answer("ClassMethodsTestLeaf") != 1 && answer("ClassMethodsTestLeaf") != 2)
          ++misses;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(misses.load(), 0);
  EXPECT_TRUE(ns::ClassMethods::shared().definesMethod("ClassMethodsTestLeaf", "race"));
}

}  // namespace
