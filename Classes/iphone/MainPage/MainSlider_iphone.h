#pragma once

#include <memory>

#include "Classes/MainPage/MainSliderBase.h"

// Told by a phone poster slider whether its poster list loaded. Both operations are optional.
class TLMainSliderDelegateIphone {
 public:
  virtual ~TLMainSliderDelegateIphone() = default;
  virtual void TLMainSliderLoaded(bool /*loaded*/) {}
  virtual void playMoviewWithNumber(int /*number*/) {}
};

// The phone's poster slider: half as high as wide, its size fixed at creation, no description,
// the name and detail lines fading out at their right edge.
class MainSlider_iphone final : public MainSliderBase {
 public:
  // The size is the host view's: the slider takes its width, and its height sets the panel's.
  std::shared_ptr<MainSlider_iphone> initWithFilms(ns::Array films, cg::Size size);

  std::shared_ptr<TLMainSliderDelegateIphone> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<TLMainSliderDelegateIphone> delegate) { delegate_ = std::move(delegate); }
  double heightView() const { return heightView_; }
  double curPageWidth() const { return curPageWidth_; }

 protected:
  cg::Rect scrollViewFrame() const override;
  bool scrollViewBounces() const override { return false; }
  void addPageControll() override;
  cg::Rect ratingFrame() const override;
  void didSetNumberOfPages(int count) override;
  void reportLoaded(bool loaded) override;
  void forgetDelegate() override { delegate_.reset(); }

 private:
  // Panel height: twice the band under the pages.
  double panelHeight() const;

  std::weak_ptr<TLMainSliderDelegateIphone> delegate_;
  double heightView_ = 0;
  double curPageWidth_ = 0;
};
