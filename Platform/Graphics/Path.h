#pragma once

#include <vector>

#include "Graphics/Geometry.h"

namespace cg {

// A recorded path in user coordinates (y grows downwards, as on screen). Added to a context it is
// replayed under that context's current transform. Angles are radians; `clockwise` means as seen
// on screen.
class Path final {
 public:
  enum class Kind { MoveTo, LineTo, CurveTo, QuadCurveTo, Arc, Close };
  struct Element {
    Kind kind;
    Point points[3];  // MoveTo/LineTo: [0]; CurveTo: control 1, control 2, end; QuadCurveTo: control, end
    double radius = 0, startAngle = 0, endAngle = 0;  // Arc, centred at points[0]
    bool clockwise = true;
  };

  void moveTo(Point p);
  void addLineTo(Point p);
  void addCurveTo(Point control1, Point control2, Point end);
  void addQuadCurveTo(Point control, Point end);
  // Joins the current point (if any) to the arc's start with a line.
  void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
  void closeSubpath();

  void addRect(const Rect& rect);
  void addEllipseInRect(const Rect& rect);
  // Circular corners; the radius is limited to half the shorter side.
  void addRoundedRect(const Rect& rect, double cornerRadius);

  static Path rect(const Rect& r);
  static Path ellipseInRect(const Rect& r);
  static Path roundedRect(const Rect& r, double cornerRadius);

  bool isEmpty() const { return elements_.empty(); }
  const std::vector<Element>& elements() const { return elements_; }
  // The smallest rectangle holding every point, control points and whole arc circles included.
  Rect boundingBox() const;

 private:
  std::vector<Element> elements_;
};

}  // namespace cg
