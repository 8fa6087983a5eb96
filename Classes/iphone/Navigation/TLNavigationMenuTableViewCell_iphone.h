#pragma once

#include "Classes/Navigation/TLNavigationMenuTableViewCell.h"

// The phone's menu row: patterned backgrounds for both states and a clear title background.
class TLNavigationMenuTableViewCell_iphone final : public TLNavigationMenuTableViewCell {
 protected:
  void setUpBackgrounds() override;
};
