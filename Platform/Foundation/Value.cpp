#include "Foundation/Value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <span>

#include "Foundation/DecimalNumber.h"
#include "Foundation/StringNumbers.h"

namespace ns {

Value::Value(ns::Array a) : storage_(std::make_shared<const ns::Array>(std::move(a))) {}
Value::Value(ns::Dictionary d) : storage_(std::make_shared<const ns::Dictionary>(std::move(d))) {}
Value::Value(std::shared_ptr<const ns::Array> a) : storage_(a ? Storage(std::move(a)) : Storage()) {}
Value::Value(std::shared_ptr<const ns::Dictionary> d) : storage_(d ? Storage(std::move(d)) : Storage()) {}

Value::Type Value::type() const {
  switch (storage_.index()) {
    case 0: return Type::nil;
    case 1: return Type::null;
    case 2: return Type::boolean;
    case 3:
    case 4: return Type::integer;
    case 5: return Type::real;
    case 6: return Type::string;
    case 7: return Type::data;
    case 8: return Type::date;
    case 9: return Type::array;
    case 10: return Type::dictionary;
    default: return Type::object;
  }
}

bool Value::isInteger() const {
  return std::holds_alternative<std::int64_t>(storage_) || std::holds_alternative<std::uint64_t>(storage_);
}

const ns::Array* Value::asArray() const {
  auto p = std::get_if<std::shared_ptr<const ns::Array>>(&storage_);
  return p ? p->get() : nullptr;
}

const ns::Dictionary* Value::asDictionary() const {
  auto p = std::get_if<std::shared_ptr<const ns::Dictionary>>(&storage_);
  return p ? p->get() : nullptr;
}

std::shared_ptr<const ns::Array> Value::sharedArray() const {
  auto p = std::get_if<std::shared_ptr<const ns::Array>>(&storage_);
  return p ? *p : nullptr;
}

std::shared_ptr<const ns::Dictionary> Value::sharedDictionary() const {
  auto p = std::get_if<std::shared_ptr<const ns::Dictionary>>(&storage_);
  return p ? *p : nullptr;
}

std::shared_ptr<Object> Value::asObject() const {
  auto p = std::get_if<std::shared_ptr<Object>>(&storage_);
  return p ? *p : nullptr;
}

bool Value::boolValue() const {
  if (auto b = std::get_if<bool>(&storage_)) return *b;
  if (auto i = std::get_if<std::int64_t>(&storage_)) return *i != 0;
  if (std::holds_alternative<std::uint64_t>(storage_)) return true;
  if (auto d = std::get_if<double>(&storage_)) return *d != 0 && !std::isnan(*d);
  if (auto s = asString()) return stringBoolValue(*s);
  if (auto n = asObject<DecimalNumber>()) return n->boolValue();
  return false;
}

std::int64_t Value::longLongValue() const {
  if (auto b = std::get_if<bool>(&storage_)) return *b ? 1 : 0;
  if (auto i = std::get_if<std::int64_t>(&storage_)) return *i;
  if (std::holds_alternative<std::uint64_t>(storage_)) return std::numeric_limits<std::int64_t>::max();
  if (auto d = std::get_if<double>(&storage_)) return saturatingInt64(*d);
  if (auto s = asString()) return stringLongLongValue(*s);
  if (auto n = asObject<DecimalNumber>()) return n->longLongValue();
  return 0;
}

int Value::intValue() const {
  if (auto d = std::get_if<double>(&storage_)) return saturatingInt(*d);
  std::int64_t v = longLongValue();
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::uint64_t Value::unsignedLongLongValue() const {
  if (auto u = std::get_if<std::uint64_t>(&storage_)) return *u;
  if (auto d = std::get_if<double>(&storage_)) {
    if (std::isnan(*d) || *d <= 0) return 0;
    if (*d >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(*d);
  }
  // Negative numbers wrap, as the platform's unsigned reading does.
  return static_cast<std::uint64_t>(longLongValue());
}

double Value::doubleValue() const {
  if (auto b = std::get_if<bool>(&storage_)) return *b ? 1 : 0;
  if (auto i = std::get_if<std::int64_t>(&storage_)) return static_cast<double>(*i);
  if (auto u = std::get_if<std::uint64_t>(&storage_)) return static_cast<double>(*u);
  if (auto d = std::get_if<double>(&storage_)) return *d;
  if (auto s = asString()) return stringDoubleValue(*s);
  if (auto n = asObject<DecimalNumber>()) return n->doubleValue();
  return 0;
}

const Value& Value::nilValue() {
  // Never destroyed: threads still running at exit may read it.
  static const Value& nil = *new Value;
  return nil;
}

const Value& Value::operator[](std::string_view key) const {
  if (auto d = asDictionary()) return (*d)[key];
  return nilValue();
}

const Value& Value::at(std::size_t index) const {
  if (auto a = asArray(); a && index < a->size()) return (*a)[index];
  return nilValue();
}

std::size_t Value::count() const {
  if (auto a = asArray()) return a->size();
  if (auto d = asDictionary()) return d->size();
  return 0;
}

ns::Array* Value::mutableArray() {
  auto p = std::get_if<std::shared_ptr<const ns::Array>>(&storage_);
  if (!p) return nullptr;
  if (p->use_count() > 1) *p = std::make_shared<const ns::Array>(**p);
  return const_cast<ns::Array*>(p->get());
}

ns::Dictionary* Value::mutableDictionary() {
  auto p = std::get_if<std::shared_ptr<const ns::Dictionary>>(&storage_);
  if (!p) return nullptr;
  if (p->use_count() > 1) *p = std::make_shared<const ns::Dictionary>(**p);
  return const_cast<ns::Dictionary*>(p->get());
}

bool Value::operator==(const Value& other) const {
  if (isNumber() && other.isNumber()) {
    if (isDouble() || other.isDouble()) return doubleValue() == other.doubleValue();
    if (isUnsigned() || other.isUnsigned()) return isUnsigned() == other.isUnsigned() && unsignedLongLongValue() == other.unsignedLongLongValue();
    return longLongValue() == other.longLongValue();
  }
  if (storage_.index() != other.storage_.index()) return false;
  if (auto a = asArray()) return a == other.asArray() || *a == *other.asArray();
  if (auto d = asDictionary()) return d == other.asDictionary() || *d == *other.asDictionary();
  if (auto n = asObject<DecimalNumber>()) {
    auto m = other.asObject<DecimalNumber>();
    return m && n->isEqualToNumber(*m);
  }
  if (auto o = asObject()) return o == other.asObject();
  return storage_ == other.storage_;
}

namespace {

// Strings print bare inside collections only when they are plain words.
bool needsQuotes(std::string_view s) {
  if (s.empty()) return true;
  for (unsigned char c : s)
    if (!(std::isalnum(c) || c == '_' || c == '.' || c == '$' || c == '/' || c == ':' || c >= 0x80)) return true;
  return false;
}

void appendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  out += '"';
}

// A bounded description takes of a long text only what can still show.
void appendText(std::string& out, std::string_view text, bool quoteIfNeeded, std::size_t limit) {
  if (limit != std::string::npos) text = text.substr(0, out.size() > limit ? 0 : limit + 1 - out.size());
  if (quoteIfNeeded && needsQuotes(text))
    appendQuoted(out, text);
  else
    out += text;
}

std::string formatDouble(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
  return std::string(buffer, result.ptr);
}

std::string formatDate(Date date) {
  double seconds = std::floor(date.timeIntervalSince1970());
  std::time_t t = static_cast<std::time_t>(std::clamp(seconds, -6.0e16, 6.0e16));
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[64];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &tm);
  return buffer;
}

}  // namespace

void Value::describeInto(std::string& out, int indent, bool nested, std::size_t limit) const {
  if (out.size() > limit) return;
  std::string pad(static_cast<std::size_t>(indent) * 4, ' ');
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out += "(null)";
        } else if constexpr (std::is_same_v<T, NullTag>) {
          out += "<null>";
        } else if constexpr (std::is_same_v<T, bool>) {
          out += v ? "1" : "0";
        } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>) {
          out += std::to_string(v);
        } else if constexpr (std::is_same_v<T, double>) {
          out += formatDouble(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          appendText(out, v, nested, limit);
        } else if constexpr (std::is_same_v<T, ns::Data>) {
          static const char* hex = "0123456789abcdef";
          out += '<';
          for (std::size_t i = 0; i < v.length() && out.size() <= limit; ++i) {
            if (i && i % 4 == 0) out += ' ';
            out += hex[v.bytes()[i] >> 4];
            out += hex[v.bytes()[i] & 15];
          }
          out += '>';
        } else if constexpr (std::is_same_v<T, ns::Date>) {
          out += formatDate(v);
        } else if constexpr (std::is_same_v<T, std::shared_ptr<const ns::Array>>) {
          out += "(\n";
          for (std::size_t i = 0; i < v->size() && out.size() <= limit; ++i) {
            out += pad + "    ";
            (*v)[i].describeInto(out, indent + 1, true, limit);
            out += i + 1 < v->size() ? ",\n" : "\n";
          }
          out += pad + ")";
        } else if constexpr (std::is_same_v<T, std::shared_ptr<const ns::Dictionary>>) {
          out += "{\n";
          for (const auto& [key, value] : *v) {
            if (out.size() > limit) break;
            out += pad + "    ";
            appendText(out, key, true, limit);
            out += " = ";
            value.describeInto(out, indent + 1, true, limit);
            out += ";\n";
          }
          out += pad + "}";
        } else {
          out += v->describe();
        }
      },
      storage_);
}

std::string Value::describe() const {
  std::string out;
  describeInto(out, 0, false, std::string::npos);
  return out;
}

std::string Value::describe(std::size_t limit, bool* cut) const {
  std::string out;
  describeInto(out, 0, false, limit);
  if (cut) *cut = out.size() > limit;
  return out;
}

namespace {

using Entry = Dictionary::Entry;

Entry* allocateEntries(std::size_t capacity) {
  return static_cast<Entry*>(::operator new(capacity * sizeof(Entry)));
}

void freeEntries(Entry* entries) { ::operator delete(entries); }

// Allocates the shared block of a dictionary with its entries behind it, so a decoded dictionary
// costs one allocation. The block's layout is the library's; the entries start at the first
// suitably aligned byte after it, which allocate() reports through `where`.
template <class T>
struct BlockWithEntries {
  using value_type = T;
  std::size_t capacity;
  Entry** where;

  BlockWithEntries(std::size_t c, Entry** w) : capacity(c), where(w) {}
  template <class U>
  BlockWithEntries(const BlockWithEntries<U>& other) : capacity(other.capacity), where(other.where) {}

  static constexpr std::size_t head() {
    return (sizeof(T) + alignof(Entry) - 1) / alignof(Entry) * alignof(Entry);
  }
  T* allocate(std::size_t n) {
    // make_shared allocates exactly one block.
    if (n != 1) throw std::bad_alloc();
    char* block = static_cast<char*>(::operator new(head() + capacity * sizeof(Entry)));
    *where = reinterpret_cast<Entry*>(block + head());
    return reinterpret_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) { ::operator delete(block); }
  template <class U>
  bool operator==(const BlockWithEntries<U>& other) const {
    return capacity == other.capacity;
  }
};

}  // namespace

std::shared_ptr<Dictionary> Dictionary::makeShared(std::size_t capacity) {
  if (capacity == 0) return std::make_shared<Dictionary>();
  Entry* where = nullptr;
  return std::allocate_shared<Dictionary>(BlockWithEntries<Dictionary>(capacity, &where), InBlock{}, &where,
                                          static_cast<std::uint32_t>(capacity));
}

Dictionary::Dictionary(std::initializer_list<Entry> entries)
    : Dictionary(fromEntries(std::vector<Entry>(entries))) {}

Dictionary::Dictionary(const Dictionary& other) {
  if (other.size_ == 0) return;
  entries_ = allocateEntries(other.size_);
  capacity_ = other.size_;
  for (const Entry& e : other) {
    ::new (static_cast<void*>(entries_ + size_)) Entry(e);
    ++size_;
  }
}

Dictionary::Dictionary(Dictionary&& other) noexcept {
  if (other.ownsEntries_) {
    entries_ = std::exchange(other.entries_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    return;
  }
  // Entries inside another dictionary's block stay there; they are moved out one by one.
  if (other.size_ == 0) return;
  entries_ = allocateEntries(other.size_);
  capacity_ = other.size_;
  for (Entry& e : std::span(other.entries_, other.size_)) {
    ::new (static_cast<void*>(entries_ + size_)) Entry(std::move(e));
    ++size_;
  }
  other.clear();
}

Dictionary& Dictionary::operator=(const Dictionary& other) {
  if (this != &other) {
    Dictionary copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Dictionary& Dictionary::operator=(Dictionary&& other) noexcept {
  if (this == &other) return *this;
  // Taken before the old entries go: `other` may live inside one of them.
  Dictionary taken(std::move(other));
  destroyEntries();
  if (ownsEntries_) freeEntries(entries_);
  entries_ = std::exchange(taken.entries_, nullptr);
  size_ = std::exchange(taken.size_, 0);
  capacity_ = std::exchange(taken.capacity_, 0);
  ownsEntries_ = true;
  return *this;
}

Dictionary::~Dictionary() {
  destroyEntries();
  if (ownsEntries_) freeEntries(entries_);
}

void Dictionary::destroyEntries() noexcept {
  std::destroy(entries_, entries_ + size_);
  size_ = 0;
}

void Dictionary::clear() noexcept {
  // Entries are taken out before they are destroyed: a value being destroyed may own this dictionary.
  if (size_ == 0) return;
  Entry* entries = entries_;
  std::uint32_t n = std::exchange(size_, 0);
  std::destroy(entries, entries + n);
}

void Dictionary::reserveExactly(std::size_t capacity) {
  if (capacity <= capacity_) return;
  Entry* fresh = allocateEntries(capacity);
  for (std::uint32_t i = 0; i < size_; ++i) {
    ::new (static_cast<void*>(fresh + i)) Entry(std::move(entries_[i]));
    entries_[i].~Entry();
  }
  if (ownsEntries_) freeEntries(entries_);
  entries_ = fresh;
  capacity_ = static_cast<std::uint32_t>(capacity);
  ownsEntries_ = true;
}

void Dictionary::adoptSorted(std::vector<Entry>& entries) {
  reserveExactly(entries.size());
  for (Entry& e : entries) {
    ::new (static_cast<void*>(entries_ + size_)) Entry(std::move(e));
    ++size_;
  }
}

Dictionary Dictionary::fromEntries(std::vector<Entry> entries) {
  // Sorted in place and stable, so that of equal keys the last one given is kept. Decoded objects
  // are small, where insertion sort beats a merge sort and needs no buffer.
  auto byKey = [](const Entry& a, const Entry& b) { return a.first < b.first; };
  if (entries.size() <= 32) {
    for (std::size_t i = 1; i < entries.size(); ++i) {
      if (!byKey(entries[i], entries[i - 1])) continue;
      Entry moving = std::move(entries[i]);
      std::size_t j = i;
      for (; j > 0 && byKey(moving, entries[j - 1]); --j) entries[j] = std::move(entries[j - 1]);
      entries[j] = std::move(moving);
    }
  } else {
    std::stable_sort(entries.begin(), entries.end(), byKey);
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    bool replacedByNext = i + 1 < entries.size() && entries[i + 1].first == entries[i].first;
    if (replacedByNext || entries[i].second.isNil()) continue;
    if (kept != i) entries[kept] = std::move(entries[i]);
    ++kept;
  }
  entries.resize(kept);
  Dictionary d;
  d.adoptSorted(entries);
  return d;
}

Dictionary::Entry* Dictionary::lowerBound(std::string_view key) const {
  return std::lower_bound(entries_, entries_ + size_, key,
                          [](const Entry& e, std::string_view k) { return std::string_view(e.first) < k; });
}

const Value* Dictionary::find(std::string_view key) const {
  Entry* it = lowerBound(key);
  return it != entries_ + size_ && it->first == key ? &it->second : nullptr;
}

const Value& Dictionary::operator[](std::string_view key) const {
  const Value* v = find(key);
  return v ? *v : Value::nilValue();
}

void Dictionary::set(std::string key, Value value) {
  Entry* it = lowerBound(key);
  bool present = it != entries_ + size_ && it->first == key;
  if (value.isNil()) {
    if (present) remove(key);
    return;
  }
  if (present) {
    it->second = std::move(value);
    return;
  }
  auto at = static_cast<std::size_t>(it - entries_);
  if (size_ == capacity_) reserveExactly(std::max<std::size_t>(4, std::size_t(capacity_) * 2));
  Entry* slot = entries_ + at;
  Entry* last = entries_ + size_;
  if (slot == last) {
    ::new (static_cast<void*>(last)) Entry(std::move(key), std::move(value));
  } else {
    ::new (static_cast<void*>(last)) Entry(std::move(last[-1]));
    std::move_backward(slot, last - 1, last);
    *slot = Entry(std::move(key), std::move(value));
  }
  ++size_;
}

bool Dictionary::remove(std::string_view key) {
  Entry* it = lowerBound(key);
  if (it == entries_ + size_ || it->first != key) return false;
  // The removed entry leaves the array before it is destroyed (its value may own this dictionary).
  Entry removed(std::move(*it));
  std::move(it + 1, entries_ + size_, it);
  --size_;
  entries_[size_].~Entry();
  return true;
}

bool Dictionary::operator==(const Dictionary& other) const {
  return std::equal(begin(), end(), other.begin(), other.end());
}

std::vector<std::string> Dictionary::keys() const {
  std::vector<std::string> result;
  result.reserve(size_);
  for (const auto& e : *this) result.push_back(e.first);
  return result;
}

}  // namespace ns
