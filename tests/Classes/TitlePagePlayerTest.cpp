#include <gtest/gtest.h>

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/SocialNetwork/ShareSheetView.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLTitleFilmSubview.h"
#include "Foundation/Format.h"
#include "Foundation/PropertyList.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "RowTestSupport.h"
#include "TitlePageTestSupport.h"
#include "UIKit/NavigationController.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/Window.h"

namespace {

using testsupport::TitlePageSuite;

class TitlePlaylistTest : public TitlePageSuite {
 protected:
  testsupport::HomeDevice device_{true};
};

std::vector<std::string> entryKeys(const ns::Value& entry) {
  std::vector<std::string> keys = entry.asDictionary()->keys();
  std::sort(keys.begin(), keys.end());
  return keys;
}

TEST_F(TitlePlaylistTest, PlaylistAndShareRecordOfEachKind) {
  struct Case {
    const char* name;
    std::string parentId;  // of the TitleInfo
    std::string adv, video;
    std::vector<std::vector<std::string>> keys;  // of each entry, in order
    std::string image;
  };
  const std::vector<std::string> advKeys{"adv", "counterUrl", "url", "videoItemId", "webUrl"};
  const std::vector<std::string> contentKeys{"adv", "serialId", "seriesNumber", "url", "videoItemId"};
  const Case cases[] = {
      {"root, both", "", "http://a/adv", "http://a/v", {advKeys, contentKeys}, "/posters/931.png"},
      {"root, video only", "", "", "http://a/v", {contentKeys}, "/posters/932.png"},
      {"root, advert only", "", "http://a/adv", "", {advKeys}, "/posters/933.png"},
      {"episode, both", "77", "http://a/adv", "http://a/v", {advKeys, contentKeys}, "/posters/e934.png"},
  };
  int id = 931;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string sid = std::to_string(id++);
    std::string adv =
        c.adv.empty() ? "" : R"(,"adv":{"stream":")" + c.adv + R"(","click_url":"w","counter":"n"})";
    setTitle(sid, R"({"title":"Кино","subtitle":"Серия 2","share_url":"http://s/)" + sid + R"(","url":")" +
                      c.video + "\"" + adv + "}");
    tracker_->calls.clear();
    auto page = open(titleInfo(sid, c.parentId));
    auto player = page->filmView()->playerViewController();
    const ns::Array& list = player->playList();
    ASSERT_EQ(list.size(), c.keys.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(entryKeys(list[i]), c.keys[i]);
      EXPECT_EQ(*list[i]["videoItemId"].asString(), sid);
    }
    if (!c.adv.empty()) {
      EXPECT_TRUE(list[0]["adv"].boolValue());
      EXPECT_EQ(*list[0]["url"].asString(), c.adv);
    }
    const ns::Value& share = player->shareInfo();
    EXPECT_EQ(*share["message"].asString(), "Смотрю сейчас 'Кино' на сайте Tavelo");
    EXPECT_EQ(*share["url"].asString(), "http://s/" + sid) << "the reply's own share address";
    std::string image = *share["image"].asString();
    EXPECT_EQ(image.substr(image.size() - c.image.size()), c.image);
    std::string screen = c.parentId.empty() ? "Video Screen - Кино" : "Video Screen - Кино - Серия 2";
    ASSERT_FALSE(tracker_->calls.empty());
    EXPECT_EQ(tracker_->calls[0].texts[0], screen);
    EXPECT_EQ(page->toolbarLabel()->text(), c.parentId.empty() ? "Кино" : "Серия 2");
  }
}

TEST_F(TitlePlaylistTest, SeriesRootPlaysItsLastListedEntry) {
  const sampleservice::Title* series = server_->catalogue().title("1081");
  ASSERT_TRUE(series && series->isSeries());
  // The list is newest first, so its last entry is the first episode.
  const std::string first = series->episodes.front().id;
  // The entry's record as the catalogue sends it, with its ids as JSON numbers, and with numbers
  // past 32 bits.
  struct Case {
    const char* name;
    std::string id;        // as the reply sends it; empty: the catalogue's record
    std::string parentId;  // as the reply sends it
  };
  const Case cases[] = {
      {"text ids", "", ""}, {"numeric ids", first, "1081"}, {"ids past 32 bits", "3000000000", "3000001081"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_->clearLog();
    if (!c.id.empty())
      setTitle(first, R"({"id": )" + c.id + R"(, "parent_id": )" + c.parentId + R"(, "url": ")" +
                          server_->url("/video/" + first + "/index.m3u8") + R"("})");
    const std::string itemId = c.id.empty() ? first : c.id;
    const std::string serialId = c.id.empty() ? "1081" : c.parentId;
    auto page = open(titleInfo("1081"));
    // The entry's request starts from the root's reply.
    ASSERT_TRUE(testsupport::spinUntil([] { return server_->requestsFor("get_title").size() >= 2; }));
    ASSERT_TRUE(testsupport::spinUntil([&] {
      const ns::Array& list = page->filmView()->playerViewController()->playList();
      return list.size() == 1 && list[0]["serialId"].asString() &&
             !list[0].asDictionary()->contains("seriesNumber");
    }));
    // The root's own record is asked for twice: by the page and by its episode strip.
    std::vector<sampleservice::ServiceRequest> requests;
    for (const auto& r : server_->requestsFor("get_title"))
      if (r.params.at("title_id") != "1081") requests.push_back(r);
    ASSERT_EQ(requests.size(), 1u) << requests.back().params.at("title_id");
    EXPECT_EQ(requests[0].params.at("title_id"), first);
    const ns::Array& list = page->filmView()->playerViewController()->playList();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.back()["videoItemId"], ns::Value(itemId));
    EXPECT_EQ(list.back()["serialId"], ns::Value(serialId));
    EXPECT_FALSE(list.back().asDictionary()->contains("seriesNumber"));
    std::string image = *page->filmView()->playerViewController()->shareInfo()["image"].asString();
    if (itemId == first) {
      EXPECT_NE(image.find("/e" + first + ".png"), std::string::npos);
    }
    testsupport::awaitRequestsEnded();
  }
}

TEST_F(TitlePlaylistTest, AReloadFromThePlayerKeepsThePlayersPlaylist) {
  setTitle("940", R"({"title":"A","url":"http://a/v1"})");
  auto page = open(titleInfo("940"));
  auto player = page->filmView()->playerViewController();
  ASSERT_EQ(player->playList().size(), 1u);
  setTitle("941", R"({"title":"B","url":"http://a/v2","share_url":"http://s/941"})");
  page->AKMoviePlayerControllerDidSetVideo(
      *player, ns::Dictionary{{"id", "941"}, {"parent_id", ""}, {"url", api("get_title&title_id=941")}});
  EXPECT_TRUE(page->isReloadFromPlayer());
  testsupport::awaitRequestsEnded();
  EXPECT_FALSE(page->isReloadFromPlayer());
  EXPECT_EQ(*player->playList()[0]["url"].asString(), "http://a/v1");
  EXPECT_EQ(*player->shareInfo()["url"].asString(), "http://s/941");
  EXPECT_EQ(page->filmView()->filmNameLabel()->text(), "B");
  EXPECT_EQ(*page->cacheSenderDictionary()["id"].asString(), "940");
}

// --- On screen and off: the page in a navigation controller.

class TitleScreenTest : public TitlePageSuite {
 protected:
  void SetUp() override {
    TitlePageSuite::SetUp();
    nav_ = std::make_shared<ui::NavigationController>();
    nav_->initWithRootViewController(std::make_shared<ui::ViewController>()->init());
    screen_.showWindow(nav_);
  }
  void TearDown() override {
    nav_.reset();
    TitlePageSuite::TearDown();
  }
  std::shared_ptr<TitlePageViewController> push(const ns::Value& info) {
    auto page = std::make_shared<TitlePageViewController>()->initWithTitleInfo(info);
    nav_->pushViewController(page, false);
    return page;
  }
  static void holdTitle(const std::string& id) {
    sampleservice::Override held;
    held.held = true;
    setTitle(id, held);
  }
  testsupport::ScreenScope screen_;
  std::shared_ptr<ui::NavigationController> nav_;
};

TEST_F(TitleScreenTest, AnEpisodeReadWhileCoveredStartsPlayingOnlyWhenThePageIsBack) {
  holdTitle("50002");
  auto page = push(titleInfo("50002", "1081"));
  nav_->pushViewController(std::make_shared<ui::ViewController>()->init(), false);
  ASSERT_TRUE(testsupport::spinUntil([] { return server_->heldCount() == 1; }));
  server_->releaseHeld();
  testsupport::awaitRequestsEnded();
  auto player = page->filmView()->playerViewController();
  ASSERT_TRUE(page->isMainInfoLoad());
  EXPECT_FALSE(player->autoPlay()) << "must not play under the covering page";
  EXPECT_TRUE(page->isAutoPlayPending());
  nav_->popViewControllerAnimated(false);
  EXPECT_TRUE(player->autoPlay());
  EXPECT_FALSE(page->isAutoPlayPending());
}

TEST_F(TitleScreenTest, AnEpisodeOpenedOnScreenPlaysWhenReady) {
  auto page = push(titleInfo("50002", "1081"));
  testsupport::awaitRequestsEnded();
  auto player = page->filmView()->playerViewController();
  // The player spends its wish to play once the episode is ready, which may already have happened.
  EXPECT_TRUE(testsupport::spinUntil([&] { return player->isPlaying(); }));
}

TEST_F(TitleScreenTest, AReplyAfterThePopIsReadThenPageHeaderAndPlayerGo) {
  holdTitle("50002");
  std::weak_ptr<TitlePageViewController> weakPage;
  std::weak_ptr<ui::View> weakHeader;
  std::weak_ptr<AKMoviePlayerController> weakPlayer;
  {
    auto page = push(titleInfo("50002", "1081"));
    weakPage = page;
    weakHeader = page->filmView();
    weakPlayer = page->filmView()->playerViewController();
    nav_->popViewControllerAnimated(false);
  }
  ASSERT_FALSE(weakPage.expired()) << "the request holds the page";
  ASSERT_TRUE(testsupport::spinUntil([] { return server_->heldCount() == 1; }));
  server_->releaseHeld();
  ASSERT_TRUE(testsupport::spinUntil([&] {
    auto page = weakPage.lock();
    return !page || page->isMainInfoLoad();
  }));
  if (auto page = weakPage.lock()) {
    EXPECT_FALSE(page->filmView()->playerViewController()->autoPlay());
    EXPECT_FALSE(page->filmView()->playerViewController()->isPlaying());
  }
  testsupport::awaitRequestsEnded();
  EXPECT_TRUE(testsupport::spinUntil([&] { return weakPage.expired(); }));
  EXPECT_TRUE(weakHeader.expired());
  EXPECT_TRUE(weakPlayer.expired());
}

TEST_F(TitleScreenTest, LeavingForAPushedPageResetsThenPreparesThePlayer) {
  setTitle("942", R"({"title":"A","url":"http://127.0.0.1:1/v.mp4"})");
  auto page = push(titleInfo("942"));
  testsupport::awaitRequestsEnded();
  auto player = page->filmView()->playerViewController();
  ASSERT_EQ(player->playList().size(), 1u);
  nav_->pushViewController(std::make_shared<ui::ViewController>()->init(), false);
  EXPECT_FALSE(player->player()) << "media released";
  nav_->popViewControllerAnimated(false);
  EXPECT_EQ(player->playList().size(), 1u) << "the stored playlist is applied again";
  EXPECT_TRUE(player->URL().has_value());
}

// --- Layout

class TitleLayoutTest : public TitlePageSuite {};

std::string frameOf(const std::shared_ptr<ui::View>& v) { return v ? cg::describe(v->frame()) : "none"; }

TEST_F(TitleLayoutTest, TabletFramesFollowTheOrientationAndTheStrips) {
  testsupport::HomeDevice device(true);
  auto page = open(titleInfo("1002"));
  struct Case {
    bool landscape;
    std::string header, social, scroll;
    cg::Size content;
  };
  const Case cases[] = {
      {false, "{{0, 0}, {768, 300}}", "{{138, 220}, {200, 43}}", "{{0, 114}, {768, 886}}", {760, 320}},
      {true, "{{0, 0}, {1024, 342}}", "{{185, 265}, {200, 43}}", "{{0, 114}, {1024, 634}}", {1016, 370}},
  };
  for (const Case& c : cases) {
    auto o = c.landscape ? ui::InterfaceOrientation::landscapeLeft : ui::InterfaceOrientation::portrait;
    ui::Application::sharedApplication()->setStatusBarOrientation(o);
    page->viewWillAppear(false);
    EXPECT_EQ(frameOf(page->filmView()), c.header);
    EXPECT_EQ(frameOf(page->socialView()), c.social);
    EXPECT_EQ(frameOf(page->titleScroll()), c.scroll);
    // The strips present lengthen the scroll: episodes and persons 220 each, related titles 230.
    cg::Size content{c.content.width, c.content.height + (page->isSeries() ? 220 : 0) +
                                          (page->isRoles() ? 220 : 0) + (page->isAdvanced() ? 230 : 0)};
    EXPECT_EQ(cg::describe(page->titleScroll()->contentSize()), cg::describe(content));
    page->filmView()->layoutSubviews();
    EXPECT_EQ(frameOf(page->filmView()->playerView()),
              c.landscape ? "{{20, 0}, {472, 260}}" : "{{20, 0}, {374, 208}}");
    EXPECT_EQ(page->filmView()->filmNameLabel()->frame().origin.x, c.landscape ? 512 : 412);
    page->viewWillDisappear(false);
  }
}

TEST_F(TitleLayoutTest, TabletToolbarTitleWidthAndRotationOrder) {
  for (bool landscape : {false, true}) {
    testsupport::HomeDevice device(true);
    ui::Application::sharedApplication()->setStatusBarOrientation(
        landscape ? ui::InterfaceOrientation::landscapeRight : ui::InterfaceOrientation::portrait);
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    auto page = std::make_shared<TitlePageViewController>();
    page->initWithNibName("", nullptr);
    page->view()->setFrame(landscape ? cg::Rect{0, 0, screen.height(), screen.width()} : screen);
    page->viewDidLoad();
    EXPECT_EQ(page->toolbarLabel()->frame().width(), landscape ? 744 : 488);
  }
  testsupport::HomeDevice device(true);
  testsupport::ScreenScope scope;
  auto nav = std::make_shared<ui::NavigationController>();
  auto page = std::make_shared<TitlePageViewController>()->initWithTitleInfo(titleInfo("1002"));
  nav->initWithRootViewController(page);
  scope.showWindow(nav);
  testsupport::awaitRequestsEnded();
  ASSERT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  EXPECT_EQ(frameOf(page->filmView()), "{{0, 0}, {1024, 342}}") << "laid out for the side turned to";
  EXPECT_EQ(frameOf(page->titleScroll()), "{{0, 114}, {1024, 634}}");
  ASSERT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::portrait));
  EXPECT_EQ(frameOf(page->filmView()), "{{0, 0}, {768, 300}}");
  page->filmView()->playerViewController()->resetPlayList();
}

TEST_F(TitleLayoutTest, AnOpenSectionTakesEachSidesFrameAndEveryTileTakesItsTap) {
  testsupport::HomeDevice device(true);
  testsupport::ScreenScope scope;
  auto nav = std::make_shared<ui::NavigationController>();
  auto page = std::make_shared<TitlePageViewController>()->initWithTitleInfo(titleInfo("1081"));
  nav->initWithRootViewController(page);
  auto window = scope.showWindow(nav);
  ASSERT_TRUE(testsupport::spinUntil([&] { return page->isSeries(); }));
  testsupport::awaitRequestsEnded();
  // A long series: its grid reaches the far corner of the section on either side.
  ns::Array items;
  for (int i = 0; i < 20; ++i)
    items.push_back(ns::Dictionary{{"id", std::to_string(800 + i)},
                                   {"title", "Серия " + std::to_string(20 - i)},
                                   {"url", api("get_title&title_id=" + std::to_string(800 + i))},
                                   {"image", ""},
                                   {"parent_id", "1081"}});
  ASSERT_TRUE(ns::writePropertyListToFile(ns::Value(ns::Dictionary{{"items", items}}),
                                          *TLSettings::getPlistDirectoryWithFileName("1081ser.plist")));
  page->showSeriesSubview();
  auto section = std::dynamic_pointer_cast<TLTitleFilmSubview>(page->titleSubview());
  ASSERT_TRUE(section);
  testsupport::NotificationRecorder opened("TLOpenVideoItem");
  struct Turn {
    ui::InterfaceOrientation orientation;
    const char* frame;
  };
  for (const Turn& turn : {Turn{ui::InterfaceOrientation::landscapeLeft, "{{0, 114}, {1024, 640}}"},
                           Turn{ui::InterfaceOrientation::portrait, "{{0, 114}, {768, 880}}"},
                           Turn{ui::InterfaceOrientation::landscapeRight, "{{0, 114}, {1024, 640}}"}}) {
    SCOPED_TRACE(turn.frame);
    ASSERT_TRUE(ui::simulateRotation(turn.orientation));
    EXPECT_EQ(frameOf(section), turn.frame);
    std::vector<std::shared_ptr<TLVideoItemPriview>> tiles;
    ASSERT_TRUE(testsupport::spinUntil([&] {
      tiles.clear();
      for (const auto& v : section->viewScroll()->subviews())
        if (auto tile = std::dynamic_pointer_cast<TLVideoItemPriview>(v)) tiles.push_back(tile);
      return tiles.size() == 20u && section->operationQueue()->operationCount() == 0;
    }));
    opened.objects.clear();
    for (const auto& tile : tiles) {
      const auto& button = tile->imageBt();
      cg::Rect b = button->bounds();
      cg::Point centre = button->convertPointToView({b.width() / 2, b.height() / 2}, window);
      ASSERT_TRUE(window->bounds().contains(centre)) << tile->ID();
      ui::tapAtPoint(window, centre);
      ASSERT_FALSE(opened.objects.empty())
          << "the tile at " << centre.x << ", " << centre.y << " ignored its tap";
      EXPECT_EQ(opened.objects.back()["id"].intValue(), tile->ID());
      opened.objects.clear();
    }
  }
  // A turn while another page covers this one: the section is laid out again when it comes back.
  auto cover = std::make_shared<ui::ViewController>();
  cover->init();
  nav->pushViewController(cover, false);
  ASSERT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::portrait));
  nav->popViewControllerAnimated(false);
  EXPECT_EQ(frameOf(section), "{{0, 114}, {768, 880}}");
  page->filmView()->playerViewController()->resetPlayList();
}

TEST_F(TitleLayoutTest, PhoneFrames) {
  testsupport::HomeDevice device(false);
  auto page = open(titleInfo("1002"));
  cg::Rect b = page->view()->bounds();
  EXPECT_EQ(frameOf(page->filmView()), cg::describe(cg::Rect{9, 109, b.width() - 18, b.height() - 109}));
  EXPECT_EQ(frameOf(page->filmView()->playerView()), "{{0, 0}, {302, 162}}");
  EXPECT_EQ(frameOf(page->socialView()),
            cg::describe(cg::Rect{page->filmView()->bounds().width() / 2 - 75, 170, 150, 43}));
  EXPECT_EQ(page->toolbarLabel()->frame().width(), 190);
  EXPECT_FALSE(page->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::landscapeLeft));
  EXPECT_FALSE(page->filmView()->filmNameLabel()) << "the phone header has no name line";
  ASSERT_TRUE(page->filmView()->ratingView()) << "the phone always shows small stars";
  EXPECT_EQ(page->filmView()->ratingView()->frame().origin.y, 232);
  // The white texts lie on a dark picture, not on the window's white, also after a reload.
  for (int reload = 0; reload < 2; ++reload) {
    auto background = std::dynamic_pointer_cast<ui::ImageView>(page->view()->subviews().front());
    ASSERT_TRUE(background);
    EXPECT_EQ(frameOf(background), cg::describe(page->view()->bounds()));
    EXPECT_EQ(background->image()->name(), "background.png");
    page->reloadTitlePage();
  }
}

}  // namespace

namespace {

// The header's player steps through the series with the page's list files and shares through
// the page's sheets.
TEST_F(TitlePlaylistTest, ThePlayerUsesTheListFilesAndShareSheets) {
  setTitle("961", R"({"title":"Кино","url":"http://a/v"})");
  auto page = open(titleInfo("961", ""));
  const auto& services = AKMoviePlayerController::services();
  ASSERT_TRUE(services.readListFile);
  ns::Array episodes(TLTitleListCache::kMaxEpisodes + 1, ns::Value(ns::Dictionary{{"id", "5"}}));
  ASSERT_TRUE(ns::writePropertyListToFile(ns::Value(ns::Dictionary{{"items", episodes}}),
                                          *TLSettings::getPlistDirectoryWithFileName("77ser.plist")));
  EXPECT_EQ(services.readListFile("77ser.plist")["items"].count(), TLTitleListCache::kMaxEpisodes)
      << "the list as the page reads it";
  EXPECT_TRUE(services.readListFile("../77ser.plist").isNil());

  ASSERT_TRUE(services.openShareSheet);
  auto host = page->filmView()->playerViewController()->view();
  for (auto network : {AKMoviePlayerServices::Network::vkontakte, AKMoviePlayerServices::Network::facebook}) {
    auto sheet = services.openShareSheet(network, "Смотрю", "http://s/961", "/nowhere.png", *host);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->superview(), host);
    auto shared = std::dynamic_pointer_cast<ShareSheetView>(sheet);
    ASSERT_TRUE(shared);
    EXPECT_TRUE(shared->inPlayer());
    sheet->removeFromSuperview();
  }
  EXPECT_FALSE(services.openShareSheet(AKMoviePlayerServices::Network::twitter, "m", "u", "i", *host));
}

}  // namespace
