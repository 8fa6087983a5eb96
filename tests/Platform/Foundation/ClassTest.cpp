#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Foundation/Class.h"
#include "Foundation/IndexSet.h"

namespace {

struct Base : ns::Object {};
struct Derived : Base {};

const ns::Class& baseClass() {
  static const ns::Class& c =
      ns::Class::registerClass<Base>("ClassTestBase", nullptr, [](const ns::Class& cls) {
        cls.setClassMethod<int(const ns::Class&)>("answer", [](const ns::Class&) { return 1; });
        cls.setClassMethod<std::string(const ns::Class&)>("who",
                                                          [](const ns::Class& self) { return self.name(); });
      });
  return c;
}

const ns::Class& derivedClass() {
  static const ns::Class& c = ns::Class::registerClass<Derived>("ClassTestDerived", &baseClass());
  return c;
}

TEST(ClassTest, LooksUpByNameAndKnowsItsAncestry) {
  const ns::Class& derived = derivedClass();
  EXPECT_EQ(ns::Class::classNamed("ClassTestDerived"), &derived);
  EXPECT_EQ(ns::Class::classNamed("ClassTestBase"), &baseClass());
  EXPECT_EQ(ns::Class::classNamed("NoSuchClassAnywhere"), nullptr);
  EXPECT_TRUE(derived.isSubclassOfClass(baseClass()));
  EXPECT_TRUE(derived.isSubclassOfClass(derived));
  EXPECT_FALSE(baseClass().isSubclassOfClass(derived));
  EXPECT_TRUE(std::dynamic_pointer_cast<Derived>(derived.alloc()));
  // A second registration of a name gives the first class back.
  EXPECT_EQ(&ns::Class::registerClass<Base>("ClassTestDerived", nullptr), &derived);
}

TEST(ClassTest, ClassMethodsAreInheritedUntilOverriddenAndGetTheReceiver) {
  const ns::Class& derived = derivedClass();
  EXPECT_EQ(derived.classMethod<std::string(const ns::Class&)>("who")(derived), "ClassTestDerived");
  EXPECT_FALSE(derived.definesClassMethod("answer"));
  // Wrong signature or unknown selector: no implementation rather than a bad cast.
  EXPECT_FALSE((derived.classMethod<long(const ns::Class&)>("answer")));
  EXPECT_FALSE((derived.classMethod<int(const ns::Class&)>("missing")));

  derived.setClassMethod<int(const ns::Class&)>("answer", [](const ns::Class&) { return 2; });
  EXPECT_EQ(derived.classMethod<int(const ns::Class&)>("answer")(derived), 2);
  EXPECT_EQ(baseClass().classMethod<int(const ns::Class&)>("answer")(baseClass()), 1);
}

TEST(ClassTest, RegistrationAndLookUpFromManyThreads) {
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &mismatches] {
      for (int i = 0; i < 50; ++i) {
        std::string name = "ClassTestRace" + std::to_string(i);
        const ns::Class& c = ns::Class::registerClass<Base>(name, &baseClass());
        if (ns::Class::classNamed(name) != &c) ++mismatches;
        c.setClassMethod<int(const ns::Class&)>("answer", [t](const ns::Class&) { return t; });
        if (!c.classMethod<int(const ns::Class&)>("answer")) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(IndexSetTest, MergesRunsAndAnswersMembership) {
  ns::IndexSet set = ns::IndexSet::indexSetWithIndexesInRange({200, 100});
  set.addIndex(304);
  set.addIndexes(ns::IndexSet{401, 400, 402});
  set.addIndex(299);  // already inside
  EXPECT_EQ(set.ranges(), (std::vector<ns::Range>{{200, 100}, {304, 1}, {400, 3}}));
  EXPECT_EQ(set.count(), 104u);
  EXPECT_EQ(set.firstIndex(), 200u);
  EXPECT_EQ(set.lastIndex(), 402u);
  struct Case {
    long long index;
    bool contained;
  } cases[] = {{199, false}, {200, true},   {299, true}, {300, false},
               {304, true},  {-200, false}, {403, false}};
  for (const auto& c : cases) EXPECT_EQ(set.containsIndex(c.index), c.contained) << c.index;

  // Filling the gap joins runs; removing splits them.
  set.addIndexesInRange({300, 4});
  EXPECT_EQ(set.ranges(), (std::vector<ns::Range>{{200, 105}, {400, 3}}));
  set.removeIndex(250);
  set.removeIndex(400);
  EXPECT_EQ(set.ranges(), (std::vector<ns::Range>{{200, 50}, {251, 54}, {401, 2}}));
  EXPECT_EQ(set.describe(), "(200-249, 251-304, 401-402)");
  EXPECT_EQ(ns::IndexSet().firstIndex(), ns::NotFound);
}

}  // namespace
