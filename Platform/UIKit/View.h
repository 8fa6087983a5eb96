#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Graphics/Geometry.h"
#include "Graphics/Layer.h"
#include "UIKit/Color.h"
#include "UIKit/Touch.h"

namespace ui {

class GestureRecognizer;

class ViewController;
class Window;

namespace detail {
struct ViewAnimations;
}

// What the screen shows of a view's animatable values at some moment: its model values (what the
// getters return; they change at once) with its running animations' interpolations applied.
struct ViewPresentation {
  cg::Point center;
  cg::Rect bounds;
  cg::AffineTransform transform;
  double alpha = 1;
};

enum ViewAutoresizing : unsigned {
  ViewAutoresizingNone = 0,
  ViewAutoresizingFlexibleLeftMargin = 1 << 0,
  ViewAutoresizingFlexibleWidth = 1 << 1,
  ViewAutoresizingFlexibleRightMargin = 1 << 2,
  ViewAutoresizingFlexibleTopMargin = 1 << 3,
  ViewAutoresizingFlexibleHeight = 1 << 4,
  ViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum class ViewContentMode {
  scaleToFill,
  scaleAspectFit,
  scaleAspectFill,
  redraw,
  center,
  top,
  bottom,
  left,
  right,
  topLeft,
  topRight,
  bottomLeft,
  bottomRight,
};

enum ViewAnimationOptions : unsigned {
  ViewAnimationOptionNone = 0,
  ViewAnimationOptionAllowUserInteraction = 1 << 1,
  ViewAnimationOptionBeginFromCurrentState = 1 << 2,
  ViewAnimationOptionCurveEaseInOut = 0 << 16,
  ViewAnimationOptionCurveEaseIn = 1 << 16,
  ViewAnimationOptionCurveEaseOut = 2 << 16,
  ViewAnimationOptionCurveLinear = 3 << 16,
};

// What makes the layer of a view class (the platform's layerClass): a plain cg::Layer unless a
// view class names another, e.g. ui::layerClassOf<av::PlayerLayer>().
using LayerClass = std::function<std::shared_ptr<cg::Layer>()>;
template <class L>
LayerClass layerClassOf() {
  return [] { return std::static_pointer_cast<cg::Layer>(std::make_shared<L>()); };
}

// Where a picture of a given size goes inside a rectangle under a content mode.
cg::Rect contentModeRect(ViewContentMode mode, cg::Size content, const cg::Rect& bounds);

// A rectangle of the screen with its own coordinates, ordered subviews and drawing attributes.
// Headless: views keep their state and geometry, lay out, take touches and can be drawn into an
// image by the view renderer. Main thread only.
class View : public Responder {
 public:
  View();
  ~View() override;

  std::shared_ptr<View> initWithFrame(const cg::Rect& frame);
  std::shared_ptr<View> init() { return initWithFrame({}); }

  // Geometry. The frame is derived from centre, bounds size and transform.
  cg::Rect frame() const;
  void setFrame(const cg::Rect& frame);
  const cg::Rect& bounds() const { return bounds_; }
  void setBounds(const cg::Rect& bounds);
  cg::Point center() const { return center_; }
  void setCenter(cg::Point center);
  const cg::AffineTransform& transform() const { return transform_; }
  void setTransform(const cg::AffineTransform& transform);

  // Appearance.
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
  virtual void setBackgroundColor(std::optional<Color> color);
  bool clipsToBounds() const { return layer_->masksToBounds(); }
  void setClipsToBounds(bool clips) { layer_->setMasksToBounds(clips); }
  ViewContentMode contentMode() const { return contentMode_; }
  void setContentMode(ViewContentMode mode);
  const std::shared_ptr<cg::Layer>& layer() const { return layer_; }

  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
  long long tag() const { return tag_; }
  void setTag(long long tag) { tag_ = tag; }
  // Depth first, the view itself first.
  std::shared_ptr<View> viewWithTag(long long tag);

  // Hierarchy.
  std::shared_ptr<View> superview() const { return superview_.lock(); }
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  void addSubview(const std::shared_ptr<View>& view);
  void insertSubviewAtIndex(const std::shared_ptr<View>& view, std::size_t index);
  void insertSubviewAboveSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
  void insertSubviewBelowSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling);
  void removeFromSuperview();
  void bringSubviewToFront(const std::shared_ptr<View>& view);
  void sendSubviewToBack(const std::shared_ptr<View>& view);
  bool isDescendantOfView(const View* view) const;
  // The topmost ancestor (the view itself when it has no superview).
  std::shared_ptr<View> rootView();
  // The window the view is in: its topmost ancestor when that is a window; null otherwise.
  std::shared_ptr<Window> window() const;

  virtual void willMoveToSuperview(const std::shared_ptr<View>&) {}
  virtual void didMoveToSuperview() {}
  virtual void didAddSubview(const std::shared_ptr<View>&) {}
  virtual void willRemoveSubview(const std::shared_ptr<View>&) {}

  // Layout. Autoresizing applies at once when the bounds size changes; layoutSubviews runs in the
  // next layoutIfNeeded: the key window's pass that the main run loop makes before it waits, or a
  // call of the view's own (the renderer and the dump lay out trees that are in no window).
  unsigned autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool resizes) { autoresizesSubviews_ = resizes; }
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  void layoutIfNeeded();
  virtual void layoutSubviews() {}
  virtual cg::Size sizeThatFits(cg::Size size) const;
  void sizeToFit();

  // Drawing. drawRect draws into the current graphics context, in bounds coordinates.
  void setNeedsDisplay();
  bool needsDisplay() const { return needsDisplay_; }
  virtual void drawRect(const cg::Rect& rect);
  // Whether drawRect paints anything; views that do not are skipped by the renderer's drawRect step.
  virtual bool drawsContent() const { return false; }
  // Where drawRect may paint, in bounds coordinates, for a view that may paint past its bounds (a
  // picture larger than its view, a line of text taller than its label); none for one that stays
  // inside them, give or take the smoothing of edges and text.
  virtual std::optional<cg::Rect> contentExtent() const { return std::nullopt; }
  // Where drawRect paints while the bounds are shown as `shown`, in bounds coordinates: the
  // bounds and the content extent, with room for smoothed edges and text. The renderer clips
  // drawRect to it, and leaves drawRect out where its clip misses it.
  cg::Rect drawnRect(const cg::Rect& shown) const;
  // All the view draws itself (background, layer, drawRect, border, shadow; not its subviews)
  // while the bounds are shown as `shown`, in bounds coordinates; none where that is not known
  // (sublayers, a shape's path, lie anywhere). What damage trackers take the view to cover.
  std::optional<cg::Rect> visualRect(const cg::Rect& shown) const;
  // Called by the renderer once it has drawn the view.
  void didDisplay() { needsDisplay_ = false; }
  // Changes whenever the view's own picture may have (setNeedsDisplay, its look, its place among
  // its siblings); geometry and the layer's attributes are followed apart (see DamageTracker).
  std::uint64_t displayVersion() const { return displayVersion_; }
  bool movesByItself() const { return movesByItself_; }

  // Coordinates. A null view stands for the root of this view's hierarchy.
  cg::Point convertPointToView(cg::Point point, const View* view) const;
  cg::Point convertPointFromView(cg::Point point, const View* view) const;
  cg::Rect convertRectToView(const cg::Rect& rect, const View* view) const;
  cg::Rect convertRectFromView(const cg::Rect& rect, const View* view) const;
  cg::Point convertPointToView(cg::Point p, const std::shared_ptr<View>& v) const {
    return convertPointToView(p, v.get());
  }
  cg::Point convertPointFromView(cg::Point p, const std::shared_ptr<View>& v) const {
    return convertPointFromView(p, v.get());
  }
  cg::Rect convertRectToView(const cg::Rect& r, const std::shared_ptr<View>& v) const {
    return convertRectToView(r, v.get());
  }
  cg::Rect convertRectFromView(const cg::Rect& r, const std::shared_ptr<View>& v) const {
    return convertRectFromView(r, v.get());
  }

  // Touches. hitTest gives the deepest visible, interactive view under a point (in this view's
  // coordinates), the front-most sibling first; views hidden, nearly transparent (alpha < 0.01)
  // or with interaction off are skipped with their subviews.
  virtual std::shared_ptr<View> hitTest(cg::Point point, const Event* event);
  virtual bool pointInside(cg::Point point, const Event* event) const;
  // The view's controller when it has one, else the superview.
  std::shared_ptr<Responder> nextResponder() const override;
  // The controller whose view this is (set by the controller when it loads its view).
  std::shared_ptr<ViewController> owningViewController() const { return controller_.lock(); }

  // Animations: the new values take effect at once (the model, which logic, touches and dumps
  // see), while the screen shows centre, bounds, transform and alpha changed inside the block
  // moving from what it showed to the new values along the options' curve over the duration,
  // after the delay, on the platform clock (see presentation). The completion runs on the main
  // run loop once delay and duration have passed (on its next turn for 0), never inside the call.
  // finished is always true. A value set again outside an animation stops its animation.
  static void animateWithDuration(double duration, const std::function<void()>& animations,
                                  std::function<void(bool finished)> completion = nullptr);
  static void animateWithDuration(double duration, double delay, unsigned options,
                                  const std::function<void()>& animations,
                                  std::function<void(bool finished)> completion);
  // Takes a subview out at once, as removeFromSuperview does (its hooks run; subviews, touches,
  // layout and dumps see it gone), while presentation renders keep drawing it in its place among
  // the subviews (or just below `under`), moving by `by` with the animation block this is called
  // in (its delay, duration and curve); it is let go when the move ends. Outside a block, in a
  // zero-length one or off the screen it just goes. For pages sliding away.
  void removeSubviewMovingBy(const std::shared_ptr<View>& subview, cg::Point by,
                             const std::shared_ptr<View>& under = nullptr);
  // The same, the subview fading out where it is instead of moving. For covers and popovers going.
  void removeSubviewFadingOut(const std::shared_ptr<View>& subview);

  // What the screen shows of this view at `time` (process clock): the model values while no
  // animation runs.
  ViewPresentation presentation(double time) const;
  // Whether an animation of this view has not ended by `time`.
  bool isAnimating(double time) const;
  // When what this view draws itself changes next with nothing else changing (a spinner's next
  // step), after `now`; none for a still view. Asked only of views that said they move.
  virtual std::optional<double> nextPresentationChange(double now) const;

  // Recognisers of gestures made on this view or its subviews (see SimulatedTouch).
  void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
  const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

  // The view's own attributes for the tree dump, after the common ones (frame, flags, colour).
  virtual void appendDumpAttributes(std::string& line) const;

 protected:
  // This object as a shared pointer of a derived class.
  template <class T>
  std::shared_ptr<T> self() {
    return std::static_pointer_cast<T>(shared_from_this());
  }
  template <class T>
  std::shared_ptr<const T> self() const {
    return std::static_pointer_cast<const T>(shared_from_this());
  }
  // Called when the bounds size changed, after the subviews were resized.
  virtual void boundsSizeDidChange(cg::Size oldSize);
  // Called when setBounds moved the bounds origin (a scroll view's content offset).
  virtual void boundsOriginDidChange(cg::Point oldOrigin);
  // Whether any view asked for layout since the last call (the window's layout pass reads it).
  static bool takeLayoutRequest();
  // For view classes backed by a layer of another class.
  explicit View(const LayerClass& layerClass);
  // A view whose picture moves by itself while it is shown (a turning spinner) says so, so a
  // window keeps drawing it (see nextPresentationChange); and says when it stands still again.
  void setMovesByItself(bool moves);

 private:
  friend class ViewController;
  void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
  void detachFromSuperview();
  // What the view shows changed, though not what drawRect draws.
  void displayDidChange();
  void resizeSubviewsWithOldSize(cg::Size oldSize);
  void autoresizeWithOldSuperviewSize(cg::Size oldSize);
  void applyBoundsSize(cg::Size size);
  // Maps a point of this view's coordinates into its superview's, and back.
  cg::Point pointToSuperview(cg::Point p) const;
  cg::Point pointFromSuperview(cg::Point p) const;
  cg::Point pointToRoot(cg::Point p) const;
  cg::Point pointFromRoot(cg::Point p) const;
  // Starts an animation of one property inside an animation block, or stops a running one.
  enum class AnimatedProperty { center, boundsOrigin, boundsSize, transform, alpha };
  void animatedPropertyWillChange(AnimatedProperty property, const ViewPresentation& next);
  void removeSubviewDeparting(const std::shared_ptr<View>& subview, cg::Point by,
                              const std::shared_ptr<View>& under, bool fades);
  friend struct detail::ViewAnimations;
  friend std::optional<double> nextPresentationChange(const View& root, double now);

  std::weak_ptr<View> superview_;
  std::weak_ptr<ViewController> controller_;
  std::vector<std::shared_ptr<View>> subviews_;
  std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
  cg::Point center_;
  cg::Rect bounds_;
  cg::AffineTransform transform_;
  std::optional<Color> backgroundColor_;
  std::shared_ptr<cg::Layer> layer_;
  std::unique_ptr<detail::ViewAnimations> animations_;
  double alpha_ = 1;
  long long tag_ = 0;
  unsigned autoresizingMask_ = ViewAutoresizingNone;
  ViewContentMode contentMode_ = ViewContentMode::scaleToFill;
  bool hidden_ = false;
  bool opaque_ = true;
  bool userInteractionEnabled_ = true;
  bool autoresizesSubviews_ = true;
  bool needsLayout_ = false;
  bool needsDisplay_ = true;
  std::uint64_t displayVersion_ = cg::nextDisplayVersion();
  bool movesByItself_ = false;
  // Whether the view is in the list of views in motion that windows ask.
  bool listedInMotion_ = false;
};

// When the picture of root's tree changes next with no model change: `now` while an animation
// runs on a view of it that is shown (draw as often as the display can), the next step of a
// turning spinner shown in it, or none while everything shown stands still. Main thread.
std::optional<double> nextPresentationChange(const View& root, double now);
// The moment a presentation render draws (see renderView), for views whose drawing moves by
// itself; none while a model picture (a headless shot) is drawn.
std::optional<double> renderPresentationTime();

}  // namespace ui
