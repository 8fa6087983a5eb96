#include "Foundation/PercentEscapes.h"

namespace ns {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isLegalURLCharacter(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return c != 0 && std::string_view("-_.!~*'();/?:@&=+$,#").find(static_cast<char>(c)) != std::string_view::npos;
}

bool contains(std::string_view set, unsigned char c) {
  return c < 0x80 && set.find(static_cast<char>(c)) != std::string_view::npos;
}

void appendEscaped(std::string& out, unsigned char c) {
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> addPercentEscapes(std::string_view text, std::string_view leaveUnescaped,
                                             std::string_view legalToEscape, StringEncoding encoding) {
  auto bytes = bytesFromString(text, encoding);
  if (!bytes) return std::nullopt;
  std::string out;
  out.reserve(bytes->size());
  for (unsigned char c : *bytes) {
    bool keep = contains(leaveUnescaped, c) || (c < 0x80 && isLegalURLCharacter(c) && !contains(legalToEscape, c));
    if (keep)
      out += static_cast<char>(c);
    else
      appendEscaped(out, c);
  }
  return out;
}

std::string addPercentEncoding(std::string_view text, std::string_view allowed) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (contains(allowed, c) && c != 0)
      out += static_cast<char>(c);
    else
      appendEscaped(out, c);
  }
  return out;
}

std::optional<std::string> removePercentEncoding(std::string_view text, StringEncoding encoding) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return stringFromBytes(bytes, encoding);
}

}  // namespace ns
