#pragma once

#include <memory>

#include "UIKit/Image.h"
#include "UIKit/ImageView.h"
#include "UIKit/PopoverBackgroundView.h"

// A dark, image-based popover frame: a body stretched between its caps and an arrow image on the
// edge the popover system names, slid along it by the arrow offset and kept 9 points from its ends.
class KSCustomPopoverBackgroundView final : public ui::PopoverBackgroundView {
 public:
  static constexpr double kEdgeMargin = 9.0;

  std::shared_ptr<KSCustomPopoverBackgroundView> initWithFrame(const cg::Rect& frame);

  void setArrowOffset(double offset) override;
  void setArrowDirection(unsigned direction) override;

  static double arrowBase() { return 35.0; }
  static double arrowHeight() { return 19.0; }
  static cg::EdgeInsets contentViewInsets() { return {8.0, 8.0, 8.0, 8.0}; }

  const std::shared_ptr<ui::ImageView>& arrowImageView() const { return arrowImageView_; }
  const std::shared_ptr<ui::ImageView>& popoverBackgroundImageView() const {
    return popoverBackgroundImageView_;
  }

  void layoutSubviews() override;

 private:
  std::shared_ptr<ui::ImageView> arrowImageView_;
  std::shared_ptr<ui::ImageView> popoverBackgroundImageView_;
  std::shared_ptr<ui::Image> topArrowImage_, leftArrowImage_, rightArrowImage_, bottomArrowImage_;
};
