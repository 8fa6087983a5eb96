#include "UIKit/ProgressView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"
#include "Graphics/Context.h"

namespace ui {

ProgressView::ProgressView() { setOpaque(false); }

std::shared_ptr<ProgressView> ProgressView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<ProgressView>();
}

void ProgressView::setProgress(float progress) {
  progress_ = std::isnan(progress) ? 0 : std::clamp(progress, 0.0f, 1.0f);
  setNeedsDisplay();
}

void ProgressView::setProgressImage(std::shared_ptr<Image> image) {
  progressImage_ = std::move(image);
  setNeedsDisplay();
}

void ProgressView::setTrackImage(std::shared_ptr<Image> image) {
  trackImage_ = std::move(image);
  setNeedsDisplay();
}

cg::Rect ProgressView::progressRect() const {
  cg::Rect b = bounds();
  return {b.x(), b.y(), std::round(b.width() * double(progress_)), b.height()};
}

void ProgressView::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  cg::Rect b = bounds();
  if (trackImage_) {
    trackImage_->drawInRect(b);
  } else {
    ctx->setFillColor(cg::Color::white(0.72));
    ctx->fillPath(cg::Path::roundedRect(b, std::min(b.height(), b.width()) / 2));
  }
  cg::Rect fill = progressRect();
  if (fill.width() <= 0) return;
  if (progressImage_) {
    progressImage_->drawInRect(fill);
  } else {
    ctx->setFillColor(cg::Color::rgba(0.16, 0.47, 0.94));
    ctx->fillPath(cg::Path::roundedRect(fill, std::min(fill.height(), fill.width()) / 2));
  }
}

void ProgressView::appendDumpAttributes(std::string& line) const {
  line += ns::format(" progress=%.2f", double(progress_));
  if (progressImage_) line += " progressImage=" + progressImage_->describeSource();
  if (trackImage_) line += " trackImage=" + trackImage_->describeSource();
}

}  // namespace ui
