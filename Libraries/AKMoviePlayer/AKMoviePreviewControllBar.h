#pragma once

#include <memory>

#include "AKMoviePlayer/AKMovieTimeBar.h"
#include "UIKit/Button.h"
#include "UIKit/ImageView.h"

class AKMoviePreviewControllBar;

// What the inline bar tells its owner; every operation is called without asking.
class AKMoviePreviewControllBarDelegate {
 public:
  virtual ~AKMoviePreviewControllBarDelegate() = default;
  virtual void AKMoviePreviewControllBarPlay(AKMoviePreviewControllBar& bar) = 0;
  virtual void AKMoviePreviewControllBarPause(AKMoviePreviewControllBar& bar) = 0;
  virtual void AKMoviePreviewControllBarGoToFullscreen(AKMoviePreviewControllBar& bar) = 0;
  // A finger went down on the slider.
  virtual void AKMoviePreviewControllBarBeginScrubbing(AKMoviePreviewControllBar& bar) = 0;
  // The slider moved to a value of 0...1.
  virtual void AKMoviePreviewControllBarScrub(AKMoviePreviewControllBar& bar, float value) = 0;
  // The finger left the slider (lifted inside or outside, or cancelled); width is the slider's.
  virtual void AKMoviePreviewControllBarEndScrubbing(AKMoviePreviewControllBar& bar, float width) = 0;
};

// The control strip over the bottom of the inline player: play/pause, played time, time slider,
// remaining time and the full-screen button. It shows what its owner tells it and reports every
// touch to its delegate.
class AKMoviePreviewControllBar final : public AKMovieTimeBar {
 public:
  // Builds the bar along the bottom edge of the player view's rectangle.
  std::shared_ptr<AKMoviePreviewControllBar> initWithParentFrame(const cg::Rect& parentFrame);

  std::shared_ptr<AKMoviePreviewControllBarDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<AKMoviePreviewControllBarDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  const std::shared_ptr<ui::Button>& playBt() const { return playBt_; }
  const std::shared_ptr<ui::Button>& goToFullscreen() const { return goToFullscreen_; }
  const std::shared_ptr<ui::View>& controllView() const { return controllView_; }

  // The pause image (a tap pauses); disabled while an advertising clip plays.
  void showPauseButton();
  // The play image (a tap plays), enabled.
  void showPlayButton();
  // Fade in or out over 0.2 seconds; hidden once the fade-out ends.
  void show();
  void hide();

  // The button actions: the image switches first, then the delegate hears of it.
  void playAction();
  void pauseAction();
  void goToFullscreenAction();

 protected:
  void widenTimeLabels(double played, double left) override;
  void beginScrubbing() override;
  void scrub(float value) override;
  void endScrubbing(float width) override;

 private:
  void playBtTapped();

  std::weak_ptr<AKMoviePreviewControllBarDelegate> delegate_;
  std::shared_ptr<ui::Button> playBt_;
  std::shared_ptr<ui::Button> goToFullscreen_;
  std::shared_ptr<ui::View> controllView_;
  bool showsPause_ = false;
  akmovie::Fader fader_;
};
