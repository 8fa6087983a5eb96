#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Object.h"

namespace ns {

// Class look-up by name: what the object runtime gives the platform. A class registers its name,
// a factory making an uninitialised instance (two-phase set-up: the caller runs an init member)
// and the name of its superclass. Safe to use from several threads.
class ClassRegistry final {
 public:
  using Factory = std::function<std::shared_ptr<Object>()>;
  // Whether an object is of the class or of a subclass of it.
  using InstanceTest = std::function<bool(const Object&)>;

  static ClassRegistry& shared();

  // Registering a name again replaces the earlier entry. With an instance test, objects of
  // unregistered subclasses find the class (registeredClassOf).
  void registerClass(std::string name, Factory factory, std::string superclassName = {},
                     InstanceTest isInstance = {});
  template <class T>
  void registerClass(std::string name, std::string superclassName = {}) {
    registerClass(
        std::move(name), [] { return std::static_pointer_cast<Object>(std::make_shared<T>()); },
        std::move(superclassName), instanceTest<T>());
  }
  // Registers T under its own class name, below the nearest registered class it derives from,
  // unless that name is registered already. Returns the name.
  template <class T>
  std::string registerClassIfNeeded() {
    auto made = std::make_shared<T>();
    std::string name = made->className();
    if (!contains(name)) registerClass<T>(name, registeredClassOf(*made));
    return name;
  }
  template <class T>
  static InstanceTest instanceTest() {
    return [](const Object& object) { return dynamic_cast<const T*>(&object) != nullptr; };
  }

  bool contains(std::string_view name) const;
  // A new instance of the named class; nullptr when no such class is registered.
  std::shared_ptr<Object> make(std::string_view name) const;
  // The class followed by its registered ancestors, nearest first (empty for an unknown class).
  std::vector<std::string> classChain(std::string_view name) const;
  bool isSubclassOf(std::string_view name, std::string_view ancestor) const;
  // The object's own class when it is registered, else the most derived registered class it is
  // an instance of; empty when there is none.
  std::string registeredClassOf(const Object& object) const;

 private:
  struct Entry {
    Factory factory;
    std::string superclassName;
    InstanceTest isInstance;
  };
  std::size_t chainLengthLocked(const std::string& name) const;
  mutable std::mutex mutex_;
  std::map<std::string, Entry, std::less<>> classes_;
};

}  // namespace ns
