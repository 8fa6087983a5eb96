#include "Foundation/HTTPHeaderParsing.h"

#include <strings.h>

#include "Foundation/PercentEscapes.h"

namespace ns::http {

std::string asciiLowercase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view trimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<std::string> ValueWithParameters::parameter(std::string_view name) const {
  for (const auto& [key, text] : parameters)
    if (key == name) return text;
  return std::nullopt;
}

ValueWithParameters parseValueWithParameters(std::string_view field) {
  ValueWithParameters result;
  std::size_t i = field.find(';');
  result.value = std::string(trimSpaces(field.substr(0, i)));
  while (i != std::string_view::npos && i < field.size()) {
    ++i;  // past ';'
    std::size_t eq = field.find('=', i);
    std::size_t semi = field.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      i = semi;
      continue;
    }
    std::string name = asciiLowercase(trimSpaces(field.substr(i, eq - i)));
    std::size_t v = eq + 1;
    while (v < field.size() && (field[v] == ' ' || field[v] == '\t')) ++v;
    std::string value;
    if (v < field.size() && field[v] == '"') {
      ++v;
      while (v < field.size() && field[v] != '"') {
        if (field[v] == '\\' && v + 1 < field.size()) ++v;
        value += field[v++];
      }
      i = field.find(';', v);
    } else {
      semi = field.find(';', v);
      value = std::string(
          trimSpaces(field.substr(v, semi == std::string_view::npos ? std::string_view::npos : semi - v)));
      i = semi;
    }
    if (!name.empty()) result.parameters.emplace_back(std::move(name), std::move(value));
  }
  return result;
}

std::optional<std::string> dispositionFilename(std::string_view field) {
  auto parsed = parseValueWithParameters(field);
  if (auto extended = parsed.parameter("filename*")) {
    // charset'language'percent-encoded
    std::size_t first = extended->find('\'');
    std::size_t second = first == std::string::npos ? std::string::npos : extended->find('\'', first + 1);
    if (second != std::string::npos && equalsIgnoringCase(extended->substr(0, first), "utf-8")) {
      if (auto decoded = removePercentEncoding(extended->substr(second + 1)); decoded && !decoded->empty())
        return decoded;
    }
  }
  if (auto plain = parsed.parameter("filename"); plain && !plain->empty()) return plain;
  return std::nullopt;
}

std::optional<std::string> challengeParameter(std::string_view challenge, std::string_view name) {
  challenge = trimSpaces(challenge);
  // Past the scheme; parameters follow, separated by commas (or, as some servers write, ';').
  std::size_t i = challenge.find_first_of(" \t;");
  while (i != std::string_view::npos && i < challenge.size()) {
    while (i < challenge.size() &&
           (challenge[i] == ' ' || challenge[i] == '\t' || challenge[i] == ',' || challenge[i] == ';'))
      ++i;
    std::size_t end = challenge.find_first_of("=,; \t", i);
    std::string_view key =
        challenge.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
    i = end;
    while (i < challenge.size() && (challenge[i] == ' ' || challenge[i] == '\t')) ++i;
    if (i >= challenge.size() || challenge[i] != '=') continue;  // a bare token
    ++i;
    while (i < challenge.size() && (challenge[i] == ' ' || challenge[i] == '\t')) ++i;
    std::string value;
    if (i < challenge.size() && challenge[i] == '"') {
      for (++i; i < challenge.size() && challenge[i] != '"'; ++i) {
        if (challenge[i] == '\\' && i + 1 < challenge.size()) ++i;
        value += challenge[i];
      }
      if (i < challenge.size()) ++i;  // the closing quote
    } else {
      std::size_t stop = challenge.find_first_of(",; \t", i);
      value = std::string(
          challenge.substr(i, stop == std::string_view::npos ? std::string_view::npos : stop - i));
      i = stop;
    }
    if (!key.empty() && equalsIgnoringCase(key, name)) return value;
  }
  return std::nullopt;
}

}  // namespace ns::http
