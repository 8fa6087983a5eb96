#pragma once

#include <memory>
#include <string>

#include "AKMoviePlayer/AKMovieTimeBar.h"
#include "UIKit/Button.h"
#include "UIKit/Toolbar.h"

class AKMovieUpperControllBar;

// What the full-screen top bar tells its owner; every operation is called without asking.
class AKMovieUpperControllBarDelegate {
 public:
  virtual ~AKMovieUpperControllBarDelegate() = default;
  // Done was pressed: leave full screen.
  virtual void AKMovieUpperControllBarDone(AKMovieUpperControllBar& bar) = 0;
  // The picture should switch to a gravity: av::kLayerVideoGravityResizeAspectFill or
  // av::kLayerVideoGravityResizeAspect.
  virtual void AKMovieUpperControllBarChangeVideoGravity(AKMovieUpperControllBar& bar,
                                                         const std::string& gravity) = 0;
  virtual void AKMovieUpperControllBarBeginScrubbing(AKMovieUpperControllBar& bar) = 0;
  virtual void AKMovieUpperControllBarScrub(AKMovieUpperControllBar& bar, float value) = 0;
  virtual void AKMovieUpperControllBarEndScrubbing(AKMovieUpperControllBar& bar, float width) = 0;
};

// The top bar of the full-screen player: a toolbar with Done, the played time, the time slider,
// the remaining time and the fit/fill switch. While an item loads it shows a spinner in place of
// the time controls. The status bar shows and hides with it. Sized for the device and the status
// bar's orientation when it is built.
class AKMovieUpperControllBar final : public AKMovieTimeBar {
 public:
  // The width is not used: the size comes from the device and the status-bar orientation.
  std::shared_ptr<AKMovieUpperControllBar> initWithWidth(float width);

  std::shared_ptr<AKMovieUpperControllBarDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<AKMovieUpperControllBarDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }
  const std::shared_ptr<ui::Button>& doneBt() const { return doneBt_; }
  // Selected means "fill".
  const std::shared_ptr<ui::Button>& videoSizeBt() const { return videoSizeBt_; }
  // The loading indicator; on screen only while loading.
  const std::shared_ptr<ui::View>& activityView() const { return activityView_; }
  bool loading() const { return loading_; }

  // While loading the time controls are hidden, slider and buffer bar read 0, the fit/fill switch
  // is disabled and one loading indicator is on screen.
  void setLoading(bool loading);
  // A new item starts fitted: the switch is deselected.
  void didSetNewItem();
  // Fade in or out over 0.3 seconds with the status bar; hidden once the fade-out ends.
  void show();
  void hide();

  void doneAction();
  // Asks for fill when the switch shows fit and for fit when it shows fill, then flips it.
  void changeVideoGravity();

 protected:
  void widenTimeLabels(double played, double left) override;
  void beginScrubbing() override;
  void scrub(float value) override;
  void endScrubbing(float width) override;

 private:
  std::weak_ptr<AKMovieUpperControllBarDelegate> delegate_;
  std::shared_ptr<ui::Toolbar> toolbar_;
  std::shared_ptr<ui::Button> doneBt_;
  std::shared_ptr<ui::Button> videoSizeBt_;
  std::shared_ptr<ui::View> activityView_;
  bool loading_ = false;
  akmovie::Fader fader_;
};
