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

  static ClassRegistry& shared();

  // Registering a name again replaces the earlier entry.
  void registerClass(std::string name, Factory factory, std::string superclassName = {});
  template <class T>
  void registerClass(std::string name, std::string superclassName = {}) {
    registerClass(std::move(name), [] { return std::static_pointer_cast<Object>(std::make_shared<T>()); },
                  std::move(superclassName));
  }

  bool contains(std::string_view name) const;
  // A new instance of the named class; nullptr when no such class is registered.
  std::shared_ptr<Object> make(std::string_view name) const;
  // The class followed by its registered ancestors, nearest first (empty for an unknown class).
  std::vector<std::string> classChain(std::string_view name) const;
  bool isSubclassOf(std::string_view name, std::string_view ancestor) const;

 private:
  struct Entry {
    Factory factory;
    std::string superclassName;
  };
  mutable std::mutex mutex_;
  std::map<std::string, Entry, std::less<>> classes_;
};

}  // namespace ns
