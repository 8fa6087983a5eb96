#pragma once

#include <memory>
#include <string>

#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Classes/SearchPage/SearchView.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/AlertView.h"
#include "UIKit/SearchBar.h"
#include "UIKit/Toolbar.h"
#include "UIKit/ViewController.h"

// The tablet search page: a tool bar with the menu button and a search bar over the results. Its
// opener sets the query (as the user typed it) before pushing it; the page searches for it when
// its view loads, and again for every query of three characters or more submitted in its bar.
class TLSSearchVC final : public ui::ViewController,
                          public TLMenuHooks,
                          public ui::SearchBarDelegate,
                          public TLSearchCompletedProtocol {
 public:
  static constexpr const char* kTooShortMessage = "Слишком короткий запрос.";

  std::shared_ptr<TLSSearchVC> init() {
    ui::ViewController::init();
    return self<TLSSearchVC>();
  }
  ~TLSSearchVC() override;

  const std::string& query() const { return query_; }
  void setQuery(std::string query) { query_ = std::move(query); }
  const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }
  const std::shared_ptr<SearchView>& sSearch() const { return sSearch_; }
  const std::shared_ptr<ui::SearchBar>& mySearchBar() const { return mySearchBar_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activity() const { return activity_; }

  void viewDidLoad() override;
  void searchBarSearchButtonClicked(ui::SearchBar& searchBar) override;
  void searchCompleted() override;
  void showNavMenu();
  void dismissKeyboard();
  void touchesBegan(const ui::TouchSet& touches, const ui::Event* event) override;
  void didRotate();
  bool shouldAutorotate() override { return true; }
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) override { return true; }
  unsigned supportedInterfaceOrientations() override { return ui::InterfaceOrientationMaskAll; }
  void toolbarBackClick();

 private:
  std::string query_;
  std::shared_ptr<ui::Toolbar> toolbar_;
  std::shared_ptr<SearchView> sSearch_;
  std::shared_ptr<ui::SearchBar> mySearchBar_;
  std::shared_ptr<ui::ActivityIndicatorView> activity_;
};

// The check both search pages make before searching: a query of fewer than three characters,
// blanks at the ends not counted, is refused with an alert.
bool TLSearchQueryIsLongEnough(const std::string& text);
void TLShowSearchQueryTooShortAlert();
