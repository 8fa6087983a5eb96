// The poster list as the slider reads it: reply items mapped into records from real JSON text,
// the colour notation, the poster file names, and what a reply of each shape reports.
#include <gtest/gtest.h>

#include <cmath>

#include "Classes/MainPage/MainSlider.h"
#include "Foundation/FileManager.h"
#include "HomeTestSupport.h"
#include "RowTestSupport.h"
#include "ServiceHostOverride.h"

namespace {

using ns::Value;
using testsupport::jsonText;

std::string text(const Value& v) { return v.asString() ? *v.asString() : std::string("<not a string>"); }

TEST(PosterRecordTest, ItemsMapIntoRecordsWhateverTheirValueTypes) {
  const char* full = R"({"background_color": "#4C260F", "is_foreign_link": 0, "poster": "http://h/s/1.jpg",
      "foreign_link_click_counter": "http://h/c", "foreign_link_url": "http://h/l",
      "title_info": {"title": "Тихий берег", "category": "Фильмы", "rating": "4", "about": "Драма о море",
        "id": "1001", "description": "драма", "url": "http://h/t/1001", "image": "http://h/p/1001.jpg",
        "country": "Россия", "year": "2012"}})";
  Value record = MainSliderBase::posterRecordFromItem(jsonText(full));
  const std::pair<const char*, const char*> expected[] = {{"name", "Тихий берег"},
                                                          {"yeahr", "2012"},
                                                          {"bgColor", "#4C260F"},
                                                          {"id", "1001"},
                                                          {"country", "Россия"},
                                                          {"genre", "драма"},
                                                          {"image", "http://h/p/1001.jpg"},
                                                          {"poster", "http://h/s/1.jpg"},
                                                          {"url", "http://h/t/1001"},
                                                          {"rating", "4"},
                                                          {"age", ""},
                                                          {"description", "Драма о море"},
                                                          {"rubric", "Фильмы"},
                                                          {"parent_id", ""}};
  for (const auto& [key, value] : expected) EXPECT_EQ(text(record[key]), value) << key;
  // A link that is not foreign carries no link URLs, whatever the reply says.
  EXPECT_EQ(record["foreignDict"]["is_foreign_link"].intValue(), 0);
  EXPECT_EQ(text(record["foreignDict"]["foreign_link_url"]), "");
  EXPECT_EQ(text(record["foreignDict"]["foreign_link_click_counter"]), "");
  EXPECT_EQ(text(record["foreignDict"]["filmName"]), "Тихий берег");

  struct Case {
    const char* name;
    const char* item;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"title_info missing empties its values", R"({"poster": "p", "background_color": "#000000"})", "name",
       ""},
      {"title_info missing keeps the poster", R"({"poster": "p"})", "poster", "p"},
      {"title_info not an object", R"({"title_info": ["x"], "background_color": "#1"})", "bgColor", "#1"},
      {"id as a number is its digits", R"({"title_info": {"id": 42}})", "id", "42"},
      {"id past 32 bits is its digits", R"({"title_info": {"id": 3000000000}})", "id", "3000000000"},
      {"id as a fraction is empty", R"({"title_info": {"id": 4.2}})", "id", ""},
      {"id as a string", R"({"title_info": {"id": "42"}})", "id", "42"},
      {"null values are empty", R"({"poster": null, "title_info": {"title": null}})", "poster", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(text(MainSliderBase::posterRecordFromItem(jsonText(c.item))[c.key]), c.value) << c.name;
}

TEST(PosterRecordTest, OnlyTheValueOneMarksAForeignLink) {
  struct Case {
    const char* flag;
    bool foreign;
  };
  const Case cases[] = {{"1", true},        {"\"1\"", true}, {"true", true},     {"0", false},
                        {"2", false},       {"-1", false},   {"\"yes\"", false}, {"null", false},
                        {"\"1abc\"", true}, {"1.0", true}};
  for (const Case& c : cases) {
    std::string item =
        std::string(R"({"foreign_link_click_counter": "http://h/c", "foreign_link_url": "http://h/l",
        "is_foreign_link": )") +
        c.flag + "}";
    Value record = MainSliderBase::posterRecordFromItem(jsonText(item));
    EXPECT_EQ(MainSliderBase::isForeignLink(record), c.foreign) << c.flag;
    EXPECT_EQ(text(record["foreignDict"]["foreign_link_url"]), c.foreign ? "http://h/l" : "") << c.flag;
  }
  EXPECT_FALSE(MainSliderBase::isForeignLink(MainSliderBase::posterRecordFromItem(jsonText("{}"))));
}

TEST(PosterColourTest, HexTextsReadAsTheScannerReadsThem) {
  struct Case {
    Value text;
    double r, g, b;
  };
  const Case cases[] = {
      {"#FF8000", 1, 128 / 255.0, 0},
      {"", 0, 0, 0},
      {"000000", 0, 0, 0},
      {"FF8000", 0xF8 / 255.0, 0, 0},  // the first character is skipped whatever it is
      {"#FFF", 0, 0, 0},               // too short
      {"#ff8000", 1, 128 / 255.0, 0},
      {"#GG8000", 0, 128 / 255.0, 0},  // a part without a digit reads 0
      {"#F08000", 240 / 255.0, 128 / 255.0, 0},
      {"#0F8Z00", 15 / 255.0, 8 / 255.0, 0},  // the scan stops at the first non-digit
      {"#FF80001234", 1, 128 / 255.0, 1},     // above 255 counts as 255
      {"#FF800", 1, 128 / 255.0, 0},          // blue from an empty rest
      {Value(12), 0, 0, 0},
      {Value(), 0, 0, 0},
  };
  for (const Case& c : cases) {
    cg::Color colour = MainSliderBase::fromHexToRGBColor(c.text).cgColor();
    EXPECT_NEAR(colour.red, c.r, 1e-9) << c.text.describe();
    EXPECT_NEAR(colour.green, c.g, 1e-9) << c.text.describe();
    EXPECT_NEAR(colour.blue, c.b, 1e-9) << c.text.describe();
    EXPECT_EQ(colour.alpha, 1.0) << c.text.describe();
  }
}

TEST(PosterColourTest, NamesOnlyFilesOfThePosterFolder) {
  std::string folder = TLSettings::sliderPostersPath();
  struct Case {
    const char* url;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"http://h/slider/1001_1000x424.jpg", "1001_1000x424.jpg"},
      {"poster.png", "poster.png"},
      {"http://h/slider/a.jpg?size=2", "a.jpg?size=2"},
      {"http://h/slider/", std::nullopt},
      {"http://h/slider/..", std::nullopt},
      {"http://h/slider/.", std::nullopt},
      {"..", std::nullopt},
  };
  for (const Case& c : cases) {
    auto path = MainSliderBase::posterFilePath(c.url);
    ASSERT_EQ(path.has_value(), c.name.has_value()) << c.url;
    if (path) {
      EXPECT_EQ(*path, folder + "/" + *c.name) << c.url;
    }
  }
}

// What a poster reply of each shape does to a slider and its delegate.
class PosterReplyTest : public testsupport::HomeServiceSuite {
 protected:
  struct Outcome {
    std::vector<bool> reports;
    bool loaded = false;
    std::size_t records = 0;
    std::string firstName;
    bool playImage = false;
  };
  Outcome load(std::optional<std::string> body, std::optional<int> status = std::nullopt) {
    if (body || status) {
      sampleservice::Override o;
      o.body = body;
      o.status = status;
      o.contentType = "application/json";
      server_->setOverride("/api/mobile", "get_posters", o);
    }
    auto delegate = std::make_shared<testsupport::RecordingSliderDelegate>();
    auto slider =
        std::make_shared<MainSlider>()->initWithFilms({testsupport::posterRecord("заставка", "000000")});
    slider->setDelegate(delegate);
    EXPECT_TRUE(testsupport::spinUntil([&] { return !delegate->reports.empty(); }));
    slider->stopAsync();
    Outcome out{
        delegate->reports, slider->isLoadedJSON(), slider->filmList().size(),
        text(slider->filmList().empty() ? Value() : slider->filmList()[0]["name"]),
        slider->playButton() && slider->playButton()->imageForState(ui::ControlStateNormal) != nullptr};
    return out;
  }
};

TEST_F(PosterReplyTest, EveryReplyShapeEndsTheLoad) {
  struct Case {
    const char* name;
    std::optional<std::string> body;
    std::optional<int> status;
    bool report, loaded;
    std::size_t records;
    const char* firstName;
  };
  const Case cases[] = {
      {"not an object", "[1, 2]", {}, false, false, 1, "заставка"},
      {"items missing", R"({"posters": []})", {}, false, false, 1, "заставка"},
      {"items not an array", R"({"items": {"a": {}}})", {}, false, false, 1, "заставка"},
      {"items empty", R"({"items": []})", {}, true, false, 1, "заставка"},
      {"only non-objects", R"({"items": ["a", 2, null]})", {}, true, false, 1, "заставка"},
      {"non-objects skipped",
       R"({"items": [{"title_info": {"title": "a"}}, "b", {"title_info": {"title": "c"}}]})",
       {},
       true,
       true,
       2,
       "a"},
      {"server error", {}, 500, false, false, 1, "заставка"},
      {"the sample service", {}, {}, true, true, 12, "Секрет ночного поезда"},
  };
  for (const Case& c : cases) {
    server_->clearOverrides();
    Outcome out = load(c.body, c.status);
    EXPECT_EQ(out.reports, std::vector<bool>{c.report}) << c.name;
    EXPECT_EQ(out.loaded, c.loaded) << c.name;
    // The play image shows only over real posters.
    EXPECT_EQ(out.playImage, c.loaded) << c.name;
    EXPECT_EQ(out.records, c.records) << c.name;
    EXPECT_EQ(out.firstName, c.firstName) << c.name;
  }
}

}  // namespace
