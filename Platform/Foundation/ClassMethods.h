#pragma once

#include <any>
#include <functional>
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>

namespace ns {

// Class methods of the classes in ClassRegistry, replaceable at run time as the object runtime
// allows. A method is looked up from the receiving class up its registered superclass chain, so
// one set on a class answers for every subclass that sets none of its own, and for no other
// class. Implementations take the receiving class's name first. Safe from any thread.
class ClassMethods final {
 public:
  static ClassMethods& shared();

  // Adds or replaces the class's own implementation of a selector.
  template <class Signature>
  void setMethod(std::string className, std::string selector, std::function<Signature> implementation) {
    setAny(std::move(className), std::move(selector), std::any(std::move(implementation)));
  }
  // The implementation the class answers with; empty when none in its chain defines the
  // selector with this signature.
  template <class Signature>
  std::function<Signature> method(std::string_view className, std::string_view selector) const {
    std::any found = findAny(className, selector);
    if (auto* f = std::any_cast<std::function<Signature>>(&found)) return *f;
    return {};
  }
  // Whether the class itself (not a superclass) defines the selector.
  bool definesMethod(std::string_view className, std::string_view selector) const;

 private:
  ClassMethods() = default;
  void setAny(std::string className, std::string selector, std::any implementation);
  std::any findAny(std::string_view className, std::string_view selector) const;

  using Key = std::pair<std::string, std::string>;  // class name, selector
  struct KeyLess {
    using is_transparent = void;
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      return std::pair<std::string_view, std::string_view>(a.first, a.second) <
             std::pair<std::string_view, std::string_view>(b.first, b.second);
    }
  };

  mutable std::shared_mutex mutex_;
  std::map<Key, std::any, KeyLess> methods_;
};

}  // namespace ns
