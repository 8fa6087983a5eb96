#include "Foundation/Class.h"

#include <map>
#include <mutex>
#include <shared_mutex>

namespace ns {

struct Class::Methods {
  std::map<std::string, std::any, std::less<>> table;
};

namespace {

// One lock for the registry and every method table: changes are rare (set-up, the occasional
// added content type) and look-ups are short.
struct Registry {
  std::shared_mutex mutex;
  std::map<std::string, const Class*, std::less<>> byName;
};

Registry& registry() {
  // Never destroyed: classes must stay valid while static destructors of other objects run.
  static Registry* r = new Registry;
  return *r;
}

}  // namespace

Class::Class(std::string name, const Class* superclass, Allocator allocator)
    : name_(std::move(name)),
      superclass_(superclass),
      allocator_(std::move(allocator)),
      methods_(std::make_unique<Methods>()) {}

const Class& Class::registerClass(std::string name, const Class* superclass, Allocator allocator,
                                  SetUp setUp) {
  Registry& r = registry();
  std::unique_lock lock(r.mutex);
  if (auto it = r.byName.find(name); it != r.byName.end()) return *it->second;
  auto* cls = new Class(name, superclass, std::move(allocator));
  if (setUp) {
    // Installed before the class is published, so no reader ever sees it half set up; run
    // outside the lock because set-up installs methods (and may register superclasses).
    lock.unlock();
    setUp(*cls);
    lock.lock();
    if (auto it = r.byName.find(name); it != r.byName.end()) {
      delete cls;  // another thread registered the same name meanwhile
      return *it->second;
    }
  }
  r.byName.emplace(std::move(name), cls);
  return *cls;
}

const Class* Class::classNamed(std::string_view name) {
  Registry& r = registry();
  std::shared_lock lock(r.mutex);
  auto it = r.byName.find(name);
  return it == r.byName.end() ? nullptr : it->second;
}

bool Class::isSubclassOfClass(const Class& other) const {
  for (const Class* c = this; c; c = c->superclass_)
    if (c == &other) return true;
  return false;
}

std::shared_ptr<Object> Class::alloc() const { return allocator_ ? allocator_() : nullptr; }

void Class::setClassMethodAny(std::string selector, std::any implementation) const {
  std::unique_lock lock(registry().mutex);
  methods_->table.insert_or_assign(std::move(selector), std::move(implementation));
}

std::any Class::classMethodAny(std::string_view selector) const {
  std::shared_lock lock(registry().mutex);
  for (const Class* c = this; c; c = c->superclass_) {
    auto it = c->methods_->table.find(selector);
    if (it != c->methods_->table.end()) return it->second;
  }
  return {};
}

bool Class::definesClassMethod(std::string_view selector) const {
  std::shared_lock lock(registry().mutex);
  return methods_->table.find(selector) != methods_->table.end();
}

}  // namespace ns
