#include "UIKit/Color.h"

#include "UIKit/Image.h"

namespace ui {

Color Color::colorWithPatternImage(std::shared_ptr<Image> image) {
  Color c;
  c.rgba_ = cg::Color::white(0.5);
  c.pattern_ = std::move(image);
  return c;
}

Color Color::colorWithAlphaComponent(double alpha) const {
  Color c = *this;
  c.rgba_.alpha = alpha;
  return c;
}

std::string Color::describe() const {
  if (pattern_) return "pattern(" + pattern_->describeSource() + ")";
  return rgba_.describe();
}

}  // namespace ui
