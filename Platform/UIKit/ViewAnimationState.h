#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "UIKit/View.h"

namespace ui::detail {

// The running animations of one view: each moves one property from what the screen showed when
// it began to the model value, along a timing curve. Also the views just taken out of it that the
// screen still shows moving away.
struct ViewAnimations {
  struct Animation {
    View::AnimatedProperty property;
    ViewPresentation from;
    double begin = 0;
    double duration = 0;
    unsigned curve = 0;  // the ViewAnimationOptionCurve... bits
  };
  std::vector<Animation> running;

  // A former subview drawn where its own presentation places it, shifted part of the way to `by`
  // (and faded as far, when it fades).
  struct Departure {
    std::shared_ptr<View> view;
    // The sibling it lay just below; drawn over all of them when that one has gone too.
    std::weak_ptr<View> below;
    cg::Point by;
    bool fades = false;
    double begin = 0;
    double duration = 0;
    unsigned curve = 0;
  };
  std::vector<Departure> departing;

  // The curve's progress (0...1) at `time` of a change that starts at `begin`.
  static double progress(double begin, double duration, unsigned curve, double time);
  static double progress(const Animation& a, double time) {
    return progress(a.begin, a.duration, a.curve, time);
  }
  // Mixes one property of `from` into `shown` by the fraction left to run (1 - progress).
  static void apply(const Animation& animation, double time, ViewPresentation& shown);
  // Drops the animations and departures that have ended by `time` (and departed views that went
  // into a tree again); whether any went.
  bool prune(double time);

  // Whether some view's presentation may differ from its model, now or at another moment: an
  // animation or a departure not yet let go.
  static bool anyRunning();

  // The departures of a view, none for a view that has none.
  static const std::vector<Departure>& departures(const View& view);
  // Where a departure shows its view at `time`.
  static ViewPresentation departurePresentation(const Departure& departure, double time);
  // Where the screen shows a view that is leaving `parent` at `time`, if it is.
  static std::optional<ViewPresentation> departingPresentation(const View& parent, const View& view,
                                                               double time);
};

// What the renderer shows of a view at the moment it draws (renderPresentationTime): its
// presentation then, or its model values.
ViewPresentation shownNow(const View& view);
// The views the renderer draws over a view, in order, each where it shows it: the subviews and,
// in a presentation render, the views leaving it, each just below the sibling it lay under.
void forEachShownSubview(View& view, const std::function<void(View&, const ViewPresentation&)>& visit);

// Sets the moment renderPresentationTime() reports while a picture is drawn on this thread.
class PresentationRenderScope {
 public:
  explicit PresentationRenderScope(std::optional<double> time);
  ~PresentationRenderScope();
  PresentationRenderScope(const PresentationRenderScope&) = delete;
  PresentationRenderScope& operator=(const PresentationRenderScope&) = delete;

 private:
  std::optional<double> previous_;
};

}  // namespace ui::detail
