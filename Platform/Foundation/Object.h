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
class Value;

// Called twice per change of an observed key: before (isPrior true) and after (isPrior false).
using KeyValueObserver = std::function<void(Object& sender, std::string_view key, bool isPrior)>;

// What an observing object asks to be told (the platform's observing options).
enum KeyValueObservingOptions : unsigned {
  KeyValueObservingOptionNew = 0x01,
  // One notification at once, when the observer is added.
  KeyValueObservingOptionInitial = 0x04,
};
// Keys of the change dictionary an observing object receives.
inline constexpr const char* kKeyValueChangeKindKey = "kind";
inline constexpr const char* kKeyValueChangeNewKey = "new";
// The one change kind reported: the value was set.
inline constexpr int kKeyValueChangeSetting = 1;

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

  // Observation by an object, as the platform's addObserver:forKeyPath:options:context:. The
  // observer is held weakly; after each change (and at once with the initial option) it receives
  // observeValueForKeyPath with a change dictionary {kind: 1, new: valueForKey(key), when asked
  // for, a nil value reading as null} and the context it registered with.
  void addObserver(const std::shared_ptr<Object>& observer, std::string keyPath, unsigned options,
                   void* context);
  // Removes the observer's most recent registration for the key path (with that context, in
  // the second form); throws NSRangeException when there is none, as the platform does.
  void removeObserver(const Object* observer, std::string_view keyPath);
  void removeObserver(const Object* observer, std::string_view keyPath, void* context);
  // What an observing object hears. The default throws NSInternalInconsistencyException: a
  // class that observes handles its own contexts and passes others to its superclass.
  virtual void observeValueForKeyPath(std::string_view keyPath, Object& object, const Value& change,
                                      void* context);
  // The value of a key for observers' change dictionaries; nil for keys a class does not name.
  virtual Value valueForKey(std::string_view key) const;

 private:
  struct Observation {
    std::uint64_t token = 0;
    std::string key;
    std::shared_ptr<KeyValueObserver> observer;
    // Set for an observing object's registration.
    const Object* identity = nullptr;
    std::weak_ptr<Object> observingObject;
    unsigned options = 0;
    void* context = nullptr;
  };
  void notifyObject(const Observation& observation, std::string_view key);
  void removeObservation(const Object* observer, std::string_view keyPath, bool anyContext, void* context);
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
