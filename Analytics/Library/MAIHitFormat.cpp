#include "Analytics/Library/MAIHitFormat.h"

#include <cstdlib>
#include <mutex>

#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAILog.h"
#include "Analytics/Library/MAIMetaModel.h"
#include "Analytics/Library/MAIModel.h"

#ifndef VCC_DEFAULT_COLLECT_HOST
#define VCC_DEFAULT_COLLECT_HOST "127.0.0.1:8080"
#endif

namespace {

struct Row {
  const char* key;
  const char* urlParameter;
  bool readOnly;
  bool temporary;
  const char* assumed;
};

constexpr Row kRows[] = {
    {kMAIHitFormatVersion, "v", true, false, nullptr},
    {kMAIHitFormatTrackingId, "tid", true, false, nullptr},
    {kMAIHitFormatClientId, "cid", true, false, nullptr},
    {kMAIHitFormatClientVersion, "_v", true, false, nullptr},
    {kMAIHitFormatReserved, "u", true, false, nullptr},
    {kMAIHitFormatX10Data, "_x", true, true, nullptr},
    {kMAIHitFormatQueueTime, "qt", true, true, nullptr},
    {kMAIHitFormatCacheBuster, "z", true, true, nullptr},
    {kMAIHitFormatHitTime, "ht", true, true, nullptr},
    {kMAIHitFormatAnonymizeIp, "aip", false, false, "0"},
    {kMAIHitFormatSessionControl, "sc", false, true, nullptr},
    {kMAIHitFormatSampleRate, "sf", false, false, "100"},
    {kMAIHitFormatEncoding, "de", false, false, nullptr},
    {kMAIHitFormatLanguage, "ul", false, false, nullptr},
    {kMAIHitFormatScreenResolution, "sr", false, false, nullptr},
    {kMAIHitFormatScreenColors, "sd", false, false, nullptr},
    {kMAIHitFormatHitType, "t", false, true, nullptr},
    {kMAIHitFormatScreen, "cd", false, false, nullptr},
    {kMAIHitFormatReferrer, "dr", false, true, nullptr},
    {kMAIHitFormatAdTextAdNetHitId, "a", false, true, nullptr},
    {kMAIHitFormatNonInteraction, "ni", false, true, nullptr},
    {kMAIHitFormatAppName, "an", false, false, nullptr},
    {kMAIHitFormatAppVersion, "av", false, false, nullptr},
    {kMAIHitFormatAppId, "aid", false, false, nullptr},
    {kMAIHitFormatAppInstallerId, "aiid", false, false, nullptr},
    {kMAIHitFormatEventCategory, "ec", false, true, nullptr},
    {kMAIHitFormatEventAction, "ea", false, true, nullptr},
    {kMAIHitFormatEventLabel, "el", false, true, nullptr},
    {kMAIHitFormatEventValue, "ev", false, true, nullptr},
    {kMAIHitFormatSocialAction, "sa", false, true, nullptr},
    {kMAIHitFormatSocialNetwork, "sn", false, true, nullptr},
    {kMAIHitFormatSocialTarget, "st", false, true, nullptr},
    {kMAIHitFormatCampaignSource, "cs", false, true, nullptr},
    {kMAIHitFormatCampaignMedium, "cm", false, true, nullptr},
    {kMAIHitFormatCampaignName, "cn", false, true, nullptr},
    {kMAIHitFormatCampaignKeyword, "ck", false, true, nullptr},
    {kMAIHitFormatCampaignContent, "cc", false, true, nullptr},
    {kMAIHitFormatCampaignId, "ci", false, true, nullptr},
    {kMAIHitFormatGclid, "gclid", false, true, nullptr},
    {kMAIHitFormatDclid, "dclid", false, true, nullptr},
    {kMAIHitFormatGmob_t, "gmob_t", false, true, nullptr},
    {kMAIHitFormatTransactionId, "ti", false, true, nullptr},
    {kMAIHitFormatTransactionAffiliation, "ta", false, true, nullptr},
    {kMAIHitFormatTransactionRevenue, "tr", false, true, "0"},
    {kMAIHitFormatTransactionShipping, "ts", false, true, "0"},
    {kMAIHitFormatTransactionTax, "tt", false, true, "0"},
    {kMAIHitFormatTransactionCurrencyCode, "cu", false, true, nullptr},
    {kMAIHitFormatItemName, "in", false, true, nullptr},
    {kMAIHitFormatItemCode, "ic", false, true, nullptr},
    {kMAIHitFormatItemPrice, "ip", false, true, "0"},
    {kMAIHitFormatItemQuantity, "iq", false, true, "0"},
    {kMAIHitFormatItemCategory, "iv", false, true, nullptr},
    {kMAIHitFormatExceptionDescription, "exd", false, true, nullptr},
    {kMAIHitFormatExceptionFatal, "exf", false, true, "1"},
    {kMAIHitFormatTimingVariable, "utv", false, true, nullptr},
    {kMAIHitFormatTimingCategory, "utc", false, true, nullptr},
    {kMAIHitFormatTimingLabel, "utl", false, true, nullptr},
    {kMAIHitFormatTimingValue, "utt", false, true, nullptr},
};
static_assert(std::size(kRows) == 58);

std::string collectUrl(const char* scheme) {
  if (const char* url = std::getenv("VCC_COLLECT_URL"); url && *url) return url;
  return std::string(scheme) + "://" + VCC_DEFAULT_COLLECT_HOST + "/collect";
}

}  // namespace

bool MAIReadOnlySetter::setValue(const std::optional<std::string>&, const std::string& key, MAIModel&, bool) {
  MAI_LOG_ERROR("Trying to set key %@, but this field is read-only.", key);
  return false;
}

std::shared_ptr<MAIMetaInfo> MAIMetaInfo::initWithUrlParam(std::string urlParameter, bool isTemporary,
                                                           std::optional<std::string> assumedValue,
                                                           std::shared_ptr<MAIGetter> getter,
                                                           std::shared_ptr<MAISetter> setter) {
  if (urlParameter.empty()) {
    MAI_LOG_ERROR("Missing or empty URL parameter!");
    return nullptr;
  }
  urlParameter_ = std::move(urlParameter);
  isTemporary_ = isTemporary;
  assumedValue_ = std::move(assumedValue);
  getter_ = std::move(getter);
  setter_ = std::move(setter);
  return std::static_pointer_cast<MAIMetaInfo>(shared_from_this());
}

std::shared_ptr<MAIMetaInfo> MAIMetaInfo::initWithUrlParam(std::string urlParameter, bool isTemporary,
                                                           std::optional<std::string> assumedValue,
                                                           std::shared_ptr<MAIGetter> getter) {
  return initWithUrlParam(std::move(urlParameter), isTemporary, std::move(assumedValue), std::move(getter),
                          std::make_shared<MAIReadOnlySetter>());
}

MAIMetaInfos createHitMetaInfos() {
  MAIMetaInfos infos;
  for (const Row& row : kRows) {
    std::optional<std::string> assumed;
    if (row.assumed) assumed = row.assumed;
    auto info = std::make_shared<MAIMetaInfo>();
    infos[row.key] = row.readOnly
                         ? info->initWithUrlParam(row.urlParameter, row.temporary, assumed, nullptr)
                         : info->initWithUrlParam(row.urlParameter, row.temporary, assumed, nullptr, nullptr);
  }
  return infos;
}

const MAIMetaInfos& MAIHitFormat::hitMetaInfos() {
  static const MAIMetaInfos infos = createHitMetaInfos();
  return infos;
}

const std::vector<std::string>& MAIHitFormat::allKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> out;
    for (const Row& row : kRows) out.push_back(row.key);
    return out;
  }();
  return keys;
}

MAIMetaInfoPtr MAIHitFormat::metaInfoForKey(std::string_view key) {
  const auto& infos = hitMetaInfos();
  auto it = infos.find(key);
  return it == infos.end() ? nullptr : it->second;
}

std::string MAIHitFormat::kMAIHitFormatHttpsUrl() { return collectUrl("https"); }
std::string MAIHitFormat::kMAIHitFormatHttpUrl() { return collectUrl("http"); }

std::vector<std::string> MAIMetaModel::allKeys() const {
  std::vector<std::string> keys;
  for (const auto& [key, info] : metaInfos_) keys.push_back(key);
  return keys;
}

std::vector<MAIMetaInfoPtr> MAIMetaModel::allMetaInfos() const {
  std::vector<MAIMetaInfoPtr> infos;
  for (const auto& [key, info] : metaInfos_) infos.push_back(info);
  return infos;
}

MAIMetaInfoPtr MAIMetaModel::metaInfoForKey(std::string_view key) const {
  auto it = metaInfos_.find(key);
  return it == metaInfos_.end() ? nullptr : it->second;
}

std::string MAIMetaModel::keyForUrlParameter(std::string_view urlParameter) const {
  auto it = keysByUrlParameter_.find(urlParameter);
  return it == keysByUrlParameter_.end() ? std::string() : it->second;
}

bool MAIMetaModel::addField(MAIMetaInfoPtr info, const std::string& key) {
  if (!info || metaInfos_.contains(key)) return false;
  keysByUrlParameter_.emplace(info->urlParameter(), key);
  metaInfos_.emplace(key, std::move(info));
  return true;
}

std::shared_ptr<MAIHitMetaModel> MAIHitMetaModel::sharedInstance() {
  static const auto* shared = new std::shared_ptr<MAIHitMetaModel>([] {
    auto model = std::make_shared<MAIHitMetaModel>();
    for (const auto& key : MAIHitFormat::allKeys()) model->addField(MAIHitFormat::metaInfoForKey(key), key);
    return model;
  }());
  return *shared;
}
