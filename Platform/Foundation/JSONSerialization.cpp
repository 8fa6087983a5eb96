#include "Foundation/JSONSerialization.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "Foundation/JSONDecoder.h"
#include "Foundation/String.h"

namespace ns {
namespace {

void setError(ErrorPtr* error, std::string message) {
  if (!error) return;
  *error = Error::make(
      kCocoaErrorDomain, kPropertyListReadCorruptError,
      Dictionary{{kDebugDescriptionErrorKey, std::move(message)},
                 {kLocalizedDescriptionKey,
                  "The data couldn\u2019t be read because it isn\u2019t in the correct format."}});
}

// `padded`: the text is followed by at least JSONDecoder::kPadding allocated bytes, so it can be
// read in place.
Value decode(std::string_view text, bool padded, ErrorPtr* error) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    setError(error, "Unexpected end of file during JSON parse.");
    return Value();
  }
  // Text without room past its end is copied into a padded buffer kept by the thread (unless it
  // is very large, so a thread does not hold on to that much memory).
  constexpr std::size_t kRetainedCapacity = 16 * 1024 * 1024;
  struct Buffer {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
  };
  thread_local Buffer shared;
  Buffer own;
  if (!padded) {
    Buffer& buffer = text.size() > kRetainedCapacity ? own : shared;
    if (buffer.capacity < text.size()) {
      buffer.capacity = std::max(text.size(), buffer.capacity * 2);
      buffer.bytes = std::make_unique<char[]>(buffer.capacity + JSONDecoder::kPadding);
    }
    std::memcpy(buffer.bytes.get(), text.data(), text.size());
    std::memset(buffer.bytes.get() + text.size(), 0, JSONDecoder::kPadding);
    text = std::string_view(buffer.bytes.get(), text.size());
  }
  std::string problem;
  Value value = JSONDecoder::decode(text.data(), text.size(), &problem);
  if (value.isNil()) setError(error, std::move(problem));
  return value;
}

}  // namespace

Value JSONSerialization::JSONObjectWithString(std::string_view text, ErrorPtr* error) {
  return decode(text, false, error);
}

Value JSONSerialization::JSONObjectWithData(const Data& data, ErrorPtr* error) {
  static_assert(Data::kTailRoom >= JSONDecoder::kPadding);
  return decode(data.view(), data.tailRoom() >= JSONDecoder::kPadding, error);
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
