#include "Classes/TitlePage/TLFilmDetailView.h"

#include "Foundation/NotificationCenter.h"
#include "UIKit/Button.h"
#include "UIKit/Image.h"

std::shared_ptr<TLFilmDetailView> TLFilmDetailView::initWithFrame(const cg::Rect& frame, const std::string&) {
  ui::View::initWithFrame(frame);
  createToolbarWithFrame({0, 0, bounds().width(), 44});
  setBackgroundColor(ui::Color::whiteColor());
  return std::static_pointer_cast<TLFilmDetailView>(shared_from_this());
}

void TLFilmDetailView::createToolbarWithFrame(const cg::Rect& frame) {
  toolbar_ = std::make_shared<ui::Toolbar>()->initWithFrame(frame);
  toolbar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbar_->setBarStyle(ui::BarStyle::blackTranslucent);
  toolbar_->setBackgroundColor(ui::Color::clearColor());
  toolbar_->setBackgroundImage(ui::Image::imageNamed("toolbarBg.png"), ui::ToolbarPosition::any,
                               ui::BarMetrics::defaultMetrics);
  auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
  menu->setFrame({0, 0, 60, 44});
  menu->setBackgroundColor(ui::Color::clearColor());
  menu->setBackgroundImage(ui::Image::imageNamed("menuBt.png"), ui::ControlStateNormal);
  menu->addTarget(std::static_pointer_cast<TLFilmDetailView>(shared_from_this()),
                  &TLFilmDetailView::TLMainViewMenuClick, ui::ControlEventTouchDown);
  toolbar_->addSubview(menu);
  addSubview(toolbar_);
}

void TLFilmDetailView::TLMainViewMenuClick() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}
