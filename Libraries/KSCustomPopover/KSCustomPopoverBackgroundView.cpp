#include "KSCustomPopover/KSCustomPopoverBackgroundView.h"

#include <cmath>

std::shared_ptr<KSCustomPopoverBackgroundView> KSCustomPopoverBackgroundView::initWithFrame(
    const cg::Rect& frame) {
  ui::PopoverBackgroundView::initWithFrame(frame);
  topArrowImage_ = ui::Image::imageNamed("popover-black-top-arrow-image.png");
  leftArrowImage_ = ui::Image::imageNamed("popover-black-left-arrow-image.png");
  bottomArrowImage_ = ui::Image::imageNamed("popover-black-bottom-arrow-image.png");
  rightArrowImage_ = ui::Image::imageNamed("popover-black-right-arrow-image.png");
  auto body = ui::Image::imageNamed("popover-black-bcg-image.png");
  if (body) body = body->resizableImageWithCapInsets({49, 46, 49, 45});
  popoverBackgroundImageView_ = std::make_shared<ui::ImageView>()->initWithImage(body);
  addSubview(popoverBackgroundImageView_);
  arrowImageView_ = std::make_shared<ui::ImageView>()->initWithFrame(cg::Rect{});
  addSubview(arrowImageView_);
  return std::static_pointer_cast<KSCustomPopoverBackgroundView>(shared_from_this());
}

void KSCustomPopoverBackgroundView::setArrowOffset(double offset) {
  ui::PopoverBackgroundView::setArrowOffset(offset);
  setNeedsLayout();
}

void KSCustomPopoverBackgroundView::setArrowDirection(unsigned direction) {
  ui::PopoverBackgroundView::setArrowDirection(direction);
  setNeedsLayout();
}

void KSCustomPopoverBackgroundView::layoutSubviews() {
  double w = bounds().width(), h = bounds().height();
  double base = arrowBase(), height = arrowHeight();
  cg::Rect body{0, 0, w, h};
  cg::Rect arrow{0, 0, base, height};
  // The arrow's position along its edge, and that edge's length.
  double* along = nullptr;
  double edge = 0;
  switch (arrowDirection()) {
    case ui::PopoverArrowDirectionUp:
      body.origin.y = height - 2;
      body.size.height = h - height;
      arrow.origin.x = std::round((w - base) / 2 + arrowOffset());
      arrowImageView_->setImage(topArrowImage_);
      along = &arrow.origin.x, edge = w;
      break;
    case ui::PopoverArrowDirectionDown:
      body.size.height = h - height + 2;
      arrow.origin.x = std::round((w - base) / 2 + arrowOffset());
      arrow.origin.y = body.height() - 2;
      arrowImageView_->setImage(bottomArrowImage_);
      along = &arrow.origin.x, edge = w;
      break;
    case ui::PopoverArrowDirectionLeft:
      body.origin.x = height - 2;
      body.size.width = w - height;
      arrow = {0, std::round((h - base) / 2 + arrowOffset()), height, base};
      arrowImageView_->setImage(leftArrowImage_);
      along = &arrow.origin.y, edge = h;
      break;
    case ui::PopoverArrowDirectionRight:
      body.size.width = w - height + 2;
      arrow = {body.width() - 2, std::round((h - base) / 2 + arrowOffset()), height, base};
      arrowImageView_->setImage(rightArrowImage_);
      along = &arrow.origin.y, edge = h;
      break;
    default:
      body.size.height = h - height + 2;
      break;
  }
  if (along) {
    if (*along + base > edge - kEdgeMargin) *along -= kEdgeMargin;
    if (*along < kEdgeMargin) *along += kEdgeMargin;
  }
  popoverBackgroundImageView_->setFrame(body);
  arrowImageView_->setFrame(arrow);
}
