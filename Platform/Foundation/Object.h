#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

class Object;

// Called twice per change of an observed key: before (isPrior true) and after (isPrior false).
using KeyValueObserver = std::function<void(Object& sender, std::string_view key, bool isPrior)>;

// Root of every reference object. Held by std::shared_ptr; two-phase set-up through init members.
// Carries a small key-value observation table: setters announce changes of named keys and
// observers registered for a key hear them synchronously on the changing thread.
class Object : public std::enable_shared_from_this<Object> {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object();

  // What %@ prints for this object. The default is "<ClassName: 0x...>".
  virtual std::string describe() const;
  // The class name without namespaces or template noise, e.g. "NTHTTPClient" or "Operation".
  virtual std::string className() const;

  // Key-value observation. The token removes the observer; observers are called in registration
  // order, from a copy of the list, so an observer may add or remove observers while being called.
  std::uint64_t addObserverForKey(std::string key, KeyValueObserver observer);
  void removeObserver(std::uint64_t token);
  void willChangeValueForKey(std::string_view key);
  void didChangeValueForKey(std::string_view key);

 private:
  struct Observation {
    std::uint64_t token;
    std::string key;
    std::shared_ptr<KeyValueObserver> observer;
  };
  void notifyObservers(std::string_view key, bool isPrior);
  friend struct AssociatedObjects;

  // Guards the observation table and the associated objects.
  mutable std::mutex observersMutex_;
  std::vector<Observation> observers_;
  // Values other code attaches to this object (Foundation/AssociatedObjects.h); made on first use.
  std::shared_ptr<void> associations_;
};

// Demangled name of a dynamic type with namespaces stripped ("ns::Operation" gives "Operation").
std::string demangledClassName(const std::type_info& type);

}  // namespace ns
