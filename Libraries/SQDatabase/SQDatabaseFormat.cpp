// The format variants of executeQuery and executeUpdate: conversions become "?" parameters.
#include <cstdint>

#include "SQDatabase/SQDatabase.h"

namespace {

// The argument as the C type the conversion names would read it.
ns::Value convert(std::string_view conversion, const ns::Value& argument) {
  const std::int64_t n = argument.isUnsigned() ? static_cast<std::int64_t>(argument.unsignedLongLongValue())
                                               : argument.longLongValue();
  if (conversion == "@") return argument;
  if (conversion == "c") {
    if (argument.isString()) return argument;
    return ns::Value(std::string(1, static_cast<char>(n)));
  }
  if (conversion == "s") {
    if (argument.isNil() || argument.isNull() || argument.isString()) return argument;
    return ns::Value(argument.describe());
  }
  if (conversion == "d" || conversion == "D" || conversion == "i") return ns::Value(static_cast<int>(n));
  if (conversion == "u" || conversion == "U") return ns::Value(static_cast<unsigned>(n));
  if (conversion == "hi") return ns::Value(static_cast<short>(n));
  if (conversion == "hu") return ns::Value(static_cast<unsigned short>(n));
  if (conversion == "qi" || conversion == "lld") return ns::Value(static_cast<long long>(n));
  if (conversion == "qu" || conversion == "llu") return ns::Value(static_cast<unsigned long long>(n));
  if (conversion == "ld") return ns::Value(static_cast<long>(n));
  if (conversion == "lu") return ns::Value(static_cast<unsigned long>(n));
  if (conversion == "f") return ns::Value(argument.doubleValue());
  return ns::Value(static_cast<float>(argument.doubleValue()));  // "g"
}

// The conversion at format[i] (just after a '%'), or an empty view when the text there is none.
std::string_view conversionAt(std::string_view format, std::size_t i) {
  auto rest = format.substr(i);
  auto startsWith = [&](std::string_view prefix) { return rest.substr(0, prefix.size()) == prefix; };
  for (std::string_view c : {"lld", "llu", "ld", "lu", "hi", "hu", "qi", "qu"})
    if (startsWith(c)) return c;
  if (!rest.empty() && std::string_view("@csdDiuUfg").find(rest[0]) != std::string_view::npos)
    return rest.substr(0, 1);
  return {};
}

}  // namespace

std::pair<std::string, ns::Array> SQDatabase::extractSQL(std::string_view format,
                                                         std::span<const ns::Value> arguments) {
  std::string sql;
  sql.reserve(format.size());
  ns::Array converted;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      sql += format[i];
      continue;
    }
    if (i + 1 >= format.size()) break;  // a lone trailing '%' is dropped
    if (format[i + 1] == '%') {
      sql += '%';
      ++i;
      continue;
    }
    std::string_view conversion = conversionAt(format, i + 1);
    if (conversion.empty()) continue;  // the percent sign goes, the character after it is copied
    // Missing arguments leave fewer values than parameters, which the bind count then refuses.
    if (next < arguments.size()) converted.push_back(convert(conversion, arguments[next++]));
    sql += '?';
    i += conversion.size();
  }
  return {std::move(sql), std::move(converted)};
}
