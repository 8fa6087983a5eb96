// The slide-out menu of both idioms, driven by simulated taps and typing: its geometry, its
// animations on the manual clock, the order of its reports, the row marking and the search rule.
#include <gtest/gtest.h>

#include "Classes/iphone/Navigation/TLMenuView_iphone.h"
#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "MenuTestSupport.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "UIKit/AlertView.h"
#include "UIKit/NavigationController.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "support/CaseName.h"

namespace {

using Log = std::vector<std::string>;
using testsupport::menuItem;

struct Idiom {
  const char* name;
  bool phone;
};

const Idiom kIdioms[] = {{"tablet", false}, {"phone", true}};

class TLMenuViewTest : public ::testing::TestWithParam<Idiom> {
 protected:
  void SetUp() override {
    bool phone = GetParam().phone;
    screen_ = std::make_unique<testsupport::ScreenScope>(phone ? ui::DeviceProfile::phone()
                                                               : ui::DeviceProfile::tablet());
    home_ = testsupport::probe("home", std::make_shared<Log>());
    nav_ = std::make_shared<ui::NavigationController>()->initWithRootViewController(home_);
    nav_->setNavigationBarHidden(true);
    screen_->showWindow(nav_);
    cg::Rect bounds = nav_->view()->bounds();
    if (phone) {
      auto menu = std::make_shared<TLMenuView_iphone>()->initWithFrame(bounds);
      menu->setNavController(nav_);
      menu_ = menu;
    } else {
      menu_ = std::make_shared<TLMenuView>()->initWithFrame(bounds);
    }
    menu_->setDelegate(events_);
    nav_->view()->addSubview(menu_);
    menu_->setItems({menuItem("0", "Главная"), menuItem("5", "Фильмы"), menuItem("6", "Сериалы"),
                     menuItem("6", "Ещё сериалы")});
    settle();
  }
  void TearDown() override {
    menu_.reset();
    nav_.reset();
    screen_.reset();
  }

  // Runs what is due now: zero-length animations end, the window is laid out.
  static void settle() { ns::RunLoop::mainRunLoop()->runOnce(0); }
  double width() const { return GetParam().phone ? 320 : 768; }
  double closedX() const { return GetParam().phone ? 262 : -230; }
  std::shared_ptr<ui::Button> closeButton() const {
    for (const auto& v : menu_->toolbar()->subviews())
      if (auto b = std::dynamic_pointer_cast<ui::Button>(v)) return b;
    return nullptr;
  }
  void openMenu() {
    menu_->showMenuWithAnimation(false);
    settle();
    events_->log.clear();
  }
  void typeQuery(const std::string& query) {
    ui::tap(menu_->mySearchBar());
    ASSERT_TRUE(menu_->mySearchBar()->isFirstResponder());
    menu_->mySearchBar()->simulateTyping(query);
  }
  std::optional<int> selectedRow() const {
    auto path = menu_->menuTable()->indexPathForSelectedRow();
    return path ? std::optional<int>(path->row()) : std::nullopt;
  }

  ns::ManualClock clock_;
  std::unique_ptr<testsupport::ScreenScope> screen_;
  std::shared_ptr<testsupport::ProbeController> home_;
  std::shared_ptr<ui::NavigationController> nav_;
  std::shared_ptr<TLMenuView> menu_;
  std::shared_ptr<testsupport::MenuEvents> events_ = std::make_shared<testsupport::MenuEvents>();
};

TEST_P(TLMenuViewTest, ClosedItIsHiddenOffScreenAndTakesNoTouch) {
  EXPECT_TRUE(menu_->isHidden());
  EXPECT_EQ(menu_->menuArea()->frame().x(), GetParam().phone ? width() + 250 : -230);
  EXPECT_EQ(menu_->backgroundBt()->alpha(), 0);
  auto hit = screen_->window()->hitTest({100, 300}, nullptr);
  EXPECT_FALSE(hit && hit->isDescendantOfView(menu_.get()));
}

TEST_P(TLMenuViewTest, TheButtonsShowAndHideItOverHalfASecond) {
  const bool phone = GetParam().phone;
  for (bool byCloseButton : {true, false}) {
    SCOPED_TRACE(byCloseButton ? "close button" : "backdrop");
    events_->log.clear();
    menu_->showMenuWithAnimation(true);
    EXPECT_EQ(events_->log, (Log{"willShow"}));
    EXPECT_FALSE(menu_->isHidden()) << "visible and touchable from the start of the animation";
    EXPECT_EQ(menu_->menuArea()->frame().x(), 0);
    EXPECT_EQ(menu_->backgroundBt()->alpha(), 0.6);
    EXPECT_EQ(home_->view()->bounds().x(), phone ? 262 : 0) << "the phone pushes the page aside";
    clock_.advance(0.49);
    EXPECT_EQ(events_->log.size(), 1u);
    clock_.advance(0.02);
    EXPECT_EQ(events_->log, (Log{"willShow", "didShow"}));

    events_->log.clear();
    if (byCloseButton)
      ui::tap(closeButton());
    else
      ui::tapAtPoint(screen_->window(), {phone ? 30.0 : 500.0, 300});
    EXPECT_EQ(events_->log, (Log{"willHide"}));
    EXPECT_EQ(menu_->menuArea()->frame().x(), closedX());
    EXPECT_EQ(menu_->backgroundBt()->alpha(), 0);
    EXPECT_EQ(home_->view()->bounds().x(), 0);
    EXPECT_FALSE(menu_->isHidden()) << "visible until the animation ends";
    clock_.advance(0.5);
    EXPECT_EQ(events_->log, (Log{"willHide", "didHide"}));
    EXPECT_TRUE(menu_->isHidden());
  }
}

// What a picture of the window shows of the menu: along a row below the menu's rows where the panel
// ends (tablet) or the list begins (phone), the tablet's backdrop over the white page, and where a
// red mark of the page's content lies (-1 off the screen).
struct MenuPicture {
  int panelEdge = -1;
  double backdropRed = 1;
  int markLeft = -1;
};

TEST_P(TLMenuViewTest, HalfWayTheScreenShowsTheMenuSlidingWhileTheModelIsAtTheEnd) {
  const bool phone = GetParam().phone;
  auto page = home_->view();
  page->setBackgroundColor(ui::Color::whiteColor());
  // Rows of the window's picture, below the status bar: the mark's, and one under the menu's rows.
  const int markRow = 330, row = 400;
  auto mark = std::make_shared<ui::View>()->initWithFrame({150, markRow - 30, 20, 20});
  mark->setBackgroundColor(ui::Color::redColor());
  page->addSubview(mark);
  if (!phone) menu_->menuArea()->setBackgroundColor(ui::Color(cg::Color::rgba(0, 1, 0)));
  auto look = [&](std::optional<double> time) {
    auto picture = ui::renderView(screen_->window(), ui::RenderOptions{1, time});
    MenuPicture seen;
    for (int x = 0; x < picture->pixelWidth() && seen.panelEdge < 0; ++x) {
      cg::Color c = picture->colorAt(x, row);
      if (phone ? c.red < 0.5 : !(c.green > 0.9 && c.red < 0.1)) seen.panelEdge = x;
    }
    seen.backdropRed = picture->colorAt(phone ? 0 : 600, row).red;
    for (int x = 0; x < picture->pixelWidth() && seen.markLeft < 0; ++x) {
      cg::Color c = picture->colorAt(x, markRow);
      if (c.red > 0.9 && c.green < 0.1) seen.markLeft = x;
    }
    return seen;
  };
  menu_->showMenuWithAnimation(true);
  clock_.advance(TLMenuView::kAnimationDuration / 2);
  MenuPicture half = look(clock_.now()), model = look(std::nullopt);
  if (phone) {
    // The list comes in from beyond the right edge as the page goes 131 of its 262 points left.
    EXPECT_NEAR(half.panelEdge, 320 - 262 + 131, 2);
    EXPECT_NEAR(half.markLeft, 150 - 131, 2);
    EXPECT_NEAR(model.panelEdge, 320 - 262, 2);
    EXPECT_EQ(model.markLeft, -1) << "the model has the page aside";
  } else {
    // The panel is half-way from -230 to 0; the black backdrop at 30 % of its 60 %.
    EXPECT_NEAR(half.panelEdge, 220 - 115, 2);
    EXPECT_NEAR(half.backdropRed, 1 - 0.3, 0.02);
    EXPECT_NEAR(model.panelEdge, 220, 2);
    EXPECT_NEAR(model.backdropRed, 1 - 0.6, 0.02);
  }
  clock_.advance(TLMenuView::kAnimationDuration / 2 + 0.01);
  MenuPicture open = look(clock_.now());
  EXPECT_EQ(open.panelEdge, model.panelEdge);
  EXPECT_EQ(open.markLeft, model.markLeft);

  menu_->hideMenuWithAnimation(true);
  clock_.advance(TLMenuView::kAnimationDuration / 2);
  half = look(clock_.now());
  if (phone) {
    EXPECT_NEAR(half.panelEdge, 320 - 262 + 131, 2);
    EXPECT_NEAR(half.markLeft, 150 - 131, 2);
  } else {
    EXPECT_NEAR(half.panelEdge, 220 - 115, 2);
    EXPECT_NEAR(half.backdropRed, 1 - 0.3, 0.02);
  }
  EXPECT_EQ(look(std::nullopt).markLeft, 150) << "the model has the page back in place";
}

TEST_P(TLMenuViewTest, WithoutAnimationTheEventsComeInOrderOnTheNextTurn) {
  menu_->showMenuWithAnimation(false);
  EXPECT_EQ(events_->log, (Log{"willShow"}));
  settle();
  menu_->hideMenuWithAnimation(false);
  settle();
  EXPECT_EQ(events_->log, (Log{"willShow", "didShow", "willHide", "didHide"}));
  EXPECT_TRUE(menu_->isHidden());
  EXPECT_EQ(menu_->menuArea()->frame().x(), closedX());
  // Hiding a closed menu reports both events again and leaves it hidden.
  menu_->hideMenuWithAnimation(false);
  settle();
  EXPECT_EQ(events_->log.size(), 6u);
  EXPECT_TRUE(menu_->isHidden());
}

TEST_P(TLMenuViewTest, OnlyThePhonePushesThePageAsideAndOnlyOnce) {
  const bool phone = GetParam().phone;
  auto page = home_->view();
  page->setBounds({phone ? 262.0 : 0.0, 0, width(), page->bounds().height()});
  openMenu();
  EXPECT_EQ(page->bounds().x(), phone ? 262 : 0) << "a page already aside is not pushed twice";
  menu_->showMenuWithAnimation(false);
  EXPECT_EQ(page->bounds().x(), phone ? 262 : 0);
  menu_->hideMenuWithAnimation(false);
  EXPECT_EQ(page->bounds().x(), 0);
  menu_->hideMenuWithAnimation(false);
  EXPECT_EQ(page->bounds().x(), 0) << "a page in place stays in place";
}

struct QueryCase {
  const char* name;
  std::string query;
  bool searches;
};

TEST_P(TLMenuViewTest, OnlyQueriesOfThreeCharactersOrMoreAreReported) {
  const QueryCase cases[] = {
      {"two letters between blanks", "  ab ", false},
      {"three after a blank", " abc", true},
      {"empty", "", false},
      {"blanks and line ends", " \n\t \r", false},
      {"cyrillic", "ёжи", true},
      {"one emoji counts two", "😀a", true},
  };
  for (const QueryCase& c : cases) {
    SCOPED_TRACE(c.name);
    openMenu();
    menu_->menuTable()->selectRowAtIndexPath(ns::IndexPath::indexPathForRow(1, 0), false,
                                             ui::TableViewScrollPosition::none);
    ui::AlertView::dismissAll();
    typeQuery(c.query);
    ASSERT_TRUE(menu_->mySearchBar()->simulateSearchKey());
    auto alerts = ui::AlertView::visibleAlerts();
    if (c.searches) {
      EXPECT_EQ(events_->log, (Log{"search [" + c.query + "]"})) << "the query goes out as typed";
      EXPECT_TRUE(alerts.empty());
      // The tablet unmarks the row before it reports; the phone leaves it.
      EXPECT_EQ(selectedRow(), GetParam().phone ? std::optional<int>(1) : std::nullopt);
    } else {
      EXPECT_TRUE(events_->log.empty());
      ASSERT_EQ(alerts.size(), 1u);
      EXPECT_EQ(alerts[0]->title(), "");
      EXPECT_EQ(alerts[0]->message(), "Слишком короткий запрос.");
      EXPECT_EQ(alerts[0]->buttonTitleAtIndex(0), "OK");
      EXPECT_EQ(alerts[0]->numberOfButtons(), 1);
      EXPECT_FALSE(ui::Responder::isKeyboardShown());
      EXPECT_EQ(selectedRow(), 1);
    }
    EXPECT_EQ(menu_->mySearchBar()->text(), c.query) << "the view itself never clears a search";
    menu_->mySearchBar()->setText("");
  }
}

TEST_P(TLMenuViewTest, ATouchedRowClearsTheSearchThenIsReported) {
  openMenu();
  typeQuery("xyz");
  auto cell = menu_->menuTable()->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(2, 0));
  ASSERT_TRUE(cell);
  ui::tap(cell);
  EXPECT_EQ(events_->log, (Log{"select 2"}));
  EXPECT_EQ(menu_->mySearchBar()->text(), "");
  EXPECT_FALSE(ui::Responder::isKeyboardShown());
  EXPECT_EQ(selectedRow(), 2) << "the table marked the row; the view leaves it";
  EXPECT_FALSE(menu_->isHidden()) << "the owner decides whether the menu closes";
  // Every hiding empties the field too.
  typeQuery("abc");
  menu_->hideMenuWithAnimation(false);
  EXPECT_EQ(menu_->mySearchBar()->text(), "");
}

TEST_P(TLMenuViewTest, RowsAreMarkedByItemsAndIdsWithoutReports) {
  EXPECT_EQ(selectedRow(), 0) << "a new list marks its first row";
  struct Step {
    const char* id;
    std::optional<int> row;
  };
  const Step steps[] = {{"6", 2}, {"5", 1}, {"0", 0}, {"6", 2}, {"99", 2}, {"", 2}};
  for (const Step& s : steps) {
    menu_->selectMenuItemById(s.id);
    EXPECT_EQ(selectedRow(), s.row) << "id " << s.id;
  }
  menu_->setItems({menuItem("3", "Один")});
  EXPECT_EQ(selectedRow(), 0);
  menu_->setItems({});
  EXPECT_EQ(menu_->menuTable()->numberOfRowsInSection(0), 0);
  EXPECT_EQ(selectedRow(), std::nullopt) << "an empty list marks nothing";
  menu_->selectMenuItemById("3");
  EXPECT_EQ(selectedRow(), std::nullopt);
  EXPECT_TRUE(events_->log.empty());
}

TEST_P(TLMenuViewTest, TheRowsOfTheWholeCatalogueScrollIntoView) {
  ns::Array items{menuItem("0", "Главная")};
  for (int i = 1; i <= 10; ++i)
    items.push_back(menuItem(std::to_string(100 + i), "Рубрика " + std::to_string(i)));
  menu_->setItems(items);
  auto table = menu_->menuTable();
  double visible = table->bounds().height();
  // The navigation's view, which the menu covers, lies below the status bar.
  EXPECT_EQ(visible, GetParam().phone ? 460 - 62 : 1004 - 120);
  menu_->selectMenuItemById("110");
  EXPECT_EQ(selectedRow(), 10);
  EXPECT_EQ(table->contentOffset().y, std::max(0.0, 11 * 44 - visible));
  EXPECT_TRUE(table->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(10, 0)));
}

TEST_P(TLMenuViewTest, TheGeometryFollowsTheIdiom) {
  cg::Rect area = menu_->menuArea()->frame();
  // The navigation's view, which the menu covers, lies below the status bar.
  double h = GetParam().phone ? 460 : 1004;
  EXPECT_EQ(area.height(), h);
  EXPECT_EQ(menu_->toolbar()->frame(), (cg::Rect{0, 20, area.width(), 44}));
  EXPECT_EQ(menu_->backgroundBt()->frame(), (cg::Rect{0, 0, width(), h}));
  auto bar = menu_->mySearchBar();
  EXPECT_FALSE(bar->showsBarBackground());
  EXPECT_EQ(bar->searchFieldTextColor(), ui::Color::grayColor());
  EXPECT_EQ(bar->searchFieldBackgroundImageForState(ui::ControlStateNormal)->name(), "search_bar_background");
  EXPECT_EQ(menu_->menuTable()->separatorStyle(), ui::TableViewCellSeparatorStyle::none);
  cg::Rect table = menu_->menuTable()->convertRectToView(menu_->menuTable()->bounds(), menu_->menuArea());
  if (GetParam().phone) {
    EXPECT_EQ(area.width(), 320);
    EXPECT_EQ(bar->frame(), (cg::Rect{65, 27, 250, 30}));
    EXPECT_EQ(closeButton()->frame(), (cg::Rect{0, 0, 60, 44}));
    EXPECT_EQ(table, (cg::Rect{320 - 262, 64, 262, h - 62}));
    EXPECT_TRUE(menu_->menuTable()->layer()->mask());
  } else {
    EXPECT_EQ(area.width(), 220);
    EXPECT_EQ(bar->frame(), (cg::Rect{10, 75, 198, 30}));
    EXPECT_EQ(closeButton()->frame(), (cg::Rect{0, 0, 55, 44}));
    EXPECT_EQ(table, (cg::Rect{0, 120, 220, h - 120}));
    EXPECT_EQ(menu_->menuArea()->layer()->shadowOpacity(), 0.5);
  }
}

INSTANTIATE_TEST_SUITE_P(Idioms, TLMenuViewTest, ::testing::ValuesIn(kIdioms), testsupport::CaseName());

}  // namespace
