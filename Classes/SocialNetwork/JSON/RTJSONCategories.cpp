#include "Classes/SocialNetwork/JSON/Object+RTJSON.h"
#include "Classes/SocialNetwork/JSON/RTJsonParser.h"
#include "Classes/SocialNetwork/JSON/RTJsonWriter.h"
#include "Classes/SocialNetwork/JSON/String+RTJSON.h"
#include "Foundation/Format.h"

namespace {

ns::Value traceValue(const RTJsonBase& component) {
  ns::Array errors;
  if (const auto& trace = component.errorTrace())
    for (const auto& error : *trace) errors.emplace_back(error);
  return ns::Value(std::move(errors));
}

}  // namespace

ns::Value JSONValue(std::optional<std::string_view> text) {
  auto parser = std::make_shared<RTJsonParser>()->init();
  ns::Value o = parser->objectWithString(text);
  if (o.isNil()) ns::log("-JSONValue failed. Error trace is: %@", traceValue(*parser));
  return o;
}

ns::Value JSONFragmentValue(std::optional<std::string_view> text) {
  auto parser = std::make_shared<RTJsonParser>()->init();
  ns::Value o = parser->fragmentWithString(text);
  if (o.isNil()) ns::log("-JSONFragmentValue failed. Error trace is: %@", traceValue(*parser));
  return o;
}

std::optional<std::string> JSONRepresentation(const ns::Value& value) {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  auto json = writer->stringWithObject(value);
  if (!json) ns::log("-JSONRepresentation failed. Error trace is: %@", traceValue(*writer));
  return json;
}

std::optional<std::string> JSONFragment(const ns::Value& value) {
  auto writer = std::make_shared<RTJsonWriter>()->init();
  auto json = writer->stringWithFragment(value);
  if (!json) ns::log("-JSONFragment failed. Error trace is: %@", traceValue(*writer));
  return json;
}
