// What rubric rows show: headings measured with a fake measurer, tile layouts and their frames, the
// scroll offset, long lists built off the main thread and stopped, persons rows, and what a finger
// on a tile does.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLRolesItem.h"
#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"
#include "Classes/iphone/MainPage/TLVideoItemPriview_iphone.h"
#include "Foundation/Clock.h"
#include "Foundation/PropertyList.h"
#include "RowTestSupport.h"
#include "UIKit/Font.h"
#include "UIKit/TouchSimulation.h"

namespace {

using ns::Value;
using testsupport::NotificationRecorder;
using testsupport::RecordingRowDelegate;

const cg::Rect kTabletFrame{0, 0, 1024, 410};
const cg::Rect kPhoneFrame{0, 0, 320, 330};

// Episode records as a title list gives them, without posters unless a URL is given.
ns::Array episodes(int count, const std::string& url = "") {
  ns::Array items;
  for (int i = 0; i < count; ++i)
    items.push_back(ns::Dictionary{{"name", "Серия " + std::to_string(i)},
                                   {"description", ""},
                                   {"url", url},
                                   {"image", ""},
                                   {"id", std::to_string(500 + i)},
                                   {"parent_id", "1263"},
                                   {"item_type", "ser"}});
  return items;
}

template <class Tile>
std::vector<std::shared_ptr<Tile>> tilesOf(const std::shared_ptr<ui::ScrollView>& scroll) {
  std::vector<std::shared_ptr<Tile>> tiles;
  if (scroll)
    for (const auto& v : scroll->subviews())
      if (auto t = std::dynamic_pointer_cast<Tile>(v)) tiles.push_back(t);
  return tiles;
}

std::shared_ptr<TLRubricScrollView> episodeRow() {
  auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(std::nullopt, kTabletFrame, "ser");
  row->setIsButtonEnabled(false);
  return row;
}

TEST(RubricRowViewTest, TheOffsetBringsTheItemInWithoutShowingPastTheEnd) {
  struct Case {
    double view, content;
    int n;
    double offset;
  };
  const Case cases[] = {
      {1024, 3545, 14, 2521}, {1024, 3545, 0, 0},      {1024, 500, 1, 0},  {1024, 3545, 3, 705},
      {1024, 11770, 4, 940},  {1024, 3545, 100, 2521}, {1024, 1024, 2, 0}, {1024, 3545, -2, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TLRubricScrollView::calculateContentOffsetWithViewWidth(c.view, c.content, 235, c.n), c.offset)
        << c.content << " " << c.n;
}

class RubricRowHeadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::clearAppCaches();
    ns::FileManager::defaultManager()->createDirectoryAtPath(ns::cachesDirectory() + "/userCache", true);
    ASSERT_TRUE(ns::writePropertyListToFile(
        Value(ns::Array{ns::Dictionary{{"id", "5"}, {"title", "Мультфильмы"}, {"url", "u"}},
                        ns::Dictionary{{"id", "6"}, {"title", "Спорт"}, {"url", "u"}}}),
        TLSettings::cashedCategoriesFile()));
  }
  // Widths by text; every measurement is recorded with its box.
  std::map<std::string, double> widths;
  std::vector<cg::Size> boxes;
  ui::ScopedTextMeasurer measurer{
      [this](const std::string& text, const ui::Font* font, cg::Size box, ui::LineBreakMode) {
        EXPECT_TRUE(font && font->fontName() == "System-Bold" && font->pointSize() == 14);
        boxes.push_back(box);
        auto it = widths.find(text);
        return cg::Size{it == widths.end() ? 50.0 : it->second, 17};
      }};
};

TEST_F(RubricRowHeadingTest, LongHeadingsWidenPastTheThreshold) {
  struct Case {
    bool phone;
    double measured;
    double width;
  };
  const Case cases[] = {{false, 120, 200}, {false, 150, 200}, {false, 180, 200}, {false, 260, 280},
                        {true, 90, 100},   {true, 100, 100},  {true, 130, 150}};
  for (const Case& c : cases) {
    widths["МУЛЬТФИЛЬМЫ"] = c.measured;
    boxes.clear();
    std::shared_ptr<ui::Button> heading;
    if (c.phone) {
      auto row =
          std::make_shared<TLRubricScrollView_iphone>()->initWithUrl(std::nullopt, kPhoneFrame, "popular");
      row->createLabel({10, 0, 100, 37}, "5");
      heading = row->rubrikLabel();
    } else {
      auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(std::nullopt, kTabletFrame, "popular");
      row->createLabel({18, 0, 200, 37}, "5");
      heading = row->rubrikLabel();
    }
    ASSERT_TRUE(heading);
    EXPECT_EQ(heading->frame(), (cg::Rect{c.phone ? 10.0 : 18.0, 0, c.width, 37})) << c.measured;
    EXPECT_EQ(boxes, (std::vector<cg::Size>{{c.phone ? 320.0 : 1000.0, 40}}));
  }
}

TEST_F(RubricRowHeadingTest, CategoryHeadingsOpenTheirCategoryAndListHeadingsNothing) {
  NotificationRecorder shown("TLShowCategory");
  auto home = std::make_shared<TLRubricScrollView>()->initForMainPageWithUrl(
      ns::URL::URLWithString("http://h/api?method=get_category&category_id=5&popular_quantity=15"),
      kTabletFrame, "popular");
  auto heading = home->rubrikLabel();
  ASSERT_TRUE(heading);
  EXPECT_EQ(heading->titleForState(ui::ControlStateNormal), "МУЛЬТФИЛЬМЫ");
  EXPECT_EQ(heading->tag(), 5);
  EXPECT_EQ(heading->titleColorForState(ui::ControlStateNormal),
            ui::Color::colorWithRed(73 / 255.0, 123 / 255.0, 251 / 255.0, 1));
  EXPECT_TRUE(heading->backgroundImageForState(ui::ControlStateNormal));
  ui::tap(heading);
  ASSERT_EQ(shown.objects.size(), 1u);
  EXPECT_EQ(shown.objects[0], Value(ns::Dictionary{{"categoryId", "5"}}));

  // A heading built again replaces the old button.
  home->createLabel({18, 0, 200, 37}, "6");
  EXPECT_FALSE(heading->superview());
  EXPECT_EQ(home->rubrikLabel()->titleForState(ui::ControlStateNormal), "СПОРТ");

  struct Case {
    const char* text;
    bool enabled;
  };
  for (const Case& c : {Case{"РЕКОМЕНДУЕМ ПОСМОТРЕТЬ", false}, Case{"ДРУГОЕ", false},
                        Case{"ВЫБОР ЭПИЗОДА", true}, Case{"СМОТРИТЕ ТАКЖЕ", true}, Case{"0", true}}) {
    auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(std::nullopt, kTabletFrame, "popular");
    row->dataHasBeenLoadedForCategory(c.text, episodes(2));
    auto button = row->rubrikLabel();
    EXPECT_EQ(button->tag(), -1000) << c.text;
    EXPECT_EQ(button->isEnabled(), c.enabled) << c.text;
    EXPECT_EQ(button->allControlEvents(), unsigned(ui::ControlEventTouchUpInside)) << "keeps its action";
    EXPECT_EQ(button->titleForState(ui::ControlStateNormal), c.text == std::string("0") ? "0" : c.text);
    ui::tap(button);
  }
  EXPECT_EQ(shown.objects.size(), 1u) << "list headings post nothing";

  // The phone names the category by id alone and has no disabled heading.
  auto phone =
      std::make_shared<TLRubricScrollView_iphone>()->initWithUrl(std::nullopt, kPhoneFrame, "popular");
  phone->createLabel({10, 0, 100, 37}, "6");
  EXPECT_EQ(phone->rubrikLabel()->titleForState(ui::ControlStateNormal), "СПОРТ");
  ui::tap(phone->rubrikLabel());
  ASSERT_EQ(shown.objects.size(), 2u);
  EXPECT_EQ(shown.objects[1], Value(ns::Dictionary{{"categoryId", "6"}}));
}

TEST_F(RubricRowHeadingTest, PersonsRowsShowOneTileAPersonUnderTheirHeading) {
  NotificationRecorder actor("TLShowActorPage");
  widths["ПЕРСОНЫ"] = 90;
  ns::Array people{
      ns::Dictionary{{"fullname", "Анна Петрова"}, {"id", "31"}, {"photo_76x101", ""}},
      ns::Dictionary{
          {"fullname", "Иван Сидоров"}, {"id", 32}, {"photo_76x101", ""}, {"description", "режиссёр"}}};
  auto row = std::make_shared<TLRubricScrollView>()->initWithFrame(kTabletFrame, people);
  EXPECT_EQ(row->rubrikLabel()->frame(), (cg::Rect{18, 0, 150, 37}));
  EXPECT_EQ(row->rubrikLabel()->titleForState(ui::ControlStateNormal), "ПЕРСОНЫ");
  EXPECT_EQ(row->rubrikLabel()->allControlEvents(), 0u);
  auto tiles = tilesOf<TLRolesItem>(row->scrollView());
  ASSERT_EQ(tiles.size(), 2u);
  EXPECT_EQ(tiles[0]->frame(), (cg::Rect{20, 52, 220, 170}));
  EXPECT_EQ(tiles[1]->frame(), (cg::Rect{255, 52, 220, 170}));
  EXPECT_FALSE(tiles[0]->descrLabel());
  ASSERT_TRUE(tiles[1]->descrLabel());
  EXPECT_EQ(tiles[1]->loadPriority(), -1);
  EXPECT_EQ(row->scrollView()->contentSize(), (cg::Size{2 * 235 + 20, 410}));
  ASSERT_TRUE(row->bgImageView());
  EXPECT_EQ(row->bgImageView()->frame(), (cg::Rect{0, 396, 1024, 4}));
  EXPECT_FALSE(row->activityView()->isAnimating());
  // A numeric person id still names the person.
  ui::tap(tiles[1]->imageBt());
  ASSERT_EQ(actor.objects.size(), 1u);
  EXPECT_EQ(actor.objects[0]["id"], Value("32"));
}

TEST(RubricRowLayoutTest, EpisodeRowsLineUpAndScrollToTheSelectedEpisode) {
  auto row = episodeRow();
  row->setIsItemSelected(true);
  row->setSelectedIndex("4");
  row->dataHasBeenLoadedForCategory("ВЫБОР ЭПИЗОДА", episodes(15));
  auto tiles = tilesOf<TLVideoItemPriview>(row->scrollView());
  ASSERT_EQ(tiles.size(), 15u) << "fewer than 50 are built at once";
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    EXPECT_EQ(tiles[i]->frame().origin, (cg::Point{20 + 235.0 * i, 47})) << i;
    EXPECT_EQ(tiles[i]->itemIndex(), int(i));
    EXPECT_EQ(tiles[i]->loadPriority(), 2);
    EXPECT_TRUE(tiles[i]->typeIsEpisode());
    EXPECT_EQ(tiles[i]->isItemSelected(), i == 4) << i;
    EXPECT_EQ(tiles[i]->parent_id(), "1263");
  }
  EXPECT_EQ(tiles[4]->backgroundColor(), ui::Color::whiteColor());
  EXPECT_EQ(row->scrollView()->contentSize(), (cg::Size{15 * 235 + 20, 410}));
  EXPECT_EQ(row->scrollView()->contentOffset(), (cg::Point{940, 0}));
  EXPECT_FALSE(row->activityView()->isAnimating());
  EXPECT_FALSE(row->operationQueue());
}

// Turned to landscape and back: a widened row shows no empty band past its last episode, and the
// marked episode stays in view, where the first layout put it when the turn took it out of view;
// a row that marks nothing keeps what it shows.
TEST(RubricRowLayoutTest, ATurnKeepsTheRowWithinItsContentAndTheMarkedEpisodeInView) {
  constexpr double kContent = 15 * 235 + 20;
  struct Case {
    std::optional<int> marked;
    double portrait, landscape, back;  // offsets
  };
  const Case cases[] = {
      {14, kContent - 768, kContent - 1024, kContent - 768},
      {7, 7 * 235, 7 * 235, 7 * 235},
      {0, 0, 0, 0},
      // Scrolled to its end by hand.
      {std::nullopt, kContent - 768, kContent - 1024, kContent - 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.marked ? std::to_string(*c.marked) : "none");
    auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(std::nullopt, {0, 0, 768, 410}, "ser");
    row->setIsButtonEnabled(false);
    row->setIsItemSelected(c.marked.has_value());
    row->setSelectedIndex(std::to_string(c.marked.value_or(0)));
    row->dataHasBeenLoadedForCategory("ВЫБОР ЭПИЗОДА", episodes(15));
    row->layoutIfNeeded();
    if (!c.marked) row->scrollView()->setContentOffset({kContent - 768, 0});
    auto tiles = tilesOf<TLVideoItemPriview>(row->scrollView());
    ASSERT_EQ(tiles.size(), 15u);
    for (auto [width, offset] : {std::pair{768.0, c.portrait}, {1024.0, c.landscape}, {768.0, c.back}}) {
      row->setFrame({0, 0, width, 410});
      row->layoutIfNeeded();
      cg::Rect shown = row->scrollView()->bounds();
      EXPECT_EQ(shown.x(), offset) << width;
      EXPECT_LE(shown.maxX(), kContent) << width;
      if (c.marked) {
        cg::Rect marked = tiles[std::size_t(*c.marked)]->frame();
        EXPECT_TRUE(shown.contains(marked))
            << width << ": " << cg::describe(marked) << " in " << cg::describe(shown);
      }
    }
  }
}

class RubricRowBuildTest : public testsupport::CachedSampleServiceSuite {
 protected:
  // The catalogue's popular titles of category 1, as rows hold them.
  static ns::Array popularTiles(std::size_t count) {
    httplib::Client client("127.0.0.1", server_->port());
    auto res = client.Get("/api/mobile?platform=ios&method=get_category&category_id=1&popular_quantity=15");
    ns::Array tiles;
    Value reply = testsupport::jsonText(res ? res->body : "");
    for (std::size_t i = 0; i < reply["items"].at(1)["items"].count() && tiles.size() < count; ++i) {
      const Value& item = reply["items"].at(1)["items"].at(i);
      ns::Dictionary tile{{"name", TLSettings::stringFromObject(item["title"])},
                          {"description", TLSettings::stringFromObject(item["description"])},
                          {"url", TLSettings::stringFromObject(item["url"])},
                          {"image", TLSettings::stringFromObject(item["image"])},
                          {"id", std::to_string(9000 + tiles.size())},
                          {"image_big", TLSettings::stringFromObject(item["image_big"])},
                          {"rating", "4"}};
      tiles.push_back(tile);
    }
    return tiles;
  }
};

TEST_F(RubricRowBuildTest, BigPosterRowsPutTheFirstItemBigAndTheRestInTwoRows) {
  ns::Array items = popularTiles(15);
  ASSERT_EQ(items.size(), 15u);
  ns::Dictionary first = *items[0].asDictionary();
  first.set("image_big", "");
  items[0] = first;

  auto tablet = std::make_shared<TLRubricScrollView>()->initWithUrl(std::nullopt, kTabletFrame, "popular");
  tablet->setIsBIG(true);
  tablet->dataHasBeenLoadedForCategory("1", items);
  auto phone =
      std::make_shared<TLRubricScrollView_iphone>()->initWithUrl(std::nullopt, kPhoneFrame, "popular");
  auto delegate = std::make_shared<RecordingRowDelegate>();
  phone->setRubricDelegate(delegate);
  phone->dataHasBeenLoadedForCategory("1", items);
  EXPECT_TRUE(delegate->reports.empty()) << "the phone reports once its tiles are built";
  ASSERT_TRUE(testsupport::spinUntil([&] { return !delegate->reports.empty(); }));
  EXPECT_EQ(delegate->reports, std::vector<bool>{true});
  EXPECT_FALSE(phone->activityView());

  struct Twin {
    const char* name;
    std::vector<std::shared_ptr<TLVideoItemPriviewBase>> tiles;
    std::shared_ptr<ui::ScrollView> scroll;
    cg::Point bigOrigin;
    double gap, element, lowerY;
    int priority;
  };
  auto base = [](auto tiles) {
    return std::vector<std::shared_ptr<TLVideoItemPriviewBase>>(tiles.begin(), tiles.end());
  };
  const Twin twins[] = {
      {"tablet",
       base(tilesOf<TLVideoItemPriview>(tablet->scrollView())),
       tablet->scrollView(),
       {20, 45},
       30,
       235,
       225,
       2},
      {"phone",
       base(tilesOf<TLVideoItemPriview_iphone>(phone->scrollView())),
       phone->scrollView(),
       {12, 45},
       20,
       174,
       180,
       -1},
  };
  for (const Twin& t : twins) {
    ASSERT_EQ(t.tiles.size(), 15u) << t.name;
    const auto& big = t.tiles[0];
    EXPECT_EQ(big->style(), 1) << t.name;
    EXPECT_EQ(big->frame().origin, t.bigOrigin) << t.name;
    double W = big->frame().width();
    int upper = 0, lower = 0;
    for (std::size_t i = 1; i < 15; ++i) {
      const auto& tile = t.tiles[i];
      EXPECT_EQ(tile->title(), *items[i]["name"].asString()) << t.name << i;
      bool odd = i % 2 == 1;
      int column = odd ? upper++ : lower++;
      EXPECT_EQ(tile->frame().origin, (cg::Point{W + t.gap + column * t.element, odd ? 45 : t.lowerY}))
          << t.name << i;
      EXPECT_EQ(tile->loadPriority(), t.priority) << t.name;
      EXPECT_EQ(tile->rate(), 4);
    }
    EXPECT_EQ(upper, 7);
    EXPECT_EQ(lower, 7);
    EXPECT_EQ(t.scroll->contentSize().width, 7 * t.element + 25 + W) << t.name;
  }
  // An empty big poster falls back to the small one: on the phone through one setter.
  const auto& tabletBig = twins[0].tiles[0];
  EXPECT_EQ(tabletBig->imageUrl(), items[0]["image"].asString() ? *items[0]["image"].asString() : "");
  EXPECT_EQ(tabletBig->bigImageUrl(), tabletBig->imageUrl());
  EXPECT_EQ(twins[1].tiles[0]->imageUrl(), tabletBig->imageUrl());
  EXPECT_FALSE(twins[1].tiles[0]->bigImageUrl());
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return requestsUnder("/posters") + requestsUnder("/images") > 0; }));
}

TEST_F(RubricRowBuildTest, FiftyItemsAreBuiltOffTheMainThreadAndFortyNineAtOnce) {
  auto shortRow = episodeRow();
  shortRow->dataHasBeenLoadedForCategory("ВЫБОР ЭПИЗОДА", episodes(49));
  EXPECT_EQ(tilesOf<TLVideoItemPriview>(shortRow->scrollView()).size(), 49u);
  EXPECT_FALSE(shortRow->operationQueue());

  auto longRow = episodeRow();
  longRow->dataHasBeenLoadedForCategory("ВЫБОР ЭПИЗОДА", episodes(50));
  // Tiles go in on the main thread, which the test holds: none yet.
  EXPECT_TRUE(tilesOf<TLVideoItemPriview>(longRow->scrollView()).empty());
  EXPECT_TRUE(longRow->activityView()->isAnimating());
  ASSERT_TRUE(longRow->operationQueue());
  auto scroll = longRow->scrollView();
  // The main loop spins, reading the scroll view, while the tiles arrive.
  ASSERT_TRUE(testsupport::spinUntil([&] {
    (void)scroll->contentSize();
    return longRow->operationQueue()->operationCount() == 0 &&
           tilesOf<TLVideoItemPriview>(scroll).size() == 50;
  }));
  ASSERT_TRUE(testsupport::spinUntil([&] { return !longRow->activityView()->isAnimating(); }));
  auto tiles = tilesOf<TLVideoItemPriview>(scroll);
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    EXPECT_EQ(tiles[i]->loadPriority(), 3);
    EXPECT_EQ(tiles[i]->frame().origin.x, 20 + 235.0 * i);
    EXPECT_EQ(tiles[i]->title(), "Серия " + std::to_string(i)) << "texts set through the main thread";
  }
  EXPECT_EQ(scroll->contentSize(), (cg::Size{50 * 235 + 20, 410}));
  EXPECT_FALSE(scroll->isHidden());
}

TEST_F(RubricRowBuildTest, StoppingALongSeriesEndsItsBuildBetweenTiles) {
  auto delegate = std::make_shared<RecordingRowDelegate>();
  auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(apiURL("get_title&title_id=1263"),
                                                                 kTabletFrame, "series");
  row->setRubricDelegate(delegate);
  row->start();
  ASSERT_TRUE(testsupport::spinUntil([&] { return !delegate->reports.empty(); }));
  EXPECT_EQ(delegate->reports, std::vector<bool>{true});
  ASSERT_EQ(row->filmsArray().size(), 52u);
  auto scroll = row->scrollView();
  ASSERT_TRUE(testsupport::spinUntil([&] { return tilesOf<TLVideoItemPriview>(scroll).size() >= 5; }));
  row->stopAsync();
  std::size_t atStop = tilesOf<TLVideoItemPriview>(scroll).size();
  std::weak_ptr<TLRubricScrollView> gone = row;
  auto queue = row->operationQueue();
  row.reset();
  // The build lets go of the row once it has stopped; the row goes on the main thread.
  ASSERT_TRUE(testsupport::spinUntil([&] { return queue->operationCount() == 0 && gone.expired(); }));
  std::size_t built = tilesOf<TLVideoItemPriview>(scroll).size();
  EXPECT_LE(built, atStop + 1) << "at most the tile being added when it stopped";
  EXPECT_LT(built, 52u);
  EXPECT_EQ(delegate->reports.size(), 1u);
}

TEST_F(RubricRowBuildTest, ASwipeOverATileScrollsTheRowAndATapOpensTheTitle) {
  NotificationRecorder opened("TLOpenVideoItem");
  auto root = std::make_shared<ui::View>()->initWithFrame(kTabletFrame);
  auto row = episodeRow();
  root->addSubview(row);
  row->dataHasBeenLoadedForCategory("ВЫБОР ЭПИЗОДА", episodes(10, api("get_title&title_id=501")));
  auto tile = tilesOf<TLVideoItemPriview>(row->scrollView()).at(1);

  ns::ManualClock clock;
  ui::SimulatedTouch swipe(root, {300, 120});
  for (double x = 280; x >= 100; x -= 20) swipe.moveTo({x, 120});
  swipe.end();
  clock.advance(1);
  EXPECT_DOUBLE_EQ(row->scrollView()->contentOffset().x, 200);
  EXPECT_TRUE(opened.objects.empty());

  ui::tap(tile->imageBt());
  ASSERT_EQ(opened.objects.size(), 1u);
  EXPECT_EQ(opened.objects[0]["url"], Value(api("get_title&title_id=501")));
  EXPECT_EQ(opened.objects[0]["item_index"], Value(1));
}

}  // namespace
