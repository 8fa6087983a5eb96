#include "Drawing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Graphics/Text.h"

namespace placeholders {

using cg::Color;
using cg::Context;
using cg::Point;
using cg::Rect;

Color rgb(int r, int g, int b, double a) { return Color::rgba(r / 255.0, g / 255.0, b / 255.0, a); }

void fillRounded(Context& c, const Rect& r, double radius, const Color& fill) {
  c.setFillColor(fill);
  c.fillPath(cg::Path::roundedRect(r, radius));
}

void fillRoundedGradient(Context& c, const Rect& r, double radius, const Color& top, const Color& bottom) {
  c.saveGState();
  c.clipToPath(cg::Path::roundedRect(r, radius));
  c.drawLinearGradient(cg::Gradient{{top, bottom}, {}}, {r.x(), r.y()}, {r.x(), r.maxY()});
  c.restoreGState();
}

void strokeRounded(Context& c, const Rect& r, double radius, const Color& line, double width) {
  c.setStrokeColor(line);
  c.setLineWidth(width);
  c.strokePath(cg::Path::roundedRect(r.insetBy(width / 2, width / 2), radius));
}

void hairline(Context& c, double x0, double x1, double y, const Color& line) {
  c.setFillColor(line);
  c.fillRect({x0, y, x1 - x0, 1});
}

namespace {

void strokePolyline(Context& c, const std::vector<Point>& points, double width, const Color& ink) {
  c.saveGState();
  c.setStrokeColor(ink);
  c.setLineWidth(width);
  c.setLineCap(cg::LineCap::Round);
  c.setLineJoin(cg::LineJoin::Round);
  c.beginPath();
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i == 0)
      c.moveTo(points[i]);
    else
      c.addLineTo(points[i]);
  }
  c.strokePath();
  c.restoreGState();
}

void fillPolygon(Context& c, const std::vector<Point>& points, const Color& ink) {
  c.setFillColor(ink);
  c.beginPath();
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i == 0)
      c.moveTo(points[i]);
    else
      c.addLineTo(points[i]);
  }
  c.closePath();
  c.fillPath();
}

// Points along a circle from angle a0 to a1 (radians, clockwise on screen as y grows downwards).
std::vector<Point> arc(Point centre, double radius, double a0, double a1) {
  std::vector<Point> out;
  int steps = std::max(8, int(std::fabs(a1 - a0) * 16));
  for (int i = 0; i <= steps; ++i) {
    double t = a0 + (a1 - a0) * i / steps;
    out.push_back({centre.x + radius * std::cos(t), centre.y + radius * std::sin(t)});
  }
  return out;
}

}  // namespace

void menuBars(Context& c, const Rect& box, const Color& ink) {
  double bar = box.height() / 5;
  for (int i = 0; i < 3; ++i)
    fillRounded(c, {box.x(), box.y() + 2 * i * bar, box.width(), bar}, bar / 2, ink);
}

void chevron(Context& c, const Rect& box, bool pointsLeft, double width, const Color& ink) {
  Rect r = box.insetBy(width / 2, width / 2);
  double tip = pointsLeft ? r.minX() : r.maxX(), ends = pointsLeft ? r.maxX() : r.minX();
  strokePolyline(c, {{ends, r.minY()}, {tip, r.midY()}, {ends, r.maxY()}}, width, ink);
}

void cross(Context& c, const Rect& box, double width, const Color& ink) {
  Rect r = box.insetBy(width / 2, width / 2);
  strokePolyline(c, {{r.minX(), r.minY()}, {r.maxX(), r.maxY()}}, width, ink);
  strokePolyline(c, {{r.maxX(), r.minY()}, {r.minX(), r.maxY()}}, width, ink);
}

void circularArrow(Context& c, const Rect& box, double width, const Color& ink) {
  double head = width * 1.7;
  double radius = std::min(box.width(), box.height()) / 2 - head;
  Point centre = box.center();
  // Open between twelve and two o'clock; the head at twelve points on, clockwise.
  double a0 = -cg::kPi / 6 + 0.25, a1 = 1.5 * cg::kPi - 0.35;
  strokePolyline(c, arc(centre, radius, a0, a1), width, ink);
  Point end{centre.x + radius * std::cos(a1), centre.y + radius * std::sin(a1)};
  Point along{-std::sin(a1), std::cos(a1)}, out{std::cos(a1), std::sin(a1)};
  fillPolygon(c,
              {{end.x + along.x * head * 1.2, end.y + along.y * head * 1.2},
               {end.x + out.x * head, end.y + out.y * head},
               {end.x - out.x * head, end.y - out.y * head}},
              ink);
}

void sliders(Context& c, const Rect& box, const Color& ink) {
  double line = std::max(1.0, box.height() * 0.1), knob = box.height() * 0.16;
  const double rows[] = {0.18, 0.5, 0.82}, knobs[] = {0.3, 0.72, 0.45};
  for (int i = 0; i < 3; ++i) {
    double y = box.y() + box.height() * rows[i];
    fillRounded(c, {box.x(), y - line / 2, box.width(), line}, line / 2, ink);
    double x = box.x() + box.width() * knobs[i];
    c.setFillColor(ink);
    c.fillEllipseInRect({x - knob, y - knob, 2 * knob, 2 * knob});
  }
}

void triangle(Context& c, const Rect& box, const Color& ink) {
  fillPolygon(c, {{box.minX(), box.minY()}, {box.maxX(), box.midY()}, {box.minX(), box.maxY()}}, ink);
}

void house(Context& c, const Rect& box, const Color& ink) {
  double w = box.width(), h = box.height(), x = box.x(), y = box.y();
  fillPolygon(c, {{x, y + h * 0.5}, {x + w / 2, y}, {x + w, y + h * 0.5}}, ink);
  c.setFillColor(ink);
  c.fillRect({x + w * 0.16, y + h * 0.45, w * 0.68, h * 0.55});
  // The door, cut out.
  c.saveGState();
  c.setBlendMode(cg::BlendMode::Clear);
  c.fillRect({x + w * 0.42, y + h * 0.68, w * 0.16, h * 0.32});
  c.restoreGState();
}

void filmFrame(Context& c, const Rect& box, const Color& ink) {
  double line = box.width() * 0.08;
  strokeRounded(c, box, line, ink, line);
  double hole = box.width() * 0.1, rail = box.width() * 0.2;
  c.setFillColor(ink);
  c.fillRect({box.x() + rail, box.y(), line * 0.8, box.height()});
  c.fillRect({box.maxX() - rail - line * 0.8, box.y(), line * 0.8, box.height()});
  for (int i = 0; i < 4; ++i) {
    double y = box.y() + box.height() * (0.14 + 0.22 * i);
    c.fillRect({box.x() + rail / 2 - hole / 2 + line / 4, y, hole, hole});
    c.fillRect({box.maxX() - rail / 2 - hole / 2 - line / 4, y, hole, hole});
  }
}

void screens(Context& c, const Rect& box, const Color& ink) {
  double line = box.width() * 0.09, w = box.width() * 0.72, h = box.height() * 0.62;
  strokeRounded(c, {box.maxX() - w, box.y(), w, h}, line, ink, line);
  Rect front{box.x(), box.maxY() - h, w, h};
  c.setFillColor(Color::clear());
  c.saveGState();
  c.setBlendMode(cg::BlendMode::Clear);
  c.fillRect(front.insetBy(-line / 2, -line / 2));
  c.restoreGState();
  strokeRounded(c, front, line, ink, line);
  triangle(c, {front.x() + w * 0.38, front.y() + h * 0.3, w * 0.28, h * 0.4}, ink);
}

void television(Context& c, const Rect& box, const Color& ink) {
  double w = box.width(), h = box.height(), line = w * 0.09;
  Rect screen{box.x(), box.y() + h * 0.28, w, h * 0.62};
  strokeRounded(c, screen, line * 1.5, ink, line);
  strokePolyline(
      c, {{box.x() + w * 0.3, box.y() + line}, {box.midX(), screen.y()}, {box.x() + w * 0.7, box.y() + line}},
      line * 0.8, ink);
  fillRounded(c, {box.x() + w * 0.25, box.maxY() - line, w * 0.5, line}, line / 2, ink);
}

void balloon(Context& c, const Rect& box, const Color& ink) {
  double w = box.width(), h = box.height();
  Rect body{box.x() + w * 0.12, box.y(), w * 0.76, h * 0.68};
  c.setFillColor(ink);
  c.fillEllipseInRect(body);
  fillPolygon(c,
              {{body.midX(), body.maxY() - h * 0.04},
               {body.midX() + w * 0.08, body.maxY() + h * 0.07},
               {body.midX() - w * 0.08, body.maxY() + h * 0.07}},
              ink);
  strokePolyline(c,
                 {{body.midX(), body.maxY() + h * 0.07},
                  {body.midX() - w * 0.1, box.y() + h * 0.85},
                  {body.midX() + w * 0.05, box.maxY() - w * 0.03}},
                 w * 0.06, ink);
}

void smile(Context& c, const Rect& box, const Color& ink) {
  double w = box.width(), line = w * 0.09;
  c.setStrokeColor(ink);
  c.setLineWidth(line);
  c.strokeEllipseInRect(box.insetBy(line / 2, line / 2));
  c.setFillColor(ink);
  double eye = w * 0.13;
  c.fillEllipseInRect({box.x() + w * 0.3, box.y() + w * 0.3, eye, eye});
  c.fillEllipseInRect({box.x() + w * 0.57, box.y() + w * 0.3, eye, eye});
  strokePolyline(c, arc({box.midX(), box.y() + w * 0.5}, w * 0.25, 0.2 * cg::kPi, 0.8 * cg::kPi), line, ink);
}

void grid(Context& c, const Rect& box, const Color& ink) {
  double gap = box.width() * 0.14, cell = (box.width() - gap) / 2;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      fillRounded(c, {box.x() + i * (cell + gap), box.y() + j * (cell + gap), cell, cell}, cell * 0.2, ink);
}

void person(Context& c, const Rect& box, const Color& ink) {
  double w = box.width(), h = box.height();
  c.setFillColor(ink);
  double head = std::min(w * 0.46, h * 0.42);
  c.fillEllipseInRect({box.midX() - head / 2, box.y() + h * 0.12, head, head * 1.1});
  c.saveGState();
  c.clipToRect(box);
  c.fillEllipseInRect({box.x() + w * 0.1, box.y() + h * 0.62, w * 0.8, h * 0.7});
  c.restoreGState();
}

void centredText(Context& c, const std::string& text, const Rect& box, double maxSize, bool bold,
                 const Color& ink) {
  auto fontOf = [&](double size) {
    return bold ? cg::Font::boldSystemFont(size) : cg::Font::systemFont(size);
  };
  double size = maxSize;
  while (size > 4 && cg::measureText(text, fontOf(size)).width > box.width()) size -= 0.5;
  cg::Font font = fontOf(size);
  // Capitals stand about 0.72 of the size above the baseline.
  double baseline = box.midY() + size * 0.72 / 2;
  Rect line{box.x() - size, baseline - font.ascender(), box.width() + 2 * size,
            std::ceil(font.lineHeight()) + 1};
  c.setFillColor(ink);
  cg::drawText(c, text, line, font, cg::LineBreakMode::Clip, cg::TextAlignment::Center);
}

}  // namespace placeholders
