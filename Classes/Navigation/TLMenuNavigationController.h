#pragma once

#include <memory>
#include <string>

#include "Classes/Navigation/TLMenuView.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/Value.h"
#include "UIKit/Control.h"
#include "UIKit/NavigationController.h"

// The root of the window on the tablet: a navigation stack of pages with the home page at the
// bottom, and the slide-out menu over it. It loads the category list into the menu (and keeps it
// in the category list file), routes the pages' notifications to the title, person, category and
// search pages, and answers the menu's choices. The phone twin differs only in its page classes,
// its slide and its orientation.
class TLMenuNavigationController : public ui::NavigationController, public TLMenuViewDelegate {
 public:
  static constexpr const char* kCreditsPhrase = "открыть тайник окна";

  ~TLMenuNavigationController() override;

  // Observes the routing notifications, puts the menu over its view with the home entry alone
  // and starts loading the category list.
  std::shared_ptr<TLMenuNavigationController> initWithRootViewController(
      const std::shared_ptr<ui::ViewController>& root);

  const std::shared_ptr<TLMenuView>& navigationMenu() const { return navigationMenu_; }

  void showNavigationMenuWithAnimation(bool animated);
  void hideNavigationMenuWithAnimation(bool animated);
  void showMenu();
  void hideMenu();

  // Notification handlers.
  void showVideoItemController(const ns::Notification& notification);
  void showActorPage(const ns::Notification& notification);
  void showCategory(const ns::Notification& notification);
  void reloadMenuItemsFromServer();
  // Posts "TLReloadMainPage", then loads the category list again.
  void reloadMainPage();

  // The category list request of start-up.
  void getMenuItemsFromServer();
  // The cached category list, or nil when there is none.
  static ns::Value getMenuItems();
  // Writes the category list file (without values a property list cannot hold), then posts
  // "ReloadRubrikNotification". False, with the previous file kept and nothing posted, when the
  // write fails.
  bool saveItems(const ns::Array& items);
  // The home entry followed by the items.
  static ns::Array prepareItems(const ns::Value& items);

  // The credits view over everything, and its removal by its button.
  void showDev();
  void closeDev(ui::Control& sender);
  // The credits' entries: {"fullname", "id", "photo_76x101", "description"} records.
  static ns::Array creditsEntries();

  void TLMenuViewDidSelectMenuItem(TLMenuView& menuView, int row) override;
  void TLMenuViewDidStartSearch(TLMenuView& menuView, const std::string& query) override;
  void TLMenuViewWillShowMenu(TLMenuView& menuView) override;
  void TLMenuViewDidShowMenu(TLMenuView& menuView) override;
  void TLMenuViewWillHideMenu(TLMenuView& menuView) override;
  void TLMenuViewDidHideMenu(TLMenuView& menuView) override;

  void viewDidLoad() override;
  // Keeps the home page and the top page.
  void didReceiveMemoryWarning() override;

 protected:
  // What differs on the phone.
  virtual std::shared_ptr<TLMenuView> makeMenuView(const cg::Rect& frame);
  virtual std::shared_ptr<ui::ViewController> makeTitlePage(const ns::Value& titleInfo);
  virtual bool isTitlePage(const std::shared_ptr<ui::ViewController>& page) const;
  virtual std::shared_ptr<ui::ViewController> makePersonPage(const ns::Value& personItem);
  // A category page with its title and id set; fromMenu when a menu row asks for it.
  virtual std::shared_ptr<ui::ViewController> makeCategoryPage(const ns::Value& item, bool fromMenu);
  virtual std::shared_ptr<ui::ViewController> makeSearchPage(const std::string& query);
  virtual bool opensCreditsFor(const std::string& query) const;

  // Menu rows 0 to the last, unmarked.
  void deselectAllMenuRows();

 private:
  // reportFailure: a load the reload button asked for; its failure still tells the home page.
  void requestCategoryList(bool reportFailure);
  void categoryListLoaded(const ns::Value& json, bool reportFailure);
  // Refresh flag set, the cached list shown.
  void categoryListFailed(bool reportFailure);

  std::shared_ptr<TLMenuView> navigationMenu_;
};
