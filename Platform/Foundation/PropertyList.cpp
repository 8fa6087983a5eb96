#include "Foundation/PropertyList.h"

#include <plist/plist.h>

#include <cmath>
#include <limits>
#include <memory>

#include "Foundation/DataFile.h"
#include "Foundation/PropertyListInternal.h"
#include "Foundation/String.h"

namespace ns {
namespace {

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, PlistDeleter>;

// Nesting deeper than this is refused when reading, so hostile input cannot exhaust the stack.
constexpr int kMaxDepth = 512;

void readError(ErrorPtr* error, const std::string& message) {
  if (error)
    *error = Error::make(kCocoaErrorDomain, kPropertyListReadCorruptError,
                         Dictionary{{kDebugDescriptionErrorKey, message},
                                    {kLocalizedDescriptionKey,
                                     "The data couldn\u2019t be read because it isn\u2019t in the correct format."}});
}

bool toValue(plist_t node, Value& out, int depth, std::string& problem, bool uids) {
  if (depth > kMaxDepth) {
    problem = "Property list nested too deeply.";
    return false;
  }
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      out = Value(b != 0);
      return true;
    }
    case PLIST_UINT: {
      std::uint64_t u = 0;
      plist_get_uint_val(node, &u);
      out = Value(static_cast<std::int64_t>(u));
      return true;
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      out = Value(d);
      return true;
    }
    case PLIST_STRING:
    case PLIST_KEY: {
      char* text = nullptr;
      if (plist_get_node_type(node) == PLIST_STRING)
        plist_get_string_val(node, &text);
      else
        plist_get_key_val(node, &text);
      std::string s = text ? text : "";
      std::free(text);
      if (!isValidUTF8(s)) {
        problem = "Property list string is not valid UTF-8.";
        return false;
      }
      out = Value(std::move(s));
      return true;
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      std::uint64_t length = 0;
      plist_get_data_val(node, &bytes, &length);
      out = Value(Data(bytes, bytes ? length : 0));
      std::free(bytes);
      return true;
    }
    case PLIST_DATE: {
      std::int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      out = Value(Date(Date::kReferenceDateOffset + sec + usec / 1e6));
      return true;
    }
    case PLIST_ARRAY: {
      Array items;
      std::uint32_t size = plist_array_get_size(node);
      items.reserve(size);
      for (std::uint32_t i = 0; i < size; ++i) {
        Value item;
        if (!toValue(plist_array_get_item(node, i), item, depth + 1, problem, uids)) return false;
        items.push_back(std::move(item));
      }
      out = Value(std::move(items));
      return true;
    }
    case PLIST_DICT: {
      std::vector<Dictionary::Entry> entries;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      bool ok = true;
      while (ok) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &key, &item);
        if (!item) {
          std::free(key);
          break;
        }
        std::string k = key ? key : "";
        std::free(key);
        Value value;
        ok = isValidUTF8(k) && toValue(item, value, depth + 1, problem, uids);
        if (ok) entries.emplace_back(std::move(k), std::move(value));
        else if (problem.empty()) problem = "Property list key is not valid UTF-8.";
      }
      std::free(it);
      if (!ok) return false;
      out = Value(Dictionary::fromEntries(std::move(entries)));
      return true;
    }
    case PLIST_UID:
      if (uids) {
        std::uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        out = Value(Dictionary{{kUIDKey, static_cast<std::int64_t>(uid & 0xFFFFFFFF)}});
        return true;
      }
      [[fallthrough]];
    default:
      // UIDs belong to keyed archives; a plain property list has none.
      problem = "Property list holds a value of an unsupported kind.";
      return false;
  }
}

// Builds the libplist tree, or says why the value cannot be a property list.
plist_t toNode(const Value& value, std::string& problem, int depth, bool uids) {
  if (depth > kMaxDepth) {
    problem = "Property list nested too deeply.";
    return nullptr;
  }
  switch (value.type()) {
    case Value::Type::boolean: return plist_new_bool(value.boolValue());
    case Value::Type::integer:
      if (value.isUnsigned()) {
        problem = "Integer " + value.describe() + " is too large for a property list.";
        return nullptr;
      }
      return plist_new_uint(static_cast<std::uint64_t>(value.longLongValue()));
    case Value::Type::real: return plist_new_real(value.doubleValue());
    case Value::Type::string:
      if (!isValidUTF8(*value.asString()) || value.asString()->find('\0') != std::string::npos) {
        problem = "String is not valid property-list text.";
        return nullptr;
      }
      return plist_new_string(value.asString()->c_str());
    case Value::Type::data: return plist_new_data(reinterpret_cast<const char*>(value.asData()->bytes()), value.asData()->length());
    case Value::Type::date: {
      double seconds = value.asDate()->timeIntervalSinceReferenceDate();
      if (!std::isfinite(seconds) || seconds < std::numeric_limits<std::int32_t>::min() ||
          seconds >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        problem = "Date is out of the property-list range.";
        return nullptr;
      }
      // libplist keeps the fraction's sign apart from negative seconds; whole seconds stay exact.
      if (seconds < 0) return plist_new_date(static_cast<std::int32_t>(std::floor(seconds)), 0);
      double whole = std::floor(seconds);
      return plist_new_date(static_cast<std::int32_t>(whole), static_cast<std::int32_t>((seconds - whole) * 1e6));
    }
    case Value::Type::array: {
      plist_t array = plist_new_array();
      for (const Value& item : *value.asArray()) {
        plist_t child = toNode(item, problem, depth + 1, uids);
        if (!child) {
          plist_free(array);
          return nullptr;
        }
        plist_array_append_item(array, child);
      }
      return array;
    }
    case Value::Type::dictionary: {
      if (uids && value.count() == 1 && value[kUIDKey].isInteger())
        return plist_new_uid(static_cast<std::uint64_t>(value[kUIDKey].longLongValue()));
      plist_t dict = plist_new_dict();
      for (const auto& [key, item] : *value.asDictionary()) {
        plist_t child = key.find('\0') == std::string::npos && isValidUTF8(key) ? toNode(item, problem, depth + 1, uids) : nullptr;
        if (!child) {
          if (problem.empty()) problem = "Dictionary key is not valid property-list text.";
          plist_free(dict);
          return nullptr;
        }
        plist_dict_set_item(dict, key.c_str(), child);
      }
      return dict;
    }
    case Value::Type::nil: problem = "Property lists cannot hold nil."; return nullptr;
    case Value::Type::null: problem = "Property lists cannot hold the null object."; return nullptr;
    case Value::Type::object:
      problem = "Property lists cannot hold objects of class " + value.asObject()->className() + ".";
      return nullptr;
  }
  problem = "Value cannot be a property list.";
  return nullptr;
}

// Whether XML 1.0 can carry the text: no control character but tab, line feed and carriage
// return (which the writer escapes), and neither of the two noncharacters U+FFFE and U+FFFF.
bool xmlCarries(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
      return false;
  }
  return true;
}

// Whether every string and key of a valid property list is text XML can carry.
bool xmlCarriesAll(const Value& value) {
  switch (value.type()) {
    case Value::Type::string:
      return xmlCarries(*value.asString());
    case Value::Type::array:
      for (const Value& item : *value.asArray())
        if (!xmlCarriesAll(item)) return false;
      return true;
    case Value::Type::dictionary:
      for (const auto& [key, item] : *value.asDictionary())
        if (!xmlCarries(key) || !xmlCarriesAll(item)) return false;
      return true;
    default:
      return true;
  }
}

}  // namespace

Value readPropertyList(const Data& data, PropertyListFormat* format, ErrorPtr* error, bool uids) {
  std::string_view bytes = data.view();
  if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
    readError(error, bytes.empty() ? "Empty property list." : "Property list too large.");
    return Value();
  }
  bool binary = bytes.starts_with("bplist00");
  plist_t root = nullptr;
  if (binary)
    plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  else if (bytes.find("<plist") != std::string_view::npos || bytes.find("<?xml") != std::string_view::npos)
    plist_from_xml(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  Node owner(root);
  if (!root) {
    readError(error, "Data is not a property list.");
    return Value();
  }
  Value out;
  std::string problem;
  if (!toValue(root, out, 0, problem, uids)) {
    readError(error, problem);
    return Value();
  }
  if (format) *format = binary ? PropertyListFormat::Binary : PropertyListFormat::XML;
  return out;
}

Value PropertyListSerialization::propertyListWithData(const Data& data, PropertyListFormat* format, ErrorPtr* error) {
  return readPropertyList(data, format, error, false);
}

std::optional<Data> writePropertyList(const Value& plist, PropertyListFormat format, ErrorPtr* error, bool uids) {
  std::string problem;
  if (format == PropertyListFormat::OpenStep) problem = "The OpenStep format is read-only.";
  Node root(problem.empty() ? toNode(plist, problem, 0, uids) : nullptr);
  if (root && format == PropertyListFormat::XML && !xmlCarriesAll(plist)) {
    root.reset();
    problem = "String holds a character an XML property list cannot carry.";
  }
  if (!root) {
    if (error)
      *error = Error::make(kCocoaErrorDomain, kPropertyListWriteInvalidError,
                           Dictionary{{kDebugDescriptionErrorKey, problem}, {kLocalizedDescriptionKey, problem}});
    return std::nullopt;
  }
  char* bytes = nullptr;
  std::uint32_t length = 0;
  if (format == PropertyListFormat::Binary) {
    plist_to_bin(static_cast<plist_t>(root.get()), &bytes, &length);
    Data data(bytes, length);
    plist_to_bin_free(bytes);
    return data;
  }
  plist_to_xml(static_cast<plist_t>(root.get()), &bytes, &length);
  // A reader reads a carriage return in XML text as a line feed; the writer's own layout has none.
  std::string xml;
  xml.reserve(length);
  for (std::uint32_t i = 0; i < length; ++i)
    if (bytes[i] == '\r')
      xml += "&#13;";
    else
      xml += bytes[i];
  plist_to_xml_free(bytes);
  return Data::fromString(xml);
}

std::optional<Data> PropertyListSerialization::dataWithPropertyList(const Value& plist, PropertyListFormat format,
                                                                    ErrorPtr* error) {
  return writePropertyList(plist, format, error, false);
}

bool PropertyListSerialization::propertyListIsValid(const Value& plist) {
  std::string problem;
  Node root(toNode(plist, problem, 0, false));
  return root != nullptr;
}

Value propertyListWithContentsOfFile(const std::string& path, PropertyListFormat* format) {
  auto data = dataWithContentsOfFile(path);
  if (!data) return Value();
  return PropertyListSerialization::propertyListWithData(*data, format);
}

std::optional<Array> arrayWithContentsOfFile(const std::string& path) {
  Value value = propertyListWithContentsOfFile(path);
  if (auto array = value.asArray()) return *array;
  return std::nullopt;
}

std::optional<Dictionary> dictionaryWithContentsOfFile(const std::string& path) {
  Value value = propertyListWithContentsOfFile(path);
  if (auto dictionary = value.asDictionary()) return *dictionary;
  return std::nullopt;
}

bool writePropertyListToFile(const Value& plist, const std::string& path, bool atomically, PropertyListFormat format,
                             ErrorPtr* error) {
  // The file keeps text XML cannot carry in the format that can; its readers read either.
  if (format == PropertyListFormat::XML && !xmlCarriesAll(plist)) format = PropertyListFormat::Binary;
  auto data = PropertyListSerialization::dataWithPropertyList(plist, format, error);
  return data && writeDataToFile(*data, path, atomically, error);
}

}  // namespace ns
