#include "UIKit/ActivityIndicatorView.h"

#include <algorithm>
#include <cmath>

#include "Graphics/Context.h"

namespace ui {

namespace {
constexpr int kSpokes = 12;
// One turn a second, a spoke a step.
constexpr double kStepsPerSecond = 12;
}  // namespace

ActivityIndicatorView::ActivityIndicatorView() { setOpaque(false); }

cg::Size ActivityIndicatorView::sizeForStyle(ActivityIndicatorViewStyle style) {
  return style == ActivityIndicatorViewStyle::whiteLarge ? cg::Size{37, 37} : cg::Size{20, 20};
}

std::shared_ptr<ActivityIndicatorView> ActivityIndicatorView::initWithActivityIndicatorStyle(
    ActivityIndicatorViewStyle style) {
  cg::Size s = sizeForStyle(style);
  View::initWithFrame({0, 0, s.width, s.height});
  style_ = style;
  setHidden(hidesWhenStopped_);
  return self<ActivityIndicatorView>();
}

std::shared_ptr<ActivityIndicatorView> ActivityIndicatorView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  setHidden(hidesWhenStopped_);
  return self<ActivityIndicatorView>();
}

void ActivityIndicatorView::setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style) {
  style_ = style;
  setNeedsDisplay();
}

void ActivityIndicatorView::startAnimating() {
  animating_ = true;
  setMovesByItself(true);
  setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
  animating_ = false;
  setMovesByItself(false);
  if (hidesWhenStopped_) setHidden(true);
}

int ActivityIndicatorView::spokeAt(double now) {
  return static_cast<int>(std::fmod(std::floor(now * kStepsPerSecond), kSpokes));
}

double ActivityIndicatorView::nextSpokeAfter(double now) {
  return (std::floor(now * kStepsPerSecond) + 1) / kStepsPerSecond;
}

std::optional<double> ActivityIndicatorView::nextPresentationChange(double now) const {
  if (!animating_) return std::nullopt;
  return nextSpokeAfter(now);
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
  hidesWhenStopped_ = hides;
  if (!animating_) setHidden(hides);
}

void ActivityIndicatorView::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  cg::Rect b = bounds();
  double r = std::min(b.width(), b.height()) / 2;
  cg::Color c = style_ == ActivityIndicatorViewStyle::gray ? cg::Color::white(0.5) : cg::Color::white(1);
  ctx->saveGState();
  ctx->setLineWidth(std::max(1.5, r / 4.5));
  ctx->setLineCap(cg::LineCap::Round);
  // Twelve spokes fading round the circle; turning, the brightest moves on clockwise each step.
  int step = 0;
  if (auto time = renderPresentationTime(); time && animating_) step = spokeAt(*time);
  for (int i = 0; i < kSpokes; ++i) {
    double a = (step - i) * cg::kPi / 6 - cg::kPi / 2;
    ctx->setStrokeColor(c.withAlpha(0.25 + 0.75 * (kSpokes - i) / double(kSpokes)));
    ctx->beginPath();
    ctx->moveTo({b.midX() + std::cos(a) * r * 0.45, b.midY() + std::sin(a) * r * 0.45});
    ctx->addLineTo({b.midX() + std::cos(a) * r * 0.9, b.midY() + std::sin(a) * r * 0.9});
    ctx->strokePath();
  }
  ctx->restoreGState();
}

void ActivityIndicatorView::appendDumpAttributes(std::string& line) const {
  static const char* names[] = {"whiteLarge", "white", "gray"};
  line += std::string(" style=") + names[int(style_)];
  line += animating_ ? " animating" : " stopped";
}

}  // namespace ui
