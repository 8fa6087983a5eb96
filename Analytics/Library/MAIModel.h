#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Analytics/Library/MAIMetaModel.h"
#include "Foundation/Value.h"

// URL parameter to value: the parameters of one hit.
using MAIParameters = std::map<std::string, std::string>;

// A tracker's values between hits: permanent values, and the values of the next hit only
// (temporary). Keys are model keys of the meta model, or "&" followed by a URL parameter. A
// temporary removal of a permanent value hides it for the next hit. Used under its tracker's lock.
class MAIModel final : public ns::Object {
 public:
  std::shared_ptr<MAIModel> initWithMetaModel(MAIMetaModelPtr metaModel);

  // Values are strings or numbers (sent in decimal); nil removes. Other values are refused.
  bool setValue(const ns::Value& value, const std::string& key);
  bool setValue(const ns::Value& value, const std::string& key, bool isTemporary);
  // Bypasses the row's setter, so read-only rows can be written; temporary only if the row is.
  bool rawSetValue(const ns::Value& value, const std::string& key, bool isTemporary);
  // Every pair is set; true only if every one succeeded.
  bool setFromDictionary(const ns::Dictionary& values, bool isTemporary);
  std::optional<std::string> get(const std::string& key) const;
  void clearTemporaryValues() { temporaryValues_.clear(); }
  // URL parameter to value, leaving out values equal to their row's assumed value and keys without a row.
  MAIParameters paramsWithValues() const;

  const MAIMetaModelPtr& metaModel() const { return metaModel_; }
  const std::map<std::string, std::string>& values() const { return values_; }
  // nullopt is the marker that hides a permanent value.
  const std::map<std::string, std::optional<std::string>>& temporaryValues() const {
    return temporaryValues_;
  }

 private:
  bool internalSet(const ns::Value& value, const std::string& key, bool isTemporary, bool isRaw);
  // The model key and row a key stands for.
  std::pair<std::string, MAIMetaInfoPtr> resolve(const std::string& key) const;

  MAIMetaModelPtr metaModel_;
  std::map<std::string, std::string> values_;
  std::map<std::string, std::optional<std::string>> temporaryValues_;
};

using MAIModelPtr = std::shared_ptr<MAIModel>;
