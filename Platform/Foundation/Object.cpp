#include "Foundation/Object.h"

#include <cxxabi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

namespace ns {

Object::~Object() = default;

std::string demangledClassName(const std::type_info& type) {
  int status = 0;
  char* raw = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = (status == 0 && raw) ? raw : type.name();
  std::free(raw);
  // Drop template arguments, then any namespace qualification.
  if (auto angle = name.find('<'); angle != std::string::npos) name.erase(angle);
  if (auto colons = name.rfind("::"); colons != std::string::npos) name.erase(0, colons + 2);
  return name;
}

std::string Object::className() const { return demangledClassName(typeid(*this)); }

std::string Object::describe() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  std::string text = "<";
  text += className();
  text += ": ";
  text += address;
  text += '>';
  return text;
}

std::uint64_t Object::addObserverForKey(std::string key, KeyValueObserver observer) {
  static std::atomic<std::uint64_t> nextToken{1};
  std::uint64_t token = nextToken.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard lock(observersMutex_);
  observers_.push_back({token, std::move(key), std::make_shared<KeyValueObserver>(std::move(observer))});
  return token;
}

void Object::removeObserver(std::uint64_t token) {
  std::lock_guard lock(observersMutex_);
  std::erase_if(observers_, [token](const Observation& o) { return o.token == token; });
}

void Object::willChangeValueForKey(std::string_view key) { notifyObservers(key, true); }
void Object::didChangeValueForKey(std::string_view key) { notifyObservers(key, false); }

void Object::notifyObservers(std::string_view key, bool isPrior) {
  std::vector<std::shared_ptr<KeyValueObserver>> matching;
  {
    std::lock_guard lock(observersMutex_);
    for (const auto& o : observers_)
      if (o.key == key) matching.push_back(o.observer);
  }
  for (const auto& observer : matching) (*observer)(*this, key, isPrior);
}

}  // namespace ns
