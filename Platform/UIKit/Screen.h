#pragma once

#include <memory>

#include "Foundation/Object.h"
#include "Graphics/Geometry.h"

namespace ui {

// The device's one screen; its size and scale follow the current device profile.
class Screen final : public ns::Object {
 public:
  static std::shared_ptr<Screen> mainScreen();

  // Portrait bounds in points, at the origin.
  cg::Rect bounds() const;
  // Pixels per point: 1 or 2.
  double scale() const;
  // The bounds less the status bar's 20 points at the top while the bar is shown.
  cg::Rect applicationFrame() const;
};

}  // namespace ui
