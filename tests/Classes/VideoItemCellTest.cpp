// The phone list row: its poster cache against the sample service (the request log shows the
// traffic), what a broken or late download leaves, person rows, the stars and the selection
// background of a reused row.
#include <gtest/gtest.h>

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/CategoryPage/TLVideoItemPriviewCell.h"
#include "Foundation/DataFile.h"
#include "Foundation/FileManager.h"
#include "HomeTestSupport.h"
#include "RowTestSupport.h"
#include "SampleImages.h"
#include "UIKit/ViewRenderer.h"

namespace {

using Cell = TLVideoItemPriviewCell;

class VideoItemCellTest : public testsupport::CachedSampleServiceSuite {
 protected:
  static std::string posterURL(const std::string& id) {
    return server_->url("/images/poster/" + id + ".jpg");
  }
  static std::size_t imageRequests() { return requestsUnder("/images/"); }
  static std::shared_ptr<Cell> cell(long long id, bool episode = false, int priority = -1) {
    auto c = Cell::cellFromInterfaceFile("customCell");
    c->setLoadPriority(priority);
    c->setTypeIsEpisode(episode);
    c->setID(id);
    return c;
  }
  static bool showsPoster(const Cell& c) {
    auto image = c.imageView()->image();
    return image && image->name().empty();
  }
  static std::vector<std::string> posterFiles() {
    auto files = ns::FileManager::defaultManager()->contentsOfDirectoryAtPath(TLSettings::postersPath());
    return files ? *files : std::vector<std::string>{};
  }
};

TEST_F(VideoItemCellTest, PostersAreFetchedOnceAndKeptUnderTheirIdForEveryPriority) {
  struct Case {
    bool episode;
    int priority;
    long long id;
    const char* file;
    const char* served = nullptr;  // the service's poster shown, when not the row's own id
  };
  const Case cases[] = {
      {false, -1, 1001, "1001.png"},
      {true, -1, 50001, "e50001.png"},
      {false, 1, 1003, "1003.png"},
      {false, 0, 1004, "1004.png"},
      {false, -1, 3000000000, "3000000000.png", "1001"},
      {true, -1, 3000000001, "e3000000001.png", "50001"},
  };
  for (const Case& c : cases) {
    SetUp();
    std::string path = TLSettings::postersPath() + "/" + c.file;
    for (int round = 0; round < 2; ++round) {
      auto row = cell(c.id, c.episode, c.priority);
      EXPECT_EQ(row->ID(), c.id) << c.file;
      row->setImageUrl(posterURL(c.served ? c.served : std::to_string(c.id)));
      ASSERT_TRUE(testsupport::spinUntil([&] { return showsPoster(*row); })) << c.file << " round " << round;
      EXPECT_TRUE(
          testsupport::holdsItsViewsPixels(row->imageView()->image(), row->imageView()->bounds().size))
          << c.file;
    }
    EXPECT_TRUE(TLImageFetch::fileExists(path)) << c.file;
    EXPECT_EQ(imageRequests(), 1u) << c.file << ": the second row reads the file";
  }
}

TEST_F(VideoItemCellTest, BrokenRepliesLeaveNoFileAndTheNextDisplayAsksAgain) {
  sampleservice::Override missing, html, truncated;
  missing.status = 404;
  html.body = "<!DOCTYPE html><html></html>";
  html.contentType = "text/html";
  truncated.dropAfterBytes = 100;
  server_->setOverride("/images/poster/1001.jpg", missing);
  server_->setOverride("/images/poster/1003.jpg", html);
  server_->setOverride("/images/poster/1004.jpg", truncated);
  for (int id : {1001, 1003, 1004}) cell(id)->setImageUrl(posterURL(std::to_string(id)));
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(imageRequests(), 3u);
  // Nothing, not even a temporary file, is left behind.
  EXPECT_TRUE(posterFiles().empty());

  server_->clearOverrides();
  auto again = cell(1004);
  again->setImageUrl(posterURL("1004"));
  ASSERT_TRUE(testsupport::spinUntil([&] { return showsPoster(*again); }));
  EXPECT_EQ(imageRequests(), 4u);
  EXPECT_EQ(posterFiles(), std::vector<std::string>{"1004.png"});
}

TEST_F(VideoItemCellTest, TwoRowsOfOneTitleLeaveOneWholeFile) {
  auto first = cell(1005), second = cell(1005);
  first->setImageUrl(posterURL("1005"));
  second->setImageUrl(posterURL("1005"));
  ASSERT_TRUE(testsupport::spinUntil([&] { return showsPoster(*first) && showsPoster(*second); }));
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(posterFiles(), std::vector<std::string>{"1005.png"});
  auto stored = ui::Image::imageWithContentsOfFile(TLSettings::posterForBaseVideo(1005));
  EXPECT_TRUE(testsupport::holdsItsViewsPixels(stored, first->imageView()->bounds().size));
}

TEST_F(VideoItemCellTest, ADownloadEndingAfterTheRowMovedOnChangesNothing) {
  sampleservice::Override slow;
  slow.delaySeconds = 0.3;
  server_->setOverride("/images/poster/1001.jpg", slow);
  auto row = cell(1001);
  row->setImageUrl(posterURL("1001"));
  // Reused for a title whose poster is already cached.
  TLImageFetch::savePNG(TLSettings::posterForBaseVideo(1002), ui::Image::imageNamed("TLCinemaEmpty_BIG.png"));
  row->setID(1002);
  row->setImageUrl(posterURL("1002"));
  ASSERT_TRUE(testsupport::spinUntil([&] {
    return testsupport::nearlyOfSize(row->imageView()->image(), {450, 338});
  }));
  testsupport::awaitRequestsEnded();
  ASSERT_TRUE(
      testsupport::spinUntil([] { return TLImageFetch::fileExists(TLSettings::posterForBaseVideo(1001)); }));
  testsupport::spinFor(0.2);  // lets a late hand-over arrive
  EXPECT_TRUE(testsupport::nearlyOfSize(row->imageView()->image(), {450, 338}))
      << "the late poster stays in its file";
}

TEST_F(VideoItemCellTest, PersonRowsAndRowsWithoutAnIdFetchButStoreNothing) {
  // An old "0.png" is never taken for a row without an id.
  TLImageFetch::savePNG(TLSettings::posterForBaseVideo(0), ui::Image::imageNamed("TLCinemaEmpty_BIG.png"));
  std::vector<std::shared_ptr<Cell>> rows{cell(0), cell(-4), cell(1001)};
  rows[2]->setRolesImageStyle();
  EXPECT_EQ(rows[2]->imageView()->frame(), (cg::Rect{20, 1, 57, 76}));
  for (auto& r : rows) r->setImageUrl(posterURL("1003"));
  ASSERT_TRUE(testsupport::spinUntil(
      [&] { return std::all_of(rows.begin(), rows.end(), [](auto& r) { return showsPoster(*r); }); }));
  testsupport::awaitRequestsEnded();
  EXPECT_EQ(imageRequests(), 3u);
  EXPECT_EQ(posterFiles(), std::vector<std::string>{"0.png"});

  // A new id makes a reused person row a title row again.
  rows[2]->setID(1003);
  rows[2]->setImageUrl(posterURL("1003"));
  ASSERT_TRUE(
      testsupport::spinUntil([] { return TLImageFetch::fileExists(TLSettings::posterForBaseVideo(1003)); }));
}

TEST(VideoItemCellViewTest, StarsSelectionAndTextsOfAReusedRow) {
  auto row = TLVideoItemPriviewCell::cellFromInterfaceFile("customCell");
  EXPECT_EQ(row->loadPriority(), -1);
  EXPECT_EQ(row->parent_id(), "");
  row->setRate(0);
  EXPECT_EQ(row->rateView(), nullptr) << "a fresh row makes no stars for 0";
  row->setRate(4);
  ASSERT_TRUE(row->rateView());
  EXPECT_EQ(row->rateView()->frame().origin, (cg::Point{133, 53}));
  auto lit = [&] {
    int n = 0;
    for (const auto& star : row->rateView()->subviews()) {
      auto view = std::dynamic_pointer_cast<ui::ImageView>(star);
      n += view && view->image() && view->image()->name().find("blue") != std::string::npos;
    }
    return n;
  };
  EXPECT_EQ(lit(), 4);
  row->setRate(0);
  EXPECT_EQ(lit(), 0) << "the next title's null rating lights no star";

  auto greys = [&] {
    int n = 0;
    for (const auto& v : row->subviews()) n += v == row->bg();
    return n;
  };
  row->setIsSelected(false);
  row->setIsSelected(true);
  row->setIsSelected(true);
  EXPECT_EQ(greys(), 1);
  EXPECT_EQ(row->subviews().front(), row->bg());
  EXPECT_EQ(row->bg()->frame(), (cg::Rect{0, 0, 400, TLVideoItemPriviewCell::kRowHeight - 1}));
  row->setIsSelected(false);
  EXPECT_EQ(row->bg(), nullptr);

  row->setDescription("ab");
  row->setCategoryName("Фильм");
  EXPECT_EQ(row->descriptionLabel()->text(), "ab");
  row->setDescription("Драма");
  row->setCategoryName("Фильм");
  EXPECT_EQ(row->descriptionLabel()->text(), "Фильм");
}

// On the phone's dark page, rows filled as the episode list fills them: the current episode's row
// shows its grey through the row picture, which is a separator over a clear row.
TEST(VideoItemCellViewTest, TheCurrentEpisodesRowIsDrawnGrey) {
  auto page = std::make_shared<ui::View>()->initWithFrame({0, 0, 320, 3 * Cell::kRowHeight});
  page->setBackgroundColor(ui::Color::colorWithWhite(0.1, 1));
  const char* pictures[] = {"cellBackgroundFirst.png", "cellBackground.png", "cellBackground.png"};
  for (int r = 0; r < 3; ++r) {
    auto row = Cell::cellFromInterfaceFile("customCell");
    row->setTitleLinesForEpisodes();
    row->separatorView()->setImage(
        ui::Image::imageNamed(pictures[r])->stretchableImageWithLeftCapWidth(1, r == 0 ? 0 : 5));
    row->setIsSelected(r == 1);
    row->setTitle("Серия");
    row->setFrame({0, r * Cell::kRowHeight, 320, Cell::kRowHeight});
    page->addSubview(row);
  }
  auto picture = ui::renderView(page, 1);
  ASSERT_TRUE(picture);
  // Right of the texts, clear of the stars and the disclosure sign.
  auto lightness = [&](int row) {
    cg::Color c = picture->colorAt(260, int(row * Cell::kRowHeight + 70));
    return (c.red + c.green + c.blue) / 3;
  };
  EXPECT_GT(lightness(1), lightness(0) + 0.2);
  EXPECT_GT(lightness(1), lightness(2) + 0.2);
  EXPECT_NEAR(lightness(0), lightness(2), 0.02);
}

TEST(VideoItemCellViewTest, SelectVideoPostsTheRowsTitleInfo) {
  testsupport::NotificationRecorder opened("TLOpenVideoItem");
  auto row = TLVideoItemPriviewCell::cellFromInterfaceFile("customCell");
  row->setID(7);
  row->setTitle("Т");
  row->setDescription("Д");
  row->setUrl("http://h/t/7");
  row->setImageUrl("");
  row->selectVideo();
  ASSERT_EQ(opened.objects.size(), 1u);
  const ns::Value& info = opened.objects[0];
  EXPECT_EQ(info["id"].intValue(), 7);
  EXPECT_EQ(*info["url"].asString(), "http://h/t/7");
  EXPECT_EQ(*info["title"].asString(), "Т");
  EXPECT_EQ(*info["parent_id"].asString(), "");
  EXPECT_EQ(*info["image"].asString(), "");
}

}  // namespace
