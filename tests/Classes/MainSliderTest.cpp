// The poster slider's paging engine on the manual clock: the wrap-around slots, the jumps at both
// ends, the 8-second advance, the tablet's re-layout, and the poster cache against the sample
// service.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "Classes/MainPage/MainSlider.h"
#include "Classes/iphone/MainPage/MainSlider_iphone.h"
#include "Foundation/Clock.h"
#include "Foundation/FileManager.h"
#include "Graphics/Context.h"
#include "HomeTestSupport.h"
#include "RowTestSupport.h"
#include "ServiceHostOverride.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "support/LogCapture.h"
#include "support/LoopbackServer.h"

namespace {

using testsupport::posterRecord;

// Record i has the background colour with red i + 1, so a page tells which record it shows.
ns::Array numberedRecords(int count) {
  ns::Array records;
  for (int i = 0; i < count; ++i) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "#%02d0000", i + 1);
    records.push_back(posterRecord("r" + std::to_string(i), colour));
  }
  return records;
}

int recordShownBy(const std::shared_ptr<ui::ImageView>& page) {
  if (!page || !page->backgroundColor()) return -1;
  return static_cast<int>(std::lround(page->backgroundColor()->cgColor().red * 255)) - 1;
}

struct Device {
  const char* name;
  bool pad;
  double width;
};
const Device kDevices[] = {{"tablet", true, 768}, {"phone", false, 320}};

// Sliders whose own poster request goes nowhere: the tests install their lists themselves.
class MainSliderTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::countRequests(); }
  void TearDown() override { testsupport::awaitPosterRequestsEnded(); }
  std::shared_ptr<MainSliderBase> make(bool pad, ns::Array films = {posterRecord("", "000000")}) {
    if (pad) return std::make_shared<MainSlider>()->initWithFilms(std::move(films));
    return std::make_shared<MainSlider_iphone>()->initWithFilms(std::move(films), {320, 460});
  }
  static double offset(const std::shared_ptr<MainSliderBase>& s) {
    return s->scrollView()->contentOffset().x;
  }
  static void drag(const std::shared_ptr<MainSliderBase>& s, double x) {
    s->scrollView()->setContentOffset({x, 0});
  }

  testsupport::ServiceHostOverride host_{"127.0.0.1:1"};
  ns::ManualClock clock_;
};

TEST_F(MainSliderTest, SlotsWrapAroundAndDragsPastEitherEndJumpKeepingTheOffset) {
  for (const Device& d : kDevices) {
    testsupport::HomeDevice device(d.pad);
    auto slider = make(d.pad);
    slider->loadJSONArray(numberedRecords(3));
    // The tablet lays the new list out, then refills its pages.
    clock_.advance(0.3);
    double w = d.width;
    ASSERT_EQ(slider->scrollView()->bounds().width(), w) << d.name;
    std::vector<int> shown;
    for (const auto& page : slider->pageViews()) shown.push_back(recordShownBy(page));
    EXPECT_EQ(shown, (std::vector<int>{2, 0, 1, 2, 0})) << d.name;
    EXPECT_EQ(slider->scrollView()->contentSize().width, 5 * w) << d.name;
    EXPECT_EQ(offset(slider), w) << d.name;
    EXPECT_EQ(slider->nameLabel()->text(), "r0") << d.name;

    drag(slider, 3 * w);  // the last record
    EXPECT_EQ(slider->curPage(), 2) << d.name;
    drag(slider, 3 * w + 0.6 * w);  // nearer to the first record's copy than to the last record
    EXPECT_DOUBLE_EQ(offset(slider), w - 0.4 * w) << d.name;
    EXPECT_EQ(slider->curPage(), 0) << d.name;
    EXPECT_EQ(slider->pageControl()->currentPage(), 0) << d.name;
    EXPECT_EQ(slider->nameLabel()->text(), "r0") << d.name;

    drag(slider, w - 0.55 * w);  // towards the last record's copy
    EXPECT_DOUBLE_EQ(offset(slider), std::trunc(3 * w + 0.45 * w)) << d.name;
    EXPECT_EQ(slider->curPage(), 2) << d.name;
    EXPECT_EQ(slider->nameLabel()->text(), "r2") << d.name;
    slider->stopAsync();
  }
}

TEST_F(MainSliderTest, AdvancesEveryEightSecondsWithoutAScrollAndWraps) {
  for (const Device& d : kDevices) {
    testsupport::HomeDevice device(d.pad);
    auto slider = make(d.pad);
    slider->loadJSONArray(numberedRecords(3));
    std::vector<int> pages;
    for (int i = 0; i < 4; ++i) {
      clock_.advance(8);
      pages.push_back(slider->curPage());
    }
    EXPECT_EQ(pages, (std::vector<int>{1, 2, 0, 1})) << d.name;
    EXPECT_EQ(offset(slider), 2 * d.width) << d.name;
    EXPECT_EQ(slider->pageControl()->currentPage(), 1) << d.name;
    EXPECT_EQ(slider->nameLabel()->text(), "r1") << d.name;

    // A drag restarts the wait.
    clock_.advance(5);
    drag(slider, 2 * d.width + 10);
    clock_.advance(5);
    EXPECT_EQ(slider->curPage(), 1) << d.name;
    clock_.advance(3.5);
    EXPECT_EQ(slider->curPage(), 2) << d.name;
    slider->stopAsync();
    clock_.advance(16);
    EXPECT_EQ(slider->curPage(), 2) << d.name << ": a stopped slider never advances";
  }
}

TEST_F(MainSliderTest, OneRecordHasNoTimerAndEmptyListsDoNotBreak) {
  testsupport::HomeDevice device;
  auto slider = make(true);
  slider->loadJSONArray(numberedRecords(1));
  EXPECT_FALSE(slider->sliderTimer());
  clock_.advance(30);
  EXPECT_EQ(slider->curPage(), 0);
  drag(slider, 2 * 768 - 100);
  EXPECT_EQ(offset(slider), 668);
  drag(slider, 300);
  EXPECT_EQ(offset(slider), 1068);
  EXPECT_EQ(slider->curPage(), 0);
  EXPECT_FALSE(slider->sliderTimer());
  slider->stopAsync();

  for (const Device& d : kDevices) {
    testsupport::HomeDevice other(d.pad);
    auto empty = make(d.pad, {});
    drag(empty, 500);
    drag(empty, -300);
    empty->layoutSubviews();
    empty->willPlayMovie();
    clock_.advance(9);
    EXPECT_EQ(empty->curPage(), 0) << d.name;
    empty->stopAsync();
  }
}

TEST_F(MainSliderTest, ASliderWithoutWidthNeitherDividesByZeroNorJumps) {
  testsupport::HomeDevice device(false);
  auto slider = std::make_shared<MainSlider_iphone>()->initWithFilms(numberedRecords(3), {0, 0});
  slider->loadJSONArray(numberedRecords(3));
  drag(slider, 40);
  drag(slider, -40);
  clock_.advance(8);
  EXPECT_EQ(offset(slider), 0) << "the advance has no width to move by";
  slider->stopAsync();
}

// A slider record of a poster advertising an outside page.
ns::Value foreign(const std::string& counter, const std::string& link) {
  ns::Dictionary r = *posterRecord("Промо", "#000000").asDictionary();
  r.set("foreignDict",
        ns::Dictionary{
            {"is_foreign_link", 1}, {"foreign_link_click_counter", counter}, {"foreign_link_url", link}});
  return ns::Value(r);
}

TEST_F(MainSliderTest, PlayOpensOnlyTitlesWithAnAddressAndOnlyWebLinks) {
  testsupport::HomeDevice device;
  testsupport::NotificationRecorder opened("TLOpenVideoItem");
  auto slider = make(true);
  slider->willPlayMovie();  // the placeholder
  slider->loadJSONArray({posterRecord("без адреса", "#000000"), foreign("ftp://h/c", "file:///etc/passwd"),
                         foreign("", "javascript:alert(1)"), foreign("", "https://example.org/promo")});
  clock_.advance(0.3);
  for (int slot = 1; slot <= 4; ++slot) {
    drag(slider, slot * 768.0);
    slider->willPlayMovie();
  }
  EXPECT_TRUE(opened.objects.empty());
  EXPECT_EQ(ui::Application::sharedApplication()->openedURLs(),
            std::vector<std::string>{"https://example.org/promo"});
  slider->stopAsync();
}

// A click counter whose reply has no end: the outside page opens at once as ever, and the counter's
// request hangs up at its bound, holding no more than that, with one log line naming it.
TEST_F(MainSliderTest, AnEndlessClickCounterIsCutOffAtItsBound) {
  testsupport::HomeDevice device;
  testsupport::LoopbackServer counter;
  counter.reply("/click", testsupport::Reply::endless("text/html"));
  ui::Application::sharedApplication()->clearOpenedURLs();
  testsupport::LogCapture log;
  testsupport::PeakMemoryGrowth memory;
  auto slider = make(true);
  slider->loadJSONArray({foreign(counter.url("/click?id=7"), "https://example.org/promo")});
  clock_.advance(0.3);
  drag(slider, 768);
  slider->willPlayMovie();
  EXPECT_EQ(ui::Application::sharedApplication()->openedURLs(),
            std::vector<std::string>{"https://example.org/promo"});
  EXPECT_TRUE(testsupport::spinUntil([&] { return counter.disconnectsSeen() == 1; }));
  testsupport::awaitRequestsEnded();
  if (!testsupport::kSanitized) {
    EXPECT_LT(memory.megabytes(), 32);
  }
  const std::string bound = std::to_string(MainSliderBase::kMaxCounterReplyLength);
  EXPECT_TRUE(log.contains("The reply of " + counter.url("/click?id=7") + " is longer than the " + bound))
      << testing::PrintToString(log.lines());
  slider->stopAsync();
}

TEST_F(MainSliderTest, TabletReLayoutKeepsTheRecordInViewAndRefillsLater) {
  testsupport::HomeDevice device;
  auto app = ui::Application::sharedApplication();
  auto host = std::make_shared<ui::View>()->initWithFrame({0, 0, 768, 600});
  auto slider = std::static_pointer_cast<MainSlider>(make(true));
  host->addSubview(slider);
  slider->loadJSONArray(numberedRecords(3));
  clock_.advance(0.5);
  drag(slider, 3 * 768);
  ASSERT_EQ(slider->curPage(), 2);

  // The device turns: the host widens, then lays out.
  app->setStatusBarOrientation(ui::InterfaceOrientation::landscapeLeft);
  host->setFrame({0, 0, 1024, 600});
  host->layoutIfNeeded();
  EXPECT_EQ(slider->frame(), cg::Rect(0, 0, 1024, MainSlider::kHeight));
  EXPECT_EQ(offset(slider), 3 * 1024);
  EXPECT_EQ(slider->pageForLayout(), 3);
  EXPECT_EQ(slider->curPage(), 2);
  EXPECT_EQ(slider->pageControl()->frame().x(), 512 - 8 * 3);
  EXPECT_EQ(slider->sliderPanelImageView()->frame().width(), 1024);
  for (const auto& page : slider->pageViews()) EXPECT_FALSE(page) << "purged until the refill";
  clock_.advance(0.3);
  ASSERT_TRUE(slider->pageViews()[3]);
  EXPECT_EQ(slider->pageViews()[3]->frame(), cg::Rect(3 * 1024, 0, 1024, 317));
  EXPECT_EQ(recordShownBy(slider->pageViews()[3]), 2);
  EXPECT_EQ(slider->nameLabel()->text(), "r2");

  // A layout without a turn keeps the record too.
  slider->setNeedsLayout();
  host->layoutIfNeeded();
  EXPECT_EQ(offset(slider), 3 * 1024);
  clock_.advance(0.3);
  EXPECT_EQ(slider->curPage(), 2);

  // And back, from a position between the last record and the first one's copy.
  drag(slider, 3 * 1024 + 400);
  app->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
  host->setFrame({0, 0, 768, 600});
  host->layoutIfNeeded();
  EXPECT_EQ(offset(slider), 3 * 768);
  clock_.advance(0.3);
  EXPECT_EQ(slider->curPage(), 2);
  EXPECT_EQ(recordShownBy(slider->pageViews()[3]), 2);
  slider->stopAsync();
}

// The placeholder's pages go when the real list is installed: none stays under the new pages, nor
// its play buttons, which would still take taps.
TEST_F(MainSliderTest, InstallingAListReplacesThePlaceholdersPages) {
  for (const Device& d : kDevices) {
    testsupport::HomeDevice device(d.pad);
    auto slider = make(d.pad);
    ASSERT_EQ(slider->scrollView()->subviews().size(), 6u) << d.name << ": three pages, three buttons";
    auto placeholderPages = slider->scrollView()->subviews();
    slider->loadJSONArray(numberedRecords(4));
    clock_.advance(0.3);
    const auto& subviews = slider->scrollView()->subviews();
    EXPECT_EQ(subviews.size(), 2u * 6) << d.name;
    for (const auto& old : placeholderPages) EXPECT_FALSE(old->superview()) << d.name;
    std::size_t pages = 0;
    for (const auto& page : slider->pageViews()) pages += page && page->superview() == slider->scrollView();
    EXPECT_EQ(pages, 6u) << d.name;
    slider->stopAsync();
  }
}

// A list shorter than the slot in view: the re-layout keeps to the new list's last record.
TEST_F(MainSliderTest, ReLayoutAfterAShorterListShowsItsLastRecord) {
  testsupport::HomeDevice device;
  auto host = std::make_shared<ui::View>()->initWithFrame({0, 0, 768, 600});
  auto slider = make(true);
  host->addSubview(slider);
  slider->loadJSONArray(numberedRecords(5));
  clock_.advance(0.3);
  drag(slider, 5 * 768);
  ASSERT_EQ(slider->curPage(), 4);
  slider->loadJSONArray(numberedRecords(2));
  EXPECT_EQ(offset(slider), 2 * 768);
  EXPECT_EQ(slider->pageForLayout(), 2);
  EXPECT_EQ(slider->scrollView()->backgroundColor(), MainSliderBase::fromHexToRGBColor("#020000"));
  clock_.advance(0.3);
  ASSERT_EQ(slider->pageViews().size(), 4u);
  EXPECT_EQ(recordShownBy(slider->pageViews()[2]), 1);
  EXPECT_EQ(slider->pageViews()[2]->frame().x(), offset(slider)) << "the page in view is filled";
  slider->stopAsync();
}

TEST_F(MainSliderTest, PanelShowsTheRecordAndItsStars) {
  testsupport::HomeDevice device;
  auto slider = make(true);
  ns::Dictionary a = *posterRecord("Тихий берег", "#000000").asDictionary();
  a.set("yeahr", "2012");
  a.set("country", "");
  a.set("rubric", "Фильмы");
  a.set("genre", "драма");
  a.set("rating", "4");
  ns::Dictionary b = *posterRecord("Шумное письмо", "#000000").asDictionary();
  b.set("yeahr", "abc");
  b.set("rating", "");
  b.set("description", "Первая строка");
  ns::Dictionary c = *posterRecord("Промо", "#000000").asDictionary();
  c.set("foreignDict", ns::Dictionary{{"is_foreign_link", 1}});
  c.set("rating", "5");
  slider->loadJSONArray({a, b, c});
  EXPECT_EQ(slider->nameLabel()->text(), "Тихий берег");
  EXPECT_EQ(slider->detailLabel()->text(), "2012, Фильмы, драма");
  ASSERT_TRUE(slider->ratingControl());
  int lit = 0;
  for (int i = 0; i < 5; ++i) {
    auto star = std::dynamic_pointer_cast<ui::ImageView>(
        slider->ratingControl()->viewWithTag(StarRatingView::kFirstStarTag + i));
    ASSERT_TRUE(star);
    lit += star->image() && star->image()->name().find("blue") != std::string::npos;
  }
  EXPECT_EQ(lit, 4);
  EXPECT_EQ(slider->ratingControl()->superview(), slider->pageView());

  drag(slider, 2 * 768);
  EXPECT_EQ(slider->detailLabel()->text(), "");
  EXPECT_EQ(slider->descriptionLabel()->text(), "Первая строка");
  EXPECT_FALSE(slider->ratingControl());
  int starViews = 0;
  for (const auto& v : slider->pageView()->subviews())
    starViews += std::dynamic_pointer_cast<StarRatingView>(v) != nullptr;
  EXPECT_EQ(starViews, 0) << "the previous record's stars are gone";
  drag(slider, 3 * 768);
  EXPECT_FALSE(slider->ratingControl()) << "a foreign link shows no stars";
  slider->stopAsync();
}

TEST_F(MainSliderTest, PhonePanelFadesItsLinesAndSizesItsDots) {
  testsupport::HomeDevice device(false);
  auto slider = std::static_pointer_cast<MainSlider_iphone>(make(false));
  slider->loadJSONArray(numberedRecords(4));
  EXPECT_EQ(slider->frame(), cg::Rect(0, 0, 320, 160));
  EXPECT_FALSE(slider->descriptionLabel());
  EXPECT_EQ(slider->pageControl()->frame(), cg::Rect(160 - 20, 2, 40, 8));
  EXPECT_FALSE(slider->pageControl()->isHidden());
  for (const auto& label : {slider->nameLabel(), slider->detailLabel()}) {
    auto mask = std::dynamic_pointer_cast<cg::GradientLayer>(label->layer()->mask());
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->alphaAt({label->bounds().width() * 0.5, 1}), 1.0);
    EXPECT_NEAR(mask->alphaAt({label->bounds().width(), 1}), 0.0, 1e-9);
  }
  slider->stopAsync();
}

// Poster pages against the sample service: files written once and read back, spinners, faults.
class SliderPosterTest : public testsupport::HomeServiceSuite {
 protected:
  // A slider with the sample service's posters installed.
  std::shared_ptr<MainSlider> loadedSlider() {
    auto delegate = std::make_shared<testsupport::RecordingSliderDelegate>();
    auto slider = std::make_shared<MainSlider>()->initWithFilms({testsupport::posterRecord("", "000000")});
    slider->setDelegate(delegate);
    EXPECT_TRUE(testsupport::spinUntil([&] { return !delegate->reports.empty(); }));
    return slider;
  }
  static bool allPagesShown(const std::shared_ptr<MainSliderBase>& slider) {
    for (const auto& page : slider->pageViews())
      if (!page || !page->image()) return false;
    return true;
  }
  static std::string fileHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {}).substr(0, 2);
  }
  static std::size_t imageRequests() { return requestsUnder("/images/"); }
  static ns::Data pngBytes(cg::Color colour = cg::Color::rgba(0.9, 0.2, 0.1)) {
    auto ctx = cg::Context::makeBitmap({8, 8}, false, 1);
    ctx->setFillColor(colour);
    ctx->fillRect({0, 0, 8, 8});
    return ctx->makeImage()->pngData();
  }
};

TEST_F(SliderPosterTest, PostersAreFetchedOnceAndThenShownFromTheirFiles) {
  auto first = loadedSlider();
  ASSERT_TRUE(testsupport::spinUntil([&] { return allPagesShown(first); }));
  for (const auto& record : first->filmList()) {
    auto path = MainSliderBase::posterFilePath(*record["poster"].asString());
    ASSERT_TRUE(path);
    EXPECT_EQ(fileHead(*path), "\xFF\xD8") << *path << " holds a JPEG encoding";
  }
  first->stopAsync();
  std::size_t fetched = imageRequests();

  auto second = loadedSlider();
  ASSERT_TRUE(testsupport::spinUntil([&] { return allPagesShown(second); }));
  for (const auto& page : second->pageViews()) EXPECT_FALSE(page->viewWithTag(MainSliderBase::kSpinnerTag));
  EXPECT_EQ(imageRequests(), fetched);
  second->stopAsync();
}

// Addresses that end in the same name are two posters, each in its own file.
TEST_F(SliderPosterTest, PostersWhoseAddressesEndAlikeKeepTheirOwnFilesOnAWarmStart) {
  for (auto [path, colour] : {std::pair{"/pics/one/same.jpg", cg::Color::rgba(1, 0, 0)},
                              std::pair{"/pics/two/same.jpg", cg::Color::rgba(0, 0, 1)}}) {
    ns::Data png = pngBytes(colour);
    sampleservice::Override o;
    o.body = std::string(reinterpret_cast<const char*>(png.bytes()), png.length());
    o.contentType = "image/png";
    server_->setOverride(path, o);
  }
  sampleservice::Override noList;
  noList.status = 500;
  server_->setOverride("/api/mobile", "get_posters", noList);
  ns::Array list{testsupport::posterRecord("one", "#000000", server_->url("/pics/one/same.jpg")),
                 testsupport::posterRecord("two", "#000000", server_->url("/pics/two/same.jpg"))};
  auto redOf = [](const std::shared_ptr<ui::ImageView>& page) {
    return (page->image()->CGImage()->pixelAt(4, 4) >> 16) & 0xFF;
  };
  std::size_t fetched = 0;
  for (bool warm : {false, true}) {
    auto slider = std::make_shared<MainSlider>()->initWithFilms({testsupport::posterRecord("", "000000")});
    slider->loadJSONArray(list);
    ASSERT_TRUE(testsupport::spinUntil([&] {
      return slider->pageViews().size() == 4 && allPagesShown(slider);
    })) << warm;
    testsupport::awaitPosterRequestsEnded();
    // Slots 1 and 3 show the first record, 0 and 2 the second.
    EXPECT_GT(redOf(slider->pageViews()[1]), 200u) << warm;
    EXPECT_GT(redOf(slider->pageViews()[3]), 200u) << warm;
    EXPECT_LT(redOf(slider->pageViews()[0]), 50u) << warm;
    EXPECT_LT(redOf(slider->pageViews()[2]), 50u) << warm;
    if (warm) {
      EXPECT_EQ(requestsUnder("/pics/"), fetched) << "a warm start reads its posters from their files";
    }
    fetched = requestsUnder("/pics/");
    slider->stopAsync();
  }
}

// A reply of a million posters, where the slider asked for twelve, costs what its first hundred do:
// the rest are left out before any record or page is made. The next slider, against the good
// service, is not the worse for it.
TEST_F(SliderPosterTest, AMillionPostersAreCutBeforeTheirPagesAreMade) {
  sampleservice::Override flood;
  flood.body = testsupport::generatedList(1000000, "{}");
  flood.contentType = "application/json";
  for (bool pad : {true, false}) {
    testsupport::HomeDevice device(pad);
    server_->setOverride("/api/mobile", "get_posters", flood);
    testsupport::PeakMemoryGrowth memory;
    auto delegate = std::make_shared<testsupport::RecordingSliderDelegate>();
    std::shared_ptr<MainSliderBase> slider;
    if (pad) {
      auto tablet = std::make_shared<MainSlider>()->initWithFilms({testsupport::posterRecord("", "000000")});
      tablet->setDelegate(delegate);
      slider = tablet;
    } else {
      auto phone = std::make_shared<MainSlider_iphone>()->initWithFilms(
          {testsupport::posterRecord("", "000000")}, {320, 460});
      phone->setDelegate(delegate);
      slider = phone;
    }
    ASSERT_TRUE(testsupport::spinUntil([&] { return !delegate->reports.empty(); })) << pad;
    EXPECT_EQ(delegate->reports, std::vector<bool>{true}) << pad;
    EXPECT_EQ(slider->filmList().size(), MainSliderBase::kMaxPosters) << pad;
    EXPECT_EQ(slider->pageViews().size(), MainSliderBase::kMaxPosters + 2) << pad;
    EXPECT_LE(slider->scrollView()->subviews().size(), 2 * (MainSliderBase::kMaxPosters + 2)) << pad;
    EXPECT_EQ(slider->pageControl()->numberOfPages(), static_cast<int>(MainSliderBase::kMaxPosters)) << pad;
    // The reply itself is decoded whole; the records and pages add little to it.
    if (!testsupport::kSanitized) {
      EXPECT_LT(memory.megabytes(), 600) << pad;
    }
    slider->stopAsync();

    server_->clearOverrides();
    auto next = loadedSlider();
    EXPECT_EQ(next->filmList().size(), 12u) << pad;
    next->stopAsync();
  }
}

// A hundred large posters arriving together: what the pages show is held within the bound on
// decoded pixels like every other picture, the rest to be decoded again when drawn.
TEST_F(SliderPosterTest, FreshPostersAreHeldWithinTheBoundOnDecodedPixels) {
  // Within a page's box, so that each keeps its 1.2 MB of pixels: 122 MB for the whole slider.
  auto ctx = cg::Context::makeBitmap({1000, 300}, true, 1);
  ctx->setFillColor(cg::Color::rgba(0.2, 0.4, 0.6));
  ctx->fillRect({0, 0, 1000, 300});
  ns::Data png = ctx->makeImage()->pngData();
  sampleservice::Override poster;
  poster.body = std::string(reinterpret_cast<const char*>(png.bytes()), png.length());
  poster.contentType = "image/png";
  sampleservice::Override noList;
  noList.status = 500;
  server_->setOverride("/api/mobile", "get_posters", noList);
  ns::Array list;
  for (std::size_t i = 0; i < MainSliderBase::kMaxPosters; ++i) {
    std::string path = "/pics/large/" + std::to_string(i) + ".png";
    server_->setOverride(path, poster);
    list.push_back(testsupport::posterRecord("r", "#000000", server_->url(path)));
  }
  auto slider = std::make_shared<MainSlider>()->initWithFilms({testsupport::posterRecord("", "000000")});
  slider->loadJSONArray(list);
  ASSERT_TRUE(testsupport::spinUntil([&] { return allPagesShown(slider); }));
  testsupport::awaitPosterRequestsEnded();
  std::size_t held = 0;
  for (const auto& page : slider->pageViews()) held += page->image()->CGImage()->heldBytes();
  // Beside the pixels, each keeps its small encoding.
  EXPECT_LE(held, cg::Image::kMostHeldBytes + slider->pageViews().size() * png.length());
  slider->stopAsync();
}

TEST_F(SliderPosterTest, SpinnersTurnWhileDownloadingAndBadBodiesLeaveNoFile) {
  sampleservice::Override notAnImage;
  notAnImage.body = "not an image";
  notAnImage.contentType = "image/jpeg";
  server_->setOverride("/pics/bad.jpg", notAnImage);
  sampleservice::Override folderImage;
  ns::Data png = pngBytes();
  folderImage.body = std::string(reinterpret_cast<const char*>(png.bytes()), png.length());
  folderImage.contentType = "image/png";
  server_->setOverride("/pics/", folderImage);

  // The slider's own poster list does not come, so the test's list stays.
  sampleservice::Override noList;
  noList.status = 500;
  server_->setOverride("/api/mobile", "get_posters", noList);
  auto fresh = std::make_shared<MainSlider>()->initWithFilms({testsupport::posterRecord("", "000000")});
  // Posters that cannot be asked for end as failed downloads at once: no spinner turns for them.
  const char* unfetchable[] = {"http://127.0.0.1/a b.jpg", "/images/poster/1001.jpg",
                               "ftp://127.0.0.1/x.jpg"};
  ns::Array list{testsupport::posterRecord("bad", "#000000", server_->url("/pics/bad.jpg")),
                 testsupport::posterRecord("folder", "#123456", server_->url("/pics/"))};
  for (const char* poster : unfetchable) list.push_back(testsupport::posterRecord(poster, "#204060", poster));
  fresh->loadJSONArray(list);
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return fresh->pageViews().size() == 7 && fresh->pageViews()[5]; }));
  auto spinnerOf = [&](int slot) {
    return std::dynamic_pointer_cast<ui::ActivityIndicatorView>(
        fresh->pageViews()[static_cast<std::size_t>(slot)]->viewWithTag(MainSliderBase::kSpinnerTag));
  };
  ASSERT_TRUE(spinnerOf(1));
  EXPECT_TRUE(spinnerOf(1)->isAnimating());
  EXPECT_EQ(spinnerOf(1)->activityIndicatorViewStyle(), ui::ActivityIndicatorViewStyle::white);
  EXPECT_EQ(spinnerOf(3)->activityIndicatorViewStyle(), ui::ActivityIndicatorViewStyle::gray);
  for (int slot = 3; slot <= 5; ++slot) {
    ASSERT_TRUE(spinnerOf(slot)) << unfetchable[slot - 3];
    EXPECT_FALSE(spinnerOf(slot)->isAnimating()) << unfetchable[slot - 3];
    EXPECT_FALSE(fresh->pageViews()[static_cast<std::size_t>(slot)]->image()) << unfetchable[slot - 3];
    EXPECT_EQ(fresh->pageViews()[static_cast<std::size_t>(slot)]->backgroundColor(),
              MainSliderBase::fromHexToRGBColor("#204060"))
        << unfetchable[slot - 3];
  }

  ASSERT_TRUE(
      testsupport::spinUntil([&] { return !spinnerOf(1)->isAnimating() && fresh->pageViews()[2]->image(); }));
  EXPECT_FALSE(fresh->pageViews()[1]->image());
  EXPECT_FALSE(ns::FileManager::defaultManager()->fileExistsAtPath(
      *MainSliderBase::posterFilePath(server_->url("/pics/bad.jpg"))))
      << "no file for a body that is no image";
  EXPECT_TRUE(ns::FileManager::defaultManager()->fileExistsAtPath(
      *MainSliderBase::posterFilePath(server_->url("/pics/"))))
      << "the folder's own address is a poster of its own";
  fresh->stopAsync();
}

}  // namespace
