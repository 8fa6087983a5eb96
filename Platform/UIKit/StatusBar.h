#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/Application.h"
#include "UIKit/View.h"

namespace ui {

// The system's status bar over the top of the screen, as the key window's renderer draws it: the
// time of day in the middle and, while the application shows the network activity indicator, a
// turning spinner at the left, in the application's status-bar style. It is not one of the
// window's subviews: pages never find it among theirs, and touches on it reach no page. What it
// shows changes only when it is refreshed, so a picture taken twice in one turn of the run loop
// is the same picture.
class StatusBar final : public View {
 public:
  std::shared_ptr<StatusBar> init();

  // Takes the application's status-bar state (frame, style, hidden, network activity) and the
  // time of day on the process clock; the spinner turns by a step each tenth of a second. True
  // when what the bar draws changed.
  bool refresh();
  // When a refresh would next change what the bar shows with the application's state unchanged
  // (the next minute, or the spinner's next step), after `now` on the process clock; none while
  // the bar is hidden.
  std::optional<double> nextChange(double now) const;
  // Takes the application's state only: the time and the spinner stay as the last refresh left
  // them (the renderer and the dump call this).
  bool followApplication();

  StatusBarStyle style() const { return style_; }
  bool showsNetworkActivity() const { return activity_; }
  // "HH:MM", as the bar shows it.
  const std::string& timeText() const { return time_; }
  // Which of its twelve positions the spinner shows.
  int spinnerStep() const { return spinnerStep_; }

  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  StatusBarStyle style_ = StatusBarStyle::defaultStyle;
  bool activity_ = false;
  int spinnerStep_ = 0;
  std::string time_;
};

}  // namespace ui
