#pragma once

// The shapes and glyphs the placeholder pictures are made of. Every helper draws in points into
// the box it is given, so one drawing serves both scales.
#include <functional>
#include <string>

#include "Graphics/Context.h"

namespace placeholders {

using Draw = std::function<void(cg::Context&, cg::Size)>;

cg::Color rgb(int r, int g, int b, double a = 1);

// Fills and frames.
void fillRounded(cg::Context& c, const cg::Rect& r, double radius, const cg::Color& fill);
void fillRoundedGradient(cg::Context& c, const cg::Rect& r, double radius, const cg::Color& top,
                         const cg::Color& bottom);
void strokeRounded(cg::Context& c, const cg::Rect& r, double radius, const cg::Color& line, double width);
// A horizontal line one point high along the top of the row at y.
void hairline(cg::Context& c, double x0, double x1, double y, const cg::Color& line);

// Glyphs, in the ink colour, fitted into the box.
void menuBars(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void chevron(cg::Context& c, const cg::Rect& box, bool pointsLeft, double width, const cg::Color& ink);
void cross(cg::Context& c, const cg::Rect& box, double width, const cg::Color& ink);
void circularArrow(cg::Context& c, const cg::Rect& box, double width, const cg::Color& ink);
void sliders(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void triangle(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void house(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void filmFrame(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void screens(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void television(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void balloon(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void smile(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void grid(cg::Context& c, const cg::Rect& box, const cg::Color& ink);
void person(cg::Context& c, const cg::Rect& box, const cg::Color& ink);

// One line of text centred in the box, at the largest size up to maxSize that fits, with its
// capitals centred vertically.
void centredText(cg::Context& c, const std::string& text, const cg::Rect& box, double maxSize, bool bold,
                 const cg::Color& ink);

}  // namespace placeholders
