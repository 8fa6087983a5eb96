#pragma once

#include <string>
#include <string_view>

// Column and table names fold case as SQLite folds identifiers: ASCII letters only.
inline char sqAsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string sqLowercased(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = sqAsciiLower(c);
  return out;
}
