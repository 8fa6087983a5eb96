// The poster tiles of both devices: their views by style, the poster cache against the sample
// service (its request log shows the traffic), the thread rules of tiles built off the main
// thread, and the TitleInfo a tap posts.
#include <gtest/gtest.h>

#include <atomic>

#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/MainPage/TLVideoItemPriview_iphone.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/DataFile.h"
#include "RowTestSupport.h"
#include "SampleImages.h"
#include "TextFitSupport.h"
#include "UIKit/TouchSimulation.h"

namespace {

using ns::Value;
using Tile = TLVideoItemPriviewBase;

std::shared_ptr<Tile> makeTile(bool phone, int style, cg::Point at = {10, 20}) {
  if (phone) return std::make_shared<TLVideoItemPriview_iphone>()->initWithFrame({at, {1, 1}}, style);
  return std::make_shared<TLVideoItemPriview>()->initWithFrame({at, {1, 1}}, style);
}

bool showsPlaceholder(const Tile& tile) {
  auto image = tile.imageBt()->imageForState(ui::ControlStateNormal);
  return image && image->name().rfind("TLCinemaEmpty", 0) == 0;
}

std::shared_ptr<ui::Image> poster(const Tile& tile) {
  return tile.imageBt()->backgroundImageForState(ui::ControlStateNormal);
}

// The sample's posters are larger than their buttons, which draw them over their bounds.
bool drawnAtItsButtonsSize(const Tile& tile) {
  return testsupport::holdsItsViewsPixels(poster(tile), tile.imageBt()->bounds().size);
}

TEST(VideoTileTest, EachStyleHasItsSizesLabelsAndStars) {
  struct Case {
    bool phone;
    int style;
    cg::Size size;
    double posterHeight, bgHeight, bgAlpha;
    cg::Rect title;
    double titleFont;
    cg::Rect description;
    double descriptionFont;
    cg::Rect stars;
    std::string placeholder;
  };
  const Case cases[] = {
      {false,
       0,
       {220, 170},
       120,
       170,
       0.6,
       {10, 125, 205, 25},
       19,
       {10, 145, 141, 20},
       15,
       {155, 150, 60, 12},
       "TLCinemaEmpty.png"},
      {false,
       1,
       {450, 350},
       338,
       350,
       1.0,
       {10, 280, 435, 35},
       30,
       {10, 315, 326, 25},
       20,
       {340, 318, 100, 20},
       "TLCinemaEmpty_BIG.png"},
      {false,
       2,
       {180, 145},
       100,
       133,
       0.6,
       {5, 102, 170, 15},
       15,
       {5, 117, 106, 15},
       15,
       {115, 118, 60, 12},
       "TLCinemaEmpty.png"},
      {false,
       7,
       {220, 170},
       120,
       170,
       0.6,
       {10, 125, 205, 25},
       19,
       {10, 145, 141, 20},
       15,
       {155, 150, 60, 12},
       "TLCinemaEmpty.png"},
      {true,
       0,
       {162, 125},
       89,
       125,
       0.6,
       {5, 92, 155, 15},
       16,
       {5, 108, 88, 12},
       14,
       {97, 110, 60, 12},
       "TLCinemaEmpty.png"},
      {true,
       1,
       {275, 260},
       206,
       260,
       1.0,
       {10, 210, 260, 15},
       20,
       {10, 232, 151, 15},
       18,
       {165, 230, 100, 20},
       "TLCinemaEmpty_BIG.png"},
      {true,
       2,
       {180, 145},
       100,
       133,
       0.6,
       {5, 102, 170, 15},
       15,
       {5, 117, 106, 15},
       15,
       {115, 118, 60, 12},
       "TLCinemaEmpty.png"},
  };
  for (const Case& c : cases) {
    std::string where = std::string(c.phone ? "phone " : "tablet ") + std::to_string(c.style);
    auto tile = makeTile(c.phone, c.style);
    EXPECT_EQ(tile->frame(), (cg::Rect{{10, 20}, c.size})) << where;
    EXPECT_EQ(tile->loadPriority(), c.phone ? 1 : 0) << where;
    EXPECT_EQ(tile->parent_id(), "") << where;
    EXPECT_EQ(tile->imageBt()->frame(), (cg::Rect{0, 0, c.size.width, c.posterHeight})) << where;
    EXPECT_EQ(tile->bg()->frame(), (cg::Rect{0, 0, c.size.width, c.bgHeight})) << where;
    EXPECT_DOUBLE_EQ(tile->bg()->alpha(), c.bgAlpha) << where;
    EXPECT_EQ(tile->imageBt()->imageForState(ui::ControlStateNormal)->name(), c.placeholder) << where;
    EXPECT_FALSE(tile->titleLabel() || tile->descriptionLabel() || tile->rateView()) << where;

    tile->setTitle("Тихий берег");
    tile->setDescription("Драма, 2001");
    tile->setRate(4);
    EXPECT_EQ(tile->titleLabel()->frame(), c.title) << where;
    EXPECT_EQ(tile->titleLabel()->font()->pointSize(), c.titleFont) << where;
    EXPECT_EQ(tile->titleLabel()->font()->fontName(), "PF Square Sans Pro") << where;
    EXPECT_EQ(tile->descriptionLabel()->frame(), c.description) << where;
    EXPECT_EQ(tile->descriptionLabel()->font()->pointSize(), c.descriptionFont) << where;
    EXPECT_EQ(tile->descriptionLabel()->textColor(), ui::Color::lightGrayColor()) << where;
    EXPECT_EQ(tile->rateView()->frame(), c.stars) << where;
    EXPECT_EQ(tile->titleLabel()->text(), "Тихий берег") << where;
    // The big tile puts a black band under its title.
    bool band = false;
    for (const auto& v : tile->subviews())
      band |= v->frame() == cg::Rect{0, c.style == 1 ? (c.phone ? 200.0 : 270.0) : -1, c.size.width,
                                     c.size.height - (c.phone ? 200 : 270)};
    EXPECT_EQ(band, c.style == 1) << where;
    // Second calls reuse the views.
    auto label = tile->titleLabel();
    tile->setTitle("Другое");
    tile->setRate(9);
    EXPECT_EQ(tile->titleLabel(), label) << where;
    EXPECT_EQ(tile->titleLabel()->text(), "Другое") << where;
  }
}

// The genre and year line shares the stars' baseline: whatever its length it stops short of the
// first star, and a short one shows whole.
TEST(VideoTileTest, TheGenreAndYearLineStopsBeforeTheStars) {
  for (bool phone : {false, true})
    for (int style : {0, 1, 2})
      for (const char* text : {"Комедия, 1985", "Приключения, 1988", "Научная фантастика, 2001"}) {
        std::string where = std::string(phone ? "phone " : "tablet ") + std::to_string(style) + " " + text;
        auto tile = makeTile(phone, style);
        tile->setDescription(text);
        tile->setRate(5);
        cg::Rect shown = testsupport::shownTextRect(*tile->descriptionLabel(), tile.get());
        cg::Rect stars = tile->rateView()->frame();
        EXPECT_LE(shown.maxX(), stars.minX() - 2) << where << ": " << cg::describe(shown);
        if (std::string(text) == "Комедия, 1985") {
          EXPECT_TRUE(testsupport::showsWholeText(*tile->descriptionLabel())) << where;
        }
      }
}

// A tile that shows no stars (the category grid's) gives the line the tile's width, and stars set
// before the line still shorten it.
TEST(VideoTileTest, WithoutStarsTheGenreAndYearLineTakesTheWholeWidth) {
  for (bool phone : {false, true})
    for (int style : {0, 1, 2}) {
      std::string where = std::string(phone ? "phone " : "tablet ") + std::to_string(style);
      auto bare = makeTile(phone, style);
      bare->setDescription("Приключения, 1988");
      EXPECT_TRUE(testsupport::showsWholeText(*bare->descriptionLabel())) << where;

      auto rated = makeTile(phone, style);
      rated->setRate(5);
      rated->setDescription("Научная фантастика, 2001");
      cg::Rect shown = testsupport::shownTextRect(*rated->descriptionLabel(), rated.get());
      EXPECT_LE(shown.maxX(), rated->rateView()->frame().minX() - 2) << where << ": " << cg::describe(shown);
    }
}

TEST(VideoTileTest, TabletTileOptionsAndTheSelectedEpisode) {
  struct Case {
    int style;
    double height;  // after setTitle on a selected tile
  };
  for (auto [style, height] : {Case{2, 133}, Case{0, 155}, Case{1, 335}}) {
    auto tile = std::make_shared<TLVideoItemPriview>()->initWithFrame({0, 0, 0, 0}, style);
    tile->setIsItemSelected(true);
    tile->setTitle("Серия 4");
    EXPECT_EQ(tile->frame().height(), height) << style;
    EXPECT_EQ(tile->backgroundColor(), ui::Color::whiteColor()) << style;
  }
  auto tile = std::make_shared<TLVideoItemPriview>()->initWithFrame({0, 0, 0, 0});
  tile->setTitle("Тихий берег");
  EXPECT_EQ(tile->frame().height(), 170);
  tile->setLabelCenter();
  EXPECT_EQ(tile->titleLabel()->frame().y(), 133);
  tile->reduceBGheightBy(15);
  EXPECT_EQ(tile->bg()->frame().height(), 155);

  // The category name is kept only beside a description of more than two characters.
  tile->setCategoryName("Фильм");
  EXPECT_FALSE(tile->categoryName());
  tile->setDescription("ДА");
  tile->setCategoryName("Фильм");
  EXPECT_FALSE(tile->categoryName());
  tile->setDescription("Драма");
  tile->setCategoryName("Фильм");
  EXPECT_EQ(tile->categoryName(), "Фильм");
  EXPECT_EQ(tile->descriptionLabel()->text(), "Драма");
}

TEST(VideoTileTest, ACentredTitleMakesRoomOnlyWhereNoDescriptionShows) {
  struct Case {
    int style;
    bool describeFirst;  // the description before or after the centring
  };
  for (Case c : {Case{2, true}, Case{2, false}, Case{0, true}, Case{0, false}}) {
    auto tile = std::make_shared<TLVideoItemPriview>()->initWithFrame({0, 0, 0, 0}, c.style);
    tile->setTitle("Серия 12");
    double partY = tile->titleLabel()->frame().y();
    if (c.describeFirst) tile->setDescription("Рассказ о том, как семья учится не бояться перемен.");
    tile->setLabelCenter();
    if (!c.describeFirst) {
      EXPECT_EQ(tile->titleLabel()->frame().y(), partY + 8) << c.style;
      tile->setDescription("Рассказ о том, как семья учится не бояться перемен.");
    }
    EXPECT_EQ(tile->titleLabel()->frame().y(), partY) << c.style << ": the title stays above the description";
    EXPECT_EQ(testsupport::overlappingTexts(tile), std::vector<std::string>{}) << c.style;
    tile->setDescription("");
    EXPECT_EQ(tile->titleLabel()->frame().y(), partY + 8) << c.style;
  }
}

TEST(VideoTileTest, ATapPostsTheTitleInfoUpToItsFirstUnsetValue) {
  testsupport::NotificationRecorder opened("TLOpenVideoItem");
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 1024, 768});
  auto tile = makeTile(false, 0);
  root->addSubview(tile);
  tile->setID(42);
  tile->setUrl("http://h/api?method=get_title&title_id=42");
  tile->setTitle("Серия 4");
  tile->setDescription("О четвёртой");
  tile->setParent_id("7");
  tile->setItemIndex(3);
  // No poster URL yet: the record ends before "image".
  ui::tap(tile->imageBt());
  tile->setImageUrl("");
  ui::tap(tile->imageBt());
  ASSERT_EQ(opened.objects.size(), 2u);
  EXPECT_EQ(opened.objects[0], Value(ns::Dictionary{{"id", 42},
                                                    {"url", "http://h/api?method=get_title&title_id=42"},
                                                    {"title", "Серия 4"},
                                                    {"description", "О четвёртой"},
                                                    {"parent_id", "7"}}));
  EXPECT_EQ(opened.objects[1]["image"], Value(""));
  EXPECT_EQ(opened.objects[1]["item_index"], Value(3));
  EXPECT_EQ(opened.objects[1].count(), 7u);

  // Without a description the record carries ""; without a title it ends after "url".
  auto bare = makeTile(true, 1, {500, 20});
  root->addSubview(bare);
  bare->setUrl("http://h/t/5");
  bare->setTitle("Без описания");
  ui::tap(bare->imageBt());
  bare->setTitle(std::nullopt);
  ui::tap(bare->imageBt());
  ASSERT_EQ(opened.objects.size(), 4u);
  EXPECT_EQ(opened.objects[2]["description"], Value(""));
  EXPECT_EQ(opened.objects[2]["parent_id"], Value(""));
  EXPECT_EQ(opened.objects[3], Value(ns::Dictionary{{"id", 0}, {"url", "http://h/t/5"}}));
  EXPECT_EQ(bare->titleLabel()->text(), "Без описания");

  // A tile that does not know its item, or whose poster is hidden, opens nothing.
  bare->setUrl("");
  ui::tap(bare->imageBt());
  bare->setUrl(std::nullopt);
  ui::tap(bare->imageBt());
  tile->hideButton(true);
  EXPECT_EQ(ui::tapAtPoint(root, {70, 80}), tile->bg());
  EXPECT_EQ(opened.objects.size(), 4u);
}

class VideoTilePosterTest : public testsupport::CachedSampleServiceSuite {
 protected:
  static std::string posterURL(const std::string& id) {
    return server_->url("/images/poster/" + id + ".jpg");
  }
  static std::string bigURL(const std::string& id) {
    return server_->url("/images/poster_big/" + id + ".jpg");
  }
  static std::size_t imageRequests() { return requestsUnder("/images/"); }
  // A tile fetching a poster nobody else asks for; once it shows, every earlier request is done.
  static void fence() {
    auto tile = makeTile(false, 0);
    tile->setID(1002);
    tile->setImageUrl(posterURL("1002") + "?fence");
    ASSERT_TRUE(testsupport::spinUntil([&] { return poster(*tile) != nullptr; }));
  }
  static bool isPNG(const std::string& path) {
    auto data = ns::dataWithContentsOfFile(path);
    return data && data->size() > 8 &&
           std::string(reinterpret_cast<const char*>(data->bytes()), 4) == "\x89PNG";
  }
};

TEST_F(VideoTilePosterTest, MissingPostersAreFetchedOnceAndKeptAsPNG) {
  struct Case {
    bool phone;
    bool episode;
    bool big;
    std::string id;
    std::string file;  // below userCache
  };
  const Case cases[] = {
      {false, false, false, "1001", "posters/1001.png"},
      {true, false, false, "1001", "posters/1001.png"},
      {false, true, false, "50001", "posters/e50001.png"},
      {false, false, true, "1001", "postersBig/1001.png"},
      {true, true, true, "50001", "postersBig/e50001.png"},
  };
  for (const Case& c : cases) {
    SetUp();
    std::string where = c.file + (c.phone ? " phone" : " tablet");
    std::string path = TLSettings::cacheDirectory() + "/" + c.file;
    for (int round = 0; round < 2; ++round) {
      auto tile = makeTile(c.phone, c.big ? 1 : 0);
      tile->setTypeIsEpisode(c.episode);
      tile->setID(std::stoi(c.id));
      if (c.big)
        tile->setBigImageUrl(bigURL(c.id));
      else
        tile->setImageUrl(posterURL(c.id));
      // The second tile finds the file and shows it at once, without a request.
      if (round == 0) {
        ASSERT_TRUE(testsupport::spinUntil([&] { return TLImageFetch::fileExists(path); })) << where;
      }
      ASSERT_TRUE(testsupport::spinUntil([&] { return poster(*tile) != nullptr; })) << where;
      EXPECT_FALSE(showsPlaceholder(*tile)) << where;
      EXPECT_TRUE(drawnAtItsButtonsSize(*tile)) << where;
    }
    EXPECT_TRUE(isPNG(path)) << where;
    EXPECT_EQ(imageRequests(), 1u) << where;
    // A big poster's file serves the title header as well: it is kept at the larger of the two.
    if (c.big) {
      auto stored = ui::Image::imageWithContentsOfFile(path);
      ASSERT_TRUE(stored) << where;
      const cg::Image& file = *stored->CGImage();
      const cg::PixelBox header = TLImageFetch::titleHeaderBox();
      const auto served = sampleservice::kBigPosterSize;
      EXPECT_TRUE((file.pixelWidth() == served.width && file.pixelHeight() == served.height) ||
                  (file.pixelWidth() >= header.width && file.pixelHeight() >= header.height))
          << where << ": " << file.pixelWidth() << "x" << file.pixelHeight();
    }
  }
}

TEST_F(VideoTilePosterTest, FailedOrUndecodableRepliesStoreNothing) {
  sampleservice::Override missing, html;
  missing.status = 404;
  html.body = "<!DOCTYPE html><html></html>";
  html.contentType = "text/html";
  server_->setOverride("/images/poster/1001.jpg", missing);
  server_->setOverride("/images/poster/1003.jpg", html);
  auto notFound = makeTile(false, 0), page = makeTile(false, 0);
  notFound->setID(1001);
  notFound->setImageUrl(posterURL("1001"));
  page->setID(1003);
  page->setImageUrl(posterURL("1003"));
  ASSERT_TRUE(testsupport::spinUntil([&] { return !showsPlaceholder(*page); }));
  fence();
  // A failed fetch keeps the placeholder; data that is no picture clears it and shows nothing.
  EXPECT_TRUE(showsPlaceholder(*notFound));
  EXPECT_EQ(poster(*page), nullptr);
  EXPECT_FALSE(TLImageFetch::fileExists(TLSettings::posterForBaseVideo(1001)));
  EXPECT_FALSE(TLImageFetch::fileExists(TLSettings::posterForBaseVideo(1003)));
  // A later tile of the same id asks again.
  server_->clearOverrides();
  auto again = makeTile(false, 0);
  again->setID(1001);
  again->setImageUrl(posterURL("1001"));
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return TLImageFetch::fileExists(TLSettings::posterForBaseVideo(1001)); }));
}

TEST_F(VideoTilePosterTest, TilesWithoutAnIdShowTheirPosterButStoreNone) {
  // An old "0.png" is never taken for a tile without an id.
  TLImageFetch::savePNG(TLSettings::posterForBaseVideo(0), ui::Image::imageNamed("TLCinemaEmpty_BIG.png"));
  std::vector<std::shared_ptr<Tile>> tiles;
  for (int id : {0, -3}) {
    for (bool big : {false, true}) {
      auto tile = makeTile(false, big ? 1 : 0);
      tile->setID(id);
      big ? tile->setBigImageUrl(bigURL("1001")) : tile->setImageUrl(posterURL("1004"));
      tiles.push_back(tile);
    }
  }
  ASSERT_TRUE(testsupport::spinUntil([&] {
    return std::all_of(tiles.begin(), tiles.end(), [](auto& t) { return poster(*t) != nullptr; });
  }));
  EXPECT_TRUE(drawnAtItsButtonsSize(*tiles[0]));
  EXPECT_EQ(imageRequests(), 4u);
  auto files = ns::FileManager::defaultManager()->contentsOfDirectoryAtPath(TLSettings::postersPath());
  EXPECT_EQ(*files, std::vector<std::string>{"0.png"});
  EXPECT_TRUE(
      ns::FileManager::defaultManager()->contentsOfDirectoryAtPath(TLSettings::postersBigPath())->empty());
}

TEST_F(VideoTilePosterTest, UnusableUrlsAreNeverRequested) {
  for (const char* url :
       {"", "not a url", "ftp://h/1001.jpg", "http:///1001.jpg", "/images/poster/1001.jpg"}) {
    auto tile = makeTile(false, 0);
    tile->setID(1001);
    tile->setImageUrl(url);
    EXPECT_TRUE(showsPlaceholder(*tile)) << url;
    auto big = makeTile(true, 1);
    big->setID(1001);
    big->setBigImageUrl(url);
    // An empty big URL goes on as if the file were there: the placeholder goes.
    EXPECT_EQ(showsPlaceholder(*big), *url != '\0') << url;
  }
  fence();
  EXPECT_EQ(imageRequests(), 1u);
}

TEST_F(VideoTilePosterTest, TwoTilesOfOneIdBothFetchAndLeaveOneWholeFile) {
  auto first = makeTile(false, 0), second = makeTile(true, 0);
  for (auto& tile : {first, second}) {
    tile->setID(1005);
    tile->setImageUrl(posterURL("1005"));
  }
  ASSERT_TRUE(testsupport::spinUntil([&] { return poster(*first) && poster(*second); }));
  EXPECT_EQ(imageRequests(), 2u);
  ASSERT_TRUE(testsupport::spinUntil([&] { return isPNG(TLSettings::posterForBaseVideo(1005)); }));
  auto stored = ui::Image::imageWithContentsOfFile(TLSettings::posterForBaseVideo(1005));
  EXPECT_TRUE(testsupport::holdsItsViewsPixels(stored, first->imageBt()->bounds().size) ||
              testsupport::holdsItsViewsPixels(stored, second->imageBt()->bounds().size));
}

// Tiles built on a background queue hand every view change to the main thread and wait; the main
// thread keeps turning meanwhile.
TEST_F(VideoTilePosterTest, TilesBuiltOffTheMainThreadChangeViewsThere) {
  // Cache one poster of each kind first.
  for (auto [id, big] : {std::pair{1006, false}, std::pair{1006, true}}) {
    auto tile = makeTile(false, big ? 1 : 0);
    tile->setID(id);
    big ? tile->setBigImageUrl(bigURL("1006")) : tile->setImageUrl(posterURL("1006"));
  }
  ASSERT_TRUE(testsupport::spinUntil([] {
    return TLImageFetch::fileExists(TLSettings::posterForBaseVideo(1006)) &&
           TLImageFetch::fileExists(TLSettings::posterBigForBaseVideo(1006));
  }));
  server_->clearLog();

  struct Case {
    bool phone;
    int priority;
    int style;
  };
  for (const Case& c : {Case{false, 3, 0}, Case{false, 3, 1}, Case{true, -1, 1}, Case{false, 2, 1}}) {
    std::shared_ptr<Tile> built;
    std::atomic<bool> done{false};
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT), [&] {
      auto tile = makeTile(c.phone, c.style);
      tile->setLoadPriority(c.priority);
      tile->setID(1006);
      tile->setTitle("Тихий берег");
      tile->setDescription("Драма");
      tile->setRate(5);
      c.style == 1 ? tile->setBigImageUrl(bigURL("1006")) : tile->setImageUrl(posterURL("1006"));
      // A poster not cached yet arrives later, through the main queue.
      tile->setID(1007);
      tile->setImageUrl(posterURL("1007"));
      built = tile;
      done = true;
    });
    ASSERT_TRUE(testsupport::spinUntil([&] { return done.load(); }));
    EXPECT_EQ(built->titleLabel()->text(), "Тихий берег");
    EXPECT_EQ(built->descriptionLabel()->text(), "Драма");
    ASSERT_TRUE(testsupport::spinUntil([&] { return poster(*built) != nullptr; }));
    ASSERT_TRUE(testsupport::spinUntil(
        [] { return TLImageFetch::fileExists(TLSettings::posterForBaseVideo(1007)); }));
    ns::FileManager::defaultManager()->removeItemAtPath(TLSettings::posterForBaseVideo(1007));
  }
  EXPECT_EQ(requestsUnder("/images/poster/1007"), 4u);
  EXPECT_EQ(requestsUnder("/images/poster/1006"), 0u);
  EXPECT_EQ(requestsUnder("/images/poster_big/1006"), 0u);
}

TEST_F(VideoTilePosterTest, CachedPostersOfPriorityTwoArriveAfterTheCall) {
  TLImageFetch::savePNG(TLSettings::posterForBaseVideo(1008), ui::Image::imageNamed("TLCinemaEmpty_BIG.png"));
  TLImageFetch::savePNG(TLSettings::posterBigForBaseVideo(1008), ui::Image::imageNamed("TLCinemaEmpty.png"));
  for (bool big : {false, true}) {
    auto tile = makeTile(false, big ? 1 : 0);
    tile->setLoadPriority(2);
    tile->setID(1008);
    big ? tile->setBigImageUrl(bigURL("1008")) : tile->setImageUrl(posterURL("1008"));
    EXPECT_TRUE(showsPlaceholder(*tile)) << big;
    ASSERT_TRUE(testsupport::spinUntil([&] { return poster(*tile) != nullptr; })) << big;
    EXPECT_TRUE(testsupport::nearlyOfSize(poster(*tile), big ? cg::Size{220, 120} : cg::Size{450, 338}));
  }
  EXPECT_EQ(imageRequests(), 0u);
}

}  // namespace
