#pragma once

#include <cmath>
#include <limits>
#include <string>

namespace cg {

struct Point {
  double x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

struct Vector {
  double dx = 0, dy = 0;
  bool operator==(const Vector&) const = default;
};

// A rectangle in doubles. Negative sizes are allowed and read through standardized().
struct Rect {
  Point origin;
  Size size;

  constexpr Rect() = default;
  constexpr Rect(Point o, Size s) : origin(o), size(s) {}
  constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}
  static Rect null();      // the platform's null rectangle (what an empty intersection gives)
  static Rect infinite();

  double x() const { return origin.x; }
  double y() const { return origin.y; }
  double width() const { return size.width; }
  double height() const { return size.height; }
  double minX() const;
  double midX() const;
  double maxX() const;
  double minY() const;
  double midY() const;
  double maxY() const;
  Point center() const { return {midX(), midY()}; }

  bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }
  bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }
  Rect standardized() const;
  Rect integral() const;
  Rect insetBy(double dx, double dy) const;
  Rect offsetBy(double dx, double dy) const;
  Rect intersection(const Rect& other) const;
  Rect unionWith(const Rect& other) const;
  bool intersects(const Rect& other) const { return !intersection(other).isEmpty(); }
  bool contains(Point p) const;
  bool contains(const Rect& other) const;

  bool operator==(const Rect&) const = default;
};

struct EdgeInsets {
  double top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const EdgeInsets&) const = default;
  Rect inset(const Rect& r) const {
    return Rect(r.origin.x + left, r.origin.y + top, r.size.width - left - right, r.size.height - top - bottom);
  }
};

// The 2-D affine transform [a b 0; c d 0; tx ty 1], applied as (x, y) -> (a x + c y + tx, b x + d y + ty).
struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static constexpr AffineTransform identity() { return {}; }
  static AffineTransform makeTranslation(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
  static AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  static AffineTransform makeRotation(double angle);

  bool isIdentity() const { return *this == identity(); }
  // this followed by other
  AffineTransform concat(const AffineTransform& other) const;
  AffineTransform translatedBy(double dx, double dy) const { return makeTranslation(dx, dy).concat(*this); }
  AffineTransform scaledBy(double sx, double sy) const { return makeScale(sx, sy).concat(*this); }
  AffineTransform rotatedBy(double angle) const { return makeRotation(angle).concat(*this); }
  // The inverse, or the transform itself when it cannot be inverted (as the platform does).
  AffineTransform inverted() const;

  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  Size apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
  // The smallest rectangle holding the transformed corners.
  Rect apply(const Rect& r) const;

  bool operator==(const AffineTransform&) const = default;
};

inline constexpr double kPi = 3.14159265358979323846;

std::string describe(Point p);
std::string describe(Size s);
std::string describe(const Rect& r);

}  // namespace cg
