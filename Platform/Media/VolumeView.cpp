#include "Media/VolumeView.h"

#include <algorithm>

#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "Media/AudioOutput.h"

namespace av {

VolumeView::VolumeView() { setOpaque(false); }

std::shared_ptr<VolumeView> VolumeView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<VolumeView>();
}

void VolumeView::drawRect(const cg::Rect&) {
  cg::Context* context = cg::currentContext();
  if (!context) return;
  cg::Rect b = bounds();
  double left = b.minX() + kKnobRadius, right = std::max(left, b.maxX() - kKnobRadius);
  double x = left + (right - left) * detail::outputVolume(), y = b.midY();
  context->setFillColor(cg::Color::white(1, 0.9));
  context->fillPath(cg::Path::roundedRect({left, y - 2, x - left, 4}, 2));
  context->setFillColor(cg::Color::white(0.45, 0.9));
  context->fillPath(cg::Path::roundedRect({x, y - 2, right - x, 4}, 2));
  context->setFillColor(cg::Color::white(1));
  context->fillEllipseInRect({x - kKnobRadius, y - kKnobRadius, 2 * kKnobRadius, 2 * kKnobRadius});
}

void VolumeView::setVolumeFromTouches(const ui::TouchSet& touches) {
  if (touches.empty()) return;
  cg::Rect b = bounds();
  double span = b.width() - 2 * kKnobRadius;
  double x = touches.front()->locationInView(this).x - b.minX() - kKnobRadius;
  detail::setOutputVolume(span > 0 ? float(std::clamp(x / span, 0.0, 1.0)) : 1.0f);
  setNeedsDisplay();
}

void VolumeView::touchesBegan(const ui::TouchSet& touches, const ui::Event*) {
  setVolumeFromTouches(touches);
}

void VolumeView::touchesMoved(const ui::TouchSet& touches, const ui::Event*) {
  setVolumeFromTouches(touches);
}

void VolumeView::appendDumpAttributes(std::string& line) const {
  line += ns::format(" volume=%.2f", double(detail::outputVolume()));
}

}  // namespace av
