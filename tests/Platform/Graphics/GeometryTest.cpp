#include <gtest/gtest.h>

#include "Graphics/Geometry.h"

namespace {

using cg::Point;
using cg::Rect;

// A point on a minimum edge is inside, one on a maximum edge is not; a rectangle may reach the
// maximum edges.
TEST(GeometryTest, ContainmentAtTheEdges) {
  const Rect r(10, 20, 30, 40);  // x 10..40, y 20..60
  struct PointCase {
    Point p;
    bool inside;
  } points[] = {
      {{10, 20}, true},  {{39.5, 59.5}, true}, {{40, 30}, false},   {{20, 60}, false},
      {{40, 60}, false}, {{9.9, 30}, false},   {{20, 19.9}, false},
  };
  for (const auto& c : points) EXPECT_EQ(r.contains(c.p), c.inside) << c.p.x << "," << c.p.y;
  struct RectCase {
    Rect other;
    bool inside;
  } rects[] = {
      {r, true},
      {Rect(30, 50, 10, 10), true},  // reaches both maximum edges
      {Rect(30, 50, 10.5, 10), false},
      {Rect(10, 20, 0, 0), true},
      {Rect::null(), false},
  };
  for (const auto& c : rects) EXPECT_EQ(r.contains(c.other), c.inside) << cg::describe(c.other);
  // A rectangle given with a negative size covers the same area.
  EXPECT_TRUE(Rect(40, 60, -30, -40).contains(Point{10, 20}));
  EXPECT_FALSE(Rect::null().contains(Point{0, 0}));
}

TEST(GeometryTest, InsetByShrinksEachSideByTheInset) {
  struct Case {
    Rect in;
    double dx, dy;
    Rect out;
  } cases[] = {
      {Rect(0, 0, 100, 50), 10, 5, Rect(10, 5, 80, 40)},
      {Rect(0, 0, 100, 50), -10, 0, Rect(-10, 0, 120, 50)},
      {Rect(0, 0, 100, 50), 50, 25, Rect(50, 25, 0, 0)},
      {Rect(100, 50, -100, -50), 10, 5, Rect(10, 5, 80, 40)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.in.insetBy(c.dx, c.dy), c.out) << cg::describe(c.in);
  EXPECT_TRUE(Rect(0, 0, 100, 50).insetBy(51, 0).isNull());
  EXPECT_TRUE(Rect::null().insetBy(1, 1).isNull());
}

}  // namespace
