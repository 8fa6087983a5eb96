#pragma once

#include <memory>
#include <string>

#include "UIKit/Color.h"
#include "UIKit/Image.h"
#include "UIKit/TableViewCell.h"

// One row of the navigation menu: a grey title that turns near-white and an icon that switches to
// its selected variant while the row is marked; a one-point dark line at its bottom.
class TLNavigationMenuTableViewCell : public ui::TableViewCell {
 public:
  static ui::Color titleColor();          // 172/255 grey
  static ui::Color selectedTitleColor();  // 237/255 grey
  static ui::Color separatorLineColor();  // 42/255 grey

  std::shared_ptr<TLNavigationMenuTableViewCell> initWithStyle(ui::TableViewCellStyle style,
                                                               std::string reuseIdentifier);

  // Shown from the next setSelected.
  const std::shared_ptr<ui::Image>& icon() const { return icon_; }
  void setIcon(std::shared_ptr<ui::Image> icon) { icon_ = std::move(icon); }
  const std::shared_ptr<ui::Image>& selectedIcon() const { return selectedIcon_; }
  void setSelectedIcon(std::shared_ptr<ui::Image> icon) { selectedIcon_ = std::move(icon); }

  using ui::TableViewCell::setSelected;
  void setSelected(bool selected, bool animated) override;
  // A title too long for its row at the menu's size is drawn smaller until it fits.
  void layoutSubviews() override;

 protected:
  // The row's backgrounds: the tablet shows a pattern while selected and nothing otherwise.
  virtual void setUpBackgrounds();
  // A plain view tiled with the named image.
  static std::shared_ptr<ui::View> patternView(const std::string& imageName);

 private:
  std::shared_ptr<ui::Image> icon_;
  std::shared_ptr<ui::Image> selectedIcon_;
};
