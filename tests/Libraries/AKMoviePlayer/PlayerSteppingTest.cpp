#include "Foundation/JSONSerialization.h"
#include "Foundation/PropertyList.h"
#include "PlayerControllerTestSupport.h"
#include "support/TempDir.h"

namespace {

using playertest::overrideWith;
using playertest::PlayerControllerTest;

// A string, or a number written out; "" for anything else.
std::string str(const ns::Value& v) {
  if (const std::string* s = v.asString()) return *s;
  if (v.isNumber()) return std::to_string(v.longLongValue());
  return "";
}

// What the title page hears after a step.
class StepDelegate final : public AKMoviePlayerControllerDelegate {
 public:
  std::vector<ns::Value> told;
  void AKMoviePlayerControllerDidSetVideo(AKMoviePlayerController&, const ns::Value& info) override {
    told.push_back(info);
  }
};

// A series "77" of three episodes in its list file: 501, 502 (numeric id in the list) and 503.
class PlayerSteppingTest : public PlayerControllerTest {
 protected:
  void SetUp() override {
    PlayerControllerTest::SetUp();
    ns::Array items;
    for (const char* id : {"501", "502", "503"}) {
      ns::Value itemId = std::string(id) == "502" ? ns::Value(502) : ns::Value(std::string(id));
      items.push_back(ns::Dictionary{{"id", itemId}, {"url", titleUrl(id)}});
    }
    ASSERT_TRUE(ns::writePropertyListToFile(ns::Dictionary{{"items", items}}, dir.file("77ser.plist")));
    installServices();
  }

  void installServices() {
    AKMoviePlayerServices services;
    services.readListFile = [this](const std::string& name) {
      return ns::propertyListWithContentsOfFile(dir.file(name));
    };
    services.noServerItemDataAlert = [this] { ++noDataAlerts; };
    services.showConnectionError = [this](const ns::ErrorPtr&) { ++connectionErrors; };
    AKMoviePlayerController::setServices(services);
  }

  // Between the cases of a table: the player goes, the services stay.
  void nextCase() {
    TearDown();
    installServices();
  }

  static std::string titleUrl(const std::string& id) {
    return server_->url("/api/mobile?platform=ios&method=get_title&title_id=" + id);
  }
  // The service's record of an episode, replacing the catalogue's.
  static void serve(const std::string& id, const ns::Value& record) {
    sampleservice::Override o;
    o.contentType = "application/json";
    o.body = ns::JSONSerialization::stringWithJSONObject(record).value_or("");
    server_->setOverride("/api/mobile", "get_title", {{"title_id", id}}, o);
  }
  static ns::Value episode(const std::string& id, bool withAdvert = false) {
    ns::Dictionary record{{"id", id},
                          {"parent_id", "77"},
                          {"share_url", "http://share.invalid/" + id},
                          {"url", server_->url("/video/1001/clip.mp4")}};
    if (withAdvert)
      record.set("adv", ns::Dictionary{{"stream", server_->url("/video/adv1/clip.mp4")},
                                       {"click_url", server_->url("/promo/acme")},
                                       {"counter", server_->url("/counter/adv/acme")}});
    return record;
  }

  void playEpisode(const std::string& itemId) {
    makePlayer();
    delegate = std::make_shared<StepDelegate>();
    player->setDelegate(delegate);
    player->setShareInfo(ns::Dictionary{{"message", "old message"}, {"url", "http://share.invalid/old"}});
    player->setAutoPlay(true);
    player->setPlayList({programme("/video/1001/clip.mp4", "77", itemId)});
    ASSERT_TRUE(waitReady());
  }
  bool waitTold(std::size_t n) {
    return testsupport::spinUntil([&] { return delegate->told.size() >= n; });
  }

  testsupport::TempDir dir;
  std::shared_ptr<StepDelegate> delegate;
  int noDataAlerts = 0;
  int connectionErrors = 0;
};

TEST_F(PlayerSteppingTest, NeighboursComeFromTheListFile) {
  struct Case {
    const char* name;
    std::string itemId;
    std::string serialId;
    std::string next;  // "" for none
    std::string previous;
  };
  const Case cases[] = {
      {"first", "501", "77", "502", ""},
      {"middle, string against a numeric id", "502", "77", "503", "501"},
      {"last", "503", "77", "", "502"},
      {"not listed", "599", "77", "", ""},
      {"no list file", "501", "78", "", ""},
      {"no series", "501", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    makePlayer();
    player->setPlayList({programme("/video/1001/clip.mp4", c.serialId, c.itemId)});
    auto idOf = [](const ns::Value& item) { return item.isDictionary() ? str(item["id"]) : std::string(); };
    EXPECT_EQ(idOf(player->nextVideoItem()), c.next);
    EXPECT_EQ(idOf(player->prevVideoItem()), c.previous);
    nextCase();
  }
}

TEST_F(PlayerSteppingTest, TheFullScreenBarOffersTheNeighboursThereAre) {
  struct Case {
    std::string itemId;
    bool next, previous;
  };
  for (const Case& c : {Case{"501", true, false}, Case{"502", true, true}, Case{"503", false, true}}) {
    SCOPED_TRACE(c.itemId);
    ns::ManualClock clock;
    playEpisode(c.itemId);
    player->goToFullscreen();
    clock.advance(0.5);
    ASSERT_TRUE(player->isFullscreen());
    auto bar = player->lowerControllBar();
    EXPECT_EQ(bar->next()->isEnabled(), c.next);
    EXPECT_EQ(bar->prev()->isEnabled(), c.previous);
    nextCase();
  }
}

TEST_F(PlayerSteppingTest, NextPlaysTheNewEpisodeAndSharesItsAddressWithTheOldMessage) {
  ns::ManualClock clock;
  serve("502", episode("502"));
  playEpisode("501");
  player->nextVideo();
  ASSERT_TRUE(waitTold(1));
  EXPECT_EQ(str(delegate->told[0]["id"]), "502");
  EXPECT_EQ(str(delegate->told[0]["parent_id"]), "77");
  EXPECT_EQ(str(delegate->told[0]["url"]), titleUrl("502"));
  EXPECT_EQ(str(player->shareInfo()["url"]), "http://share.invalid/502");
  EXPECT_EQ(str(player->shareInfo()["message"]), "old message");
  ASSERT_EQ(player->playList().size(), 1u);
  EXPECT_EQ(str(player->playList()[0]["videoItemId"]), "502");
  ASSERT_TRUE(waitReady());
  clock.advance(1);
  EXPECT_TRUE(player->isPlaying()) << "a step plays by itself";
  EXPECT_EQ(str(player->prevVideoItem()["id"]), "501");
}

// The service sends some ids as JSON numbers: the episode is still found in its series' list and
// the steps go on from it.
TEST_F(PlayerSteppingTest, AnEpisodeRecordWithNumericIdsStepsOnFromItsOwnPlace) {
  ns::ManualClock clock;
  ns::Dictionary record = *episode("502").asDictionary();
  record.set("id", 502);
  record.set("parent_id", 77);
  serve("502", ns::Value(std::move(record)));
  playEpisode("501");
  player->nextVideo();
  ASSERT_TRUE(waitTold(1));
  EXPECT_EQ(delegate->told[0]["id"], ns::Value("502"));
  EXPECT_EQ(delegate->told[0]["parent_id"], ns::Value("77"));
  ASSERT_EQ(player->playList().size(), 1u);
  EXPECT_EQ(player->playList()[0]["serialId"], ns::Value("77"));
  EXPECT_EQ(str(player->nextVideoItem()["id"]), "503");
  EXPECT_EQ(str(player->prevVideoItem()["id"]), "501");
  ASSERT_TRUE(waitReady());
}

TEST_F(PlayerSteppingTest, AnEpisodeWithAnAdvertisementPlaysItFirst) {
  ns::ManualClock clock;
  serve("501", episode("501", true));
  playEpisode("502");
  player->previousVideo();
  ASSERT_TRUE(waitTold(1));
  ASSERT_EQ(player->playList().size(), 2u);
  EXPECT_TRUE(player->playList()[0]["adv"].boolValue());
  EXPECT_EQ(str(player->playList()[0]["webUrl"]), server_->url("/promo/acme"));
  EXPECT_EQ(str(player->playList()[0]["counterUrl"]), server_->url("/counter/adv/acme"));
  EXPECT_FALSE(player->playList()[1]["adv"].boolValue());
  EXPECT_EQ(str(player->playList()[1]["serialId"]), "77");
  ASSERT_TRUE(waitReady());
  EXPECT_TRUE(player->playingItemIsAdv());
}

TEST_F(PlayerSteppingTest, TheEndOfTheLastEntryGoesOnToTheNextEpisode) {
  struct Case {
    const char* name;
    bool withAdvert;
    double seconds;  // played to the end of the list
  };
  const Case cases[] = {
      {"the episode alone", false, playertest::kProgrammeSeconds + 1},
      {"after its advertisement", true, playertest::kAdvertSeconds + playertest::kProgrammeSeconds + 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ns::ManualClock clock;
    serve("503", episode("503"));
    makePlayer();
    delegate = std::make_shared<StepDelegate>();
    player->setDelegate(delegate);
    player->setAutoPlay(true);
    ns::Array list{programme("/video/1001/clip.mp4", "77", "502")};
    if (c.withAdvert) list.insert(list.begin(), advert());
    player->setPlayList(list);
    ASSERT_TRUE(waitReady());
    // Each entry opens on its own time; the clock moves only once it plays.
    for (double played = 0; played < c.seconds && delegate->told.empty(); played += 0.5) {
      ASSERT_TRUE(waitReady());
      clock.advance(0.5);
    }
    ASSERT_TRUE(waitTold(1)) << "the list ended without a step";
    EXPECT_EQ(str(delegate->told[0]["id"]), "503");
    ASSERT_TRUE(waitReady());
    EXPECT_EQ(str(player->playList()[0]["videoItemId"]), "503");
    nextCase();
  }
}

TEST_F(PlayerSteppingTest, RepliesWithNothingToPlayChangeNothing) {
  struct Case {
    const char* name;
    std::optional<ns::Value> record;  // none: a server failure
    int noData;
    int connection;
  };
  const Case cases[] = {
      {"not a dictionary", ns::Value(ns::Array{1, 2}), 1, 0},
      {"neither stream nor url", ns::Value(ns::Dictionary{{"id", "502"}, {"share_url", "http://x/502"}}), 1,
       0},
      {"server failure", std::nullopt, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ns::ManualClock clock;
    noDataAlerts = connectionErrors = 0;
    server_->clearOverrides();
    if (c.record) {
      serve("502", *c.record);
    } else {
      server_->setOverride("/api/mobile", "get_title", {{"title_id", "502"}},
                           overrideWith(&sampleservice::Override::status, 500));
    }
    playEpisode("501");
    player->nextVideo();
    ASSERT_TRUE(testsupport::spinUntil([&] { return noDataAlerts + connectionErrors > 0; }));
    EXPECT_EQ(noDataAlerts, c.noData);
    EXPECT_EQ(connectionErrors, c.connection);
    EXPECT_TRUE(delegate->told.empty());
    EXPECT_EQ(str(player->shareInfo()["url"]), "http://share.invalid/old");
    EXPECT_EQ(str(player->playList()[0]["videoItemId"]), "501");
    nextCase();
  }
}

TEST_F(PlayerSteppingTest, AStepAnsweredWhileThePageIsCoveredWaitsForItsReturn) {
  ns::ManualClock clock;
  serve("502", episode("502"));
  playEpisode("501");
  player->nextVideo();
  player->resetPlayList();
  ASSERT_TRUE(waitTold(1));
  clock.advance(2);
  EXPECT_EQ(player->player(), nullptr) << "nothing plays behind the covering page";
  player->preparePlayList();
  ASSERT_TRUE(waitReady());
  clock.advance(1);
  EXPECT_TRUE(player->isPlaying());
  EXPECT_EQ(str(player->playList()[0]["videoItemId"]), "502");
}

// An episode whose address is missing or is no URL at all is a failed step, and nothing is sent.
TEST_F(PlayerSteppingTest, AListedEpisodeWithoutAnAddressFailsAsAConnectionError) {
  for (const std::string& url : {std::string(), titleUrl("1061 Ж")}) {
    SCOPED_TRACE(url);
    ns::ManualClock clock;
    connectionErrors = 0;
    ns::Array items{ns::Dictionary{{"id", "501"}, {"url", "http://127.0.0.1:1/"}},
                    ns::Dictionary{{"id", "502"}, {"url", url}}};
    ASSERT_TRUE(ns::writePropertyListToFile(ns::Dictionary{{"items", items}}, dir.file("77ser.plist")));
    playEpisode("501");
    server_->clearLog();
    player->nextVideo();
    ASSERT_TRUE(testsupport::spinUntil([&] { return connectionErrors > 0; }));
    EXPECT_TRUE(delegate->told.empty());
    EXPECT_EQ(str(player->playList()[0]["videoItemId"]), "501");
    EXPECT_TRUE(server_->requestsFor("get_title").empty());
    nextCase();
  }
}

}  // namespace
