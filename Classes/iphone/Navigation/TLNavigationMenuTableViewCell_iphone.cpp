#include "Classes/iphone/Navigation/TLNavigationMenuTableViewCell_iphone.h"

void TLNavigationMenuTableViewCell_iphone::setUpBackgrounds() {
  setSelectedBackgroundView(patternView("checked_menu_item"));
  setBackgroundView(patternView("unchecked_menu_item"));
  textLabel()->setBackgroundColor(ui::Color::clearColor());
}
