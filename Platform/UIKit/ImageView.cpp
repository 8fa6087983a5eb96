#include "UIKit/ImageView.h"

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

void ImageView::drawRect(const cg::Rect&) {
  if (!image_) return;
  image_->drawInRect(contentModeRect(contentMode(), image_->size(), bounds()));
}

void ImageView::appendDumpAttributes(std::string& line) const {
  line += " image=" + (image_ ? image_->describeSource() : std::string("nil"));
  if (contentMode() != ViewContentMode::scaleToFill)
    line += " contentMode=" + std::to_string(int(contentMode()));
}

}  // namespace ui
