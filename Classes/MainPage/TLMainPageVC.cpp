#include "Classes/MainPage/TLMainPageVC.h"

std::shared_ptr<MainViewBase> TLMainPageVC::makeMainView(const cg::Rect& frame) {
  auto view = std::make_shared<MainView>()->initWithFrame(frame);
  view->setDelegate(std::static_pointer_cast<MainPageDelegate>(self<TLMainPageVC>()));
  return view;
}

bool TLMainPageVC::shouldAutorotate() {
  if (auto view = mainView()) view->layoutSubviews();
  return true;
}

bool TLMainPageVC::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) {
  if (auto view = mainView()) view->layoutSubviews();
  return true;
}
