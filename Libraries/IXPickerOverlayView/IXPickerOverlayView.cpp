#include "IXPickerOverlayView/IXPickerOverlayView.h"

#include <cmath>

#include "Foundation/Locale.h"
#include "Foundation/NotificationCenter.h"
#include "UIKit/DatePicker.h"
#include "UIKit/ImageView.h"

IXPickerOverlayView::IXPickerOverlayView() = default;

IXPickerOverlayView::~IXPickerOverlayView() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

std::shared_ptr<IXPickerOverlayView> IXPickerOverlayView::initWithFrame(const cg::Rect& frame) {
  ui::View::initWithFrame(frame);
  return self<IXPickerOverlayView>();
}

void IXPickerOverlayView::setHostPickerView(std::shared_ptr<ui::View> view) {
  hostPickerView_ = std::move(view);
  auto center = ns::NotificationCenter::defaultCenter();
  center->removeObserver(this);
  if (std::dynamic_pointer_cast<ui::DatePicker>(hostPickerView_)) {
    std::weak_ptr<IXPickerOverlayView> weak = self<IXPickerOverlayView>();
    center->addObserver(
        shared_from_this(),
        [weak](const ns::Notification&) {
          if (auto overlay = weak.lock()) overlay->setNeedsLayout();
        },
        ns::kCurrentLocaleDidChangeNotification);
  }
  setNeedsLayout();
}

std::shared_ptr<ui::PickerView> IXPickerOverlayView::findPickerInView(const std::shared_ptr<ui::View>& view) {
  if (!view) return nullptr;
  if (auto picker = std::dynamic_pointer_cast<ui::PickerView>(view)) return picker;
  for (const auto& sub : view->subviews())
    if (auto picker = findPickerInView(sub)) return picker;
  return nullptr;
}

std::shared_ptr<cg::ShapeLayer> IXPickerOverlayView::textureLayer() {
  if (textureLayer_) return textureLayer_;
  textureLayer_ = std::make_shared<cg::ShapeLayer>();
  textureLayer_->setFillRule(cg::FillRule::EvenOdd);
  if (auto texture = imageForTexture()) textureLayer_->setFillPattern(texture->CGImage());
  textureLayer_->setTransform(cg::AffineTransform::makeScale(1, -1));
  layer()->addSublayer(textureLayer_);
  return textureLayer_;
}

std::shared_ptr<ui::Image> IXPickerOverlayView::imageForLeftPane() {
  return ui::Image::imageNamed("ixPickerOverlayLeftPane");
}
std::shared_ptr<ui::Image> IXPickerOverlayView::imageForRightPane() {
  return ui::Image::imageNamed("ixPickerOverlayRightPane");
}
std::shared_ptr<ui::Image> IXPickerOverlayView::imageForSectionWheel() {
  return ui::Image::imageNamed("ixPickerOverlaySectionWheel");
}
std::shared_ptr<ui::Image> IXPickerOverlayView::imageForSectionsSeparator() {
  return ui::Image::imageNamed("ixPickerOverlaySectionsSeparator");
}
std::shared_ptr<ui::Image> IXPickerOverlayView::imageForTexture() {
  return ui::Image::imageNamed("ixPickerOverlayTexture");
}
std::shared_ptr<ui::Image> IXPickerOverlayView::imageForGlass() {
  return ui::Image::imageNamed("ixPickerOverlayGlass");
}

void IXPickerOverlayView::addImageView(const cg::Rect& frame, const std::shared_ptr<ui::Image>& image,
                                       const cg::Rect& stretch) {
  auto view = std::make_shared<ui::ImageView>()->initWithFrame(frame);
  view->setImage(image);
  view->setContentStretch(stretch);
  addSubview(view);
}

void IXPickerOverlayView::layoutSubviews() {
  auto subviews = this->subviews();
  for (const auto& sub : subviews) sub->removeFromSuperview();

  auto picker = findPickerInView(hostPickerView_);
  if (!picker || picker->numberOfComponents() == 0) return;
  picker->setShowsSelectionIndicator(false);

  cg::Rect b = picker->bounds();
  double W = b.width(), H = b.height();
  int components = picker->numberOfComponents();
  double R = W;
  for (int i = 0; i < components; ++i) R -= picker->rowSizeForComponent(i).width - 2;
  double L = std::ceil(R * 0.5), M = R - L;

  // The band between the picker's outline and the wheels' outline, flipped as the layer flips it
  // back.
  cg::Path path;
  path.addRect(cg::Rect(0, -H, W, H));
  path.addRect(cg::Rect(L, -(H - 10), W - L - M, H - 20));
  textureLayer()->setPath(path);

  addImageView(cg::Rect(0, 0, L, H), imageForLeftPane(), cg::Rect(0, 0, 0, 1));
  addImageView(cg::Rect(W - M, 0, M, H), imageForRightPane(), cg::Rect(1, 0, 0, 1));
  const cg::Rect wheelStretch(0, 0.25, 1, 0.5);
  double x = L;
  for (int i = 0; i < components; ++i) {
    double w = picker->rowSizeForComponent(i).width - 2;
    addImageView(cg::Rect(x, 0, w, H), imageForSectionWheel(), wheelStretch);
    x += w;
    if (i + 1 < components) {
      addImageView(cg::Rect(x, 0, 8, H), imageForSectionsSeparator(), wheelStretch);
      x += 8;
    }
  }
  if (auto glass = imageForGlass()) {
    double h = glass->size().height;
    addImageView(cg::Rect(L - 6, std::round((H - h) * 0.5), W - L - M + 12, h), glass,
                 cg::Rect(0.5, 0, 0, 1));
  }
}
