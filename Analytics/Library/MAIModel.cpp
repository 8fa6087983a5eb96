#include "Analytics/Library/MAIModel.h"

#include <set>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAILog.h"

std::shared_ptr<MAIModel> MAIModel::initWithMetaModel(MAIMetaModelPtr metaModel) {
  metaModel_ = std::move(metaModel);
  return std::static_pointer_cast<MAIModel>(shared_from_this());
}

std::pair<std::string, MAIMetaInfoPtr> MAIModel::resolve(const std::string& key) const {
  if (!metaModel_) return {key, nullptr};
  if (key.starts_with(kPassthruPrefix)) {
    std::string modelKey = metaModel_->keyForUrlParameter(std::string_view(key).substr(1));
    if (modelKey.empty()) return {key, nullptr};
    return {modelKey, metaModel_->metaInfoForKey(modelKey)};
  }
  return {key, metaModel_->metaInfoForKey(key)};
}

bool MAIModel::setValue(const ns::Value& value, const std::string& key) {
  return internalSet(value, key, false, false);
}

bool MAIModel::setValue(const ns::Value& value, const std::string& key, bool isTemporary) {
  return internalSet(value, key, isTemporary, false);
}

bool MAIModel::rawSetValue(const ns::Value& value, const std::string& key, bool) {
  return internalSet(value, key, false, true);
}

bool MAIModel::internalSet(const ns::Value& value, const std::string& key, bool isTemporary, bool isRaw) {
  std::optional<std::string> text;
  if (value.isString())
    text = *value.asString();
  else if (value.isNumber())
    text = value.describe();
  else if (!value.isNil()) {
    MAI_LOG_ERROR("Cannot set non-string value %@", value);
    return false;
  }
  auto [modelKey, info] = resolve(key);
  bool temporary = isTemporary || (info && info->isTemporary());
  if (!isRaw && info && info->setter()) return info->setter()->setValue(text, modelKey, *this, temporary);
  if (temporary) {
    if (text)
      temporaryValues_[modelKey] = std::move(text);
    else if (values_.contains(modelKey))
      temporaryValues_[modelKey] = std::nullopt;
    else
      temporaryValues_.erase(modelKey);
  } else {
    temporaryValues_.erase(modelKey);
    if (text)
      values_[modelKey] = std::move(*text);
    else
      values_.erase(modelKey);
  }
  return true;
}

bool MAIModel::setFromDictionary(const ns::Dictionary& values, bool isTemporary) {
  bool all = true;
  for (const auto& [key, value] : values) all = setValue(value, key, isTemporary) && all;
  return all;
}

std::optional<std::string> MAIModel::get(const std::string& key) const {
  auto [modelKey, info] = resolve(key);
  std::optional<std::string> value;
  if (auto it = temporaryValues_.find(modelKey); it != temporaryValues_.end())
    value = it->second;
  else if (auto permanent = values_.find(modelKey); permanent != values_.end())
    value = permanent->second;
  if (info && info->getter()) return info->getter()->getForKey(modelKey, *this, value);
  return value;
}

MAIParameters MAIModel::paramsWithValues() const {
  std::set<std::string> keys;
  for (const auto& [key, value] : values_) keys.insert(key);
  for (const auto& [key, value] : temporaryValues_) keys.insert(key);
  MAIParameters params;
  for (const auto& key : keys) {
    auto value = get(key);
    if (!value) continue;
    if (key.starts_with(kPassthruPrefix)) {
      params[key.substr(1)] = *value;
      continue;
    }
    auto info = metaModel_ ? metaModel_->metaInfoForKey(key) : nullptr;
    if (!info || (info->assumedValue() && *info->assumedValue() == *value)) continue;
    params[info->urlParameter()] = *value;
  }
  return params;
}
