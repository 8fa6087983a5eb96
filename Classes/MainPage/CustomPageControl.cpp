#include "Classes/MainPage/CustomPageControl.h"

#include <algorithm>

#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "UIKit/Device.h"

std::shared_ptr<CustomPageControl> CustomPageControl::initWithFrame(const cg::Rect& frame) {
  Control::initWithFrame(frame);
  setup();
  setBackgroundColor(ui::Color::clearColor());
  return self<CustomPageControl>();
}

void CustomPageControl::setup() {
  numberOfPages_ = 0;
  currentPage_ = 0;
  dotColour_ = ui::Color::colorWithRed(230 / 255.0, 230 / 255.0, 230 / 255.0, 0.5);
  selectedDotColour_ = ui::Color::colorWithRed(18 / 255.0, 190 / 255.0, 253 / 255.0, 0.8);
  bool pad = ui::isPad();
  dotSize_ = pad ? 8 : 5;
  dotSpacing_ = pad ? 9 : 5;
  hidesForSinglePage_ = false;
  defersCurrentPageDisplay_ = false;
  wrap_ = false;
  setContentMode(ui::ViewContentMode::redraw);
}

int CustomPageControl::clampedPageValue(int page) const {
  if (wrap_) {
    // The modulo has no divisor without pages: no page, as without wrap.
    if (numberOfPages_ <= 0) return -1;
    return (page + numberOfPages_) % numberOfPages_;
  }
  return std::min(std::max(page, 0), numberOfPages_ - 1);
}

void CustomPageControl::setCurrentPage(int page) {
  currentPage_ = clampedPageValue(page);
  setNeedsDisplay();
}

void CustomPageControl::setNumberOfPages(int count) {
  if (count == numberOfPages_) return;
  numberOfPages_ = count;
  if (currentPage_ >= count) currentPage_ = count - 1;
  setNeedsDisplay();
}

void CustomPageControl::updateCurrentPageDisplay() {
  if (defersCurrentPageDisplay_) setNeedsDisplay();
}

cg::Size CustomPageControl::sizeForNumberOfPages(int) const {
  return {dotSize_ + (dotSize_ + dotSpacing_) * (numberOfPages_ - 1), std::max(dotSize_, 36.0)};
}

cg::Size CustomPageControl::sizeThatFits(cg::Size) const {
  auto parent = superview();
  return {parent ? parent->bounds().width() : 0, std::max(dotSize_, 36.0)};
}

std::vector<cg::Rect> CustomPageControl::dotRects() const {
  std::vector<cg::Rect> out;
  if (numberOfPages_ <= 1 && hidesForSinglePage_) return out;
  double y = bounds().height() / 2 - dotSize_ / 2;
  for (int i = 0; i < numberOfPages_; ++i)
    out.push_back({i * (dotSize_ + dotSpacing_), y, dotSize_, dotSize_});
  return out;
}

void CustomPageControl::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  auto dots = dotRects();
  for (std::size_t i = 0; i < dots.size(); ++i) {
    ctx->setFillColor((int(i) == currentPage_ ? selectedDotColour_ : dotColour_).cgColor());
    ctx->fillEllipseInRect(dots[i]);
  }
}

std::optional<cg::Rect> CustomPageControl::contentExtent() const {
  auto dots = dotRects();
  if (dots.empty()) return std::nullopt;
  return dots.front().unionWith(dots.back());
}

void CustomPageControl::touchesBegan(const ui::TouchSet& touches, const ui::Event*) {
  if (touches.empty()) return;
  // 17 points a dot on every device: the tablet's pitch.
  int page = int(touches.front()->locationInView(this).x / 17);
  if (auto d = delegate_.lock()) d->loadPageWithNumber(page);
}

void CustomPageControl::appendDumpAttributes(std::string& line) const {
  line += ns::format(" pages=%d current=%d", numberOfPages_, currentPage_);
}
