// Where rubric rows get their items: get_category groups and title lists read from real JSON text,
// loads against the sample service with its request log, the list files they leave, and what the
// rows report to their delegates.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <optional>

#include "Classes/MainPage/RubricTileInfo.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"
#include "RowTestSupport.h"

namespace {

using ns::Value;
using testsupport::jsonText;
using testsupport::RecordingRowDelegate;

const cg::Rect kFrame{0, 0, 1024, 410};

TEST(RubricTileInfoTest, CategoryRepliesGiveTheGroupOfTheSortKind) {
  const std::string item = R"({"id": "11", "title": "Тихий берег", "description": "Драма, 2001",
      "url": "http://h/t/11", "image": "http://h/p/11.jpg", "image_big": "http://h/b/11.jpg", "rating": "8"})";
  const std::string other = R"({"id": "12", "title": "Белая река"})";
  const std::string threeGroups = R"({"title": "Фильмы", "items": [{"items": []}, {"items": [)" + item +
                                  R"(]},
      {"items": [)" + other + R"(, )" +
                                  item + R"(]}]})";
  struct Case {
    const char* name;
    std::string reply;
    bool newGroup;
    std::optional<std::vector<std::string>> names;  // nothing: the reply has not the shape
  };
  const Case cases[] = {
      {"popular reads group 1", threeGroups, false, std::vector<std::string>{"Тихий берег"}},
      {"new reads group 2", threeGroups, true, std::vector<std::string>{"Белая река", "Тихий берег"}},
      {"two groups have nothing new", R"({"items": [{}, {"items": [{"title": "a"}]}]})", true,
       std::vector<std::string>{}},
      {"no groups at all", R"({"items": []})", false, std::vector<std::string>{}},
      {"an empty group", R"({"items": [{}, {"items": []}]})", false, std::vector<std::string>{}},
      {"a null group", R"({"items": [{}, {"items": []}, null]})", true, std::nullopt},
      {"a group without items", R"({"items": [{}, {}]})", false, std::nullopt},
      {"two groups still have popular", R"({"items": [{}, {"items": [{"title": "a"}]}]})", false,
       std::vector<std::string>{"a"}},
      {"not a dictionary", R"([{"items": []}, {"items": []}])", false, std::nullopt},
      {"groups not an array", R"({"items": {"1": {"items": []}}})", false, std::nullopt},
      {"group of the wrong type", R"({"items": [{}, "popular"]})", false, std::nullopt},
      {"group items of the wrong type", R"({"items": [{}, {"items": {"title": "a"}}]})", false, std::nullopt},
      {"elements that are no records are skipped", R"({"items": [{}, {"items": [null, 5, {"title": "b"}]}]})",
       false, std::vector<std::string>{"b"}},
  };
  for (const Case& c : cases) {
    auto tiles = RubricTileInfo::tilesFromCategoryReply(jsonText(c.reply), c.newGroup);
    ASSERT_EQ(tiles.has_value(), c.names.has_value()) << c.name;
    if (!tiles) continue;
    std::vector<std::string> names;
    for (const Value& t : *tiles) names.push_back(*t["name"].asString());
    EXPECT_EQ(names, *c.names) << c.name;
  }

  // A group far longer than the 15 titles asked for gives its first titles only.
  std::string many = R"({"items": [{}, {"items": [)";
  for (int i = 0; i < 5000; ++i) many += R"({"title": "t)" + std::to_string(i) + R"("},)";
  many += "{}]}]}";
  auto cut = RubricTileInfo::tilesFromCategoryReply(jsonText(many), false);
  ASSERT_TRUE(cut);
  ASSERT_EQ(cut->size(), RubricTileInfo::kMaxCategoryTiles);
  EXPECT_EQ(cut->back()["name"], Value("t" + std::to_string(RubricTileInfo::kMaxCategoryTiles - 1)));

  auto tile = RubricTileInfo::fromCategoryItem(jsonText(item));
  EXPECT_EQ(tile, (ns::Dictionary{{"name", "Тихий берег"},
                                  {"description", "Драма, 2001"},
                                  {"url", "http://h/t/11"},
                                  {"image", "http://h/p/11.jpg"},
                                  {"id", "11"},
                                  {"image_big", "http://h/b/11.jpg"},
                                  {"rating", "8"},
                                  {"item_type", "base_video"}}));
  // Ids come as text or as JSON integers; other values read as empty text, as does a numeric or
  // missing rating.
  struct IdCase {
    const char* item;
    const char* id;
    const char* parentId;  // in a title list whose row gives "77"
  };
  const IdCase ids[] = {
      {R"({"id": 11, "rating": 8, "parent_id": 3})", "11", "3"},
      {R"({"id": "11", "parent_id": "3"})", "11", "3"},
      {R"({"id": 18446744073709551615})", "18446744073709551615", "77"},
      {R"({"id": 3000000000, "parent_id": 3000000001})", "3000000000", "3000000001"},
      {R"({"id": -3000000000})", "-3000000000", "77"},
      {R"({"id": -4, "parent_id": 0})", "-4", "0"},
      {R"({"id": 11.5, "parent_id": 3.5})", "", "77"},
      {R"({"id": true, "parent_id": [3]})", "", "77"},
      {R"({"rating": null, "id": null})", "", "77"},
      {"{}", "", "77"},
  };
  for (const IdCase& c : ids) {
    Value reply = jsonText(c.item);
    auto t = RubricTileInfo::fromCategoryItem(reply);
    EXPECT_EQ(t["rating"], Value("")) << c.item;
    EXPECT_EQ(t["id"], Value(c.id)) << c.item;
    auto listed = RubricTileInfo::fromTitleListItem(reply, "77", false);
    EXPECT_EQ(listed["id"], Value(c.id)) << c.item;
    EXPECT_EQ(listed["parent_id"], Value(c.parentId)) << c.item;
  }
}

TEST(RubricRowTest, MarkersCutTheTextBetweenThem) {
  struct Case {
    const char* start;
    const char* end;
    const char* inner;
    std::optional<std::string> result;
  };
  const Case cases[] = {
      {"category_id=", "&", "http://h/api?method=get_category&category_id=7&popular_quantity=15", "7"},
      {"category_id=", "&", "http://h/api?method=get_category&category_id=31", "31"},
      {"category_id=", "&", "http://h/api?method=get_category", std::nullopt},
      {"category_id=", "&", "http://h/api?category_id=", std::nullopt},
      {"category_id=", "&", "http://h/api?category_id=&x=1", ""},
      {"id=", "", "http://h/api?method=get_title&title_id=42", "42"},
      {"id=", "", "http://h/api?method=get_related&title_id=42&id=5", "42&id=5"},
      {"", "&", "abc", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TLRubricScrollViewBase::stringBetweenString(c.start, c.end, c.inner), c.result) << c.inner;
  EXPECT_EQ(TLRubricScrollViewBase::getCategoryIdFromUrl("x?category_id=7&y"), "7");
}

class RubricRowLoadTest : public testsupport::CachedSampleServiceSuite {
 protected:
  void SetUp() override {
    CachedSampleServiceSuite::SetUp();
    delegate_ = std::make_shared<RecordingRowDelegate>();
  }

  std::shared_ptr<TLRubricScrollView> tabletRow(const std::string& methodAndParameters,
                                                const std::string& sort) {
    auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(apiURL(methodAndParameters), kFrame, sort);
    row->setRubricDelegate(delegate_);
    return row;
  }
  std::shared_ptr<TLRubricScrollView_iphone> phoneRow(const std::string& methodAndParameters,
                                                      const std::string& sort) {
    auto row =
        std::make_shared<TLRubricScrollView_iphone>()->initWithUrl(apiURL(methodAndParameters), kFrame, sort);
    row->setRubricDelegate(delegate_);
    return row;
  }
  static std::string category(const std::string& id) {
    return "get_category&category_id=" + id + "&popular_quantity=15&featured_quantity=15";
  }
  bool waitForReports(std::size_t n) {
    return testsupport::spinUntil([&] { return delegate_->reports.size() >= n; });
  }
  // The catalogue's reply for a request, as the service sends it.
  static Value reply(const std::string& methodAndParameters) {
    httplib::Client client("127.0.0.1", server_->port());
    auto res = client.Get("/api/mobile?platform=ios&method=" + methodAndParameters);
    return res ? jsonText(res->body) : Value();
  }

  std::shared_ptr<RecordingRowDelegate> delegate_;
};

TEST_F(RubricRowLoadTest, HomeRowsShowTheirCategorysPopularOrNewTitles) {
  for (const char* sort : {"popular", "new"}) {
    SetUp();
    Value expected = reply(category("1"))["items"].at(std::string(sort) == "new" ? 2 : 1)["items"];
    auto row =
        std::make_shared<TLRubricScrollView>()->initForMainPageWithUrl(apiURL(category("1")), kFrame, sort);
    row->setRubricDelegate(delegate_);
    EXPECT_TRUE(row->activityView()->isAnimating());
    row->start();
    ASSERT_TRUE(waitForReports(1)) << sort;
    EXPECT_EQ(delegate_->reports, std::vector<bool>{true}) << sort;
    EXPECT_TRUE(row->inMainPage());
    EXPECT_TRUE(row->isBIG());
    EXPECT_EQ(row->rubricName(), "ФИЛЬМЫ");
    EXPECT_FALSE(row->activityView()->isAnimating());
    ASSERT_EQ(row->filmsArray().size(), expected.count()) << sort;
    for (std::size_t i = 0; i < expected.count(); ++i)
      EXPECT_EQ(row->filmsArray()[i], Value(RubricTileInfo::fromCategoryItem(expected.at(i)))) << sort << i;
    // The catalogue sends its second most popular title with a numeric id: its own.
    if (std::string(sort) == "popular") {
      ASSERT_TRUE(expected.at(1)["id"].isInteger());
      EXPECT_EQ(row->filmsArray()[1]["id"], Value(std::to_string(expected.at(1)["id"].integerValue())));
    }

    auto phone = phoneRow(category("1"), sort);
    phone->start();
    ASSERT_TRUE(testsupport::spinUntil([&] { return !phone->filmsArray().empty(); }));
    EXPECT_EQ(Value(phone->filmsArray()), Value(row->filmsArray())) << sort;
    EXPECT_FALSE(phone->isBIG());
  }
  EXPECT_EQ(server_->requestsFor("get_category").back().params.at("popular_quantity"), "15");
}

TEST_F(RubricRowLoadTest, FailedAndWrongShapeRepliesReportNotLoaded) {
  struct Case {
    const char* name;
    std::optional<std::string> body;
    std::optional<int> status;
    const char* categoryId;
    const char* sort;
  };
  const Case cases[] = {
      {"server error", std::nullopt, 500, "1", "popular"},
      {"not JSON", std::string("<html>"), std::nullopt, "1", "popular"},
      {"an array", std::string(R"([{"items": []}, {"items": [{"title": "a"}]}])"), std::nullopt, "1",
       "popular"},
      {"group of the wrong type", std::string(R"({"items": [{}, "x"]})"), std::nullopt, "1", "popular"},
      {"group without items", std::string(R"({"items": [{}, {}]})"), std::nullopt, "1", "popular"},
      {"groups not an array", std::string(R"({"items": {"1": {"items": []}}})"), std::nullopt, "1",
       "popular"},
  };
  for (const Case& c : cases) {
    SetUp();
    if (c.body || c.status) {
      sampleservice::Override bend;
      bend.body = c.body;
      bend.status = c.status;
      server_->setOverride("/api/mobile", "get_category", bend);
    }
    auto tablet = tabletRow(category(c.categoryId), c.sort);
    auto phone = phoneRow(category(c.categoryId), c.sort);
    tablet->start();
    phone->start();
    ASSERT_TRUE(waitForReports(2)) << c.name;
    EXPECT_EQ(delegate_->reports, (std::vector<bool>{false, false})) << c.name;
    EXPECT_TRUE(tablet->filmsArray().empty()) << c.name;
    // No spinner turns over a row that will never fill.
    for (TLRubricScrollViewBase* row : {static_cast<TLRubricScrollViewBase*>(tablet.get()),
                                        static_cast<TLRubricScrollViewBase*>(phone.get())}) {
      EXPECT_TRUE(row->isLoadFailed()) << c.name;
      EXPECT_FALSE(row->activityView()->isAnimating()) << c.name;
      EXPECT_TRUE(row->activityView()->isHidden()) << c.name;
    }
  }
}

// The catalogue's "Театр" has no third group: nothing new there is an empty row, as is an empty
// group, not a failed load.
TEST_F(RubricRowLoadTest, CategoriesWithNothingInTheirGroupLoadEmptyAndStopTheirSpinner) {
  struct Case {
    const char* name;
    std::optional<std::string> body;
    const char* sort;
  };
  const Case cases[] = {
      {"Театр, new", std::nullopt, "new"},
      {"an empty popular group", std::string(R"({"title": "Т", "items": [{}, {"items": []}]})"), "popular"},
      {"no groups", std::string(R"({"title": "Т", "items": []})"), "popular"},
  };
  for (const Case& c : cases) {
    SetUp();
    if (c.body) {
      sampleservice::Override bend;
      bend.body = c.body;
      server_->setOverride("/api/mobile", "get_category", bend);
    }
    auto tablet =
        std::make_shared<TLRubricScrollView>()->initForMainPageWithUrl(apiURL(category("7")), kFrame, c.sort);
    tablet->setRubricDelegate(delegate_);
    auto phone = std::make_shared<TLRubricScrollView_iphone>()->initForMainPageWithUrl(apiURL(category("7")),
                                                                                       kFrame, c.sort);
    phone->setRubricDelegate(delegate_);
    tablet->start();
    phone->start();
    ASSERT_TRUE(waitForReports(2)) << c.name;
    EXPECT_EQ(delegate_->reports, (std::vector<bool>{true, true})) << c.name;
    EXPECT_TRUE(tablet->filmsArray().empty()) << c.name;
    EXPECT_TRUE(phone->filmsArray().empty()) << c.name;
    EXPECT_FALSE(tablet->activityView()->isAnimating()) << c.name;
    EXPECT_FALSE(phone->activityView()) << c.name << ": the phone's spinner leaves the row";
    EXPECT_TRUE(tablet->rubrikLabel()) << c.name << ": the heading stays";
    EXPECT_TRUE(phone->rubrikLabel()) << c.name;
  }
}

TEST_F(RubricRowLoadTest, OneFailingRowLeavesTheOthersLoading) {
  sampleservice::Override broken;
  broken.status = 404;
  server_->setOverride("/api/mobile", "get_category", {{"category_id", "2"}}, broken);
  std::vector<std::shared_ptr<TLRubricScrollView>> rows;
  std::vector<std::shared_ptr<RecordingRowDelegate>> delegates;
  for (const char* id : {"1", "2", "3"}) {
    rows.push_back(tabletRow(category(id), "popular"));
    delegates.push_back(std::make_shared<RecordingRowDelegate>());
    rows.back()->setRubricDelegate(delegates.back());
    rows.back()->start();
  }
  ASSERT_TRUE(testsupport::spinUntil([&] {
    return std::all_of(delegates.begin(), delegates.end(), [](auto& d) { return d->reports.size() == 1; });
  }));
  EXPECT_EQ(delegates[0]->reports, std::vector<bool>{true});
  EXPECT_EQ(delegates[1]->reports, std::vector<bool>{false});
  EXPECT_EQ(delegates[2]->reports, std::vector<bool>{true});
  EXPECT_TRUE(rows[1]->filmsArray().empty());
  EXPECT_FALSE(rows[2]->filmsArray().empty());
}

TEST_F(RubricRowLoadTest, StoppedAndReleasedRowsIgnoreTheirReplies) {
  auto stopped = tabletRow(category("1"), "popular");
  auto released = tabletRow(category("1"), "new");
  stopped->start();
  released->start();
  stopped->stopAsync();
  EXPECT_TRUE(stopped->isCancelRequest());
  std::weak_ptr<TLRubricScrollView> gone = released;
  released.reset();
  EXPECT_TRUE(gone.expired());
  ASSERT_TRUE(testsupport::spinUntil([&] { return server_->requestsFor("get_category").size() == 2; }));

  // A row started after both replies were sent reports after they have been handled.
  sampleservice::Override slow;
  slow.delaySeconds = 0.3;
  server_->setOverride("/api/mobile", "get_category", {{"category_id", "3"}}, slow);
  auto control = tabletRow(category("3"), "popular");
  control->start();
  ASSERT_TRUE(waitForReports(1));
  EXPECT_EQ(delegate_->reports, std::vector<bool>{true});
  EXPECT_TRUE(stopped->filmsArray().empty());
  EXPECT_TRUE(stopped->rubricDelegate().expired());
}

TEST_F(RubricRowLoadTest, TitleListRowsCacheTheirListAndShowItLastFirst) {
  const auto& catalogue = server_->catalogue();
  const sampleservice::Title* series = nullptr;
  for (const auto& t : catalogue.titles())
    if (t.isSeries() && t.episodes.size() < 20) series = series ? series : &t;
  ASSERT_TRUE(series);

  auto episodes = tabletRow("get_title&title_id=" + series->id, "series");
  episodes->setAge("12");
  episodes->setRubrik("Сериалы");
  episodes->setGenre("Драма");
  episodes->start();
  auto related = tabletRow("get_related&title_id=1001", "adv");
  related->start();
  ASSERT_TRUE(waitForReports(2));
  EXPECT_EQ(delegate_->reports, (std::vector<bool>{true, true}));

  EXPECT_EQ(episodes->sortString(), "ser");
  EXPECT_EQ(episodes->rubricName(), "ВЫБОР ЭПИЗОДА");
  EXPECT_FALSE(episodes->isBIG());
  const ns::Array& tiles = episodes->filmsArray();
  ASSERT_EQ(tiles.size(), series->episodes.size());
  // The service lists the newest first; the row shows episode 1 first.
  EXPECT_EQ(tiles.front()["id"], Value(series->episodes.front().id));
  EXPECT_EQ(tiles.back()["id"], Value(series->episodes.back().id));
  for (const Value& t : tiles) {
    EXPECT_EQ(t["item_type"], Value("ser"));
    EXPECT_EQ(t["parent_id"], Value(series->id));
  }
  Value file = TLTitleListCache::read(series->id + "ser.plist");
  ASSERT_EQ(file["items"].count(), series->episodes.size());
  EXPECT_EQ(file["items"].at(0)["id"], Value(series->episodes.back().id));
  EXPECT_EQ(file["items"].at(0)["genre"], Value("Драма"));
  EXPECT_EQ(file["items"].at(0)["item_type"], Value("ser"));

  EXPECT_EQ(related->sortString(), "adv");
  EXPECT_EQ(related->rubricName(), "СМОТРИТЕ ТАКЖЕ");
  Value relatedFile = TLTitleListCache::read("1001als.plist");
  ASSERT_EQ(relatedFile["items"].count(), related->filmsArray().size());
  EXPECT_TRUE(relatedFile["items"].at(0)["age"].isNil());
  EXPECT_EQ(related->filmsArray()[0]["item_type"], Value("base_video"));
  EXPECT_EQ(server_->requestsFor("get_title").size(), 1u);
  EXPECT_EQ(server_->requestsFor("get_related").size(), 1u);

  // Rows rebuilt from the files, and rows of other kinds, request nothing when started.
  server_->clearLog();
  std::make_shared<TLRubricScrollView>()->initWithFile(series->id + "ser.plist", kFrame, "0")->start();
  std::make_shared<TLRubricScrollView>()->initWithUrl(apiURL("get_title&title_id=1"), kFrame, "ser")->start();
  std::make_shared<TLRubricScrollView>()->initWithUrl(apiURL("get_title&title_id=1"), kFrame, "")->start();
  auto control = tabletRow(category("1"), "popular");
  control->start();
  ASSERT_TRUE(waitForReports(3));
  EXPECT_EQ(requestsUnder("/api/"), 1u) << "the control row's; the tiles fetch only posters";
}

TEST_F(RubricRowLoadTest, TitleIdsThatCannotNameAFileStillShowTheirList) {
  // The text after the first "id=" runs to the end of the URL: here "1001&page=1".
  auto tablet = tabletRow("get_related&title_id=1001&page=1", "adv");
  auto phone = phoneRow("get_related&title_id=1001&page=1", "adv");
  auto phoneDelegate = std::make_shared<RecordingRowDelegate>();
  phone->setRubricDelegate(phoneDelegate);
  tablet->start();
  phone->start();
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return delegate_->reports.size() + phoneDelegate->reports.size() == 2; }));
  EXPECT_EQ(delegate_->reports, std::vector<bool>{true});
  // The phone shows its lists from the files alone.
  EXPECT_EQ(phoneDelegate->reports, std::vector<bool>{false});
  EXPECT_FALSE(tablet->filmsArray().empty());
  auto files =
      ns::FileManager::defaultManager()->contentsOfDirectoryAtPath(TLSettings::plistFilesDirectory());
  ASSERT_TRUE(files);
  EXPECT_TRUE(files->empty());
}

TEST_F(RubricRowLoadTest, PhoneRowsCacheListsWithRatingsAndReportWhetherOneWasWritten) {
  const std::string ok = R"({"rating": "6", "items": [{"id": "1", "title": "a", "rating": "3"}, "bad",
      null, {"id": "2", "title": "b"}]})";
  struct Case {
    const char* name;
    std::optional<std::string> body;
    std::optional<int> status;
    bool loaded;
    std::size_t items;  // in the file afterwards
  };
  const Case cases[] = {
      {"a list, elements that are no records skipped", ok, std::nullopt, true, 2},
      {"empty list keeps the file", std::string(R"({"items": []})"), std::nullopt, false, 2},
      {"not a dictionary", std::string("[1]"), std::nullopt, false, 2},
      {"failed request", std::nullopt, 503, false, 2},
  };
  for (const Case& c : cases) {
    delegate_->reports.clear();
    sampleservice::Override bend;
    bend.body = c.body;
    bend.status = c.status;
    server_->setOverride("/api/mobile", "get_title", bend);
    auto row = phoneRow("get_title&title_id=42", "series");
    row->setAge("6");
    row->start();
    ASSERT_TRUE(waitForReports(1)) << c.name;
    EXPECT_EQ(delegate_->reports, std::vector<bool>{c.loaded}) << c.name;
    EXPECT_TRUE(row->filmsArray().empty()) << c.name;
    Value file = TLTitleListCache::read("42ser.plist");
    ASSERT_EQ(file["items"].count(), c.items) << c.name;
    EXPECT_EQ(file["items"].at(0)["rating"], Value("3")) << c.name;
    EXPECT_EQ(file["items"].at(0)["age"], Value("6")) << c.name;
    EXPECT_EQ(file["items"].at(1)["rating"], Value("")) << c.name;
  }
}

}  // namespace
