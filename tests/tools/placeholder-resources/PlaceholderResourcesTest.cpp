// The pictures the build draws for the application: every name the code loads is there at both
// scales and at its size, every text colour the pages draw over a ground picture keeps a contrast
// of at least 4.5:1 there, and neighbouring controls differ in shape, not only in colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "UIKit/Color.h"
#include "UIKit/Device.h"
#include "UIKit/Image.h"
#include "UIKit/ImageView.h"
#include "UIKit/ViewRenderer.h"

namespace {

class ScopedScale {
 public:
  explicit ScopedScale(double scale) : previous_(ui::Device::setProfile(ui::DeviceProfile::tablet(scale))) {
    ui::Image::clearNamedCache();
  }
  ~ScopedScale() {
    ui::Device::setProfile(previous_);
    ui::Image::clearNamedCache();
  }
  ScopedScale(const ScopedScale&) = delete;
  ScopedScale& operator=(const ScopedScale&) = delete;

 private:
  ui::DeviceProfile previous_;
};

cg::Color rgb(int r, int g, int b) { return cg::Color::rgba(r / 255.0, g / 255.0, b / 255.0); }

TEST(PlaceholderResourcesTest, EveryPictureTheCodeLoadsIsDrawnAtBothScalesAtItsSize) {
  struct Picture {
    const char* name;
    cg::Size size;
  };
  const std::string movie = "AKMovieImages.bundle/";
  const Picture pictures[] = {
      {"starIphone_blue.png", {20, 20}},
      {"starIphone_gray.png", {20, 20}},
      {"starIphoneBig_blue.png", {24, 24}},
      {"starIphoneBig_gray.png", {24, 24}},
      {"toolbarBg.png", {16, 44}},
      {"toolbar.png", {7, 44}},
      {"background.png", {64, 64}},
      {"bg.png", {16, 16}},
      {"selectedCellBg", {8, 8}},
      {"checked_menu_item", {8, 8}},
      {"unchecked_menu_item", {8, 8}},
      {"panelBG.png", {768, 140}},
      {"panelBG_iphone", {320, 80}},
      {"cellBackground.png", {320, 44}},
      {"cellBackgroundFirst.png", {320, 44}},
      {"cellCheckedBackground.png", {320, 44}},
      {"search_bar_background", {198, 30}},
      {"search_bar_long", {250, 30}},
      {"TLHorizScroll_bg.png", {64, 4}},
      {"sliderMask", {768, 317}},
      {"segment_button", {21, 38}},
      {"segment_button_pressed", {21, 38}},
      {"customBTN_normal", {13, 38}},
      {"customBTN_clicked", {13, 38}},
      {"black_divider", {2, 38}},
      {"switchBG", {272, 34}},
      {"rubricBTN.png", {15, 37}},
      {"menuBt.png", {55, 44}},
      {"bigMenuBtn", {60, 44}},
      {"menuBt2.png", {140, 44}},
      {"menuBtIphone.png", {39, 30}},
      {"tbBack.png", {60, 44}},
      {"tmBackIphone", {50, 30}},
      {"paramsBtn.png", {44, 44}},
      {"toolbar_button.png", {72, 31}},
      {"reloadBt", {44, 44}},
      {"reloadBtBg", {44, 44}},
      {"logoTL.png", {120, 30}},
      {"menuItemMain", {32, 32}},
      {"menuItemMainSel", {32, 32}},
      {"menuItem1", {32, 32}},
      {"menuItemSel1", {32, 32}},
      {"menuItem2", {32, 32}},
      {"menuItemSel2", {32, 32}},
      {"menuItem3", {32, 32}},
      {"menuItemSel3", {32, 32}},
      {"menuItem5", {32, 32}},
      {"menuItemSel6", {32, 32}},
      {"menuItemNoImage", {32, 32}},
      {"menuItemCollection", {32, 32}},
      {"menuItemSelCollection", {32, 32}},
      {"playClickButton222.png", {80, 80}},
      {"disclosure.png", {10, 16}},
      {"showBtn.png", {44, 44}},
      {"pimp.png", {39, 8}},
      {"TLCinemaEmpty.png", {220, 120}},
      {"TLCinemaEmpty_BIG.png", {450, 338}},
      {"TLCinemaEmpty_.png", {180, 100}},
      {"photo1.jpeg", {1000, 424}},
      {"actorEmpty.jpg", {76, 101}},
      {"facebook.png", {44, 44}},
      {"twitter.png", {44, 44}},
      {"vkontakte.png", {44, 44}},
      {"vkLogo.png", {141, 40}},
      {"fbLogo.png", {116, 40}},
      {"socBtnBg.png", {44, 44}},
      {"closeFB_", {30, 30}},
      {"FBDialog.bundle/images/fbicon.png", {16, 16}},
      {"FBDialog.bundle/images/close.png", {29, 29}},
      {"FBConnect.bundle/images/LoginNormal.png", {100, 28}},
      {"FBConnect.bundle/images/LoginPressed.png", {100, 28}},
      {"FBConnect.bundle/images/LogoutNormal.png", {100, 28}},
      {"FBConnect.bundle/images/LogoutPressed.png", {100, 28}},
      {"popover-black-bcg-image.png", {100, 110}},
      {"popover-black-top-arrow-image.png", {35, 19}},
      {"popover-black-bottom-arrow-image.png", {35, 19}},
      {"popover-black-left-arrow-image.png", {19, 35}},
      {"popover-black-right-arrow-image.png", {19, 35}},
      {"ixPickerOverlayLeftPane", {40, 216}},
      {"ixPickerOverlayRightPane", {40, 216}},
      {"ixPickerOverlaySectionWheel", {40, 216}},
      {"ixPickerOverlaySectionsSeparator", {40, 216}},
      {"ixPickerOverlayTexture", {40, 216}},
      {"ixPickerOverlayGlass", {20, 40}},
      {"movie_socialBg3", {16, 16}},
      {"movie_socialBg3P", {16, 16}},
      {"movie_socialBgIphone", {16, 16}},
      {"movie_FbIcon", {30, 30}},
      {"movie_TwIcon", {30, 30}},
      {"movie_VkIcon", {30, 30}},
  };
  const Picture player[] = {
      {"smallBarBg", {16, 38}},
      {"toolbarBg", {16, 44}},
      {"controllPanel", {16, 16}},
      {"controllPanel_iPhone", {16, 16}},
      {"startPlay", {66, 66}},
      {"smallPlay", {20, 20}},
      {"smallPause", {20, 20}},
      {"smallFullscreen", {20, 20}},
      {"play", {30, 28}},
      {"pause", {30, 28}},
      {"back30", {30, 30}},
      {"previous", {30, 28}},
      {"next", {30, 28}},
      {"social", {30, 28}},
      {"videoGravityResizeAspect", {43, 30}},
      {"videoGravityResizeAspectFill", {43, 30}},
      {"videoGravityResizeAspect_iPhone", {43, 30}},
      {"videoGravityResizeAspectFill_iPhone", {43, 30}},
      {"sliderMaxTrack", {11, 4}},
      {"sliderMinTrack", {11, 9}},
      {"sliderBufferTrack", {11, 11}},
      {"sliderBufferProgress", {11, 11}},
      {"sliderBufferProgressF", {11, 11}},
      {"sliderThumb", {20, 20}},
  };
  std::vector<std::pair<std::string, cg::Size>> all;
  for (const Picture& p : pictures) all.emplace_back(p.name, p.size);
  for (const Picture& p : player) all.emplace_back(movie + p.name, p.size);
  for (double scale : {1.0, 2.0}) {
    ScopedScale screen(scale);
    for (const auto& [name, size] : all) {
      auto image = ui::Image::imageNamed(name);
      ASSERT_TRUE(image) << name << " at scale " << scale;
      EXPECT_EQ(image->scale(), scale) << name;
      EXPECT_EQ(image->size(), size) << name << " at scale " << scale;
    }
  }
}

// --- Contrast

double luminance(const cg::Color& c) {
  auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

double contrast(const cg::Color& a, const cg::Color& b) {
  double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

cg::Color over(const cg::Color& c, const cg::Color& backdrop) {
  auto mix = [&](double v, double b) { return v * c.alpha + b * (1 - c.alpha); };
  return cg::Color::rgba(mix(c.red, backdrop.red), mix(c.green, backdrop.green), mix(c.blue, backdrop.blue));
}

std::string describe(const cg::Color& c) {
  char text[32];
  std::snprintf(text, sizeof text, "rgb(%d,%d,%d)", int(std::lround(c.red * 255)),
                int(std::lround(c.green * 255)), int(std::lround(c.blue * 255)));
  return text;
}

// A ground picture as a page shows it: stretched by its caps (or scaled when it has none), or
// repeated as a pattern, over a view of the given size, on the page's colour where that is known.
struct Ground {
  const char* picture;
  cg::Size size;
  int leftCap = -1, topCap = 0;  // -1: not stretchable
  bool pattern = false;
  std::optional<cg::Color> page = std::nullopt;
};

cg::ImagePtr render(const Ground& g, double scale) {
  auto picture = ui::Image::imageNamed(g.picture);
  if (!picture) return nullptr;
  if (g.pattern) {
    auto view = std::make_shared<ui::View>()->initWithFrame({{0, 0}, g.size});
    view->setBackgroundColor(ui::Color::colorWithPatternImage(picture));
    return ui::renderView(view, scale);
  }
  auto view = std::make_shared<ui::ImageView>()->initWithFrame({{0, 0}, g.size});
  view->setImage(g.leftCap >= 0 ? picture->stretchableImageWithLeftCapWidth(g.leftCap, g.topCap) : picture);
  if (!g.page) return ui::renderView(view, scale);
  auto page = std::make_shared<ui::View>()->initWithFrame({{0, 0}, g.size});
  page->setBackgroundColor(*g.page);
  page->addSubview(view);
  return ui::renderView(page, scale);
}

struct Measure {
  cg::Color mean, worst;
  double worstRatio = 1e9;
};

// Over the region, on a black and on a white backdrop (the grounds that are not opaque let the
// page show through): the mean colour, and the pixel that reads worst under the text colour.
Measure measure(const cg::Image& image, const cg::Rect& region, const cg::Color& text) {
  Measure m;
  double s = image.scale(), r = 0, g = 0, b = 0;
  int count = 0;
  for (int y = int(region.minY() * s); y < int(region.maxY() * s); ++y)
    for (int x = int(region.minX() * s); x < int(region.maxX() * s); ++x) {
      cg::Color c = image.colorAt(x, y);
      cg::Color onBlack = over(c, cg::Color::black());
      r += onBlack.red, g += onBlack.green, b += onBlack.blue, ++count;
      for (const cg::Color& shown : {onBlack, over(c, cg::Color::white(1))}) {
        double ratio = contrast(text, shown);
        if (ratio < m.worstRatio) m.worstRatio = ratio, m.worst = shown;
      }
    }
  if (count) m.mean = cg::Color::rgba(r / count, g / count, b / count);
  return m;
}

TEST(PlaceholderResourcesTest, EveryTextColourReadsOverTheGroundItIsDrawnOn) {
  const cg::Color white = rgb(255, 255, 255), lightGray = cg::Color::white(2.0 / 3),
                  gray = cg::Color::white(0.5), listGray = cg::Color::white(0.6),
                  menuGray = rgb(172, 172, 172), menuWhite = rgb(237, 237, 237),
                  rubricBlue = rgb(73, 123, 251), placeholder = cg::Color::white(0.7),
                  listPage = cg::Color::white(0.1);
  struct Case {
    const char* text;
    cg::Color colour;
    Ground ground;
    cg::Rect region;  // where the text lies on the ground
  };
  const Case cases[] = {
      // Toolbars: page titles.
      {"tablet bar title", white, {"toolbarBg.png", {768, 44}}, {150, 0, 488, 44}},
      {"phone bar title", white, {"toolbar.png", {320, 44}, 3}, {70, 0, 190, 44}},
      {"home menu button", white, {"menuBt2.png", {140, 44}}, {34, 12, 94, 19}},
      {"genre and year buttons", white, {"toolbar_button.png", {72, 31}}, {18, 8, 36, 14}},
      // Segment switches: white when selected, light grey otherwise and while pressed.
      {"selected segment", white, {"segment_button_pressed", {130, 38}, 10}, {12, 9, 105, 19}},
      {"pressed segment", lightGray, {"segment_button_pressed", {130, 38}, 10}, {12, 9, 105, 19}},
      {"segment", lightGray, {"segment_button", {150, 38}, 10}, {12, 9, 125, 19}},
      {"selected phone segment", white, {"customBTN_clicked", {140, 38}, 6}, {8, 9, 124, 19}},
      {"pressed phone segment", lightGray, {"customBTN_clicked", {140, 38}, 6}, {8, 9, 124, 19}},
      {"phone segment", lightGray, {"customBTN_normal", {120, 38}, 6}, {8, 9, 104, 19}},
      // Rubric headings and buttons with titles.
      {"rubric heading", rubricBlue, {"rubricBTN.png", {200, 37}, 7}, {33, 10, 133, 17}},
      {"pressed rubric heading", lightGray, {"rubricBTN.png", {200, 37}, 7}, {33, 10, 133, 17}},
      {"filter apply button", white, {"showBtn.png", {120, 34}, 6}, {19, 8, 81, 18}},
      {"share sheet buttons", white, {"socBtnBg.png", {100, 30}}, {6, 5, 88, 20}},
      {"share sheet log out on VKontakte", white, {"vkLogo.png", {424, 40}, 140}, {328, 12, 60, 20}},
      {"share sheet log out on Facebook", white, {"fbLogo.png", {424, 40}, 115}, {328, 12, 60, 20}},
      // Phone lists, on their page's dark grey: title and description on the first and the other rows.
      {"list title", white, {"cellBackground.png", {320, 80}, 1, 5, false, listPage}, {125, 8, 170, 20}},
      {"list description",
       listGray,
       {"cellBackground.png", {320, 80}, 1, 5, false, listPage},
       {125, 29, 170, 22}},
      {"first row title",
       white,
       {"cellBackgroundFirst.png", {320, 80}, 1, 0, false, listPage},
       {125, 8, 170, 20}},
      {"first row description",
       listGray,
       {"cellBackgroundFirst.png", {320, 80}, 1, 0, false, listPage},
       {125, 29, 170, 22}},
      {"checked row title", white, {"cellCheckedBackground.png", {320, 80}, 0, 5}, {125, 8, 170, 20}},
      {"checked row description",
       listGray,
       {"cellCheckedBackground.png", {320, 80}, 0, 5},
       {125, 29, 170, 22}},
      // The home sliders' caption panels.
      {"tablet slider name", white, {"panelBG.png", {768, 126}}, {20, 13, 738, 30}},
      {"tablet slider details", lightGray, {"panelBG.png", {768, 126}}, {20, 35, 738, 30}},
      {"tablet slider description", white, {"panelBG.png", {768, 126}}, {20, 50, 738, 60}},
      {"phone slider name", white, {"panelBG_iphone", {320, 45}, 2}, {12, 8, 245, 20}},
      {"phone slider details", lightGray, {"panelBG_iphone", {320, 45}, 2}, {12, 26, 245, 15}},
      // Search fields: the typed query and the placeholder, right of the magnifier.
      {"menu search query", gray, {"search_bar_background", {190, 30}}, {26, 6, 158, 18}},
      {"phone search query", gray, {"search_bar_background", {242, 30}}, {26, 6, 210, 18}},
      {"phone search placeholder", placeholder, {"search_bar_background", {242, 30}}, {26, 6, 210, 18}},
      {"tablet search query", gray, {"search_bar_long", {292, 30}}, {26, 6, 260, 18}},
      // Menu rows, tablet and phone.
      {"menu row", menuGray, {"bg.png", {220, 44}, -1, 0, true}, {52, 0, 158, 44}},
      {"selected menu row", menuWhite, {"selectedCellBg", {220, 44}, -1, 0, true}, {52, 0, 158, 44}},
      {"phone menu row", menuGray, {"unchecked_menu_item", {262, 44}, -1, 0, true}, {52, 0, 200, 44}},
      {"selected phone menu row", menuWhite, {"checked_menu_item", {262, 44}, -1, 0, true}, {52, 0, 200, 44}},
      // Person pages: grey captions and white values on the page's ground.
      {"person captions", gray, {"background.png", {1024, 1024}}, {280, 20, 480, 400}},
      {"person values", white, {"background.png", {1024, 1024}}, {280, 20, 480, 400}},
      // Title page header: producer and details under the name, in both orientations.
      {"title page details", lightGray, {"background.png", {1024, 1024}}, {412, 134, 600, 70}},
      // The player's time labels on its bars.
      {"player bar times", white, {"AKMovieImages.bundle/toolbarBg", {768, 44}}, {80, 12, 35, 20}},
      {"preview bar times", white, {"AKMovieImages.bundle/smallBarBg", {374, 38}}, {60, 9, 35, 20}},
  };
  std::printf("%-34s %-15s %-38s %-15s %-15s %s\n", "text", "colour", "ground", "mean", "worst", "ratio");
  for (const Case& c : cases) {
    for (double scale : {1.0, 2.0}) {
      ScopedScale screen(scale);
      auto image = render(c.ground, scale);
      ASSERT_TRUE(image) << c.ground.picture;
      Measure m = measure(*image, c.region, c.colour);
      if (scale == 2)
        std::printf("%-34s %-15s %-38s %-15s %-15s %.2f\n", c.text, describe(c.colour).c_str(),
                    c.ground.picture, describe(m.mean).c_str(), describe(m.worst).c_str(), m.worstRatio);
      EXPECT_GE(m.worstRatio, 4.5) << c.text << " on " << c.ground.picture << " at scale " << scale
                                   << ": mean " << describe(m.mean) << ", worst " << describe(m.worst);
    }
  }
}

// --- Shapes

// The share of pixels whose lightness (over black) differs by more than a fifth between two
// pictures drawn into the same box: colour alone does not count.
double shapeDifference(const std::string& a, const std::string& b, cg::Size box) {
  auto draw = [&](const std::string& name) {
    auto view = std::make_shared<ui::ImageView>()->initWithFrame({{0, 0}, box});
    view->setImage(ui::Image::imageNamed(name));
    view->setContentMode(ui::ViewContentMode::center);
    return ui::renderView(view, 2);
  };
  auto ia = draw(a), ib = draw(b);
  int differing = 0, total = ia->pixelWidth() * ia->pixelHeight();
  for (int y = 0; y < ia->pixelHeight(); ++y)
    for (int x = 0; x < ia->pixelWidth(); ++x) {
      double la = luminance(over(ia->colorAt(x, y), cg::Color::black()));
      double lb = luminance(over(ib->colorAt(x, y), cg::Color::black()));
      if (std::abs(std::cbrt(la) - std::cbrt(lb)) > 0.2) ++differing;
    }
  return double(differing) / total;
}

TEST(PlaceholderResourcesTest, NeighbouringControlsDifferInShape) {
  struct Pair {
    const char* a;
    const char* b;
    cg::Size box;
  };
  const Pair pairs[] = {
      // The tablet bars: menu beside back.
      {"menuBt.png", "tbBack.png", {60, 44}},
      // The phone bars: back, filter parameters and menu.
      {"tmBackIphone.png", "menuBtIphone.png", {50, 30}},
      {"paramsBtn.png", "menuBtIphone.png", {44, 44}},
      {"reloadBt.png", "menuBtIphone.png", {44, 44}},
      // The networks, on the title page and in the player.
      {"facebook.png", "twitter.png", {44, 44}},
      {"twitter.png", "vkontakte.png", {44, 44}},
      {"facebook.png", "vkontakte.png", {44, 44}},
      {"movie_FbIcon", "movie_TwIcon", {30, 30}},
      {"movie_TwIcon", "movie_VkIcon", {30, 30}},
      {"movie_FbIcon", "movie_VkIcon", {30, 30}},
      // The two share editors' logo strips, where their marks and names stand.
      {"vkLogo.png", "fbLogo.png", {140, 40}},
      // Play beside pause and share in the player.
      {"AKMovieImages.bundle/play", "AKMovieImages.bundle/pause", {30, 28}},
      {"AKMovieImages.bundle/play", "AKMovieImages.bundle/social", {30, 28}},
  };
  for (const Pair& p : pairs) EXPECT_GT(shapeDifference(p.a, p.b, p.box), 0.04) << p.a << " against " << p.b;
}

// The Facebook dialog puts its own close badge over the corner where the title bar's close
// button lies: the title bar's picture stays clear so that one cross shows, not two.
TEST(PlaceholderResourcesTest, TheFacebookDialogShowsOneCloseCross) {
  auto titleBarClose = ui::Image::imageNamed("FBDialog.bundle/images/close.png");
  auto badge = ui::Image::imageNamed("closeFB_");
  ASSERT_TRUE(titleBarClose && badge);
  auto opaque = [](const cg::Image& image) {
    int n = 0;
    for (std::uint32_t p : image.pixels()) n += (p >> 24) > 0;
    return n;
  };
  EXPECT_EQ(opaque(*titleBarClose->CGImage()), 0);
  EXPECT_GT(opaque(*badge->CGImage()), 0);
}

}  // namespace
