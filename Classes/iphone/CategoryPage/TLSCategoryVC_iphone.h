#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Classes/SegmentedBTN/CustomSegmentedControl.h"
#include "Foundation/Error.h"
#include "IXPickerOverlayView/IXPickerOverlayView.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/AlertView.h"
#include "UIKit/Button.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/PickerView.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TableView.h"
#include "UIKit/Toolbar.h"
#include "UIKit/ViewController.h"

// The phone page of one category: a sort strip, a panel with a genre and year picker, and a list
// of the category's titles that grows by packs of 16 as the user drags past its end. When the
// filters find nothing the list shows recommended titles under a note. Its opener sets the title
// and then the id before pushing it.
class TLSCategoryVC_iphone final : public ui::ViewController,
                                   public TLMenuHooks,
                                   public ui::TableViewDataSource,
                                   public ui::TableViewDelegate,
                                   public ui::PickerViewDataSource,
                                   public ui::PickerViewDelegate,
                                   public CustomSegmentedControlDelegate,
                                   public ui::AlertViewDelegate {
 public:
  static constexpr const char* kNothingFoundText = "Ничего не найдено.\nРекомендуем посмотреть:";
  static constexpr double kDragPastEnd = 10.0;

  std::shared_ptr<TLSCategoryVC_iphone> init() { return initWithNibName("", nullptr); }
  std::shared_ptr<TLSCategoryVC_iphone> initWithNibName(const std::string& nibName,
                                                        const std::shared_ptr<ns::Bundle>& bundle);
  ~TLSCategoryVC_iphone() override;

  const std::string& categoryTitle() const { return categoryTitle_; }
  void setCategoryTitle(std::string title) { categoryTitle_ = std::move(title); }
  long long categoryId() const { return categoryId_; }
  void setCategoryId(long long categoryId) { categoryId_ = categoryId; }
  const std::optional<std::string>& genreNameSelected() const { return genreNameSelected_; }
  int yearSelected() const { return yearSelected_; }

  // The loading state.
  int grouping() const { return grouping_; }
  long long genreId() const { return genreId_; }
  int year() const { return year_; }
  int totalCount() const { return totalCount_; }
  const ns::Array& loadedPreviewList() const { return loadedPreviewList_; }
  const ns::Array& reccomendedToSee() const { return reccomendedToSee_; }
  bool isLoading() const { return isLoading_; }
  bool alertShowed() const { return alertShowed_; }
  const ns::Array& genresList() const { return genresList_; }
  const std::vector<std::string>& yearsList() const { return yearsList_; }
  const cg::Rect& defaultTableRect() const { return defaultTableRect_; }

  // Views.
  const std::shared_ptr<ui::TableView>& mainTableView() const { return mainTableView_; }
  const std::shared_ptr<ui::ScrollView>& popoverView() const { return popoverView_; }
  const std::shared_ptr<ui::Button>& showButton() const { return showButton_; }
  const std::shared_ptr<ui::Label>& nothingFoundLabel() const { return nothingFoundLabel_; }
  const std::shared_ptr<ui::ImageView>& pimpImage() const { return pimpImage_; }
  const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }
  const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<ui::Button>& menuButton() const { return menuButton_; }
  const std::shared_ptr<ui::Button>& paramsButton() const { return paramsButton_; }
  const std::shared_ptr<ui::Button>& refreshBtn() const { return refreshBtn_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activityView() const { return activityView_; }
  const std::shared_ptr<ui::PickerView>& paramPicker() const { return paramPicker_; }
  const std::shared_ptr<IXPickerOverlayView>& pickerOverlay() const { return pickerOverlay_; }
  const std::shared_ptr<CustomSegmentedControl>& blackControl() const { return blackControl_; }
  const std::shared_ptr<ui::ScrollView>& sortStrip() const { return sortScroll_; }

  // The page's interface file: list, filter panel, apply button, note and panel image.
  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;

  // Requests pack p of the current list.
  void getListPack(int pack);
  void getCategoryGenresFromServer();
  void parseJSONData(const ns::Value& reply);
  void touchUpInsideSegmentIndex(unsigned segmentIndex) override;
  void scrollViewDidScroll(ui::ScrollView& scrollView) override;
  void showParams();
  void showWithParams();
  void touchesBegan(const ui::TouchSet& touches, const ui::Event* event) override;
  void refreshPressed();
  void alertViewClickedButtonAtIndex(ui::AlertView&, int) override { alertShowed_ = false; }
  void showNavMenu();
  void toolbarBackClick();
  void showRefreshBtn(bool show);
  void selectVideoWithNumber(int n);
  void rotateInterface() {}
  void didRotate() {}

  bool shouldAutorotate() override { return false; }
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) override { return false; }
  unsigned supportedInterfaceOrientations() override { return ui::InterfaceOrientationMaskPortrait; }

  int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
  std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView,
                                                                    const ns::IndexPath& indexPath) override;
  double tableViewHeightForRowAtIndexPath(ui::TableView& tableView, const ns::IndexPath& indexPath) override;
  void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ns::IndexPath& indexPath) override;

  int numberOfComponentsInPickerView(ui::PickerView&) override { return 2; }
  int pickerViewNumberOfRowsInComponent(ui::PickerView& pickerView, int component) override;
  std::optional<std::string> pickerViewTitleForRowForComponent(ui::PickerView& pickerView, int row,
                                                               int component) override;
  double pickerViewWidthForComponent(ui::PickerView& pickerView, int component) override;

  // The sort codes' request order and the request text of a year code, as this page sends them.
  static const char* orderdir(int grouping);
  static std::string yearFilter(int year);

 private:
  void createRubricSwitchButtons();
  // Empties the list and starts it again at pack 0; replies to the former list are dropped.
  void restartList();
  void packArrived(int pack, const ns::Value& reply);
  void packFailed(const ns::ErrorPtr& error);

  std::string categoryTitle_;
  long long categoryId_ = 0;
  std::optional<std::string> genreNameSelected_;
  int yearSelected_ = 0;

  int grouping_ = 0;
  long long genreId_ = -1;
  int year_ = -1;
  int totalCount_ = 0;
  ns::Array loadedPreviewList_;
  ns::Array reccomendedToSee_;
  bool isLoading_ = false;
  bool alertShowed_ = false;
  int lastChoosedGenreId_ = 0;
  int lastChoosedYearId_ = 0;
  ns::Array genresList_;
  std::vector<std::string> yearsList_;
  cg::Rect defaultTableRect_;
  // Counts the lists started; a reply for an earlier one changes nothing.
  unsigned listNumber_ = 0;
  // The last pack placed in the current list (-1: none yet).
  int lastPlacedPack_ = -1;

  std::shared_ptr<ui::TableView> mainTableView_;
  std::shared_ptr<ui::ScrollView> popoverView_;
  std::shared_ptr<ui::Button> showButton_;
  std::shared_ptr<ui::Label> nothingFoundLabel_;
  std::shared_ptr<ui::ImageView> pimpImage_;
  std::shared_ptr<ui::Toolbar> toolbar_;
  std::shared_ptr<ui::Label> titleLabel_;
  std::shared_ptr<ui::Button> menuButton_;
  std::shared_ptr<ui::Button> paramsButton_;
  std::shared_ptr<ui::Button> refreshBtn_;
  std::shared_ptr<ui::ActivityIndicatorView> activityView_;
  std::shared_ptr<ui::PickerView> paramPicker_;
  std::shared_ptr<IXPickerOverlayView> pickerOverlay_;
  std::shared_ptr<ui::View> switchStrip_;
  std::shared_ptr<ui::ScrollView> sortScroll_;
  std::shared_ptr<CustomSegmentedControl> blackControl_;
};
