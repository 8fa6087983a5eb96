#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Classes/AKActivityButton.h"
#include "Classes/MainPage/MainSliderBase.h"
#include "Classes/MainPage/TLRubricScrollViewBase.h"
#include "Classes/SegmentedBTN/CustomSegmentedControl.h"
#include "Foundation/URL.h"
#include "UIKit/ScrollView.h"

// The home page's content, as the tablet and the phone share it: a scroll area with the poster
// slider, the two-tab switch and one rubric row per cached category under it ("Популярные" rows
// load "popular", the other tab's rows "new"). It starts every load, counts the reports still
// outstanding, turns the reload button's spinner and shows at most one alert per load. Rows and
// sliders it lets go of are stopped first, so nothing they report late counts.
class MainViewBase : public ui::View, public CustomSegmentedControlDelegate {
 public:
  static constexpr int kSwitchTag = 9000;

  ~MainViewBase() override;

  const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
  const std::shared_ptr<MainSliderBase>& slider() const { return slider_; }
  const std::shared_ptr<CustomSegmentedControl>& rubricSwitchButton() const { return rubricSwitchButton_; }
  // The container of the first tab's rows (sort "popular") and that of the second tab's ("new").
  const std::shared_ptr<ui::View>& horizScrollViewNew() const { return horizScrollViewNew_; }
  const std::shared_ptr<ui::View>& horizScrollViewPopular() const { return horizScrollViewPopular_; }
  const std::shared_ptr<AKActivityButton>& reloadButton() const { return reloadButton_; }
  bool isSliderLoaded() const { return isSliderLoaded_.load(); }
  void setIsSliderLoaded(bool loaded) { isSliderLoaded_ = loaded; }
  int elementsCountForParse() const { return elementsCountForParse_.load(); }
  void setElementsCountForParse(int count) { elementsCountForParse_ = count; }

  // (Re)builds the slider, the switch and the rows of the selected tab, keeping the tab.
  void loadView();
  // The reload button: unless a load runs, starts one and asks for the category list again.
  virtual void reloadContent();
  // The menu button: the navigation menu slides in.
  void TLMainViewMenuClick();
  // A tab: its analytics event, then its rows shown, built when their container is not in view.
  void touchUpInsideSegmentIndex(unsigned index) override;

  void startReloadAnimation();
  virtual void stopReloadAnimation();
  void showConnectionError();

  virtual void addToolBar() = 0;
  void createSlider();
  virtual void createRubricSwitchButtons() = 0;
  void createNewestView();
  void createPopularView();
  // The first tab's rows, one per URL, in its container.
  void createRubrikViews(const std::vector<ns::URL>& urls);

 protected:
  // Where a device puts the rows of a tab.
  struct RowMetrics {
    double containerTop;     // below the slider's top
    double newRowPitch;      // container height per row, first tab
    double popularRowPitch;  // the same, second tab
    double rowTop, rowSpacing, rowHeight;
    bool countAdds;  // each tab's build adds its rows to the count (else sets it)
    bool firstTabStopsWhenEmpty;
    bool secondTabAlignsWithFirst;  // the second tab's container takes the first one's y
  };

  MainViewBase() = default;
  virtual RowMetrics rowMetrics() const = 0;
  // A new slider with the placeholder record, its delegate this view.
  virtual std::shared_ptr<MainSliderBase> makeSlider() = 0;
  // A home row for the URL, its delegate this view; not started.
  virtual std::shared_ptr<TLRubricScrollViewBase> makeRow(const ns::URL& url, const cg::Rect& frame,
                                                          const std::string& sort) = 0;
  // Steps around a load: after the switch is made, and at its end.
  virtual void didCreateSwitch() {}
  virtual void didLoadView() {}
  // After a tab's container is in the scroll area.
  virtual void didBuildTab(const std::shared_ptr<ui::View>&) {}
  // What a row's report does to the spinner once counted.
  virtual void rowReportCounted() = 0;

  // Reports of the slider and the rows.
  void sliderDidLoad(bool loaded);
  void rowDidLoad(bool loaded);

  // The record the slider shows until its list arrives.
  static ns::Array placeholderFilms();
  // Runs the block, logging "Exception: %@" for anything thrown.
  static void guarded(const std::function<void()>& block);
  // Lets go of the rows of a container: they report nothing more and stop loading.
  static void retireRows(const std::shared_ptr<ui::View>& container);
  // Lets go of the slider: no timer, no refill, no report, out of the view.
  void dropSlider();
  void dropRubricSwitch();
  // Takes a tab's container out of the view, its rows stopped.
  static void removeContainer(const std::shared_ptr<ui::View>& container);

  void setScrollView(std::shared_ptr<ui::ScrollView> v) { scrollView_ = std::move(v); }
  void setRubricSwitchButton(std::shared_ptr<CustomSegmentedControl> v) {
    rubricSwitchButton_ = std::move(v);
  }
  void setReloadButton(std::shared_ptr<AKActivityButton> v) { reloadButton_ = std::move(v); }
  // Replaces the tab switch by one made as both devices make it, with the device's titles, segment
  // widths, frame and font size, in the scroll area.
  void installRubricSwitch(const ns::Array& titles, const ns::Array& widths, const cg::Rect& frame,
                           double fontSize);
  std::shared_ptr<AKActivityButton> makeReloadButton(const cg::Rect& frame);

 private:
  void createTabRows(unsigned segment);
  void buildRows(const std::shared_ptr<ui::View>& container, const std::vector<ns::URL>& urls,
                 const std::string& sort, double rowWidth);
  static void sendTabEvent(const std::string& label);

  std::shared_ptr<ui::ScrollView> scrollView_;
  std::shared_ptr<MainSliderBase> slider_;
  std::shared_ptr<CustomSegmentedControl> rubricSwitchButton_;
  std::shared_ptr<ui::View> horizScrollViewNew_;
  std::shared_ptr<ui::View> horizScrollViewPopular_;
  std::shared_ptr<AKActivityButton> reloadButton_;
  std::atomic<bool> isSliderLoaded_{false};
  std::atomic<int> elementsCountForParse_{0};
  bool isErrorShow_ = false;
};
