#include "App/ClientOptions.h"

#include <cmath>
#include <cstdlib>

namespace {

bool isHostAndPort(const std::string& text) {
  if (text.empty() || text.find_first_of("/ \t?#@") != std::string::npos) return false;
  auto colon = text.rfind(':');
  if (colon == std::string::npos) return true;
  std::string port = text.substr(colon + 1);
  if (colon == 0 || port.empty() || port.size() > 5) return false;
  for (char c : port)
    if (c < '0' || c > '9') return false;
  int value = std::atoi(port.c_str());
  return value > 0 && value < 65536;
}

}  // namespace

std::string ClientOptions::usage() {
  return "[options]\n"
         "  --device NAME        tablet, tablet-landscape, phone or phone-4in (default: tablet, or\n"
         "                       the first device of a script's devices line)\n"
         "  --host HOST[:PORT]   the service (default: VCC_SERVICE_HOST, else the build setting)\n"
         "  --data FOLDER        the sandbox folder with Documents, Library and Caches (default:\n"
         "                       VCC_SANDBOX_ROOT, else ~/.local/share/video-catalogue-client)\n"
         "  --collect-url URL    where analytics hits go (default: VCC_COLLECT_URL, else /collect on\n"
         "                       the build's collect host, the service's unless set)\n"
         "  --headless           no window: wait until the page settles, write its dump and PNG\n"
         "                       (default when neither DISPLAY nor WAYLAND_DISPLAY is set)\n"
         "  --window             show the client in a desktop window (default with a display)\n"
         "  --script FILE        run the steps of a session script (default: none, the home page)\n"
         "  --out FOLDER         where dumps and screenshots go (default: out, and out/NAME for\n"
         "                       the script NAME.vcc)\n"
         "  --time-limit SECONDS headless or with a script, how long the home page and each step\n"
         "                       may take to settle before the run fails (default: 60)\n"
         "  --scale FACTOR       the window's size against the device's, e.g. 0.75 (default: the\n"
         "                       largest up to 1, in steps of 5 %, that fits the display)\n";
}

bool ClientOptions::deviceFromName(const std::string& name, ClientOptions& options) {
  options.orientation = ui::InterfaceOrientation::portrait;
  if (name == "tablet" || name == "tablet-landscape") {
    options.device = ui::DeviceProfile::tablet();
    if (name == "tablet-landscape") options.orientation = ui::InterfaceOrientation::landscapeLeft;
  } else if (name == "phone") {
    options.device = ui::DeviceProfile::phone();
  } else if (name == "phone-4in") {
    options.device = ui::DeviceProfile::phoneTall();
  } else {
    return false;
  }
  options.deviceName = name;
  return true;
}

bool ClientOptions::parse(const std::vector<std::string>& arguments, ClientOptions& options,
                          std::string& error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (arg == "--headless") {
      options.mode = Mode::headless;
      continue;
    }
    if (arg == "--window") {
      options.mode = Mode::window;
      continue;
    }
    static const char* const kWithValue[] = {"--device", "--host", "--data",       "--collect-url",
                                             "--script", "--out",  "--time-limit", "--scale"};
    bool known = false;
    for (const char* option : kWithValue) known = known || arg == option;
    if (!known) {
      error = arg.rfind('-', 0) == 0 ? "unknown option " + arg : "unexpected argument " + arg;
      return false;
    }
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      error = arg + " needs a value";
      return false;
    }
    const std::string& value = arguments[++i];
    if (arg == "--device") {
      if (!deviceFromName(value, options)) {
        error = "unknown device " + value + " (tablet, tablet-landscape, phone, phone-4in)";
        return false;
      }
      options.deviceGiven = true;
    } else if (arg == "--host") {
      if (!isHostAndPort(value)) {
        error = "--host wants host[:port], not " + value;
        return false;
      }
      options.serviceHost = value;
    } else if (arg == "--data") {
      options.dataFolder = value;
    } else if (arg == "--collect-url") {
      if (value.rfind("http://", 0) != 0 && value.rfind("https://", 0) != 0) {
        error = "--collect-url wants an http or https URL, not " + value;
        return false;
      }
      options.collectURL = value;
    } else if (arg == "--script") {
      options.scriptPath = value;
    } else if (arg == "--out") {
      options.outFolder = value;
      options.outGiven = true;
    } else if (arg == "--scale") {
      char* end = nullptr;
      double scale = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end || !std::isfinite(scale) || scale < 0.25 || scale > 4) {
        error = "--scale wants a factor from 0.25 to 4, not " + value;
        return false;
      }
      options.windowScale = scale;
    } else {
      char* end = nullptr;
      double seconds = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end || !std::isfinite(seconds) || seconds <= 0) {
        error = "--time-limit wants a number of seconds above 0, not " + value;
        return false;
      }
      options.timeLimitSeconds = seconds;
    }
  }
  return true;
}

bool ClientOptions::runsHeadless() const {
  if (mode != Mode::automatic) return mode == Mode::headless;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return !(x11 && *x11) && !(wayland && *wayland);
}
