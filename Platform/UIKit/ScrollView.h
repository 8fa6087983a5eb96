#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "Foundation/Timer.h"
#include "UIKit/View.h"

namespace ui {

class ScrollView;

// Told how a scroll view moves; every operation has an empty default.
class ScrollViewDelegate {
 public:
  virtual ~ScrollViewDelegate() = default;
  // After every change of the content offset, inside the call that made it.
  virtual void scrollViewDidScroll(ScrollView&) {}
  // When the content goes on moving by itself after a release (or after a wheel rests).
  virtual void scrollViewWillBeginDecelerating(ScrollView&) {}
  // When the slide that follows a drag has brought the content to rest (at once when the drag
  // ended where it rests).
  virtual void scrollViewDidEndDecelerating(ScrollView&) {}
};

// A view that shows part of a larger content: the content offset is the bounds' origin, so
// subviews placed in content coordinates move with it and the renderer draws them shifted.
// Clips to its bounds. A finger dragged over it (or over a control inside it, which then loses the
// touch) moves the content. On release the content carries on at the finger's speed (measured
// over the last kVelocityWindow on the platform clock) and decelerates to rest, stopped at an edge
// or, with bounces, a little past it and springing back; with paging it slides to a page: the
// nearest one after a slow drag, the next one the finger's way after a swipe faster than
// kFlickSpeed however short (never further: a swipe turns one page). All of it moves on the
// platform clock. The delegate may set the offset again from scrollViewDidScroll (an
// endless strip recentring itself); a drag, or the slide after a release, goes on from there.
// A mouse wheel moves the content too, and it settles the same way once the wheel rests.
class ScrollView : public View {
 public:
  ScrollView();
  ~ScrollView() override;
  ScrollView(const ScrollView&) = delete;
  ScrollView& operator=(const ScrollView&) = delete;
  std::shared_ptr<ScrollView> initWithFrame(const cg::Rect& frame);

  cg::Size contentSize() const { return contentSize_; }
  void setContentSize(cg::Size size);
  cg::Point contentOffset() const { return bounds().origin; }
  // Any offset is taken as it is (the content is not a bound); the delegate hears of a change.
  // A change stops a running slide, except one the delegate makes from its scroll report while
  // the content moves after a release: that slide goes on, shifted by the change.
  void setContentOffset(cg::Point offset);
  // Animated: slides there over kScrollAnimationDuration, the delegate told at every step.
  void setContentOffset(cg::Point offset, bool animated);
  bool isDragging() const { return dragging_; }
  bool isScrollAnimating() const { return animation_ != nullptr; }
  // Sliding to rest after a drag.
  bool isDecelerating() const { return decelerating_; }
  // Room around the content: a drag rests as far as the insets reach beyond each edge.
  const cg::EdgeInsets& contentInset() const { return contentInset_; }
  void setContentInset(const cg::EdgeInsets& inset) { contentInset_ = inset; }
  // The smallest resting offset: minus the top and left insets.
  cg::Point minimumContentOffset() const { return {-contentInset_.left, -contentInset_.top}; }
  // The largest offset within the content: content size and the bottom and right insets less the
  // bounds' size, never below the smallest.
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

  // A touch that went down on a control inside this view and has moved from `from` to `to` (root
  // coordinates): whether the view takes it over as a drag.
  bool shouldTakeOverTouch(cg::Point from, cg::Point to) const;
  // Whether a drag or a wheel can move the content along the axis: scrolling is on and the
  // content is larger than the bounds that way.
  bool canScrollHorizontally() const { return scrollEnabled_ && scrollsHorizontally(); }
  bool canScrollVertically() const { return scrollEnabled_ && scrollsVertically(); }

  // A turn of a mouse wheel over the view: the content moves by the distance along the axes it
  // can move on (a bouncing view goes at most kWheelOvershoot past an end, as a finger pulls it),
  // the delegate hearing of each change. Once the wheel has rested for kWheelRestSeconds the
  // content slides back within its ends, or with paging on to the next page the way it moved,
  // and the delegate hears it end decelerating, as after a drag. False when it cannot move that
  // way (or a finger is on it).
  bool scrollByWheel(cg::Point distance);

  void touchesBegan(const TouchSet& touches, const Event* event) override;
  void touchesMoved(const TouchSet& touches, const Event* event) override;
  void touchesEnded(const TouchSet& touches, const Event* event) override;
  void touchesCancelled(const TouchSet& touches, const Event* event) override;

  void appendDumpAttributes(std::string& line) const override;

  static constexpr double kScrollAnimationDuration = 0.3;
  // How far a finger moves before a touch becomes a drag.
  static constexpr double kDragSlop = 10;
  static constexpr double kWheelOvershoot = 40;
  static constexpr double kWheelRestSeconds = 0.15;
  // The finger's speed at release is its move over this last stretch of the drag, timed by the
  // touches' timestamps. Samples that span less than kMinimumVelocitySpan (a scripted drag at one
  // instant, a burst of moves made together) measure no speed.
  static constexpr double kVelocityWindow = 0.1;
  static constexpr double kMinimumVelocitySpan = 0.01;
  // Points per second: above it a paged view turns a page; the content carries on only above
  // kCarrySpeed, and never faster than kMaxFlickSpeed.
  static constexpr double kFlickSpeed = 300;
  static constexpr double kCarrySpeed = 50;
  static constexpr double kMaxFlickSpeed = 6000;
  // A carried content's speed falls by e every kDecelerationTime seconds, so it comes to rest
  // speed x kDecelerationTime further on.
  static constexpr double kDecelerationTime = 0.5;
  // How far past an edge a bouncing content may be carried before it springs back.
  static constexpr double kBounceOvershoot = 40;

 protected:
  void boundsOriginDidChange(cg::Point oldOrigin) override;

 private:
  struct Slide {
    cg::Point from, to;
    double start = 0;
    ns::TimerPtr timer;
    // A carried release: each axis approaches `to` exponentially with its own time constant
    // (0 for an axis that does not move) and arrives after `duration`; otherwise an ease-out over
    // kScrollAnimationDuration.
    bool carried = false;
    cg::Point timeConstant;
    double duration = kScrollAnimationDuration;
    // Where a carried content that overshot an edge springs back to.
    std::optional<cg::Point> back;
  };
  struct Sample {
    double time;
    cg::Point point;
  };
  // Whether the content can move along each axis.
  bool scrollsHorizontally() const;
  bool scrollsVertically() const;
  void stopSlide();
  static std::unique_ptr<Slide> easeOut(cg::Point from, cg::Point to);
  void startSlide(std::unique_ptr<Slide> slide);
  void slideStep();
  void noteSample(const TouchSet& touches);
  // The content's speed (points per second) as the finger left it, along the axes it moves on.
  cg::Point releaseVelocity() const;
  // What follows a release at that speed: a carried slide, or none when it rests where it is.
  std::unique_ptr<Slide> slideAfterRelease(cg::Point velocity) const;
  void beginDecelerating(std::unique_ptr<Slide> slide);
  // Where the offset rests after a drag: within the content, on a page with paging.
  cg::Point restingOffset() const;
  void moveBoundsOrigin(cg::Point offset);
  void endDecelerating();
  void stopWheel();
  // The wheel has rested: the content settles.
  void wheelDidRest();

  cg::Size contentSize_;
  cg::EdgeInsets contentInset_;
  std::unique_ptr<Slide> animation_;
  std::optional<cg::Point> touchPoint_;  // root coordinates of the finger while it is down
  // While the wheel turns: where the content was when it began, and the timer that sees it rest.
  cg::Point wheelStart_;
  ns::TimerPtr wheelRest_;
  cg::Point touchStart_;
  std::vector<Sample> samples_;  // the finger's recent positions (root coordinates)
  bool dragging_ = false;
  bool reporting_ = false;  // inside the delegate's scroll report
  bool decelerating_ = false;
  std::weak_ptr<ScrollViewDelegate> delegate_;
  bool bounces_ = true;
  bool pagingEnabled_ = false;
  bool scrollEnabled_ = true;
  bool showsHorizontalIndicator_ = true;
  bool showsVerticalIndicator_ = true;
};

}  // namespace ui
