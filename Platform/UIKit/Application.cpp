#include "UIKit/Application.h"

#include <utility>

#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "Graphics/Layer.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"

namespace ui {

namespace {
// The status bar drawn over the key window shows this state: a window waiting for a change must
// hear of it, from whichever thread it came.
void statusBarStateDidChange() {
  cg::noteDisplayChange();
  if (!ns::Thread::isMainThread()) ns::RunLoop::mainRunLoop()->wakeUp();
}
}  // namespace

std::shared_ptr<Application> Application::sharedApplication() {
  static const std::shared_ptr<Application> app = std::make_shared<Application>();
  return app;
}

BackgroundTaskIdentifier Application::beginBackgroundTaskWithExpirationHandler(
    std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  BackgroundTaskIdentifier id = nextTask_++;
  if (nextTask_ == kBackgroundTaskInvalid) nextTask_ = 1;
  tasks_.push_back({{id, false}, std::move(handler)});
  return id;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier identifier) {
  std::function<void()> released;
  std::lock_guard lock(mutex_);
  for (Task& task : tasks_) {
    if (task.record.identifier == identifier && !task.record.ended) {
      task.record.ended = true;
      // The handler may hold the last reference to its owner; drop it after the lock.
      released = std::move(task.handler);
      task.handler = nullptr;
      break;
    }
  }
}

std::vector<Application::BackgroundTask> Application::backgroundTasks() const {
  std::lock_guard lock(mutex_);
  std::vector<BackgroundTask> out;
  for (const Task& task : tasks_) out.push_back(task.record);
  return out;
}

std::size_t Application::openBackgroundTaskCount() const {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (const Task& task : tasks_) n += task.record.ended ? 0 : 1;
  return n;
}

void Application::expireBackgroundTasks() {
  std::vector<std::function<void()>> handlers;
  {
    std::lock_guard lock(mutex_);
    for (Task& task : tasks_)
      if (!task.record.ended && task.handler) handlers.push_back(task.handler);
  }
  for (auto& handler : handlers) handler();
}

bool Application::isNetworkActivityIndicatorVisible() const {
  std::lock_guard lock(mutex_);
  return networkActivityIndicatorVisible_;
}

void Application::setNetworkActivityIndicatorVisible(bool visible) {
  {
    std::lock_guard lock(mutex_);
    if (std::exchange(networkActivityIndicatorVisible_, visible) == visible) return;
  }
  statusBarStateDidChange();
}

StatusBarStyle Application::statusBarStyle() const {
  std::lock_guard lock(mutex_);
  return statusBarStyle_;
}

void Application::setStatusBarStyle(StatusBarStyle style, bool) {
  {
    std::lock_guard lock(mutex_);
    if (std::exchange(statusBarStyle_, style) == style) return;
  }
  statusBarStateDidChange();
}

bool Application::isStatusBarHidden() const {
  std::lock_guard lock(mutex_);
  return statusBarHidden_;
}

void Application::setStatusBarHidden(bool hidden, bool) {
  {
    std::lock_guard lock(mutex_);
    if (std::exchange(statusBarHidden_, hidden) == hidden) return;
  }
  statusBarStateDidChange();
  // The root page takes the room the bar gives up, or gives it back, as on the device.
  if (ns::Thread::isMainThread())
    Window::statusBarDidChange();
  else
    ns::RunLoop::mainRunLoop()->performBlock([] { Window::statusBarDidChange(); });
}

InterfaceOrientation Application::statusBarOrientation() const {
  std::lock_guard lock(mutex_);
  return statusBarOrientation_;
}

void Application::setStatusBarOrientation(InterfaceOrientation orientation, bool) {
  {
    std::lock_guard lock(mutex_);
    if (std::exchange(statusBarOrientation_, orientation) == orientation) return;
  }
  statusBarStateDidChange();
}

cg::Rect Application::statusBarFrame() const {
  if (isStatusBarHidden()) return {};
  cg::Size screen = Screen::mainScreen()->bounds().size;
  return {0, 0, isLandscape(statusBarOrientation()) ? screen.height : screen.width, kStatusBarHeight};
}

ApplicationState Application::applicationState() const {
  std::lock_guard lock(mutex_);
  return applicationState_;
}

void Application::setApplicationState(ApplicationState state) {
  ApplicationState previous;
  {
    std::lock_guard lock(mutex_);
    previous = std::exchange(applicationState_, state);
  }
  if (previous == state) return;
  auto center = ns::NotificationCenter::defaultCenter();
  ns::Value self(shared_from_this());
  if (previous == ApplicationState::active)
    center->postNotificationName(kApplicationWillResignActiveNotification, self);
  if (state == ApplicationState::background)
    center->postNotificationName(kApplicationDidEnterBackgroundNotification, self);
  if (state == ApplicationState::active)
    center->postNotificationName(kApplicationDidBecomeActiveNotification, self);
}

void Application::reset() {
  std::vector<Task> dropped;
  std::lock_guard lock(mutex_);
  dropped.swap(tasks_);
  nextTask_ = 1;
  networkActivityIndicatorVisible_ = false;
  statusBarStyle_ = StatusBarStyle::defaultStyle;
  statusBarHidden_ = false;
  statusBarOrientation_ = InterfaceOrientation::portrait;
  applicationState_ = ApplicationState::inactive;
  clearOpenedURLs();
  cg::noteDisplayChange();
}

}  // namespace ui
