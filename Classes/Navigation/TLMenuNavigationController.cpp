#include "Classes/Navigation/TLMenuNavigationController.h"

#include <exception>
#include <set>
#include <string>

#include "Classes/CategoryPage/TLSCategoryVC.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Classes/PageShell.h"
#include "Classes/SearchPage/TLSSearchVC.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TitleActorViewController.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Foundation/Format.h"
#include "Foundation/PropertyList.h"
#include "Foundation/String.h"
#include "UIKit/Button.h"

namespace {

constexpr const char* kReloadRubrik = "ReloadRubrikNotification";

// The value with every leaf a property list cannot hold (nulls, say) left out, at any depth.
ns::Value propertyListSafe(const ns::Value& value) {
  if (const ns::Array* array = value.asArray()) {
    ns::Array out;
    for (const ns::Value& element : *array) {
      ns::Value kept = propertyListSafe(element);
      if (!kept.isNil()) out.push_back(std::move(kept));
    }
    return out;
  }
  if (const ns::Dictionary* dict = value.asDictionary()) {
    ns::Dictionary out;
    for (const auto& [key, element] : *dict) out.set(key, propertyListSafe(element));
    return out;
  }
  return ns::PropertyListSerialization::propertyListIsValid(value) ? value : ns::Value();
}

}  // namespace

TLMenuNavigationController::~TLMenuNavigationController() {
  ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

std::shared_ptr<TLMenuNavigationController> TLMenuNavigationController::initWithRootViewController(
    const std::shared_ptr<ui::ViewController>& root) {
  ui::NavigationController::initWithRootViewController(root);
  auto me = self<TLMenuNavigationController>();
  auto center = ns::NotificationCenter::defaultCenter();
  // The center calls a handler only while its observer is alive.
  center->addObserver(
      me, [this](const ns::Notification&) { showMenu(); }, "TLNavigationShowMenu");
  center->addObserver(
      me, [this](const ns::Notification&) { hideMenu(); }, "TLNavigationCloseMenu");
  center->addObserver(
      me, [this](const ns::Notification& n) { showVideoItemController(n); }, "TLOpenVideoItem");
  center->addObserver(
      me, [this](const ns::Notification& n) { showCategory(n); }, "TLShowCategory");
  center->addObserver(
      me, [this](const ns::Notification& n) { showActorPage(n); }, "TLShowActorPage");
  center->addObserver(
      me, [this](const ns::Notification&) { reloadMenuItemsFromServer(); }, "TLMenuItemsReload");

  // Asking for the view loads it: viewDidLoad has run by the time the menu goes over it.
  auto v = view();
  navigationMenu_ = makeMenuView(v->bounds());
  navigationMenu_->setDelegate(me);
  v->addSubview(navigationMenu_);
  navigationMenu_->setItems(prepareItems(ns::Value()));
  getMenuItemsFromServer();
  return me;
}

std::shared_ptr<TLMenuView> TLMenuNavigationController::makeMenuView(const cg::Rect& frame) {
  return std::make_shared<TLMenuView>()->initWithFrame(frame);
}

void TLMenuNavigationController::viewDidLoad() {
  ui::NavigationController::viewDidLoad();
  setNavigationBarHidden(true, false);
  setToolbarHidden(true, false);
}

// --- Menu -----------------------------------------------------------------------------------

void TLMenuNavigationController::showNavigationMenuWithAnimation(bool animated) {
  navigationMenu_->showMenuWithAnimation(animated);
}

void TLMenuNavigationController::hideNavigationMenuWithAnimation(bool animated) {
  navigationMenu_->hideMenuWithAnimation(animated);
}

void TLMenuNavigationController::showMenu() { showNavigationMenuWithAnimation(true); }

void TLMenuNavigationController::hideMenu() { hideNavigationMenuWithAnimation(true); }

void TLMenuNavigationController::deselectAllMenuRows() {
  auto table = navigationMenu_->menuTable();
  for (std::size_t row = 0; row < navigationMenu_->items().size(); ++row)
    table->deselectRowAtIndexPath(ns::IndexPath::indexPathForRow(int(row), 0), false);
}

void TLMenuNavigationController::TLMenuViewDidSelectMenuItem(TLMenuView& menuView, int row) {
  popToRootViewControllerAnimated(false);
  const ns::Array& items = menuView.items();
  if (row > 0 && std::size_t(row) < items.size())
    pushViewController(makeCategoryPage(items[std::size_t(row)], true), false);
  hideMenu();
}

bool TLMenuNavigationController::opensCreditsFor(const std::string& query) const {
  return ns::lowercaseString(query) == kCreditsPhrase;
}

void TLMenuNavigationController::TLMenuViewDidStartSearch(TLMenuView& menuView, const std::string& query) {
  popToRootViewControllerAnimated(false);
  if (opensCreditsFor(query)) {
    showDev();
    return;
  }
  pushViewController(makeSearchPage(query), false);
  menuView.hideMenuWithAnimation(true);
  deselectAllMenuRows();
}

void TLMenuNavigationController::TLMenuViewWillShowMenu(TLMenuView&) {
  willShowTLNavigationMenu(visibleViewController().get());
}

void TLMenuNavigationController::TLMenuViewDidShowMenu(TLMenuView&) {
  didShowTLNavigationMenu(visibleViewController().get());
}

void TLMenuNavigationController::TLMenuViewWillHideMenu(TLMenuView&) {
  willHideTLNavigationMenu(visibleViewController().get());
}

void TLMenuNavigationController::TLMenuViewDidHideMenu(TLMenuView&) {
  didHideTLNavigationMenu(visibleViewController().get());
}

// --- Pages ----------------------------------------------------------------------------------

std::shared_ptr<ui::ViewController> TLMenuNavigationController::makeTitlePage(const ns::Value& titleInfo) {
  return std::make_shared<TitlePageViewController>()->initWithTitleInfo(titleInfo);
}

bool TLMenuNavigationController::isTitlePage(const std::shared_ptr<ui::ViewController>& page) const {
  return std::dynamic_pointer_cast<TitlePageViewController>(page) != nullptr;
}

std::shared_ptr<ui::ViewController> TLMenuNavigationController::makePersonPage(const ns::Value& personItem) {
  return std::make_shared<TitleActorViewController>()->initWithItem(personItem);
}

std::shared_ptr<ui::ViewController> TLMenuNavigationController::makeCategoryPage(const ns::Value& item,
                                                                                 bool) {
  auto page = std::make_shared<TLSCategoryVC>()->init();
  page->setCategoryTitle(TLSettings::stringFromObject(item["title"]));
  page->setCategoryId(TLSettings::longFromObject(item["id"]));
  return page;
}

std::shared_ptr<ui::ViewController> TLMenuNavigationController::makeSearchPage(const std::string& query) {
  auto page = std::make_shared<TLSSearchVC>()->init();
  page->setQuery(query);
  return page;
}

void TLMenuNavigationController::showVideoItemController(const ns::Notification& notification) {
  const ns::Value& titleInfo = notification.object;
  // Another episode of the series on screen replaces its page instead of stacking on it.
  if (auto visible = visibleViewController(); isTitlePage(visible)) {
    long long parent = TLSettings::longFromObject(titleInfo["parent_id"]);
    long long shownParent = std::static_pointer_cast<TitlePageViewController>(visible)->parentId();
    if (parent != 0 && parent == shownParent) popViewControllerAnimated(false);
  }
  pushViewController(makeTitlePage(titleInfo), true);
}

void TLMenuNavigationController::showActorPage(const ns::Notification& notification) {
  pushViewController(makePersonPage(notification.object), true);
}

void TLMenuNavigationController::showCategory(const ns::Notification& notification) {
  try {
    std::string categoryId = TLSettings::stringFromObject(notification.object["categoryId"]);
    ns::Value entry = TLSettings::categoryInfoById(categoryId);
    if (entry.isNil()) return;
    pushViewController(makeCategoryPage(entry, false), false);
    navigationMenu_->selectMenuItemById(categoryId);
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

void TLMenuNavigationController::didReceiveMemoryWarning() {
  ui::NavigationController::didReceiveMemoryWarning();
  const Stack& stack = viewControllers();
  if (stack.size() > 2) setViewControllers({stack.front(), stack.back()}, false);
}

// --- Credits --------------------------------------------------------------------------------

// What the client is made of and what it stands on, as a persons row shows people: name, role.
ns::Array TLMenuNavigationController::creditsEntries() {
  const char* entries[][2] = {
      {"Главная страница", "слайдер афиш и рубрики"},
      {"Страница фильма", "описание, эпизоды, персоны"},
      {"Видеоплеер AKMoviePlayer", "реклама, эпизоды, полный экран"},
      {"Сеть NTNetworking", "запросы, изображения, доступность"},
      {"Аналитика MAI", "экраны и события, версия 2"},
      {"Аналитика MAL", "просмотры страниц, версия 1"},
      {"Хранилище SQDatabase", "обёртка SQLite"},
      {"Публикации", "ВКонтакте и Facebook"},
      {"Библиотека libcurl", "передача по HTTP"},
      {"Библиотеки Cairo и Pango", "рисование и текст"},
      {"Библиотеки FFmpeg и SDL2", "декодирование и звук"},
      {"Библиотека SQLite", "база данных"},
      {"Библиотека libxml2", "разбор страниц"},
  };
  ns::Array list;
  for (const auto& [name, role] : entries)
    list.push_back(
        ns::Dictionary{{"fullname", name}, {"id", ""}, {"photo_76x101", ""}, {"description", role}});
  return list;
}

void TLMenuNavigationController::showDev() {
  auto v = view();
  v->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  auto credits = std::make_shared<ui::View>()->initWithFrame(v->bounds());
  credits->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  auto closeButton = ui::Button::buttonWithType(ui::ButtonType::custom);
  closeButton->setFrame(credits->bounds());
  closeButton->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  closeButton->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0.8));
  closeButton->addTarget(self<TLMenuNavigationController>(), &TLMenuNavigationController::closeDev,
                         ui::ControlEventTouchUpInside);
  credits->addSubview(closeButton);
  // Above the middle, so that a tap there still closes the view; the entries open no page.
  auto row = std::make_shared<TLRubricScrollView>()->initWithFrame({0, 60, credits->bounds().width(), 250},
                                                                   creditsEntries());
  row->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  for (const auto& tile : row->scrollView()->subviews()) tile->setUserInteractionEnabled(false);
  credits->addSubview(row);
  v->addSubview(credits);
  navigationMenu_->mySearchBar()->resignFirstResponder();
}

void TLMenuNavigationController::closeDev(ui::Control& sender) {
  if (auto credits = sender.superview()) credits->removeFromSuperview();
}

// --- Category list --------------------------------------------------------------------------

ns::Array TLMenuNavigationController::prepareItems(const ns::Value& items) {
  ns::Array list{ns::Dictionary{{"id", "0"}, {"title", "Главная"}}};
  if (const ns::Array* array = items.asArray()) list.insert(list.end(), array->begin(), array->end());
  return list;
}

ns::Value TLMenuNavigationController::getMenuItems() {
  if (auto cached = TLSettings::cachedCategories()) return ns::Value(*cached);
  return {};
}

bool TLMenuNavigationController::saveItems(const ns::Array& items) {
  ns::ErrorPtr error;
  if (!ns::writePropertyListToFile(propertyListSafe(ns::Value(items)), TLSettings::cashedCategoriesFile(),
                                   true, ns::PropertyListFormat::XML, &error)) {
    ns::log("Cannot write the category list file: %@", error);
    return false;
  }
  ns::NotificationCenter::defaultCenter()->postNotificationName(kReloadRubrik);
  return true;
}

void TLMenuNavigationController::getMenuItemsFromServer() { requestCategoryList(false); }

void TLMenuNavigationController::reloadMenuItemsFromServer() { requestCategoryList(true); }

void TLMenuNavigationController::reloadMainPage() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLReloadMainPage");
  requestCategoryList(true);
}

void TLMenuNavigationController::requestCategoryList(bool reportFailure) {
  std::weak_ptr<TLMenuNavigationController> weak = self<TLMenuNavigationController>();
  startJSONRequest(
      ns::URLRequest::requestWithURL(ns::URL::URLWithString(TLSettings::categoriesUrl())),
      [weak, reportFailure](const ns::Value& json) {
        if (auto me = weak.lock()) me->categoryListLoaded(json, reportFailure);
      },
      [weak, reportFailure](const ns::ErrorPtr&) {
        if (auto me = weak.lock()) me->categoryListFailed(reportFailure);
      });
}

void TLMenuNavigationController::categoryListLoaded(const ns::Value& json, bool reportFailure) {
  try {
    const ns::Array* replyItems = json["items"].asArray();
    // A reply that is no object, or has no list of items, is a failed load: the cached list stays.
    if (!json.isDictionary() || !replyItems) {
      ns::log("The category list reply holds no list of items: %@", json);
      categoryListFailed(reportFailure);
      return;
    }
    ns::Array list;
    std::set<std::string> ids;
    std::size_t notObjects = 0, repeated = 0;
    for (const ns::Value& element : *replyItems) {
      // Each category costs the home page a row and a request, on every later start too.
      if (list.size() == TLSettings::kMaxCachedCategories) {
        ns::log("The category list reply holds more than %d categories; the rest are left out",
                static_cast<long long>(TLSettings::kMaxCachedCategories));
        break;
      }
      if (!element.isDictionary()) {
        ++notObjects;
        continue;
      }
      std::string id = TLSettings::idFromObject(element["id"]);
      // A category listed again would be a second row loading the same reply.
      if (!ids.insert(id).second) {
        ++repeated;
        continue;
      }
      ns::Value copy = element;
      ns::Dictionary& entry = *copy.mutableDictionary();
      entry.set("url", TLSettings::stringFromObject(element["url"]));
      entry.set("title", TLSettings::stringFromObject(element["title"]));
      entry.set("id", std::move(id));
      list.push_back(std::move(copy));
    }
    // One line each, however many entries a reply holds.
    if (notObjects)
      ns::log("Skipped %d category list entries that are not objects", static_cast<long long>(notObjects));
    if (repeated)
      ns::log("Skipped %d category list entries repeating an id listed before",
              static_cast<long long>(repeated));
    if (!saveItems(list)) {
      categoryListFailed(reportFailure);
      return;
    }
    navigationMenu_->setItems(prepareItems(ns::Value(list)));
    TLSettings::removeRefreshMainPageFlag();
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

void TLMenuNavigationController::categoryListFailed(bool reportFailure) {
  TLSettings::addRefreshMainPageFlag();
  navigationMenu_->setItems(prepareItems(getMenuItems()));
  // The home page waits for this to end the reload its button started.
  if (reportFailure) ns::NotificationCenter::defaultCenter()->postNotificationName(kReloadRubrik);
}
