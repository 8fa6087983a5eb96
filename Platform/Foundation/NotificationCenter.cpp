#include "Foundation/NotificationCenter.h"

#include <atomic>

namespace ns {
namespace {

bool objectMatches(const Value& filter, const Value& posted) {
  if (filter.isNil()) return true;
  if (filter.isObject() || posted.isObject()) return filter.asObject() == posted.asObject();
  return filter == posted;
}

// The token a block observer is known by.
class ObserverToken final : public Object {};

}  // namespace

std::shared_ptr<NotificationCenter> NotificationCenter::defaultCenter() {
  static const auto* center = new std::shared_ptr<NotificationCenter>(std::make_shared<NotificationCenter>());
  return *center;
}

void NotificationCenter::addObserver(const std::shared_ptr<Object>& observer, NotificationHandler handler,
                                     std::string name, Value object) {
  if (!observer || !handler) return;
  std::lock_guard lock(mutex_);
  registrations_.push_back({observer.get(), observer, nullptr, std::move(name), std::move(object),
                            std::make_shared<NotificationHandler>(std::move(handler)),
                            std::make_shared<std::atomic<bool>>(true)});
}

std::shared_ptr<Object> NotificationCenter::addObserverForName(std::string name, Value object,
                                                               NotificationHandler handler) {
  auto token = std::make_shared<ObserverToken>();
  if (!handler) return token;
  std::lock_guard lock(mutex_);
  registrations_.push_back({token.get(), token, token, std::move(name), std::move(object),
                            std::make_shared<NotificationHandler>(std::move(handler)),
                            std::make_shared<std::atomic<bool>>(true)});
  return token;
}

void NotificationCenter::removeObserver(const Object* observer) {
  std::vector<Registration> removed;  // released after the lock: a token's destructor may post
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](Registration& r) {
    if (r.identity != observer) return false;
    r.active->store(false);
    removed.push_back(std::move(r));
    return true;
  });
}

void NotificationCenter::removeObserver(const Object* observer, const std::string& name,
                                        const Value& object) {
  std::vector<Registration> removed;
  std::lock_guard lock(mutex_);
  std::erase_if(registrations_, [&](Registration& r) {
    if (r.identity != observer || (!name.empty() && r.name != name) || !objectMatches(object, r.object))
      return false;
    r.active->store(false);
    removed.push_back(std::move(r));
    return true;
  });
}

void NotificationCenter::postNotification(const Notification& notification) {
  struct Delivery {
    std::shared_ptr<Object> observer;
    std::shared_ptr<NotificationHandler> handler;
    std::shared_ptr<std::atomic<bool>> active;
  };
  std::vector<Delivery> deliveries;
  std::vector<Registration> expired;  // released after the lock, like removed observers
  {
    std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [&](Registration& r) {
      if (!r.observer.expired()) return false;
      expired.push_back(std::move(r));
      return true;
    });
    for (const auto& r : registrations_) {
      if (!r.name.empty() && r.name != notification.name) continue;
      if (!objectMatches(r.object, notification.object)) continue;
      if (auto observer = r.observer.lock()) deliveries.push_back({std::move(observer), r.handler, r.active});
    }
  }
  for (const auto& delivery : deliveries)
    if (delivery.active->load()) (*delivery.handler)(notification);
}

void NotificationCenter::postNotificationName(std::string name, Value object, Dictionary userInfo) {
  postNotification(Notification{std::move(name), std::move(object), std::move(userInfo)});
}

}  // namespace ns
