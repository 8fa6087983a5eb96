#pragma once

#include <memory>

#include "UIKit/Image.h"
#include "UIKit/View.h"

namespace ui {

// A bar filled from the left up to a fraction: the track image over the whole bounds, the
// progress image over the filled part (plain colours without images).
class ProgressView : public View {
 public:
  ProgressView();
  std::shared_ptr<ProgressView> initWithFrame(const cg::Rect& frame);

  float progress() const { return progress_; }
  // Kept within 0...1; not-a-number reads 0. Subclasses may add to it.
  virtual void setProgress(float progress);

  const std::shared_ptr<Image>& progressImage() const { return progressImage_; }
  void setProgressImage(std::shared_ptr<Image> image);
  const std::shared_ptr<Image>& trackImage() const { return trackImage_; }
  void setTrackImage(std::shared_ptr<Image> image);

  // The filled part of the bounds.
  cg::Rect progressRect() const;

  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  float progress_ = 0;
  std::shared_ptr<Image> progressImage_;
  std::shared_ptr<Image> trackImage_;
};

}  // namespace ui
