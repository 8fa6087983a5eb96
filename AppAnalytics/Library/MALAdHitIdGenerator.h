#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/Object.h"

// Ad hit ids join a hit to the ads shown with it; they are drawn only when the advertising SDK is
// part of the application (one of its classes exists at run time).
class MALAdHitIdGenerator final : public ns::Object {
 public:
  MALAdHitIdGenerator();
  explicit MALAdHitIdGenerator(bool adSdkInstalled) : adSdkInstalled_(adSdkInstalled) {}

  // 0 without the SDK; otherwise a new random id, kept by the shared ad network info.
  std::int32_t adHitId();

 private:
  bool adSdkInstalled_ = false;
};

using MALAdHitIdGeneratorPtr = std::shared_ptr<MALAdHitIdGenerator>;

// The advertising side's view of the tracker: the last ad hit id drawn. One per process.
class MALAdNetInfo final : public ns::Object {
 public:
  static std::shared_ptr<MALAdNetInfo> sharedGANAdNetInfo();

  std::int32_t adHitId() const { return adHitId_.load(); }
  void setAdHitId(std::int32_t id) { adHitId_.store(id); }
  std::int32_t generateHitId();
  // "A,<visitor id>,<session id>,<ad hit id>", or nothing without a hit id or a started session.
  std::optional<std::string> joinId() const;

 private:
  std::atomic<std::int32_t> adHitId_{0};
};
