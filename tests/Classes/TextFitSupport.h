#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Graphics/Text.h"
#include "UIKit/Label.h"
#include "UIKit/View.h"

namespace testsupport {

// Whether the label shows all of its text in the face installed: one line no wider than the
// label, or every wrapped line within its line count and its height.
inline bool showsWholeText(const ui::Label& label) {
  const std::string& text = label.text();
  if (text.empty()) return true;
  const cg::Font& font = label.font()->cgFont();
  cg::Rect b = label.bounds();
  if (label.numberOfLines() == 1) return cg::measureText(text, font).width <= b.width() + 1e-6;
  double needed = cg::measureText(text, font, {b.width(), 1e6}, ui::LineBreakMode::WordWrap).height;
  return needed <= label.textRectForBounds(b).height() + 1e-6;
}

// Where the label's text shows, in the coordinates of `in`: the lines it draws, aligned within
// its text rectangle, from the top of the first line's body (its point size, centred in the line)
// to the bottom of the last one's.
inline cg::Rect shownTextRect(const ui::Label& label, const ui::View* in) {
  cg::Rect r = label.textRectForBounds(label.bounds());
  const cg::Font& font = label.font()->cgFont();
  double width = label.numberOfLines() == 1
                     ? cg::measureText(label.text(), font, r.width()).width
                     : cg::measureText(label.text(), font, r.size, label.lineBreakMode()).width;
  width = std::min(width, r.width());
  double x = r.x();
  if (label.textAlignment() == ui::TextAlignment::Center) x += std::floor((r.width() - width) / 2);
  if (label.textAlignment() == ui::TextAlignment::Right) x += r.width() - width;
  double leading = std::max(0.0, (font.lineHeight() - font.pointSize()) / 2);
  return label.convertRectToView({x, r.y() + leading, width, std::max(0.0, r.height() - 2 * leading)}, in);
}

// The labels under the root that show text, front to back in tree order.
inline std::vector<std::shared_ptr<ui::Label>> visibleLabels(const std::shared_ptr<ui::View>& root) {
  std::vector<std::shared_ptr<ui::Label>> labels;
  std::function<void(const std::shared_ptr<ui::View>&)> walk = [&](const std::shared_ptr<ui::View>& v) {
    if (v->isHidden() || v->alpha() <= 0) return;
    if (auto label = std::dynamic_pointer_cast<ui::Label>(v); label && !label->text().empty())
      labels.push_back(label);
    for (const auto& sub : v->subviews()) walk(sub);
  };
  walk(root);
  return labels;
}

// Pairs of texts under the root whose shown lines overlap by more than a point, as "a | b".
inline std::vector<std::string> overlappingTexts(const std::shared_ptr<ui::View>& root) {
  auto labels = visibleLabels(root);
  std::vector<std::string> found;
  for (std::size_t i = 0; i < labels.size(); ++i)
    for (std::size_t j = i + 1; j < labels.size(); ++j) {
      cg::Rect a = shownTextRect(*labels[i], root.get()), b = shownTextRect(*labels[j], root.get());
      cg::Rect both = a.intersection(b);
      if (!both.isNull() && both.width() > 1 && both.height() > 1)
        found.push_back(labels[i]->text() + " | " + labels[j]->text());
    }
  return found;
}

}  // namespace testsupport
