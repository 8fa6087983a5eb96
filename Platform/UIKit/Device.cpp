#include "UIKit/Device.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace ui {

DeviceProfile DeviceProfile::tablet(double scale) {
  return {"pad", UserInterfaceIdiom::pad, {768, 1024}, scale, "iPad", true};
}
DeviceProfile DeviceProfile::phone(double scale) {
  return {"phone", UserInterfaceIdiom::phone, {320, 480}, scale, "iPhone", true};
}
DeviceProfile DeviceProfile::phoneTall(double scale) {
  return {"phone568", UserInterfaceIdiom::phone, {320, 568}, scale, "iPhone", true};
}

bool DeviceProfile::fromName(const std::string& text, DeviceProfile& out) {
  std::string name = text;
  double scale = 0;
  if (auto at = name.find('@'); at != std::string::npos) {
    std::string suffix = name.substr(at + 1);
    name.erase(at);
    if (suffix == "1x")
      scale = 1;
    else if (suffix == "2x")
      scale = 2;
    else
      return false;
  }
  if (name == "pad")
    out = tablet(scale ? scale : 1);
  else if (name == "phone")
    out = phone(scale ? scale : 2);
  else if (name == "phone568")
    out = phoneTall(scale ? scale : 2);
  else
    return false;
  return true;
}

namespace {

std::mutex& profileMutex() {
  static std::mutex m;
  return m;
}

DeviceProfile& currentProfile() {
  static DeviceProfile profile = [] {
    DeviceProfile p = DeviceProfile::tablet();
    if (const char* env = std::getenv("VCC_DEVICE"); env && *env) DeviceProfile::fromName(env, p);
    return p;
  }();
  return profile;
}

}  // namespace

DeviceProfile Device::profile() {
  std::lock_guard lock(profileMutex());
  return currentProfile();
}

namespace {
std::atomic<int> deviceOrientation{0};
}

DeviceOrientation Device::orientation() const { return DeviceOrientation(deviceOrientation.load()); }
void Device::setOrientation(DeviceOrientation orientation) { deviceOrientation = int(orientation); }

DeviceProfile Device::setProfile(const DeviceProfile& profile) {
  deviceOrientation = 0;
  std::lock_guard lock(profileMutex());
  DeviceProfile previous = currentProfile();
  currentProfile() = profile;
  return previous;
}

std::shared_ptr<Device> Device::currentDevice() {
  static const std::shared_ptr<Device> device = std::make_shared<Device>();
  return device;
}

bool Device::respondsToUserInterfaceIdiom() const { return profile().answersIdiom; }
UserInterfaceIdiom Device::userInterfaceIdiom() const { return profile().idiom; }
std::string Device::model() const { return profile().model; }

bool isPad() {
  auto device = Device::currentDevice();
  return device->respondsToUserInterfaceIdiom() && device->userInterfaceIdiom() == UserInterfaceIdiom::pad;
}

}  // namespace ui
