#include "Foundation/KeyedArchiver.h"

#include "Foundation/ClassRegistry.h"
#include "Foundation/PropertyListInternal.h"

namespace ns {
namespace {

constexpr int kMaxDepth = 256;

void archiveError(ErrorPtr* error, std::int64_t code, const std::string& problem) {
  if (error)
    *error = Error::make(kCocoaErrorDomain, code, Dictionary{{kDebugDescriptionErrorKey, problem}, {kLocalizedDescriptionKey, problem}});
}

std::optional<std::int64_t> uidOf(const Value& value) {
  if (value.count() != 1 || !value[kUIDKey].isInteger()) return std::nullopt;
  return value[kUIDKey].longLongValue();
}

}  // namespace

KeyedArchiver::KeyedArchiver() { objects_.push_back(Value("$null")); }

Value KeyedArchiver::reference(std::int64_t uid) { return Value(Dictionary{{kUIDKey, uid}}); }

std::int64_t KeyedArchiver::classReference(const std::vector<std::string>& chain) {
  auto found = classes_.find(chain.front());
  if (found != classes_.end()) return found->second;
  Array names;
  for (const auto& name : chain) names.push_back(name);
  if (chain.back() != "NSObject") names.push_back("NSObject");
  auto uid = static_cast<std::int64_t>(objects_.size());
  objects_.push_back(Value(Dictionary{{"$classname", chain.front()}, {"$classes", std::move(names)}}));
  classes_[chain.front()] = uid;
  return uid;
}

std::int64_t KeyedArchiver::encodeValue(const Value& value) {
  if (!problem_.empty()) return 0;
  switch (value.type()) {
    case Value::Type::nil: return 0;
    case Value::Type::boolean:
    case Value::Type::integer:
    case Value::Type::real:
    case Value::Type::string:
    case Value::Type::data: {
      if (value.isUnsigned()) {
        problem_ = "Integer " + value.describe() + " is too large to archive.";
        return 0;
      }
      objects_.push_back(value);
      return static_cast<std::int64_t>(objects_.size() - 1);
    }
    default: break;
  }
  // Collections and objects are stored once per identity.
  const void* identity = value.isArray()        ? static_cast<const void*>(value.asArray())
                         : value.isDictionary() ? static_cast<const void*>(value.asDictionary())
                         : value.isObject()     ? static_cast<const void*>(value.asObject().get())
                                                : nullptr;
  if (identity) {
    if (auto it = encodedObjects_.find(identity); it != encodedObjects_.end()) return it->second;
    if (encodedObjects_.size() > 1000000) {
      problem_ = "Object graph too large to archive.";
      return 0;
    }
  }
  auto uid = static_cast<std::int64_t>(objects_.size());
  objects_.push_back(Value());
  if (identity) encodedObjects_[identity] = uid;
  Dictionary fields;
  switch (value.type()) {
    case Value::Type::null: fields.set("$class", reference(classReference({"NSNull"}))); break;
    case Value::Type::date:
      fields.set("NS.time", value.asDate()->timeIntervalSinceReferenceDate());
      fields.set("$class", reference(classReference({"NSDate"})));
      break;
    case Value::Type::array: {
      Array items;
      for (const Value& item : *value.asArray()) {
        if (item.isNil()) {
          problem_ = "Arrays cannot archive nil.";
          return 0;
        }
        items.push_back(reference(encodeValue(item)));
      }
      fields.set("NS.objects", std::move(items));
      fields.set("$class", reference(classReference({"NSArray"})));
      break;
    }
    case Value::Type::dictionary: {
      Array keys, items;
      for (const auto& [key, item] : *value.asDictionary()) {
        keys.push_back(reference(encodeValue(Value(key))));
        items.push_back(reference(encodeValue(item)));
      }
      fields.set("NS.keys", std::move(keys));
      fields.set("NS.objects", std::move(items));
      fields.set("$class", reference(classReference({"NSDictionary"})));
      break;
    }
    case Value::Type::object: {
      auto object = value.asObject();
      auto coding = std::dynamic_pointer_cast<Coding>(object);
      std::string name = object->className();
      auto chain = ClassRegistry::shared().classChain(name);
      if (!coding || chain.empty()) {
        problem_ = "Objects of class " + name + " cannot be archived" + (coding ? " (class not registered)." : ".");
        return 0;
      }
      Dictionary* outer = current_;
      current_ = &fields;
      coding->encodeWithCoder(*this);
      current_ = outer;
      fields.set("$class", reference(classReference(chain)));
      break;
    }
    default: break;
  }
  objects_[static_cast<std::size_t>(uid)] = Value(std::move(fields));
  return uid;
}

std::int64_t KeyedArchiver::encodeURLValue(const URL& url) {
  auto uid = static_cast<std::int64_t>(objects_.size());
  objects_.push_back(Value());
  Dictionary fields;
  fields.set("NS.base", reference(url.baseURL() ? encodeURLValue(*url.baseURL()) : 0));
  fields.set("NS.relative", reference(encodeValue(Value(url.relativeString()))));
  fields.set("$class", reference(classReference({"NSURL"})));
  objects_[static_cast<std::size_t>(uid)] = Value(std::move(fields));
  return uid;
}

void KeyedArchiver::encodeObject(const Value& value, const std::string& key) {
  if (current_) current_->set(key, reference(encodeValue(value)));
}
void KeyedArchiver::encodeBool(bool value, const std::string& key) {
  if (current_) current_->set(key, value);
}
void KeyedArchiver::encodeInt64(std::int64_t value, const std::string& key) {
  if (current_) current_->set(key, value);
}
void KeyedArchiver::encodeDouble(double value, const std::string& key) {
  if (current_) current_->set(key, value);
}
void KeyedArchiver::encodeURL(const std::optional<URL>& url, const std::string& key) {
  if (current_) current_->set(key, reference(url ? encodeURLValue(*url) : 0));
}

std::optional<Data> KeyedArchiver::archivedDataWithRootObject(const Value& root, ErrorPtr* error) {
  KeyedArchiver archiver;
  Dictionary top;
  archiver.current_ = &top;
  archiver.encodeObject(root, "root");
  archiver.current_ = nullptr;
  if (!archiver.problem_.empty()) {
    archiveError(error, kPropertyListWriteInvalidError, archiver.problem_);
    return std::nullopt;
  }
  Value archive(Dictionary{{"$archiver", "NSKeyedArchiver"},
                           {"$version", 100000},
                           {"$top", std::move(top)},
                           {"$objects", std::move(archiver.objects_)}});
  return writePropertyList(archive, PropertyListFormat::Binary, error, true);
}

bool KeyedUnarchiver::fail(std::string problem) {
  if (problem_.empty()) problem_ = std::move(problem);
  return false;
}

Value KeyedUnarchiver::decodeReference(const Value& reference) {
  auto uid = uidOf(reference);
  if (!uid) {
    fail("Archive reference is not a UID.");
    return Value();
  }
  return decodeUID(*uid);
}

Value KeyedUnarchiver::decodeUID(std::int64_t uid) {
  if (!problem_.empty() || uid == 0) return Value();
  if (uid < 0 || static_cast<std::size_t>(uid) >= objects_.size()) {
    fail("Archive reference out of range.");
    return Value();
  }
  if (auto it = decoded_.find(uid); it != decoded_.end()) return it->second;
  const Value& item = objects_[static_cast<std::size_t>(uid)];
  if (!item.isDictionary()) return item;  // strings, numbers and data stand for themselves
  if (inProgress_.count(uid)) {
    fail("Archive holds a collection that contains itself.");
    return Value();
  }
  if (depth_ >= kMaxDepth) {
    fail("Archive nested too deeply.");
    return Value();
  }
  auto classUID = uidOf(item["$class"]);
  if (!classUID || *classUID <= 0 || static_cast<std::size_t>(*classUID) >= objects_.size()) {
    fail("Archived object has no class.");
    return Value();
  }
  const Value& description = objects_[static_cast<std::size_t>(*classUID)];
  const std::string* className = description["$classname"].asString();
  if (!className) {
    fail("Archived class has no name.");
    return Value();
  }
  struct Scope {
    KeyedUnarchiver& self;
    std::int64_t uid;
    const Dictionary* outer;
    ~Scope() {
      self.inProgress_.erase(uid);
      self.current_ = outer;
      --self.depth_;
    }
  } scope{*this, uid, current_};
  inProgress_.insert(uid);
  ++depth_;

  const std::string& name = *className;
  Value result;
  if (name == "NSNull") {
    result = Value::null();
  } else if (name == "NSDate") {
    result = Value(Date(Date::kReferenceDateOffset + item["NS.time"].doubleValue()));
  } else if (name == "NSArray" || name == "NSMutableArray") {
    Array items;
    for (const Value& reference : item["NS.objects"].asArray() ? *item["NS.objects"].asArray() : Array{}) {
      Value element = decodeReference(reference);
      if (element.isNil()) {
        fail("Archived array holds nil.");
        return Value();
      }
      items.push_back(std::move(element));
    }
    result = Value(std::move(items));
  } else if (name == "NSDictionary" || name == "NSMutableDictionary") {
    const Array* keys = item["NS.keys"].asArray();
    const Array* values = item["NS.objects"].asArray();
    if (!keys || !values || keys->size() != values->size()) {
      fail("Archived dictionary is malformed.");
      return Value();
    }
    std::vector<Dictionary::Entry> entries;
    for (std::size_t i = 0; i < keys->size(); ++i) {
      Value key = decodeReference((*keys)[i]);
      if (!key.isString()) {
        fail("Archived dictionary key is not a string.");
        return Value();
      }
      entries.emplace_back(*key.asString(), decodeReference((*values)[i]));
    }
    result = Value(Dictionary::fromEntries(std::move(entries)));
  } else {
    // The first class of the chain that this process knows.
    std::shared_ptr<Object> object;
    if (const Array* chain = description["$classes"].asArray())
      for (const Value& candidate : *chain)
        if (candidate.isString() && (object = ClassRegistry::shared().make(*candidate.asString()))) break;
    if (!object) object = ClassRegistry::shared().make(name);
    auto coding = std::dynamic_pointer_cast<Coding>(object);
    if (!coding) {
      fail("Cannot decode an object of class " + name + ".");
      return Value();
    }
    // Registered before decoding its fields, so references back to it resolve to it.
    decoded_[uid] = Value(object);
    inProgress_.erase(uid);
    current_ = item.asDictionary();
    auto initialised = coding->initWithCoder(*this);
    result = Value(initialised);
  }
  if (!problem_.empty()) return Value();
  decoded_[uid] = result;
  return result;
}

std::optional<URL> KeyedUnarchiver::decodeURLUID(std::int64_t uid) {
  if (uid <= 0 || static_cast<std::size_t>(uid) >= objects_.size() || depth_ >= kMaxDepth) return std::nullopt;
  const Value& item = objects_[static_cast<std::size_t>(uid)];
  auto classUID = uidOf(item["$class"]);
  if (!classUID || *classUID < 0 || static_cast<std::size_t>(*classUID) >= objects_.size() ||
      objects_[static_cast<std::size_t>(*classUID)]["$classname"] != Value("NSURL"))
    return std::nullopt;
  auto relative = uidOf(item["NS.relative"]);
  if (!relative) return std::nullopt;
  Value text = decodeUID(*relative);
  if (!text.isString()) return std::nullopt;
  ++depth_;
  std::optional<URL> base;
  if (auto baseUID = uidOf(item["NS.base"]); baseUID && *baseUID != 0 && *baseUID != uid) base = decodeURLUID(*baseUID);
  --depth_;
  return base ? URL::URLWithString(*text.asString(), *base) : URL::URLWithString(*text.asString());
}

bool KeyedUnarchiver::containsValueForKey(const std::string& key) const {
  return current_ && current_->contains(key);
}

Value KeyedUnarchiver::decodeObjectForKey(const std::string& key) {
  if (!current_) return Value();
  const Value* reference = current_->find(key);
  if (!reference) return Value();
  const Dictionary* fields = current_;
  Value result = decodeReference(*reference);
  current_ = fields;
  return result;
}

bool KeyedUnarchiver::decodeBoolForKey(const std::string& key) const {
  return current_ && (*current_)[key].isNumber() && (*current_)[key].boolValue();
}

std::int64_t KeyedUnarchiver::decodeInt64ForKey(const std::string& key) const {
  return current_ && (*current_)[key].isNumber() ? (*current_)[key].longLongValue() : 0;
}

int KeyedUnarchiver::decodeIntForKey(const std::string& key) const {
  return current_ && (*current_)[key].isNumber() ? (*current_)[key].intValue() : 0;
}

double KeyedUnarchiver::decodeDoubleForKey(const std::string& key) const {
  return current_ && (*current_)[key].isNumber() ? (*current_)[key].doubleValue() : 0;
}

std::optional<URL> KeyedUnarchiver::decodeURLForKey(const std::string& key) {
  if (!current_) return std::nullopt;
  auto uid = uidOf((*current_)[key]);
  if (!uid) return std::nullopt;
  const Dictionary* fields = current_;
  auto url = decodeURLUID(*uid);
  current_ = fields;
  return url;
}

Value KeyedUnarchiver::unarchiveObjectWithData(const Data& data, ErrorPtr* error) {
  ErrorPtr readError;
  Value archive = readPropertyList(data, nullptr, &readError, true);
  if (archive.isNil()) {
    if (error) *error = readError;
    return Value();
  }
  const Array* objects = archive["$objects"].asArray();
  const Value& root = archive["$top"]["root"];
  if (archive["$archiver"] != Value("NSKeyedArchiver") || !objects || objects->empty() || !uidOf(root)) {
    archiveError(error, kCoderReadCorruptError, "Data is not a keyed archive.");
    return Value();
  }
  KeyedUnarchiver unarchiver;
  unarchiver.objects_ = *objects;
  Value result = unarchiver.decodeReference(root);
  if (!unarchiver.problem_.empty()) {
    archiveError(error, kCoderReadCorruptError, unarchiver.problem_);
    return Value();
  }
  return result;
}

}  // namespace ns
