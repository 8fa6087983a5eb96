#include "UIKit/ImageView.h"

#include "Foundation/Format.h"

namespace ui {

ImageView::ImageView() {
  setUserInteractionEnabled(false);
  setOpaque(false);
}

std::shared_ptr<ImageView> ImageView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<ImageView>();
}

std::shared_ptr<ImageView> ImageView::initWithImage(std::shared_ptr<Image> image) {
  cg::Size s = image ? image->size() : cg::Size{};
  View::initWithFrame({0, 0, s.width, s.height});
  setImage(std::move(image));
  return self<ImageView>();
}

void ImageView::setImage(std::shared_ptr<Image> image) {
  image_ = std::move(image);
  setNeedsDisplay();
}

cg::Size ImageView::sizeThatFits(cg::Size) const { return image_ ? image_->size() : cg::Size{}; }

void ImageView::setContentStretch(const cg::Rect& stretch) {
  contentStretch_ = stretch;
  setNeedsDisplay();
}

void ImageView::drawRect(const cg::Rect&) {
  if (!image_) return;
  cg::Rect whole(0, 0, 1, 1);
  if (contentStretch_ == whole || contentMode() != ViewContentMode::scaleToFill || image_->isStretchable()) {
    image_->drawInRect(contentModeRect(contentMode(), image_->size(), bounds()));
    return;
  }
  // The parts outside the stretched rectangle are caps that keep their size.
  cg::Size s = image_->size();
  cg::Rect r = contentStretch_.standardized().intersection(whole);
  cg::EdgeInsets caps{r.y() * s.height, r.x() * s.width, (1 - r.maxY()) * s.height, (1 - r.maxX()) * s.width};
  image_->resizableImageWithCapInsets(caps)->drawInRect(bounds());
}

std::optional<cg::Rect> ImageView::contentExtent() const {
  if (!image_ || contentMode() == ViewContentMode::scaleToFill) return std::nullopt;
  return contentModeRect(contentMode(), image_->size(), bounds());
}

void ImageView::appendDumpAttributes(std::string& line) const {
  line += " image=" + (image_ ? image_->describeSource() : std::string("nil"));
  if (contentStretch_ != cg::Rect(0, 0, 1, 1))
    line += ns::format(" contentStretch=(%g,%g,%g,%g)", contentStretch_.x(), contentStretch_.y(),
                       contentStretch_.width(), contentStretch_.height());
  if (contentMode() != ViewContentMode::scaleToFill)
    line += " contentMode=" + std::to_string(int(contentMode()));
}

}  // namespace ui
