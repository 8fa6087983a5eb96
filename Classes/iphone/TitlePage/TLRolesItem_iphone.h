#pragma once

#include <memory>

#include "Classes/TitlePage/TLRolesItemBase.h"

// The phone's person tile: the tablet tile with the name's first two words only, set at once, and
// a cached photograph always applied at once. loadPriority 1 (default) applies a fetched photograph
// in a block on the main queue; any other value composes and stores it on the download's thread.
class TLRolesItem_iphone final : public TLRolesItemBase {
 public:
  std::shared_ptr<TLRolesItem_iphone> initWithFrame(const cg::Rect& frame);

 protected:
  std::string nameText(const std::string& name) const override;
  bool nameOnMainThread(std::int32_t) const override { return false; }
  CachedPhotoRule cachedPhotoRule(std::int32_t) const override { return {false, false}; }
  FetchedPhotoRule fetchedPhotoRule(std::int32_t priority) const override { return {priority == 1, false}; }
};
