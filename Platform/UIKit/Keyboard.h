#pragma once

#include <memory>
#include <string>

#include "UIKit/View.h"

namespace ui {

// The on-screen keyboard as the key window's renderer draws it while a text input holds the
// keyboard: a panel across the bottom of the screen with rows of keys, the platform's height for
// the device and the way it is held. It only shows where the keyboard is: it takes the touches
// on it (the window's hit test gives it), as a device's keyboard does, but does nothing with them
// and types nothing (text comes from the desktop's keyboard). Like the status bar it is none of
// the window's subviews.
class Keyboard final : public View {
 public:
  std::shared_ptr<Keyboard> init();

  // The panel's height: 216 points on a phone held upright, 162 on its side; 264 and 352 on a
  // tablet.
  static double heightFor(bool pad, bool landscape);
  // Where the panel lies in a window of these bounds on this device: across the bottom, its
  // height for the device held as the bounds are (wider than high is on its side).
  static cg::Rect frameInBounds(const cg::Rect& bounds, bool pad);

  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
};

}  // namespace ui
