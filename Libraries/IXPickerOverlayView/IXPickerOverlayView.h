#pragma once

#include <memory>

#include "Graphics/ShapeLayer.h"
#include "UIKit/Image.h"
#include "UIKit/PickerView.h"
#include "UIKit/View.h"

// Dresses a picker in the application's own images: side panes, a wheel image per component,
// separators between components, a textured frame around the wheels and a glass strip across the
// middle. Laid over the picker with interaction off, so that touches reach the picker below; it
// draws nothing itself and rebuilds its image views on every layout pass.
class IXPickerOverlayView : public ui::View {
 public:
  IXPickerOverlayView();
  ~IXPickerOverlayView() override;
  IXPickerOverlayView(const IXPickerOverlayView&) = delete;
  IXPickerOverlayView& operator=(const IXPickerOverlayView&) = delete;
  std::shared_ptr<IXPickerOverlayView> initWithFrame(const cg::Rect& frame);

  // The picker, or a view holding it; kept alive by the overlay. A date picker's wheels change
  // with the locale, so the overlay lays itself out again when the locale changes.
  const std::shared_ptr<ui::View>& hostPickerView() const { return hostPickerView_; }
  void setHostPickerView(std::shared_ptr<ui::View> view);

  // The view itself when it is a picker, else the first picker depth-first among its subviews.
  static std::shared_ptr<ui::PickerView> findPickerInView(const std::shared_ptr<ui::View>& view);

  // The textured frame, made on first use.
  std::shared_ptr<cg::ShapeLayer> textureLayer();

  // One operation per image, so that a variant can supply others.
  virtual std::shared_ptr<ui::Image> imageForLeftPane();
  virtual std::shared_ptr<ui::Image> imageForRightPane();
  virtual std::shared_ptr<ui::Image> imageForSectionWheel();
  virtual std::shared_ptr<ui::Image> imageForSectionsSeparator();
  virtual std::shared_ptr<ui::Image> imageForTexture();
  virtual std::shared_ptr<ui::Image> imageForGlass();

  void layoutSubviews() override;

 private:
  void addImageView(const cg::Rect& frame, const std::shared_ptr<ui::Image>& image, const cg::Rect& stretch);

  std::shared_ptr<ui::View> hostPickerView_;
  std::shared_ptr<cg::ShapeLayer> textureLayer_;
};
