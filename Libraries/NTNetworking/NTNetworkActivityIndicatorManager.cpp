#include "NTNetworking/NTNetworkActivityIndicatorManager.h"

#include <algorithm>

#include "Dispatch/Dispatch.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Thread.h"
#include "NTNetworking/NTURLConnectionOperation.h"
#include "UIKit/Application.h"

namespace {
constexpr const char* kActivityCountKey = "activityCount";
constexpr const char* kVisibleKey = "isNetworkActivityIndicatorVisible";
}  // namespace

std::shared_ptr<NTNetworkActivityIndicatorManager> NTNetworkActivityIndicatorManager::sharedManager() {
  static const auto* manager = new auto(std::make_shared<NTNetworkActivityIndicatorManager>()->init());
  return *manager;
}

std::shared_ptr<NTNetworkActivityIndicatorManager> NTNetworkActivityIndicatorManager::init() {
  auto self = std::static_pointer_cast<NTNetworkActivityIndicatorManager>(shared_from_this());
  auto center = ns::NotificationCenter::defaultCenter();
  std::weak_ptr<NTNetworkActivityIndicatorManager> weak = self;
  center->addObserver(
      self,
      [weak](const ns::Notification&) {
        if (auto manager = weak.lock()) manager->incrementActivityCount();
      },
      NTNetworkingOperationDidStartNotification);
  center->addObserver(
      self,
      [weak](const ns::Notification&) {
        if (auto manager = weak.lock()) manager->decrementActivityCount();
      },
      NTNetworkingOperationDidFinishNotification);
  return self;
}

NTNetworkActivityIndicatorManager::~NTNetworkActivityIndicatorManager() {
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
  if (activityIndicatorVisibilityTimer_) activityIndicatorVisibilityTimer_->invalidate();
}

bool NTNetworkActivityIndicatorManager::onMainThread(void (NTNetworkActivityIndicatorManager::*call)()) {
  if (ns::Thread::isMainThread()) return true;
  // The call reads the count when it runs, so however many pile up while the main thread is busy,
  // the indicator ends as the latest count says.
  std::weak_ptr<NTNetworkActivityIndicatorManager> weak =
      std::static_pointer_cast<NTNetworkActivityIndicatorManager>(shared_from_this());
  dispatch::async(dispatch::mainQueue(), [weak, call] {
    if (auto manager = weak.lock()) ((*manager).*call)();
  });
  return false;
}

template <class Change>
void NTNetworkActivityIndicatorManager::changeCount(Change change) {
  willChangeValueForKey(kActivityCountKey);
  willChangeValueForKey(kVisibleKey);
  {
    std::lock_guard lock(countMutex_);
    change(activityCount_);
  }
  didChangeValueForKey(kActivityCountKey);
  didChangeValueForKey(kVisibleKey);
  updateNetworkActivityIndicatorVisibilityDelayed();
}

void NTNetworkActivityIndicatorManager::incrementActivityCount() {
  changeCount([](int& count) { ++count; });
}

void NTNetworkActivityIndicatorManager::decrementActivityCount() {
  changeCount([](int& count) { count = std::max(0, count - 1); });
}

void NTNetworkActivityIndicatorManager::setActivityCount(int count) {
  changeCount([count](int& stored) { stored = count; });
}

void NTNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibility() {
  if (!onMainThread(&NTNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibility)) return;
  ui::Application::sharedApplication()->setNetworkActivityIndicatorVisible(
      isNetworkActivityIndicatorVisible());
}

void NTNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibilityDelayed() {
  if (!isEnabled() ||
      !onMainThread(&NTNetworkActivityIndicatorManager::updateNetworkActivityIndicatorVisibilityDelayed))
    return;
  if (isNetworkActivityIndicatorVisible()) {
    // A pending hide timer is left to fire: it reads the count then and keeps the indicator shown.
    updateNetworkActivityIndicatorVisibility();
    return;
  }
  if (activityIndicatorVisibilityTimer_) activityIndicatorVisibilityTimer_->invalidate();
  std::weak_ptr<NTNetworkActivityIndicatorManager> weak =
      std::static_pointer_cast<NTNetworkActivityIndicatorManager>(shared_from_this());
  activityIndicatorVisibilityTimer_ =
      ns::Timer::timerWithTimeInterval(kVisibilityDelay, false, [weak](const ns::TimerPtr&) {
        if (auto manager = weak.lock()) manager->updateNetworkActivityIndicatorVisibility();
      });
  ns::RunLoop::mainRunLoop()->addTimer(activityIndicatorVisibilityTimer_, ns::kRunLoopCommonModes);
}
