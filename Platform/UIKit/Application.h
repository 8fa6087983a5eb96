#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Foundation/Object.h"
#include "Foundation/URL.h"
#include "Graphics/Geometry.h"

namespace ui {

using BackgroundTaskIdentifier = std::uint32_t;
inline constexpr BackgroundTaskIdentifier kBackgroundTaskInvalid = 0;

enum class StatusBarStyle { defaultStyle = 0, blackTranslucent = 1, blackOpaque = 2 };

enum class InterfaceOrientation {
  portrait = 1,
  portraitUpsideDown = 2,
  landscapeRight = 3,
  landscapeLeft = 4
};
inline bool isLandscape(InterfaceOrientation o) {
  return o == InterfaceOrientation::landscapeLeft || o == InterfaceOrientation::landscapeRight;
}
inline bool isPortrait(InterfaceOrientation o) { return !isLandscape(o); }

// Posted (object: the application) before the interface turns, the new orientation's number
// under the key.
inline constexpr const char* kApplicationWillChangeStatusBarOrientationNotification =
    "UIApplicationWillChangeStatusBarOrientationNotification";
inline constexpr const char* kApplicationStatusBarOrientationUserInfoKey =
    "UIApplicationStatusBarOrientationUserInfoKey";

enum class ApplicationState { active = 0, inactive = 1, background = 2 };

inline constexpr const char* kApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* kApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline constexpr const char* kApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";

// The application object's state that the system reads and sets: background tasks (recorded,
// since nothing here suspends the process), the network activity indicator and the status bar.
// Safe to call from any thread.
class Application final : public ns::Object {
 public:
  static std::shared_ptr<Application> sharedApplication();

  // Begins a background task and returns its identifier (never kBackgroundTaskInvalid).
  BackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
  // Ends an open task; unknown or already ended identifiers are ignored.
  void endBackgroundTask(BackgroundTaskIdentifier identifier);

  struct BackgroundTask {
    BackgroundTaskIdentifier identifier = kBackgroundTaskInvalid;
    bool ended = false;
  };
  // Every task begun so far, in order.
  std::vector<BackgroundTask> backgroundTasks() const;
  std::size_t openBackgroundTaskCount() const;
  // What the platform does when background time runs out: runs the expiration handler of every
  // open task, on the calling thread, outside the application's lock.
  void expireBackgroundTasks();

  // Whether an installed application handles the URL's scheme (case-insensitive). No other
  // application is installed here unless a test says so; every question is recorded.
  bool canOpenURL(const ns::URL& url) const;
  // Tests: installs or removes a handler of the scheme, and reads the URLs asked about so far.
  void setURLSchemeHandled(const std::string& scheme, bool handled);
  std::vector<std::string> canOpenURLQueries() const;

  bool isNetworkActivityIndicatorVisible() const;
  void setNetworkActivityIndicatorVisible(bool visible);

  StatusBarStyle statusBarStyle() const;
  void setStatusBarStyle(StatusBarStyle style, bool animated = false);
  bool isStatusBarHidden() const;
  void setStatusBarHidden(bool hidden, bool animated = false);
  InterfaceOrientation statusBarOrientation() const;
  void setStatusBarOrientation(InterfaceOrientation orientation, bool animated = false);
  // Where the status bar lies over the screen as it is turned (the key window's coordinates): the
  // top kStatusBarHeight points across its width; empty while the bar is hidden.
  cg::Rect statusBarFrame() const;
  static constexpr double kStatusBarHeight = 20;
  // How long the status bar takes to turn with the interface.
  double statusBarOrientationAnimationDuration() const { return 0.3; }

  // Hands a URL to the system: the browser takes http and https, nothing here handles any other
  // scheme (false). Every URL handed over is recorded, in order, opened or not.
  bool openURL(const ns::URL& url);
  std::vector<std::string> openedURLs() const;
  void clearOpenedURLs();

  // Inactive until the application first becomes active, as during launch.
  ApplicationState applicationState() const;
  // Moves the application to a state as the platform does when the user leaves or returns to it,
  // posting on the calling thread (object: the application) "will resign active" when it leaves the
  // active state, "did enter background" when it reaches the background and "did become active"
  // when it becomes active. The same state again posts nothing.
  void setApplicationState(ApplicationState state);

  // Puts every setting back to its start-up value and forgets the recorded tasks and opened URLs
  // (tests).
  void reset();

 private:
  struct Task {
    BackgroundTask record;
    std::function<void()> handler;
  };
  mutable std::mutex mutex_;
  BackgroundTaskIdentifier nextTask_ = 1;
  std::vector<Task> tasks_;
  bool networkActivityIndicatorVisible_ = false;
  StatusBarStyle statusBarStyle_ = StatusBarStyle::defaultStyle;
  bool statusBarHidden_ = false;
  InterfaceOrientation statusBarOrientation_ = InterfaceOrientation::portrait;
  ApplicationState applicationState_ = ApplicationState::inactive;
};

}  // namespace ui
