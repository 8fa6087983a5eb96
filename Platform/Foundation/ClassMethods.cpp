#include "Foundation/ClassMethods.h"

#include <mutex>

#include "Foundation/ClassRegistry.h"

namespace ns {

ClassMethods& ClassMethods::shared() {
  // Never destroyed: static objects of other libraries may still call class methods at exit.
  static ClassMethods* methods = new ClassMethods;
  return *methods;
}

void ClassMethods::setAny(std::string className, std::string selector, std::any implementation) {
  std::unique_lock lock(mutex_);
  methods_.insert_or_assign({std::move(className), std::move(selector)}, std::move(implementation));
}

std::any ClassMethods::findAny(std::string_view className, std::string_view selector) const {
  auto chain = ClassRegistry::shared().classChain(className);
  if (chain.empty()) chain.emplace_back(className);
  std::shared_lock lock(mutex_);
  for (const std::string& name : chain) {
    auto it = methods_.find(std::pair<std::string_view, std::string_view>(name, selector));
    if (it != methods_.end()) return it->second;
  }
  return {};
}

bool ClassMethods::definesMethod(std::string_view className, std::string_view selector) const {
  std::shared_lock lock(mutex_);
  return methods_.find(std::pair<std::string_view, std::string_view>(className, selector)) != methods_.end();
}

}  // namespace ns
