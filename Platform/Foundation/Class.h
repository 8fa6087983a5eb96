#pragma once

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Foundation/Object.h"

namespace ns {

// A class as the object runtime knows it: a name, a superclass, a way to make a fresh
// (uninitialised) instance, and a table of class methods that can be replaced at run time.
// Class methods are looked up from the receiving class up through its superclasses, so a
// method set on one class applies to its subclasses that do not define their own.
// Classes are registered once and live for the whole process; look-ups and method changes
// are safe from any thread.
class Class final {
 public:
  using Allocator = std::function<std::shared_ptr<Object>()>;
  using SetUp = std::function<void(const Class&)>;

  // Registers a class under a unique name and runs setUp on it (to install its class methods)
  // before any other thread can see it. Registering a name again returns the first class.
  static const Class& registerClass(std::string name, const Class* superclass, Allocator allocator,
                                    SetUp setUp = {});
  template <class T>
  static const Class& registerClass(std::string name, const Class* superclass, SetUp setUp = {}) {
    return registerClass(
        std::move(name), superclass, [] { return std::static_pointer_cast<Object>(std::make_shared<T>()); },
        std::move(setUp));
  }
  // The class registered under a name, or nullptr.
  static const Class* classNamed(std::string_view name);

  const std::string& name() const { return name_; }
  const Class* superclass() const { return superclass_; }
  // True for the class itself and for every class derived from `other`.
  bool isSubclassOfClass(const Class& other) const;
  // A fresh instance, not yet initialised; nullptr for a class without an allocator.
  std::shared_ptr<Object> alloc() const;

  // Adds or replaces this class's own implementation of a class method. The first parameter
  // of a class method is the receiving class.
  template <class Signature>
  void setClassMethod(std::string selector, std::function<Signature> implementation) const {
    setClassMethodAny(std::move(selector), std::any(std::move(implementation)));
  }
  // The implementation the class answers with (its own or the nearest superclass's); empty when
  // no class in the chain defines the selector or its signature differs.
  template <class Signature>
  std::function<Signature> classMethod(std::string_view selector) const {
    std::any found = classMethodAny(selector);
    if (auto* f = std::any_cast<std::function<Signature>>(&found)) return *f;
    return {};
  }
  // Whether this class itself (not a superclass) defines the selector.
  bool definesClassMethod(std::string_view selector) const;

  Class(const Class&) = delete;
  Class& operator=(const Class&) = delete;

 private:
  struct Methods;
  Class(std::string name, const Class* superclass, Allocator allocator);
  void setClassMethodAny(std::string selector, std::any implementation) const;
  std::any classMethodAny(std::string_view selector) const;

  std::string name_;
  const Class* superclass_;
  Allocator allocator_;
  std::unique_ptr<Methods> methods_;
};

}  // namespace ns
