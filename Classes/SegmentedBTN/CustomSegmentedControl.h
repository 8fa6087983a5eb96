#pragma once

#include <memory>
#include <vector>

#include "Foundation/Value.h"
#include "UIKit/Button.h"
#include "UIKit/Font.h"
#include "UIKit/Image.h"
#include "UIKit/View.h"

// Told when a tap on a segment has finished. The operation is optional: the default does nothing.
class CustomSegmentedControlDelegate {
 public:
  virtual ~CustomSegmentedControlDelegate() = default;
  virtual void touchUpInsideSegmentIndex(unsigned /*segmentIndex*/) {}
};

// A row of image-backed segment buttons separated by a divider image; the background's rounded
// caps show only at the two outer ends. One segment looks selected at a time.
class CustomSegmentedControl : public ui::View {
 public:
  // titles: strings or null objects; images: ui::Image objects or null objects; widths: numbers.
  // Each list has at least segmentCount entries, segmentCount is at least 1, and widths and the
  // cap width are not negative: anything else is a precondition failure.
  std::shared_ptr<CustomSegmentedControl> initWithSegmentCount(
      unsigned segmentCount, const ns::Array& titles, const ns::Array& images, unsigned segmentHeight,
      const ns::Array& segmentsWidth, std::shared_ptr<ui::Image> dividerImage, float capWidth,
      std::shared_ptr<ui::Image> buttonBackground, std::shared_ptr<ui::Image> buttonBackgroundHighlighted,
      int tag, std::weak_ptr<CustomSegmentedControlDelegate> delegate);

  // Sets every segment's title font, then selects segment 0.
  void setFont(const std::shared_ptr<ui::Font>& font);
  // The first selected segment; 0 when none is.
  int selectedButtonIndex() const;
  // Marks one segment selected (segment 0 for an index past the end); nothing else changes.
  void setSelectedAtIndex(unsigned index);
  // Marks one segment not selected; an index past the end does nothing.
  void deselectAtIndex(unsigned index);
  const std::vector<std::shared_ptr<ui::Button>>& buttons() const { return buttons_; }
  std::shared_ptr<CustomSegmentedControlDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<CustomSegmentedControlDelegate> delegate) {
    delegate_ = std::move(delegate);
  }

  // The given button alone selected, white; the others light grey.
  void dimAllButtonsExcept(const ui::Button* selected);
  void touchUpInsideAction(ui::Control& sender);
  void resetColorForButton(ui::Control& sender);

  // capKind: 0 first segment, 1 middle, 2 last.
  std::shared_ptr<ui::Button> buttonAtIndex(int capKind, const ns::Value& title, const ns::Value& image,
                                            cg::Size size, float capWidth,
                                            const std::shared_ptr<ui::Image>& background,
                                            const std::shared_ptr<ui::Image>& backgroundHighlighted);
  // The stretchable background drawn so that only the outer ends keep their caps.
  static std::shared_ptr<ui::Image> imageWithCap(const std::shared_ptr<ui::Image>& image, int capKind,
                                                 unsigned capWidth, unsigned buttonWidth);

 private:
  std::vector<std::shared_ptr<ui::Button>> buttons_;
  std::weak_ptr<CustomSegmentedControlDelegate> delegate_;
};
