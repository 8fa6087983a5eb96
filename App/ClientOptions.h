#pragma once

#include <optional>
#include <string>
#include <vector>

#include "UIKit/Application.h"
#include "UIKit/Device.h"

// How the client program was asked to run: on which device, against which service, where its
// sandbox and its screenshots go, and whether it shows a window or runs headless.
struct ClientOptions {
  enum class Mode { automatic, headless, window };

  std::string deviceName = "tablet";
  // Whether --device chose the device (else a script's first named device, else the tablet).
  bool deviceGiven = false;
  ui::DeviceProfile device = ui::DeviceProfile::tablet();
  ui::InterfaceOrientation orientation = ui::InterfaceOrientation::portrait;
  std::optional<std::string> serviceHost;  // host[:port]
  std::optional<std::string> dataFolder;
  std::optional<std::string> collectURL;
  Mode mode = Mode::automatic;
  std::optional<std::string> scriptPath;
  std::string outFolder = "out";
  // Whether --out chose the folder (else a script's pictures go into out/<script name>).
  bool outGiven = false;
  double timeLimitSeconds = 60;
  // The window's size against the device's (0: the largest up to 1, in steps of 5 %, that fits the display).
  double windowScale = 0;

  // The usage text, one option a line.
  static std::string usage();
  // Reads the arguments after the program name. False with a one-line reason in `error` for an
  // unknown option, a missing or bad value.
  static bool parse(const std::vector<std::string>& arguments, ClientOptions& options, std::string& error);
  // The device profile names: "tablet", "tablet-landscape", "phone", "phone-4in".
  static bool deviceFromName(const std::string& name, ClientOptions& options);
  // Headless unless a window was asked for, or nothing was said and a display is present.
  bool runsHeadless() const;
};
