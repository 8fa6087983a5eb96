// The title page's section views: the tablet grids built on their own queue (frames, marking,
// rebuilds, stopping) and the phone tables (order, marking, starting offset, taps).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLRolesItem.h"
#include "Classes/TitlePage/TLTitleFilmSubview.h"
#include "Classes/iphone/CategoryPage/TLVideoItemPriviewCell.h"
#include "Classes/iphone/TitlePage/TLTitleFilmSubview_iphone.h"
#include "Foundation/DataFile.h"
#include "Foundation/FileManager.h"
#include "Foundation/PropertyList.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "RowTestSupport.h"
#include "TextFitSupport.h"
#include "UIKit/Application.h"

namespace {

using ns::Value;
using testsupport::NotificationRecorder;

// A list file of `count` entries "Серия 0".. in file order, ids 700.., without posters.
void writeList(const std::string& fileName, int count,
               const std::function<void(ns::Dictionary&, int)>& edit = {}) {
  ns::Array items;
  for (int i = 0; i < count; ++i) {
    ns::Dictionary entry{{"title", "Серия " + std::to_string(i)},
                         {"description", "о серии " + std::to_string(i)},
                         {"url", "http://127.0.0.1:1/api/mobile?platform=ios&method=get_title&title_id=" +
                                     std::to_string(700 + i)},
                         {"image", ""},
                         {"id", std::to_string(700 + i)},
                         {"parent_id", "77"}};
    if (edit) edit(entry, i);
    items.push_back(std::move(entry));
  }
  auto path = TLSettings::getPlistDirectoryWithFileName(fileName);
  ASSERT_TRUE(path);
  ASSERT_TRUE(ns::writePropertyListToFile(Value(ns::Dictionary{{"items", std::move(items)}, {"rating", "7"}}),
                                          *path));
}

template <class Tile>
std::vector<std::shared_ptr<Tile>> tilesOf(const std::shared_ptr<ui::ScrollView>& scroll) {
  std::vector<std::shared_ptr<Tile>> tiles;
  if (scroll)
    for (const auto& v : scroll->subviews())
      if (auto t = std::dynamic_pointer_cast<Tile>(v)) tiles.push_back(t);
  return tiles;
}

void setOrientation(ui::InterfaceOrientation orientation) {
  ui::Application::sharedApplication()->setStatusBarOrientation(orientation);
}

class SectionViewTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::clearAppCaches(); }
  void TearDown() override { setOrientation(ui::InterfaceOrientation::portrait); }

  // Waits until the view's queue has nothing left.
  static void awaitBuilt(const std::shared_ptr<TLTitleFilmSubview>& view) {
    ASSERT_TRUE(testsupport::spinUntil(
        [&] { return !view->operationQueue() || view->operationQueue()->operationCount() == 0; }));
  }
};

TEST_F(SectionViewTest, TabletEpisodeGridsLayOutByOrientationAndMarkTheCurrentEpisode) {
  writeList("77ser.plist", 7);
  struct Case {
    ui::InterfaceOrientation orientation;
    std::string selected;
    std::vector<double> xs;
    int marked;  // position of the marked tile, -1 for none
  };
  const Case cases[] = {
      {ui::InterfaceOrientation::landscapeLeft, "-2", {10, 200, 390, 580, 770}, 6},
      {ui::InterfaceOrientation::portrait, "-2", {5, 195, 385, 575}, 6},
      {ui::InterfaceOrientation::portraitUpsideDown, "3", {5, 195, 385, 575}, 3},
      {ui::InterfaceOrientation::landscapeRight, "-1", {10, 200, 390, 580, 770}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected);
    setOrientation(c.orientation);
    auto view = std::make_shared<TLTitleFilmSubview>()->initWithFrame({0, 114, 1024, 640}, "77ser.plist",
                                                                      "ser", c.selected);
    EXPECT_TRUE(view->isSeries());
    view->layoutIfNeeded();
    awaitBuilt(view);
    auto tiles = tilesOf<TLVideoItemPriview>(view->viewScroll());
    ASSERT_EQ(tiles.size(), 7u);
    EXPECT_EQ(view->viewScroll()->contentSize().height, 320);
    std::size_t columns = c.xs.size();
    for (std::size_t p = 0; p < tiles.size(); ++p) {
      EXPECT_EQ(tiles[p]->frame().origin, (cg::Point{c.xs[p % columns], p < columns ? 0.0 : 160.0})) << p;
      EXPECT_EQ(tiles[p]->style(), 2);
      EXPECT_EQ(tiles[p]->itemIndex(), 6 - int(p));
      EXPECT_TRUE(tiles[p]->typeIsEpisode());
      EXPECT_EQ(tiles[p]->isItemSelected(), int(p) == c.marked) << p;
      EXPECT_EQ(tiles[p]->title(), "Серия " + std::to_string(p));
      EXPECT_EQ(tiles[p]->ID(), 700 + int(p));
    }
    EXPECT_FALSE(view->activity()->isAnimating());
  }
}

TEST_F(SectionViewTest, TabletPersonsGridAndAnEmptyListStopTheirSpinners) {
  setOrientation(ui::InterfaceOrientation::landscapeLeft);
  ns::Array people;
  for (int i = 0; i < 4; ++i)
    people.push_back(ns::Dictionary{{"fullname", "Имя Фамилия" + std::to_string(i)},
                                    {"id", std::to_string(3001 + i)},
                                    {"photo_76x101", ""}});
  auto view = std::make_shared<TLTitleFilmSubview>()->initForRoleWithFrame({0, 114, 1024, 640}, people);
  EXPECT_TRUE(view->isRole());
  EXPECT_EQ(view->indexItemSelected(), "-1");
  awaitBuilt(view);
  ASSERT_TRUE(testsupport::spinUntil([&] { return !view->activity()->isAnimating(); }));
  auto tiles = tilesOf<TLRolesItem>(view->viewScroll());
  ASSERT_EQ(tiles.size(), 4u);
  const double xs[] = {10, 245, 480, 715};
  for (std::size_t p = 0; p < 4; ++p) {
    EXPECT_EQ(tiles[p]->frame().origin, (cg::Point{xs[p], 0}));
    EXPECT_EQ(tiles[p]->id_actor(), std::to_string(3001 + p));
  }
  EXPECT_EQ(view->viewScroll()->contentSize().height, 180);

  // No list file and no persons: nothing is built and nothing keeps turning.
  auto empty =
      std::make_shared<TLTitleFilmSubview>()->initWithFrame({0, 114, 1024, 640}, "404als.plist", "adv", "-1");
  empty->layoutIfNeeded();
  EXPECT_TRUE(empty->items().empty());
  EXPECT_FALSE(empty->activity()->isAnimating());
  auto nobody = std::make_shared<TLTitleFilmSubview>()->initForRoleWithFrame({0, 114, 1024, 640}, {});
  EXPECT_FALSE(nobody->activity()->isAnimating());
}

TEST_F(SectionViewTest, OnlyATurnRebuildsAndTheOldBuildStopsBeforeItsNextTile) {
  writeList("78ser.plist", 40);
  setOrientation(ui::InterfaceOrientation::portrait);
  auto view =
      std::make_shared<TLTitleFilmSubview>()->initWithFrame({0, 114, 768, 880}, "78ser.plist", "ser", "-2");
  // The first build starts; its worker waits for the main thread with its first tile.
  view->layoutIfNeeded();
  EXPECT_EQ(view->currentTag(), 1);
  auto firstScroll = view->viewScroll();
  view->setNeedsLayout();
  view->layoutIfNeeded();
  EXPECT_EQ(view->currentTag(), 1) << "a layout pass without a turn";

  setOrientation(ui::InterfaceOrientation::landscapeLeft);
  view->setNeedsLayout();
  view->layoutIfNeeded();
  EXPECT_EQ(view->currentTag(), 2);
  EXPECT_NE(view->viewScroll(), firstScroll);
  EXPECT_TRUE(view->viewScroll()->frame() == (cg::Rect{30, 0, 990, 640}));
  awaitBuilt(view);
  EXPECT_TRUE(tilesOf<TLVideoItemPriview>(firstScroll).empty()) << "no tile of the old build lands anywhere";
  EXPECT_EQ(tilesOf<TLVideoItemPriview>(view->viewScroll()).size(), 40u);
  EXPECT_EQ(view->viewScroll()->contentSize().height, 8 * 160);
}

TEST_F(SectionViewTest, StoppingEndsTheBuildWithoutWaitingForIt) {
  writeList("79ser.plist", 30);
  auto view =
      std::make_shared<TLTitleFilmSubview>()->initWithFrame({0, 114, 768, 880}, "79ser.plist", "ser", "-2");
  view->layoutIfNeeded();
  auto scroll = view->viewScroll();
  ASSERT_EQ(view->operationQueue()->operationCount(), 1u);
  view->stopAsync();
  // The worker may already have seen the cancellation and left the queue.
  EXPECT_TRUE(view->isCancelFromOperationQueue(1) || view->operationQueue()->operationCount() == 0);
  EXPECT_FALSE(view->isCancelFromOperationQueue(7));
  awaitBuilt(view);
  EXPECT_TRUE(tilesOf<TLVideoItemPriview>(scroll).empty());
  view->setNeedsLayout();
  setOrientation(ui::InterfaceOrientation::landscapeLeft);
  view->layoutIfNeeded();
  EXPECT_EQ(view->currentTag(), 1) << "a stopped view builds no more";
}

// --- Phone -------------------------------------------------------------------------------------

std::shared_ptr<TLVideoItemPriviewCell> cellAt(const std::shared_ptr<TLTitleFilmSubview_iphone>& view,
                                               int row) {
  auto cell =
      view->tableViewCellForRowAtIndexPath(*view->subviewTableView(), ns::IndexPath::indexPathForRow(row, 0));
  return std::dynamic_pointer_cast<TLVideoItemPriviewCell>(cell);
}

TEST_F(SectionViewTest, PhoneEpisodeListsShowFileOrderFromTheCurrentEpisode) {
  // 52 episodes in a list 371 high: 4160 of rows, 10 of inset below, at most 3799 of scrolling.
  constexpr int kCount = 52;
  writeList("77ser.plist", kCount);
  struct Case {
    std::string selected;
    int markedRow;  // -1 for none
    double offset;  // -1: at the top, within its inset
  };
  const Case cases[] = {
      {"51", 0, 0},
      {"30", 21, 1680},
      {"4", 47, 3760},
      // The current row stays in view under a full list: the list scrolls no further.
      {"3", 48, 3799},
      {"-2", 51, 3799},
      {"0", 51, 3799},
      {"-1", -1, -1},
      {"99", -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected);
    auto view = std::make_shared<TLTitleFilmSubview_iphone>()->initWithFrame(
        {0, 109, 320, 371}, "77ser.plist", "ser", c.selected);
    auto table = view->subviewTableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), kCount);
    double offset = table->contentOffset().y;
    if (c.offset < 0)
      EXPECT_LE(offset, 0);
    else
      EXPECT_EQ(offset, c.offset);
    EXPECT_LE(offset + table->bounds().height(), table->contentSize().height + table->contentInset().bottom)
        << "no empty screen below the list";
    if (c.markedRow >= 0) {
      double top = c.markedRow * 80.0;
      EXPECT_GE(top, offset);
      EXPECT_LE(top + 80, offset + table->bounds().height()) << "the current episode shows";
    }
    EXPECT_EQ(table->rowHeight(), 80);
    for (int r = 0; r < kCount; ++r) {
      auto cell = cellAt(view, r);
      ASSERT_TRUE(cell);
      EXPECT_EQ(cell->title(), "Серия " + std::to_string(r));
      EXPECT_EQ(cell->isSelected(), r == c.markedRow) << r;
      EXPECT_TRUE(cell->typeIsEpisode());
      EXPECT_EQ(cell->imageView()->frame().origin.x, 10);
    }
  }
}

// Episode rows on either phone, with titles of one line and of two, long descriptions and none:
// no two texts of a row overlap, the description stands under the lines the title draws, and both
// end above the stars, which stay where the row puts them; also in rows used again while the list
// scrolls.
TEST_F(SectionViewTest, PhoneEpisodeRowsKeepTheirTextsApartAndAboveTheStars) {
  // The third title is cut at the end of its second line.
  const char* titles[] = {"Серия 1", "Хроники янтарного берега. Серия 2",
                          "Хроники янтарного берега. Серия 3: долгая дорога домой через перевал"};
  const char* descriptions[] = {"Лёгкая история о том, как юная героиня ищет свой дом", "", "Драма"};
  writeList("77ser.plist", 24, [&](ns::Dictionary& entry, int i) {
    entry.set("title", titles[i % 3]);
    entry.set("description", descriptions[(i / 3) % 3]);
    entry.set("rating", std::to_string(1 + i % 5));
  });
  for (bool tall : {false, true}) {
    SCOPED_TRACE(tall ? "4-inch phone" : "phone");
    testsupport::ScreenScope screen(tall ? ui::DeviceProfile::phoneTall() : ui::DeviceProfile::phone());
    auto view = std::make_shared<TLTitleFilmSubview_iphone>()->initWithFrame(
        {0, 109, 320, tall ? 459.0 : 371.0}, "77ser.plist", "ser", "-1");
    auto table = view->subviewTableView();
    std::set<int> checked;
    for (double offset = 0; offset <= table->maximumContentOffset().y + 80; offset += 80) {
      table->setContentOffset({0, std::min(offset, table->maximumContentOffset().y)});
      view->layoutIfNeeded();
      for (const auto& path : table->indexPathsForVisibleRows()) {
        auto cell = std::dynamic_pointer_cast<TLVideoItemPriviewCell>(table->cellForRowAtIndexPath(path));
        ASSERT_TRUE(cell);
        SCOPED_TRACE(cell->title() + " / " + cell->description());
        checked.insert(path.row());
        EXPECT_EQ(testsupport::overlappingTexts(cell), std::vector<std::string>{});
        if (cell->title() != titles[2]) {
          EXPECT_TRUE(testsupport::showsWholeText(*cell->titleLabel()));
        }
        cg::Rect title = testsupport::shownTextRect(*cell->titleLabel(), cell.get());
        ASSERT_TRUE(cell->rateView());
        cg::Rect stars = cell->rateView()->frame();
        EXPECT_EQ(stars.origin, (cg::Point{133, 53}));
        EXPECT_GE(title.minY(), 0);
        EXPECT_LE(title.maxY(), stars.minY());
        if (!cell->description().empty()) {
          cg::Rect description = testsupport::shownTextRect(*cell->descriptionLabel(), cell.get());
          EXPECT_GE(description.minY(), title.maxY());
          EXPECT_LE(description.minY(), title.maxY() + 4) << "right under the title";
          EXPECT_LE(description.maxY(), stars.minY());
        }
      }
    }
    EXPECT_EQ(checked.size(), 24u);
  }
}

TEST_F(SectionViewTest, PhoneTapsOpenTitlesWithTextsAndSkipEntriesWithoutAnAddress) {
  writeList("5als.plist", 3, [](ns::Dictionary& entry, int i) {
    if (i == 0) entry.remove("parent_id");
    if (i == 1) entry.remove("url");
    if (i == 2) {
      entry.set("description", "");
      entry.set("rubric_name", "Мультфильмы");
    }
  });
  auto view = std::make_shared<TLTitleFilmSubview_iphone>()->initWithFrame({0, 109, 320, 371}, "5als.plist",
                                                                           "adv", "-1");
  EXPECT_LE(view->subviewTableView()->contentOffset().y, 0);
  EXPECT_EQ(cellAt(view, 2)->description(), "Мультфильмы");
  EXPECT_EQ(cellAt(view, 0)->description(), "о серии 0");

  NotificationRecorder opened("TLOpenVideoItem");
  view->selectVideoWithNumber(0);
  view->selectVideoWithNumber(1);
  view->selectVideoWithNumber(7);
  ASSERT_EQ(opened.objects.size(), 1u);
  const Value& info = opened.objects[0];
  EXPECT_EQ(info["id"], Value(700));
  EXPECT_EQ(info["parent_id"], Value("")) << "a missing parent makes no episode";
  EXPECT_EQ(info["title"], Value("Серия 0"));
  EXPECT_EQ(info["image"], Value(""));
  EXPECT_NE(TLSettings::stringFromObject(info["url"]).find("title_id=700"), std::string::npos);
}

class PhonePersonsListTest : public testsupport::CachedSampleServiceSuite {};

TEST_F(PhonePersonsListTest, PersonsShowLastFirstOpenTheirPageAndLeaveAPosterOfTheSameIdAlone) {
  // A title poster cached under the number a person also carries.
  std::string poster = TLSettings::posterForBaseVideo(3003);
  ns::Data posterBytes = ns::Data::fromString("not a photo");
  ASSERT_TRUE(ns::writeDataToFile(posterBytes, poster, true, nullptr));

  ns::Array people;
  for (const char* id : {"3001", "3002", "3003"})
    people.push_back(
        ns::Dictionary{{"fullname", std::string("Персона ") + id},
                       {"id", id},
                       {"photo_76x101", server_->url(std::string("/images/person/") + id + "_76x101.png")}});
  auto view = std::make_shared<TLTitleFilmSubview_iphone>()->initForRoleWithFrame({0, 109, 320, 371}, people);
  EXPECT_TRUE(view->isRole());
  EXPECT_EQ(cellAt(view, 0)->title(), "Персона 3003");
  EXPECT_EQ(cellAt(view, 2)->title(), "Персона 3001");
  auto top = cellAt(view, 0);
  EXPECT_TRUE(top->imageView()->frame() == (cg::Rect{20, 6, 49, 66}));
  ASSERT_TRUE(testsupport::spinUntil([&] { return requestsUnder("/images/person/3003") >= 1; }));
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(ns::dataWithContentsOfFile(poster), std::optional<ns::Data>(posterBytes));

  NotificationRecorder shown("TLShowActorPage");
  view->selectVideoWithNumber(0);
  ASSERT_EQ(shown.objects.size(), 1u);
  EXPECT_EQ(shown.objects[0]["id"], Value("3003"));
  EXPECT_EQ(shown.objects[0]["title"], Value("Персона 3003"));
}

TEST_F(PhonePersonsListTest, RelatedTitlesKeepTheirPostersUnderTheirOwnNames) {
  // An episode's poster cached under the number a related film also carries.
  std::string episodePoster = TLSettings::posterForEpisode(1085);
  ns::Data episodeBytes = ns::Data::fromString("an episode's poster");
  ASSERT_TRUE(ns::writeDataToFile(episodeBytes, episodePoster, true, nullptr));
  writeList("5als.plist", 1, [&](ns::Dictionary& entry, int) {
    entry.set("id", "1085");
    entry.set("image", server_->url("/images/poster/1085.jpg"));
  });
  auto view = std::make_shared<TLTitleFilmSubview_iphone>()->initWithFrame({0, 109, 320, 371}, "5als.plist",
                                                                           "adv", "-1");
  // The row the table shows.
  auto cell = std::dynamic_pointer_cast<TLVideoItemPriviewCell>(
      view->subviewTableView()->cellForRowAtIndexPath(ns::IndexPath::indexPathForRow(0, 0)));
  ASSERT_TRUE(cell);
  ASSERT_FALSE(cell->typeIsEpisode());
  ASSERT_TRUE(testsupport::spinUntil([&] {
    return ns::FileManager::defaultManager()->fileExistsAtPath(TLSettings::posterForBaseVideo(1085));
  })) << "the film's poster is kept under its own name";
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(requestsUnder("/images/poster/1085"), 1u);
  EXPECT_EQ(ns::dataWithContentsOfFile(episodePoster), std::optional<ns::Data>(episodeBytes));
}

}  // namespace
