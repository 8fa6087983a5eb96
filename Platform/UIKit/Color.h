#pragma once

#include <memory>
#include <string>

#include "Graphics/Color.h"

namespace ui {

class Image;

// The platform's colour: a plain RGBA colour or a pattern that tiles an image.
class Color {
 public:
  Color() = default;
  Color(const cg::Color& rgba) : rgba_(rgba) {}
  static Color colorWithRed(double r, double g, double b, double a) { return cg::Color::rgba(r, g, b, a); }
  static Color colorWithWhite(double w, double a) { return cg::Color::white(w, a); }
  static Color colorWithPatternImage(std::shared_ptr<Image> image);

  static Color blackColor() { return cg::Color::black(); }
  static Color whiteColor() { return cg::Color::white(1); }
  static Color clearColor() { return cg::Color::clear(); }
  static Color grayColor() { return cg::Color::white(0.5); }
  static Color lightGrayColor() { return cg::Color::white(2.0 / 3.0); }
  static Color darkGrayColor() { return cg::Color::white(1.0 / 3.0); }
  static Color redColor() { return cg::Color::rgba(1, 0, 0); }
  static Color blueColor() { return cg::Color::rgba(0, 0, 1); }

  // For a pattern, the colour a pattern stands for where one plain colour is needed (opaque grey).
  const cg::Color& cgColor() const { return rgba_; }
  const std::shared_ptr<Image>& patternImage() const { return pattern_; }
  bool isPattern() const { return pattern_ != nullptr; }
  Color colorWithAlphaComponent(double alpha) const;

  bool operator==(const Color& other) const { return rgba_ == other.rgba_ && pattern_ == other.pattern_; }
  // "rgba(...)" or "pattern(<image name>)".
  std::string describe() const;

 private:
  cg::Color rgba_ = cg::Color::clear();
  std::shared_ptr<Image> pattern_;
};

}  // namespace ui
