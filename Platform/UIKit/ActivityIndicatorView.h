#pragma once

#include <memory>

#include "UIKit/View.h"

namespace ui {

enum class ActivityIndicatorViewStyle { whiteLarge = 0, white = 1, gray = 2 };

// A spinner: white large (37 x 37), white or grey (20 x 20), twelve spokes in the style's colour.
// Hidden while stopped unless told otherwise. While animating it turns once a second on the
// screen (a presentation render); a model picture (a headless shot) shows it at rest.
class ActivityIndicatorView : public View {
 public:
  ActivityIndicatorView();
  std::shared_ptr<ActivityIndicatorView> initWithActivityIndicatorStyle(ActivityIndicatorViewStyle style);
  // White style at the given frame.
  std::shared_ptr<ActivityIndicatorView> initWithFrame(const cg::Rect& frame);

  ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
  void setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style);
  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return animating_; }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool hides);

  static cg::Size sizeForStyle(ActivityIndicatorViewStyle style);
  // The spoke a turning spinner shows at a moment (0 to 11), and the moment it moves on. Every
  // spinner, the status bar's too, turns on these same moments: two turning at once cost the
  // window one frame a step, not two.
  static int spokeAt(double now);
  static double nextSpokeAfter(double now);
  cg::Size sizeThatFits(cg::Size) const override { return sizeForStyle(style_); }
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  std::optional<double> nextPresentationChange(double now) const override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  ActivityIndicatorViewStyle style_ = ActivityIndicatorViewStyle::white;
  bool animating_ = false;
  bool hidesWhenStopped_ = true;
};

}  // namespace ui
