#pragma once

#include <memory>

#include "AKMoviePlayer/AKMovieBarSupport.h"
#include "Media/VolumeView.h"
#include "UIKit/Button.h"
#include "UIKit/Slider.h"
#include "UIKit/View.h"

class AKMovieLowerControllBar;

// What the full-screen bottom panel tells its owner; every operation is called without asking.
class AKMovieLowerControllBarDelegate {
 public:
  virtual ~AKMovieLowerControllBarDelegate() = default;
  virtual void AKMovieLowerControllBarPlay(AKMovieLowerControllBar& bar) = 0;
  virtual void AKMovieLowerControllBarPause(AKMovieLowerControllBar& bar) = 0;
  virtual void AKMovieLowerControllBarBack30(AKMovieLowerControllBar& bar) = 0;
  virtual void AKMovieLowerControllBarPrevious(AKMovieLowerControllBar& bar) = 0;
  virtual void AKMovieLowerControllBarNext(AKMovieLowerControllBar& bar) = 0;
  virtual void AKMovieLowerControllBarShowSocial(AKMovieLowerControllBar& bar) = 0;
};

// The bottom panel of the full-screen player: back 30 seconds, previous, play/pause, next and
// share, over the system volume slider, centred near the bottom of the screen. Its owner enables
// and disables the buttons: while an item loads, during an advertising clip, and when there is no
// next or previous item. Placed for the device and the status bar's orientation when it is built.
class AKMovieLowerControllBar final : public ui::View {
 public:
  // Tags of the play button: which image it shows.
  static constexpr int kPlayImageTag = 0;
  static constexpr int kPauseImageTag = 1;

  std::shared_ptr<AKMovieLowerControllBar> init();

  std::shared_ptr<AKMovieLowerControllBarDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<AKMovieLowerControllBarDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  const std::shared_ptr<ui::Button>& play() const { return play_; }
  const std::shared_ptr<ui::Button>& back30() const { return back30_; }
  const std::shared_ptr<ui::Button>& next() const { return next_; }
  const std::shared_ptr<ui::Button>& social() const { return social_; }
  const std::shared_ptr<ui::Button>& prev() const { return prev_; }
  const std::shared_ptr<av::VolumeView>& volumeView() const { return volumeView_; }
  bool buttonsEnabled() const { return buttonsEnabled_; }
  bool isAdv() const { return isAdv_; }
  bool nextItemEnabled() const { return nextItemEnabled_; }
  bool prevItemEnabled() const { return prevItemEnabled_; }

  // Fade in or out over 0.3 seconds; hidden once the fade-out ends.
  void show();
  void hide();
  // The pause image, tag 1; disabled during an advertising clip.
  void showPauseButton();
  // The play image, tag 0; enabled when the buttons are.
  void showPlayButton();
  // False (loading) disables all five; true enables them unless an advertising clip plays, next
  // and previous only where there is such an item.
  void setButtonsEnabled(bool enabled);
  // True disables all but a play button showing the play image (a paused clip can be resumed);
  // false enables them, next and previous only where there is such an item.
  void setIsAdv(bool isAdv);
  // Enable or disable next or previous at once.
  void setNextItemEnabled(bool enabled);
  void setPrevItemEnabled(bool enabled);

  // Sets the application's volume to the slider's value.
  void volumeValueDidChange(ui::Slider& slider);

  void playAction();
  void pauseAction();
  void back30Action();
  void prevAction();
  void nextAction();
  void socialAction();

 private:
  void playTapped();
  void enableForItem();

  std::weak_ptr<AKMovieLowerControllBarDelegate> delegate_;
  std::shared_ptr<ui::Button> play_, back30_, next_, social_, prev_;
  std::shared_ptr<av::VolumeView> volumeView_;
  bool buttonsEnabled_ = false;
  bool isAdv_ = false;
  bool nextItemEnabled_ = false;
  bool prevItemEnabled_ = false;
  akmovie::Fader fader_;
};
