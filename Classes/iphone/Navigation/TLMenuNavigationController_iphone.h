#pragma once

#include <memory>
#include <string>

#include "Classes/Navigation/TLMenuNavigationController.h"
#include "Classes/iphone/Navigation/TLMenuView_iphone.h"

// The phone's root controller: the phone pages, the phone menu that pushes the page aside, the
// page sliding back into place after a menu choice, no hidden phrase, portrait only.
class TLMenuNavigationController_iphone final : public TLMenuNavigationController {
 public:
  // The same as reloadMainPage.
  void updateCategories() { reloadMainPage(); }

  std::shared_ptr<TLMenuView_iphone> phoneMenu() const {
    return std::static_pointer_cast<TLMenuView_iphone>(navigationMenu());
  }

  void TLMenuViewDidSelectMenuItem(TLMenuView& menuView, int row) override;
  void TLMenuViewDidStartSearch(TLMenuView& menuView, const std::string& query) override;

  bool shouldAutorotate() override { return false; }
  unsigned supportedInterfaceOrientations() override { return ui::InterfaceOrientationMaskPortrait; }
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) override {
    return orientation == ui::InterfaceOrientation::portrait;
  }

 protected:
  std::shared_ptr<TLMenuView> makeMenuView(const cg::Rect& frame) override;
  std::shared_ptr<ui::ViewController> makeTitlePage(const ns::Value& titleInfo) override;
  bool isTitlePage(const std::shared_ptr<ui::ViewController>& page) const override;
  std::shared_ptr<ui::ViewController> makePersonPage(const ns::Value& personItem) override;
  std::shared_ptr<ui::ViewController> makeCategoryPage(const ns::Value& item, bool fromMenu) override;
  std::shared_ptr<ui::ViewController> makeSearchPage(const std::string& query) override;
  bool opensCreditsFor(const std::string&) const override { return false; }

 private:
  // The page's view drawn where the open menu had pushed it, sliding back into place.
  void slideBackIntoPlace(const std::shared_ptr<ui::ViewController>& page, bool alwaysShift);
};
