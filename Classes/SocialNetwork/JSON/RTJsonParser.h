#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Classes/SocialNetwork/JSON/RTJsonBase.h"
#include "Foundation/Value.h"

// A recursive-descent JSON parser over the UTF-8 bytes of a text. It gives dictionaries, arrays,
// strings, exact decimal numbers (ns::DecimalNumber), booleans and null; on failure nil and a trace
// whose entries run from the innermost failure to the outermost. The text ends at its length or
// at its first NUL byte; nullopt or text that is not UTF-8 is nil input (code 12).
class RTJsonParser final : public RTJsonBase {
 public:
  std::shared_ptr<RTJsonParser> init() { return std::static_pointer_cast<RTJsonParser>(shared_from_this()); }

  // A dictionary or an array, else nil.
  ns::Value objectWithString(std::optional<std::string_view> repr);
  // Any JSON value, else nil.
  ns::Value fragmentWithString(std::optional<std::string_view> repr);

 private:
  bool scanValue(ns::Value& o);
  bool scanRestOfArray(ns::Value& o);
  bool scanRestOfDictionary(ns::Value& o);
  bool scanRestOfString(std::string& o);
  // One character, or a surrogate pair as its two UTF-16 units.
  bool scanUnicodeChar(std::u16string& units);
  bool scanHexQuad(char32_t& quad);
  bool scanNumber(ns::Value& o);
  void skipWhitespace();

  // Read position in input_, which always ends in a NUL: every step looks at the byte before
  // moving past it, so no read goes beyond that terminator.
  const char* c_ = nullptr;
  std::string input_;
};
