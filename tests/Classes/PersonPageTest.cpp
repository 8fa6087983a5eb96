// The person page: the record's texts, the photograph and its cache file, failures with their
// alerts and reload button, the layout by orientation and idiom, and the tablet's films strip.
#include <gtest/gtest.h>

#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TitleActorViewController.h"
#include "Classes/iphone/TitlePage/TitleActorViewController_iphone.h"
#include "Foundation/FileManager.h"
#include "RowTestSupport.h"
#include "ServiceHostOverride.h"
#include "TextFitSupport.h"
#include "UIKit/AlertView.h"
#include "UIKit/Device.h"
#include "support/LogCapture.h"

namespace {

using ns::Value;
using testsupport::NotificationRecorder;
using Override = sampleservice::Override;

bool fileExists(const std::string& path) { return ns::FileManager::defaultManager()->fileExistsAtPath(path); }

std::string bigPhoto(const std::string& id) { return TLSettings::rolesPath() + "/" + id + "big.png"; }

// A tablet page that sent nothing (its item is no dictionary), its views built.
std::shared_ptr<TitleActorViewController> quietPage(const std::string& title = "Глеб Дроздов") {
  auto page = std::make_shared<TitleActorViewController>()->initWithItem(Value());
  page->setActorItem(ns::Dictionary{{"id", "3001"}, {"title", title}});
  page->view();
  return page;
}

class PersonPageTest : public testsupport::CachedSampleServiceSuite {
 protected:
  void SetUp() override {
    CachedSampleServiceSuite::SetUp();
    ui::AlertView::dismissAll();
    host_ = std::make_unique<testsupport::ServiceHostOverride>(server_->hostAndPort().c_str());
  }
  void TearDown() override {
    CachedSampleServiceSuite::TearDown();
    ui::AlertView::dismissAll();
    ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
    ui::Device::setProfile(ui::DeviceProfile::tablet());
  }

  template <class Page = TitleActorViewController>
  std::shared_ptr<Page> open(const std::string& id, const std::string& title = "Персона") {
    auto page = std::make_shared<Page>()->initWithItem(Value(ns::Dictionary{{"id", id}, {"title", title}}));
    page->view();
    page->viewWillAppear(false);
    return std::static_pointer_cast<Page>(page);
  }
  static void awaitRecord(const std::shared_ptr<TitleActorViewController>& page) {
    ASSERT_TRUE(
        testsupport::spinUntil([&] { return !page->actorDetailInfo().isNil() || page->reloadPageButton(); }));
  }
  static std::vector<std::string> alertTexts() {
    std::vector<std::string> texts;
    for (const auto& alert : ui::AlertView::visibleAlerts()) texts.push_back(alert->message());
    return texts;
  }
  static void failPerson(const std::string& id, Override override) {
    server_->setOverride("/api/mobile", "get_person", {{"person_id", id}}, std::move(override));
  }

  std::unique_ptr<testsupport::ServiceHostOverride> host_;
};

const char* const kNoData = "Выбранный вами эпизод временно недоступен. Повторите попытку позже.";
const char* const kNoServerData = "Данные временно недоступны. Повторите попытку позже.";

TEST_F(PersonPageTest, TheTextJoinsDescriptionAndBiographyAndWrongValuesReadEmpty) {
  struct Case {
    Value description, biography;
    std::string text;
  };
  const Case cases[] = {
      {"D", "B", "D\n \n B"}, {Value(), "B", "B"}, {"", "B", "B"},
      {"D", Value(), "D"},    {"D", 7, "D"},       {Value(), Value(), ""},
  };
  for (const Case& c : cases) {
    auto page = quietPage();
    EXPECT_EQ(page->nameEngLabel()->text(), "Глеб Дроздов") << "the item's name while loading";
    ns::Dictionary record{{"fullname", "Глеб Дроздов"},
                          {"birthday", 1994},
                          {"birth_place", "Одесса"},
                          {"genres", ns::Array{"Драма"}}};
    if (!c.description.isNil()) record.set("description", c.description);
    if (!c.biography.isNil()) record.set("biography", c.biography);
    page->setActorDetailInfo(Value(std::move(record)));
    page->relodActorLabels();
    EXPECT_EQ(page->description()->text(), c.text);
    EXPECT_EQ(page->nameEngLabel()->text(), "") << "no Latin name in the record";
    EXPECT_EQ(page->birthdayLabel()->text(), "") << "a number is no birthday text";
    EXPECT_EQ(page->countryLabel()->text(), "Одесса");
    EXPECT_EQ(page->genresLabel()->text(), "");
    EXPECT_EQ(page->careerLabel()->text(), "Актёр");
    EXPECT_EQ(page->toolbarLabel()->text(), "ГЛЕБ ДРОЗДОВ");
    EXPECT_FALSE(page->activity()->isAnimating());
  }
}

TEST_F(PersonPageTest, APhotographIsFetchedFramedAndStoredOnceThenReadFromItsFile) {
  auto first = open("3001");
  awaitRecord(first);
  EXPECT_FALSE(first->actorInfoView()->isHidden());
  EXPECT_EQ(first->nameEngLabel()->text(), "Gleb Drozdov");
  EXPECT_TRUE(first->photoSpinner() && first->photoSpinner()->isAnimating());
  ASSERT_TRUE(testsupport::spinUntil([&] { return fileExists(bigPhoto("3001")); }));
  ASSERT_TRUE(testsupport::spinUntil([&] { return !first->photoSpinner(); }));
  auto stored = ui::Image::imageWithContentsOfFile(bigPhoto("3001"));
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), (cg::Size{240, 320}));
  EXPECT_EQ(first->actorPhoto()->image()->size(), (cg::Size{240, 320}));
  EXPECT_EQ(first->actorPhoto()->layer()->cornerRadius(), 6.0);
  EXPECT_EQ(requestsUnder("/images/person/3001_240x320"), 1u);

  auto second = open("3001");
  awaitRecord(second);
  EXPECT_FALSE(second->photoSpinner()) << "a cached photograph needs no download";
  EXPECT_EQ(second->actorPhoto()->image()->size(), (cg::Size{240, 320}));
  EXPECT_EQ(requestsUnder("/images/person/3001_240x320"), 1u);
}

TEST_F(PersonPageTest, AFailedOrBrokenPhotographKeepsThePlaceholderAndWritesNothing) {
  struct Case {
    const char* name;
    Override photo;
  };
  Override notFound;
  notFound.status = 404;
  Override garbage;
  garbage.body = "this is no picture";
  garbage.contentType = "image/png";
  Override cut;
  cut.dropAfterBytes = 40;
  const Case cases[] = {{"missing", notFound}, {"no image", garbage}, {"cut short", cut}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_->clearLog();
    server_->setOverride("/images/person/3002_240x320.png", c.photo);
    auto page = open("3002");
    auto placeholder = page->actorPhoto()->image();
    awaitRecord(page);
    ASSERT_TRUE(testsupport::spinUntil(
        [&] { return requestsUnder("/images/person/3002") == 1 && !page->photoSpinner(); }));
    EXPECT_EQ(page->actorPhoto()->image(), placeholder);
    EXPECT_FALSE(fileExists(bigPhoto("3002")));
  }
  // Once the photograph can be had, the next visit fetches it.
  server_->clearOverrides();
  auto page = open("3002");
  ASSERT_TRUE(testsupport::spinUntil([&] { return fileExists(bigPhoto("3002")); }));
}

TEST_F(PersonPageTest, OnlyADecimalRecordIdNamesThePhotoFile) {
  std::string photo = server_->url("/images/person/3003_240x320.png");
  struct Case {
    Value id;
    bool stored;
  };
  const Case cases[] = {{"../5", false}, {Value(), false}, {"", false}, {3003, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id.describe());
    testsupport::clearAppCaches();
    ns::Dictionary record{{"fullname", "Кирилл Лазарев"}, {"photo_240x320", photo}};
    if (!c.id.isNil()) record.set("id", c.id);
    Override reply;
    reply.body = *ns::JSONSerialization::stringWithJSONObject(Value(std::move(record)));
    reply.contentType = "application/json";
    failPerson("3003", reply);
    auto page = open("3003");
    auto placeholder = page->actorPhoto()->image();
    ASSERT_TRUE(testsupport::spinUntil([&] { return page->actorPhoto()->image() != placeholder; }))
        << "the photograph is shown all the same";
    testsupport::awaitRequestsEnded();
    EXPECT_EQ(fileExists(bigPhoto("3003")), c.stored);
    EXPECT_FALSE(fileExists(TLSettings::postersPath() + "/5big.png"));
    EXPECT_FALSE(fileExists(TLSettings::rolesPath() + "/big.png"));
  }
}

TEST_F(PersonPageTest, ARecordWithoutAPhotographAsksForNoneAndOneWithoutFilmsShowsAnEmptyStrip) {
  auto page = open("3901");
  awaitRecord(page);
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(requestsUnder("/images/person/"), 0u);
  EXPECT_FALSE(page->photoSpinner());
  EXPECT_FALSE(fileExists(bigPhoto("3901")));

  auto lonely = open("3902");
  awaitRecord(lonely);
  ASSERT_TRUE(lonely->filmsScrollView());
  EXPECT_TRUE(lonely->filmsScrollView()->subviews().size() <= 1u) << "at most the bottom line";
  EXPECT_EQ(lonely->titleForScroll()->text(), "Вера Безролева на Tavelo");
}

TEST_F(PersonPageTest, TheTabletAlertsOncePerBuildOfItsViewsAndKeepsOneReloadButton) {
  Override broken;
  broken.status = 500;
  failPerson("3004", broken);
  auto page = open("3004");
  awaitRecord(page);
  EXPECT_EQ(alertTexts(), std::vector<std::string>{kNoServerData});
  EXPECT_TRUE(page->isAlertShow());
  EXPECT_FALSE(page->activity()->isAnimating());
  page->showAlertWithError(nullptr);
  EXPECT_EQ(alertTexts().size(), 1u) << "one alert until the views are built again";
  auto button = page->reloadPageButton();
  EXPECT_TRUE(button->frame() == (cg::Rect{page->view()->bounds().width() - 70, 0, 50, 44}));

  ui::AlertView::dismissAll();
  button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
  EXPECT_FALSE(page->reloadPageButton());
  EXPECT_TRUE(page->activity()->isAnimating());
  ASSERT_TRUE(testsupport::spinUntil([&] { return page->reloadPageButton() != nullptr; }));
  EXPECT_EQ(alertTexts(), std::vector<std::string>{kNoServerData}) << "a failed reload alerts again";
  std::size_t buttons = 0;
  for (const auto& v : page->view()->subviews())
    buttons += std::dynamic_pointer_cast<AKActivityButton>(v) != nullptr;
  EXPECT_EQ(buttons, 1u);

  // Once the service answers, the reload fills the page.
  server_->clearOverrides();
  ui::AlertView::dismissAll();
  page->reloadPageButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
  ASSERT_TRUE(testsupport::spinUntil([&] { return page->nameEngLabel()->text() == "Gleb Fonaryov"; }));
  EXPECT_TRUE(alertTexts().empty());
}

TEST_F(PersonPageTest, RepliesWithoutARecordAreLoadsWithoutData) {
  struct Case {
    const char* body;
    bool phone;
  };
  const Case cases[] = {{"[1, 2]", false}, {"", false}, {"\"text\"", false}, {"[1, 2]", true}, {"", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.body) + (c.phone ? " phone" : " tablet"));
    ui::AlertView::dismissAll();
    Override odd;
    odd.body = c.body;
    odd.contentType = "application/json";
    failPerson("3005", odd);
    std::shared_ptr<TitleActorViewController> page = c.phone
                                                         ? std::static_pointer_cast<TitleActorViewController>(
                                                               open<TitleActorViewController_iphone>("3005"))
                                                         : open("3005");
    ASSERT_TRUE(testsupport::spinUntil([&] { return !ui::AlertView::visibleAlerts().empty(); }));
    EXPECT_EQ(alertTexts(), std::vector<std::string>{kNoData});
    EXPECT_EQ(page->reloadPageButton() != nullptr, !c.phone);
    EXPECT_EQ(page->birthdayLabel()->text(), "");
    if (!c.phone) {
      EXPECT_FALSE(page->actorInfoView()->isHidden());
    }
  }
}

TEST_F(PersonPageTest, ThePhoneAlertsOnEveryFailureAndHasNoReloadButton) {
  ui::Device::setProfile(ui::DeviceProfile::phone());
  Override broken;
  broken.status = 500;
  failPerson("3006", broken);
  auto page = open<TitleActorViewController_iphone>("3006");
  ASSERT_TRUE(testsupport::spinUntil([&] { return ui::AlertView::visibleAlerts().size() == 1; }));
  page->showAlertWithError(nullptr);
  page->showAlertWithError(nullptr);
  EXPECT_EQ(alertTexts(), (std::vector<std::string>{kNoServerData, kNoData, kNoData}));
  EXPECT_FALSE(page->reloadPageButton());
  EXPECT_FALSE(page->activity());
}

// A person whose id no URL can hold is a failed load like any other, and nothing is sent.
TEST_F(PersonPageTest, APersonWhoseRequestCannotBeBuiltAlertsAndSendsNothing) {
  const std::string ids[] = {"1061 Ж", std::string(1 << 20, '5'), std::string(65, '6')};
  for (bool phone : {false, true}) {
    ui::Device::setProfile(phone ? ui::DeviceProfile::phone() : ui::DeviceProfile::tablet());
    for (const std::string& id : ids) {
      SCOPED_TRACE(id.substr(0, 10) + (phone ? " phone" : " tablet"));
      ui::AlertView::dismissAll();
      server_->clearLog();
      std::shared_ptr<TitleActorViewController> page =
          phone
              ? std::static_pointer_cast<TitleActorViewController>(open<TitleActorViewController_iphone>(id))
              : open(id);
      ASSERT_TRUE(testsupport::spinUntil([&] { return !ui::AlertView::visibleAlerts().empty(); }));
      testsupport::awaitRequestsEnded();
      EXPECT_EQ(alertTexts(), std::vector<std::string>{kNoServerData});
      EXPECT_EQ(page->reloadPageButton() != nullptr, !phone);
      if (!phone) {
        EXPECT_FALSE(page->activity()->isAnimating());
      }
      EXPECT_TRUE(server_->requestsFor("get_person").empty());
    }
  }
}

TEST_F(PersonPageTest, TheTabletLaysOutEachOrientationAndThePhoneItsOwnFrames) {
  auto app = ui::Application::sharedApplication();
  app->setStatusBarOrientation(ui::InterfaceOrientation::landscapeLeft);
  auto page = open("3001");
  awaitRecord(page);
  ASSERT_TRUE(page->titleForScroll());
  auto check = [&](double info, cg::Size text, double strip, double heading, double line) {
    EXPECT_EQ(page->actorInfoView()->frame().height(), info);
    EXPECT_EQ(page->descriptionView()->frame().size, text);
    EXPECT_EQ(page->descriptionView()->layer()->mask()->frame().size, text);
    EXPECT_EQ(page->filmsScrollView()->frame().origin.y, strip);
    EXPECT_EQ(page->titleForScroll()->frame().origin.y, heading);
    EXPECT_EQ(page->bgImageView()->frame().origin.y, line);
  };
  check(512, {744, 250}, 544, 534, 478);
  page->willRotateToInterfaceOrientation(ui::InterfaceOrientation::portrait, 0.3);
  check(768, {480, 450}, 780, 770, 714);
  EXPECT_TRUE(page->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::landscapeRight));
  check(512, {744, 250}, 544, 534, 478);
  EXPECT_TRUE(page->actorPhoto()->frame() == (cg::Rect{20, 22, 240, 320}));
  EXPECT_TRUE(page->genresLabel()->frame().origin == (cg::Point{416, 182}));
  EXPECT_EQ(page->description()->contentInset().top, 10);
  EXPECT_FALSE(page->description()->isEditable());

  app->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
  ui::Device::setProfile(ui::DeviceProfile::phone());
  auto phone = open<TitleActorViewController_iphone>("3001");
  EXPECT_FALSE(phone->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation::landscapeLeft));
  EXPECT_FALSE(phone->actorInfoView()->isHidden());
  EXPECT_TRUE(phone->view()->frame() == (cg::Rect{0, 0, 320, 460}));
  EXPECT_TRUE(phone->actorPhoto()->frame() == (cg::Rect{10, 12, 160, 214}));
  cg::Rect genres = phone->genresLabel()->frame();
  EXPECT_TRUE(genres.origin == (cg::Point{175, 192}) && genres.width() == 143);
  EXPECT_LE(genres.maxY(), 236) << "above the text area";
  EXPECT_TRUE(phone->descriptionView()->frame() == (cg::Rect{3, 236, 315, 180}));
  EXPECT_EQ(phone->bgImageView()->frame().origin.y, 734);
  awaitRecord(phone);
  ASSERT_TRUE(testsupport::spinUntil([&] { return fileExists(bigPhoto("3001")); }));
  EXPECT_FALSE(phone->filmsScrollView()) << "the phone has no films strip";
  EXPECT_EQ(phone->actorPhoto()->layer()->cornerRadius(), 0);
}

TEST_F(PersonPageTest, NoTwoTextsOverlapAndNoneIsCutOrLeavesTheScreen) {
  struct Case {
    bool phone;
    ui::InterfaceOrientation orientation;
  };
  for (Case c :
       {Case{false, ui::InterfaceOrientation::portrait}, Case{false, ui::InterfaceOrientation::landscapeLeft},
        Case{true, ui::InterfaceOrientation::portrait}}) {
    ui::Application::sharedApplication()->setStatusBarOrientation(c.orientation);
    ui::Device::setProfile(c.phone ? ui::DeviceProfile::phone() : ui::DeviceProfile::tablet());
    std::shared_ptr<TitleActorViewController> page;
    if (c.phone)
      page = open<TitleActorViewController_iphone>("3001", "Аркадий Чернотал");
    else
      page = open("3001", "Аркадий Чернотал");
    awaitRecord(page);
    page->genresLabel()->setText("Драма, Приключения, Комедия");  // a value of two lines
    auto view = page->view();
    double width = view->bounds().width();
    std::string where = c.phone ? "phone" : ui::isLandscape(c.orientation) ? "landscape" : "portrait";
    EXPECT_EQ(testsupport::overlappingTexts(view), std::vector<std::string>{}) << where;
    for (const auto& label : testsupport::visibleLabels(page->actorInfoView())) {
      cg::Rect shown = testsupport::shownTextRect(*label, view.get());
      EXPECT_TRUE(shown.x() >= 0 && shown.maxX() <= width) << where << ": " << label->text();
      EXPECT_TRUE(testsupport::showsWholeText(*label)) << where << ": \"" << label->text() << "\" is cut";
    }
    EXPECT_TRUE(testsupport::showsWholeText(*page->toolbarLabel())) << where;
    if (c.phone) {
      EXPECT_LE(page->toolbarLabel()->frame().maxX(), width - 51) << "clear of the menu button";
    }
  }
}

TEST_F(PersonPageTest, TheFilmsStripSkipsWhatIsNoFilmAndItsTilesOpenTitles) {
  auto page = quietPage();
  page->setActorDetailInfo(Value(ns::Dictionary{
      {"fullname", "Глеб Дроздов"},
      {"titles",
       ns::Array{ns::Dictionary{{"ID", "1005"}, {"name", "Один"}, {"genre", "Драма"}, {"rating", "7"}},
                 "не фильм", ns::Dictionary{{"ID", 1006}, {"name", "Два"}, {"rating", 4}},
                 ns::Dictionary{{"ID", 3000000000ll}, {"name", "Три"}}}}}));
  page->createFilmsScrollView();
  std::vector<std::shared_ptr<TLVideoItemPriview>> tiles;
  for (const auto& v : page->filmsScrollView()->subviews())
    if (auto tile = std::dynamic_pointer_cast<TLVideoItemPriview>(v)) tiles.push_back(tile);
  ASSERT_EQ(tiles.size(), 3u);
  EXPECT_EQ(tiles[0]->frame().origin, (cg::Point{10, 20}));
  EXPECT_EQ(tiles[1]->frame().origin, (cg::Point{235, 20}));
  EXPECT_EQ(page->filmsScrollView()->contentSize().width, 900);
  EXPECT_EQ(tiles[0]->ID(), 1005);
  EXPECT_EQ(tiles[0]->rate(), 7);
  EXPECT_EQ(tiles[1]->ID(), 1006) << "an id sent as a number";
  EXPECT_EQ(page->titleForScroll()->text(), "Глеб Дроздов на Tavelo");

  NotificationRecorder opened("TLOpenVideoItem");
  tiles[0]->selectVideo();
  tiles[1]->selectVideo();
  tiles[2]->selectVideo();
  ASSERT_EQ(opened.objects.size(), 3u);
  EXPECT_EQ(opened.objects[0]["url"], Value(TLSettings::getURLforSeriesListFilm("1005")));
  EXPECT_EQ(opened.objects[1]["url"], Value(TLSettings::getURLforSeriesListFilm("1006")));
  EXPECT_EQ(opened.objects[2]["url"], Value(TLSettings::getURLforSeriesListFilm("3000000000")));

  // A film whose id no URL can hold has no page to open: the strip leaves it out, in one line.
  auto odd = quietPage();
  odd->setActorDetailInfo(Value(ns::Dictionary{
      {"titles", ns::Array{ns::Dictionary{{"ID", "1061 Ж"}, {"name", "Пробел"}},
                           ns::Dictionary{{"ID", std::string(1 << 20, '1')}, {"name", "Мегабайт"}},
                           ns::Dictionary{{"ID", std::string(65, '2')}, {"name", "Длинный"}},
                           ns::Dictionary{{"ID", std::string(64, '3')}, {"name", "Самый длинный"}},
                           ns::Dictionary{{"ID", "1005"}, {"name", "Один"}}}}}));
  {
    testsupport::LogCapture log;
    odd->createFilmsScrollView();
    EXPECT_EQ(log.lines(), std::vector<std::string>{
                               "The strip of person 3001 leaves out 3 films whose id cannot be sent"});
  }
  tiles.clear();
  for (const auto& v : odd->filmsScrollView()->subviews())
    if (auto tile = std::dynamic_pointer_cast<TLVideoItemPriview>(v)) tiles.push_back(tile);
  ASSERT_EQ(tiles.size(), 2u);
  EXPECT_EQ(tiles[0]->title(), "Самый длинный");
  EXPECT_EQ(tiles[1]->ID(), 1005);
  EXPECT_EQ(tiles[0]->frame().origin, (cg::Point{10, 20}));
  EXPECT_EQ(tiles[1]->frame().origin, (cg::Point{235, 20}));

  auto bare = quietPage("Кирилл Лазарев");
  bare->setActorDetailInfo(Value(ns::Dictionary{{"id", "x"}}));
  bare->createFilmsScrollView();
  EXPECT_TRUE(bare->filmsScrollView()->subviews().empty());
  EXPECT_FALSE(bare->titleForScroll()) << "no titles, no heading";
}

}  // namespace
