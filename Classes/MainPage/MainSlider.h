#pragma once

#include <memory>

#include "Classes/MainPage/MainSliderBase.h"

// Told by a tablet poster slider whether its poster list loaded. Both operations are optional.
class TLMainSliderDelegate {
 public:
  virtual ~TLMainSliderDelegate() = default;
  // YES when a list was received (installed unless it held no poster), NO when the load failed.
  virtual void TLMainSliderLoaded(bool /*loaded*/) {}
  // Never sent by the slider.
  virtual void playMoviewWithNumber(int /*number*/) {}
};

// The tablet's poster slider: 457 points high, its pages 317 points high 44 points below its top,
// the panel with a two-line description, and a re-layout for the status bar's orientation that
// keeps the record in view and refills the pages 0.3 seconds later.
class MainSlider final : public MainSliderBase {
 public:
  static constexpr double kHeight = 457;
  static constexpr double kPanelHeight = 126;

  // 768 wide; sends the poster request at once.
  std::shared_ptr<MainSlider> initWithFilms(ns::Array films);

  std::shared_ptr<TLMainSliderDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<TLMainSliderDelegate> delegate) { delegate_ = std::move(delegate); }

  void layoutSubviews() override;

 protected:
  cg::Rect scrollViewFrame() const override;
  cg::Size largestPageSize() const override { return {1024, kHeight}; }
  bool scrollViewBounces() const override { return true; }
  void addPageControll() override;
  cg::Rect ratingFrame() const override;
  void reportLoaded(bool loaded) override;
  void forgetDelegate() override { delegate_.reset(); }

 private:
  std::weak_ptr<TLMainSliderDelegate> delegate_;
};
