#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// Formatting and escaping of hit values.
class MAIStringUtil final {
 public:
  MAIStringUtil() = delete;

  // White space and line breaks removed at both ends.
  static std::string trim(std::string_view text);
  static std::string intString(std::int64_t value);
  static std::string uintString(std::uint64_t value);
  // "%.*f", then trailing zeros after the point dropped, and the point when nothing follows it.
  static std::string decimalString(double value, int decimals);
  // An amount in millionths, in units: 15000000 is "15", 1500000 "1.5", 250000 ".25", -2000000 "-2".
  static std::string currencyMicrosString(std::int64_t micros);
  // UTF-8 bytes as "%XX" except letters, digits, "-._~" and the space, which becomes "+".
  static std::string percentEncode(std::string_view text);
  // "+" as a space, then "%XX" escapes; nullopt for a broken escape or bytes that are not UTF-8.
  static std::optional<std::string> percentDecode(std::string_view text);
  // Names and values of a query, decoded; a later name replaces an earlier one. Pairs that do not
  // decode are left out.
  static std::map<std::string, std::string> decodeParametersFromQuery(std::string_view query);
  // nullopt for a string that is not a URL; empty without a query.
  static std::optional<std::map<std::string, std::string>> decodeParametersFromUrl(std::string_view url);
};
