#include "Classes/TitlePage/TLRolesItem.h"

#include "Foundation/String.h"

std::shared_ptr<TLRolesItem> TLRolesItem::initWithFrame(const cg::Rect& frame) {
  setUpWithFrame(frame);
  return self<TLRolesItem>();
}

std::string TLRolesItem::nameText(const std::string& name) const {
  auto parts = ns::componentsSeparatedByString(name, " ");
  if (parts.size() <= 1) return name;
  std::string rest;
  for (std::size_t i = 1; i < parts.size(); ++i) rest += parts[i] + " ";
  return parts[0] + "\n" + rest;
}

TLRolesItemBase::CachedPhotoRule TLRolesItem::cachedPhotoRule(std::int32_t priority) const {
  return {priority == -1, priority == -2};
}

TLRolesItemBase::FetchedPhotoRule TLRolesItem::fetchedPhotoRule(std::int32_t priority) const {
  return {priority == 1, priority == -2};
}
