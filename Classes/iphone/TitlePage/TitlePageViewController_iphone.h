#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Classes/TitlePage/TitlePageViewController.h"
#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"

// The phone's title page: portrait only, its header beside the scroll, its sections in a
// horizontally scrolling switch.
class TitlePageViewController_iphone final : public TitlePageViewController,
                                             public TLRubricScrollViewDelegateIphone {
 public:
  ~TitlePageViewController_iphone() override;

  // The handler of AKMoviePlayerDidSetNewItem.
  void changeDataForNewItem();

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) override;
  void willRotateToInterfaceOrientation(ui::InterfaceOrientation, double) override {}
  void loadFilmView() override;
  void addToolBar() override;
  const std::shared_ptr<ui::ScrollView>& switchScroll() const { return switchScroll_; }

  // --- Sections and strips, filled in with the sections of the page.
  void loadSeriesView(const std::optional<std::string>& url,
                      const std::optional<std::string>& parentID) override;
  void loadAdvancedView() override;
  void loadSegmentedButton() override;
  void touchUpInsideSegmentIndex(unsigned segmentIndex) override;
  void rubricViewDidLoadWithScrollView(bool loaded,
                                       const std::shared_ptr<TLRubricScrollView_iphone>& row) override;
  using TitlePageViewController::rubricViewDidLoadWithScrollView;
  void changeButtonOffsetWithIndex(int index);

 protected:
  bool isPhone() const override { return true; }
  void observeNewItem() override;

 private:
  // The switch's bar: built once, the switch rebuilt inside it.
  void loadSwitchBar();
  std::shared_ptr<ui::View> switchBackground_;
  std::shared_ptr<ui::View> switchFade_;
};
