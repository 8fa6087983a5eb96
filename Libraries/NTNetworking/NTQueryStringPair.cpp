#include "NTNetworking/NTQueryStringPair.h"

#include <algorithm>

#include "Foundation/Format.h"
#include "Foundation/PercentEscapes.h"
#include "Foundation/String.h"

std::shared_ptr<NTQueryStringPair> NTQueryStringPair::initWithField(ns::Value field, ns::Value value) {
  field_ = std::move(field);
  value_ = std::move(value);
  return std::static_pointer_cast<NTQueryStringPair>(shared_from_this());
}

std::optional<std::string> NTQueryStringPair::URLEncodedStringValueWithEncoding(
    ns::StringEncoding encoding) const {
  auto field = NTPercentEscapedQueryStringPairMemberFromStringWithEncoding(field_.describe(), encoding);
  if (!field) return std::nullopt;
  if (value_.isNil() || value_.isNull()) return field;
  auto value = NTPercentEscapedQueryStringPairMemberFromStringWithEncoding(value_.describe(), encoding);
  if (!value) return std::nullopt;
  return ns::format("%@=%@", *field, *value);
}

std::optional<std::string> NTPercentEscapedQueryStringPairMemberFromStringWithEncoding(
    std::string_view string, ns::StringEncoding encoding) {
  return ns::addPercentEscapes(string, kNTCharactersToLeaveUnescaped, kNTCharactersToBeEscaped, encoding);
}

std::vector<NTQueryStringPairPtr> NTQueryStringPairsFromKeyAndValue(const ns::Value& key,
                                                                    const ns::Value& value) {
  std::vector<NTQueryStringPairPtr> pairs;
  auto append = [&pairs](std::vector<NTQueryStringPairPtr> more) {
    pairs.insert(pairs.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  };
  if (const auto* dictionary = value.asDictionary()) {
    std::vector<std::string> keys = dictionary->keys();
    std::vector<std::pair<std::string, std::string>> folded;
    folded.reserve(keys.size());
    for (auto& k : keys) folded.emplace_back(ns::lowercaseString(k), std::move(k));
    // Ignoring case; keys differing only in case keep their byte order.
    std::sort(folded.begin(), folded.end());
    for (const auto& [lower, k] : folded) {
      const ns::Value& nested = (*dictionary)[k];
      append(NTQueryStringPairsFromKeyAndValue(key ? ns::Value(ns::format("%@[%@]", key, k)) : ns::Value(k),
                                               nested));
    }
  } else if (const auto* array = value.asArray()) {
    ns::Value arrayKey(ns::format("%@[]", key));
    for (const auto& element : *array) append(NTQueryStringPairsFromKeyAndValue(arrayKey, element));
  } else {
    pairs.push_back(std::make_shared<NTQueryStringPair>()->initWithField(key, value));
  }
  return pairs;
}

std::vector<NTQueryStringPairPtr> NTQueryStringPairsFromDictionary(const ns::Dictionary& dictionary) {
  return NTQueryStringPairsFromKeyAndValue(ns::Value(), ns::Value(dictionary));
}

std::string NTQueryStringFromParametersWithEncoding(const ns::Dictionary& parameters,
                                                    ns::StringEncoding encoding) {
  std::vector<std::string> encoded;
  for (const auto& pair : NTQueryStringPairsFromDictionary(parameters))
    if (auto text = pair->URLEncodedStringValueWithEncoding(encoding)) encoded.push_back(std::move(*text));
  return ns::componentsJoinedByString(encoded, "&");
}
