#pragma once

#include <memory>

#include "UIKit/View.h"

namespace ui {

class ScrollView;

// Told how a scroll view moves; every operation has an empty default.
class ScrollViewDelegate {
 public:
  virtual ~ScrollViewDelegate() = default;
  // After every change of the content offset, inside the call that made it.
  virtual void scrollViewDidScroll(ScrollView&) {}
};

// A view that shows part of a larger content: the content offset is the bounds' origin, so
// subviews placed in content coordinates move with it and the renderer draws them shifted.
// Clips to its bounds. Headless: the offset changes only through these calls (moves are never
// animated).
class ScrollView : public View {
 public:
  ScrollView();
  std::shared_ptr<ScrollView> initWithFrame(const cg::Rect& frame);

  cg::Size contentSize() const { return contentSize_; }
  void setContentSize(cg::Size size);
  cg::Point contentOffset() const { return bounds().origin; }
  // Any offset is taken as it is (the content is not a bound); the delegate hears of a change.
  void setContentOffset(cg::Point offset);
  void setContentOffset(cg::Point offset, bool animated);
  // The largest offset within the content: content size less the bounds' size, never below 0.
  cg::Point maximumContentOffset() const;
  // Scrolls the least distance that shows the rectangle (content coordinates) whole, as far as the
  // content allows; a rectangle larger than the bounds shows its top left corner.
  void scrollRectToVisible(const cg::Rect& rect, bool animated);

  std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }

  bool bounces() const { return bounces_; }
  void setBounces(bool bounces) { bounces_ = bounces; }
  bool isPagingEnabled() const { return pagingEnabled_; }
  void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
  bool showsHorizontalScrollIndicator() const { return showsHorizontalIndicator_; }
  void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontalIndicator_ = shows; }
  bool showsVerticalScrollIndicator() const { return showsVerticalIndicator_; }
  void setShowsVerticalScrollIndicator(bool shows) { showsVerticalIndicator_ = shows; }

  void appendDumpAttributes(std::string& line) const override;

 protected:
  void boundsOriginDidChange(cg::Point oldOrigin) override;

 private:
  cg::Size contentSize_;
  std::weak_ptr<ScrollViewDelegate> delegate_;
  bool bounces_ = true;
  bool pagingEnabled_ = false;
  bool scrollEnabled_ = true;
  bool showsHorizontalIndicator_ = true;
  bool showsVerticalIndicator_ = true;
};

}  // namespace ui
