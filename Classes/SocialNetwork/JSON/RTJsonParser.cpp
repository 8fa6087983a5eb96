#include "Classes/SocialNetwork/JSON/RTJsonParser.h"

#include <utility>
#include <vector>

#include "Foundation/DecimalNumber.h"
#include "Foundation/Format.h"
#include "Foundation/String.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes that end a plain run inside a string: the quote, the backslash, the control bytes
// (and the terminating NUL).
bool endsRun(unsigned char c) { return c == '"' || c == '\\' || c < 0x20; }

}  // namespace

ns::Value RTJsonParser::objectWithString(std::optional<std::string_view> repr) {
  ns::Value o = fragmentWithString(repr);
  if (o.isNil()) return o;
  if (!o.isDictionary() && !o.isArray()) {
    addErrorWithCode(RTJsonErrorFragment, "Valid fragment, but not JSON");
    return {};
  }
  return o;
}

ns::Value RTJsonParser::fragmentWithString(std::optional<std::string_view> repr) {
  clearErrorTrace();
  if (repr) repr = repr->substr(0, repr->find('\0'));
  if (!repr || !ns::isValidUTF8(*repr)) {
    addErrorWithCode(RTJsonErrorInput, "Input was 'nil'");
    return {};
  }
  depth_ = 0;
  input_.assign(*repr);
  c_ = input_.c_str();
  ns::Value o;
  bool scanned = scanValue(o);
  if (scanned) {
    skipWhitespace();
    if (*c_) {
      addErrorWithCode(RTJsonErrorGarbage, "Garbage after JSON");
      scanned = false;
    }
  }
  c_ = nullptr;
  input_.clear();
  if (!scanned) return {};
  return o;
}

void RTJsonParser::skipWhitespace() {
  while (*c_ == ' ' || *c_ == '\t' || *c_ == '\n' || *c_ == '\v' || *c_ == '\f' || *c_ == '\r') ++c_;
}

bool RTJsonParser::scanValue(ns::Value& o) {
  skipWhitespace();
  char ch = *c_;
  if (!ch) {
    addErrorWithCode(RTJsonErrorEndOfInput, "Unexpected end of string");
    return false;
  }
  ++c_;
  switch (ch) {
    case '"': {
      std::string s;
      if (!scanRestOfString(s)) return false;
      o = ns::Value(std::move(s));
      return true;
    }
    case '[':
      return scanRestOfArray(o);
    case '{':
      return scanRestOfDictionary(o);
    // Only the literal's own bytes are compared: what follows is left for the caller.
    case 't':
      if (c_[0] == 'r' && c_[1] == 'u' && c_[2] == 'e') {
        c_ += 3;
        o = ns::Value(true);
        return true;
      }
      addErrorWithCode(RTJsonErrorParse, "Expected 'true'");
      return false;
    case 'f':
      if (c_[0] == 'a' && c_[1] == 'l' && c_[2] == 's' && c_[3] == 'e') {
        c_ += 4;
        o = ns::Value(false);
        return true;
      }
      addErrorWithCode(RTJsonErrorParse, "Expected 'false'");
      return false;
    case 'n':
      if (c_[0] == 'u' && c_[1] == 'l' && c_[2] == 'l') {
        c_ += 3;
        o = ns::Value::null();
        return true;
      }
      addErrorWithCode(RTJsonErrorParse, "Expected 'null'");
      return false;
    case '+':
      addErrorWithCode(RTJsonErrorNumber, "Leading + disallowed in number");
      return false;
    default:
      if (ch == '-' || isDigit(ch)) {
        --c_;
        return scanNumber(o);
      }
      addErrorWithCode(RTJsonErrorParse, "Unrecognised leading character");
      return false;
  }
}

bool RTJsonParser::scanRestOfArray(ns::Value& o) {
  if (!enterLevel()) return false;
  ns::Array a;
  a.reserve(8);
  // A missing comma between two elements is not an error: the loop reads the next value directly.
  while (*c_) {
    skipWhitespace();
    if (*c_ == ']') {
      ++c_;
      leaveLevel();
      o = ns::Value(std::move(a));
      return true;
    }
    ns::Value v;
    if (!scanValue(v)) {
      addErrorWithCode(RTJsonErrorParse, "Expected value while parsing array");
      return false;
    }
    a.push_back(std::move(v));
    skipWhitespace();
    if (*c_ == ',') {
      ++c_;
      skipWhitespace();
      if (*c_ == ']') {
        addErrorWithCode(RTJsonErrorTrailingComma, "Trailing comma disallowed in array");
        return false;
      }
    }
  }
  addErrorWithCode(RTJsonErrorEndOfInput, "End of input while parsing array");
  return false;
}

bool RTJsonParser::scanRestOfDictionary(ns::Value& o) {
  if (!enterLevel()) return false;
  std::vector<ns::Dictionary::Entry> entries;
  entries.reserve(7);
  while (*c_) {
    skipWhitespace();
    if (*c_ == '}') {
      ++c_;
      leaveLevel();
      // A repeated key keeps the later value.
      o = ns::Value(ns::Dictionary::fromEntries(std::move(entries)));
      return true;
    }
    std::string key;
    if (*c_ != '"' || (++c_, !scanRestOfString(key))) {
      addErrorWithCode(RTJsonErrorParse, "Object key string expected");
      return false;
    }
    skipWhitespace();
    if (*c_ != ':') {
      addErrorWithCode(RTJsonErrorParse, "Expected ':' separating key and value");
      return false;
    }
    ++c_;
    ns::Value v;
    if (!scanValue(v)) {
      addErrorWithCode(RTJsonErrorParse, ns::format("Object value expected for key: %@", key));
      return false;
    }
    entries.emplace_back(std::move(key), std::move(v));
    skipWhitespace();
    if (*c_ == ',') {
      ++c_;
      skipWhitespace();
      if (*c_ == '}') {
        addErrorWithCode(RTJsonErrorTrailingComma, "Trailing comma disallowed in object");
        return false;
      }
    }
  }
  addErrorWithCode(RTJsonErrorEndOfInput, "End of input while parsing object");
  return false;
}

bool RTJsonParser::scanRestOfString(std::string& o) {
  o.reserve(16);
  do {
    // Plain bytes in one piece (the input is known to be UTF-8, and runs end only at ASCII bytes).
    const char* run = c_;
    while (!endsRun(static_cast<unsigned char>(*c_))) ++c_;
    o.append(run, static_cast<std::size_t>(c_ - run));

    if (*c_ == '"') {
      ++c_;
      return true;
    }
    if (*c_ != '\\') {
      addErrorWithCode(RTJsonErrorControlCharacter,
                       ns::format("Unescaped control character '0x%x'", static_cast<unsigned char>(*c_)));
      return false;
    }
    char escape = *++c_;
    switch (escape) {
      case '"':
      case '/':
      case '\\':
        o += escape;
        break;
      case 'b':
        o += '\b';
        break;
      case 'f':
        o += '\f';
        break;
      case 'n':
        o += '\n';
        break;
      case 'r':
        o += '\r';
        break;
      case 't':
        o += '\t';
        break;
      case 'u': {
        ++c_;
        std::u16string units;
        if (!scanUnicodeChar(units)) {
          addErrorWithCode(RTJsonErrorUnicode, "Broken unicode character");
          return false;
        }
        o += ns::fromUTF16(units);
        --c_;  // onto the escape's last byte, like the one-byte escapes
        break;
      }
      default:
        addErrorWithCode(RTJsonErrorEscape,
                         ns::format("Illegal escape sequence '0x%x'", static_cast<unsigned char>(escape)));
        return false;
    }
    ++c_;
  } while (*c_);
  addErrorWithCode(RTJsonErrorEndOfInput, "Unexpected EOF while parsing string");
  return false;
}

bool RTJsonParser::scanHexQuad(char32_t& quad) {
  quad = 0;
  for (int i = 0; i < 4; ++i) {
    int digit = hexValue(*c_);
    if (digit < 0) {
      addErrorWithCode(RTJsonErrorUnicode, "Missing hex digit in quad");
      return false;
    }
    quad = quad * 16 + static_cast<char32_t>(digit);
    ++c_;
  }
  return true;
}

bool RTJsonParser::scanUnicodeChar(std::u16string& units) {
  char32_t high = 0;
  if (!scanHexQuad(high)) {
    addErrorWithCode(RTJsonErrorUnicode, "Missing hex quad");
    return false;
  }
  units.assign(1, static_cast<char16_t>(high));
  if (high < 0xD800 || high >= 0xE000) return true;
  if (high >= 0xDC00) {
    addErrorWithCode(RTJsonErrorUnicode, "Invalid high character in surrogate pair");
    return false;
  }
  if (c_[0] != '\\' || c_[1] != 'u') {
    addErrorWithCode(RTJsonErrorUnicode, "Missing low character in surrogate pair");
    return false;
  }
  c_ += 2;
  char32_t low = 0;
  if (!scanHexQuad(low)) {
    addErrorWithCode(RTJsonErrorUnicode, "Missing low character in surrogate pair");
    return false;
  }
  if (low < 0xDC00 || low > 0xDFFF) {
    addErrorWithCode(RTJsonErrorUnicode, "Invalid low surrogate char");
    return false;
  }
  units += static_cast<char16_t>(low);
  return true;
}

bool RTJsonParser::scanNumber(ns::Value& o) {
  const char* start = c_;
  if (*c_ == '-') ++c_;
  if (*c_ == '0') {
    ++c_;
    if (isDigit(*c_)) {
      addErrorWithCode(RTJsonErrorNumber, "Leading 0 disallowed in number");
      return false;
    }
  } else if (!isDigit(*c_)) {
    addErrorWithCode(RTJsonErrorNumber, "No digits after initial minus");
    return false;
  } else {
    while (isDigit(*c_)) ++c_;
  }
  if (*c_ == '.') {
    ++c_;
    if (!isDigit(*c_)) {
      addErrorWithCode(RTJsonErrorNumber, "No digits after decimal point");
      return false;
    }
    while (isDigit(*c_)) ++c_;
  }
  if (*c_ == 'e' || *c_ == 'E') {
    ++c_;
    if (*c_ == '-' || *c_ == '+') ++c_;
    if (!isDigit(*c_)) {
      addErrorWithCode(RTJsonErrorNumber, "No digits after exponent");
      return false;
    }
    while (isDigit(*c_)) ++c_;
  }
  auto number = ns::DecimalNumber::decimalNumberWithString(
      std::string_view(start, static_cast<std::size_t>(c_ - start)));
  if (!number) {
    addErrorWithCode(RTJsonErrorNumber, "Failed creating decimal instance");
    return false;
  }
  o = ns::Value(std::move(number));
  return true;
}
