#include "UIKit/StatusBar.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "Foundation/Clock.h"
#include "Graphics/Context.h"
#include "Graphics/Text.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Device.h"
#include "UIKit/Font.h"

namespace ui {

namespace {

constexpr int kSpinnerSteps = 12;

// The process clock's time of day, so that the bar and the timers waiting for its next change
// agree (and a test's manual clock moves both).
std::string timeOfDay(double now) {
  std::time_t seconds = static_cast<std::time_t>(std::floor(now));
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[8];
  std::strftime(text, sizeof text, "%H:%M", &local);
  return text;
}

// The phone's default bar is light with dark text; every other bar is black with white text.
bool isLight(StatusBarStyle style) { return style == StatusBarStyle::defaultStyle && !isPad(); }

}  // namespace

std::shared_ptr<StatusBar> StatusBar::init() {
  View::initWithFrame({});
  setOpaque(false);
  setUserInteractionEnabled(false);
  refresh();
  return self<StatusBar>();
}

bool StatusBar::followApplication() {
  auto app = Application::sharedApplication();
  const cg::Rect frame = app->statusBarFrame();
  const bool hidden = app->isStatusBarHidden();
  const StatusBarStyle style = app->statusBarStyle();
  const bool activity = app->isNetworkActivityIndicatorVisible();
  if ((hidden || frame == this->frame()) && hidden == isHidden() && style == style_ && activity == activity_)
    return false;
  // A hidden bar keeps its width, so that it comes back where it was.
  if (!hidden) setFrame(frame);
  setHidden(hidden);
  style_ = style;
  activity_ = activity;
  setNeedsDisplay();
  return true;
}

bool StatusBar::refresh() {
  bool changed = followApplication();
  const double now = ns::clockNow();
  const int step = activity_ ? ActivityIndicatorView::spokeAt(now) : 0;
  std::string time = timeOfDay(now);
  if (step == spinnerStep_ && time == time_) return changed;
  spinnerStep_ = step;
  time_ = std::move(time);
  setNeedsDisplay();
  return true;
}

std::optional<double> StatusBar::nextChange(double now) const {
  if (isHidden()) return std::nullopt;
  // Every zone's minutes start on a whole minute of the epoch's.
  double minute = (std::floor(now / 60) + 1) * 60;
  if (!activity_) return minute;
  return std::min(minute, ActivityIndicatorView::nextSpokeAfter(now));
}

void StatusBar::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  const cg::Rect b = bounds();
  const bool light = isLight(style_);
  if (light) {
    cg::Gradient g{{cg::Color::rgba(0.83, 0.85, 0.88), cg::Color::rgba(0.64, 0.67, 0.72)}, {}};
    ctx->saveGState();
    ctx->clipToRect(b);
    ctx->drawLinearGradient(g, {b.x(), b.y()}, {b.x(), b.maxY()});
    ctx->restoreGState();
  } else {
    ctx->setFillColor(cg::Color::rgba(0, 0, 0, style_ == StatusBarStyle::blackTranslucent ? 0.5 : 1));
    ctx->fillRect(b);
  }
  const cg::Color ink = light ? cg::Color::white(0.2) : cg::Color::white(1);

  auto font = Font::boldSystemFontOfSize(13);
  const double lineHeight = std::ceil(font->lineHeight());
  ctx->setFillColor(ink);
  cg::drawText(*ctx, time_, {b.x(), b.y() + std::floor((b.height() - lineHeight) / 2), b.width(), lineHeight},
               font->cgFont(), cg::LineBreakMode::Clip, cg::TextAlignment::Center);

  if (!activity_) return;
  // Twelve spokes fading round the circle, the brightest one moving on with each step.
  const double r = 6, cx = b.x() + 14, cy = b.midY();
  ctx->saveGState();
  ctx->setLineWidth(1.5);
  ctx->setLineCap(cg::LineCap::Round);
  for (int i = 0; i < kSpinnerSteps; ++i) {
    double a = (spinnerStep_ - i) * cg::kPi / 6 - cg::kPi / 2;
    ctx->setStrokeColor(ink.withAlpha(0.25 + 0.75 * (kSpinnerSteps - i) / double(kSpinnerSteps)));
    ctx->beginPath();
    ctx->moveTo({cx + std::cos(a) * r * 0.45, cy + std::sin(a) * r * 0.45});
    ctx->addLineTo({cx + std::cos(a) * r, cy + std::sin(a) * r});
    ctx->strokePath();
  }
  ctx->restoreGState();
}

void StatusBar::appendDumpAttributes(std::string& line) const {
  static const char* const kStyles[] = {"default", "blackTranslucent", "blackOpaque"};
  line += std::string(" style=") + kStyles[static_cast<int>(style_)];
  if (activity_) line += " networkActivity";
}

}  // namespace ui
