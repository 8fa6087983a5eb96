#include "AppAnalytics/Library/MALAdHitIdGenerator.h"

#include "AppAnalytics/Library/MALTracker.h"
#include "Foundation/ClassRegistry.h"
#include "Foundation/Format.h"
#include "Foundation/Locale.h"

MALAdHitIdGenerator::MALAdHitIdGenerator()
    : adSdkInstalled_(ns::ClassRegistry::shared().contains("MADRequest") ||
                      ns::ClassRegistry::shared().contains("MADAdView")) {}

std::int32_t MALAdHitIdGenerator::adHitId() {
  return adSdkInstalled_ ? MALAdNetInfo::sharedGANAdNetInfo()->generateHitId() : 0;
}

std::shared_ptr<MALAdNetInfo> MALAdNetInfo::sharedGANAdNetInfo() {
  static const std::shared_ptr<MALAdNetInfo> info = std::make_shared<MALAdNetInfo>();
  return info;
}

std::int32_t MALAdNetInfo::generateHitId() {
  auto id = static_cast<std::int32_t>(ns::Random::shared().next());
  adHitId_.store(id);
  return id;
}

std::optional<std::string> MALAdNetInfo::joinId() const {
  std::int32_t id = adHitId_.load();
  if (id == 0) return std::nullopt;
  auto tracker = MALTracker::sharedTracker();
  auto visitor = tracker->visitorIDForAds();
  auto session = tracker->sessionIDForAds();
  if (!visitor || !session) return std::nullopt;
  return ns::format("A,%@,%@,%d", *visitor, *session, id);
}
