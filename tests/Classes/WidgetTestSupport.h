#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Graphics/Image.h"
#include "UIKit/Device.h"
#include "UIKit/View.h"
#include "UIKit/ViewRenderer.h"

namespace testsupport {

// Installs a device profile for one scope.
class ScopedDevice {
 public:
  explicit ScopedDevice(const ui::DeviceProfile& p) : previous_(ui::Device::setProfile(p)) {}
  ~ScopedDevice() { ui::Device::setProfile(previous_); }
  ScopedDevice(const ScopedDevice&) = delete;
  ScopedDevice& operator=(const ScopedDevice&) = delete;

 private:
  ui::DeviceProfile previous_;
};

// A plain root view to hang widgets on.
inline std::shared_ptr<ui::View> rootView(double w = 768, double h = 1024) {
  return std::make_shared<ui::View>()->initWithFrame({0, 0, w, h});
}

// The colour at a point (in points) of an image, read at the image's scale.
inline cg::Color colorAtPoint(const cg::Image& image, double x, double y) {
  return image.colorAt(int(x * image.scale()), int(y * image.scale()));
}

inline bool near(const cg::Color& a, const cg::Color& b, double tolerance = 2.5 / 255) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

inline cg::Color rgb255(int r, int g, int b, double a = 1) {
  return cg::Color::rgba(r / 255.0, g / 255.0, b / 255.0, a);
}

}  // namespace testsupport
