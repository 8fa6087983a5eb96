#include "Classes/SocialNetwork/JSON/RTJSON.h"

std::shared_ptr<RTJSON> RTJSON::init() {
  jsonWriter_ = std::make_shared<RTJsonWriter>()->init();
  jsonParser_ = std::make_shared<RTJsonParser>()->init();
  setMaxDepth(512);
  return std::static_pointer_cast<RTJSON>(shared_from_this());
}

unsigned RTJSON::maxDepth() const { return jsonParser_->maxDepth(); }

void RTJSON::setMaxDepth(unsigned maxDepth) {
  RTJsonBase::setMaxDepth(maxDepth);
  jsonParser_->setMaxDepth(maxDepth);
  jsonWriter_->setMaxDepth(maxDepth);
}

void RTJSON::takeTraceOf(const RTJsonBase& component, ns::ErrorPtr* error) {
  setErrorTrace(component.errorTrace());
  if (error) *error = errorTrace() && !errorTrace()->empty() ? errorTrace()->back() : nullptr;
}

ns::Value RTJSON::objectWithString(std::optional<std::string_view> repr) {
  ns::Value o = jsonParser_->objectWithString(repr);
  if (o.isNil()) takeTraceOf(*jsonParser_, nullptr);
  return o;
}

std::optional<std::string> RTJSON::stringWithObject(const ns::Value& value) {
  auto json = jsonWriter_->stringWithObject(value);
  if (!json) takeTraceOf(*jsonWriter_, nullptr);
  return json;
}

ns::Value RTJSON::objectWithString(std::optional<std::string_view> repr, bool allowScalar,
                                   ns::ErrorPtr* error) {
  ns::Value o = allowScalar ? jsonParser_->fragmentWithString(repr) : jsonParser_->objectWithString(repr);
  if (o.isNil()) takeTraceOf(*jsonParser_, error);
  return o;
}

std::optional<std::string> RTJSON::stringWithObject(const ns::Value& value, bool allowScalar,
                                                    ns::ErrorPtr* error) {
  auto json = allowScalar ? jsonWriter_->stringWithFragment(value) : jsonWriter_->stringWithObject(value);
  if (!json) takeTraceOf(*jsonWriter_, error);
  return json;
}

ns::Value RTJSON::objectWithString(std::optional<std::string_view> repr, ns::ErrorPtr* error) {
  return objectWithString(repr, false, error);
}

ns::Value RTJSON::fragmentWithString(std::optional<std::string_view> repr, ns::ErrorPtr* error) {
  return objectWithString(repr, true, error);
}

std::optional<std::string> RTJSON::stringWithObject(const ns::Value& value, ns::ErrorPtr* error) {
  return stringWithObject(value, false, error);
}

std::optional<std::string> RTJSON::stringWithFragment(const ns::Value& value, ns::ErrorPtr* error) {
  return stringWithObject(value, true, error);
}
