#include "UIKit/Font.h"

#include "Foundation/Format.h"

namespace ui {

Font::Font(cg::Font font, std::string name) : font_(std::move(font)), name_(std::move(name)) {}

std::shared_ptr<Font> Font::fontWithName(const std::string& name, double size) {
  return std::make_shared<Font>(cg::Font::withName(name, size), name);
}

std::shared_ptr<Font> Font::systemFontOfSize(double size) {
  return std::make_shared<Font>(cg::Font::systemFont(size), "System");
}

std::shared_ptr<Font> Font::boldSystemFontOfSize(double size) {
  return std::make_shared<Font>(cg::Font::boldSystemFont(size), "System-Bold");
}

std::shared_ptr<Font> Font::fontWithSize(double size) const {
  return std::make_shared<Font>(font_.withSize(size), name_);
}

std::string Font::describe() const { return ns::format("%@ %g", name_, pointSize()); }

cg::Size sizeWithFont(const std::string& text, const std::shared_ptr<Font>& font, cg::Size constraint,
                      LineBreakMode mode) {
  cg::Font f = font ? font->cgFont() : cg::Font::systemFont(cg::Font::kSystemFontSize);
  return cg::measureText(text, f, constraint, mode);
}

}  // namespace ui
