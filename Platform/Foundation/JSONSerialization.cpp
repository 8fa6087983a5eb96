#include "Foundation/JSONSerialization.h"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <deque>
#include <memory>
#include <cmath>
#include <cstring>

#include "Foundation/String.h"

namespace ns {
namespace {

using simdjson::dom::element_type;

void setError(ErrorPtr* error, std::string message) {
  if (!error) return;
  *error = Error::make(kCocoaErrorDomain, kPropertyListReadCorruptError,
                       Dictionary{{kDebugDescriptionErrorKey, std::move(message)},
                                  {kLocalizedDescriptionKey,
                                   "The data couldn\u2019t be read because it isn\u2019t in the correct format."}});
}

}  // namespace

// Builds values from a parsed document. Objects of one nesting level usually share their keys in
// the same order (records of a list), so the sorted order found for one is reused for the next.
class JSONDecoder {
 public:
  Value convert(simdjson::dom::element element, std::size_t depth) {
    switch (element.type()) {
      case element_type::ARRAY: {
        simdjson::dom::array array = element.get_array().value_unsafe();
        Array items;
        items.reserve(array.size());
        for (simdjson::dom::element child : array) items.push_back(convert(child, depth + 1));
        return Value(std::move(items));
      }
      case element_type::OBJECT: return convertObject(element.get_object().value_unsafe(), depth);
      case element_type::INT64: return Value(element.get_int64().value_unsafe());
      case element_type::UINT64: return Value(element.get_uint64().value_unsafe());
      case element_type::DOUBLE: return Value(element.get_double().value_unsafe());
      case element_type::STRING: return Value(std::string(element.get_string().value_unsafe()));
      case element_type::BOOL: return Value(element.get_bool().value_unsafe());
      case element_type::NULL_VALUE: return Value::null();
    }
    return Value();
  }

 private:
  struct Level {
    std::vector<std::string_view> keys, shapeKeys;
    std::vector<std::uint32_t> shapeOrder;
    bool shapeUnique = false;
  };

  Value convertObject(simdjson::dom::object object, std::size_t depth) {
    while (levels_.size() <= depth) levels_.emplace_back();
    std::vector<Value> values;
    values.reserve(object.size());
    {
      std::vector<std::string_view>& keys = levels_[depth].keys;
      keys.clear();
      for (simdjson::dom::key_value_pair field : object) keys.push_back(field.key);
    }
    for (simdjson::dom::key_value_pair field : object) values.push_back(convert(field.value, depth + 1));
    // Deeper levels may have been added meanwhile; a deque keeps this reference valid.
    Level& level = levels_[depth];
    if (level.keys != level.shapeKeys) {
      level.shapeKeys = level.keys;
      level.shapeOrder.resize(level.keys.size());
      for (std::uint32_t i = 0; i < level.shapeOrder.size(); ++i) level.shapeOrder[i] = i;
      const auto& keys = level.shapeKeys;
      std::stable_sort(level.shapeOrder.begin(), level.shapeOrder.end(),
                       [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
      level.shapeUnique = true;
      for (std::size_t i = 1; i < level.shapeOrder.size(); ++i)
        if (keys[level.shapeOrder[i]] == keys[level.shapeOrder[i - 1]]) level.shapeUnique = false;
    }
    std::vector<Dictionary::Entry> entries;
    entries.reserve(values.size());
    if (!level.shapeUnique) {
      for (std::size_t i = 0; i < values.size(); ++i) entries.emplace_back(std::string(level.keys[i]), std::move(values[i]));
      return Value(Dictionary::fromEntries(std::move(entries)));
    }
    for (std::uint32_t i : level.shapeOrder) entries.emplace_back(std::string(level.keys[i]), std::move(values[i]));
    return Value(Dictionary::fromSortedUniqueEntries(std::move(entries)));
  }

  std::deque<Level> levels_;
};

namespace {

// Integers wider than 64 bits stop the parser; the reader gives them as doubles instead. Appends
// ".0" to every integer token outside strings that does not fit, so it parses as a double.
// Returns false when there was no such token.
bool widenBigIntegers(std::string_view text, std::string& out) {
  static constexpr std::string_view kMaxUnsigned = "18446744073709551615";
  static constexpr std::string_view kMinSigned = "9223372036854775808";
  bool changed = false, inString = false;
  out.clear();
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size();) {
    char c = text[i];
    if (inString) {
      out += c;
      if (c == '\\' && i + 1 < text.size()) out += text[++i];
      else if (c == '"') inString = false;
      ++i;
      continue;
    }
    if (c == '"') inString = true;
    if (c != '-' && !(c >= '0' && c <= '9')) {
      out += c;
      ++i;
      continue;
    }
    std::size_t end = i + (c == '-');
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    std::string_view digits = text.substr(i + (c == '-'), end - i - (c == '-'));
    bool integer = end >= text.size() || (text[end] != '.' && text[end] != 'e' && text[end] != 'E');
    std::string_view limit = c == '-' ? kMinSigned : kMaxUnsigned;
    bool tooWide = digits.size() > limit.size() || (digits.size() == limit.size() && digits > limit);
    out.append(text.substr(i, end - i));
    if (integer && tooWide && !digits.empty() && digits[0] != '0') {
      out += ".0";
      changed = true;
    }
    i = end == i ? i + 1 : end;
  }
  return changed;
}

// One parser per thread keeps its buffers between documents; very large documents get their own
// so a thread does not hold on to their memory.
constexpr std::size_t kRetainedCapacity = 16 * 1024 * 1024;

}  // namespace

Value JSONSerialization::JSONObjectWithString(std::string_view text, ErrorPtr* error) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    setError(error, "Unexpected end of file during JSON parse.");
    return Value();
  }
  // The parser reads a little past the end of its input, so the text goes into a padded buffer
  // kept with the parser.
  struct Reader {
    simdjson::dom::parser parser;
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0;
  };
  thread_local Reader shared;
  std::unique_ptr<Reader> own;
  Reader* reader = &shared;
  if (text.size() > kRetainedCapacity) {
    own = std::make_unique<Reader>();
    reader = own.get();
  }
  if (reader->capacity < text.size()) {
    reader->capacity = std::max(text.size(), reader->capacity * 2);
    reader->buffer = std::make_unique<char[]>(reader->capacity + simdjson::SIMDJSON_PADDING);
  }
  std::memcpy(reader->buffer.get(), text.data(), text.size());
  std::memset(reader->buffer.get() + text.size(), 0, simdjson::SIMDJSON_PADDING);
  simdjson::dom::element root;
  auto code = reader->parser.parse(reader->buffer.get(), text.size(), false).get(root);
  if (code == simdjson::NUMBER_ERROR) {
    std::string widened;
    if (widenBigIntegers(text, widened)) {
      auto retried = reader->parser.parse(widened).get(root);
      if (retried == simdjson::SUCCESS) return JSONDecoder().convert(root, 0);
    }
  }
  if (code != simdjson::SUCCESS) {
    setError(error, std::string("Invalid JSON: ") + simdjson::error_message(code));
    return Value();
  }
  return JSONDecoder().convert(root, 0);
}

Value JSONSerialization::JSONObjectWithData(const Data& data, ErrorPtr* error) {
  return JSONObjectWithString(data.view(), error);
}

namespace {

struct Writer {
  std::string out;
  std::string problem;

  bool fail(std::string message) {
    problem = std::move(message);
    return false;
  }

  bool writeString(std::string_view s) {
    if (!isValidUTF8(s)) return fail("Invalid UTF-8 string in JSON write.");
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (char ch : s) {
      auto c = static_cast<unsigned char>(ch);
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
          if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
          } else {
            out += ch;
          }
      }
    }
    out += '"';
    return true;
  }

  bool write(const Value& value) {
    switch (value.type()) {
      case Value::Type::null: out += "null"; return true;
      case Value::Type::boolean: out += value.boolValue() ? "true" : "false"; return true;
      case Value::Type::integer:
        out += value.isUnsigned() ? std::to_string(value.unsignedLongLongValue()) : std::to_string(value.longLongValue());
        return true;
      case Value::Type::real: {
        double d = value.doubleValue();
        if (!std::isfinite(d)) return fail("Invalid number value (" + value.describe() + ") in JSON write.");
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
        out.append(buffer, result.ptr);
        return true;
      }
      case Value::Type::string: return writeString(*value.asString());
      case Value::Type::array: {
        out += '[';
        bool first = true;
        for (const Value& item : *value.asArray()) {
          if (!first) out += ',';
          first = false;
          if (!write(item)) return false;
        }
        out += ']';
        return true;
      }
      case Value::Type::dictionary: {
        out += '{';
        bool first = true;
        for (const auto& [key, item] : *value.asDictionary()) {
          if (!first) out += ',';
          first = false;
          if (!writeString(key)) return false;
          out += ':';
          if (!write(item)) return false;
        }
        out += '}';
        return true;
      }
      case Value::Type::nil: return fail("Invalid value (nil) in JSON write.");
      case Value::Type::data: return fail("Invalid type in JSON write (Data).");
      case Value::Type::date: return fail("Invalid type in JSON write (Date).");
      case Value::Type::object: return fail("Invalid type in JSON write (" + value.asObject()->className() + ").");
    }
    return fail("Invalid type in JSON write.");
  }
};

}  // namespace

std::optional<std::string> JSONSerialization::stringWithJSONObject(const Value& value, ErrorPtr* error) {
  Writer writer;
  if (!writer.write(value)) {
    setError(error, writer.problem);
    return std::nullopt;
  }
  return std::move(writer.out);
}

std::optional<Data> JSONSerialization::dataWithJSONObject(const Value& value, ErrorPtr* error) {
  auto text = stringWithJSONObject(value, error);
  return text ? std::optional<Data>(Data(std::move(*text))) : std::nullopt;
}

bool JSONSerialization::isValidJSONObject(const Value& value) {
  Writer writer;
  return writer.write(value);
}

}  // namespace ns
