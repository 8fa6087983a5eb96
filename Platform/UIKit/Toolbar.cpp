#include "UIKit/Toolbar.h"

#include <algorithm>
#include <cmath>

#include "Graphics/Context.h"
#include "UIKit/ViewDump.h"

namespace ui {

Toolbar::Toolbar() { setOpaque(false); }

std::shared_ptr<Toolbar> Toolbar::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<Toolbar>();
}

void Toolbar::setBarStyle(BarStyle style) {
  barStyle_ = style;
  setNeedsDisplay();
}

void Toolbar::setBackgroundImage(std::shared_ptr<Image> image, ToolbarPosition position, BarMetrics metrics) {
  backgrounds_[{position, metrics}] = std::move(image);
  setNeedsDisplay();
}

std::shared_ptr<Image> Toolbar::backgroundImageForToolbarPosition(ToolbarPosition position,
                                                                  BarMetrics metrics) const {
  auto it = backgrounds_.find({position, metrics});
  return it == backgrounds_.end() ? nullptr : it->second;
}

std::shared_ptr<Image> Toolbar::drawnBackground() const {
  if (auto image = backgroundImageForToolbarPosition(ToolbarPosition::any, BarMetrics::defaultMetrics))
    return image;
  for (const auto& [key, image] : backgrounds_)
    if (image) return image;
  return nullptr;
}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool) {
  std::erase(items, nullptr);
  for (const auto& item : items_)
    if (const auto& v = item->customView(); v && v->superview().get() == this) v->removeFromSuperview();
  items_ = std::move(items);
  for (const auto& item : items_)
    if (const auto& v = item->customView()) addSubview(v);
  setNeedsLayout();
}

void Toolbar::layoutSubviews() {
  cg::Rect b = bounds();
  double used = 0;
  int flexible = 0;
  bool previousIsContent = false;
  for (const auto& item : items_) {
    if (item->isFlexibleSpace()) {
      ++flexible;
      previousIsContent = false;
    } else if (item->isFixedSpace()) {
      used += item->width();
      previousIsContent = false;
    } else {
      if (previousIsContent) used += kItemGap;
      used += item->customView() ? item->customView()->frame().width() : item->width();
      previousIsContent = true;
    }
  }
  double share = flexible ? std::max(0.0, b.width() - 2 * kEdgeMargin - used) / flexible : 0;
  double x = kEdgeMargin;
  previousIsContent = false;
  for (const auto& item : items_) {
    if (item->isFlexibleSpace()) {
      x += share;
      previousIsContent = false;
    } else if (item->isFixedSpace()) {
      x += item->width();
      previousIsContent = false;
    } else {
      if (previousIsContent) x += kItemGap;
      if (const auto& v = item->customView()) {
        cg::Size s = v->frame().size;
        v->setFrame({x, std::floor((b.height() - s.height) / 2), s.width, s.height});
        x += s.width;
      } else {
        x += item->width();
      }
      previousIsContent = true;
    }
  }
}

void Toolbar::setTintColor(std::optional<Color> tint) {
  tintColor_ = std::move(tint);
  setNeedsDisplay();
}

void Toolbar::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  cg::Rect b = bounds();
  if (auto image = drawnBackground()) {
    image->drawInRect(b);
    return;
  }
  bool dark = barStyle_ != BarStyle::defaultStyle;
  auto lighter = [](const cg::Color& c) {
    return cg::Color::rgba(c.red + (1 - c.red) * 0.3, c.green + (1 - c.green) * 0.3,
                           c.blue + (1 - c.blue) * 0.3);
  };
  cg::Gradient g{
      tintColor_ ? std::vector<cg::Color>{lighter(tintColor_->cgColor()), tintColor_->cgColor()}
      : dark     ? std::vector<cg::Color>{cg::Color::white(0.25), cg::Color::white(0.06)}
             : std::vector<cg::Color>{cg::Color::rgba(0.69, 0.74, 0.80), cg::Color::rgba(0.43, 0.50, 0.58)},
      {}};
  ctx->saveGState();
  ctx->clipToRect(b);
  if (isTranslucent()) ctx->setAlpha(0.85);
  ctx->drawLinearGradient(g, {b.x(), b.y()}, {b.x(), b.maxY()});
  ctx->restoreGState();
}

void Toolbar::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  static const char* const styles[] = {"default", "black", "blackTranslucent"};
  line += std::string(" barStyle=") + styles[int(barStyle_)];
  if (auto image = drawnBackground()) line += " backgroundImage=" + image->describeSource();
  if (tintColor_) line += " tint=" + describeColor(tintColor_);
  line += " items=[";
  for (std::size_t i = 0; i < items_.size(); ++i) line += (i ? ", " : "") + items_[i]->describe();
  line += "]";
}

}  // namespace ui
