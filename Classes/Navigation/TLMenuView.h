#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Classes/Navigation/TLNavigationMenuTableViewCell.h"
#include "Foundation/Value.h"
#include "UIKit/Button.h"
#include "UIKit/SearchBar.h"
#include "UIKit/TableView.h"
#include "UIKit/Toolbar.h"
#include "UIKit/View.h"

class TLMenuView;

// What the menu view tells its owner. The view calls every operation without asking, so an
// owner implements all six.
class TLMenuViewDelegate {
 public:
  virtual ~TLMenuViewDelegate() = default;
  // The user touched a row (after the search field was cleared).
  virtual void TLMenuViewDidSelectMenuItem(TLMenuView& menuView, int row) = 0;
  // The search key with a query of three characters or more, as typed.
  virtual void TLMenuViewDidStartSearch(TLMenuView& menuView, const std::string& query) = 0;
  virtual void TLMenuViewWillShowMenu(TLMenuView& menuView) = 0;
  virtual void TLMenuViewDidShowMenu(TLMenuView& menuView) = 0;
  virtual void TLMenuViewWillHideMenu(TLMenuView& menuView) = 0;
  virtual void TLMenuViewDidHideMenu(TLMenuView& menuView) = 0;
};

// The slide-out navigation menu of the tablet: a 220-point panel with a close button, a search
// field and the menu rows slides in from the left over a darkening backdrop. It lists menu items
// (dictionaries with the string values "id" and "title") and reports what the user does; it never
// opens a page itself. Hidden and touch-free while closed.
class TLMenuView : public ui::View,
                   public ui::TableViewDataSource,
                   public ui::TableViewDelegate,
                   public ui::SearchBarDelegate {
 public:
  static constexpr double kAnimationDuration = 0.5;
  static constexpr double kBackdropAlpha = 0.6;
  static constexpr const char* kCellIdentifier = "TLNavigatioMenuCell";

  // The owner passes the bounds of its own view; the menu comes back hidden.
  std::shared_ptr<TLMenuView> initWithFrame(const cg::Rect& frame);

  const ns::Array& items() const { return menuItems_; }
  // Shows the list; a non-empty list leaves its first row marked.
  void setItems(ns::Array items);
  void showMenuWithAnimation(bool animated);
  void hideMenuWithAnimation(bool animated);
  // Marks the first row whose item has that "id"; an id no item has leaves the marking as it is.
  // The delegate hears nothing.
  void selectMenuItemById(const std::string& itemId);
  void toolbarBtTouch();
  void backgroundTouch();
  // The ends of the two animations.
  void didShowMenu();
  void didHideMenu();

  std::shared_ptr<TLMenuViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<TLMenuViewDelegate> delegate) { delegate_ = std::move(delegate); }
  const std::shared_ptr<ui::Button>& backgroundBt() const { return backgroundBt_; }
  const std::shared_ptr<ui::View>& menuArea() const { return menuArea_; }
  const std::shared_ptr<ui::Toolbar>& toolbar() const { return toolbar_; }
  const std::shared_ptr<ui::TableView>& menuTable() const { return menuTable_; }
  const std::shared_ptr<ui::SearchBar>& mySearchBar() const { return mySearchBar_; }

  int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
  std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView,
                                                                    const ns::IndexPath& indexPath) override;
  void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ns::IndexPath& indexPath) override;
  void searchBarSearchButtonClicked(ui::SearchBar& searchBar) override;

 protected:
  // Builds the view tree for a view of that size.
  virtual void buildViews(double width, double height);
  virtual std::shared_ptr<TLNavigationMenuTableViewCell> makeCell();
  // Title, font and icons of the row showing an item.
  virtual void configureCell(TLNavigationMenuTableViewCell& cell, const ns::Value& item);
  // The tablet unmarks the selected row before it reports a search.
  virtual bool deselectsBeforeSearch() const { return true; }
  // Where the panel rests while the menu is closed; the tablet's and its shadow are off screen.
  virtual double closedPanelX() const { return -230; }
  // Called before the panel slides in.
  virtual void preparePanelForShowing() {}
  // What moves with the panel, decided when the slide starts; none on the tablet.
  virtual std::function<void()> pageMovement(bool /*opening*/) { return nullptr; }

  // The parts both menus share.
  std::shared_ptr<ui::Button> makeBackdrop(double width, double height, const ui::Color& color);
  std::shared_ptr<ui::SearchBar> makeSearchBar(const cg::Rect& frame);
  std::shared_ptr<ui::TableView> makeTable(const cg::Rect& frame);
  // The search field gives up the keyboard and is emptied.
  void clearSearchField();
  // The panel, the backdrop and whatever moves with them go to their open or closed places.
  void slide(bool animated, bool opening);
  // Runs the changes as one animation of the menu's duration (0 when not animated), then `done`.
  void animate(bool animated, const std::function<void()>& changes, void (TLMenuView::*done)());
  void raise(void (TLMenuViewDelegate::*event)(TLMenuView&));

  std::shared_ptr<ui::Button> backgroundBt_;
  std::shared_ptr<ui::View> menuArea_;
  std::shared_ptr<ui::Toolbar> toolbar_;
  std::shared_ptr<ui::TableView> menuTable_;
  std::shared_ptr<ui::SearchBar> mySearchBar_;

 private:
  ns::Array menuItems_;
  std::weak_ptr<TLMenuViewDelegate> delegate_;
};
