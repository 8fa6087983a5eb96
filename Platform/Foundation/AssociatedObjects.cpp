#include "Foundation/AssociatedObjects.h"

#include <map>

namespace ns {

struct AssociatedObjects {
  using Table = std::map<const void*, Value>;

  static Table* table(const Object& object) { return static_cast<Table*>(object.associations_.get()); }

  static void set(Object& object, const void* key, Value value) {
    Value previous;  // released after the lock: its destruction may reach back into the object
    std::lock_guard lock(object.observersMutex_);
    if (!object.associations_) {
      if (value.isNil()) return;
      object.associations_ = std::make_shared<Table>();
    }
    auto& entries = *table(object);
    auto found = entries.find(key);
    if (found != entries.end()) {
      previous = std::move(found->second);
      if (value.isNil())
        entries.erase(found);
      else
        found->second = std::move(value);
    } else if (!value.isNil()) {
      entries.emplace(key, std::move(value));
    }
  }

  static Value get(const Object& object, const void* key) {
    std::lock_guard lock(object.observersMutex_);
    if (auto* entries = table(object)) {
      if (auto found = entries->find(key); found != entries->end()) return found->second;
    }
    return Value();
  }

  static void removeAll(Object& object) {
    std::shared_ptr<void> previous;
    std::lock_guard lock(object.observersMutex_);
    previous.swap(object.associations_);
  }
};

void setAssociatedObject(Object& object, const void* key, Value value) {
  AssociatedObjects::set(object, key, std::move(value));
}

Value getAssociatedObject(const Object& object, const void* key) {
  return AssociatedObjects::get(object, key);
}

void removeAssociatedObjects(Object& object) { AssociatedObjects::removeAll(object); }

}  // namespace ns
