#include "Classes/iphone/MainPage/TLMainPageVC_iphone.h"

#include "UIKit/Screen.h"

std::shared_ptr<MainViewBase> TLMainPageVC_iphone::makeMainView(const cg::Rect& frame) {
  auto view = std::make_shared<MainView_iphone>()->initWithFrame(frame);
  view->setDelegate(std::static_pointer_cast<MainPageIphoneDelegate>(self<TLMainPageVC_iphone>()));
  return view;
}

void TLMainPageVC_iphone::prepareView() {
  cg::Rect screen = ui::Screen::mainScreen()->bounds();
  view()->setFrame({screen.x(), screen.y(), screen.width(), screen.height() - 20});
}

void TLMainPageVC_iphone::keepMainViewOverPage() {
  if (auto view = mainView()) view->setFrame(this->view()->frame());
}

bool TLMainPageVC_iphone::shouldAutorotate() {
  keepMainViewOverPage();
  return false;
}

bool TLMainPageVC_iphone::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) {
  keepMainViewOverPage();
  return false;
}
