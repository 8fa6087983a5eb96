#include "Graphics/Path.h"

#include <algorithm>

namespace cg {

void Path::moveTo(Point p) { elements_.push_back({Kind::MoveTo, {p, {}, {}}}); }
void Path::addLineTo(Point p) { elements_.push_back({Kind::LineTo, {p, {}, {}}}); }
void Path::addCurveTo(Point c1, Point c2, Point end) { elements_.push_back({Kind::CurveTo, {c1, c2, end}}); }
void Path::addQuadCurveTo(Point c, Point end) { elements_.push_back({Kind::QuadCurveTo, {c, end, {}}}); }
void Path::closeSubpath() { elements_.push_back({Kind::Close, {}}); }

void Path::addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
  Element e{Kind::Arc, {center, {}, {}}};
  e.radius = radius;
  e.startAngle = startAngle;
  e.endAngle = endAngle;
  e.clockwise = clockwise;
  elements_.push_back(e);
}

void Path::addRect(const Rect& r) {
  Rect s = r.standardized();
  moveTo({s.minX(), s.minY()});
  addLineTo({s.maxX(), s.minY()});
  addLineTo({s.maxX(), s.maxY()});
  addLineTo({s.minX(), s.maxY()});
  closeSubpath();
}

void Path::addEllipseInRect(const Rect& r) {
  // Four cubic quarter arcs; k places the control points of a circle's quarter.
  constexpr double k = 0.5522847498307936;
  Rect s = r.standardized();
  double cx = s.midX(), cy = s.midY(), rx = s.width() / 2, ry = s.height() / 2;
  moveTo({cx + rx, cy});
  addCurveTo({cx + rx, cy + k * ry}, {cx + k * rx, cy + ry}, {cx, cy + ry});
  addCurveTo({cx - k * rx, cy + ry}, {cx - rx, cy + k * ry}, {cx - rx, cy});
  addCurveTo({cx - rx, cy - k * ry}, {cx - k * rx, cy - ry}, {cx, cy - ry});
  addCurveTo({cx + k * rx, cy - ry}, {cx + rx, cy - k * ry}, {cx + rx, cy});
  closeSubpath();
}

void Path::addRoundedRect(const Rect& r, double cornerRadius) {
  Rect s = r.standardized();
  double radius = std::clamp(cornerRadius, 0.0, std::min(s.width(), s.height()) / 2);
  if (radius <= 0) return addRect(s);
  moveTo({s.minX() + radius, s.minY()});
  addArc({s.maxX() - radius, s.minY() + radius}, radius, -kPi / 2, 0, true);
  addArc({s.maxX() - radius, s.maxY() - radius}, radius, 0, kPi / 2, true);
  addArc({s.minX() + radius, s.maxY() - radius}, radius, kPi / 2, kPi, true);
  addArc({s.minX() + radius, s.minY() + radius}, radius, kPi, 3 * kPi / 2, true);
  closeSubpath();
}

Path Path::rect(const Rect& r) {
  Path p;
  p.addRect(r);
  return p;
}

Path Path::ellipseInRect(const Rect& r) {
  Path p;
  p.addEllipseInRect(r);
  return p;
}

Path Path::roundedRect(const Rect& r, double cornerRadius) {
  Path p;
  p.addRoundedRect(r, cornerRadius);
  return p;
}

Rect Path::boundingBox() const {
  Rect box = Rect::null();
  auto add = [&](Point p) { box = box.unionWith(Rect(p.x, p.y, 0, 0)); };
  for (const auto& e : elements_) {
    switch (e.kind) {
      case Kind::MoveTo:
      case Kind::LineTo:
        add(e.points[0]);
        break;
      case Kind::CurveTo:
        add(e.points[0]), add(e.points[1]), add(e.points[2]);
        break;
      case Kind::QuadCurveTo:
        add(e.points[0]), add(e.points[1]);
        break;
      case Kind::Arc:
        box = box.unionWith(
            Rect(e.points[0].x - e.radius, e.points[0].y - e.radius, 2 * e.radius, 2 * e.radius));
        break;
      case Kind::Close:
        break;
    }
  }
  return box;
}

}  // namespace cg
