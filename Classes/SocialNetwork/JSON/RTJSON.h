#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Classes/SocialNetwork/JSON/RTJsonBase.h"
#include "Classes/SocialNetwork/JSON/RTJsonParser.h"
#include "Classes/SocialNetwork/JSON/RTJsonWriter.h"
#include "Foundation/Value.h"

// One parser and one writer behind a single object. After a failure the facade's own trace is a
// copy of the failing component's, and the operations with an error out-parameter give its last
// (outermost) error there.
class RTJSON final : public RTJsonBase {
 public:
  // Makes the parser and the writer and sets both to the default depth limit, 512.
  std::shared_ptr<RTJSON> init();

  ns::Value objectWithString(std::optional<std::string_view> repr);
  std::optional<std::string> stringWithObject(const ns::Value& value);

  ns::Value objectWithString(std::optional<std::string_view> repr, ns::ErrorPtr* error);
  ns::Value fragmentWithString(std::optional<std::string_view> repr, ns::ErrorPtr* error);
  std::optional<std::string> stringWithObject(const ns::Value& value, ns::ErrorPtr* error);
  std::optional<std::string> stringWithFragment(const ns::Value& value, ns::ErrorPtr* error);
  ns::Value objectWithString(std::optional<std::string_view> repr, bool allowScalar, ns::ErrorPtr* error);
  std::optional<std::string> stringWithObject(const ns::Value& value, bool allowScalar, ns::ErrorPtr* error);

  // The parser's limit; setting it sets the parser's and the writer's.
  unsigned maxDepth() const;
  void setMaxDepth(unsigned maxDepth) override;
  bool humanReadable() const { return jsonWriter_->humanReadable(); }
  void setHumanReadable(bool humanReadable) { jsonWriter_->setHumanReadable(humanReadable); }
  bool sortKeys() const { return jsonWriter_->sortKeys(); }
  void setSortKeys(bool sortKeys) { jsonWriter_->setSortKeys(sortKeys); }

  const std::shared_ptr<RTJsonParser>& jsonParser() const { return jsonParser_; }
  const std::shared_ptr<RTJsonWriter>& jsonWriter() const { return jsonWriter_; }

 private:
  void takeTraceOf(const RTJsonBase& component, ns::ErrorPtr* error);

  std::shared_ptr<RTJsonParser> jsonParser_;
  std::shared_ptr<RTJsonWriter> jsonWriter_;
};
