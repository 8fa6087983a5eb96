#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "UIKit/Button.h"
#include "UIKit/Device.h"
#include "UIKit/Image.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/CaseName.h"
#include "support/TempDir.h"

namespace {

using namespace ui;

class ScopedScale {
 public:
  explicit ScopedScale(double scale) : previous_(Device::setProfile(DeviceProfile::tablet(scale))) {
    Image::clearNamedCache();
  }
  ~ScopedScale() {
    Device::setProfile(previous_);
    Image::clearNamedCache();
  }

 private:
  DeviceProfile previous_;
};

struct NamedCase {
  const char* name;
  const char* resource;
  double screenScale;
  bool found;
  double scale;
  cg::Size size;
};

class ImageNamedTest : public ::testing::TestWithParam<NamedCase> {};

TEST_P(ImageNamedTest, FindsResourcesByTheNamingRules) {
  const auto& c = GetParam();
  ScopedScale scale(c.screenScale);
  auto image = Image::imageNamed(c.resource);
  ASSERT_EQ(image != nullptr, c.found);
  if (!image) return;
  EXPECT_EQ(image->scale(), c.scale);
  EXPECT_EQ(image->size(), c.size);
  EXPECT_EQ(image->name(), c.resource);
  EXPECT_EQ(Image::imageNamed(c.resource), image) << "cached";
}

INSTANTIATE_TEST_SUITE_P(
    Names, ImageNamedTest,
    ::testing::Values(NamedCase{"with extension", "starIphone_blue.png", 1, true, 1, {20, 20}},
                      NamedCase{"extension added", "segment_button", 1, true, 1, {21, 38}},
                      NamedCase{"2x preferred at scale 2", "starIphone_blue.png", 2, true, 2, {20, 20}},
                      NamedCase{"2x without extension", "reloadBt", 2, true, 2, {44, 44}},
                      NamedCase{"jpeg", "actorEmpty.jpg", 1, true, 1, {76, 101}},
                      NamedCase{"missing", "menuItem4", 1, false, 0, {}},
                      NamedCase{"missing at 2x", "menuItemSel5", 2, false, 0, {}},
                      NamedCase{"empty", "", 1, false, 0, {}}),
    testsupport::CaseName());

// A picture drawn only at scale 1 serves a scale-2 screen as it is.
TEST(ImageNamedTest, TakesThe1xFileWhenThereIsNo2x) {
  testsupport::TempDir dir;
  ns::Data png = cg::Context::makeBitmap({21, 38}, false, 1)->makeImage()->pngData();
  std::ofstream(dir.file("plain.png"), std::ios::binary)
      .write(reinterpret_cast<const char*>(png.bytes()), std::streamsize(png.length()));
  setResourceDirectoryOverride(dir.str());
  {
    ScopedScale scale(2);
    auto image = Image::imageNamed("plain");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 1);
    EXPECT_EQ(image->size(), (cg::Size{21, 38}));
  }
  setResourceDirectoryOverride("");
}

TEST(ImageTest, DataAndFilesDecodeOrGiveNone) {
  EXPECT_EQ(Image::imageWithData(ns::Data::fromString("not an image")), nullptr);
  auto star = Image::imageNamed("starIphone_gray.png");
  auto png = ImagePNGRepresentation(star);
  auto again = Image::imageWithData(png, 2);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->size(), (cg::Size{10, 10}));
  EXPECT_GT(ImageJPEGRepresentation(star, 0.8).length(), 0u);
  EXPECT_EQ(ImagePNGRepresentation(nullptr).length(), 0u);
  EXPECT_EQ(Image::imageWithContentsOfFile("/no/such/file.png"), nullptr);
}

// Pictures from data keep their bytes; a memory warning drops their decoded pixels, and the next
// drawing decodes them again to the same picture.
TEST(ImageTest, AMemoryWarningDropsDecodedPicturesThatThenDrawAsBefore) {
  auto image = Image::imageWithData(ImagePNGRepresentation(Image::imageNamed("starIphone_gray.png")), 2);
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->CGImage()->isDecodedOnDemand());
  auto view = std::make_shared<ImageView>()->initWithImage(image);
  auto before = renderView(view, 2);
  ASSERT_TRUE(before);
  EXPECT_GE(cg::Image::decodedOnDemandBytes(), 20u * 20u * 4u);
  simulateMemoryWarning();
  EXPECT_EQ(cg::Image::decodedOnDemandBytes(), 0u);
  auto after = renderView(view, 2);
  ASSERT_TRUE(after);
  EXPECT_TRUE(std::equal(before->pixels().begin(), before->pixels().end(), after->pixels().begin(),
                         after->pixels().end()));
}

cg::Color at(const cg::ImagePtr& image, double x, double y) {
  return image->colorAt(int(x * image->scale()), int(y * image->scale()));
}

bool near(cg::Color a, cg::Color b, double tol = 3.0 / 255) {
  return std::abs(a.red - b.red) <= tol && std::abs(a.green - b.green) <= tol &&
         std::abs(a.blue - b.blue) <= tol && std::abs(a.alpha - b.alpha) <= tol;
}

std::shared_ptr<View> box(cg::Rect frame, std::optional<Color> bg) {
  auto v = std::make_shared<View>()->initWithFrame(frame);
  v->setBackgroundColor(bg);
  return v;
}

// 21 x 38 at scale 1: red 0-9, grey 10, blue 11-20, so that where each column lands shows how
// the picture stretches.
std::shared_ptr<Image> capsPicture() {
  auto ctx = cg::Context::makeBitmap({21, 38}, false, 1);
  ctx->setFillColor(cg::Color::hex(0xC83C3C));
  ctx->fillRect({0, 0, 10, 38});
  ctx->setFillColor(cg::Color::hex(0x464646));
  ctx->fillRect({10, 0, 1, 38});
  ctx->setFillColor(cg::Color::hex(0x3C3CC8));
  ctx->fillRect({11, 0, 10, 38});
  return Image::imageWithCGImage(ctx->makeImage());
}

// A 16 x 16 checker at scale 1: its top left and bottom right quarters lighter, so that a pattern
// shows where its tiles start.
std::shared_ptr<Image> checkerPicture() {
  auto ctx = cg::Context::makeBitmap({16, 16}, false, 1);
  ctx->setFillColor(cg::Color::hex(0x222226));
  ctx->fillRect({0, 0, 16, 16});
  ctx->setFillColor(cg::Color::hex(0x28282E));
  ctx->fillRect({0, 0, 8, 8});
  ctx->fillRect({8, 8, 8, 8});
  return Image::imageWithCGImage(ctx->makeImage());
}

TEST(ViewRendererTest, StretchableCapsKeepTheirColours) {
  auto root = box({0, 0, 100, 38}, std::nullopt);
  auto iv = std::make_shared<ImageView>()->initWithFrame({0, 0, 100, 38});
  iv->setImage(capsPicture()->stretchableImageWithLeftCapWidth(10, 0));
  root->addSubview(iv);
  auto image = renderView(root, 2);
  ASSERT_TRUE(image);
  EXPECT_TRUE(near(at(image, 5, 19), cg::Color::hex(0xC83C3C)));
  EXPECT_TRUE(near(at(image, 50, 19), cg::Color::hex(0x464646)));
  EXPECT_TRUE(near(at(image, 95, 19), cg::Color::hex(0x3C3CC8)));
}

TEST(ViewRendererTest, ResizableCapsOnAllFourSidesKeepTheirSize) {
  // 21 x 38: red 0-9, grey 10, blue 11-20. Caps of 5 on the left and right stretch 5 to 15 whole.
  auto root = box({0, 0, 100, 80}, std::nullopt);
  auto iv = std::make_shared<ImageView>()->initWithFrame({0, 0, 100, 80});
  iv->setImage(capsPicture()->resizableImageWithCapInsets({10, 5, 10, 5}));
  root->addSubview(iv);
  auto image = renderView(root, 2);
  ASSERT_TRUE(image);
  EXPECT_TRUE(near(at(image, 3, 40), cg::Color::hex(0xC83C3C)));
  EXPECT_TRUE(near(at(image, 20, 40), cg::Color::hex(0xC83C3C))) << "red inside the stretched part";
  EXPECT_TRUE(near(at(image, 50, 40), cg::Color::hex(0x464646)));
  EXPECT_TRUE(near(at(image, 97, 40), cg::Color::hex(0x3C3CC8)));
}

TEST(ViewRendererTest, BackgroundsAlphaHiddenClippingAndBoundsOrigin) {
  auto root = box({0, 0, 100, 100}, Color::whiteColor());
  auto red = box({0, 0, 50, 50}, Color::redColor());
  auto faded = box({50, 0, 50, 50}, Color::blueColor());
  faded->setAlpha(0.5);
  auto hidden = box({0, 50, 50, 50}, Color::blackColor());
  hidden->setHidden(true);
  auto clipper = box({50, 50, 50, 50}, Color::blackColor());
  clipper->setClipsToBounds(true);
  clipper->setBounds({-10, 0, 50, 50});
  clipper->addSubview(box({0, 0, 100, 10}, Color::redColor()));
  for (auto& v : {red, faded, hidden, clipper}) root->addSubview(v);
  auto image = renderView(root, 1);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 100);
  EXPECT_TRUE(near(at(image, 25, 25), cg::Color::rgba(1, 0, 0)));
  EXPECT_TRUE(near(at(image, 75, 25), cg::Color::rgba(0.5, 0.5, 1)));
  EXPECT_TRUE(near(at(image, 25, 75), cg::Color::white(1)));
  // The bounds origin moves the child 10 points right; the clip keeps it inside.
  EXPECT_TRUE(near(at(image, 55, 55), cg::Color::black()));
  EXPECT_TRUE(near(at(image, 65, 55), cg::Color::rgba(1, 0, 0)));
  EXPECT_TRUE(near(at(image, 99, 55), cg::Color::rgba(1, 0, 0)));
}

TEST(ViewRendererTest, LayerCornersBorderMaskAndPattern) {
  auto root = box({0, 0, 200, 50}, std::nullopt);
  auto rounded = box({0, 0, 50, 50}, Color::blueColor());
  rounded->layer()->setCornerRadius(20);
  rounded->layer()->setBorderWidth(4);
  rounded->layer()->setBorderColor(cg::Color::rgba(0, 1, 0));
  auto masked = box({50, 0, 100, 50}, Color::redColor());
  auto gradient = std::make_shared<cg::GradientLayer>();
  gradient->setFrame({0, 0, 100, 50});
  gradient->setColors({cg::Color::white(1, 0), cg::Color::white(1, 1)});
  gradient->setStartPoint({0, 1});
  gradient->setEndPoint({1, 1});
  masked->layer()->setMask(gradient);
  auto patterned = box({150, 0, 50, 50}, Color::colorWithPatternImage(checkerPicture()));
  for (auto& v : {rounded, masked, patterned}) root->addSubview(v);
  auto image = renderView(root, 1);
  ASSERT_TRUE(image);
  EXPECT_EQ(at(image, 1, 1).alpha, 0) << "rounded corner";
  EXPECT_TRUE(near(at(image, 25, 25), cg::Color::rgba(0, 0, 1)));
  EXPECT_TRUE(near(at(image, 25, 1), cg::Color::rgba(0, 1, 0))) << "border";
  EXPECT_LT(at(image, 52, 25).alpha, 0.1);
  EXPECT_GT(at(image, 148, 25).alpha, 0.9);
  EXPECT_TRUE(near(at(image, 151, 1), cg::Color::hex(0x28282E)));
  EXPECT_TRUE(near(at(image, 159, 1), cg::Color::hex(0x222226)));
}

TEST(ViewRendererTest, FadedViewsShowAllTheyHoldAndNoMore) {
  auto root = box({0, 0, 100, 40}, Color::whiteColor());
  // A faded view's subview lying outside its bounds still shows, faded with it...
  auto holder = box({0.5, 0.25, 20, 20}, Color::blueColor());
  holder->setAlpha(0.5);
  holder->addSubview(box({30, 0, 10, 10}, Color::redColor()));
  // ...unless the view clips it away.
  auto clipper = box({50.5, 0.25, 20, 20}, Color::blueColor());
  clipper->setAlpha(0.5);
  clipper->setClipsToBounds(true);
  clipper->addSubview(box({30, 0, 10, 10}, Color::redColor()));
  // A faded view with nothing inside, rounded and bordered.
  auto leaf = box({5.5, 25.25, 40, 10}, Color::blueColor());
  leaf->setAlpha(0.5);
  leaf->layer()->setCornerRadius(3);
  leaf->layer()->setBorderWidth(2);
  leaf->layer()->setBorderColor(cg::Color::rgba(0, 1, 0));
  for (auto& v : {holder, clipper, leaf}) root->addSubview(v);
  auto image = renderView(root, 2);
  ASSERT_TRUE(image);
  EXPECT_TRUE(near(at(image, 10, 10), cg::Color::rgba(0.5, 0.5, 1)));
  EXPECT_TRUE(near(at(image, 35, 5), cg::Color::rgba(1, 0.5, 0.5))) << "outside the faded holder";
  EXPECT_TRUE(near(at(image, 60, 10), cg::Color::rgba(0.5, 0.5, 1)));
  EXPECT_TRUE(near(at(image, 85, 5), cg::Color::white(1))) << "clipped away";
  EXPECT_TRUE(near(at(image, 25, 30), cg::Color::rgba(0.5, 0.5, 1))) << "leaf inside";
  EXPECT_TRUE(near(at(image, 25, 26), cg::Color::rgba(0.5, 1, 0.5))) << "leaf border";
  EXPECT_TRUE(near(at(image, 5.6, 25.3), cg::Color::white(1), 0.25)) << "leaf corner";
  EXPECT_TRUE(near(at(image, 48, 30), cg::Color::white(1))) << "beside the leaf";
}

struct StateCase {
  const char* name;
  unsigned setFor;
  bool selected, highlighted, enabled;
  const char* expected;
};

class ButtonStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(ButtonStateTest, ValuesFallBackToNormal) {
  const auto& c = GetParam();
  auto b = Button::buttonWithType(ButtonType::custom);
  b->setTitle("normal", ControlStateNormal);
  if (c.setFor != ControlStateNormal) b->setTitle(std::string(c.name), c.setFor);
  b->setSelected(c.selected);
  b->setHighlighted(c.highlighted);
  b->setEnabled(c.enabled);
  EXPECT_EQ(b->currentTitle().value_or("nil"), c.expected);
  EXPECT_EQ(b->titleLabel()->text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    States, ButtonStateTest,
    ::testing::Values(StateCase{"plain", ControlStateNormal, false, false, true, "normal"},
                      StateCase{"selected", ControlStateSelected, true, false, true, "selected"},
                      StateCase{"selected unset", ControlStateHighlighted, true, false, true, "normal"},
                      StateCase{"highlighted", ControlStateHighlighted, false, true, true, "highlighted"},
                      StateCase{"disabled", ControlStateDisabled, false, false, false, "disabled"},
                      StateCase{"selected and highlighted fall to normal", ControlStateSelected, true, true,
                                true, "normal"}),
    testsupport::CaseName());

TEST(ButtonTest, PartsStayBelowWhatTheOwnerAdds) {
  auto b = Button::buttonWithType(ButtonType::custom);
  b->setFrame({0, 0, 44, 44});
  auto extra = std::make_shared<View>()->initWithFrame({0, 0, 5, 5});
  b->addSubview(extra);
  b->setTitle("x", ControlStateNormal);
  b->setImage(Image::imageNamed("reloadBt"), ControlStateNormal);
  b->setBackgroundImage(Image::imageNamed("reloadBtBg"), ControlStateNormal);
  ASSERT_EQ(b->subviews().size(), 4u);
  EXPECT_EQ(b->subviews().back(), extra);
  EXPECT_EQ(b->subviews()[1], b->imageView());
  EXPECT_EQ(b->subviews()[2], b->titleLabel());
  b->layoutIfNeeded();
  EXPECT_EQ(b->subviews()[0]->frame(), cg::Rect(0, 0, 44, 44));
}

// A disabled button dims its image, unless it has an image of its own for that state or the owner
// turned the dimming off; enabling it again restores the image.
TEST(ButtonTest, ADisabledButtonDimsItsImageUnlessItHasADisabledOne) {
  auto b = Button::buttonWithType(ButtonType::custom);
  b->setImage(Image::imageNamed("reloadBt"), ControlStateNormal);
  b->setEnabled(false);
  EXPECT_LT(b->imageView()->alpha(), 1.0);
  b->setEnabled(true);
  EXPECT_EQ(b->imageView()->alpha(), 1.0);

  b->setImage(Image::imageNamed("reloadBtBg"), ControlStateDisabled);
  b->setEnabled(false);
  EXPECT_EQ(b->imageView()->alpha(), 1.0) << "the disabled image is drawn as it is";

  auto plain = Button::buttonWithType(ButtonType::custom);
  plain->setImage(Image::imageNamed("reloadBt"), ControlStateNormal);
  plain->setAdjustsImageWhenDisabled(false);
  plain->setEnabled(false);
  EXPECT_EQ(plain->imageView()->alpha(), 1.0);
}

TEST(ViewDumpTest, ShowsClassesFramesTextImagesAndState) {
  auto root = box({0, 0, 320, 100}, Color::blackColor());
  root->setTag(7);
  auto label = std::make_shared<Label>()->initWithFrame({10, 10, 100, 20});
  label->setText("Главная");
  label->setFont(Font::fontWithName("PF Square Sans Pro", 18));
  auto button = Button::buttonWithType(ButtonType::custom);
  button->setImage(Image::imageNamed("reloadBt"), ControlStateNormal);
  button->setSelected(true);
  auto hidden = box({0, 0, 1, 1}, std::nullopt);
  hidden->setHidden(true);
  hidden->setAlpha(0.5);
  root->addSubview(label);
  root->addSubview(button);
  root->addSubview(hidden);
  std::string dump = dumpViewTree(root);
  for (const char* part :
       {"View frame={{0, 0}, {320, 100}} bg=rgba(0, 0, 0, 1) tag=7", "  Label frame={{10, 10}, {100, 20}}",
        "text=\"Главная\" font=PF Square Sans Pro 18", "  Button", "state=selected image=reloadBt",
        "    ImageView", "image=reloadBt", "hidden alpha=0.5"})
    EXPECT_NE(dump.find(part), std::string::npos) << part << "\n" << dump;
}

}  // namespace
