#pragma once

#include <memory>

#include "UIKit/Image.h"
#include "UIKit/View.h"

namespace ui {

// Shows one image placed by the content mode (scaled to fill by default).
class ImageView : public View {
 public:
  ImageView();
  std::shared_ptr<ImageView> initWithFrame(const cg::Rect& frame);
  // Framed at the origin with the image's size.
  std::shared_ptr<ImageView> initWithImage(std::shared_ptr<Image> image);

  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> image);
  // The part of the image, in unit coordinates, that stretches when the view is larger than the
  // image; the rest keeps its size. The whole image (0, 0, 1, 1) by default.
  const cg::Rect& contentStretch() const { return contentStretch_; }
  void setContentStretch(const cg::Rect& stretch);

  cg::Size sizeThatFits(cg::Size size) const override;
  bool drawsContent() const override { return image_ != nullptr; }
  void drawRect(const cg::Rect& rect) override;
  std::optional<cg::Rect> contentExtent() const override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  std::shared_ptr<Image> image_;
  cg::Rect contentStretch_{0, 0, 1, 1};
};

}  // namespace ui
