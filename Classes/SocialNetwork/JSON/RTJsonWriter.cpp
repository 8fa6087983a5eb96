#include "Classes/SocialNetwork/JSON/RTJsonWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "Foundation/DecimalNumber.h"
#include "Foundation/Format.h"
#include "Foundation/String.h"

namespace {

// The class a value would have on the platform, for the "not supported" message.
std::string classNameOf(const ns::Value& value) {
  switch (value.type()) {
    case ns::Value::Type::nil:
      return "(null)";
    case ns::Value::Type::data:
      return "Data";
    case ns::Value::Type::date:
      return "Date";
    case ns::Value::Type::boolean:
    case ns::Value::Type::integer:
    case ns::Value::Type::real:
      return "Number";
    case ns::Value::Type::string:
      return "String";
    case ns::Value::Type::object:
      return value.asObject()->className();
    default:
      return "Value";
  }
}

const RTJsonProxy* proxyOf(const ns::Value& value) {
  auto object = value.asObject();
  return object ? dynamic_cast<const RTJsonProxy*>(object.get()) : nullptr;
}

bool needsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

// The platform's "compare:" on strings: by UTF-16 code units.
bool utf16Less(const std::string& a, const std::string& b) { return ns::toUTF16(a) < ns::toUTF16(b); }

}  // namespace

std::optional<std::string> RTJsonWriter::stringWithObject(const ns::Value& value) {
  if (value.isDictionary() || value.isArray()) return stringWithFragment(value);
  // An object standing for a dictionary or an array; a chain of proxies is followed as far as
  // the nesting ceiling (a proxy of itself must not loop).
  ns::Value candidate = value;
  for (unsigned hop = 0; hop < kDepthCeiling; ++hop) {
    const RTJsonProxy* proxy = proxyOf(candidate);
    if (!proxy) break;
    candidate = proxy->proxyForJson();
    if (candidate.isDictionary() || candidate.isArray()) {
      if (auto json = stringWithFragment(candidate)) return json;
      break;
    }
  }
  clearErrorTrace();
  addErrorWithCode(RTJsonErrorFragment, "Not valid type for JSON");
  return std::nullopt;
}

std::optional<std::string> RTJsonWriter::stringWithFragment(const ns::Value& value) {
  clearErrorTrace();
  depth_ = 0;
  std::string json;
  json.reserve(128);
  if (!appendValue(value, json)) return std::nullopt;
  return json;
}

bool RTJsonWriter::appendValue(const ns::Value& value, std::string& json) {
  if (auto dictionary = value.asDictionary()) return appendDictionary(*dictionary, json);
  if (auto array = value.asArray()) return appendArray(*array, json);
  if (auto text = value.asString()) return appendString(*text, json);
  if (value.isBool()) {
    json += value.boolValue() ? "true" : "false";
    return true;
  }
  if (value.isInteger()) {
    json += value.isUnsigned() ? std::to_string(value.unsignedLongLongValue())
                               : std::to_string(value.longLongValue());
    return true;
  }
  if (value.isDouble()) {
    double d = value.doubleValue();
    // NaN and the infinities have no JSON form.
    if (!std::isfinite(d)) {
      addErrorWithCode(RTJsonErrorUnsupported,
                       ns::format("JSON serialisation not supported for %@", "Number"));
      return false;
    }
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, d).ptr;
    json.append(buffer, end);
    return true;
  }
  if (value.isNull()) {
    json += "null";
    return true;
  }
  if (auto number = value.asObject<ns::DecimalNumber>()) {
    json += number->stringValue();
    return true;
  }
  if (const RTJsonProxy* proxy = proxyOf(value)) {
    // Each proxy counts as a level, so a proxy that stands for itself ends at the depth limit.
    if (!enterLevel()) return false;
    if (!appendValue(proxy->proxyForJson(), json)) return false;
    leaveLevel();
    return true;
  }
  addErrorWithCode(RTJsonErrorUnsupported,
                   ns::format("JSON serialisation not supported for %@", classNameOf(value)));
  return false;
}

void RTJsonWriter::appendIndent(std::string& json) const {
  json += '\n';
  json.append(2 * static_cast<std::size_t>(depth_), ' ');
}

bool RTJsonWriter::appendArray(const ns::Array& array, std::string& json) {
  if (!enterLevel()) return false;
  const bool human = humanReadable();
  json += '[';
  bool first = true;
  for (const ns::Value& element : array) {
    if (!first) json += ',';
    first = false;
    if (human) appendIndent(json);
    if (!appendValue(element, json)) return false;
  }
  leaveLevel();
  if (human && !array.empty()) appendIndent(json);
  json += ']';
  return true;
}

bool RTJsonWriter::appendDictionary(const ns::Dictionary& dictionary, std::string& json) {
  if (!enterLevel()) return false;
  const bool human = humanReadable();
  std::vector<const ns::Dictionary::Entry*> entries;
  entries.reserve(dictionary.size());
  for (const auto& entry : dictionary) entries.push_back(&entry);
  if (sortKeys())
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto* a, const auto* b) { return utf16Less(a->first, b->first); });
  json += '{';
  bool first = true;
  for (const auto* entry : entries) {
    if (!first) json += ',';
    first = false;
    if (human) appendIndent(json);
    // Keys are strings by construction; one that is not text cannot be a JSON key either.
    if (!ns::isValidUTF8(entry->first)) {
      addErrorWithCode(RTJsonErrorUnsupported, "JSON object key must be string");
      return false;
    }
    appendString(entry->first, json);
    json += human ? " : " : ":";
    if (!appendValue(entry->second, json)) {
      addErrorWithCode(RTJsonErrorUnsupported,
                       ns::format("Unsupported value for key %@ in object", entry->first));
      return false;
    }
  }
  leaveLevel();
  if (human && !dictionary.empty()) appendIndent(json);
  json += '}';
  return true;
}

bool RTJsonWriter::appendString(std::string_view text, std::string& json) {
  if (!ns::isValidUTF8(text)) {
    addErrorWithCode(RTJsonErrorUnsupported, "JSON serialisation not supported for text that is not UTF-8");
    return false;
  }
  json += '"';
  if (std::none_of(text.begin(), text.end(),
                   [](char c) { return needsEscape(static_cast<unsigned char>(c)); })) {
    json += text;
  } else {
    // The escape set is ASCII, so walking the UTF-8 bytes escapes exactly the UTF-16 units it holds.
    for (char ch : text) {
      auto c = static_cast<unsigned char>(ch);
      switch (c) {
        case '"':
          json += "\\\"";
          break;
        case '\\':
          json += "\\\\";
          break;
        case '\t':
          json += "\\t";
          break;
        case '\n':
          json += "\\n";
          break;
        case '\r':
          json += "\\r";
          break;
        case '\b':
          json += "\\b";
          break;
        case '\f':
          json += "\\f";
          break;
        default:
          if (c < 0x20)
            json += ns::format("\\u%04x", static_cast<unsigned>(c));
          else
            json += ch;
      }
    }
  }
  json += '"';
  return true;
}
