#pragma once

#include <map>
#include <memory>

#include "UIKit/Control.h"
#include "UIKit/Image.h"

namespace ui {

// A thumb on a track between a minimum and a maximum value. A touch that goes down on the slider
// moves the thumb under the finger and drags it along the track: touch-down first, then
// value-changed whenever the value moves, then touch-up-inside, touch-up-outside or touch-cancel.
// The maximum track is drawn under the slider's subviews; the minimum track (left of the thumb) and
// the thumb over them, as the platform's own parts lie above views added to a new slider. Images
// are kept per state; a state without its own shows the normal state's.
class Slider : public Control {
 public:
  Slider();
  std::shared_ptr<Slider> initWithFrame(const cg::Rect& frame);

  // The value is kept within minimum...maximum whatever is passed; not-a-number reads as the
  // minimum. Setting a bound pulls the other bound and the value in with it.
  float value() const { return value_; }
  void setValue(float value, bool animated = false);
  float minimumValue() const { return minimum_; }
  void setMinimumValue(float minimum);
  float maximumValue() const { return maximum_; }
  void setMaximumValue(float maximum);

  void setMinimumTrackImage(std::shared_ptr<Image> image, unsigned state);
  std::shared_ptr<Image> minimumTrackImageForState(unsigned state) const;
  void setMaximumTrackImage(std::shared_ptr<Image> image, unsigned state);
  std::shared_ptr<Image> maximumTrackImageForState(unsigned state) const;
  void setThumbImage(std::shared_ptr<Image> image, unsigned state);
  std::shared_ptr<Image> thumbImageForState(unsigned state) const;

  // Where the parts lie for the current value, in the slider's bounds.
  cg::Rect trackRectForBounds(const cg::Rect& bounds) const;
  cg::Rect thumbRectForBounds(const cg::Rect& bounds, const cg::Rect& track, float value) const;

  void touchesBegan(const TouchSet& touches, const Event* event) override;
  void touchesMoved(const TouchSet& touches, const Event* event) override;

  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void didAddSubview(const std::shared_ptr<View>& subview) override;
  void appendDumpAttributes(std::string& line) const override;

 protected:
  void stateDidChange() override;

 private:
  class ThumbView;
  using PerState = std::map<unsigned, std::shared_ptr<Image>>;
  static std::shared_ptr<Image> lookup(const PerState& images, unsigned state);
  cg::Size thumbSize() const;
  // Draws the minimum track and the thumb (the thumb view's drawing).
  void drawThumb(double alpha) const;
  // Moves the value to the touch's place on the track; true when it changed.
  bool trackTouch(const TouchSet& touches);

  float value_ = 0;
  float minimum_ = 0;
  float maximum_ = 1;
  PerState minimumTrack_, maximumTrack_, thumb_;
  // Draws the minimum track and the thumb above any subview the slider is given.
  std::shared_ptr<View> thumbView_;
};

}  // namespace ui
