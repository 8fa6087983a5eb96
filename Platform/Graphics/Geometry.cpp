#include "Graphics/Geometry.h"

#include <algorithm>
#include <cstdio>

namespace cg {

Rect Rect::null() {
  constexpr double inf = std::numeric_limits<double>::infinity();
  return Rect(inf, inf, 0, 0);
}

Rect Rect::infinite() {
  constexpr double big = std::numeric_limits<double>::max() / 2;
  return Rect(-big / 2, -big / 2, big, big);
}

double Rect::minX() const { return std::min(origin.x, origin.x + size.width); }
double Rect::maxX() const { return std::max(origin.x, origin.x + size.width); }
double Rect::midX() const { return origin.x + size.width / 2; }
double Rect::minY() const { return std::min(origin.y, origin.y + size.height); }
double Rect::maxY() const { return std::max(origin.y, origin.y + size.height); }
double Rect::midY() const { return origin.y + size.height / 2; }

Rect Rect::standardized() const {
  if (isNull()) return *this;
  return Rect(minX(), minY(), std::abs(size.width), std::abs(size.height));
}

Rect Rect::integral() const {
  if (isNull()) return *this;
  Rect s = standardized();
  double x0 = std::floor(s.minX()), y0 = std::floor(s.minY());
  return Rect(x0, y0, std::ceil(s.maxX()) - x0, std::ceil(s.maxY()) - y0);
}

Rect Rect::insetBy(double dx, double dy) const {
  if (isNull()) return *this;
  Rect s = standardized();
  Rect r(s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy);
  return (r.size.width < 0 || r.size.height < 0) ? null() : r;
}

Rect Rect::offsetBy(double dx, double dy) const {
  if (isNull()) return *this;
  return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
}

Rect Rect::intersection(const Rect& other) const {
  if (isNull() || other.isNull()) return null();
  double x0 = std::max(minX(), other.minX()), x1 = std::min(maxX(), other.maxX());
  double y0 = std::max(minY(), other.minY()), y1 = std::min(maxY(), other.maxY());
  if (x1 < x0 || y1 < y0) return null();
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::unionWith(const Rect& other) const {
  if (isNull()) return other;
  if (other.isNull()) return *this;
  double x0 = std::min(minX(), other.minX()), x1 = std::max(maxX(), other.maxX());
  double y0 = std::min(minY(), other.minY()), y1 = std::max(maxY(), other.maxY());
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

bool Rect::contains(Point p) const {
  if (isNull()) return false;
  return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& other) const {
  if (isNull() || other.isNull()) return false;
  return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() && other.maxY() <= maxY();
}

AffineTransform AffineTransform::makeRotation(double angle) {
  double s = std::sin(angle), c = std::cos(angle);
  return {c, s, -s, c, 0, 0};
}

AffineTransform AffineTransform::concat(const AffineTransform& o) const {
  return {a * o.a + b * o.c, a * o.b + b * o.d,          c * o.a + d * o.c,
          c * o.b + d * o.d, tx * o.a + ty * o.c + o.tx, tx * o.b + ty * o.d + o.ty};
}

AffineTransform AffineTransform::inverted() const {
  double det = a * d - b * c;
  if (det == 0 || !std::isfinite(det)) return *this;
  return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
}

Rect AffineTransform::apply(const Rect& r) const {
  if (r.isNull()) return r;
  Rect s = r.standardized();
  Point corners[] = {apply(Point{s.minX(), s.minY()}), apply(Point{s.maxX(), s.minY()}),
                     apply(Point{s.minX(), s.maxY()}), apply(Point{s.maxX(), s.maxY()})};
  double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
  for (const auto& p : corners) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  return Rect(x0, y0, x1 - x0, y1 - y0);
}

namespace {
std::string num(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

// "{a, b}", appended piece by piece (GCC 12 misreads "{" + std::string at -O3 as an overlapping copy).
std::string pair(const std::string& a, const std::string& b) {
  std::string text = "{";
  text += a;
  text += ", ";
  text += b;
  text += '}';
  return text;
}
}  // namespace

std::string describe(Point p) { return pair(num(p.x), num(p.y)); }
std::string describe(Size s) { return pair(num(s.width), num(s.height)); }
std::string describe(const Rect& r) { return pair(describe(r.origin), describe(r.size)); }

}  // namespace cg
