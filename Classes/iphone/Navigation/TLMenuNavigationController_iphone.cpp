#include "Classes/iphone/Navigation/TLMenuNavigationController_iphone.h"

#include "Classes/TLSettings.h"
#include "Classes/iphone/CategoryPage/TLSCategoryVC_iphone.h"
#include "Classes/iphone/SearchPage/TLSSearchVC_iphone.h"
#include "Classes/iphone/TitlePage/TitleActorViewController_iphone.h"
#include "Classes/iphone/TitlePage/TitlePageViewController_iphone.h"

std::shared_ptr<TLMenuView> TLMenuNavigationController_iphone::makeMenuView(const cg::Rect& frame) {
  auto menu = std::make_shared<TLMenuView_iphone>()->initWithFrame(frame);
  menu->setNavController(self<ui::NavigationController>());
  return menu;
}

std::shared_ptr<ui::ViewController> TLMenuNavigationController_iphone::makeTitlePage(
    const ns::Value& titleInfo) {
  return std::make_shared<TitlePageViewController_iphone>()->initWithTitleInfo(titleInfo);
}

bool TLMenuNavigationController_iphone::isTitlePage(const std::shared_ptr<ui::ViewController>& page) const {
  return std::dynamic_pointer_cast<TitlePageViewController_iphone>(page) != nullptr;
}

std::shared_ptr<ui::ViewController> TLMenuNavigationController_iphone::makePersonPage(
    const ns::Value& personItem) {
  return std::make_shared<TitleActorViewController_iphone>()->initWithItem(personItem);
}

std::shared_ptr<ui::ViewController> TLMenuNavigationController_iphone::makeCategoryPage(const ns::Value& item,
                                                                                        bool fromMenu) {
  auto page = std::make_shared<TLSCategoryVC_iphone>();
  if (fromMenu)
    page->initWithNibName("TLSCategoryVC_iphone", nullptr);
  else
    page->init();
  page->setCategoryTitle(TLSettings::stringFromObject(item["title"]));
  page->setCategoryId(TLSettings::longFromObject(item["id"]));
  return page;
}

std::shared_ptr<ui::ViewController> TLMenuNavigationController_iphone::makeSearchPage(
    const std::string& query) {
  auto page = std::make_shared<TLSSearchVC_iphone>();
  page->init();
  page->setQuery(query);
  return page;
}

void TLMenuNavigationController_iphone::slideBackIntoPlace(const std::shared_ptr<ui::ViewController>& page,
                                                           bool alwaysShift) {
  if (!page) return;
  auto v = page->view();
  cg::Rect b = v->bounds();
  if (alwaysShift)
    b.origin.x += TLMenuView_iphone::kShift;
  else if (b.x() == 0)
    b.origin.x = TLMenuView_iphone::kShift;
  v->setBounds(b);
  b.origin.x = 0;
  ui::View::animateWithDuration(TLMenuView::kAnimationDuration, [&] { v->setBounds(b); });
}

void TLMenuNavigationController_iphone::TLMenuViewDidSelectMenuItem(TLMenuView& menuView, int row) {
  hideMenu();
  popToRootViewControllerAnimated(false);
  const ns::Array& items = menuView.items();
  if (row > 0 && std::size_t(row) < items.size()) {
    auto page = makeCategoryPage(items[std::size_t(row)], true);
    pushViewController(page, false);
    slideBackIntoPlace(page, true);
  } else if (row == 0) {
    slideBackIntoPlace(visibleViewController(), false);
  }
}

void TLMenuNavigationController_iphone::TLMenuViewDidStartSearch(TLMenuView& menuView,
                                                                 const std::string& query) {
  popToRootViewControllerAnimated(false);
  auto page = makeSearchPage(query);
  menuView.hideMenuWithAnimation(true);
  pushViewController(page, false);
  deselectAllMenuRows();
}
