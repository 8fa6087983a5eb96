#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "Foundation/Data.h"
#include "Foundation/Date.h"
#include "Foundation/Object.h"

namespace ns {

class Value;
class Dictionary;
using Array = std::vector<Value>;

// A dynamic value: what decoded JSON, property lists, user defaults and user-info dictionaries hold.
// nil (no value), null (the platform's null object), bool, integer, double, string, data, date,
// array, dictionary, or a reference to an Object. Arrays and dictionaries are shared immutable
// storage, so copying a decoded reply is cheap; the mutable accessors copy on write.
// Typed accessors never throw: a wrong type reads as nullptr, 0 or nil.
class Value {
 public:
  enum class Type : std::uint8_t { nil, null, boolean, integer, real, string, data, date, array, dictionary, object };
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };

  Value() noexcept = default;
  Value(std::nullptr_t) noexcept {}
  Value(bool b) : storage_(b) {}
  template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
  Value(T n) : storage_(fromIntegral(n)) {}
  Value(double d) : storage_(d) {}
  Value(float f) : storage_(static_cast<double>(f)) {}
  Value(const char* s) : storage_(s ? Storage(std::string(s)) : Storage()) {}
  Value(std::string s) : storage_(std::move(s)) {}
  Value(std::string_view s) : storage_(std::string(s)) {}
  Value(ns::Data d) : storage_(std::move(d)) {}
  Value(ns::Date d) : storage_(d) {}
  Value(ns::Array a);
  Value(ns::Dictionary d);
  Value(std::shared_ptr<const ns::Array> a);
  Value(std::shared_ptr<const ns::Dictionary> d);
  template <class T>
    requires std::derived_from<T, Object>
  Value(std::shared_ptr<T> object)
      : storage_(object ? Storage(std::static_pointer_cast<Object>(std::const_pointer_cast<std::remove_const_t<T>>(object)))
                        : Storage()) {}
  // A raw pointer would silently become a bool.
  template <class T>
  Value(T*) = delete;

  Value(const Value&) = default;
  Value(Value&&) noexcept = default;
  // Assignment takes the new contents before letting the old go, so a value may be assigned one
  // of its own elements (v = v.at(0)).
  Value& operator=(const Value& other) {
    Storage copy(other.storage_);
    storage_ = std::move(copy);
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    Storage taken(std::move(other.storage_));
    storage_ = std::move(taken);
    return *this;
  }

  // The platform's null object (distinct from nil).
  static Value null() { return Value(NullTag{}); }

  Type type() const;
  bool isNil() const { return storage_.index() == 0; }
  bool isNull() const { return std::holds_alternative<NullTag>(storage_); }
  bool isBool() const { return std::holds_alternative<bool>(storage_); }
  bool isInteger() const;
  bool isUnsigned() const { return std::holds_alternative<std::uint64_t>(storage_); }
  bool isDouble() const { return std::holds_alternative<double>(storage_); }
  bool isNumber() const { return isBool() || isInteger() || isDouble(); }
  bool isString() const { return std::holds_alternative<std::string>(storage_); }
  bool isData() const { return std::holds_alternative<ns::Data>(storage_); }
  bool isDate() const { return std::holds_alternative<ns::Date>(storage_); }
  bool isArray() const { return std::holds_alternative<std::shared_ptr<const ns::Array>>(storage_); }
  bool isDictionary() const { return std::holds_alternative<std::shared_ptr<const ns::Dictionary>>(storage_); }
  bool isObject() const { return std::holds_alternative<std::shared_ptr<Object>>(storage_); }
  // True for anything but nil (null included, as for an object pointer).
  explicit operator bool() const { return !isNil(); }

  const std::string* asString() const { return std::get_if<std::string>(&storage_); }
  const ns::Data* asData() const { return std::get_if<ns::Data>(&storage_); }
  const ns::Date* asDate() const { return std::get_if<ns::Date>(&storage_); }
  const ns::Array* asArray() const;
  const ns::Dictionary* asDictionary() const;
  std::shared_ptr<const ns::Array> sharedArray() const;
  std::shared_ptr<const ns::Dictionary> sharedDictionary() const;
  std::shared_ptr<Object> asObject() const;
  template <class T>
  std::shared_ptr<T> asObject() const {
    return std::dynamic_pointer_cast<T>(asObject());
  }

  // Numeric readings as the platform's number and string objects give them: numbers convert
  // (saturating, NaN reads 0), strings are read by the platform's intValue/doubleValue rules
  // (leading blanks, sign, digits, stop at the first other character), a DecimalNumber object
  // by its own readings, anything else is 0.
  bool boolValue() const;
  int intValue() const;
  std::int64_t longLongValue() const;
  std::int64_t integerValue() const { return longLongValue(); }
  std::uint64_t unsignedLongLongValue() const;
  double doubleValue() const;

  // Element access that never fails: nil for a wrong type, a missing key or an index out of range.
  // The reference stays valid as long as this value (or a copy sharing its storage) lives.
  const Value& operator[](std::string_view key) const;
  const Value& operator[](const char* key) const { return (*this)[std::string_view(key)]; }
  const Value& operator[](const std::string& key) const { return (*this)[std::string_view(key)]; }
  template <std::integral I>
  const Value& operator[](I) const = delete;  // use at(): a literal 0 would read as a null key
  const Value& at(std::size_t index) const;
  // A nil value with static lifetime.
  static const Value& nilValue();
  std::size_t count() const;  // elements of an array or dictionary, else 0

  // Copy-on-write access for building values in place; nullptr for a wrong type.
  ns::Array* mutableArray();
  ns::Dictionary* mutableDictionary();

  // Deep equality; numbers compare by value across bool, integer and double, DecimalNumber
  // objects by value with each other.
  bool operator==(const Value& other) const;

  // What %@ prints: strings as they are, numbers in the platform's form, collections in the
  // old-style property-list form, objects through Object::describe(), nil as "(null)".
  std::string describe() const;
  // The same description, stopped once it passes `limit` bytes: it walks no more of the value than
  // that many bytes of text show, whatever the value holds. Whether it stopped short goes to `cut`.
  std::string describe(std::size_t limit, bool* cut) const;

 private:
  using Storage = std::variant<std::monostate, NullTag, bool, std::int64_t, std::uint64_t, double, std::string,
                               ns::Data, ns::Date, std::shared_ptr<const ns::Array>,
                               std::shared_ptr<const ns::Dictionary>, std::shared_ptr<Object>>;
  explicit Value(NullTag t) : storage_(t) {}
  template <class T, class... A>
  explicit Value(std::in_place_type_t<T> type, A&&... args) : storage_(type, std::forward<A>(args)...) {}
  template <class T>
  static Storage fromIntegral(T n) {
    if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(std::int64_t)) {
      if (n > static_cast<std::uint64_t>(INT64_MAX)) return Storage(static_cast<std::uint64_t>(n));
    }
    return Storage(static_cast<std::int64_t>(n));
  }
  void describeInto(std::string& out, int indent, bool nested, std::size_t limit) const;
  friend class Dictionary;
  friend class JSONDecoder;

  Storage storage_;
};

// A string-keyed dictionary kept as a sorted flat array (ordered iteration, binary search). The
// entries usually share one allocation with the shared block holding the dictionary (see
// makeShared); a dictionary that grows or is copied moves them to storage of its own.
class Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;
  using const_iterator = const Entry*;

  Dictionary() noexcept = default;
  Dictionary(std::initializer_list<Entry> entries);
  Dictionary(const Dictionary& other);
  Dictionary(Dictionary&& other) noexcept;
  Dictionary& operator=(const Dictionary& other);
  Dictionary& operator=(Dictionary&& other) noexcept;
  ~Dictionary();
  // Entries in any order; a later duplicate key replaces an earlier one.
  static Dictionary fromEntries(std::vector<Entry> entries);

  const Value* find(std::string_view key) const;
  // nil (Value::nilValue()) when absent.
  const Value& operator[](std::string_view key) const;
  const Value& objectForKey(std::string_view key) const { return (*this)[key]; }
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  // Setting nil removes the key.
  void set(std::string key, Value value);
  bool remove(std::string_view key);
  void clear() noexcept;

  std::size_t size() const { return size_; }
  std::size_t count() const { return size_; }
  bool empty() const { return size_ == 0; }
  const_iterator begin() const { return entries_; }
  const_iterator end() const { return entries_ + size_; }
  std::vector<std::string> keys() const;

  bool operator==(const Dictionary& other) const;

  // For makeShared (the tag cannot be named elsewhere): a dictionary whose entry storage for
  // `capacity` entries lies at *where, read once the block holding both has been allocated.
 private:
  struct InBlock {};

 public:
  Dictionary(InBlock, Entry* const* where, std::uint32_t capacity) noexcept
      : entries_(*where), capacity_(capacity), ownsEntries_(false) {}

 private:
  friend class JSONDecoder;
  friend class Value;
  // A shared dictionary with room for `capacity` entries in the same allocation.
  static std::shared_ptr<Dictionary> makeShared(std::size_t capacity);
  // Appends an entry within capacity (the caller keeps keys sorted and unique).
  Entry& appendUnchecked(std::string_view key) {
    return *::new (static_cast<void*>(entries_ + size_++))
        Entry(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple());
  }
  Entry* lowerBound(std::string_view key) const;
  void reserveExactly(std::size_t capacity);
  void destroyEntries() noexcept;
  void adoptSorted(std::vector<Entry>& entries);

  Entry* entries_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
  bool ownsEntries_ = true;
};

}  // namespace ns
