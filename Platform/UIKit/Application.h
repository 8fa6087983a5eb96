#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Foundation/Object.h"
#include "Foundation/URL.h"

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

  bool isNetworkActivityIndicatorVisible() const;
  void setNetworkActivityIndicatorVisible(bool visible);

  StatusBarStyle statusBarStyle() const;
  void setStatusBarStyle(StatusBarStyle style, bool animated = false);
  bool isStatusBarHidden() const;
  void setStatusBarHidden(bool hidden, bool animated = false);
  InterfaceOrientation statusBarOrientation() const;
  void setStatusBarOrientation(InterfaceOrientation orientation, bool animated = false);

  // Hands the URL to the system to open, which here only records it: no browser or other
  // application is started. True for every URL, since only URLs that parsed can be passed.
  bool openURL(const ns::URL& url);
  // The URLs given to openURL so far, oldest first.
  std::vector<std::string> openedURLs() const;

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
  std::vector<std::string> openedURLs_;
};

}  // namespace ui
