#pragma once

#include <memory>

#include "Classes/MainPage/MainViewBase.h"
#include "Classes/iphone/MainPage/MainSlider_iphone.h"
#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"
#include "UIKit/Toolbar.h"

// What the phone's home page controller offers its main view.
class MainPageIphoneDelegate {
 public:
  virtual ~MainPageIphoneDelegate() = default;
  virtual void reloadMainPage() = 0;
};

// The phone's home page content: the toolbar (reload button, logo, menu button) built with the
// first load, the slider as wide as the view, and a spinner that waits for every row.
class MainView_iphone final : public MainViewBase,
                              public TLMainSliderDelegateIphone,
                              public TLRubricScrollViewDelegateIphone {
 public:
  std::shared_ptr<MainView_iphone> initWithFrame(const cg::Rect& frame);

  std::shared_ptr<MainSlider_iphone> sliderView() const {
    return std::static_pointer_cast<MainSlider_iphone>(slider());
  }
  const std::shared_ptr<ui::Toolbar>& toolBar() const { return toolBar_; }
  std::shared_ptr<MainPageIphoneDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<MainPageIphoneDelegate> delegate) { delegate_ = std::move(delegate); }

  // Also takes the slider, the switch and the rows away until the next load builds them.
  void reloadContent() override;
  void addToolBar() override;
  void createRubricSwitchButtons() override;
  // Only the count decides.
  void stopReloadAnimation() override;

  void TLMainSliderLoaded(bool loaded) override { sliderDidLoad(loaded); }
  void rubricViewDidLoadWithScrollView(bool loaded,
                                       const std::shared_ptr<TLRubricScrollView_iphone>&) override {
    rowDidLoad(loaded);
  }

 protected:
  RowMetrics rowMetrics() const override;
  std::shared_ptr<MainSliderBase> makeSlider() override;
  std::shared_ptr<TLRubricScrollViewBase> makeRow(const ns::URL& url, const cg::Rect& frame,
                                                  const std::string& sort) override;
  void didCreateSwitch() override { addToolBar(); }
  void didLoadView() override;
  void rowReportCounted() override { stopReloadAnimation(); }

 private:
  std::weak_ptr<MainPageIphoneDelegate> delegate_;
  std::shared_ptr<ui::Toolbar> toolBar_;
};
