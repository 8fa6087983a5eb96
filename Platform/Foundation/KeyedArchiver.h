#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Coding.h"
#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/URL.h"
#include "Foundation/Value.h"

namespace ns {

// Keyed archiving of an object graph (values, and objects that implement Coding) into a binary
// property list laid out as the platform's keyed archives: "$archiver", "$version", "$top" and
// "$objects" with UID references. An object reached twice is stored once and decodes to one object,
// so shared references and cycles survive a round trip.
class KeyedArchiver final {
 public:
  // Nothing (and an error) when the graph holds an object that cannot be archived.
  static std::optional<Data> archivedDataWithRootObject(const Value& root, ErrorPtr* error = nullptr);

  void encodeObject(const Value& value, const std::string& key);
  void encodeBool(bool value, const std::string& key);
  void encodeInt64(std::int64_t value, const std::string& key);
  void encodeInt(int value, const std::string& key) { encodeInt64(value, key); }
  void encodeDouble(double value, const std::string& key);
  void encodeURL(const std::optional<URL>& url, const std::string& key);

 private:
  KeyedArchiver();
  Value reference(std::int64_t uid);
  std::int64_t encodeValue(const Value& value);
  std::int64_t encodeURLValue(const URL& url);
  std::int64_t classReference(const std::vector<std::string>& chain);

  std::vector<Value> objects_;
  std::map<const void*, std::int64_t> encodedObjects_;
  std::map<std::string, std::int64_t> classes_;
  Dictionary* current_ = nullptr;  // the keyed fields of the object being encoded
  std::string problem_;
};

class KeyedUnarchiver final {
 public:
  // nil (and an error) when the data is not a keyed archive or an object in it cannot be decoded.
  static Value unarchiveObjectWithData(const Data& data, ErrorPtr* error = nullptr);

  bool containsValueForKey(const std::string& key) const;
  Value decodeObjectForKey(const std::string& key);
  bool decodeBoolForKey(const std::string& key) const;
  std::int64_t decodeInt64ForKey(const std::string& key) const;
  int decodeIntForKey(const std::string& key) const;
  double decodeDoubleForKey(const std::string& key) const;
  std::optional<URL> decodeURLForKey(const std::string& key);

 private:
  KeyedUnarchiver() = default;
  Value decodeReference(const Value& reference);
  Value decodeUID(std::int64_t uid);
  std::optional<URL> decodeURLUID(std::int64_t uid);
  bool fail(std::string problem);

  Array objects_;
  std::map<std::int64_t, Value> decoded_;
  std::set<std::int64_t> inProgress_;
  const Dictionary* current_ = nullptr;
  int depth_ = 0;
  std::string problem_;
};

}  // namespace ns
