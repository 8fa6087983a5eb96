#include "Foundation/Object.h"

#include <cxxabi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/Value.h"

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

namespace {
std::atomic<std::uint64_t> nextObservationToken{1};
}  // namespace

std::uint64_t Object::addObserverForKey(std::string key, KeyValueObserver observer) {
  std::uint64_t token = nextObservationToken.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard lock(observersMutex_);
  Observation o;
  o.token = token;
  o.key = std::move(key);
  o.observer = std::make_shared<KeyValueObserver>(std::move(observer));
  observers_.push_back(std::move(o));
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
  std::vector<Observation> observingObjects;
  {
    std::lock_guard lock(observersMutex_);
    for (const auto& o : observers_) {
      if (o.key != key) continue;
      if (o.observer)
        matching.push_back(o.observer);
      else if (!isPrior)
        observingObjects.push_back(o);
    }
  }
  for (const auto& observer : matching) (*observer)(*this, key, isPrior);
  for (const auto& o : observingObjects) notifyObject(o, key);
}

void Object::addObserver(const std::shared_ptr<Object>& observer, std::string keyPath, unsigned options,
                         void* context) {
  if (!observer) return;
  Observation o;
  o.token = nextObservationToken.fetch_add(1, std::memory_order_relaxed);
  o.key = std::move(keyPath);
  o.identity = observer.get();
  o.observingObject = observer;
  o.options = options;
  o.context = context;
  {
    std::lock_guard lock(observersMutex_);
    observers_.push_back(o);
  }
  if (options & KeyValueObservingOptionInitial) notifyObject(o, o.key);
}

void Object::notifyObject(const Observation& o, std::string_view key) {
  auto observer = o.observingObject.lock();
  if (!observer) return;
  Dictionary change{{kKeyValueChangeKindKey, kKeyValueChangeSetting}};
  if (o.options & KeyValueObservingOptionNew) {
    Value value = valueForKey(key);
    change.set(kKeyValueChangeNewKey, value.isNil() ? Value::null() : std::move(value));
  }
  observer->observeValueForKeyPath(key, *this, Value(std::move(change)), o.context);
}

void Object::removeObserver(const Object* observer, std::string_view keyPath) {
  removeObservation(observer, keyPath, true, nullptr);
}

void Object::removeObserver(const Object* observer, std::string_view keyPath, void* context) {
  removeObservation(observer, keyPath, false, context);
}

void Object::removeObservation(const Object* observer, std::string_view keyPath, bool anyContext,
                               void* context) {
  {
    std::lock_guard lock(observersMutex_);
    for (auto it = observers_.rbegin(); it != observers_.rend(); ++it) {
      if (it->observer || !observer || it->identity != observer || it->key != keyPath) continue;
      if (!anyContext && it->context != context) continue;
      observers_.erase(std::next(it).base());
      return;
    }
  }
  throw Exception(kRangeException,
                  format("Cannot remove an observer %@ for the key path \"%@\" from %@ because it is not "
                         "registered as an observer.",
                         observer ? observer->describe() : std::string("(null)"), keyPath, describe()));
}

void Object::observeValueForKeyPath(std::string_view keyPath, Object& object, const Value& change, void*) {
  throw Exception(
      kInternalInconsistencyException,
      format("%@: An -observeValueForKeyPath:ofObject:change:context: message was received but not "
             "handled.\nKey path: %@\nObserved object: %@\nChange: %@",
             describe(), keyPath, object.describe(), change.describe()));
}

Value Object::valueForKey(std::string_view) const { return Value(); }

}  // namespace ns
