// The person tiles: names, the composed photograph and its cache against the sample service, the
// load priorities' threads and the tap.
#include <gtest/gtest.h>

#include <atomic>

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLRolesItem.h"
#include "Classes/iphone/TitlePage/TLRolesItem_iphone.h"
#include "Dispatch/Dispatch.h"
#include "RowTestSupport.h"
#include "TextFitSupport.h"
#include "UIKit/TouchSimulation.h"
#include "WidgetTestSupport.h"

namespace {

using ns::Value;
using testsupport::colorAtPoint;
using testsupport::near;

std::shared_ptr<TLRolesItemBase> makeTile(bool phone, cg::Rect frame = {5, 6, 100, 50}) {
  if (phone) return std::make_shared<TLRolesItem_iphone>()->initWithFrame(frame);
  return std::make_shared<TLRolesItem>()->initWithFrame(frame);
}

std::shared_ptr<ui::Image> picture(const TLRolesItemBase& tile) {
  return tile.imageBt()->imageForState(ui::ControlStateNormal);
}

// The band's black at 40% over the shadow it casts, black at 90% of its own 40%.
const cg::Color kBand = cg::Color::rgba(0, 0, 0, 1 - (1 - 0.9 * 0.4) * (1 - 0.4));

TEST(RolesItemTest, NamesBreakAfterTheFirstWord) {
  struct Case {
    const char* name;
    const char* tablet;
    const char* phone;
  };
  for (const Case& c : {Case{"Иван Петров", "Иван\nПетров ", "Иван\nПетров"},
                        Case{"Анна Мария Сизова", "Анна\nМария Сизова ", "Анна\nМария"},
                        Case{"Шер", "Шер", "Шер"}, Case{"", "", ""}}) {
    for (bool phone : {false, true}) {
      auto tile = makeTile(phone);
      tile->setTitle(c.name);
      EXPECT_EQ(tile->nameActor(), c.name);
      EXPECT_EQ(tile->nameActorLabel()->text(), phone ? c.phone : c.tablet) << c.name;
      EXPECT_EQ(tile->nameActorLabel()->numberOfLines(), 2);
      // Tall enough for both lines in the installed face.
      cg::Rect f = tile->nameActorLabel()->frame();
      EXPECT_EQ(f.origin, (cg::Point{105, 5}));
      EXPECT_EQ(f.width(), 113);
      EXPECT_TRUE(testsupport::showsWholeText(*tile->nameActorLabel())) << c.name;
    }
  }
}

TEST(RolesItemTest, TileHasItsFixedSizeAndTheComposedPlaceholder) {
  auto tile = makeTile(false);
  EXPECT_EQ(tile->frame(), (cg::Rect{5, 6, 220, 170}));
  EXPECT_EQ(tile->loadPriority(), 1);
  EXPECT_EQ(tile->backgroundColor(), ui::Color::clearColor());
  EXPECT_EQ(tile->imageBt()->frame(), (cg::Rect{0, 0, 220, 120}));
  auto composed = picture(*tile);
  ASSERT_TRUE(composed);
  EXPECT_EQ(composed->size(), (cg::Size{220, 120}));
  EXPECT_EQ(composed->scale(), 1);
  // The photograph fills the left 100 points; the dark band runs on under the name.
  EXPECT_TRUE(near(colorAtPoint(*composed->CGImage(), 160, 60), kBand));
  EXPECT_FALSE(near(colorAtPoint(*composed->CGImage(), 50, 60), kBand));
  // The shadow is blurred: lighter at the picture's edge, darker beside the opaque photograph.
  double edge = colorAtPoint(*composed->CGImage(), 219, 60).alpha;
  EXPECT_GT(edge, 0.4 + 0.05);
  EXPECT_LT(edge, kBand.alpha - 0.05);
  EXPECT_GT(colorAtPoint(*composed->CGImage(), 101, 60).alpha, kBand.alpha + 0.05);
  // A missing photograph gives the band alone.
  EXPECT_TRUE(near(colorAtPoint(*TLRolesItemBase::buttonImage(nullptr)->CGImage(), 50, 60), kBand));

  tile->setTitle("Аркадий Чернотал");
  tile->setDescr("главная роль в трёх фильмах");
  cg::Rect role = tile->descrLabel()->frame();
  EXPECT_EQ(role.origin, (cg::Point{105, 55}));
  EXPECT_EQ(role.width(), 113);
  EXPECT_LE(role.maxY(), 120) << "on the picture's band";
  EXPECT_TRUE(testsupport::showsWholeText(*tile->descrLabel())) << "three lines show";
  EXPECT_TRUE(testsupport::showsWholeText(*tile->nameActorLabel()));
  EXPECT_EQ(testsupport::overlappingTexts(tile), std::vector<std::string>{});
  tile->setDescr("главная роль");
  EXPECT_EQ(tile->descrLabel()->numberOfLines(), 3);
  EXPECT_EQ(tile->descrLabel()->text(), "главная роль");
  EXPECT_EQ(tile->descrLabel()->font()->pointSize(), 14);
}

TEST(RolesItemTest, ATapPostsThePersonItemEvenBeforeThePhotograph) {
  testsupport::NotificationRecorder shown("TLShowActorPage");
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 1024, 768});
  for (bool phone : {false, true}) {
    auto tile = makeTile(phone, {phone ? 300.0 : 0.0, 0, 0, 0});
    root->addSubview(tile);
    tile->setTitle("Иван Петров");
    tile->setId_actor("3001");
    ui::tap(tile->imageBt());
  }
  ASSERT_EQ(shown.objects.size(), 2u);
  for (const Value& person : shown.objects)
    EXPECT_EQ(person, Value(ns::Dictionary{{"id", "3001"}, {"title", "Иван Петров"}}));
}

class RolesItemPhotoTest : public testsupport::CachedSampleServiceSuite {
 protected:
  static std::string photoURL(const std::string& id) {
    return server_->url("/images/person/" + id + "_76x101.png");
  }
  static std::size_t photoRequests() { return requestsUnder("/images/person/"); }
};

TEST_F(RolesItemPhotoTest, PhotographsAreFetchedOnceAndKeptComposed) {
  struct Case {
    bool phone;
    int firstPriority, secondPriority;
  };
  for (const Case& c :
       {Case{false, 1, 1}, Case{false, -1, -1}, Case{false, -2, -1}, Case{true, 1, 1}, Case{true, -1, 5}}) {
    SetUp();
    std::string where = std::string(c.phone ? "phone " : "tablet ") + std::to_string(c.firstPriority);
    const std::string path = TLSettings::rolesPath() + "/3001.png";
    auto first = makeTile(c.phone);
    first->setLoadPriority(c.firstPriority);
    first->setId_actor("3001");
    auto placeholder = picture(*first);
    first->setImage(photoURL("3001"));
    ASSERT_TRUE(testsupport::spinUntil([&] {
      return TLImageFetch::fileExists(path) && picture(*first) != placeholder;
    })) << where;
    auto stored = ui::Image::imageWithContentsOfFile(path);
    ASSERT_TRUE(stored) << where;
    EXPECT_EQ(stored->size(), (cg::Size{220, 120})) << where;
    EXPECT_TRUE(near(colorAtPoint(*stored->CGImage(), 160, 60), kBand)) << where;
    EXPECT_EQ(picture(*first)->size(), (cg::Size{220, 120})) << where;

    // The next tile of that person shows the file as it is, without a request.
    auto second = makeTile(c.phone);
    second->setLoadPriority(c.secondPriority);
    second->setId_actor("3001");
    auto secondPlaceholder = picture(*second);
    second->setImage(photoURL("3001"));
    ASSERT_TRUE(testsupport::spinUntil([&] { return picture(*second) != secondPlaceholder; })) << where;
    EXPECT_EQ(picture(*second)->size(), (cg::Size{220, 120})) << where;
    EXPECT_EQ(photoRequests(), 1u) << where;
  }
}

TEST_F(RolesItemPhotoTest, TilesBuiltOnABackgroundOperationWaitForTheMainThread) {
  std::shared_ptr<TLRolesItemBase> built;
  std::atomic<bool> done{false};
  dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT), [&] {
    auto tile = makeTile(false);
    tile->setLoadPriority(-2);
    tile->setTitle("Анна Сизова");
    tile->setId_actor("3002");
    tile->setImage(photoURL("3002"));
    built = tile;
    done = true;
  });
  ASSERT_TRUE(testsupport::spinUntil([&] { return done.load(); }));
  EXPECT_EQ(built->nameActorLabel()->text(), "Анна\nСизова ");
  ASSERT_TRUE(testsupport::spinUntil(
      [&] { return TLImageFetch::fileExists(TLSettings::rolesPath() + "/3002.png"); }));
  auto again = makeTile(false);
  again->setLoadPriority(-2);
  again->setId_actor("3002");
  auto againPlaceholder = picture(*again);
  again->setImage(photoURL("3002"));
  ASSERT_TRUE(testsupport::spinUntil([&] { return picture(*again) != againPlaceholder; }));
  EXPECT_EQ(picture(*again)->size(), (cg::Size{220, 120}));
  EXPECT_EQ(photoRequests(), 1u);
}

TEST_F(RolesItemPhotoTest, OnlyDecimalPersonIdsNameAFile) {
  std::vector<std::shared_ptr<TLRolesItemBase>> tiles;
  std::vector<std::shared_ptr<ui::Image>> placeholders;
  auto add = [&](std::shared_ptr<TLRolesItemBase> tile) {
    tiles.push_back(tile);
    placeholders.push_back(picture(*tile));
    tile->setImage(photoURL("3003"));
  };
  for (const char* id : {"../5", "", "5/6", "3001.png", "-"}) {
    auto tile = makeTile(false);
    tile->setId_actor(id);
    add(tile);
  }
  add(makeTile(true));  // no id at all
  ASSERT_TRUE(testsupport::spinUntil([&] {
    for (std::size_t i = 0; i < tiles.size(); ++i)
      if (picture(*tiles[i]) == placeholders[i]) return false;
    return true;
  }));
  EXPECT_EQ(photoRequests(), tiles.size());
  // An empty URL keeps the placeholder and requests nothing.
  auto empty = makeTile(false);
  empty->setId_actor("3004");
  empty->setImage("");
  EXPECT_FALSE(empty->imageURL());
  auto fence = makeTile(false);
  fence->setId_actor("3005");
  fence->setImage(photoURL("3005"));
  ASSERT_TRUE(testsupport::spinUntil(
      [&] { return TLImageFetch::fileExists(TLSettings::rolesPath() + "/3005.png"); }));
  EXPECT_EQ(photoRequests(), tiles.size() + 1);
  auto files = ns::FileManager::defaultManager()->contentsOfDirectoryAtPath(TLSettings::rolesPath());
  EXPECT_EQ(*files, std::vector<std::string>{"3005.png"});
  EXPECT_EQ(*ns::FileManager::defaultManager()->contentsOfDirectoryAtPath(TLSettings::postersPath()),
            std::vector<std::string>{"roles"});
}

}  // namespace
