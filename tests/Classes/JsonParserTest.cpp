// The feed parser against the sample service, which serves the test's feeds through overrides.
#include <gtest/gtest.h>

#include "Classes/MainPage/JsonParser.h"
#include "Foundation/JSONSerialization.h"
#include "support/RunLoopSpin.h"
#include "support/SampleServiceSuite.h"

namespace {

using ns::Array;
using ns::Dictionary;
using ns::Value;

struct RecordingDelegate : parserDelegate {
  std::vector<Array> calls;
  void loadJSONArray(const Array& array) override { calls.push_back(array); }
};

// A feed item of the full shape; a field given as nil is left out of it.
Value item(Value name, Value year, Value country, Value genre, Value image, Value poster) {
  Dictionary info2, info3, detail, title, feedItem;
  info2.set("items", country);
  info3.set("items", year);
  detail.set("title", genre);
  detail.set("image", image);
  detail.set("info", Array{Dictionary{{"items", Array{"Режиссёр"}}}, Dictionary{}, info2, info3});
  title.set("title", name);
  title.set("items", Array{detail});
  feedItem.set("title", title);
  feedItem.set("poster", poster);
  return feedItem;
}

Value fullItem(const std::string& name) {
  return item(name, "2012", "Россия", "Драма", "http://img/" + name, "http://poster/" + name);
}

Dictionary record(std::initializer_list<std::pair<const char*, Value>> fields) {
  Dictionary out;
  for (const auto& [key, value] : fields) out.set(key, value);
  return out;
}

Dictionary fullRecord(const std::string& name) {
  return record({{"name", name},
                 {"yeahr", "2012"},
                 {"country", "Россия"},
                 {"genre", "Драма"},
                 {"image", "http://img/" + name},
                 {"poster", "http://poster/" + name}});
}

std::string json(const Value& value) { return ns::JSONSerialization::stringWithJSONObject(value).value(); }

class JsonParserTest : public testsupport::SampleServiceSuite {
 protected:
  void SetUp() override {
    SampleServiceSuite::SetUp();
    delegate_ = std::make_shared<RecordingDelegate>();
    parser_ = std::make_shared<JsonParser>()->initWithUrl(url("/feed/start.json"));
    parser_->setDelegate(delegate_);
  }

  static ns::URL url(const std::string& path) { return ns::URL::URLWithString(server_->url(path)).value(); }

  static void serve(const std::string& path, const std::string& body, int status = 200,
                    const std::string& contentType = "application/json") {
    sampleservice::Override feed;
    feed.body = body;
    feed.status = status;
    feed.contentType = contentType;
    server_->setOverride(path, feed);
  }

  // Loads a feed and waits for the delegate call it brings.
  void load(const std::string& path) {
    std::size_t before = delegate_->calls.size();
    parser_->jsonParseWithUrl(url(path));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate_->calls.size() > before; }));
  }

  // Loads a feed whose reply must change nothing. A good feed is loaded after it, answered late,
  // and must then be the only delegate call, holding only its own record.
  void expectNoEffect(const std::string& path, const char* name) {
    server_->clearLog();
    Array before = parser_->returnedArray();
    std::size_t calls = delegate_->calls.size();
    parser_->jsonParseWithUrl(url(path));
    ASSERT_TRUE(testsupport::spinUntil([&] { return server_->requestCount() == 1; })) << name;
    sampleservice::Override late;
    late.body = json(Dictionary{{"items", Array{fullItem("после")}}});
    late.contentType = "application/json";
    late.delaySeconds = 0.2;
    server_->setOverride("/feed/after.json", late);
    parser_->jsonParseWithUrl(url("/feed/after.json"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return delegate_->calls.size() > calls; })) << name;
    before.push_back(fullRecord("после"));
    EXPECT_EQ(delegate_->calls.size(), calls + 1) << name;
    EXPECT_EQ(delegate_->calls.back(), before) << name;
  }

  std::shared_ptr<RecordingDelegate> delegate_;
  std::shared_ptr<JsonParser> parser_;
};

TEST_F(JsonParserTest, LoadsAppendTheirRecordsToThoseOfEarlierLoads) {
  EXPECT_EQ(parser_->url(), url("/feed/start.json"));
  EXPECT_TRUE(parser_->returnedArray().empty());
  serve("/feed/a.json", json(Dictionary{{"items", Array{fullItem("Первый"), fullItem("Второй")}}}));
  serve("/feed/b.json", json(Dictionary{{"items", Array{fullItem("Третий")}}}));
  serve("/feed/empty.json", json(Dictionary{{"items", Array{}}}));

  load("/feed/a.json");
  EXPECT_EQ(delegate_->calls.back(), (Array{fullRecord("Первый"), fullRecord("Второй")}));
  load("/feed/b.json");
  EXPECT_EQ(delegate_->calls.back(),
            (Array{fullRecord("Первый"), fullRecord("Второй"), fullRecord("Третий")}));
  // An empty feed hands on what earlier loads collected.
  load("/feed/empty.json");
  EXPECT_EQ(delegate_->calls.back().size(), 3u);
  EXPECT_EQ(parser_->returnedArray(), delegate_->calls.back());
  EXPECT_EQ(server_->requests().back().path, "/feed/empty.json");
}

TEST_F(JsonParserTest, AMissingValueEndsTheRecordAndMalformedItemsAreSkipped) {
  Value noTitleName = item(Value(), "2012", "Россия", "Драма", "i", "p");
  Value noDetails = Dictionary{{"title", Dictionary{{"title", "Без деталей"}}}, {"poster", "p"}};
  Value noInfo = Dictionary{
      {"title", Dictionary{{"title", "Без фактов"}, {"items", Array{Dictionary{{"title", "Драма"}}}}}}};
  struct Case {
    const char* name;
    Value feedItem;
    std::optional<Dictionary> expected;  // nothing: the item is skipped
  };
  const Case cases[] = {
      {"full", fullItem("Полный"), fullRecord("Полный")},
      {"no poster", item("A", "2012", "Россия", "Драма", "i", Value()),
       record({{"name", "A"}, {"yeahr", "2012"}, {"country", "Россия"}, {"genre", "Драма"}, {"image", "i"}})},
      {"no image", item("B", "2012", "Россия", "Драма", Value(), "p"),
       record({{"name", "B"}, {"yeahr", "2012"}, {"country", "Россия"}, {"genre", "Драма"}})},
      {"no genre", item("C", "2012", "Россия", Value(), "i", "p"),
       record({{"name", "C"}, {"yeahr", "2012"}, {"country", "Россия"}})},
      {"no country", item("D", "2012", Value(), "Драма", "i", "p"),
       record({{"name", "D"}, {"yeahr", "2012"}})},
      {"no year", item("E", Value(), "Россия", "Драма", "i", "p"), record({{"name", "E"}})},
      {"no name", noTitleName, Dictionary{}},
      {"no title object", Dictionary{{"poster", "p"}}, Dictionary{}},
      {"no details", noDetails, record({{"name", "Без деталей"}})},
      {"no info", noInfo, record({{"name", "Без фактов"}})},
      {"values kept as sent", item(7, 2012, Value::null(), "Драма", "i", "p"),
       record({{"name", 7},
               {"yeahr", 2012},
               {"country", Value::null()},
               {"genre", "Драма"},
               {"image", "i"},
               {"poster", "p"}})},
      {"item not an object", Value("строка"), std::nullopt},
      {"title not an object", Dictionary{{"title", "строка"}}, std::nullopt},
      {"title is null", Dictionary{{"title", Value::null()}}, std::nullopt},
      {"details empty", Dictionary{{"title", Dictionary{{"title", "X"}, {"items", Array{}}}}}, std::nullopt},
      {"details not an array", Dictionary{{"title", Dictionary{{"title", "X"}, {"items", Dictionary{}}}}},
       std::nullopt},
      {"detail not an object", Dictionary{{"title", Dictionary{{"title", "X"}, {"items", Array{"x"}}}}},
       std::nullopt},
      {"three info entries",
       Dictionary{{"title", Dictionary{{"title", "X"},
                                       {"items", Array{Dictionary{{"info", Array{Dictionary{}, Dictionary{},
                                                                                 Dictionary{}}}}}}}}},
       std::nullopt},
      {"info entry not an object",
       Dictionary{{"title", Dictionary{{"title", "X"},
                                       {"items", Array{Dictionary{{"info", Array{Dictionary{}, Dictionary{},
                                                                                 "x", Dictionary{}}}}}}}}},
       std::nullopt},
      {"info not an array",
       Dictionary{{"title", Dictionary{{"title", "X"}, {"items", Array{Dictionary{{"info", "x"}}}}}}},
       std::nullopt},
  };
  Array items, expected;
  for (const Case& c : cases) {
    items.push_back(c.feedItem);
    if (c.expected) expected.push_back(*c.expected);
  }
  serve("/feed/shapes.json", json(Dictionary{{"items", items}}));
  load("/feed/shapes.json");
  const Array& got = delegate_->calls.back();
  ASSERT_EQ(got.size(), expected.size());
  std::size_t k = 0;
  for (const Case& c : cases) {
    if (c.expected) {
      EXPECT_EQ(got[k++], Value(*c.expected)) << c.name;
    }
  }
}

TEST_F(JsonParserTest, ItemsThatAreNotAnArrayCountAsNone) {
  serve("/feed/a.json", json(Dictionary{{"items", Array{fullItem("Первый")}}}));
  load("/feed/a.json");
  for (const char* body : {R"({"items":"x"})", R"({"items":{"a":1}})", R"({"items":null})", R"({})"}) {
    serve("/feed/odd.json", body);
    load("/feed/odd.json");
    EXPECT_EQ(delegate_->calls.back(), (Array{fullRecord("Первый")})) << body;
  }
}

TEST_F(JsonParserTest, RepliesThatAreNoFeedCallNothing) {
  serve("/feed/a.json", json(Dictionary{{"items", Array{fullItem("Первый")}}}));
  load("/feed/a.json");
  struct Case {
    const char* name;
    std::string body;
    int status;
    std::string contentType;
  };
  const Case cases[] = {
      {"array", "[1,2]", 200, "application/json"},
      {"string", "\"feed\"", 200, "application/json"},
      {"null", "null", 200, "application/json"},
      {"malformed JSON", "{\"items\": [", 200, "application/json"},
      {"server error", json(Dictionary{{"items", Array{fullItem("X")}}}), 500, "application/json"},
      {"not found", "{}", 404, "application/json"},
      {"HTML", "<html></html>", 200, "text/html"},
      {"empty body", "", 200, "application/json"},
  };
  for (const Case& c : cases) {
    serve("/feed/bad.json", c.body, c.status, c.contentType);
    expectNoEffect("/feed/bad.json", c.name);
  }
  sampleservice::Override dropped;
  dropped.body = json(Dictionary{{"items", Array{fullItem("X")}}});
  dropped.contentType = "application/json";
  dropped.dropAfterBytes = 5;
  server_->setOverride("/feed/dropped.json", dropped);
  expectNoEffect("/feed/dropped.json", "dropped connection");
}

TEST_F(JsonParserTest, APendingLoadOutlivesItsCallerAndAGoneDelegateIsSkipped) {
  serve("/feed/a.json", json(Dictionary{{"items", Array{fullItem("Первый")}}}));
  std::weak_ptr<JsonParser> watch = parser_;
  parser_->jsonParseWithUrl(url("/feed/a.json"));
  parser_.reset();
  ASSERT_TRUE(testsupport::spinUntil([&] { return !delegate_->calls.empty(); }));
  EXPECT_EQ(delegate_->calls.back(), (Array{fullRecord("Первый")}));
  ASSERT_TRUE(testsupport::spinUntil([&] { return watch.expired(); }));

  auto parser = std::make_shared<JsonParser>()->initWithUrl(url("/feed/a.json"));
  {
    auto gone = std::make_shared<RecordingDelegate>();
    parser->setDelegate(gone);
  }
  parser->jsonParseWithUrl(url("/feed/a.json"));
  ASSERT_TRUE(testsupport::spinUntil([&] { return parser->returnedArray().size() == 1; }));
  EXPECT_EQ(parser->delegate(), nullptr);
}

}  // namespace
