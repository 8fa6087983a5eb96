#include "UIKit/Slider.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"
#include "Graphics/Context.h"

namespace ui {

namespace {
constexpr double kDefaultTrackHeight = 4;
constexpr double kDefaultThumbSize = 23;
constexpr double kDisabledAlpha = 0.5;
}  // namespace

// Covers the slider, takes no touches and stays in front of the slider's other subviews.
class Slider::ThumbView final : public View {
 public:
  ThumbView() { setOpaque(false); }
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect&) override {
    if (auto slider = std::dynamic_pointer_cast<Slider>(superview()))
      slider->drawThumb(slider->isEnabled() ? 1 : kDisabledAlpha);
  }
};

Slider::Slider() { setOpaque(false); }

std::shared_ptr<Slider> Slider::initWithFrame(const cg::Rect& frame) {
  Control::initWithFrame(frame);
  if (!thumbView_) {
    thumbView_ = std::make_shared<ThumbView>()->initWithFrame(bounds());
    thumbView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    thumbView_->setUserInteractionEnabled(false);
    addSubview(thumbView_);
  }
  return self<Slider>();
}

void Slider::setValue(float value, bool) {
  float v = std::isnan(value) ? minimum_ : std::clamp(value, minimum_, maximum_);
  if (v == value_) return;
  value_ = v;
  setNeedsDisplay();
  if (thumbView_) thumbView_->setNeedsDisplay();
}

void Slider::setMinimumValue(float minimum) {
  if (std::isnan(minimum)) return;
  minimum_ = minimum;
  maximum_ = std::max(maximum_, minimum_);
  setValue(value_);
}

void Slider::setMaximumValue(float maximum) {
  if (std::isnan(maximum)) return;
  maximum_ = maximum;
  minimum_ = std::min(minimum_, maximum_);
  setValue(value_);
}

std::shared_ptr<Image> Slider::lookup(const PerState& images, unsigned state) {
  if (auto it = images.find(state); it != images.end() && it->second) return it->second;
  auto normal = images.find(ControlStateNormal);
  return normal == images.end() ? nullptr : normal->second;
}

void Slider::setMinimumTrackImage(std::shared_ptr<Image> image, unsigned state) {
  minimumTrack_[state] = std::move(image);
  setNeedsDisplay();
}
std::shared_ptr<Image> Slider::minimumTrackImageForState(unsigned state) const {
  return lookup(minimumTrack_, state);
}
void Slider::setMaximumTrackImage(std::shared_ptr<Image> image, unsigned state) {
  maximumTrack_[state] = std::move(image);
  setNeedsDisplay();
}
std::shared_ptr<Image> Slider::maximumTrackImageForState(unsigned state) const {
  return lookup(maximumTrack_, state);
}
void Slider::setThumbImage(std::shared_ptr<Image> image, unsigned state) {
  thumb_[state] = std::move(image);
  setNeedsDisplay();
}
std::shared_ptr<Image> Slider::thumbImageForState(unsigned state) const { return lookup(thumb_, state); }

cg::Size Slider::thumbSize() const {
  if (auto image = thumbImageForState(state())) return image->size();
  return {kDefaultThumbSize, kDefaultThumbSize};
}

cg::Rect Slider::trackRectForBounds(const cg::Rect& b) const {
  double h = kDefaultTrackHeight;
  if (auto image = maximumTrackImageForState(state())) h = image->size().height;
  return {b.x(), b.y() + std::floor((b.height() - h) / 2), b.width(), h};
}

cg::Rect Slider::thumbRectForBounds(const cg::Rect& b, const cg::Rect& track, float value) const {
  cg::Size t = thumbSize();
  double span = std::max(0.0, track.width() - t.width);
  double range = double(maximum_) - double(minimum_);
  double fraction = range > 0 ? (double(value) - minimum_) / range : 0;
  return {track.x() + std::round(span * fraction), b.y() + std::floor((b.height() - t.height) / 2), t.width,
          t.height};
}

bool Slider::trackTouch(const TouchSet& touches) {
  if (touches.empty()) return false;
  double span = bounds().width() - thumbSize().width;
  double x = touches.front()->locationInView(this).x - bounds().x() - thumbSize().width / 2;
  double fraction = span > 0 ? std::clamp(x / span, 0.0, 1.0) : 0;
  float before = value_;
  setValue(float(minimum_ + fraction * (double(maximum_) - minimum_)));
  return value_ != before;
}

void Slider::touchesBegan(const TouchSet& touches, const Event* event) {
  if (!isEnabled()) return;
  auto keep = self<Slider>();
  Control::touchesBegan(touches, event);
  if (trackTouch(touches)) sendActionsForControlEvents(ControlEventValueChanged);
}

void Slider::touchesMoved(const TouchSet& touches, const Event* event) {
  if (!isTracking()) return;
  auto keep = self<Slider>();
  if (trackTouch(touches)) sendActionsForControlEvents(ControlEventValueChanged);
  Control::touchesMoved(touches, event);
}

void Slider::stateDidChange() {
  setNeedsDisplay();
  if (thumbView_) thumbView_->setNeedsDisplay();
}

void Slider::didAddSubview(const std::shared_ptr<View>& subview) {
  if (thumbView_ && subview != thumbView_) bringSubviewToFront(thumbView_);
}

namespace {

void drawPart(const std::shared_ptr<Image>& image, const cg::Rect& r, const cg::Color& fallback,
              double alpha) {
  if (r.width() <= 0 || r.height() <= 0) return;
  if (image) {
    image->drawInRect(r, alpha);
    return;
  }
  if (cg::Context* ctx = cg::currentContext()) {
    ctx->setFillColor(fallback.withAlpha(fallback.alpha * alpha));
    ctx->fillPath(cg::Path::roundedRect(r, r.height() / 2));
  }
}

}  // namespace

void Slider::drawRect(const cg::Rect&) {
  cg::Rect b = bounds();
  cg::Rect track = trackRectForBounds(b);
  double thumbMid = thumbRectForBounds(b, track, value_).midX();
  cg::Rect rest{thumbMid, track.y(), track.maxX() - thumbMid, track.height()};
  drawPart(maximumTrackImageForState(state()), rest, cg::Color::white(0.72),
           isEnabled() ? 1 : kDisabledAlpha);
}

void Slider::drawThumb(double alpha) const {
  cg::Rect b = bounds();
  cg::Rect track = trackRectForBounds(b);
  cg::Rect thumb = thumbRectForBounds(b, track, value_);
  auto minImage = minimumTrackImageForState(state());
  double h = minImage ? std::min(b.height(), minImage->size().height) : track.height();
  drawPart(minImage, {track.x(), b.y() + std::floor((b.height() - h) / 2), thumb.midX() - track.x(), h},
           cg::Color::rgba(0.16, 0.47, 0.94), alpha);
  if (auto image = thumbImageForState(state())) {
    image->drawInRect(thumb, alpha);
  } else if (cg::Context* ctx = cg::currentContext()) {
    ctx->setFillColor(cg::Color::white(1, alpha));
    ctx->fillEllipseInRect(thumb.insetBy(1, 1));
    ctx->setStrokeColor(cg::Color::white(0.6, alpha));
    ctx->setLineWidth(1);
    ctx->strokeEllipseInRect(thumb.insetBy(1.5, 1.5));
  }
}

void Slider::appendDumpAttributes(std::string& line) const {
  Control::appendDumpAttributes(line);
  line += ns::format(" value=%.3f range=%g...%g", double(value_), double(minimum_), double(maximum_));
  if (auto i = minimumTrackImageForState(state())) line += " minimumTrack=" + i->describeSource();
  if (auto i = maximumTrackImageForState(state())) line += " maximumTrack=" + i->describeSource();
  if (auto i = thumbImageForState(state())) line += " thumb=" + i->describeSource();
}

}  // namespace ui
