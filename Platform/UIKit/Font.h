#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Foundation/Object.h"
#include "Graphics/Font.h"
#include "Graphics/Geometry.h"
#include "Graphics/Text.h"

namespace ui {

using LineBreakMode = cg::LineBreakMode;
using TextAlignment = cg::TextAlignment;

// A font by name and size. Any name is accepted: drawing falls back to an installed family when
// the named one is missing, as the platform does for the fonts an application ships.
class Font final : public ns::Object {
 public:
  explicit Font(cg::Font font, std::string name);

  static std::shared_ptr<Font> fontWithName(const std::string& name, double size);
  static std::shared_ptr<Font> systemFontOfSize(double size);
  static std::shared_ptr<Font> boldSystemFontOfSize(double size);
  static double systemFontSize() { return cg::Font::kSystemFontSize; }
  static double labelFontSize() { return cg::Font::kLabelFontSize; }

  // The name asked for ("System" and "System-Bold" for the system fonts).
  const std::string& fontName() const { return name_; }
  double pointSize() const { return font_.pointSize(); }
  const cg::Font& cgFont() const { return font_; }
  std::shared_ptr<Font> fontWithSize(double size) const;
  double lineHeight() const { return font_.lineHeight(); }

  // "<name> <size>".
  std::string describe() const override;

 private:
  cg::Font font_;
  std::string name_;
};

// Size of text drawn in a font inside a box (sizeWithFont:constrainedToSize:lineBreakMode:);
// a null font measures in the system font.
cg::Size sizeWithFont(const std::string& text, const std::shared_ptr<Font>& font,
                      cg::Size constraint = {1e9, 1e9}, LineBreakMode mode = LineBreakMode::WordWrap);

// Replaces sizeWithFont's measurement for its lifetime (tests: installed fonts differ from the ones
// an application ships, so measured widths do too). Install and remove it on the main thread.
class ScopedTextMeasurer final {
 public:
  using Measure = std::function<cg::Size(const std::string& text, const Font* font, cg::Size constraint,
                                         LineBreakMode mode)>;
  explicit ScopedTextMeasurer(Measure measure);
  ~ScopedTextMeasurer();
  ScopedTextMeasurer(const ScopedTextMeasurer&) = delete;
  ScopedTextMeasurer& operator=(const ScopedTextMeasurer&) = delete;

 private:
  std::shared_ptr<const Measure> previous_;
};

}  // namespace ui
