#pragma once

#include <memory>

#include "Classes/MainPage/TLMainPageVCBase.h"
#include "Classes/iphone/MainPage/MainView_iphone.h"

// The phone's home page: below the status bar, and it never turns.
class TLMainPageVC_iphone final : public TLMainPageVCBase,
                                  public TLMainSliderDelegateIphone,
                                  public MainPageIphoneDelegate {
 public:
  std::shared_ptr<MainView_iphone> mainView() const {
    return std::static_pointer_cast<MainView_iphone>(mainViewBase());
  }

  void reloadMainPage() override { reloadPage(); }
  void playMoviewWithNumber(int) override {}

  // Both keep the main view over the page's view and refuse.
  bool shouldAutorotate() override;
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) override;

 protected:
  std::shared_ptr<MainViewBase> makeMainView(const cg::Rect& frame) override;
  void prepareView() override;

 private:
  void keepMainViewOverPage();
};
