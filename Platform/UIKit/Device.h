#pragma once

#include <memory>
#include <string>

#include "Foundation/Object.h"
#include "Graphics/Geometry.h"

namespace ui {

enum class UserInterfaceIdiom { phone = 0, pad = 1 };

// How the device itself is held, whether or not the interface follows. The values 1 to 4 are the
// interface orientations of the same number.
enum class DeviceOrientation {
  unknown = 0,
  portrait = 1,
  portraitUpsideDown = 2,
  landscapeLeft = 3,
  landscapeRight = 4,
  faceUp = 5,
  faceDown = 6
};

// What the platform would tell about the hardware: idiom, portrait screen size in points and
// pixels per point. One profile is current for the whole process.
struct DeviceProfile {
  std::string name;
  UserInterfaceIdiom idiom = UserInterfaceIdiom::pad;
  cg::Size screenSize;
  double scale = 1;
  std::string model;
  // Older systems do not answer the idiom question at all.
  bool answersIdiom = true;

  static DeviceProfile tablet(double scale = 1);     // 768 x 1024
  static DeviceProfile phone(double scale = 2);      // 320 x 480
  static DeviceProfile phoneTall(double scale = 2);  // 320 x 568
  // "pad", "phone" or "phone568", optionally followed by "@1x" or "@2x"; false when unknown.
  static bool fromName(const std::string& name, DeviceProfile& out);
};

class Device final : public ns::Object {
 public:
  static std::shared_ptr<Device> currentDevice();

  // Whether the device answers userInterfaceIdiom (the profile's answersIdiom).
  bool respondsToUserInterfaceIdiom() const;
  UserInterfaceIdiom userInterfaceIdiom() const;
  std::string model() const;
  std::string systemName() const { return "iOS"; }
  std::string systemVersion() const { return "6.1"; }
  // Unknown until the device first turns (simulateRotation, simulateDeviceOrientation) and
  // again after a new profile.
  DeviceOrientation orientation() const;
  void setOrientation(DeviceOrientation orientation);

  // The profile chosen at start-up: VCC_DEVICE ("pad", "phone", "phone568", with an optional
  // "@1x"/"@2x"), else the tablet at scale 1. Tests and tools replace it with setProfile.
  static DeviceProfile profile();
  // Installs a profile and returns the one it replaces. Main thread, before views are made.
  static DeviceProfile setProfile(const DeviceProfile& profile);
};

// Whether the device answers the idiom question with the pad idiom; a device that does not answer
// it counts as a phone.
bool isPad();

}  // namespace ui
