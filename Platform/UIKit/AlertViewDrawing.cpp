// How an alert looks over the window, for the PNG renderer.
#include <algorithm>
#include <cmath>

#include "UIKit/AlertView.h"
#include "UIKit/Font.h"
#include "UIKit/Label.h"

namespace ui {

namespace {

constexpr double kPanelWidth = 284;
constexpr double kMargin = 12;
constexpr double kButtonHeight = 40;

std::shared_ptr<Label> alertLabel(const std::string& text, std::shared_ptr<Font> font, double width) {
  auto label = std::make_shared<Label>()->initWithFrame({0, 0, width, 0});
  label->setText(text);
  label->setFont(std::move(font));
  label->setTextColor(Color::whiteColor());
  label->setBackgroundColor(Color::clearColor());
  label->setTextAlignment(TextAlignment::Center);
  label->setNumberOfLines(0);
  cg::Size fit = label->sizeThatFits({width, 1000});
  label->setFrame({0, 0, width, text.empty() ? 0 : std::ceil(fit.height)});
  return label;
}

}  // namespace

std::shared_ptr<View> AlertView::appearanceInBounds(const cg::Rect& bounds) const {
  auto cover = std::make_shared<View>()->initWithFrame({0, 0, bounds.width(), bounds.height()});
  cover->setBackgroundColor(Color::colorWithWhite(0, 0.45));
  const double inner = kPanelWidth - 2 * kMargin;
  auto title = alertLabel(title_, Font::boldSystemFontOfSize(17), inner);
  auto message = alertLabel(message_, Font::systemFontOfSize(15), inner);
  // Two buttons side by side, otherwise one under the other.
  const bool sideBySide = numberOfButtons() == 2;
  const int rows = sideBySide ? 1 : numberOfButtons();
  double y = kMargin + 4;
  const double height = y + title->frame().height() + (title_.empty() ? 0 : 8) + message->frame().height() +
                        kMargin + rows * (kButtonHeight + 8) + kMargin - 8;
  auto panel = std::make_shared<View>()->initWithFrame({std::floor((bounds.width() - kPanelWidth) / 2),
                                                        std::floor((bounds.height() - height) / 2),
                                                        kPanelWidth, height});
  panel->setBackgroundColor(Color::colorWithRed(0.06, 0.14, 0.33, 0.92));
  panel->layer()->setCornerRadius(10);
  panel->layer()->setBorderWidth(2);
  panel->layer()->setBorderColor(cg::Color::white(1, 0.8));
  cover->addSubview(panel);
  for (const auto& label : {title, message}) {
    if (label->frame().height() <= 0) continue;
    label->setFrame({kMargin, y, inner, label->frame().height()});
    panel->addSubview(label);
    y += label->frame().height() + 8;
  }
  y += kMargin - 8;
  const double buttonWidth = sideBySide ? (inner - 8) / 2 : inner;
  for (int i = 0; i < numberOfButtons(); ++i) {
    double x = kMargin + (sideBySide ? i * (buttonWidth + 8) : 0);
    double top = y + (sideBySide ? 0 : i * (kButtonHeight + 8));
    auto button = std::make_shared<View>()->initWithFrame({x, top, buttonWidth, kButtonHeight});
    button->setBackgroundColor(Color::colorWithWhite(1, i == cancelButtonIndex_ ? 0.32 : 0.18));
    button->layer()->setCornerRadius(6);
    auto caption = alertLabel(buttonTitles_[i], Font::boldSystemFontOfSize(16), buttonWidth);
    caption->setFrame({0, 0, buttonWidth, kButtonHeight});
    button->addSubview(caption);
    panel->addSubview(button);
  }
  return cover;
}

}  // namespace ui
