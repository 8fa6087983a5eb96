#include "Analytics/Library/MAIHitBuilder.h"

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAIHitUtil.h"
#include "Analytics/Library/MAILog.h"
#include "Foundation/String.h"

std::vector<std::string> MAIHitBuilder::requiredParametersForHitType(const std::string& hitType) {
  std::vector<std::string> keys;
  if (hitType == kMAIHitFormatViewHitType) {
    keys = {kMAIHitFormatScreen};
  } else if (hitType == kMAIHitFormatSocialHitType) {
    keys = {kMAIHitFormatSocialNetwork, kMAIHitFormatSocialAction};
  } else if (hitType == kMAIHitFormatTransactionHitType) {
    keys = {kMAIHitFormatTransactionId};
  } else if (hitType == kMAIHitFormatItemHitType) {
    keys = {kMAIHitFormatTransactionId, kMAIHitFormatItemName};
  } else if (hitType != kMAIHitFormatEventHitType && hitType != kMAIHitFormatExceptionHitType &&
             hitType != kMAIHitFormatTimingHitType) {
    MAI_LOG_DEBUG("Unknown hit type: %@", hitType);
  }
  for (const char* key : {kMAIHitFormatVersion, kMAIHitFormatTrackingId, kMAIHitFormatClientId,
                          kMAIHitFormatAppName, kMAIHitFormatHitType})
    keys.emplace_back(key);
  return keys;
}

std::optional<std::vector<std::string>> MAIHitBuilder::check(const MAIParameters& parameters,
                                                             const std::vector<std::string>& required,
                                                             const MAIModel& model) {
  std::vector<std::string> missing;
  for (const auto& key : required) {
    auto info = model.metaModel() ? model.metaModel()->metaInfoForKey(key) : nullptr;
    if (!info || !parameters.contains(info->urlParameter())) missing.push_back(key);
  }
  if (missing.empty()) return std::nullopt;
  return missing;
}

std::optional<MAIParameters> MAIHitBuilder::hitWithType(const std::string& hitType, MAIModel& model) {
  model.setValue(ns::Value(hitType), kMAIHitFormatHitType);
  model.setValue(ns::Value(MAIHitUtil::systemScreenResolution()), kMAIHitFormatScreenResolution);
  model.setValue(ns::Value(MAIHitUtil::systemLanguage()), kMAIHitFormatLanguage);
  MAIParameters parameters = model.paramsWithValues();
  auto missing = check(parameters, requiredParametersForHitType(hitType), model);
  model.clearTemporaryValues();
  if (missing) {
    MAI_LOG_ERROR("Missing parameter(s): %@", ns::componentsJoinedByString(*missing, ", "));
    return std::nullopt;
  }
  return parameters;
}
