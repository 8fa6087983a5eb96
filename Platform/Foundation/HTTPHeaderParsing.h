#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ns::http {

std::string asciiLowercase(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// Without spaces and tabs at either end.
std::string_view trimSpaces(std::string_view text);

// A field value with parameters, as Content-Type and Content-Disposition carry them:
// "text/html; charset=\"utf-8\"" gives value "text/html" and {("charset", "utf-8")}. Parameter
// names are lower-cased; quoted values are unquoted (backslash escapes honoured).
struct ValueWithParameters {
  std::string value;
  std::vector<std::pair<std::string, std::string>> parameters;
  std::optional<std::string> parameter(std::string_view name) const;
};
ValueWithParameters parseValueWithParameters(std::string_view field);

// The file name a Content-Disposition field gives (filename* in RFC 5987 form preferred), if any.
std::optional<std::string> dispositionFilename(std::string_view field);

// One parameter of a WWW-Authenticate challenge ("Basic realm=\"videos\"", "Digest Realm=x,
// nonce=\"a\""), by its name in any case, unquoted; a name is looked for only where a parameter
// starts, never inside another's name or a quoted value.
std::optional<std::string> challengeParameter(std::string_view challenge, std::string_view name);

}  // namespace ns::http
