#include "UIKit/Screen.h"

#include "UIKit/Application.h"
#include "UIKit/Device.h"

namespace ui {

std::shared_ptr<Screen> Screen::mainScreen() {
  static const std::shared_ptr<Screen> screen = std::make_shared<Screen>();
  return screen;
}

cg::Rect Screen::bounds() const {
  cg::Size size = Device::profile().screenSize;
  return {0, 0, size.width, size.height};
}

double Screen::scale() const { return Device::profile().scale; }

cg::Rect Screen::applicationFrame() const {
  cg::Rect b = bounds();
  if (Application::sharedApplication()->isStatusBarHidden()) return b;
  return {0, 20, b.width(), b.height() - 20};
}

}  // namespace ui
