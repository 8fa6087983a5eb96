#pragma once

#include <string>

namespace cg {

// A font as the views ask for it: a family name, a size in points and a weight. The project's
// font configuration (fonts.conf) maps the app's own "PF Square Sans Pro" and the system font
// to an installed face; other families that are not installed fall back to kFallbackFamily,
// which also draws the characters a face lacks.
class Font final {
 public:
  static constexpr const char* kFallbackFamily = "DejaVu Sans";
  static constexpr const char* kSystemFamily = "System";
  // The platform's standard sizes.
  static constexpr double kSystemFontSize = 14;
  static constexpr double kLabelFontSize = 17;

  Font(std::string familyName, double pointSize, bool bold = false);
  static Font withName(std::string familyName, double pointSize) {
    return Font(std::move(familyName), pointSize);
  }
  static Font systemFont(double pointSize) { return Font(kSystemFamily, pointSize); }
  static Font boldSystemFont(double pointSize) { return Font(kSystemFamily, pointSize, true); }

  const std::string& familyName() const { return familyName_; }
  double pointSize() const { return pointSize_; }
  bool isBold() const { return bold_; }
  Font withSize(double pointSize) const { return Font(familyName_, pointSize, bold_); }
  // The installed family that draws this font (its Latin and Cyrillic letters).
  std::string resolvedFamily() const;

  // Metrics in points: ascender above the baseline (positive), descender below it (negative),
  // and the height of one line (ascender - descender).
  double ascender() const;
  double descender() const;
  double lineHeight() const;

  bool operator==(const Font&) const = default;

 private:
  std::string familyName_;
  double pointSize_;
  bool bold_;
};

}  // namespace cg
