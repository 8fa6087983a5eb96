// What a hostile reply can make the title and person pages hold: the per-title lists (episodes,
// related titles, persons, a person's films) against generated replies of a million records from
// the loopback service, with the page's time, the process's peak memory and the views and records
// it made, and the visit after it that reads the lists back from their files.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>

#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TitlePage/TLRolesItem.h"
#include "Classes/TitlePage/TLTitleFilmSubview.h"
#include "Classes/TitlePage/TitleActorViewController.h"
#include "Classes/iphone/TitlePage/TLTitleFilmSubview_iphone.h"
#include "Foundation/FileManager.h"
#include "TitlePageTestSupport.h"

namespace {

using ns::Value;
using testsupport::TitlePageSuite;

// What the fault cost was minutes and gigabytes; the reply itself is decoded whole (twice on a
// series page: by the page and by its episode row), the rest adds little to it.
constexpr double kMemoryCeilingMegabytes = 800;
constexpr double kTimeLimitSeconds = 30;
// Each hostile reply's list: small records, a little under the longest reply the client reads.
// Sanitized runs measure neither time nor memory, so a tenth of it shows the cut as well.
constexpr std::size_t kFloodRecords = testsupport::kSanitized ? 100000 : 1000000;

sampleservice::Override flood(const std::string& element) {
  sampleservice::Override o;
  o.body = testsupport::generatedList(kFloodRecords, element);
  o.contentType = "application/json";
  return o;
}

std::uintmax_t fileSize(const std::string& fileName) {
  std::error_code error;
  auto size = std::filesystem::file_size(*TLSettings::getPlistDirectoryWithFileName(fileName), error);
  return error ? 0 : size;
}

template <class View>
std::size_t subviewsOf(const std::shared_ptr<ui::View>& parent) {
  std::size_t n = 0;
  if (parent)
    for (const auto& v : parent->subviews()) n += std::dynamic_pointer_cast<View>(v) != nullptr;
  return n;
}

// The process's CPU time: what the client and its server spent, however loaded the machine is.
double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double secondsSince(double start) { return cpuSeconds() - start; }

class TitleListBoundsTest : public TitlePageSuite {
 protected:
  // The page, opened, once `loaded` holds and whatever it set going has finished.
  std::shared_ptr<TitlePageViewController> openAndSettle(
      const Value& info, const std::function<bool(TitlePageViewController&)>& loaded) {
    auto page = open(info, false);
    page->view();
    EXPECT_TRUE(testsupport::spinUntil([&] { return loaded(*page); }));
    EXPECT_TRUE(testsupport::spinUntil(testsupport::nothingLoadingOrRunning));
    testsupport::awaitRequestsEnded();
    return page;
  }
  // The section of the page's episodes or related titles, its tiles built; the count of its
  // entries, and of its tiles on the tablet.
  std::pair<std::size_t, std::size_t> openSection(const std::shared_ptr<TitlePageViewController>& page,
                                                  bool episodes) {
    episodes ? page->showSeriesSubview() : page->showAlsoSubView();
    if (auto grid = std::dynamic_pointer_cast<TLTitleFilmSubview>(page->titleSubview())) {
      grid->layoutIfNeeded();
      EXPECT_TRUE(testsupport::spinUntil([&] { return grid->operationQueue()->operationCount() == 0; }));
      return {grid->items().size(), subviewsOf<TLVideoItemPriview>(grid->viewScroll())};
    }
    auto table = std::dynamic_pointer_cast<TLTitleFilmSubview_iphone>(page->titleSubview());
    EXPECT_TRUE(table);
    return {table ? table->items().size() : 0, 0};
  }
};

// A series reply of a million episodes, or a related-titles reply of a million titles, makes no
// more tiles, records or file than its list's bound allows; the next visit, whose request fails,
// reads that file back as fast.
TEST_F(TitleListBoundsTest, AMillionEpisodesOrRelatedTitlesCostWhatTheirListsKeep) {
  struct Case {
    const char* name;
    const char* method;
    const char* titleId;
    bool episodes;
    std::size_t kept;
  };
  const Case cases[] = {
      {"episodes", "get_title", "1081", true, TLTitleListCache::kMaxEpisodes},
      {"related titles", "get_related", "1001", false, TLTitleListCache::kMaxRelatedTitles},
  };
  for (bool pad : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (pad ? " on the tablet" : " on the phone"));
      testsupport::HomeDevice device(pad);
      testsupport::clearAppCaches();
      server_->setOverride("/api/mobile", c.method, {{"title_id", c.titleId}}, flood(R"({"id":7})"));
      std::string fileName = std::string(c.titleId) + (c.episodes ? "ser.plist" : "als.plist");

      testsupport::PeakMemoryGrowth memory;
      auto start = cpuSeconds();
      // The list is there once its file is: the tablet's row shows it, the phone's page reads it.
      auto listed = [&](TitlePageViewController& p) {
        auto row = c.episodes ? p.seriesView() : p.advancedView();
        return TLTitleListCache::read(fileName)["items"].count() > 0 &&
               (!pad || (row && !row->filmsArray().empty()));
      };
      auto page = openAndSettle(titleInfo(c.titleId), listed);
      auto [entries, tiles] = openSection(page, c.episodes);
      double seconds = secondsSince(start);
      EXPECT_EQ(entries, c.kept);
      if (pad) {
        EXPECT_EQ(tiles, c.kept);
        auto row = c.episodes ? page->seriesView() : page->advancedView();
        ASSERT_TRUE(row);
        EXPECT_EQ(row->filmsArray().size(), c.kept);
        EXPECT_LE(subviewsOf<TLVideoItemPriview>(row->scrollView()), c.kept);
      }
      EXPECT_EQ(TLTitleListCache::read(fileName)["items"].count(), c.kept);
      EXPECT_LE(fileSize(fileName), TLTitleListCache::kMaxFileBytes);
      if (!testsupport::kSanitized) {
        EXPECT_LT(memory.megabytes(), kMemoryCeilingMegabytes);
        EXPECT_LT(seconds, kTimeLimitSeconds);
      }

      // The next visit, to an episode of that title, finds the service failing and reads the files.
      server_->clearOverrides();
      sampleservice::Override failing;
      failing.status = 503;
      server_->setOverride("/api/mobile", "get_title", failing);
      start = cpuSeconds();
      auto again = openAndSettle(titleInfo("7", c.titleId),
                                 [](TitlePageViewController& p) { return p.isAlertShow(); });
      auto [readBack, tilesAgain] = openSection(again, c.episodes);
      EXPECT_EQ(readBack, c.kept);
      if (pad) {
        EXPECT_EQ(tilesAgain, c.kept);
        auto row = c.episodes ? again->seriesView() : again->advancedView();
        ASSERT_TRUE(row);
        EXPECT_EQ(row->filmsArray().size(), c.kept);
      }
      if (!testsupport::kSanitized) {
        EXPECT_LT(secondsSince(start), kTimeLimitSeconds);
      }
      server_->clearOverrides();
      ui::AlertView::dismissAll();
    }
  }
}

// A title record listing a million persons makes no more person tiles than the page keeps.
TEST_F(TitleListBoundsTest, AMillionPersonsOfATitleCostWhatThePageKeeps) {
  const std::size_t kMax = TitlePageViewController::kMaxPersons;
  for (bool pad : {true, false}) {
    SCOPED_TRACE(pad ? "tablet" : "phone");
    testsupport::HomeDevice device(pad);
    testsupport::clearAppCaches();
    std::string record = testsupport::generatedList(kFloodRecords, R"({"id":1})");
    record.replace(record.find("\"items\""), 7, "\"actors\"");
    setTitle("1001", record.substr(0, record.size() - 1) + R"(, "title": "Фильм"})");
    testsupport::PeakMemoryGrowth memory;
    auto start = cpuSeconds();
    auto page = openAndSettle(titleInfo("1001"), [](TitlePageViewController& p) { return p.isRoles(); });
    ASSERT_TRUE(page->pageActors().isArray());
    EXPECT_EQ(page->pageActors().count(), kMax);
    EXPECT_TRUE(page->isRoles());
    page->showRolesSubView();
    if (pad) {
      ASSERT_TRUE(page->roleView());
      EXPECT_EQ(subviewsOf<TLRolesItem>(page->roleView()->scrollView()), kMax);
      auto grid = std::dynamic_pointer_cast<TLTitleFilmSubview>(page->titleSubview());
      ASSERT_TRUE(grid);
      ASSERT_TRUE(testsupport::spinUntil([&] { return grid->operationQueue()->operationCount() == 0; }));
      EXPECT_EQ(subviewsOf<TLRolesItem>(grid->viewScroll()), kMax);
    } else {
      auto table = std::dynamic_pointer_cast<TLTitleFilmSubview_iphone>(page->titleSubview());
      ASSERT_TRUE(table);
      EXPECT_EQ(table->items().size(), kMax);
    }
    if (!testsupport::kSanitized) {
      EXPECT_LT(memory.megabytes(), kMemoryCeilingMegabytes);
      EXPECT_LT(secondsSince(start), kTimeLimitSeconds);
    }
    server_->clearOverrides();
  }
}

// A person record listing a million films makes a strip of the first of them only.
TEST_F(TitleListBoundsTest, AMillionFilmsOfAPersonMakeAStripOfTheFirstOnly) {
  testsupport::HomeDevice device(true);
  std::string record = testsupport::generatedList(kFloodRecords, R"({"ID":1005})");
  record.replace(record.find("\"items\""), 7, "\"titles\"");
  sampleservice::Override person;
  person.body = record.substr(0, record.size() - 1) + R"(, "id": "3001", "fullname": "Глеб Дроздов"})";
  person.contentType = "application/json";
  server_->setOverride("/api/mobile", "get_person", person);
  testsupport::PeakMemoryGrowth memory;
  auto start = cpuSeconds();
  auto page = std::make_shared<TitleActorViewController>()->initWithItem(
      Value(ns::Dictionary{{"id", "3001"}, {"title", "Глеб Дроздов"}}));
  page->view();
  ASSERT_TRUE(testsupport::spinUntil([&] { return page->actorDetailInfo().isDictionary(); }));
  EXPECT_EQ(subviewsOf<TLVideoItemPriview>(page->filmsScrollView()), TitleActorViewController::kMaxFilms);
  EXPECT_EQ(page->filmsScrollView()->contentSize().width, TitleActorViewController::kMaxFilms * 225.0);
  if (!testsupport::kSanitized) {
    EXPECT_LT(memory.megabytes(), kMemoryCeilingMegabytes);
    EXPECT_LT(secondsSince(start), kTimeLimitSeconds);
  }
  testsupport::awaitRequestsEnded();
}

}  // namespace
