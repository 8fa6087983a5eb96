#include "Classes/iphone/TitlePage/TLRolesItem_iphone.h"

#include "Foundation/String.h"

std::shared_ptr<TLRolesItem_iphone> TLRolesItem_iphone::initWithFrame(const cg::Rect& frame) {
  setUpWithFrame(frame);
  return self<TLRolesItem_iphone>();
}

std::string TLRolesItem_iphone::nameText(const std::string& name) const {
  auto parts = ns::componentsSeparatedByString(name, " ");
  if (parts.size() < 2) return name;
  return parts[0] + "\n" + parts[1];
}
