// The open navigation menu over a stand-in home page, in a key window as the application shows it.
#include "MenuScenes.h"

#include "Classes/AKActivityButton.h"
#include "Classes/iphone/Navigation/TLMenuView_iphone.h"
#include "Foundation/RunLoop.h"
#include "UIKit/Device.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"
#include "UIKit/Window.h"

namespace scenes {

namespace {

// The home page's look in outline: toolbar, poster band and rows of poster tiles.
class StandInHomePage final : public ui::ViewController {
 public:
  void viewDidLoad() override {
    ui::ViewController::viewDidLoad();
    bool phone = !ui::isPad();
    auto v = view();
    double w = v->bounds().width();
    if (auto bg = ui::Image::imageNamed("background.png"))
      v->setBackgroundColor(ui::Color::colorWithPatternImage(bg));

    double bandHeight = phone ? w / 2 : 317;
    auto band = std::make_shared<ui::ImageView>()->initWithImage(ui::Image::imageNamed("photo1.jpeg"));
    band->setFrame({0, 44, w, bandHeight});
    band->setContentMode(ui::ViewContentMode::scaleAspectFill);
    band->setClipsToBounds(true);
    v->addSubview(band);

    double tileW = phone ? 140 : 220, tileH = phone ? 80 : 120, y = 44 + bandHeight + 20;
    for (int row = 0; row < 3; ++row) {
      auto heading = std::make_shared<ui::Label>()->initWithFrame({phone ? 10.0 : 18.0, y, 200, 30});
      heading->setBackgroundColor(std::nullopt);
      heading->setTextColor(ui::Color::colorWithRed(73 / 255.0, 123 / 255.0, 251 / 255.0, 1));
      heading->setFont(ui::Font::boldSystemFontOfSize(14));
      heading->setText(row == 0 ? "ФИЛЬМЫ" : row == 1 ? "СЕРИАЛЫ" : "ТЕЛЕПЕРЕДАЧИ");
      v->addSubview(heading);
      for (double x = phone ? 10 : 20; x < w; x += tileW + 15) {
        auto tile =
            std::make_shared<ui::ImageView>()->initWithImage(ui::Image::imageNamed("TLCinemaEmpty.png"));
        tile->setFrame({x, y + 34, tileW, tileH});
        v->addSubview(tile);
      }
      y += tileH + 60;
    }
    v->addSubview(makeToolbar(w, phone));
  }

 private:
  static std::shared_ptr<ui::Toolbar> makeToolbar(double w, bool phone) {
    auto bar = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, w, 44});
    bar->setBarStyle(ui::BarStyle::blackTranslucent);
    auto image = ui::Image::imageNamed(phone ? "toolbar.png" : "toolbarBg.png");
    if (image && phone) image = image->stretchableImageWithLeftCapWidth(3, 0);
    bar->setBackgroundImage(image, ui::ToolbarPosition::any, ui::BarMetrics::defaultMetrics);
    auto space = [](ui::BarButtonSystemItem kind, double width = 0) {
      auto item = std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(kind);
      item->setWidth(width);
      return item;
    };
    auto custom = [](std::shared_ptr<ui::View> view) {
      return std::make_shared<ui::BarButtonItem>()->initWithCustomView(std::move(view));
    };
    auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
    auto reload = AKActivityButton::buttonWithType(ui::ButtonType::custom);
    reload->setFrame({0, 0, 50, 44});
    reload->setImage(ui::Image::imageNamed("reloadBt"));
    auto logo = std::make_shared<ui::ImageView>()->initWithImage(ui::Image::imageNamed("logoTL.png"));
    auto fixed = space(ui::BarButtonSystemItem::fixedSpace, -10);
    auto flex = [&] { return space(ui::BarButtonSystemItem::flexibleSpace); };
    if (phone) {
      menu->setFrame({0, 0, 39, 30});
      menu->setBackgroundImage(ui::Image::imageNamed("menuBtIphone.png"), ui::ControlStateNormal);
      bar->setItems({fixed, flex(), custom(reload), flex(), custom(logo), flex(), custom(menu)});
    } else {
      menu->setFrame({0, 0, 140, 44});
      menu->setBackgroundImage(ui::Image::imageNamed("menuBt2.png"), ui::ControlStateNormal);
      menu->setTitle("     Навигация", ui::ControlStateNormal);
      menu->titleLabel()->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16));
      bar->setItems({fixed, custom(menu), flex(), custom(logo), flex(), custom(reload)});
    }
    return bar;
  }
};

ns::Array menuItems() {
  const char* const entries[][2] = {
      {"0", "Главная"},      {"1", "Фильмы"}, {"2", "Сериалы"}, {"3", "Телепередачи"},
      {"31", "Мультфильмы"}, {"29", "Спорт"}, {"28", "Музыка"}, {"4", "Документальное кино"},
      {"5", "Детское кино"}, {"6", "Юмор"},   {"7", "Театр"}};
  ns::Array items;
  for (const auto& [id, title] : entries) items.push_back(ns::Dictionary{{"id", id}, {"title", title}});
  return items;
}

}  // namespace

std::shared_ptr<ui::View> openMenuOverHomePage() {
  auto previousKey = ui::Window::keyWindow();
  auto window = std::make_shared<ui::Window>()->initWithFrame(ui::Screen::mainScreen()->bounds());
  window->makeKeyAndVisible();
  auto home = std::make_shared<StandInHomePage>();
  home->init();
  auto nav = std::make_shared<ui::NavigationController>()->initWithRootViewController(home);
  nav->setNavigationBarHidden(true);
  window->setRootViewController(nav);

  // The menu as its navigation controller sets it up: over the whole view, above the pages.
  cg::Rect bounds = nav->view()->bounds();
  std::shared_ptr<TLMenuView> menu;
  if (ui::isPad()) {
    menu = std::make_shared<TLMenuView>()->initWithFrame(bounds);
  } else {
    auto phoneMenu = std::make_shared<TLMenuView_iphone>()->initWithFrame(bounds);
    phoneMenu->setNavController(nav);
    menu = phoneMenu;
  }
  nav->view()->addSubview(menu);
  menu->setItems(menuItems());
  menu->menuTable()->selectRowAtIndexPath(ns::IndexPath::indexPathForRow(2, 0), false,
                                          ui::TableViewScrollPosition::none);
  menu->showMenuWithAnimation(false);
  menu->mySearchBar()->setText("мульт");
  // The run loop's turn: the show ends and the window is laid out, as on screen.
  ns::RunLoop::mainRunLoop()->runOnce(0);
  window->layoutIfNeeded();
  // The process's key window stays as it was.
  window->resignKeyWindow();
  if (previousKey) previousKey->makeKeyWindow();
  // The controller owns the menu through its view; the window keeps the controller.
  return window;
}

}  // namespace scenes
