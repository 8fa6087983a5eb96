#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "Classes/TLImageFetch.h"
#include "Classes/TitlePage/TLFilmDetailView.h"
#include "Classes/iphone/TitlePage/TLTitleFilmView_iphone.h"
#include "Foundation/DataFile.h"
#include "Foundation/FileManager.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/String.h"
#include "Graphics/Context.h"
#include "Graphics/Text.h"
#include "Graphics/TextDetail.h"
#include "Platform/UIKit/ScreenTestSupport.h"
#include "TextFitSupport.h"
#include "TitlePageTestSupport.h"
#include "UIKit/ComposeViewController.h"
#include "UIKit/ImageView.h"
#include "UIKit/ViewRenderer.h"

namespace {

using testsupport::TitlePageSuite;

// A one-colour PNG of that many pixels, written where the path says.
void writeLargePicture(const std::string& path, int width, int height) {
  ns::FileManager::defaultManager()->createDirectoryAtPath(ns::stringByDeletingLastPathComponent(path), true);
  auto ctx = cg::Context::makeBitmap({double(width), double(height)}, true, 1);
  ctx->setFillColor(cg::Color::rgba(0.3, 0.5, 0.7));
  ctx->fillRect({0, 0, double(width), double(height)});
  ASSERT_TRUE(ns::writeDataToFile(ctx->makeImage()->pngData(), path));
}

class TitleHeaderTest : public TitlePageSuite {
 protected:
  void TearDown() override {
    if (header_) header_->playerViewController()->resetPlayList();
    header_.reset();
    TitlePageSuite::TearDown();
  }
  std::shared_ptr<TLTitleFilmView> makeHeader(int id, bool episode) {
    header_ = std::make_shared<TLTitleFilmView>()->initWithFrame({0, 0, 768, 300});
    header_->setTypeIsEpisode(episode);
    header_->setFilmId(id);
    return header_;
  }
  static void writePicture(const std::string& path) {
    ns::FileManager::defaultManager()->createDirectoryAtPath(ns::stringByDeletingLastPathComponent(path),
                                                             true);
    auto image = ui::Image::imageNamed("facebook.png");
    ASSERT_TRUE(image);
    ASSERT_TRUE(ns::writeDataToFile(ui::ImagePNGRepresentation(image), path));
  }
  static bool exists(const std::string& path) {
    return ns::FileManager::defaultManager()->fileExistsAtPath(path);
  }
  static std::size_t posterRequests() { return requestsUnder("/images/poster_big"); }

  testsupport::HomeDevice device_{true};
  std::shared_ptr<TLTitleFilmView> header_;
};

// The file is read off the main thread at the header's pixels, whatever size it was written at.
TEST_F(TitleHeaderTest, ACachedBigPosterShowsWithNoRequestAtTheHeadersPixels) {
  for (bool episode : {false, true}) {
    int id = episode ? 50003 : 1002;
    std::string path = episode ? TLSettings::posterBigForEpisode(id) : TLSettings::posterBigForBaseVideo(id);
    EXPECT_NE(path.find(episode ? "/e50003.png" : "/1002.png"), std::string::npos);
    if (episode)
      writePicture(path);
    else
      writeLargePicture(path, 2400, 1000);
    auto header = makeHeader(id, episode);
    ASSERT_TRUE(
        testsupport::spinUntil([&] { return header->playerViewController()->previewImage() != nullptr; }));
    if (!episode) {
      auto preview = header->playerViewController()->previewImage();
      EXPECT_LT(preview->CGImage()->pixelWidth(), 2400);
      EXPECT_GE(preview->CGImage()->pixelWidth(), TLImageFetch::titleHeaderBox().width);
      EXPECT_NEAR(preview->size().width, 2400, 1) << "its size in points stays";
      EXPECT_NEAR(preview->size().height, 1000, 1);
    }
    header->setImageBigUrl(server_->url("/images/poster_big/1002.jpg"));
    testsupport::awaitRequestsEnded();
    EXPECT_EQ(posterRequests(), 0u);
  }
}

TEST_F(TitleHeaderTest, DownloadsTheBigPosterOnceOrShowsTheSmallOne) {
  auto header = makeHeader(1002, false);
  EXPECT_FALSE(header->playerViewController()->previewImage());
  ASSERT_FALSE(server_->catalogue().title("1002") == nullptr);
  header->setImageBigUrl(server_->url("/images/poster_big/1002.jpg"));
  testsupport::awaitRequestsEnded();
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return header->playerViewController()->previewImage() != nullptr; }));
  EXPECT_EQ(posterRequests(), 1u);
  EXPECT_TRUE(exists(TLSettings::posterBigForBaseVideo(1002)));

  // No big poster: the small one, or nothing.
  writePicture(TLSettings::posterForBaseVideo(1004));
  auto small = makeHeader(1004, false);
  small->setImageBigUrl("");
  EXPECT_TRUE(
      testsupport::spinUntil([&] { return small->playerViewController()->previewImage() != nullptr; }));
  auto none = makeHeader(1005, false);
  none->setImageBigUrl("");
  EXPECT_FALSE(none->playerViewController()->previewImage());
  EXPECT_EQ(posterRequests(), 1u);
}

TEST_F(TitleHeaderTest, AFailedOrBrokenDownloadLeavesNoFile) {
  sampleservice::Override notFound;
  notFound.status = 404;
  sampleservice::Override html;
  html.body = "<html>not a picture</html>";
  html.contentType = "text/html";
  sampleservice::Override cut;
  cut.dropAfterBytes = 40;
  const std::pair<const char*, sampleservice::Override> cases[] = {
      {"404", notFound}, {"html", html}, {"cut", cut}};
  int id = 1010;
  for (const auto& [name, o] : cases) {
    SCOPED_TRACE(name);
    server_->setOverride("/images/poster_big/1002.jpg", o);
    auto header = makeHeader(id, false);
    header->setImageBigUrl(server_->url("/images/poster_big/1002.jpg"));
    testsupport::awaitRequestsEnded();
    EXPECT_FALSE(exists(TLSettings::posterBigForBaseVideo(id)));
    EXPECT_FALSE(header->playerViewController()->previewImage());
    ++id;
  }
}

TEST_F(TitleHeaderTest, AnIdOfZeroShowsThePosterButWritesNoFile) {
  auto header = makeHeader(0, false);
  header->setImageBigUrl(server_->url("/images/poster_big/1002.jpg"));
  testsupport::awaitRequestsEnded();
  ASSERT_TRUE(
      testsupport::spinUntil([&] { return header->playerViewController()->previewImage() != nullptr; }));
  EXPECT_FALSE(exists(TLSettings::posterBigForBaseVideo(0)));
}

TEST_F(TitleHeaderTest, StarsPerIdiomAndOrientation) {
  auto header = makeHeader(1, false);
  header->setRating(0);
  EXPECT_FALSE(header->ratingView());
  header->setRating(3);
  ASSERT_TRUE(header->ratingView());
  EXPECT_EQ(header->ratingView()->frame().width(), 60);
  for (bool landscape : {true, false}) {
    ui::Application::sharedApplication()->setStatusBarOrientation(
        landscape ? ui::InterfaceOrientation::landscapeLeft : ui::InterfaceOrientation::portrait);
    header->layoutSubviews();
    EXPECT_EQ(header->ratingView()->frame().origin.x, landscape ? 914 : 658);
    EXPECT_EQ(header->ratingView()->frame().origin.y, 5);
  }
  // As many stars as the rating (five to ten), the row ending on the screen in each orientation;
  // rows of five stay where the page puts them, and the name ends before the stars.
  struct Case {
    int rating;
    int stars;
  };
  for (Case c : {Case{3, 5}, Case{5, 5}, Case{8, 8}, Case{10, 10}})
    for (bool landscape : {true, false}) {
      ui::Application::sharedApplication()->setStatusBarOrientation(
          landscape ? ui::InterfaceOrientation::landscapeLeft : ui::InterfaceOrientation::portrait);
      header->setFrame(landscape ? cg::Rect{0, 0, 1024, 342} : cg::Rect{0, 0, 768, 300});
      header->setRating(c.rating);
      header->layoutSubviews();
      auto stars = header->ratingView();
      ASSERT_TRUE(stars);
      EXPECT_EQ(stars->starCount(), c.stars) << c.rating;
      double right = stars->frame().x() + 20 * c.stars;
      EXPECT_LE(right, landscape ? 1014 : 758) << c.rating << (landscape ? " landscape" : " portrait");
      EXPECT_GE(stars->frame().x(), landscape ? 512 : 412) << c.rating;
      if (c.stars == 5) {
        EXPECT_EQ(stars->frame().x(), landscape ? 914 : 658) << c.rating;
      }
      EXPECT_LE(header->filmNameLabel()->frame().maxX(), stars->frame().x()) << c.rating;
      EXPECT_EQ(stars->frame().y(), 5);
    }
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);

  testsupport::HomeDevice phone(false);
  auto phoneHeader = std::make_shared<TLTitleFilmView_iphone>()->initWithFrame({9, 109, 302, 350});
  phoneHeader->setRating(0);
  ASSERT_TRUE(phoneHeader->ratingView());
  EXPECT_EQ(cg::describe(phoneHeader->ratingView()->frame()), "{{242, 232}, {60, 12}}");
  phoneHeader->playerViewController()->resetPlayList();
}

// Beside as many as ten stars the name shows whole: on one line before the stars where it fits
// there, else in its own width, wrapped to two lines where it needs them, with the stars under
// it; the director, detail and description move down clear of the stars, and the description
// still ends where it did.
TEST_F(TitleHeaderTest, TheNameShowsWholeBesideOrAboveUpToTenStars) {
  auto header = makeHeader(1, false);
  header->filmProducerLabel()->setText("Режиссёр: Фёдор Журавлёв");
  header->filmDetailLabel()->setText("2013, Россия, Сериалы, Драма, 12+");
  struct Case {
    const char* name;
    int stars;
    bool landscape;
    bool besideStars;
  };
  const Case cases[] = {
      {"Брат", 10, false, true},
      {"Хроники янтарного берега", 5, false, false},
      {"Хроники янтарного берега", 8, false, false},
      {"Хроники янтарного берега", 10, false, false},
      {"Хроники янтарного берега", 10, true, true},
      {"Хроники янтарного берега. Возвращение", 10, false, false},
      {"Хроники янтарного берега. Возвращение домой", 10, true, false},
      {"Хроники янтарного берега. Возвращение", 5, true, true},
      // The sample catalogue's longest names: in portrait under any stars they take the header's
      // width, which two lines of the name need.
      {"Возвращение тихой улицы. Клип группы «Тихая гавань»", 5, false, false},
      {"Возвращение тихой улицы. Клип группы «Тихая гавань»", 10, false, false},
      {"Возвращение тихой улицы. Клип группы «Тихая гавань»", 5, true, false},
      {"Возвращение тихой улицы. Клип группы «Тихая гавань»", 10, true, false},
      {"Буревестник — Енисейские волки. Хоккей", 5, false, false},
      {"Буревестник — Енисейские волки. Хоккей", 10, false, false},
      {"Буревестник — Енисейские волки. Хоккей", 5, true, true},
      {"Буревестник — Енисейские волки. Хоккей", 10, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(c.stars) +
                 (c.landscape ? " stars, landscape" : " stars, portrait"));
    ui::Application::sharedApplication()->setStatusBarOrientation(
        c.landscape ? ui::InterfaceOrientation::landscapeLeft : ui::InterfaceOrientation::portrait);
    double width = c.landscape ? 1024 : 768;
    header->setFrame({0, 0, width, c.landscape ? 342.0 : 300.0});
    header->filmNameLabel()->setText(c.name);
    header->setRating(c.stars);
    header->layoutIfNeeded();
    auto name = header->filmNameLabel();
    auto stars = header->ratingView();
    ASSERT_TRUE(stars);
    EXPECT_EQ(stars->starCount(), c.stars);
    cg::Rect starsFrame{stars->frame().origin, {20.0 * c.stars, 20}};
    EXPECT_LE(starsFrame.maxX(), width - 10);
    EXPECT_GE(starsFrame.x(), c.landscape ? 512 : 412);
    EXPECT_TRUE(testsupport::showsWholeText(*name)) << cg::describe(name->frame());
    EXPECT_LE(name->frame().maxX(), width - 10) << cg::describe(name->frame());
    cg::Rect shownName = testsupport::shownTextRect(*name, header.get());
    EXPECT_EQ(starsFrame.y() >= shownName.maxY(), !c.besideStars) << cg::describe(starsFrame);
    EXPECT_TRUE(shownName.intersection(starsFrame).isNull()) << cg::describe(shownName);
    EXPECT_EQ(testsupport::overlappingTexts(header), std::vector<std::string>{});
    cg::Rect shownDetail = testsupport::shownTextRect(*header->filmDetailLabel(), header.get());
    for (const auto& label : {header->filmProducerLabel(), header->filmDetailLabel()})
      EXPECT_TRUE(testsupport::shownTextRect(*label, header.get()).intersection(starsFrame).isNull())
          << label->text();
    cg::Rect description = header->bgView()->frame();
    EXPECT_GE(description.y(), shownDetail.maxY());
    EXPECT_EQ(description.maxY(), c.landscape ? 65 + 256 : 65 + 212);
  }
  ui::Application::sharedApplication()->setStatusBarOrientation(ui::InterfaceOrientation::portrait);
}

// The phone's detail line stands beside the stars: where it is too long for its room it ends in
// an ellipsis that shows, and a short one shows whole.
TEST_F(TitleHeaderTest, ThePhoneDetailLineEndsInAnEllipsisWhereItIsCut) {
  testsupport::HomeDevice phone(false);
  auto header = std::make_shared<TLTitleFilmView_iphone>()->initWithFrame({9, 109, 302, 350});
  header->setRating(4);
  auto detail = header->filmDetailLabel();
  for (const char* text : {"2013, Россия, Сериалы, Драма, Мелодрама, 12+", "2013, Россия"}) {
    SCOPED_TRACE(text);
    bool cut = cg::measureText(text, detail->font()->cgFont()).width > detail->bounds().width();
    detail->setText(text);
    cg::Rect box = detail->textRectForBounds(detail->bounds());
    auto lines = cg::detail::shownLines(text, detail->font()->cgFont(), box.size, detail->lineBreakMode());
    ASSERT_EQ(lines.size(), 1u);
    if (cut) {
      EXPECT_TRUE(lines[0].ends_with("\u2026")) << lines[0];
    } else {
      EXPECT_EQ(lines[0], text);
    }
    EXPECT_TRUE(detail->convertRectToView(detail->bounds(), header.get())
                    .intersection(header->ratingView()->frame())
                    .isNull());
    // The end of what is drawn is as bright as its start: nothing fades it out.
    auto picture = ui::renderView(detail, 2);
    ASSERT_TRUE(picture);
    double shown = cg::measureText(lines[0], detail->font()->cgFont()).width;
    auto brightest = [&](double from, double to) {
      double most = 0;
      for (int y = 0; y < picture->pixelHeight(); ++y)
        for (int x = int(2 * from); x < int(2 * to); ++x) most = std::max(most, picture->colorAt(x, y).alpha);
      return most;
    };
    EXPECT_GT(brightest(shown - 6, shown), 0.8);
  }
  header->playerViewController()->resetPlayList();
}

// The tablet header's texts lie straight on the page's ground picture (the header is clear, 114
// points below the page's top): each keeps 4.5:1 against the lightest pixel under it.
TEST_F(TitleHeaderTest, TheHeadersTextsReadOnThePagesGround) {
  auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  auto luminance = [&](const cg::Color& c) {
    return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
  };
  auto ground = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, 1024, 1024});
  ground->setImage(ui::Image::imageNamed("background.png"));
  auto picture = ui::renderView(ground, 1);
  ASSERT_TRUE(picture);
  auto header = makeHeader(1002, false);
  header->layoutSubviews();
  for (const auto& label :
       {header->filmNameLabel(), header->filmProducerLabel(), header->filmDetailLabel()}) {
    cg::Rect r = label->frame().offsetBy(0, 114);
    double lightest = 0;
    for (int y = int(r.minY()); y < int(r.maxY()); ++y)
      for (int x = int(r.minX()); x < int(std::min(r.maxX(), 768.0)); ++x)
        lightest = std::max(lightest, luminance(picture->colorAt(x, y)));
    double text = luminance(label->textColor().cgColor());
    EXPECT_GE((text + 0.05) / (lightest + 0.05), 4.5) << cg::describe(label->frame());
  }
}

TEST_F(TitleHeaderTest, DetailViewMenuButtonOpensTheMenu) {
  int shown = 0;
  auto token = ns::NotificationCenter::defaultCenter()->addObserverForName(
      "TLNavigationShowMenu", {}, [&](const ns::Notification&) { ++shown; });
  auto view = std::make_shared<TLFilmDetailView>()->initWithFrame({0, 0, 768, 1024}, "http://x");
  auto button = std::dynamic_pointer_cast<ui::Button>(view->toolbar()->subviews().at(0));
  ASSERT_TRUE(button);
  button->sendActionsForControlEvents(ui::ControlEventTouchDown);
  EXPECT_EQ(shown, 1);
  ns::NotificationCenter::defaultCenter()->removeObserver(token);
}

// --- Sharing

class TitleShareTest : public TitlePageSuite, public ::testing::WithParamInterface<bool> {
 protected:
  void TearDown() override {
    ui::ComposeViewController::setClassAvailable(false);
    TitlePageSuite::TearDown();
  }
  testsupport::HomeDevice device_{GetParam()};
};

TEST_P(TitleShareTest, MessagesUrlAndPosterOfEachKind) {
  const std::string site = "http://" + TLSettings::serviceHost() + "/about/mobile";
  for (bool episode : {false, true}) {
    SCOPED_TRACE(episode ? "episode" : "film");
    setTitle("990", R"({"title":"Фильм","share_url":"http://s/990"})");
    auto page = open(titleInfo("990", episode ? "77" : ""));
    std::string fb = page->shareMessage(false);
    EXPECT_EQ(fb, "Смотрю  'Фильм' на мобильном " + site);
    EXPECT_EQ(ns::utf16Length(page->shareMessage(true)), ns::utf16Length(fb) + 1);
    EXPECT_EQ(page->shareMessage(true).back(), ' ');
    EXPECT_NE(page->sharePosterPath().find(episode ? "/e990.png" : "/990.png"), std::string::npos);
    EXPECT_EQ(page->share_url_thisPage(), "http://s/990");
  }
}

TEST_P(TitleShareTest, ComposerGetsTheTextLinkAndPosterAndIsPresentedAnimated) {
  testsupport::ScreenScope scope(GetParam() ? ui::DeviceProfile::tablet() : ui::DeviceProfile::phone());
  setTitle("991", R"({"title":"Фильм","share_url":"http://s/991"})");
  ui::ComposeViewController::setClassAvailable(true);
  auto page = open(titleInfo("991"));
  scope.showWindow(page);
  ns::FileManager::defaultManager()->createDirectoryAtPath(TLSettings::postersPath(), true);
  // Larger than the form's picture: it is read at the picture's pixels.
  writeLargePicture(page->sharePosterPath(), 1200, 800);
  for (const char* service : {ui::kServiceTypeFacebook, ui::kServiceTypeTwitter}) {
    SCOPED_TRACE(service);
    if (std::string(service) == ui::kServiceTypeFacebook)
      page->fbBtnClick();
    else
      page->twBtnClick();
    ASSERT_TRUE(testsupport::spinUntil([&] { return page->presentedViewController() != nullptr; }));
    auto composer = std::dynamic_pointer_cast<ui::ComposeViewController>(page->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->serviceType(), service);
    EXPECT_EQ(composer->initialText(), page->shareMessage(false));
    ASSERT_EQ(composer->urls().size(), 1u);
    EXPECT_EQ(composer->urls()[0].absoluteString(), "http://s/991");
    ASSERT_EQ(composer->images().size(), 1u);
    EXPECT_LT(composer->images()[0]->CGImage()->pixelWidth(), 1200);
    EXPECT_GE(composer->images()[0]->CGImage()->pixelHeight(), ui::ComposeForm::imageBox().height);
    EXPECT_TRUE(page->presentedAnimated());
    page->dismissViewControllerAnimated(false);
  }
}

TEST_P(TitleShareTest, WithoutTheComposerTheInAppSheetsJoinThePage) {
  testsupport::ScreenScope scope(GetParam() ? ui::DeviceProfile::tablet() : ui::DeviceProfile::phone());
  setTitle("992", R"({"title":"Фильм","share_url":"http://s/992"})");
  auto page = open(titleInfo("992"));
  scope.showWindow(page);
  auto sheetOf = [&]<class T>() -> std::shared_ptr<T> {
    for (const auto& v : page->view()->subviews())
      if (auto sheet = std::dynamic_pointer_cast<T>(v)) return sheet;
    return nullptr;
  };
  page->vkBtnClick();
  auto vk = sheetOf.template operator()<VkontakteWebView>();
  ASSERT_TRUE(vk);
  EXPECT_EQ(vk->message(), page->shareMessage(true));
  EXPECT_EQ(vk->filmURL(), "http://s/992");
  EXPECT_EQ(vk->imageFilePath(), page->sharePosterPath());
  EXPECT_FALSE(vk->inPlayer());
  page->fbBtnClick();
  auto fb = sheetOf.template operator()<FaceBookSender>();
  ASSERT_TRUE(fb);
  EXPECT_EQ(fb->message(), page->shareMessage(false));
  EXPECT_EQ(fb->filmURL(), "http://s/992");
  EXPECT_FALSE(fb->inPlayer());
  page->twBtnClick();
  ASSERT_TRUE(testsupport::spinUntil([&] { return page->presentedViewController() != nullptr; }));
  auto tweet = std::dynamic_pointer_cast<ui::TweetComposeViewController>(page->presentedViewController());
  ASSERT_TRUE(tweet);
  EXPECT_EQ(tweet->initialText(), page->shareMessage(false));
  page->dismissViewControllerAnimated(false);
  vk->removeFromSuperview();
  fb->removeFromSuperview();
}

INSTANTIATE_TEST_SUITE_P(Idioms, TitleShareTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "Pad" : "Phone"; });

}  // namespace
