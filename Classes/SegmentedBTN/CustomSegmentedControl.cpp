#include "Classes/SegmentedBTN/CustomSegmentedControl.h"

#include "Foundation/Exception.h"
#include "Graphics/Context.h"
#include "UIKit/ImageView.h"
#include "UIKit/Screen.h"

std::shared_ptr<CustomSegmentedControl> CustomSegmentedControl::initWithSegmentCount(
    unsigned segmentCount, const ns::Array& titles, const ns::Array& images, unsigned segmentHeight,
    const ns::Array& segmentsWidth, std::shared_ptr<ui::Image> dividerImage, float capWidth,
    std::shared_ptr<ui::Image> buttonBackground, std::shared_ptr<ui::Image> buttonBackgroundHighlighted,
    int tag, std::weak_ptr<CustomSegmentedControlDelegate> delegate) {
  NS_PARAMETER_ASSERT(segmentCount >= 1);
  NS_PARAMETER_ASSERT(titles.size() >= segmentCount);
  NS_PARAMETER_ASSERT(images.size() >= segmentCount);
  NS_PARAMETER_ASSERT(segmentsWidth.size() >= segmentCount);
  NS_PARAMETER_ASSERT(capWidth >= 0);
  for (unsigned i = 0; i < segmentCount; ++i) NS_PARAMETER_ASSERT(segmentsWidth[i].doubleValue() >= 0);

  initWithFrame({});
  setTag(tag);
  delegate_ = std::move(delegate);
  buttons_.clear();
  double dividerWidth = dividerImage ? dividerImage->size().width : 0;
  float xOffset = 0;
  int widthSum = 0;
  auto weak = std::weak_ptr<CustomSegmentedControl>(self<CustomSegmentedControl>());
  for (unsigned i = 0; i < segmentCount; ++i) {
    float width = float(segmentsWidth[i].doubleValue());
    int kind = i == 0 ? 0 : (i == segmentCount - 1 ? 2 : 1);
    auto button = buttonAtIndex(kind, titles[i], images[i], {width, double(segmentHeight)}, capWidth,
                                buttonBackground, buttonBackgroundHighlighted);
    button->addTarget(
        self<CustomSegmentedControl>(),
        [weak](ui::Control& sender) {
          if (auto me = weak.lock()) me->touchUpInsideAction(sender);
        },
        ui::ControlEventTouchUpInside);
    button->addTarget(
        self<CustomSegmentedControl>(),
        [weak](ui::Control& sender) {
          if (auto me = weak.lock()) me->resetColorForButton(sender);
        },
        ui::ControlEventTouchDragOutside);
    buttons_.push_back(button);
    cg::Rect f = button->frame();
    button->setFrame({xOffset, 0, f.width(), f.height()});
    addSubview(button);
    int w = int(width);
    if (i != segmentCount - 1) {
      auto divider = std::make_shared<ui::ImageView>()->initWithImage(dividerImage);
      divider->setFrame({xOffset + w, 0, dividerWidth, double(segmentHeight)});
      addSubview(divider);
    }
    xOffset += float(w + dividerWidth);
    widthSum += w;
  }
  setFrame({0, 0, dividerWidth * (segmentCount - 1) + widthSum, double(segmentHeight)});
  return self<CustomSegmentedControl>();
}

std::shared_ptr<ui::Button> CustomSegmentedControl::buttonAtIndex(
    int capKind, const ns::Value& title, const ns::Value& image, cg::Size size, float capWidth,
    const std::shared_ptr<ui::Image>& background, const std::shared_ptr<ui::Image>& backgroundHighlighted) {
  auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
  button->setFrame({0, 0, size.width, size.height});
  unsigned cap = unsigned(capWidth);
  unsigned width = unsigned(size.width);
  auto normal = background ? imageWithCap(background->stretchableImageWithLeftCapWidth(int(cap), 0), capKind,
                                          cap, width)
                           : nullptr;
  auto pressed = backgroundHighlighted
                     ? imageWithCap(backgroundHighlighted->stretchableImageWithLeftCapWidth(int(cap), 0),
                                    capKind, cap, width)
                     : nullptr;
  button->setBackgroundImage(normal, ui::ControlStateNormal);
  button->setBackgroundImage(pressed, ui::ControlStateHighlighted);
  button->setBackgroundImage(pressed, ui::ControlStateSelected);
  if (const std::string* t = title.asString(); t && !t->empty()) button->setTitle(*t, ui::ControlStateNormal);
  if (auto picture = image.asObject<ui::Image>()) button->setImage(picture, ui::ControlStateNormal);
  ui::Color lightGray = ui::Color::lightGrayColor();
  button->setTitleColor(lightGray, ui::ControlStateNormal);
  button->setTitleColor(ui::Color::whiteColor(), ui::ControlStateSelected);
  button->titleLabel()->setTextColor(lightGray);
  return button;
}

std::shared_ptr<ui::Image> CustomSegmentedControl::imageWithCap(const std::shared_ptr<ui::Image>& image,
                                                                int capKind, unsigned capWidth,
                                                                unsigned buttonWidth) {
  double h = image->size().height;
  if (!cg::beginImageContext({double(buttonWidth), h}, false, ui::Screen::mainScreen()->scale()))
    return nullptr;
  double cap = capWidth, w = buttonWidth;
  switch (capKind) {
    case 0:
      image->drawInRect({0, 0, w + cap, h});
      break;
    case 2:
      image->drawInRect({-cap, 0, w + cap, h});
      break;
    default:
      image->drawInRect({-cap, 0, w + 2 * cap, h});
  }
  cg::ImagePtr result = cg::imageFromCurrentImageContext();
  cg::endImageContext();
  return std::make_shared<ui::Image>(result, image->name());
}

void CustomSegmentedControl::setFont(const std::shared_ptr<ui::Font>& font) {
  for (auto& b : buttons_) b->titleLabel()->setFont(font);
  if (!buttons_.empty()) dimAllButtonsExcept(buttons_.front().get());
}

int CustomSegmentedControl::selectedButtonIndex() const {
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i]->isSelected()) return int(i);
  return 0;
}

void CustomSegmentedControl::setSelectedAtIndex(unsigned index) {
  if (buttons_.empty()) return;
  buttons_[index < buttons_.size() ? index : 0]->setSelected(true);
}

void CustomSegmentedControl::deselectAtIndex(unsigned index) {
  if (index < buttons_.size()) buttons_[index]->setSelected(false);
}

void CustomSegmentedControl::dimAllButtonsExcept(const ui::Button* selected) {
  for (auto& b : buttons_) {
    bool isIt = b.get() == selected;
    b->setSelected(isIt);
    b->setHighlighted(false);
    b->titleLabel()->setTextColor(isIt ? ui::Color::whiteColor() : ui::Color::lightGrayColor());
  }
}

void CustomSegmentedControl::touchUpInsideAction(ui::Control& sender) {
  auto keep = self<CustomSegmentedControl>();
  dimAllButtonsExcept(dynamic_cast<ui::Button*>(&sender));
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i].get() != &sender) continue;
    if (auto d = delegate_.lock()) d->touchUpInsideSegmentIndex(unsigned(i));
    return;
  }
}

void CustomSegmentedControl::resetColorForButton(ui::Control& sender) {
  if (auto button = dynamic_cast<ui::Button*>(&sender))
    button->titleLabel()->setTextColor(ui::Color::lightGrayColor());
}
