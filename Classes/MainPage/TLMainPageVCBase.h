#pragma once

#include <memory>

#include "Classes/MainPage/MainViewBase.h"
#include "UIKit/ViewController.h"

// The home page controller as both devices share it: a thin page whose whole content is its main
// view. It builds that view when its own view loads, replaces it when the page is to be rebuilt,
// has it rebuild its rows when the category list changes, and reports the screen to analytics.
class TLMainPageVCBase : public ui::ViewController {
 public:
  ~TLMainPageVCBase() override;

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;

  // A new main view in place of the current one, on its first tab.
  void reloadPage();
  // The main view rebuilds its slider, switch and rows in place, keeping the tab.
  void reloadRubriks();
  void showNavMenu();

 protected:
  TLMainPageVCBase() = default;
  const std::shared_ptr<MainViewBase>& mainViewBase() const { return mainView_; }
  // A main view over the frame with this page as its delegate.
  virtual std::shared_ptr<MainViewBase> makeMainView(const cg::Rect& frame) = 0;
  // Before the notifications are observed: the phone leaves room for the status bar.
  virtual void prepareView() {}

 private:
  void addMainView();
  // "Home Screen" to the default tracker.
  static void sendScreenView();

  std::shared_ptr<MainViewBase> mainView_;
};
