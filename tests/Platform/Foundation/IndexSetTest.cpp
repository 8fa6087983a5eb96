#include <gtest/gtest.h>

#include "Foundation/IndexSet.h"

namespace {

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
