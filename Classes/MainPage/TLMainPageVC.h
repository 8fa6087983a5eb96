#pragma once

#include <memory>

#include "Classes/MainPage/MainView.h"
#include "Classes/MainPage/TLMainPageVCBase.h"

// The tablet's home page: turns with the device, laying its main view out for the new orientation.
class TLMainPageVC final : public TLMainPageVCBase, public TLMainSliderDelegate, public MainPageDelegate {
 public:
  std::shared_ptr<MainView> mainView() const { return std::static_pointer_cast<MainView>(mainViewBase()); }

  void reloadMainPage() override { reloadPage(); }
  void playMoviewWithNumber(int) override {}

  // Both lay the main view out for the status bar's orientation, then agree.
  bool shouldAutorotate() override;
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) override;

 protected:
  std::shared_ptr<MainViewBase> makeMainView(const cg::Rect& frame) override;
};
