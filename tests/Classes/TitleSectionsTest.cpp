// The title page's section switch (segments by the sections present, the mapping of positions,
// events, shortcuts, the phone's bar) and its strips against the sample service and real list
// files.
#include <gtest/gtest.h>

#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/MainPage/TLVideoItemPriviewBase.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLTitleFilmSubview.h"
#include "Classes/TitlePage/TLTitleSections.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Classes/iphone/TitlePage/TLTitleFilmSubview_iphone.h"
#include "Classes/iphone/TitlePage/TitlePageViewController_iphone.h"
#include "Foundation/FileManager.h"
#include "Foundation/PropertyList.h"
#include "RowTestSupport.h"
#include "ServiceHostOverride.h"
#include "UIKit/Device.h"
#include "support/RecordingTracker.h"

namespace {

using ns::Value;
using Override = sampleservice::Override;

// The seven combinations of the sections present, with what the switch shows for each.
struct Flags {
  bool series, roles, advanced;
  std::vector<std::string> titles;
  double width;
  std::vector<int> sections;  // the section each position opens
};
const Flags kFlags[] = {
    {true, true, true, {"Описание", "Выбор эпизода", "Персоны", "Смотрите также"}, 486, {0, 1, 2, 3}},
    {true, false, true, {"Описание", "Выбор эпизода", "Смотрите также"}, 366, {0, 1, 3}},
    {true, true, false, {"Описание", "Выбор эпизода", "Персоны"}, 360, {0, 1, 2}},
    {false, true, true, {"Описание", "Персоны", "Смотрите также"}, 366, {0, 2, 3}},
    {false, true, false, {"Описание", "Персоны"}, 240, {0, 2}},
    {false, false, true, {"Описание", "Смотрите также"}, 246, {0, 3}},
    {true, false, false, {"Описание", "Выбор эпизода"}, 240, {0, 1}},
};
const char* const kLabels[] = {"", "выбор серии", "персоны", "смотрите также"};

// A tablet page whose section flags, persons and TitleInfo a test sets.
class FlagPage : public TitlePageViewController {
 public:
  void setFlags(const Flags& f) {
    isSeries_ = f.series;
    isRoles_ = f.roles;
    isAdvanced_ = f.advanced;
  }
  void setActors(Value actors) { pageActors_ = std::move(actors); }
  void setSender(Value info) { senderInfo_ = std::move(info); }
};

void writeSeries(const std::string& fileName, std::vector<Value> ids, std::optional<std::string> rating) {
  ns::Array items;
  for (const Value& id : ids)
    items.push_back(
        ns::Dictionary{{"id", id}, {"title", "Серия"}, {"url", ""}, {"image", ""}, {"parent_id", "77"}});
  ns::Dictionary file{{"items", std::move(items)}};
  if (rating) file.set("rating", *rating);
  ASSERT_TRUE(ns::writePropertyListToFile(Value(std::move(file)),
                                          *TLSettings::getPlistDirectoryWithFileName(fileName)));
}

class TitleSectionsTest : public testsupport::CachedSampleServiceSuite {
 protected:
  void SetUp() override {
    CachedSampleServiceSuite::SetUp();
    host_ = std::make_unique<testsupport::ServiceHostOverride>(server_->hostAndPort().c_str());
    tracker_ = testsupport::RecordingTracker::install();
  }
  void TearDown() override {
    CachedSampleServiceSuite::TearDown();
    tracker_.reset();
    ui::Device::setProfile(ui::DeviceProfile::tablet());
  }
  std::shared_ptr<FlagPage> flagPage(Value info) {
    auto page = std::make_shared<FlagPage>();
    page->initWithTitleInfo(info);
    page->setSender(std::move(info));
    return page;
  }
  std::vector<std::string> eventLabels() const {
    std::vector<std::string> labels;
    for (const auto& call : tracker_->calls)
      if (call.kind == "event") {
        EXPECT_EQ(call.texts[1], "Переход на вкладку");
        labels.push_back(call.texts[2].value_or(""));
      }
    return labels;
  }
  static Value titleInfo(const std::string& id, const std::string& parent = "") {
    return Value(ns::Dictionary{{"id", id},
                                {"url", api("get_title&title_id=" + id)},
                                {"title", "Название"},
                                {"parent_id", parent},
                                {"image", ""}});
  }

  std::unique_ptr<testsupport::ServiceHostOverride> host_;
  std::shared_ptr<testsupport::RecordingTracker> tracker_;
};

TEST_F(TitleSectionsTest, EachCombinationOfSectionsHasItsSwitchMappingEventsAndShortcuts) {
  EXPECT_FALSE(TLTitleSections::layoutFor(false, false, false));
  ns::Array actors{ns::Dictionary{{"fullname", "Имя Фамилия"}, {"id", "3001"}, {"photo_76x101", ""}}};
  for (const Flags& f : kFlags) {
    SCOPED_TRACE(f.width);
    auto layout = TLTitleSections::layoutFor(f.series, f.roles, f.advanced);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->titles, f.titles);
    EXPECT_EQ(layout->width, f.width);

    auto page = flagPage(titleInfo("5"));
    page->setFlags(f);
    page->setActors(Value(actors));
    page->loadSegmentedButton();
    auto control = page->segmentedControl();
    ASSERT_EQ(control->buttons().size(), f.titles.size());
    EXPECT_TRUE(control->frame() == (cg::Rect{384 - f.width / 2, 60, f.width, 38}));
    EXPECT_EQ(control->superview(), page->view());
    EXPECT_FALSE(control->isHidden());
    EXPECT_EQ(control->selectedButtonIndex(), 0);

    tracker_->calls.clear();
    std::vector<std::string> expected;
    for (unsigned p = 0; p < f.sections.size(); ++p) {
      int s = f.sections[p];
      EXPECT_EQ(TLTitleSections::sectionForPosition(p, f.series, f.roles), s);
      page->touchUpInsideSegmentIndex(p);
      EXPECT_EQ(page->titleScroll()->isHidden(), s != 0) << p;
      if (s == 0) {
        EXPECT_FALSE(page->titleSubview() && page->titleSubview()->superview());
        continue;
      }
      expected.push_back(kLabels[s]);
      auto section = std::dynamic_pointer_cast<TLTitleFilmSubview>(page->titleSubview());
      ASSERT_TRUE(section);
      EXPECT_EQ(section->superview(), page->view());
      EXPECT_EQ(section->isRole(), s == 2);
      EXPECT_EQ(section->isSeries(), s == 1);
      EXPECT_TRUE(section->frame() == (cg::Rect{0, 114, 768, 880}));
    }
    EXPECT_EQ(eventLabels(), expected);

    // The strips' shortcuts select their segment and open their section.
    for (int s = 1; s <= 3; ++s) {
      if ((s == 1 && !f.series) || (s == 2 && !f.roles) || (s == 3 && !f.advanced)) continue;
      page->touchUpInsideSegmentIndex(0);
      if (s == 1) page->showSeriesSubview();
      if (s == 2) page->showRolesSubView();
      if (s == 3) page->showAlsoSubView();
      unsigned position = TLTitleSections::positionOfSection(s, f.series, f.roles);
      EXPECT_EQ(f.sections[position], s);
      EXPECT_TRUE(control->buttons()[position]->isSelected());
      EXPECT_FALSE(control->buttons()[0]->isSelected());
      EXPECT_TRUE(page->titleScroll()->isHidden());
    }
  }
}

TEST_F(TitleSectionsTest, RepeatedPressesSendAgainAndEmptyPersonsBuildNothing) {
  auto page = flagPage(titleInfo("5"));
  page->setFlags(kFlags[0]);
  page->loadSegmentedButton();
  page->touchUpInsideSegmentIndex(1);
  auto first = page->titleSubview();
  page->touchUpInsideSegmentIndex(1);
  EXPECT_NE(page->titleSubview(), first) << "a fresh section view";
  page->touchUpInsideSegmentIndex(2);  // no persons
  EXPECT_EQ(eventLabels(), (std::vector<std::string>{"выбор серии", "выбор серии", "персоны"}));
  EXPECT_TRUE(page->titleScroll()->isHidden());
  page->touchUpInsideSegmentIndex(0);
  EXPECT_EQ(eventLabels().size(), 3u);
  EXPECT_EQ(page->getCurrentIndexForSegment(1), 1);
  page->setFlags(kFlags[5]);
  EXPECT_EQ(page->getCurrentIndexForSegment(1), 3);
  page->loadSegmentedButton();
  page->setFlags({false, false, false, {}, 0, {}});
  page->loadSegmentedButton();
  EXPECT_FALSE(page->segmentedControl()->superview()) << "no section, no switch";
}

TEST_F(TitleSectionsTest, SectionViewsReadTheirListFileAndCurrentEntry) {
  struct Case {
    Value info;
    int position;
    std::string file, selected;
  };
  ns::Dictionary withIndex = *titleInfo("50004", "1081").asDictionary();
  withIndex.set("item_index", 3);
  const Case cases[] = {
      {titleInfo("1081"), 1, "1081ser.plist", "-2"},
      {Value(withIndex), 1, "1081ser.plist", "3"},
      // An episode whose position is unknown marks nothing.
      {titleInfo("50009", "1081"), 1, "1081ser.plist", "-1"},
      {titleInfo("1081"), 3, "1081als.plist", "-1"},
      {titleInfo("50004", "1081"), 3, "1081als.plist", "-1"},
  };
  for (const Case& c : cases) {
    auto list =
        c.position == 1 ? TLTitleSections::episodesFile(c.info) : TLTitleSections::relatedFile(c.info);
    EXPECT_EQ(list.fileName, c.file);
    EXPECT_EQ(list.selected, c.selected);
    auto page = flagPage(c.info);
    page->setFlags(kFlags[1]);
    page->touchUpInsideSegmentIndex(c.position == 1 ? 1 : 2);
    auto section = std::dynamic_pointer_cast<TLTitleFilmSubview>(page->titleSubview());
    ASSERT_TRUE(section);
    EXPECT_EQ(section->indexItemSelected(), c.selected);
  }
}

TEST_F(TitleSectionsTest, ThePhoneBarScrollsToTheChosenSegment) {
  ui::Device::setProfile(ui::DeviceProfile::phone());
  auto page = std::static_pointer_cast<TitlePageViewController_iphone>(
      std::make_shared<TitlePageViewController_iphone>()->initWithTitleInfo(titleInfo("1081")));
  page->view();
  // A series root with persons and related titles: all four segments.
  ASSERT_TRUE(testsupport::spinUntil([&] {
    return page->segmentedControl() && page->segmentedControl()->buttons().size() == 4 &&
           page->isAdvanced() && page->isSeries() && !page->segmentedControl()->isHidden();
  }));
  auto control = page->segmentedControl();
  EXPECT_TRUE(control->frame() == (cg::Rect{20, 9, 486, 38}));
  EXPECT_EQ(page->switchScroll()->contentSize().width, 526);
  const double offsets[] = {0, 60.75, 182.25, 203};
  for (int i = 0; i < 4; ++i) {
    page->changeButtonOffsetWithIndex(i);
    EXPECT_EQ(page->switchScroll()->contentOffset().x, offsets[i]) << i;
  }
  page->touchUpInsideSegmentIndex(2);
  auto persons = std::dynamic_pointer_cast<TLTitleFilmSubview_iphone>(page->titleSubview());
  ASSERT_TRUE(persons);
  EXPECT_TRUE(persons->isRole());
  EXPECT_TRUE(page->filmView()->isHidden());
  EXPECT_TRUE(persons->frame() == (cg::Rect{0, 109, 320, page->view()->bounds().height() - 109}));
  page->touchUpInsideSegmentIndex(0);
  EXPECT_FALSE(page->filmView()->isHidden());
  EXPECT_EQ(page->switchScroll()->contentOffset().x, 0);
}

TEST_F(TitleSectionsTest, TwoSegmentsStayCentredAndLeaveTheBarStill) {
  ui::Device::setProfile(ui::DeviceProfile::phone());
  Override broken;
  broken.status = 500;
  server_->setOverride("/api/mobile", "get_related", broken);
  auto page = std::static_pointer_cast<TitlePageViewController_iphone>(
      std::make_shared<TitlePageViewController_iphone>()->initWithTitleInfo(titleInfo("1001")));
  page->view();
  // A film whose related titles fail: the description and its persons.
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return !page->isSeries() && !page->isAdvanced() && page->isRoles(); }));
  page->loadSegmentedButton();
  auto control = page->segmentedControl();
  ASSERT_EQ(control->buttons().size(), 2u);
  EXPECT_TRUE(control->frame() == (cg::Rect{40, 9, 240, 38}));
  page->changeButtonOffsetWithIndex(1);
  EXPECT_EQ(page->switchScroll()->contentOffset().x, 0);
  page->touchUpInsideSegmentIndex(1);
  EXPECT_TRUE(std::dynamic_pointer_cast<TLTitleFilmSubview_iphone>(page->titleSubview())->isRole());
}

// --- Strips ------------------------------------------------------------------------------------

TEST_F(TitleSectionsTest, ASeriesRootCachesItsEpisodesAndShowsItsStrips) {
  auto page = std::make_shared<TitlePageViewController>()->initWithTitleInfo(titleInfo("1081"));
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return page->isSeries() && page->isAdvanced() && page->isRoles(); }));
  auto file = TLTitleListCache::read("1081ser.plist");
  EXPECT_EQ(file["items"].count(), 7u);
  auto roles = page->roleView();
  ASSERT_TRUE(roles);
  // The page lays every strip out 228 high; the persons' tiles keep to the upper 190.
  EXPECT_EQ(roles->scrollView()->frame().height(), 190);
  EXPECT_EQ(page->seriesView()->superview(), page->titleScroll());
  EXPECT_FALSE(page->advancedView()->isHidden());
  EXPECT_EQ(page->segmentedControl()->buttons().size(), 4u);
  // The headings open their sections.
  page->roleView()->rubrikLabel()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
  EXPECT_TRUE(std::dynamic_pointer_cast<TLTitleFilmSubview>(page->titleSubview())->isRole());
  EXPECT_EQ(eventLabels(), std::vector<std::string>{"персоны"}) << "one action per heading";
}

TEST_F(TitleSectionsTest, AFilmLosesItsSeriesRowAndAFailingRelatedRowClearsItsFlag) {
  Override broken;
  broken.status = 500;
  server_->setOverride("/api/mobile", "get_related", broken);
  auto page = std::make_shared<TitlePageViewController>()->initWithTitleInfo(titleInfo("1001"));
  ASSERT_TRUE(testsupport::spinUntil([&] { return requestsUnder("/api/mobile") >= 3; }));
  testsupport::awaitRequestsEnded();
  EXPECT_FALSE(page->isSeries());
  EXPECT_FALSE(page->seriesView() && page->seriesView()->superview()) << "the series row is taken off";
  EXPECT_FALSE(page->isAdvanced());
  EXPECT_TRUE(page->isRoles());
  EXPECT_EQ(page->segmentedControl()->buttons().size(), 2u);
}

// A related row whose load fails shows nothing, whether it fails before or after the title record
// arrives; its spinner has stopped.
TEST_F(TitleSectionsTest, AFailedRelatedRowStaysHiddenWhicheverReplyComesFirst) {
  for (bool relatedFirst : {true, false}) {
    SCOPED_TRACE(relatedFirst ? "the related titles fail first" : "the title record comes first");
    testsupport::clearAppCaches();
    Override broken;
    broken.status = 500;
    broken.held = !relatedFirst;
    server_->setOverride("/api/mobile", "get_related", broken);
    Override later;
    later.held = true;
    if (relatedFirst) server_->setOverride("/api/mobile", "get_title", later);
    auto page = std::make_shared<TitlePageViewController>()->initWithTitleInfo(titleInfo("1001"));
    auto related = page->advancedView();
    ASSERT_TRUE(related);
    auto first = [&] {
      return relatedFirst ? related->isLoadFailed() : page->titleParsedData().isDictionary();
    };
    ASSERT_TRUE(testsupport::spinUntil([&] { return first() && server_->heldCount() > 0; }));
    if (relatedFirst) server_->clearOverrides();
    server_->releaseHeld();
    ASSERT_TRUE(testsupport::spinUntil(
        [&] { return related->isLoadFailed() && page->titleParsedData().isDictionary(); }));
    testsupport::awaitRequestsEnded();
    server_->clearOverrides();
    EXPECT_FALSE(page->isAdvanced());
    EXPECT_TRUE(related->isHidden());
    EXPECT_FALSE(related->activityView()->isAnimating());
    EXPECT_TRUE(page->isRoles()) << "the rest of the page is there";
    EXPECT_EQ(page->segmentedControl()->buttons().size(), 2u);
  }
}

// The catalogue sends the second most popular title of each category with its id as a JSON number.
// Opened from a home row, such a title asks for its own related titles and shows them. Ids past
// 2^63 (one sent as a number, one as text) keep their exact digits to the request and the list file,
// and never share "0".
TEST_F(TitleSectionsTest, TitlesWithNumericIdsOpenedFromAHomeRowShowTheirOwnRelatedTitles) {
  struct Case {
    const char* title;
    const char* categoryId;
    std::string id;
    bool series;
    unsigned sections;
    const char* relatedId;  // of the first related title
  };
  const Case cases[] = {{"Дом горного перевала", "1", "1035", false, 3, nullptr},
                        {"Северный город", "2", "1092", true, 4, nullptr},
                        {"Первый крупный", "9001", "9223372036854775808", false, 2, "1001"},
                        {"Второй крупный", "9001", "18446744073709551615", false, 2, "1002"}};
  auto reply = [](std::string text) {
    Override o;
    o.body = std::move(text);
    return o;
  };
  auto tileJSON = [](const Case& c, bool asNumber) {
    std::string id = asNumber ? c.id : '"' + c.id + '"';
    return R"({"id":)" + id + R"(,"title":")" + c.title + R"(","description":"Драма, 2010","url":")" +
           api("get_title&title_id=" + c.id) + R"(","image":")" + server_->url("/images/poster/1035.jpg") +
           R"(","rating":"5"})";
  };
  server_->setOverride("/api/mobile", "get_category", {{"category_id", "9001"}},
                       reply(R"({"id":"9001","title":"Крупные","items":[{"title":"Жанры","items":[]},)"
                             R"({"title":"Популярное","items":[)" +
                             tileJSON(cases[2], true) + "," + tileJSON(cases[3], false) +
                             R"(]},{"title":"Новинки","items":[]}]})"));
  for (const Case& c : {cases[2], cases[3]}) {
    server_->setOverride("/api/mobile", "get_title", {{"title_id", c.id}},
                         reply(R"({"id":")" + c.id + R"(","title":")" + c.title +
                               R"(","subtitle":"","description":"Описание","image":"","image_big":"",)"
                               R"("rating":5,"parent_id":"","url":")" +
                               server_->url("/video/1035/index.m3u8") + R"("})"));
    server_->setOverride(
        "/api/mobile", "get_related", {{"title_id", c.id}},
        reply(R"({"rating":"5","items":[{"id":")" + std::string(c.relatedId) +
              R"(","title":"Другой","description":"","image":"","url":")" +
              api(std::string("get_title&title_id=") + c.relatedId) + R"(","parent_id":"","rating":"5"}]})"));
  }
  for (bool pad : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.title) + (pad ? " on the tablet" : " on the phone"));
      ui::Device::setProfile(pad ? ui::DeviceProfile::tablet() : ui::DeviceProfile::phone());
      testsupport::clearAppCaches();
      server_->clearLog();
      auto delegate = std::make_shared<testsupport::RecordingRowDelegate>();
      auto url = apiURL(std::string("get_category&category_id=") + c.categoryId +
                        "&popular_quantity=15&featured_quantity=15");
      std::shared_ptr<TLRubricScrollViewBase> row;
      if (pad) {
        auto tablet =
            std::make_shared<TLRubricScrollView>()->initForMainPageWithUrl(url, {0, 0, 1024, 410}, "popular");
        tablet->setRubricDelegate(delegate);
        row = tablet;
      } else {
        auto phone = std::make_shared<TLRubricScrollView_iphone>()->initForMainPageWithUrl(
            url, {0, 0, 320, 300}, "popular");
        phone->setRubricDelegate(delegate);
        row = phone;
      }
      row->start();
      ASSERT_TRUE(testsupport::spinUntil([&] { return !delegate->reports.empty(); }));
      std::shared_ptr<TLVideoItemPriviewBase> tile;
      for (const auto& v : row->scrollView()->subviews())
        if (auto t = std::dynamic_pointer_cast<TLVideoItemPriviewBase>(v); t && t->title() == c.title)
          tile = t;
      ASSERT_TRUE(tile);
      EXPECT_EQ(tile->idText(), c.id);

      testsupport::NotificationRecorder opened("TLOpenVideoItem");
      tile->imageBt()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
      ASSERT_EQ(opened.objects.size(), 1u);
      EXPECT_TRUE(opened.objects[0]["id"].isInteger());
      EXPECT_EQ(TLSettings::idFromObject(opened.objects[0]["id"]), c.id);
      std::shared_ptr<TitlePageViewController> page =
          pad ? std::make_shared<TitlePageViewController>()->initWithTitleInfo(opened.objects[0])
              : std::make_shared<TitlePageViewController_iphone>()->initWithTitleInfo(opened.objects[0]);
      page->view();
      // The phone counts on episodes until its series row reports; it has written its file then.
      auto episodes = [&] { return TLTitleListCache::read(c.id + "ser.plist")["items"].count(); };
      ASSERT_TRUE(testsupport::spinUntil([&] {
        return page->titleParsedData().isDictionary() && page->isAdvanced() && page->isSeries() == c.series &&
               (episodes() > 0) == c.series;
      }));
      testsupport::awaitRequestsEnded();
      EXPECT_FALSE(server_->requestsFor("get_related").empty());
      for (const auto& r : server_->requestsFor("get_related")) EXPECT_EQ(r.params.at("title_id"), c.id);
      ns::Value related = TLTitleListCache::read(c.id + "als.plist")["items"];
      EXPECT_GT(related.count(), 0u);
      if (c.relatedId) {
        EXPECT_EQ(TLSettings::idFromObject(related.at(0)["id"]), c.relatedId);
      }
      EXPECT_EQ(TLTitleListCache::read("0als.plist")["items"].count(), 0u);
      EXPECT_EQ(page->segmentedControl()->buttons().size(), c.sections);
      if (pad) {
        auto shown = page->advancedView();
        EXPECT_FALSE(shown->isHidden());
        EXPECT_FALSE(shown->activityView()->isAnimating());
        EXPECT_FALSE(shown->filmsArray().empty());
      }
    }
  }
  server_->clearOverrides();
}

TEST_F(TitleSectionsTest, AnEpisodeFindsItselfInItsSeriesFile) {
  // Ids compared by value: the text "50004" and the number 50004 are the same episode; ids past
  // 32 bits stay apart, and an id that is no whole number is nobody's.
  writeSeries("1081ser.plist",
              {Value("12abc"), Value("9223372036854775808"), Value("50001"), Value("50002"), Value("50003"),
               Value("50004"), Value(50005), Value("3000000000"), Value(3000000001ll)},
              "9");
  struct Case {
    Value id;
    Value index;
  };
  const Case cases[] = {{Value(50004), Value(3)},
                        {Value("50001"), Value(6)},
                        {Value(50005), Value(2)},
                        {Value("3000000000"), Value(1)},
                        {Value("3000000001"), Value(0)},
                        {Value(3000000001ll), Value(0)},
                        {Value("50099"), Value()},
                        {Value("12"), Value()},
                        {Value("18446744073709551615"), Value()},
                        {Value(9223372036854775809ull), Value()},
                        {Value("-50001"), Value()},
                        {Value(50001.5), Value()}};
  for (const Case& c : cases) {
    ns::Dictionary info = *titleInfo("0", "1081").asDictionary();
    info.set("id", c.id);
    auto page = std::make_shared<TitlePageViewController>()->initWithTitleInfo(Value(info));
    EXPECT_EQ(page->senderInfo()["item_index"], c.index);
    EXPECT_TRUE(page->isSeries());
    EXPECT_TRUE(page->isLoadedFromFile());
    EXPECT_TRUE(page->seriesView());
    ASSERT_TRUE(page->filmView());
    ASSERT_TRUE(page->filmView()->ratingView()) << "the file's rating reaches the header";
    EXPECT_EQ(page->filmView()->ratingView()->starCount(), 9);
    EXPECT_EQ(page->seriesView()->selectedIndex(),
              c.index.isNil() ? "-1" : std::to_string(c.index.intValue()));
  }
  // A series id past 63 bits names its own file, not the largest signed id's.
  writeSeries("9223372036854775807ser.plist", {Value("50001")}, "9");
  for (Value parent : {Value(9223372036854775808ull), Value(18446744073709551615ull)}) {
    ns::Dictionary info = *titleInfo("50001").asDictionary();
    info.set("parent_id", parent);
    auto page = std::make_shared<TitlePageViewController>()->initWithTitleInfo(Value(info));
    EXPECT_TRUE(page->senderInfo()["item_index"].isNil()) << parent.unsignedLongLongValue();
  }
  testsupport::awaitRequestsEnded();
}

TEST_F(TitleSectionsTest, APhoneEpisodeWhoseFileHasNoRatingShowsItsSegmentOnlyOnOpening) {
  ui::Device::setProfile(ui::DeviceProfile::phone());
  writeSeries("1081ser.plist", {Value("50001"), Value("50002")}, std::nullopt);
  auto page = std::static_pointer_cast<TitlePageViewController_iphone>(
      std::make_shared<TitlePageViewController_iphone>()->initWithTitleInfo(titleInfo("50002", "1081")));
  page->view();
  EXPECT_EQ(page->senderInfo()["item_index"], Value(0));
  EXPECT_TRUE(page->isSeries()) << "as it was on opening";
  testsupport::awaitRequestsEnded();
  page->loadTitleAgain();
  EXPECT_FALSE(page->isSeries());
  testsupport::awaitRequestsEnded();
}

TEST_F(TitleSectionsTest, AnEpisodeShowsTheRatingItsSeriesSentAsANumber) {
  // The series sends its rating as a JSON number; an episode page reads it back from the list file
  // the root page wrote when the player has stepped to it and its record arrives.
  for (bool pad : {true, false}) {
    SCOPED_TRACE(pad ? "tablet" : "phone");
    ui::Device::setProfile(pad ? ui::DeviceProfile::tablet() : ui::DeviceProfile::phone());
    testsupport::clearAppCaches();
    auto open = [&](Value info) -> std::shared_ptr<TitlePageViewController> {
      auto page = pad ? std::make_shared<TitlePageViewController>()->initWithTitleInfo(info)
                      : std::make_shared<TitlePageViewController_iphone>()->initWithTitleInfo(info);
      page->view();
      testsupport::awaitRequestsEnded();
      return page;
    };
    auto root = open(titleInfo("1081"));
    Value file;
    ASSERT_TRUE(testsupport::spinUntil([&] {
      file = TLTitleListCache::read("1081ser.plist");
      return root->isSeries() && file["items"].count() > 1;
    }));
    testsupport::awaitRequestsEnded();
    ASSERT_TRUE(file["rating"].isInteger())
        << "kept as the number it came as: " << ns::format("%@", file["rating"]);
    int rating = int(file["rating"].integerValue());
    ASSERT_GT(rating, 0);
    ASSERT_GT(file["items"].count(), 1u);

    auto episode = open(titleInfo(TLSettings::stringFromObject(file["items"].at(1)["id"]), "1081"));
    episode->loadSeriesView(std::nullopt, std::nullopt);
    auto stars = episode->filmView()->ratingView();
    ASSERT_TRUE(stars) << "the stars stay";
    if (pad) {
      EXPECT_EQ(stars->starCount(), std::clamp(rating, 5, 10));
    } else {
      int lit = 0;
      for (int i = 0; i < stars->starCount(); ++i) {
        auto star =
            std::dynamic_pointer_cast<ui::ImageView>(stars->viewWithTag(StarRatingView::kFirstStarTag + i));
        lit += star && star->image() && star->image()->name() == "starIphoneBig_blue.png";
      }
      EXPECT_EQ(lit, std::min(rating, 5));
    }
    testsupport::awaitRequestsEnded();
  }
}

}  // namespace
