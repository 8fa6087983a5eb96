#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Object.h"
#include "Foundation/StringEncoding.h"
#include "Foundation/Value.h"

// Characters of a field or value that stay as they are, and URL-legal ones that are escaped all
// the same, in query strings and form bodies.
inline constexpr const char* kNTCharactersToLeaveUnescaped = "[].";
inline constexpr const char* kNTCharactersToBeEscaped = ":/?&=;+!@#$()~";

// One flattened parameter: a field name with brackets (user[name], ids[]) and its value. Both are
// printed through their text form; a nil or null value makes a field without "=".
class NTQueryStringPair final : public ns::Object {
 public:
  std::shared_ptr<NTQueryStringPair> initWithField(ns::Value field, ns::Value value);

  const ns::Value& field() const { return field_; }
  void setField(ns::Value field) { field_ = std::move(field); }
  const ns::Value& value() const { return value_; }
  void setValue(ns::Value value) { value_ = std::move(value); }

  // "field=value" with both escaped, or the field alone; nothing when a text has no form in the
  // encoding.
  std::optional<std::string> URLEncodedStringValueWithEncoding(ns::StringEncoding encoding) const;

 private:
  ns::Value field_;
  ns::Value value_;
};

using NTQueryStringPairPtr = std::shared_ptr<NTQueryStringPair>;

// Escapes one field or value text: letters, digits and - _ . * ' , [ ] stay, every other byte of
// the text in the encoding becomes %XX (a space is %20). Nothing when the text has no form there.
std::optional<std::string> NTPercentEscapedQueryStringPairMemberFromStringWithEncoding(
    std::string_view string, ns::StringEncoding encoding);

// Flattens nested dictionaries (keys sorted ignoring case, as key[sub]) and arrays (as key[]);
// everything else is one pair. A nil key means the top level.
std::vector<NTQueryStringPairPtr> NTQueryStringPairsFromKeyAndValue(const ns::Value& key,
                                                                    const ns::Value& value);
std::vector<NTQueryStringPairPtr> NTQueryStringPairsFromDictionary(const ns::Dictionary& dictionary);

// The encoded pairs joined with "&", without "?". A pair whose text has no form in the encoding
// is left out rather than sent garbled.
std::string NTQueryStringFromParametersWithEncoding(const ns::Dictionary& parameters,
                                                    ns::StringEncoding encoding);
