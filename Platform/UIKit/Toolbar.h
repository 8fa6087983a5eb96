#pragma once

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "UIKit/BarButtonItem.h"
#include "UIKit/Image.h"
#include "UIKit/View.h"

namespace ui {

enum class BarStyle { defaultStyle = 0, black = 1, blackTranslucent = 2 };
enum class ToolbarPosition { any = 0, bottom = 1, top = 2 };
enum class BarMetrics { defaultMetrics = 0, landscapePhone = 1 };

// A bar of items laid out left to right: kEdgeMargin from each end, kItemGap between two
// neighbouring items that are not spaces; fixed spaces add their width (a negative one pulls the
// next item closer), flexible spaces share what is left equally. Custom views become subviews,
// centred vertically at their own size. Drawn with its background image when it has one, else
// in its bar style's colours.
class Toolbar : public View {
 public:
  static constexpr double kEdgeMargin = 10;
  static constexpr double kItemGap = 10;

  Toolbar();
  std::shared_ptr<Toolbar> initWithFrame(const cg::Rect& frame);

  BarStyle barStyle() const { return barStyle_; }
  void setBarStyle(BarStyle style);
  bool isTranslucent() const { return translucent_ || barStyle_ == BarStyle::blackTranslucent; }
  void setTranslucent(bool translucent) {
    translucent_ = translucent;
    setNeedsDisplay();
  }
  // Without a background image the bar's gradient runs from a lighter shade of the tint down to it.
  const std::optional<Color>& tintColor() const { return tintColor_; }
  void setTintColor(std::optional<Color> tint);

  void setBackgroundImage(std::shared_ptr<Image> image, ToolbarPosition position, BarMetrics metrics);
  // The image set for exactly that position and metrics.
  std::shared_ptr<Image> backgroundImageForToolbarPosition(ToolbarPosition position,
                                                           BarMetrics metrics) const;

  const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
  void setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);

  cg::Size sizeThatFits(cg::Size size) const override { return {size.width, 44}; }
  void layoutSubviews() override;
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  // What the bar draws: the image for any position at the default metrics, else any it has.
  std::shared_ptr<Image> drawnBackground() const;

  BarStyle barStyle_ = BarStyle::defaultStyle;
  bool translucent_ = false;
  std::optional<Color> tintColor_;
  std::map<std::pair<ToolbarPosition, BarMetrics>, std::shared_ptr<Image>> backgrounds_;
  std::vector<std::shared_ptr<BarButtonItem>> items_;
};

}  // namespace ui
