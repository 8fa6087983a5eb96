#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UIKit/Device.h"
#include "UIKit/View.h"

namespace scenes {

// A named view tree to draw: the device it is built for and the function that builds it.
struct Scene {
  std::string name;
  ui::DeviceProfile device;
  std::function<std::shared_ptr<ui::View>()> build;
  // Run once the picture is taken: what the scene left running stops.
  std::function<void()> finish = nullptr;
};

// Every scene the renderer knows, the shared widgets first.
const std::vector<Scene>& all();
const Scene* find(const std::string& name);

// Builds a scene under its device profile (restoring the current one after) and writes it as
// a PNG at the device's scale; false when it cannot be drawn or written.
bool renderScene(const Scene& scene, const std::string& path);

}  // namespace scenes
