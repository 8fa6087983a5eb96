#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Classes/CategoryPage/CategoryView.h"
#include "Classes/CategoryPage/PopoverChooser.h"
#include "Classes/Navigation/ViewController+TLMenu.h"
#include "UIKit/Button.h"
#include "UIKit/Label.h"
#include "UIKit/PopoverController.h"
#include "UIKit/Toolbar.h"
#include "UIKit/ViewController.h"

// The tablet category page: a black toolbar (menu, back, title, genre, year and refresh buttons)
// over the page body. It keeps the category's genre list, opens the genre and year choosers in
// popovers, shows the chosen filter in its title, clears the filter with the back button (a second
// press leaves the page) and reports its screen view. Its opener sets the category's title and
// then its id before pushing it.
class TLSCategoryVC : public ui::ViewController, public TLMenuHooks, public PopoverDelegate {
 public:
  ~TLSCategoryVC() override;

  std::shared_ptr<TLSCategoryVC> init() { return initWithNibName("", nullptr); }
  std::shared_ptr<TLSCategoryVC> initWithNibName(const std::string& nibName,
                                                 const std::shared_ptr<ns::Bundle>& bundle);

  const std::string& categoryTitle() const { return categoryTitle_; }
  void setCategoryTitle(std::string title) { categoryTitle_ = std::move(title); }
  long long categoryId() const { return categoryId_; }
  void setCategoryId(long long categoryId) { categoryId_ = categoryId; }

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void didReceiveMemoryWarning() override;
  bool shouldAutorotate() override { return true; }
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) override { return true; }

  // Toolbar actions.
  void showNavMenu();
  void toolbarBackClick();
  void genrePressed(ui::Control& sender);
  void yearPressed(ui::Control& sender);
  void refreshPressed(ui::Control& sender);

  void genreSelected(long long genreId, const std::optional<std::string>& genreName) override;
  void yearSelected(int year) override;

  // The genre list: nil until it has arrived.
  const ns::Value& genres() const { return genres_; }
  void getCategoryGenresFromServer();
  void parseJSONData(const ns::Value& JSON);
  void showRefreshBtn(bool show);

  void appHasGoneInBackground();
  void didRotate();
  void rotateInterface();
  static std::string yearsByIndex(int year);
  void generatePriviewGrid(const ns::Array&) {}

  const std::optional<std::string>& genreNameSelected() const { return genreNameSelected_; }
  int yearSelectedCode() const { return yearSelected_; }
  const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }
  const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<ui::Button>& backBtn() const { return backBtn_; }
  const std::shared_ptr<ui::Button>& genreBtn() const { return genreBtn_; }
  const std::shared_ptr<ui::Button>& yearBtn() const { return yearBtn_; }
  const std::shared_ptr<ui::Button>& refreshBtn() const { return refreshBtn_; }
  const std::shared_ptr<PopoverChooser>& genrePicker() const { return genrePicker_; }
  const std::shared_ptr<PopoverChooser>& yearPicker() const { return yearPicker_; }
  const std::shared_ptr<ui::PopoverController>& genrePickerPopover() const { return genrePickerPopover_; }
  const std::shared_ptr<ui::PopoverController>& yearPickerPopover() const { return yearPickerPopover_; }
  const std::shared_ptr<CategoryView>& sCategary() const { return sCategary_; }
  int currentOrientation() const { return currentOrientation_; }

 private:
  void updateTitle();
  std::shared_ptr<ui::Button> addToolbarButton(const char* background, const cg::Rect& frame,
                                               const char* title);
  std::shared_ptr<ui::PopoverController> makePopover(const std::shared_ptr<PopoverChooser>& chooser,
                                                     const char* title, bool grayBar);
  void presentChooser(const std::shared_ptr<ui::PopoverController>& popover,
                      const std::shared_ptr<PopoverChooser>& chooser,
                      const std::shared_ptr<ui::Button>& button);

  std::string categoryTitle_;
  long long categoryId_ = 0;
  std::optional<std::string> genreNameSelected_;
  int yearSelected_ = 0;
  ns::Value genres_;
  std::shared_ptr<ui::Toolbar> toolbar_;
  std::shared_ptr<ui::Label> titleLabel_;
  std::shared_ptr<ui::Button> backBtn_, genreBtn_, yearBtn_, refreshBtn_;
  std::shared_ptr<PopoverChooser> genrePicker_, yearPicker_;
  std::shared_ptr<ui::PopoverController> genrePickerPopover_, yearPickerPopover_;
  std::shared_ptr<CategoryView> sCategary_;
  int currentOrientation_ = 0;
};
