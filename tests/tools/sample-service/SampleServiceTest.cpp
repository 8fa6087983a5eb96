// The sample service's replies against the formats the client's readers expect of the real service.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <future>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Foundation/JSONSerialization.h"
#include "Graphics/Image.h"
#include "LoopbackConnections.h"
#include "SampleServer.h"
#include "support/SampleServiceSuite.h"
#include "support/TempDir.h"

namespace {

using ns::Value;

class SampleServiceTest : public testsupport::SampleServiceSuite {
 protected:
  static httplib::Result get(const std::string& pathAndQuery) {
    httplib::Client client("127.0.0.1", server_->port());
    client.set_read_timeout(30, 0);
    return client.Get(pathAndQuery.c_str());
  }

  // GET an API method and decode the JSON reply, failing the test on anything else.
  static Value api(const std::string& methodAndParams, const std::string& path = "/api/mobile") {
    auto res = get(path + "?platform=ios&method=" + methodAndParams);
    if (!res) {
      ADD_FAILURE() << "no reply for " << methodAndParams;
      return {};
    }
    EXPECT_EQ(res->status, 200) << methodAndParams;
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/json") << methodAndParams;
    ns::ErrorPtr error;
    Value value = ns::JSONSerialization::JSONObjectWithString(res->body, &error);
    EXPECT_TRUE(value.isDictionary()) << methodAndParams << ": " << res->body.substr(0, 200);
    return value;
  }
};

// Every key must hold a string (the service sends these values as text).
void expectStrings(const Value& record, std::initializer_list<const char*> keys, const std::string& where) {
  for (const char* key : keys)
    EXPECT_TRUE(record[key].isString()) << where << ": \"" << key << "\" is not a string";
}

bool isDecimal(const Value& v) {
  return v.isString() && std::regex_match(*v.asString(), std::regex("[0-9]+"));
}

std::string apiPrefix() { return "/api/mobile?platform=ios&method="; }

TEST_F(SampleServiceTest, CatalogueHasTheVarietyThePagesNeed) {
  const auto& c = server_->catalogue();
  EXPECT_GE(c.categories().size(), 10u);
  EXPECT_GE(c.titles().size(), 200u);
  EXPECT_GE(c.persons().size(), 50u);
  std::size_t series = 0, episodes = 0, cartoons = 0, adverts = 0;
  for (const auto& t : c.titles()) {
    series += t.isSeries();
    episodes += t.episodes.size();
    cartoons += t.categoryId == "31";
    adverts += t.adv.has_value();
  }
  EXPECT_GE(series, 10u);
  EXPECT_GE(episodes, 100u);
  // One series is long enough for its episode row to be built in the background.
  EXPECT_TRUE(std::any_of(c.titles().begin(), c.titles().end(),
                          [](const auto& t) { return t.isSeries() && t.episodes.size() >= 50; }));
  EXPECT_GE(cartoons, 20u);
  EXPECT_EQ(adverts, 1u);
  // The search page heads its rows by these six category ids.
  for (const char* id : {"1", "2", "3", "28", "29", "31"}) EXPECT_NE(c.category(id), nullptr) << id;
}

TEST_F(SampleServiceTest, CategoryListHasDecimalIdsAndNames) {
  Value reply = api("get_categories");
  ASSERT_TRUE(reply["items"].isArray());
  EXPECT_EQ(reply["items"].count(), server_->catalogue().categories().size());
  for (std::size_t i = 0; i < reply["items"].count(); ++i) {
    const Value& item = reply["items"].at(i);
    expectStrings(item, {"id", "title", "url"}, "get_categories");
    EXPECT_TRUE(isDecimal(item["id"]));
    EXPECT_FALSE(item["title"].asString()->empty());
  }
}

TEST_F(SampleServiceTest, CategoryReplyHasGenresPopularAndNewGroups) {
  for (const auto& category : server_->catalogue().categories()) {
    std::string where = "get_category " + category.id;
    Value reply =
        api("get_category&category_id=" + category.id + "&popular_quantity=15&featured_quantity=15");
    EXPECT_EQ(reply["title"], Value(category.title)) << where;
    ASSERT_EQ(reply["items"].count(), std::size_t(category.replyGroups)) << where;
    ASSERT_GE(reply["items"].count(), 2u) << where;
    const Value& genres = reply["items"].at(0)["items"];
    ASSERT_TRUE(genres.isArray()) << where;
    for (std::size_t g = 0; g < genres.count(); ++g) {
      EXPECT_TRUE(isDecimal(genres.at(g)["id"])) << where;
      EXPECT_TRUE(genres.at(g)["title"].isString()) << where;
    }
    // Index 1 is read for the "popular" row, index 2 for the "new" one.
    for (std::size_t group = 1; group < reply["items"].count(); ++group) {
      const Value& items = reply["items"].at(group)["items"];
      ASSERT_TRUE(items.isArray()) << where;
      EXPECT_GT(items.count(), 0u) << where;
      EXPECT_LE(items.count(), 15u) << where;
      for (std::size_t i = 0; i < items.count(); ++i) {
        expectStrings(items.at(i), {"title", "description", "url", "image", "image_big", "rating"}, where);
        const Value& id = items.at(i)["id"];
        // Ids come as decimal text, and as numbers for the titles the catalogue marks.
        const auto* title = server_->catalogue().title(id.isInteger()  ? std::to_string(id.intValue())
                                                       : id.asString() ? *id.asString()
                                                                       : "");
        ASSERT_NE(title, nullptr) << where;
        EXPECT_EQ(id.isInteger(), title->numericId) << where << " " << title->id;
        EXPECT_TRUE(id.isInteger() || isDecimal(id)) << where;
      }
    }
  }
  // The variety the rows must cope with: a category without the "new" group, ids of both types.
  Value theatre = api("get_category&category_id=7&popular_quantity=15&featured_quantity=15");
  EXPECT_EQ(theatre["items"].count(), 2u);
  Value films = api("get_category&category_id=1&popular_quantity=15&featured_quantity=15");
  EXPECT_TRUE(films["items"].at(1)["items"].at(1)["id"].isInteger());
  EXPECT_TRUE(films["items"].at(1)["items"].at(0)["id"].isString());
  Value small = api("get_category&category_id=1&popular_quantity=3&featured_quantity=2");
  EXPECT_EQ(small["items"].at(1)["items"].count(), 3u);
  EXPECT_EQ(small["items"].at(2)["items"].count(), 2u);
}

TEST_F(SampleServiceTest, PosterListMatchesTheSliderFormat) {
  for (auto [query, width, height, limit] : {std::tuple{"poster_size=1000x424&limit=12", 1000, 424, 12u},
                                             std::tuple{"poster_size=1000x240&limit=7", 1000, 240, 7u}}) {
    Value reply = api(std::string("get_posters&") + query);
    const Value& items = reply["items"];
    ASSERT_TRUE(items.isArray());
    EXPECT_EQ(items.count(), limit);
    std::size_t foreign = 0;
    for (std::size_t i = 0; i < items.count(); ++i) {
      const Value& item = items.at(i);
      expectStrings(item, {"background_color", "foreign_link_click_counter", "foreign_link_url", "poster"},
                    query);
      EXPECT_TRUE(std::regex_match(*item["background_color"].asString(), std::regex("#[0-9A-F]{6}")));
      EXPECT_TRUE(item["is_foreign_link"].isInteger());
      std::string size(1, '_');
      size += std::to_string(width);
      size += 'x';
      size += std::to_string(height);
      EXPECT_NE(item["poster"].asString()->find(size), std::string::npos);
      ASSERT_TRUE(item["title_info"].isDictionary());
      expectStrings(
          item["title_info"],
          {"title", "category", "rating", "about", "id", "description", "url", "image", "country", "year"},
          query);
      if (item["is_foreign_link"].intValue() == 1) {
        ++foreign;
        EXPECT_FALSE(item["foreign_link_url"].asString()->empty());
        EXPECT_FALSE(item["foreign_link_click_counter"].asString()->empty());
      } else {
        EXPECT_TRUE(isDecimal(item["title_info"]["id"]));
      }
    }
    EXPECT_EQ(foreign, 1u) << query;
  }
}

// The slider shows its pictures whole and fills the bars beside a narrower one with the poster's
// background colour: each picture's left and right edges are that colour.
TEST_F(SampleServiceTest, SliderPicturesRunOutToTheirBackgroundColourAtTheirSides) {
  Value items = api("get_posters&poster_size=1000x424&limit=12")["items"];
  ASSERT_GT(items.count(), 0u);
  for (std::size_t i = 0; i < items.count(); ++i) {
    const Value& item = items.at(i);
    std::string poster = *item["poster"].asString();
    SCOPED_TRACE(poster);
    auto res = get(poster.substr(poster.find("/images/")));
    ASSERT_TRUE(res);
    auto picture = cg::Image::decode(res->body.data(), res->body.size());
    ASSERT_TRUE(picture);
    unsigned hex = std::stoul(item["background_color"].asString()->substr(1), nullptr, 16);
    cg::Color ground = cg::Color::hex(hex);
    for (int x : {0, picture->pixelWidth() - 1})
      for (int y : {2, picture->pixelHeight() / 4}) {
        cg::Color edge = picture->colorAt(x, y);
        EXPECT_NEAR(edge.red, ground.red, 0.04) << x << "," << y;
        EXPECT_NEAR(edge.green, ground.green, 0.04) << x << "," << y;
        EXPECT_NEAR(edge.blue, ground.blue, 0.04) << x << "," << y;
      }
  }
}

// A film, a series root and an episode, as the title page and the rubric rows read them.
TEST_F(SampleServiceTest, TitleRecordsMatchWhatTheTitlePageReads) {
  const auto& c = server_->catalogue();
  const sampleservice::Title* film = nullptr;
  const sampleservice::Title* series = nullptr;
  for (const auto& t : c.titles()) {
    if (!film && !t.isSeries()) film = &t;
    if (!series && t.isSeries()) series = &t;
  }
  ASSERT_TRUE(film && series);
  struct Case {
    std::string query;
    std::string parentId;
    bool hasItems;
  };
  const std::string lastEpisode = series->episodes.back().id;
  for (const Case& k :
       {Case{"get_title&title_id=" + film->id, "", false}, Case{"get_title&title_id=" + series->id, "", true},
        Case{"get_title&title_id=" + series->episodes.front().id, series->id, false},
        Case{"get_episode&episode_id=" + lastEpisode, series->id, false}}) {
    Value r = api(k.query);
    expectStrings(r,
                  {"image", "image_big", "description", "subtitle", "title", "url", "age_from", "parent_id",
                   "rubric_name", "genre_name", "share_url"},
                  k.query);
    EXPECT_TRUE(r["rating"].isInteger()) << k.query;
    EXPECT_EQ(r["parent_id"], Value(k.parentId)) << k.query;
    EXPECT_TRUE(std::regex_search(*r["url"].asString(), std::regex("\\.m3u8$"))) << k.query;
    ASSERT_GE(r["info"].count(), 4u) << k.query;
    EXPECT_TRUE(r["info"].at(0)["items"].isArray());
    EXPECT_TRUE(r["info"].at(2)["items"].isString());
    EXPECT_TRUE(r["info"].at(3)["items"].isString());
    ASSERT_TRUE(r["actors"].isArray());
    for (std::size_t i = 0; i < r["actors"].count(); ++i)
      expectStrings(r["actors"].at(i), {"fullname", "id", "photo_76x101", "description"}, k.query);
    EXPECT_EQ(r["items"].isArray(), k.hasItems) << k.query;
  }

  // The series lists its episodes newest first; the rows show them reversed.
  Value root = api("get_title&title_id=" + series->id);
  const Value& items = root["items"];
  ASSERT_EQ(items.count(), series->episodes.size());
  EXPECT_EQ(items.at(0)["id"], Value(series->episodes.back().id));
  EXPECT_EQ(items.at(items.count() - 1)["id"], Value(series->episodes.front().id));
  for (std::size_t i = 0; i < items.count(); ++i) {
    const Value& e = items.at(i);
    expectStrings(
        e, {"title", "image", "url", "description", "category", "id", "parent_id", "genre_id", "share_url"},
        "episode entry");
    EXPECT_EQ(e["parent_id"], Value(series->id));
    EXPECT_NE(e["url"].asString()->find("method=get_title&title_id=" + *e["id"].asString()),
              std::string::npos);
    EXPECT_GE(e["info"].count(), 4u);
  }
}

TEST_F(SampleServiceTest, OneTitleCarriesAnAdvertisingClip) {
  for (const auto& t : server_->catalogue().titles()) {
    Value r = api("get_title&title_id=" + t.id);
    if (!t.adv) {
      EXPECT_TRUE(r["adv"].isNil()) << t.id;
      continue;
    }
    expectStrings(r["adv"], {"stream", "click_url", "counter"}, "adv");
    auto stream = *r["adv"]["stream"].asString();
    auto res = get(stream.substr(stream.find("/video/")));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body.rfind("#EXTM3U", 0), 0u);
  }
}

TEST_F(SampleServiceTest, RelatedPersonSearchAndCategoryTitlesMatchTheirReaders) {
  Value related = api("get_related&title_id=1001");
  EXPECT_TRUE(related["rating"].isString());
  ASSERT_GT(related["items"].count(), 0u);
  for (std::size_t i = 0; i < related["items"].count(); ++i)
    expectStrings(related["items"].at(i),
                  {"title", "image", "url", "description", "category", "parent_id", "genre_id"},
                  "get_related");
  // Related lists carry a marked title's id as a number, as category lists do.
  std::size_t numeric = 0, texts = 0;
  for (const auto& t : server_->catalogue().titles()) {
    Value list = api("get_related&title_id=" + t.id);
    for (std::size_t i = 0; i < list["items"].count(); ++i) {
      numeric += list["items"].at(i)["id"].isInteger();
      texts += isDecimal(list["items"].at(i)["id"]);
    }
    if (numeric && texts) break;
  }
  EXPECT_GT(numeric, 0u);
  EXPECT_GT(texts, 0u);

  const auto& person = server_->catalogue().persons().front();
  Value p = api("get_person&person_id=" + person.id);
  expectStrings(p, {"fullname", "photo_240x320"}, "get_person");
  ASSERT_GT(p["titles"].count(), 0u);
  for (std::size_t i = 0; i < p["titles"].count(); ++i) {
    expectStrings(p["titles"].at(i), {"name", "genre", "ID", "screenshot", "rating"}, "person title");
    EXPECT_TRUE(isDecimal(p["titles"].at(i)["ID"]));
  }

  Value search = api("get_search&q=%D1%82%D0%B0%D0%B9%D0%BD%D0%B0&limit=50");  // "тайна"
  ASSERT_GT(search["items"].count(), 0u);
  for (std::size_t i = 0; i < search["items"].count(); ++i) {
    const Value& item = search["items"].at(i);
    expectStrings(item, {"title", "description", "rating", "url", "category", "id"}, "get_search");
    EXPECT_TRUE(item["image"].isString() || item["image"].isNull());
  }
  ASSERT_TRUE(search["also"].isArray());
  EXPECT_GT(search["also"].at(0)["items"].count(), 0u);

  Value page = api("get_category_titles&category_id=1&orderby=popularity&orderdir=desc&limit=16&page=0",
                   "/api/mobile.pl");
  ASSERT_TRUE(isDecimal(page["quantity"]));
  EXPECT_EQ(page["items"].count(), 16u);
  for (std::size_t i = 0; i < page["items"].count(); ++i)
    expectStrings(page["items"].at(i), {"title", "image", "description", "year", "url", "id", "rating"},
                  "get_category_titles");
  EXPECT_TRUE(page["also"]["items"].isArray());
}

TEST_F(SampleServiceTest, SearchFindsCyrillicInAnyCaseAndNothingForNoise) {
  struct Case {
    const char* q;
    bool found;
  };
  for (auto [q, found] : {Case{"%D0%A2%D0%90%D0%99%D0%9D%D0%90", true},        // "ТАЙНА"
                          Case{"%20%D1%82%D0%B0%D0%B9%D0%BD%D0%B0%20", true},  // " тайна "
                          Case{"zzqx", false}, Case{"", false}}) {
    Value r = api(std::string("get_search&q=") + q + "&limit=50");
    EXPECT_EQ(r["items"].count() > 0, found) << q;
    EXPECT_GT(r["also"].at(0)["items"].count(), 0u) << q;
  }
  EXPECT_EQ(api("get_search&q=%D1%82%D0%B0%D0%B9%D0%BD%D0%B0&limit=2")["items"].count(), 2u);
}

// The search pages group found titles by the category text of the six shown kinds, leave other
// kinds out on the tablet, and show the poster placeholder for a null image: a broad search meets
// all of these.
TEST_F(SampleServiceTest, SearchMixesShownAndOtherKindsWithSomeNullImages) {
  const std::set<std::string> shown = {"Фильм", "Сериал", "Телепередача", "Мультфильм", "Спорт", "Музыка"};
  Value r = api("get_search&q=%D0%B0&limit=100");  // "а"
  std::set<std::string> kinds;
  std::size_t nullImages = 0;
  for (std::size_t i = 0; i < r["items"].count(); ++i) {
    kinds.insert(*r["items"].at(i)["category"].asString());
    if (r["items"].at(i)["image"].isNull()) ++nullImages;
  }
  EXPECT_GE(
      std::count_if(kinds.begin(), kinds.end(), [&](const std::string& k) { return shown.count(k) > 0; }), 2);
  EXPECT_TRUE(std::any_of(kinds.begin(), kinds.end(), [&](const std::string& k) { return !shown.count(k); }));
  EXPECT_GT(nullImages, 0u);
  // Recommendations are full records the recommended row can show.
  const Value& also = r["also"].at(0)["items"];
  ASSERT_GT(also.count(), 0u);
  for (std::size_t i = 0; i < also.count(); ++i)
    expectStrings(also.at(i), {"title", "id"}, "get_search also");
}

TEST_F(SampleServiceTest, CategoryTitlesPageSortAndFilter) {
  const std::string base = "get_category_titles&category_id=1&limit=16";
  auto pageOf = [&](const std::string& extra) { return api(base + extra, "/api/mobile.pl"); };
  int total = pageOf("&orderby=popularity&orderdir=desc&page=0")["quantity"].intValue();
  ASSERT_GT(total, 32);
  // The last page holds the remainder; one past it holds nothing but still reports the total.
  int lastPage = (total - 1) / 16;
  EXPECT_EQ(pageOf("&page=" + std::to_string(lastPage))["items"].count(), std::size_t(total - 16 * lastPage));
  Value past = pageOf("&page=" + std::to_string(lastPage + 1));
  EXPECT_EQ(past["items"].count(), 0u);
  EXPECT_EQ(past["quantity"].intValue(), total);
  // Without a page the first page comes back.
  Value first = pageOf("&orderby=popularity&orderdir=desc&page=0");
  EXPECT_EQ(pageOf("&orderby=popularity&orderdir=desc")["items"], first["items"]);
  EXPECT_NE(pageOf("&orderby=popularity&orderdir=desc&page=1")["items"], first["items"]);

  Value alpha = pageOf("&orderby=alphabet&orderdir=asc&page=0");
  for (std::size_t i = 1; i < alpha["items"].count(); ++i)
    EXPECT_LE(*alpha["items"].at(i - 1)["title"].asString(), *alpha["items"].at(i)["title"].asString());
  Value rated = pageOf("&orderby=rating&orderdir=desc&page=0");
  for (std::size_t i = 1; i < rated["items"].count(); ++i)
    EXPECT_GE(rated["items"].at(i - 1)["rating"].intValue(), rated["items"].at(i)["rating"].intValue());

  Value filtered = pageOf("&page=0&genre_id=101&year_min=1990&year_max=2000");
  EXPECT_LT(filtered["quantity"].intValue(), total);
  for (std::size_t i = 0; i < filtered["items"].count(); ++i) {
    int year = filtered["items"].at(i)["year"].intValue();
    EXPECT_TRUE(year >= 1990 && year <= 2000) << year;
  }
}

// Links inside replies lead somewhere the client can fetch, in the announced format.
TEST_F(SampleServiceTest, LinksInRepliesResolveToImagesAndPlaylists) {
  Value film = api("get_title&title_id=1001");
  Value person = api("get_person&person_id=3001");
  struct Case {
    std::string url;
    std::string contentType;
    std::string magic;
  };
  std::vector<Case> cases{{*film["image"].asString(), "image/jpeg", "\xFF\xD8\xFF"},
                          {*film["image_big"].asString(), "image/jpeg", "\xFF\xD8\xFF"},
                          {*film["actors"].at(0)["photo_76x101"].asString(), "image/png", "\x89PNG"},
                          {*person["photo_240x320"].asString(), "image/png", "\x89PNG"},
                          {*person["titles"].at(0)["screenshot"].asString(), "image/jpeg", "\xFF\xD8\xFF"},
                          {*film["url"].asString(), "application/vnd.apple.mpegurl", "#EXTM3U"},
                          {*film["share_url"].asString(), "text/html; charset=utf-8", "<!DOCTYPE html>"}};
  Value posters = api("get_posters&poster_size=1000x240&limit=7");
  for (std::size_t i = 0; i < posters["items"].count(); ++i) {
    cases.push_back({*posters["items"].at(i)["poster"].asString(), "image/jpeg", "\xFF\xD8\xFF"});
    if (posters["items"].at(i)["is_foreign_link"].intValue() == 1) {
      cases.push_back(
          {*posters["items"].at(i)["foreign_link_url"].asString(), "text/html; charset=utf-8", "<!DOCTYPE"});
      cases.push_back({*posters["items"].at(i)["foreign_link_click_counter"].asString(), "text/plain", "ok"});
    }
  }
  const std::string prefix = server_->url();
  for (const Case& k : cases) {
    ASSERT_EQ(k.url.rfind(prefix, 0), 0u) << k.url;
    auto res = get(k.url.substr(prefix.size()));
    ASSERT_TRUE(res) << k.url;
    EXPECT_EQ(res->status, 200) << k.url;
    EXPECT_EQ(res->get_header_value("Content-Type"), k.contentType) << k.url;
    EXPECT_EQ(res->body.compare(0, k.magic.size(), k.magic), 0) << k.url;
  }

  // A PNG's header gives its size: the photo is drawn at the size its URL names.
  auto photo = get("/images/person/3001_76x101.png");
  ASSERT_TRUE(photo);
  auto be32 = [&](std::size_t at) {
    const auto* b = reinterpret_cast<const unsigned char*>(photo->body.data() + at);
    return (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
  };
  EXPECT_EQ(be32(16), 76);
  EXPECT_EQ(be32(20), 101);

  // The playlist's segments are MPEG-TS packets.
  auto segment = get("/video/1001/segment0.ts");
  ASSERT_TRUE(segment);
  EXPECT_EQ(segment->body.size() % 188, 0u);
  EXPECT_EQ(segment->body[0], '\x47');
}

TEST_F(SampleServiceTest, BadRequestsGetClearErrors) {
  struct Case {
    std::string target;
    int status;
  };
  const std::string p = apiPrefix();
  for (const Case& k :
       {Case{p + "get_nothing", 404}, Case{p + "get_title&title_id=abc", 400},
        Case{p + "get_title&title_id=1%2F..", 400}, Case{p + "get_title", 400},
        Case{p + "get_title&title_id=999999", 404}, Case{p + "get_category&category_id=999", 404},
        Case{p + "get_person&person_id=1", 404}, Case{p + "get_posters&poster_size=huge", 400},
        Case{p + "get_category_titles&category_id=1", 404},
        Case{"/api/mobile.pl?platform=ios&method=get_title&title_id=1001", 404},
        Case{"/images/poster/999999.jpg", 404}, Case{"/images/poster/1001_5000x5000.jpg", 404},
        Case{"/images/poster/1001.gif", 404}, Case{"/images/unknown/1001.jpg", 404},
        Case{"/video/999999/index.m3u8", 404}, Case{"/video/1001/segment9.ts", 404}, Case{"/nowhere", 404}}) {
    auto res = get(k.target);
    ASSERT_TRUE(res) << k.target;
    EXPECT_EQ(res->status, k.status) << k.target;
  }
}

TEST_F(SampleServiceTest, OverridesBendOnePathOrOneMethod) {
  sampleservice::Override broken;
  broken.status = 500;
  server_->setOverride("/api/mobile", "get_title", broken);
  auto title = get(apiPrefix() + "get_title&title_id=1001");
  ASSERT_TRUE(title);
  EXPECT_EQ(title->status, 500);
  // Other methods on the same path answer as usual.
  auto categories = get(apiPrefix() + "get_categories");
  ASSERT_TRUE(categories);
  EXPECT_EQ(categories->status, 200);

  sampleservice::Override feed;
  feed.body = "<html>";
  feed.contentType = "text/html";
  server_->setOverride("/feed", feed);
  auto res = get("/feed");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "<html>");
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html");

  sampleservice::Override dropped;
  dropped.dropAfterBytes = 10;
  server_->setOverride("/api/mobile", dropped);
  auto cut = get(apiPrefix() + "get_categories");
  EXPECT_FALSE(cut && cut->body.size() > 10);

  server_->clearOverrides();
  auto again = get(apiPrefix() + "get_title&title_id=1001");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 200);
}

// One row of a page fails while the others load: overrides keyed on query parameters.
TEST_F(SampleServiceTest, OverridesKeyedOnQueryParametersBendOnlyThoseRequests) {
  sampleservice::Override missing, broken, slowPage;
  missing.status = 404;
  broken.body = "[1]";
  slowPage.status = 503;
  server_->setOverride("/api/mobile", "get_category", {{"category_id", "2"}}, missing);
  server_->setOverride("/api/mobile", "", {{"category_id", "3"}}, broken);
  server_->setOverride("/api/mobile.pl", "get_category_titles", {{"category_id", "1"}, {"page", "1"}},
                       slowPage);
  server_->setOverride("/api/mobile.pl", "get_category_titles", {{"page", "1"}}, missing);
  sampleservice::Override wholeMethod;
  wholeMethod.status = 500;
  server_->setOverride("/api/mobile", "get_search", wholeMethod);
  server_->setOverride("/api/mobile", "get_search", {{"q", "x"}}, missing);

  struct Case {
    std::string target;
    int status;
    std::string body;  // expected body when not empty
  };
  const std::string p = apiPrefix(), pl = "/api/mobile.pl?platform=ios&method=";
  for (const Case& k : {
           Case{p + "get_category&category_id=2", 404, ""},
           Case{p + "get_category&category_id=29", 200, ""},  // values match whole
           Case{p + "get_category&category_id=1", 200, ""},
           Case{p + "get_category&category_id=3", 200, "[1]"},  // any method with that parameter
           Case{p + "get_title&title_id=1001&category_id=3", 200, "[1]"},
           Case{pl + "get_category_titles&category_id=1&page=1", 503, ""},  // the most parameters win
           Case{pl + "get_category_titles&category_id=4&page=1", 404, ""},
           Case{pl + "get_category_titles&category_id=1&page=0", 200, ""},
           Case{p + "get_search&q=x", 404, ""},  // a parameter beats the method alone
           Case{p + "get_search&q=y", 500, ""},
       }) {
    auto res = get(k.target);
    ASSERT_TRUE(res) << k.target;
    EXPECT_EQ(res->status, k.status) << k.target;
    if (!k.body.empty()) {
      EXPECT_EQ(res->body, k.body) << k.target;
    }
  }

  // Setting the same key again replaces the override; clearing removes them all.
  server_->setOverride("/api/mobile", "get_category", {{"category_id", "2"}}, broken);
  auto replaced = get(p + "get_category&category_id=2");
  ASSERT_TRUE(replaced);
  EXPECT_EQ(replaced->body, "[1]");
  server_->clearOverrides();
  auto cleared = get(p + "get_category&category_id=2");
  ASSERT_TRUE(cleared);
  EXPECT_EQ(cleared->status, 200);
}

// An answer's head and body leave in separate writes: unless the connection sends at once, the
// body waits for the client's delayed acknowledgement of the head.
TEST_F(SampleServiceTest, ConnectionsSendWithoutWaitingForAcknowledgements) {
  sampleservice::Override held;
  held.held = true;
  server_->setOverride("/api/mobile", "get_categories", held);
  auto reply = std::async(std::launch::async, [] { return get(apiPrefix() + "get_categories"); });
  // While the answer is held, its connection is open.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (server_->heldCount() < 1 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  std::vector<int> accepted = loopback::connectionsAcceptedOn(server_->port());
  EXPECT_FALSE(accepted.empty());
  for (int fd : accepted) EXPECT_TRUE(loopback::sendsWithoutDelay(fd)) << "connection " << fd;
  server_->releaseHeld();
  auto res = reply.get();
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
}

// A release lets go every held answer whose request is in the log, even one that is still being
// made (a search of the whole catalogue) and has not begun to wait when the release comes.
TEST_F(SampleServiceTest, AReleaseLetsGoEveryHeldAnswerWhoseRequestIsLogged) {
  sampleservice::Override held;
  held.held = true;
  server_->setOverride("/api/mobile", "get_search", held);
  for (std::size_t i = 0; i < 20; ++i) {
    auto reply = std::async(std::launch::async, [] { return get(apiPrefix() + "get_search&q=a"); });
    ASSERT_TRUE(server_->waitForRequests(i + 1, 60));
    server_->releaseHeld();
    bool answered = reply.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!answered) server_->releaseHeld();  // so that the reply can be joined
    ASSERT_TRUE(answered) << "request " << i << " waits for a later release";
    auto res = reply.get();
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
  }
  EXPECT_EQ(server_->heldCount(), 0u);
}

TEST_F(SampleServiceTest, DelayedReplyStillArrivesAndStopEndsTheWait) {
  sampleservice::Override slow;
  slow.delaySeconds = 0.3;
  server_->setOverride("/api/mobile", "get_categories", slow);
  auto start = std::chrono::steady_clock::now();
  auto res = get(apiPrefix() + "get_categories");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));

  // A held reply waits for its release, then answers with the override's status.
  sampleservice::Override held;
  held.held = true;
  held.status = 503;
  server_->setOverride("/api/mobile", "get_categories", held);
  auto heldReply = std::async(std::launch::async, [this] { return get(apiPrefix() + "get_categories"); });
  while (server_->heldCount() < 1) std::this_thread::yield();
  EXPECT_EQ(heldReply.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  server_->releaseHeld();
  auto released = heldReply.get();
  ASSERT_TRUE(released);
  EXPECT_EQ(released->status, 503);
  EXPECT_EQ(server_->heldCount(), 0u);

  // A server stopped while a reply waits does not sit out the delay: the waiting client hears back
  // as soon as the server stops, not before. (The client is declared first so that, should a check
  // fail, the server stops before the client's wait is joined.)
  std::future<httplib::Result> waiting;
  sampleservice::Server other;
  other.start();
  sampleservice::Override stuck;
  stuck.delaySeconds = 600;
  other.setOverride("/slow", stuck);
  waiting = std::async(std::launch::async, [port = other.port()] {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(900, 0);
    return client.Get("/slow");
  });
  ASSERT_TRUE(other.waitForRequests(1, 60));
  EXPECT_EQ(waiting.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  auto stopStart = std::chrono::steady_clock::now();
  other.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::seconds(60));
  EXPECT_EQ(waiting.wait_for(std::chrono::seconds(60)), std::future_status::ready);
}

TEST_F(SampleServiceTest, RequestLogRecordsMethodsAndParameters) {
  api("get_title&title_id=1001");
  api("get_search&q=%D0%B0%26b&limit=50");
  get("/images/poster/1001.jpg");
  ASSERT_EQ(server_->requestCount(), 3u);
  auto searches = server_->requestsFor("get_search");
  ASSERT_EQ(searches.size(), 1u);
  EXPECT_EQ(searches[0].params.at("q"), "а&b");
  EXPECT_EQ(searches[0].query, "platform=ios&method=get_search&q=%D0%B0%26b&limit=50");
  EXPECT_EQ(server_->requests()[2].path, "/images/poster/1001.jpg");
  server_->clearLog();
  EXPECT_EQ(server_->requestCount(), 0u);
}

TEST(SampleCatalogueTest, LoadFailuresNameTheFileAndTheFault) {
  struct Case {
    const char* name;
    std::string titles;  // the titles file to write; empty writes none
    const char* message;
  };
  const std::string good = sampleservice::defaultDataFolder();
  for (const Case& k : {Case{"missing file", "", "cannot read"}, Case{"malformed JSON", "[{", "titles.json"},
                        Case{"not an array", "{}", "expected an array"},
                        Case{"missing field", R"([{"id":"1"}])", "category_id"}}) {
    testsupport::TempDir dir;
    for (const char* file : {"categories.json", "persons.json", "posters.json"}) {
      std::ifstream in(good + "/" + file, std::ios::binary);
      std::ofstream out(dir.file(file), std::ios::binary);
      out << in.rdbuf();
    }
    if (!k.titles.empty()) std::ofstream(dir.file("titles.json")) << k.titles;
    try {
      sampleservice::Catalogue::load(dir.str());
      ADD_FAILURE() << k.name << ": loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(k.message), std::string::npos) << k.name << ": " << e.what();
    }
  }
}

}  // namespace

namespace {

TEST_F(SampleServiceTest, CollectKeepsPostedHitsAndListsThem) {
  httplib::Client client("127.0.0.1", server_->port());
  httplib::Headers agent{{"User-Agent", "tester/1"}};
  auto posted = client.Post("/collect", agent, "t=event&ea=%D0%9F%D0%B5%D1%80%D0%B5%D1%85%D0%BE%D0%B4+1&z=7",
                            "application/x-www-form-urlencoded; charset=UTF-8");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 200);
  sampleservice::Override unavailable;
  unavailable.status = 503;
  server_->setOverride("/collect", unavailable);
  auto refused = client.Post("/collect", "t=appview", "application/x-www-form-urlencoded");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);

  ASSERT_EQ(server_->collectedHits().size(), 1u);
  auto listed = client.Get("/collect");
  ASSERT_TRUE(listed);
  Value hits = ns::JSONSerialization::JSONObjectWithString(listed->body)["hits"];
  ASSERT_EQ(hits.count(), 1u) << listed->body;
  EXPECT_EQ(hits.at(0)["parameters"]["ea"], Value("Переход 1"));
  EXPECT_EQ(hits.at(0)["parameters"]["z"], Value("7"));
  EXPECT_EQ(hits.at(0)["userAgent"], Value("tester/1"));
  server_->clearLog();
  EXPECT_TRUE(server_->collectedHits().empty());
}

}  // namespace
