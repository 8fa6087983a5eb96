#include "Foundation/ClassRegistry.h"

#include <algorithm>

#include "Foundation/Error.h"

namespace ns {

ClassRegistry& ClassRegistry::shared() {
  static ClassRegistry& registry = *[] {
    auto* r = new ClassRegistry;
    // The foundation's own archivable classes.
    r->registerClass<Error>("Error");
    return r;
  }();
  return registry;
}

void ClassRegistry::registerClass(std::string name, Factory factory, std::string superclassName,
                                  InstanceTest isInstance) {
  std::lock_guard lock(mutex_);
  classes_[std::move(name)] = Entry{std::move(factory), std::move(superclassName), std::move(isInstance)};
}

bool ClassRegistry::contains(std::string_view name) const {
  std::lock_guard lock(mutex_);
  return classes_.find(name) != classes_.end();
}

std::shared_ptr<Object> ClassRegistry::make(std::string_view name) const {
  Factory factory;
  {
    std::lock_guard lock(mutex_);
    auto it = classes_.find(name);
    if (it == classes_.end() || !it->second.factory) return nullptr;
    factory = it->second.factory;
  }
  // Outside the lock: a constructor may look up classes itself.
  return factory();
}

std::vector<std::string> ClassRegistry::classChain(std::string_view name) const {
  std::vector<std::string> chain;
  std::lock_guard lock(mutex_);
  std::string current(name);
  while (!current.empty()) {
    auto it = classes_.find(current);
    // A loop in the superclass names must not hang the look-up.
    if (it == classes_.end() || std::find(chain.begin(), chain.end(), current) != chain.end()) break;
    chain.push_back(current);
    current = it->second.superclassName;
  }
  return chain;
}

std::size_t ClassRegistry::chainLengthLocked(const std::string& name) const {
  std::size_t length = 0;
  for (auto it = classes_.find(name); it != classes_.end() && length <= classes_.size();
       it = classes_.find(it->second.superclassName))
    ++length;
  return length;
}

std::string ClassRegistry::registeredClassOf(const Object& object) const {
  std::string own = object.className();
  std::lock_guard lock(mutex_);
  if (classes_.find(own) != classes_.end()) return own;
  // Of the registered classes the object belongs to, the one deepest in its chain.
  std::string best;
  std::size_t bestDepth = 0;
  for (const auto& [name, entry] : classes_) {
    if (!entry.isInstance || !entry.isInstance(object)) continue;
    std::size_t depth = chainLengthLocked(name);
    if (depth > bestDepth) {
      best = name;
      bestDepth = depth;
    }
  }
  return best;
}

bool ClassRegistry::isSubclassOf(std::string_view name, std::string_view ancestor) const {
  auto chain = classChain(name);
  return std::find(chain.begin(), chain.end(), ancestor) != chain.end();
}

}  // namespace ns
