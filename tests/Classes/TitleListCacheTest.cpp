// The per-title list files: their layout as the property-list reader sees it, what keeps an older
// file, and rows rebuilt from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/TLSettings.h"
#include "Foundation/PropertyList.h"
#include "RowTestSupport.h"
#include "support/LogCapture.h"

namespace {

using ns::Value;
using testsupport::jsonText;

const char* const kReply = R"({"rating": "7", "items": [
  {"id": "501", "title": "Серия 3", "image": "http://h/i/501.jpg", "url": "http://h/t/501",
   "description": "о третьей", "category": "Сериал", "parent_id": "", "genre_id": "201", "rating": "9"},
  "not a record",
  {"id": 502, "title": "Серия 2", "image": "http://h/i/502.jpg", "url": "http://h/t/502",
   "description": "о второй\u0007", "category": "Сериал", "parent_id": "77", "rating": 4},
  {"id": "503", "title": "Серия 1", "parent_id": 3000000078}]})";

std::vector<std::string> keysOf(const Value& record) {
  return record.asDictionary() ? record.asDictionary()->keys() : std::vector<std::string>{};
}

class TitleListCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::countRequests();
    testsupport::clearAppCaches();
  }
  // File rows show their tiles, which fetch their posters.
  void TearDown() override { testsupport::awaitRequestsEnded(); }
  static std::string path(const std::string& name) {
    return *TLSettings::getPlistDirectoryWithFileName(name);
  }
};

TEST_F(TitleListCacheTest, RecordsKeepTheReplyOrderAndEndAtTheFirstMissingFact) {
  struct Case {
    const char* name;
    TLTitleListCache::RowFacts facts;
    bool phone;
    std::vector<std::string> keys;  // sorted
  };
  const std::vector<std::string> base{"category",  "description", "id",    "image",
                                      "item_type", "parent_id",   "title", "url"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.end(), base.begin(), base.end());
    std::sort(extra.begin(), extra.end());
    return extra;
  };
  const Case cases[] = {
      {"episodes with all facts",
       {"77", "ser", "16", "Сериалы", "Драма"},
       false,
       with({"age", "genre", "rubric_name"})},
      {"related titles without facts", {"", "base_video", {}, {}, {}}, false, with({})},
      // A record never holds rubric_name without age, nor genre without both.
      {"genre without age", {"", "ser", {}, "Сериалы", "Драма"}, false, with({})},
      {"age alone", {"", "ser", "16", {}, "Драма"}, false, with({"age"})},
      {"phone adds the item's rating", {"77", "ser", "16", {}, {}}, true, with({"age", "rating"})},
  };
  for (const Case& c : cases) {
    SetUp();
    ASSERT_EQ(TLTitleListCache::write("42ser.plist", jsonText(kReply), c.facts, c.phone),
              TLTitleListCache::Outcome::written)
        << c.name;
    auto file = ns::dictionaryWithContentsOfFile(path("42ser.plist"));
    ASSERT_TRUE(file) << c.name;
    Value root(*file);
    EXPECT_EQ(root["rating"], Value("7")) << c.name;
    const Value& items = root["items"];
    ASSERT_EQ(items.count(), 3u) << c.name;  // the string element is left out
    EXPECT_EQ(items.at(0)["title"], Value("Серия 3")) << c.name;
    EXPECT_EQ(items.at(2)["title"], Value("Серия 1")) << c.name;
    for (std::size_t i = 0; i < items.count(); ++i) EXPECT_EQ(keysOf(items.at(i)), c.keys) << c.name;
    // Empty parent ids take the row's series id; ids sent as numbers are kept as their digits.
    EXPECT_EQ(items.at(0)["parent_id"], Value(c.facts.parentId)) << c.name;
    EXPECT_EQ(items.at(1)["parent_id"], Value("77")) << c.name;
    EXPECT_EQ(items.at(1)["id"], Value("502")) << c.name;
    EXPECT_EQ(items.at(1)["description"], Value("о второй\a")) << "a control character is kept";
    EXPECT_EQ(items.at(2)["parent_id"], Value("3000000078")) << c.name;
    EXPECT_EQ(items.at(0)["item_type"], Value(c.facts.itemType)) << c.name;
    if (c.phone) {
      EXPECT_EQ(items.at(0)["rating"], Value("9"));
      EXPECT_EQ(items.at(1)["rating"], Value(4)) << "a number stays a number";
    }
  }
}

TEST_F(TitleListCacheTest, RatingsKeepTheirTextOrNumberAndAnythingElseIsEmpty) {
  struct Case {
    const char* json;  // the reply's rating, and the item's
    Value kept;
  };
  const Case cases[] = {{R"("7")", Value("7")}, {"7", Value(7)},        {"7.5", Value(7.5)},
                        {"0", Value(0)},        {"true", Value("")},    {"null", Value("")},
                        {"{}", Value("")},      {R"(["7"])", Value("")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    std::string reply =
        std::string(R"({"rating": )") + c.json + R"(, "items": [{"id": "1", "rating": )" + c.json + "}]}";
    ASSERT_EQ(TLTitleListCache::write("42ser.plist", jsonText(reply), {"", "ser", {}, {}, {}}, true),
              TLTitleListCache::Outcome::written);
    Value root = TLTitleListCache::read("42ser.plist");
    EXPECT_EQ(root["rating"], c.kept);
    EXPECT_EQ(root["items"].at(0)["rating"], c.kept);
  }
  ASSERT_EQ(TLTitleListCache::write("42ser.plist", jsonText(R"({"items": [{"id": "1"}]})"),
                                    {"", "ser", {}, {}, {}}, true),
            TLTitleListCache::Outcome::written);
  EXPECT_EQ(TLTitleListCache::read("42ser.plist")["rating"], Value("")) << "none given";
}

TEST_F(TitleListCacheTest, ListsWithoutItemsAndRefusedNamesKeepTheOlderFile) {
  TLTitleListCache::RowFacts facts{"", "base_video", {}, {}, {}};
  ASSERT_EQ(TLTitleListCache::write("42als.plist", jsonText(kReply), facts, false),
            TLTitleListCache::Outcome::written);
  struct Case {
    const char* reply;
    TLTitleListCache::Outcome outcome;
  };
  for (const Case& c : {Case{R"({"items": []})", TLTitleListCache::Outcome::noItems},
                        Case{R"({"rating": "5"})", TLTitleListCache::Outcome::noItems},
                        Case{R"({"items": {"0": {"title": "x"}}})", TLTitleListCache::Outcome::noItems},
                        Case{R"({"items": [1, "two", null]})", TLTitleListCache::Outcome::noItems},
                        Case{R"([{"items": [{"title": "x"}]}])", TLTitleListCache::Outcome::wrongShape}}) {
    EXPECT_EQ(TLTitleListCache::write("42als.plist", jsonText(c.reply), facts, false), c.outcome) << c.reply;
    EXPECT_EQ(TLTitleListCache::read("42als.plist")["items"].count(), 3u) << c.reply;
  }
  for (const char* name : {"../42als.plist", "a/42als.plist", ""})
    EXPECT_EQ(TLTitleListCache::write(name, jsonText(kReply), facts, false),
              TLTitleListCache::Outcome::notWritten)
        << name;
  EXPECT_FALSE(ns::FileManager::defaultManager()->fileExistsAtPath(ns::cachesDirectory() + "/42als.plist"));
}

// What one reply can put in a list file is bounded: the kind's count of records, and a size the
// reader takes, however long the texts the reply or the row's facts bring.
TEST_F(TitleListCacheTest, WrittenListsKeepTheirKindsCountAndStayWithinTheReadersBound) {
  struct Case {
    const char* name;
    const char* fileName;
    std::size_t items;
    std::size_t descriptionBytes;  // of each reply item
    std::size_t genreBytes;        // of the row's fact, copied into every record
    std::size_t records;           // written; 0: fewer than the items, at least one
  };
  const std::size_t kEpisodes = TLTitleListCache::kMaxEpisodes;
  const std::size_t kRelated = TLTitleListCache::kMaxRelatedTitles;
  const Case cases[] = {
      {"episodes within the count", "42ser.plist", kEpisodes, 10, 0, kEpisodes},
      {"episodes past the count", "42ser.plist", 20000, 10, 0, kEpisodes},
      {"related titles past their count", "42als.plist", 20000, 10, 0, kRelated},
      {"long descriptions", "42ser.plist", kEpisodes, 20000, 0, 0},
      {"a long fact multiplied by every record", "42ser.plist", kEpisodes, 10, 100000, 0},
      {"a fact longer than the bound", "42ser.plist", 3, 10, TLTitleListCache::kMaxFileBytes, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ns::Array items(
        c.items, Value(ns::Dictionary{{"id", "1"}, {"description", std::string(c.descriptionBytes, 'd')}}));
    Value reply(ns::Dictionary{{"items", std::move(items)}, {"rating", std::string(1000, '7')}});
    TLTitleListCache::RowFacts facts{"77", "ser", "16", "Сериалы", std::string(c.genreBytes, 'g')};
    auto outcome = TLTitleListCache::write(c.fileName, reply, facts, false);
    if (c.genreBytes >= TLTitleListCache::kMaxFileBytes) {
      EXPECT_EQ(outcome, TLTitleListCache::Outcome::noItems);
      continue;
    }
    ASSERT_EQ(outcome, TLTitleListCache::Outcome::written);
    auto size = std::filesystem::file_size(path(c.fileName));
    EXPECT_LE(size, TLTitleListCache::kMaxFileBytes);
    Value file = TLTitleListCache::read(c.fileName);
    ASSERT_TRUE(file.isDictionary()) << "the reader takes what the writer wrote";
    if (c.records) {
      EXPECT_EQ(file["items"].count(), c.records);
    } else {
      EXPECT_GT(file["items"].count(), 0u);
      EXPECT_LT(file["items"].count(), c.items);
      EXPECT_GT(size, TLTitleListCache::kMaxFileBytes / 2) << "the bound is used, not wasted";
    }
    EXPECT_EQ(file["rating"], Value("")) << "no rating is that long";
  }
}

// A list cut by its count or by the file's bound is told in one line, with the title, the count
// kept and the count sent; a list kept whole, however many non-records it drops, says nothing.
TEST_F(TitleListCacheTest, ACutListIsLoggedOnceWithItsTitleAndCounts) {
  struct Case {
    const char* name;
    const char* fileName;
    std::size_t items;
    std::size_t descriptionBytes;  // of each reply item
    const char* line;              // the start of the line; none: nothing logged
  };
  const Case cases[] = {
      {"episodes at the count", "42ser.plist", 500, 10, nullptr},
      {"episodes past the count", "42ser.plist", 1200, 10,
       "The episodes of title 42: the list keeps the first 500 of the 1200 items sent"},
      {"one episode past the count", "42ser.plist", 501, 10,
       "The episodes of title 42: the list keeps the first 500 of the 501 items sent"},
      {"related titles at their count", "1001als.plist", 100, 10, nullptr},
      {"related titles past their count", "1001als.plist", 250, 10,
       "The related titles of title 1001: the list keeps the first 100 of the 250 items sent"},
      {"episodes too long for the file", "42ser.plist", 500, 20000,
       "The episodes of title 42: the list keeps"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ns::Array items;
    for (std::size_t i = 0; i < c.items; ++i)
      items.push_back(
          ns::Dictionary{{"id", std::to_string(i)}, {"description", std::string(c.descriptionBytes, 'd')}});
    testsupport::LogCapture log;
    ASSERT_EQ(TLTitleListCache::write(c.fileName, Value(ns::Dictionary{{"items", std::move(items)}}),
                                      {"", "ser", {}, {}, {}}, false),
              TLTitleListCache::Outcome::written);
    if (!c.line) {
      EXPECT_TRUE(log.lines().empty());
      continue;
    }
    ASSERT_EQ(log.lines().size(), 1u);
    const std::string line = log.lines()[0];
    EXPECT_EQ(line.rfind(c.line, 0), 0u) << line;
    if (c.descriptionBytes > 10) {
      std::size_t kept = TLTitleListCache::read(c.fileName)["items"].count();
      EXPECT_EQ(line, "The episodes of title 42: the list keeps the first " + std::to_string(kept) +
                          " of the 500 items sent; the rest would take more than 4194304 bytes");
    }
  }
  // Elements that are no records are left out without a word.
  testsupport::LogCapture log;
  ASSERT_EQ(TLTitleListCache::write("42ser.plist", jsonText(kReply), {"", "ser", {}, {}, {}}, false),
            TLTitleListCache::Outcome::written);
  EXPECT_TRUE(log.lines().empty());
}

// Files the writer would not have made, as older clients left them after hostile replies.
TEST_F(TitleListCacheTest, ListFilesAreReadWithinTheirKindsCountAndTooLargeOnesAreRemoved) {
  struct Case {
    const char* fileName;
    std::size_t records;
    std::size_t titleBytes;
    std::optional<std::size_t> read;  // nothing: not read, and removed
  };
  const Case cases[] = {
      {"42ser.plist", 600, 10, TLTitleListCache::kMaxEpisodes},
      {"42als.plist", 600, 10, TLTitleListCache::kMaxRelatedTitles},
      {"42als.plist", 40, 10, 40},
      {"42ser.plist", 300, 20000, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fileName) + " of " + std::to_string(c.records));
    ns::Array records;
    for (std::size_t i = 0; i < c.records; ++i)
      records.push_back(ns::Dictionary{{"id", std::to_string(i)}, {"title", std::string(c.titleBytes, 't')}});
    ASSERT_TRUE(ns::writePropertyListToFile(Value(ns::Dictionary{{"items", records}, {"rating", "5"}}),
                                            path(c.fileName)));
    Value file = TLTitleListCache::read(c.fileName);
    if (!c.read) {
      EXPECT_TRUE(file.isNil());
      EXPECT_FALSE(std::filesystem::exists(path(c.fileName)));
      continue;
    }
    ASSERT_EQ(file["items"].count(), *c.read);
    EXPECT_EQ(file["items"].at(*c.read - 1)["id"], Value(std::to_string(*c.read - 1)))
        << "the first are kept";
    EXPECT_EQ(file["rating"], Value("5"));
  }
}

TEST_F(TitleListCacheTest, FileNamesComeOnlyFromDecimalIdsAndGiveTheirKind) {
  EXPECT_EQ(TLTitleListCache::fileNameForTitleId("42", "%@ser.plist"), "42ser.plist");
  for (const char* id : {"", "../5", "4 2", "42&x=1", "-1", "1e3"})
    EXPECT_FALSE(TLTitleListCache::fileNameForTitleId(id, "%@als.plist")) << id;

  struct Case {
    const char* name;
    const char* kind;
  };
  for (const Case& c : {Case{"42ser.plist", "ser"}, Case{"42als.plist", "als"}, Case{"ser.plist", "ser"},
                        Case{"ёser.plist", "ser"}, Case{"er.plist", ""}, Case{"", ""}, Case{"42rol", ""}})
    EXPECT_EQ(TLTitleListCache::kindOfFileName(c.name), c.kind) << c.name;
}

TEST_F(TitleListCacheTest, FileRowsShowTheListLastFirstAndMarkTheSelectedItem) {
  TLTitleListCache::RowFacts facts{"77", "ser", "16", "Сериалы", "Драма"};
  ASSERT_EQ(TLTitleListCache::write("42ser.plist", jsonText(kReply), facts, false),
            TLTitleListCache::Outcome::written);
  ASSERT_EQ(TLTitleListCache::write("42als.plist", jsonText(kReply), {"", "base_video", {}, {}, {}}, false),
            TLTitleListCache::Outcome::written);
  const cg::Rect frame{0, 300, 1024, 228};

  auto episodes = std::make_shared<TLRubricScrollView>()->initWithFile("42ser.plist", frame, "1");
  ASSERT_TRUE(episodes);
  EXPECT_EQ(episodes->sortString(), "ser");
  EXPECT_TRUE(episodes->isLabelCenter());
  EXPECT_TRUE(episodes->isItemSelected());
  EXPECT_EQ(episodes->selectedIndex(), "1");
  EXPECT_FALSE(episodes->isButtonEnabled());
  const ns::Array& tiles = episodes->filmsArray();
  ASSERT_EQ(tiles.size(), 3u);
  EXPECT_EQ(tiles[0]["name"], Value("Серия 1"));
  EXPECT_EQ(tiles[2]["name"], Value("Серия 3"));
  EXPECT_EQ(tiles[2]["parent_id"], Value("77"));
  EXPECT_EQ(tiles[0]["item_type"], Value("ser"));
  EXPECT_EQ(tiles[2]["image"], Value("http://h/i/501.jpg"));

  auto related = std::make_shared<TLRubricScrollView>()->initWithFile("42als.plist", frame, "-1");
  ASSERT_TRUE(related);
  EXPECT_FALSE(related->isItemSelected());
  ASSERT_EQ(related->filmsArray().size(), 3u);
  EXPECT_EQ(related->filmsArray()[0]["item_type"], Value("base_video"));
  // An empty parent id in the file stays empty on the tile.
  EXPECT_EQ(related->filmsArray()[2]["parent_id"], Value(""));

  // A related-titles file without items gives no row; an episode file without items an empty one.
  ASSERT_TRUE(ns::writePropertyListToFile(Value(ns::Dictionary{{"items", ns::Array{}}}), path("9als.plist")));
  EXPECT_FALSE(std::make_shared<TLRubricScrollView>()->initWithFile("9als.plist", frame, "-1"));
  EXPECT_FALSE(std::make_shared<TLRubricScrollView>()->initWithFile("missingals.plist", frame, "-1"));
  auto none = std::make_shared<TLRubricScrollView>()->initWithFile("missingser.plist", frame, "0");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->filmsArray().empty());
  // Names too short to hold a kind, or reaching outside the folder, read nothing.
  for (const char* name : {"x", "", "../42ser.plist"}) {
    auto row = std::make_shared<TLRubricScrollView>()->initWithFile(name, frame, "0");
    ASSERT_TRUE(row) << name;
    EXPECT_TRUE(row->filmsArray().empty()) << name;
  }
}

// A series reply longer than its list reaches a row on either device: the row shows the first
// episodes, and the cut is told once, though the tablet's row reads the reply twice.
class TitleListCutTest : public testsupport::CachedSampleServiceSuite {};

TEST_F(TitleListCutTest, ARowOfASeriesLongerThanItsListLogsTheCutOnce) {
  std::string reply = R"({"items": [)";
  for (int i = 0; i < 1200; ++i)
    reply += std::string(i ? "," : "") + R"({"id": ")" + std::to_string(5000 + i) + R"("})";
  reply += "]}";
  sampleservice::Override series;
  series.body = reply;
  series.contentType = "application/json";
  server_->setOverride("/api/mobile", "get_title", {{"title_id", "77"}}, series);
  const cg::Rect frame{0, 0, 1024, 410};
  for (bool pad : {true, false}) {
    SCOPED_TRACE(pad ? "tablet" : "phone");
    testsupport::clearAppCaches();
    auto delegate = std::make_shared<testsupport::RecordingRowDelegate>();
    testsupport::LogCapture log;
    std::shared_ptr<TLRubricScrollViewBase> row;
    if (pad) {
      auto tablet = std::make_shared<TLRubricScrollView>()->initWithUrl(apiURL("get_title&title_id=77"),
                                                                        frame, "series");
      tablet->setRubricDelegate(delegate);
      row = tablet;
    } else {
      auto phone = std::make_shared<TLRubricScrollView_iphone>()->initWithUrl(apiURL("get_title&title_id=77"),
                                                                              frame, "series");
      phone->setRubricDelegate(delegate);
      row = phone;
    }
    row->start();
    ASSERT_TRUE(testsupport::spinUntil([&] { return !delegate->reports.empty(); }));
    testsupport::awaitRequestsEnded();
    EXPECT_EQ(TLTitleListCache::read("77ser.plist")["items"].count(), TLTitleListCache::kMaxEpisodes);
    if (pad) {
      EXPECT_EQ(row->filmsArray().size(), TLTitleListCache::kMaxEpisodes);
    }
    std::size_t told = 0;
    for (const auto& line : log.lines())
      told += line == "The episodes of title 77: the list keeps the first 500 of the 1200 items sent";
    EXPECT_EQ(told, 1u);
  }
}

}  // namespace
