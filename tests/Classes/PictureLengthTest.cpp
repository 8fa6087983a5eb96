// Every picture download against a body with no end in sight: each stops where no picture the
// client draws reaches, fails that picture alone and caches nothing, and the next visit of the same
// picture, now served well, shows and stores it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "CategoryTestSupport.h"
#include "Classes/CategoryPage/TopCategoryBanner.h"
#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLRolesItem.h"
#include "Classes/TitlePage/TLTitleFilmView.h"
#include "Classes/TitlePage/TitleActorViewController.h"
#include "Classes/iphone/CategoryPage/TLVideoItemPriviewCell.h"
#include "Classes/iphone/MainPage/TLVideoItemPriview_iphone.h"
#include "Foundation/URLLoader.h"
#include "Graphics/ImageHeader.h"
#include "HomeTestSupport.h"
#include "RowTestSupport.h"
#include "support/CompressedBody.h"
#include "support/LoopbackServer.h"

namespace {

using testsupport::spinUntil;

// One download path: what starts it for a URL (keeping what must live while it runs, as the type
// the other checks read it as), whether the picture shows, whether it has given up, the file it
// caches the picture in, and what ends it.
struct Path {
  const char* name;
  std::function<std::shared_ptr<void>(const std::string& url)> start;
  std::function<bool(const std::shared_ptr<void>&)> shows;
  std::function<bool(const std::shared_ptr<void>&)> ended;  // null: nothing more to tell
  std::function<std::string(const std::string& url)> file;
  std::function<void(const std::shared_ptr<void>&)> stop;  // null: nothing to stop
};

template <class T>
std::shared_ptr<T> as(const std::shared_ptr<void>& held) {
  return std::static_pointer_cast<T>(held);
}

void stopSlider(const std::shared_ptr<void>& held) { as<MainSliderBase>(held)->stopAsync(); }

bool exists(const std::string& path) { return TLImageFetch::fileExists(path); }

class PictureLengthTest : public testsupport::HomeServiceSuite {
 protected:
  static constexpr int kHugeSide = 6300;

  void SetUp() override {
    HomeServiceSuite::SetUp();
    // The slider and the banner show the lists the tests give them, not the service's.
    sampleservice::Override noList;
    noList.status = 500;
    server_->setOverride("/api/mobile", "get_posters", noList);
    flood_ = std::make_unique<testsupport::LoopbackServer>();
    testsupport::Reply endless;
    endless.contentType = "image/png";
    endless.chunked = true;
    endless.chunkSize = 256 * 1024;
    endless.generatedLength = std::size_t{1} << 30;
    endless.generatedByte = [](std::size_t offset) { return static_cast<char>(offset * 7); };
    // Under "/gzip/": a gigabyte of zeros in a megabyte of gzip.
    testsupport::Reply inflating = testsupport::gzippedZerosReply("image/png");
    // Under "/huge/": a picture of 6300 x 6300 pixels in a few kilobytes.
    testsupport::Reply huge;
    huge.contentType = "image/png";
    huge.body = testsupport::greyPNG(kHugeSide, kHugeSide);
    flood_->fallback([endless, inflating, huge](const testsupport::RecordedRequest& request) {
      if (request.path.starts_with("/huge/")) return huge;
      return request.path.starts_with("/gzip/") ? inflating : endless;
    });
  }
  void TearDown() override {
    if (header_) header_->playerViewController()->resetPlayList();
    header_.reset();
    HomeServiceSuite::TearDown();
    flood_.reset();
  }

  std::vector<Path> paths() {
    std::vector<Path> list;
    auto tilePoster = [](bool phone, bool big, bool episode) {
      return [=](const std::string& url) -> std::shared_ptr<void> {
        std::shared_ptr<TLVideoItemPriviewBase> tile =
            phone
                ? std::shared_ptr<TLVideoItemPriviewBase>(
                      std::make_shared<TLVideoItemPriview_iphone>()->initWithFrame({0, 0, 1, 1}, big ? 1 : 0))
                : std::make_shared<TLVideoItemPriview>()->initWithFrame({0, 0, 1, 1}, big ? 1 : 0);
        tile->setTypeIsEpisode(episode);
        tile->setID(1001);
        big ? tile->setBigImageUrl(url) : tile->setImageUrl(url);
        return tile;
      };
    };
    auto tileShows = [](const std::shared_ptr<void>& held) {
      return as<TLVideoItemPriviewBase>(held)->imageBt()->backgroundImageForState(ui::ControlStateNormal) !=
             nullptr;
    };
    list.push_back({"tile poster", tilePoster(false, false, false), tileShows, nullptr,
                    [](const std::string&) { return TLSettings::posterForBaseVideo(1001); }, nullptr});
    list.push_back({"big tile poster", tilePoster(false, true, false), tileShows, nullptr,
                    [](const std::string&) { return TLSettings::posterBigForBaseVideo(1001); }, nullptr});
    list.push_back({"phone episode tile", tilePoster(true, false, true), tileShows, nullptr,
                    [](const std::string&) { return TLSettings::posterForEpisode(1001); }, nullptr});

    auto rolesPlaceholder = std::make_shared<std::shared_ptr<ui::Image>>();
    list.push_back({"person tile",
                    [rolesPlaceholder](const std::string& url) -> std::shared_ptr<void> {
                      auto tile = std::make_shared<TLRolesItem>()->initWithFrame({0, 0, 100, 50});
                      *rolesPlaceholder = tile->imageBt()->imageForState(ui::ControlStateNormal);
                      tile->setId_actor("3001");
                      tile->setImage(url);
                      return std::shared_ptr<TLRolesItemBase>(tile);
                    },
                    [rolesPlaceholder](const std::shared_ptr<void>& held) {
                      return as<TLRolesItemBase>(held)->imageBt()->imageForState(ui::ControlStateNormal) !=
                             *rolesPlaceholder;
                    },
                    nullptr, [](const std::string&) { return TLSettings::rolesPath() + "/3001.png"; },
                    nullptr});

    auto photoPlaceholder = std::make_shared<std::shared_ptr<ui::Image>>();
    // Asked for once the caches are cleared: asking makes the folder.
    auto photoFile = [] { return TLSettings::rolesPath() + "/3002big.png"; };
    list.push_back({"person page photo",
                    [photoPlaceholder, photoFile](const std::string& url) -> std::shared_ptr<void> {
                      auto page = std::make_shared<TitleActorViewController>()->initWithItem(ns::Value());
                      page->view();
                      *photoPlaceholder = page->actorPhoto()->image();
                      page->loadImageWithUrl(url, photoFile());
                      return page;
                    },
                    [photoPlaceholder](const std::shared_ptr<void>& held) {
                      return as<TitleActorViewController>(held)->actorPhoto()->image() != *photoPlaceholder;
                    },
                    [](const std::shared_ptr<void>& held) {
                      return !as<TitleActorViewController>(held)->photoSpinner();
                    },
                    [photoFile](const std::string&) { return photoFile(); }, nullptr});

    list.push_back({"phone list cell",
                    [](const std::string& url) -> std::shared_ptr<void> {
                      auto cell = TLVideoItemPriviewCell::cellFromInterfaceFile("customCell");
                      cell->setID(1001);
                      cell->setImageUrl(url);
                      return cell;
                    },
                    [](const std::shared_ptr<void>& held) {
                      auto image = as<TLVideoItemPriviewCell>(held)->imageView()->image();
                      return image && image->name().empty();
                    },
                    nullptr, [](const std::string&) { return TLSettings::posterForBaseVideo(1001); },
                    nullptr});

    list.push_back({"title page's big poster",
                    [this](const std::string& url) -> std::shared_ptr<void> {
                      if (header_) header_->playerViewController()->resetPlayList();
                      header_ = std::make_shared<TLTitleFilmView>()->initWithFrame({0, 0, 768, 300});
                      header_->setFilmId(1001);
                      header_->setImageBigUrl(url);
                      return header_;
                    },
                    [](const std::shared_ptr<void>& held) {
                      return as<TLTitleFilmView>(held)->playerViewController()->previewImage() != nullptr;
                    },
                    nullptr, [](const std::string&) { return TLSettings::posterBigForBaseVideo(1001); },
                    nullptr});

    auto spinnerStopped = [](const std::shared_ptr<MainSliderBase>& slider) {
      auto page = slider->pageViews().size() > 1 ? slider->pageViews()[1] : nullptr;
      auto spinner = page ? std::dynamic_pointer_cast<ui::ActivityIndicatorView>(
                                page->viewWithTag(MainSliderBase::kSpinnerTag))
                          : nullptr;
      return spinner && !spinner->isAnimating();
    };
    auto slideShows = [](const std::shared_ptr<void>& held) {
      auto slider = as<MainSliderBase>(held);
      return slider->pageViews().size() > 1 && slider->pageViews()[1] && slider->pageViews()[1]->image();
    };
    auto slideEnded = [spinnerStopped](const std::shared_ptr<void>& held) {
      return spinnerStopped(as<MainSliderBase>(held));
    };
    list.push_back({"slider poster",
                    [](const std::string& url) -> std::shared_ptr<void> {
                      auto slider = std::make_shared<MainSlider>()->initWithFilms(
                          {testsupport::posterRecord("", "000000")});
                      slider->loadJSONArray({testsupport::posterRecord("Постер", "#000000", url)});
                      return std::shared_ptr<MainSliderBase>(slider);
                    },
                    slideShows, slideEnded,
                    [](const std::string& url) { return *MainSliderBase::posterFilePath(url); }, stopSlider});

    // The banner fetches its posters as its page makes it: from the list the service sends.
    list.push_back({"category banner",
                    [](const std::string& url) -> std::shared_ptr<void> {
                      server_->setOverride(
                          "/api/mobile", "get_posters", {{"poster_size", "1000x240"}},
                          testsupport::body(R"({"items":[{"background_color":"#000000","is_foreign_link":0,)"
                                            R"("poster":")" +
                                            url +
                                            R"(","title_info":{"title":"Постер","id":"7","url":""}}]})"));
                      auto banner = std::make_shared<TopCategoryBanner>()->initWithCategoryId(
                          7, {testsupport::posterRecord("", "000000")});
                      return std::shared_ptr<MainSliderBase>(banner);
                    },
                    slideShows, slideEnded,
                    [](const std::string& url) { return *MainSliderBase::posterFilePath(url); }, stopSlider});
    return list;
  }

  std::unique_ptr<testsupport::LoopbackServer> flood_;
  std::shared_ptr<TLTitleFilmView> header_;
  testsupport::HomeDevice device_;
};

TEST_F(PictureLengthTest, AnEndlessPictureStopsAtTheBoundFailsAloneAndTheNextVisitShowsIt) {
  int n = 0;
  for (const Path& path : paths()) {
    SCOPED_TRACE(path.name);
    testsupport::clearAppCaches();
    std::string endless = flood_->url("/endless/" + std::to_string(++n) + "/1001_1000x424.png");
    std::size_t hungUp = flood_->disconnectsSeen();
    testsupport::PeakMemoryGrowth memory;
    auto start = std::chrono::steady_clock::now();
    auto held = path.start(endless);
    // The client hangs up on the body once it passes the bound, long before its end.
    ASSERT_TRUE(spinUntil([&] { return flood_->disconnectsSeen() > hungUp; }, 60));
    testsupport::awaitPosterRequestsEnded();
    if (path.ended) {
      EXPECT_TRUE(spinUntil([&] { return path.ended(held); }));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    if (!testsupport::kSanitized) {
      EXPECT_LT(memory.megabytes(), 64);
    }
    EXPECT_FALSE(path.shows(held));
    EXPECT_FALSE(exists(path.file(endless)));
    if (path.stop) path.stop(held);

    // The same picture served well: shown and cached by the next visit.
    std::string good = server_->url("/images/poster/1001_1000x424.png");
    auto again = path.start(good);
    EXPECT_TRUE(spinUntil([&] { return exists(path.file(good)); }));
    testsupport::awaitPosterRequestsEnded();
    EXPECT_TRUE(spinUntil([&] { return path.shows(again); }));
    if (path.stop) path.stop(again);
    // A slider writes the poster of each page that shows it: the last writes end before the next
    // path clears the caches, or they would put the file back under it.
    EXPECT_TRUE(spinUntil(testsupport::nothingLoadingOrRunning));
  }
}

// A picture that inflates far past the bound is refused once the bound and one read of it are
// decoded, whichever page or view fetches it: it fails alone and caches nothing.
TEST_F(PictureLengthTest, ACompressedPictureIsRefusedOnceItInflatesPastTheBound) {
  int n = 0;
  for (const Path& path : paths()) {
    SCOPED_TRACE(path.name);
    testsupport::clearAppCaches();
    std::string url = flood_->url("/gzip/" + std::to_string(++n) + "/1001_1000x424.png");
    std::size_t asked = flood_->requestCount();
    std::int64_t before = ns::URLLoader::shared().decodedBodyBytes();
    auto held = path.start(url);
    ASSERT_TRUE(spinUntil([&] { return flood_->requestCount() > asked; }));
    testsupport::awaitPosterRequestsEnded();
    if (path.ended) {
      EXPECT_TRUE(spinUntil([&] { return path.ended(held); }));
    }
    auto fetches = static_cast<std::int64_t>(flood_->requestCount() - asked);
    EXPECT_LE(ns::URLLoader::shared().decodedBodyBytes() - before,
              fetches * (TLImageFetch::kMaxPictureLength + ns::URLLoader::kReadBytes));
    EXPECT_FALSE(path.shows(held));
    EXPECT_FALSE(exists(path.file(url)));
    if (path.stop) path.stop(held);
    EXPECT_TRUE(spinUntil(testsupport::nothingLoadingOrRunning));
  }
}

// A picture of 6300 x 6300 pixels is no poster for any view: whichever page or view fetches it,
// it is refused before any decoder starts, shows its placeholder and caches nothing. (The
// tablet's person page draws the middle of a photo at its own size.)
TEST_F(PictureLengthTest, AHugePictureIsRefusedBeforeItIsDecoded) {
  int n = 0;
  for (const Path& path : paths()) {
    if (path.name == std::string("person page photo")) continue;
    SCOPED_TRACE(path.name);
    testsupport::clearAppCaches();
    std::string url = flood_->url("/huge/" + std::to_string(++n) + "/1001_1000x424.png");
    const std::uint64_t decoders = cg::detail::decodersStarted();
    const std::size_t asked = flood_->requestCount();
    auto held = path.start(url);
    ASSERT_TRUE(spinUntil([&] { return flood_->requestCount() > asked; }));
    testsupport::awaitPosterRequestsEnded();
    if (path.ended) {
      EXPECT_TRUE(spinUntil([&] { return path.ended(held); }));
    }
    EXPECT_TRUE(spinUntil(testsupport::nothingLoadingOrRunning));
    EXPECT_FALSE(path.shows(held));
    EXPECT_FALSE(exists(path.file(url)));
    EXPECT_EQ(cg::detail::decodersStarted(), decoders);
    if (path.stop) path.stop(held);
    EXPECT_TRUE(spinUntil(testsupport::nothingLoadingOrRunning));
  }
}

// The bound is a length, whatever the picture may be: a body one byte past it is refused before any of it
// is read, one at the bound is read whole.
TEST_F(PictureLengthTest, TheBoundIsTheLastLengthRead) {
  auto reply = [](std::int64_t length) {
    testsupport::Reply r;
    r.contentType = "image/png";
    r.generatedLength = static_cast<std::size_t>(length);
    // A PNG's start claiming 1000 x 1000 pixels, which its header alone would let take 17 MB.
    r.generatedByte = [](std::size_t offset) {
      static const char start[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x03\xe8\0\0\x03\xe8\x08\x02\0\0\0";
      return offset < sizeof start - 1 ? start[offset] : 'p';
    };
    return r;
  };
  flood_->reply("/long.png", reply(TLImageFetch::kMaxPictureLength + 1));
  flood_->reply("/bound.png", reply(TLImageFetch::kMaxPictureLength));
  struct Case {
    const char* path;
    bool read;
  };
  for (const Case& c : {Case{"/long.png", false}, Case{"/bound.png", true}}) {
    SCOPED_TRACE(c.path);
    bool done = false, failed = false;
    std::size_t length = 0;
    ASSERT_TRUE(TLImageFetch::get(
        flood_->url(c.path),
        [&](const ns::Data& body) {
          length = body.length();
          done = true;
        },
        nullptr,
        [&] {
          failed = true;
          done = true;
        }));
    ASSERT_TRUE(spinUntil([&] { return done; }));
    EXPECT_EQ(failed, !c.read);
    EXPECT_EQ(length, c.read ? static_cast<std::size_t>(TLImageFetch::kMaxPictureLength) : 0u);
  }
}

}  // namespace
