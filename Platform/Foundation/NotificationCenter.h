#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Foundation/Object.h"
#include "Foundation/Value.h"

namespace ns {

// One posted notification: a name, an optional object (any value: a record dictionary, an
// operation, ...) and optional user information.
struct Notification {
  std::string name;
  Value object;
  Dictionary userInfo;
};

using NotificationHandler = std::function<void(const Notification&)>;

// Named notifications delivered synchronously on the posting thread, to observers in the order
// they registered. Observers are held weakly: one whose owner is gone is skipped and dropped.
// Delivery works from a copy of the observer list, taken without holding any lock during the
// calls, so a poster may hold its own lock and observers may post, add or remove observers;
// an observer removed during a delivery is not called after its removal.
class NotificationCenter final : public Object {
 public:
  static std::shared_ptr<NotificationCenter> defaultCenter();

  // `name` empty matches every name; `object` nil matches every object, otherwise the posted
  // object must be the same object (for object references) or an equal value.
  void addObserver(const std::shared_ptr<Object>& observer, NotificationHandler handler, std::string name,
                   Value object = Value());
  // A block observer: the returned token is the observer (the center keeps it until removed).
  std::shared_ptr<Object> addObserverForName(std::string name, Value object, NotificationHandler handler);

  void removeObserver(const Object* observer);
  void removeObserver(const Object* observer, const std::string& name, const Value& object = Value());
  void removeObserver(const std::shared_ptr<Object>& observer) { removeObserver(observer.get()); }

  void postNotification(const Notification& notification);
  void postNotificationName(std::string name, Value object = Value(), Dictionary userInfo = {});

 private:
  struct Registration {
    const Object* identity;
    std::weak_ptr<Object> observer;
    std::shared_ptr<Object> strongToken;  // block observers only
    std::string name;
    Value object;
    std::shared_ptr<NotificationHandler> handler;
    std::shared_ptr<std::atomic<bool>> active;
  };

  std::mutex mutex_;
  std::vector<Registration> registrations_;
};

}  // namespace ns
