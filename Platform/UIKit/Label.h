#pragma once

#include <memory>
#include <optional>
#include <string>

#include "UIKit/Font.h"
#include "UIKit/View.h"

namespace ui {

// Read-only text: one line by default, centred vertically in its bounds, truncated at the tail.
class Label : public View {
 public:
  Label();
  std::shared_ptr<Label> initWithFrame(const cg::Rect& frame);

  const std::string& text() const { return text_; }
  void setText(std::string text);
  // Never null: a null font sets the default system font of 17 points.
  const std::shared_ptr<Font>& font() const { return font_; }
  void setFont(std::shared_ptr<Font> font);
  const Color& textColor() const { return textColor_; }
  void setTextColor(std::optional<Color> color);
  const std::optional<Color>& shadowColor() const { return shadowColor_; }
  void setShadowColor(std::optional<Color> color);
  cg::Size shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(cg::Size offset);
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment alignment);
  // 0 means as many lines as fit.
  int numberOfLines() const { return numberOfLines_; }
  void setNumberOfLines(int lines);
  LineBreakMode lineBreakMode() const { return lineBreakMode_; }
  void setLineBreakMode(LineBreakMode mode);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);

  // The rectangle the text takes inside bounds: its measured size, centred vertically.
  cg::Rect textRectForBounds(const cg::Rect& bounds) const;
  cg::Size sizeThatFits(cg::Size size) const override;
  bool drawsContent() const override { return !text_.empty(); }
  void drawRect(const cg::Rect& rect) override;
  // A line taller than the label, and the text's shadow, reach past its bounds.
  std::optional<cg::Rect> contentExtent() const override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  cg::Size textSize(cg::Size box) const;

  std::string text_;
  std::shared_ptr<Font> font_;
  Color textColor_ = Color::blackColor();
  std::optional<Color> shadowColor_;
  cg::Size shadowOffset_{0, -1};
  TextAlignment alignment_ = TextAlignment::Left;
  LineBreakMode lineBreakMode_ = LineBreakMode::TruncateTail;
  int numberOfLines_ = 1;
  bool enabled_ = true;
};

}  // namespace ui
