#include "Classes/MainPage/TLMainPageVCBase.h"

#include <exception>

#include "Analytics/Library/MAI.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"

TLMainPageVCBase::~TLMainPageVCBase() { ns::NotificationCenter::defaultCenter()->removeObserver(this); }

void TLMainPageVCBase::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  prepareView();
  auto center = ns::NotificationCenter::defaultCenter();
  auto me = shared_from_this();
  center->addObserver(
      me, [this](const ns::Notification&) { reloadPage(); }, "TLReloadMainPage");
  center->addObserver(
      me, [this](const ns::Notification&) { reloadRubriks(); }, "ReloadRubrikNotification");
  center->addObserver(
      me, [this](const ns::Notification&) { reloadRubriks(); }, "TLReloadContent");
  addMainView();
  sendScreenView();
}

void TLMainPageVCBase::addMainView() {
  cg::Size size = view()->bounds().size;
  mainView_ = makeMainView({0, 0, size.width, size.height});
  view()->addSubview(mainView_);
}

void TLMainPageVCBase::viewWillAppear(bool animated) {
  if (mainView_) mainView_->layoutSubviews();
  ui::ViewController::viewWillAppear(animated);
}

void TLMainPageVCBase::reloadPage() {
  try {
    if (mainView_) mainView_->removeFromSuperview();
    // The old view goes with its slider and rows, which it stops as it goes.
    addMainView();
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

void TLMainPageVCBase::reloadRubriks() {
  if (mainView_) mainView_->loadView();
}

void TLMainPageVCBase::showNavMenu() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}

void TLMainPageVCBase::sendScreenView() {
  if (auto tracker = MAI::sharedInstance()->defaultTracker()) tracker->sendView("Home Screen");
}
