#pragma once

#include <optional>
#include <string>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/Value.h"

namespace ns {

enum class PropertyListFormat { OpenStep = 1, XML = 100, Binary = 200 };

// Property lists in the XML and binary formats. A property list holds booleans, integers (64-bit
// signed), doubles, strings (valid UTF-8), data, dates (1933 to 2069; before 2001 to the whole
// second), arrays and string-keyed dictionaries; anything else (nil, null, objects, unsigned
// integers above INT64_MAX) is refused with kPropertyListWriteInvalidError and nothing is written.
// Unreadable input gives nil and kPropertyListReadCorruptError. The XML format carries no control
// character but tab, line feed and carriage return, nor U+FFFE or U+FFFF: such text is refused in
// XML data (kPropertyListWriteInvalidError) and kept in a file by writing that file binary.
class PropertyListSerialization final {
 public:
  static Value propertyListWithData(const Data& data, PropertyListFormat* format = nullptr, ErrorPtr* error = nullptr);
  static std::optional<Data> dataWithPropertyList(const Value& plist, PropertyListFormat format, ErrorPtr* error = nullptr);
  static bool propertyListIsValid(const Value& plist);
};

// The platform's collection file readers: nil when the file is missing, unreadable, not a property
// list or not of the asked kind.
Value propertyListWithContentsOfFile(const std::string& path, PropertyListFormat* format = nullptr);
std::optional<Array> arrayWithContentsOfFile(const std::string& path);
std::optional<Dictionary> dictionaryWithContentsOfFile(const std::string& path);
// Writes an XML property list (binary when asked, or when the value holds text XML cannot carry);
// false, with the file untouched, when the value cannot be a property list or the write fails.
bool writePropertyListToFile(const Value& plist, const std::string& path, bool atomically = true,
                             PropertyListFormat format = PropertyListFormat::XML, ErrorPtr* error = nullptr);

}  // namespace ns
