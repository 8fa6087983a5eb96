#pragma once

#include <memory>
#include <string>

#include "AKMoviePlayer/AKMovieBarSupport.h"
#include "AKMoviePlayer/AKMovieSlider.h"
#include "Media/Time.h"
#include "UIKit/Label.h"
#include "UIKit/View.h"

// What the inline and the upper bar have in common: the played time, the time slider with its
// buffer bar and the remaining time, fed by the player controller. Main thread only.
class AKMovieTimeBar : public ui::View {
 public:
  const std::shared_ptr<AKMovieSlider>& scrubber() const { return scrubber_; }
  const std::shared_ptr<ui::Label>& currentTime() const { return currentTime_; }
  const std::shared_ptr<ui::Label>& leftTime() const { return leftTime_; }
  av::Time itemDuration() const { return itemDuration_; }
  bool enabledScrubber() const { return enabledScrubber_; }
  bool isAdv() const { return isAdv_; }

  // Widens the time labels when the duration's text does not fit (they never shrink), then keeps
  // the duration. The texts change at the next syncPlayedTime.
  void setItemDuration(av::Time duration);
  // Shows the played time, then the remaining time.
  void syncPlayedTime(av::Time time);
  // Shows "-" and the time from the played position to the end.
  void syncLeftTime(av::Time time);
  // Sets the buffer bar from the end of the loaded range, in seconds.
  void syncLoadedTime(double loadedSeconds);
  void syncScrubber(float value);
  // The slider's frame width, in points.
  float scrubberWidth() const;
  // An advertising clip cannot be scrubbed.
  void setIsAdv(bool isAdv);
  void setEnabledScrubber(bool enabled);

 protected:
  // A time label: "--:--", bold system font 12, white on clear.
  static std::shared_ptr<ui::Label> timeLabel(const cg::Rect& frame, ui::TextAlignment alignment);
  // Makes the slider and sends its touches to the hooks below.
  void makeScrubber(const cg::Rect& frame);
  void setCurrentTime(std::shared_ptr<ui::Label> label) { currentTime_ = std::move(label); }
  void setLeftTime(std::shared_ptr<ui::Label> label) { leftTime_ = std::move(label); }

  // The duration's text is wider than currentTime by `played` points and its remaining-time text
  // wider than leftTime by `left` points (either may be 0).
  virtual void widenTimeLabels(double played, double left) = 0;
  virtual void beginScrubbing() = 0;
  virtual void scrub(float value) = 0;
  virtual void endScrubbing(float width) = 0;

 private:
  void beginScrubbingAction() { beginScrubbing(); }
  void scrubAction() { scrub(scrubber_->value()); }
  void endScrubbingAction() { endScrubbing(float(scrubber_->bounds().width())); }

  av::Time itemDuration_ = av::kTimeInvalid;
  std::shared_ptr<AKMovieSlider> scrubber_;
  std::shared_ptr<ui::Label> currentTime_;
  std::shared_ptr<ui::Label> leftTime_;
  bool enabledScrubber_ = true;
  bool isAdv_ = false;
};
