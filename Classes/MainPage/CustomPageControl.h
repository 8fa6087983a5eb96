#pragma once

#include <memory>

#include "UIKit/Color.h"
#include "UIKit/Control.h"

// Told which dot a touch landed on. The operation is optional: the default does nothing.
class CustomPageControlDelegate {
 public:
  virtual ~CustomPageControlDelegate() = default;
  virtual void loadPageWithNumber(int /*page*/) {}
};

// A drawn row of page dots from the left edge, the current page's in the highlight colour.
class CustomPageControl : public ui::Control {
 public:
  std::shared_ptr<CustomPageControl> initWithFrame(const cg::Rect& frame);
  // The defaults (dot size and spacing by device) and redrawing on every bounds change.
  void setup();

  int numberOfPages() const { return numberOfPages_; }
  // A new count pulls the current page below it; the same count changes nothing.
  void setNumberOfPages(int count);
  int currentPage() const { return currentPage_; }
  void setCurrentPage(int page);
  // With wrap, the page modulo the count (-1 when there are no pages); without, clamped into
  // 0...count-1 (-1 when there are no pages).
  int clampedPageValue(int page) const;
  void updateCurrentPageDisplay();
  // The width of the dots of the current count (the argument is not used), the height the
  // larger of dot size and 36.
  cg::Size sizeForNumberOfPages(int pageCount) const;
  cg::Size sizeThatFits(cg::Size size) const override;

  const ui::Color& dotColour() const { return dotColour_; }
  void setDotColour(const ui::Color& c) {
    dotColour_ = c;
    setNeedsDisplay();
  }
  const ui::Color& selectedDotColour() const { return selectedDotColour_; }
  void setSelectedDotColour(const ui::Color& c) {
    selectedDotColour_ = c;
    setNeedsDisplay();
  }
  double dotSize() const { return dotSize_; }
  void setDotSize(double size) {
    dotSize_ = size;
    setNeedsDisplay();
  }
  double dotSpacing() const { return dotSpacing_; }
  void setDotSpacing(double spacing) {
    dotSpacing_ = spacing;
    setNeedsDisplay();
  }
  bool hidesForSinglePage() const { return hidesForSinglePage_; }
  void setHidesForSinglePage(bool hides) {
    hidesForSinglePage_ = hides;
    setNeedsDisplay();
  }
  bool defersCurrentPageDisplay() const { return defersCurrentPageDisplay_; }
  void setDefersCurrentPageDisplay(bool defers) { defersCurrentPageDisplay_ = defers; }
  bool wrap() const { return wrap_; }
  void setWrap(bool wrap) { wrap_ = wrap; }
  std::shared_ptr<CustomPageControlDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<CustomPageControlDelegate> delegate) { delegate_ = std::move(delegate); }

  // The dot rectangles, left to right, as drawRect fills them (none when hidden for one page).
  std::vector<cg::Rect> dotRects() const;
  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  // The dots, which run past the right edge when the control is narrower than they are.
  std::optional<cg::Rect> contentExtent() const override;
  // Reports the touched dot (x / 17) to the delegate; nothing else changes.
  void touchesBegan(const ui::TouchSet& touches, const ui::Event* event) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  int numberOfPages_ = 0;
  int currentPage_ = 0;
  ui::Color dotColour_;
  ui::Color selectedDotColour_;
  double dotSize_ = 0;
  double dotSpacing_ = 0;
  bool hidesForSinglePage_ = false;
  bool defersCurrentPageDisplay_ = false;
  bool wrap_ = false;
  std::weak_ptr<CustomPageControlDelegate> delegate_;
};
