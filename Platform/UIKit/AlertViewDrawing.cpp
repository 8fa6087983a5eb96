// How an alert looks: a rounded panel with the title, the message and a button for each answer.
#include <algorithm>
#include <cmath>

#include "UIKit/AlertView.h"
#include "UIKit/Button.h"
#include "UIKit/Font.h"
#include "UIKit/Label.h"

namespace ui {

namespace {

constexpr double kPanelWidth = 284;
constexpr double kMargin = 12;
constexpr double kButtonHeight = 40;
constexpr double kGap = 8;

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

void AlertView::buildPanel() {
  for (auto sub : std::vector<std::shared_ptr<View>>(subviews())) sub->removeFromSuperview();
  setBackgroundColor(Color::colorWithRed(0.06, 0.14, 0.33, 0.92));
  layer()->setCornerRadius(10);
  layer()->setBorderWidth(2);
  layer()->setBorderColor(cg::Color::white(1, 0.8));
  const double inner = kPanelWidth - 2 * kMargin;
  double y = kMargin + 4;
  for (auto label : {alertLabel(title_, Font::boldSystemFontOfSize(17), inner),
                     alertLabel(message_, Font::systemFontOfSize(15), inner)}) {
    if (label->frame().height() <= 0) continue;
    label->setFrame({kMargin, y, inner, label->frame().height()});
    addSubview(label);
    y += label->frame().height() + kGap;
  }
  y += kMargin - kGap;
  // Two buttons side by side, otherwise one under the other.
  const bool sideBySide = numberOfButtons() == 2;
  const double buttonWidth = sideBySide ? (inner - kGap) / 2 : inner;
  std::weak_ptr<AlertView> weak = self<AlertView>();
  for (int i = 0; i < numberOfButtons(); ++i) {
    const double x = kMargin + (sideBySide ? i * (buttonWidth + kGap) : 0);
    const double top = y + (sideBySide ? 0 : i * (kButtonHeight + kGap));
    auto button = Button::buttonWithType(ButtonType::custom);
    button->setFrame({x, top, buttonWidth, kButtonHeight});
    button->setTitle(buttonTitles_[i], ControlStateNormal);
    button->setTitleColor(Color::whiteColor(), ControlStateNormal);
    button->titleLabel()->setFont(Font::boldSystemFontOfSize(16));
    button->setBackgroundColor(Color::colorWithWhite(1, i == cancelButtonIndex_ ? 0.32 : 0.18));
    button->layer()->setCornerRadius(6);
    button->addTarget(
        nullptr,
        [weak, i](Control&) {
          if (auto alert = weak.lock()) alert->tapButtonAtIndex(i);
        },
        ControlEventTouchUpInside);
    addSubview(button);
  }
  const int rows = numberOfButtons() == 0 ? 0 : sideBySide ? 1 : numberOfButtons();
  const double height = y + rows * (kButtonHeight + kGap) + kMargin - kGap;
  setBounds({0, 0, kPanelWidth, height});
}

void AlertView::placeInBounds(const cg::Rect& bounds) {
  const cg::Size size = this->bounds().size;
  setFrame({std::floor(bounds.midX() - size.width / 2), std::floor(bounds.midY() - size.height / 2),
            size.width, size.height});
  if (dimming_) dimming_->setFrame(bounds);
}

}  // namespace ui
