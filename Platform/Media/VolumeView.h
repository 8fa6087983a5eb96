#pragma once

#include <memory>
#include <string>

#include "UIKit/View.h"

namespace av {

// The system volume slider: a track with a knob at the process-wide output volume (see
// MusicPlayerController). Touching or dragging along it sets the volume. Main thread only.
class VolumeView final : public ui::View {
 public:
  VolumeView();
  std::shared_ptr<VolumeView> initWithFrame(const cg::Rect& frame);

  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void touchesBegan(const ui::TouchSet& touches, const ui::Event* event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event* event) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  // The track runs between the knob's centres at either end.
  static constexpr double kKnobRadius = 8;
  void setVolumeFromTouches(const ui::TouchSet& touches);
};

}  // namespace av
