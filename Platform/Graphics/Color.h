#pragma once

#include <string>

namespace cg {

// An RGBA colour with components in 0...1 (sRGB, not premultiplied).
struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;

  static constexpr Color rgba(double r, double g, double b, double a = 1) { return {r, g, b, a}; }
  static constexpr Color white(double w, double a = 1) { return {w, w, w, a}; }
  // 0xRRGGBB with an alpha.
  static constexpr Color hex(unsigned rgb, double a = 1) {
    return {((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0, a};
  }
  static constexpr Color clear() { return {0, 0, 0, 0}; }
  static constexpr Color black() { return {0, 0, 0, 1}; }

  constexpr Color withAlpha(double a) const { return {red, green, blue, a}; }
  bool operator==(const Color&) const = default;
  std::string describe() const;
};

}  // namespace cg
