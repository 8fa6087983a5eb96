#pragma once

#include <memory>

#include "Classes/MainPage/MainSlider.h"
#include "Classes/MainPage/MainViewBase.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "UIKit/Application.h"

// What the home page controller offers its main view.
class MainPageDelegate {
 public:
  virtual ~MainPageDelegate() = default;
  virtual void reloadMainPage() = 0;
};

// The tablet's home page content: the background, the toolbar with the menu button, the logo and
// the reload button, and the scroll area laid out for the status bar's orientation.
class MainView final : public MainViewBase, public TLMainSliderDelegate, public TLRubricScrollViewDelegate {
 public:
  // Builds the view and starts the first load.
  std::shared_ptr<MainView> initWithFrame(const cg::Rect& frame);

  std::shared_ptr<MainSlider> sliderView() const { return std::static_pointer_cast<MainSlider>(slider()); }
  std::shared_ptr<MainPageDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<MainPageDelegate> delegate) { delegate_ = std::move(delegate); }

  void addToolBar() override;
  void createRubricSwitchButtons() override;
  void layoutSubviews() override;
  void changeScrollOrientation(ui::InterfaceOrientation orientation);

  void TLMainSliderLoaded(bool loaded) override { sliderDidLoad(loaded); }
  void rubricViewDidLoadWithScrollView(bool loaded, const std::shared_ptr<TLRubricScrollView>&) override {
    rowDidLoad(loaded);
  }

 protected:
  RowMetrics rowMetrics() const override;
  std::shared_ptr<MainSliderBase> makeSlider() override;
  std::shared_ptr<TLRubricScrollViewBase> makeRow(const ns::URL& url, const cg::Rect& frame,
                                                  const std::string& sort) override;
  void didBuildTab(const std::shared_ptr<ui::View>& container) override;
  // The first row to report stops the spinner.
  void rowReportCounted() override;

 private:
  std::weak_ptr<MainPageDelegate> delegate_;
};
