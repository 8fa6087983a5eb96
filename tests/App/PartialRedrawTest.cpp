// The window's picture kept from frame to frame and drawn again only where the damage tracker
// finds a change: along a walk through the client's screens, at every frame of each step's
// animations, at the device's scale and at fractional window scales, the kept picture is the one
// a whole new render draws, pixel for pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ClientTestSupport.h"
#include "Foundation/Clock.h"
#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "Graphics/Layer.h"
#include "Graphics/ShapeLayer.h"
#include "UIKit/DamageTracker.h"
#include "UIKit/Image.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/Screen.h"
#include "UIKit/SearchBar.h"
#include "UIKit/StatusBar.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/TempDir.h"

namespace {

constexpr double kFrameSeconds = 1.0 / 60;
// Long enough for the slides, fades and turns the pages start.
constexpr double kLongestAnimation = 0.5;

// The window's picture at one scale as the desktop window keeps it, and what looking at it again
// found.
struct KeptPicture {
  explicit KeptPicture(double fixed) : fixedScale(fixed) {}

  double fixedScale;  // 0: the screen's
  double scale = 0;
  std::unique_ptr<cg::Context> canvas;
  ui::DamageTracker tracker;
  int looks = 0, partial = 0;
  std::vector<std::string> mismatches;

  // Draws the moment again into the kept picture and compares it with a whole render.
  void look(const std::shared_ptr<ui::Window>& window, double time, const std::string& where) {
    scale = fixedScale > 0 ? fixedScale : ui::Screen::mainScreen()->scale();
    if (!canvas || canvas->size() != window->bounds().size || canvas->scale() != scale) {
      canvas = cg::Context::makeBitmap(window->bounds().size, false, scale);
      tracker.invalidate();
    }
    ASSERT_TRUE(canvas);
    auto damage = tracker.damage(*window, time, scale);
    ui::renderViewAgain(window, time, *canvas, damage, tracker);
    ++looks;
    long area = 0;
    for (const auto& r : damage) area += long(r.width) * r.height;
    if (area < long(canvas->pixelWidth()) * canvas->pixelHeight()) ++partial;
    auto whole = ui::renderView(window, ui::RenderOptions{scale, time});
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->pixelWidth(), canvas->pixelWidth());
    ASSERT_EQ(whole->pixelHeight(), canvas->pixelHeight());
    const auto& expected = whole->pixels();
    const std::uint32_t* kept = canvas->pixelData();
    const int stride = canvas->pixelStride() / 4;
    // Between whole pixels a picture scaled with the good filter comes out a level apart in a
    // channel, clipped or not; a stale pixel is further off than that.
    const int slack = scale == std::round(scale) ? 0 : 2;
    auto unlike = [slack](std::uint32_t a, std::uint32_t b) {
      for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > slack) return true;
      return false;
    };
    int differ = 0, x0 = 0, y0 = 0;
    for (int y = 0; y < canvas->pixelHeight(); ++y)
      for (int x = 0; x < canvas->pixelWidth(); ++x)
        if (unlike(kept[std::size_t(y) * stride + x], expected[std::size_t(y) * canvas->pixelWidth() + x]) &&
            differ++ == 0) {
          x0 = x;
          y0 = y;
        }
    if (differ > 0)
      mismatches.push_back(ns::format("%@ at %gx, +%.3f s: %d pixels differ, the first at %d,%d", where,
                                      scale, time - ns::clockNow(), differ, x0, y0));
  }
};

// The kept pictures at each scale, looked at as the window makes its frames.
struct KeptPictures {
  std::vector<KeptPicture> pictures;
  bool caret = true;
  std::size_t frame = 0;

  // One frame at `time`, as the window draws it (the tree laid out, the bar's clock read), drawn
  // again and compared at one scale in turn, or at all of them.
  void look(double time, bool all, const std::string& where) {
    auto window = ui::Window::keyWindow();
    if (!window) return;
    ui::Window::layoutKeyWindow();
    window->statusBar()->refresh();
    ui::setCaretBlinkOn(caret);
    caret = !caret;
    ++frame;
    for (std::size_t i = 0; i < pictures.size(); ++i)
      if (all || frame % pictures.size() == i) pictures[i].look(window, time, where);
    ui::setCaretBlinkOn(true);
  }

  // Every frame from now while an animation runs (up to the longest), then a few steps of what
  // moves by itself; the first and the last at every scale.
  void frames(const std::string& where) {
    auto window = ui::Window::keyWindow();
    if (!window) return;
    const double now = ns::clockNow();
    int steps = 0;
    for (double t = now; t <= now + kLongestAnimation;) {
      auto next = ui::nextPresentationChange(*window, t);
      // A frame's time apart while an animation runs; a spinner's step apart after.
      if (next && *next > t + kFrameSeconds / 2) ++steps;
      const double after = next && steps <= 1 ? std::max(*next, t + kFrameSeconds) : INFINITY;
      look(t, t == now || after > now + kLongestAnimation, where);
      t = after;
    }
  }
};

std::shared_ptr<ui::View> box(const cg::Rect& frame, const cg::Color& color) {
  auto view = std::make_shared<ui::View>()->initWithFrame(frame);
  view->setBackgroundColor(ui::Color(color));
  return view;
}

std::shared_ptr<ui::Label> label(const cg::Rect& frame, double size, const std::string& text) {
  auto view = std::make_shared<ui::Label>()->initWithFrame(frame);
  view->setBackgroundColor(ui::Color::clearColor());
  view->setFont(ui::Font::boldSystemFontOfSize(size));
  view->setText(text);
  return view;
}

std::shared_ptr<ui::Image> picture(cg::Size size) {
  auto ctx = cg::Context::makeBitmap(size, false, 1);
  ctx->setFillColor(cg::Color::rgba(0.1, 0.3, 0.9));
  ctx->fillRect({0, 0, size.width, size.height});
  ctx->setFillColor(cg::Color::rgba(1, 0.8, 0));
  ctx->fillEllipseInRect({0, 0, size.width / 2, size.height});
  return ui::Image::imageWithCGImage(ctx->takeImage(), 1);
}

// Changes over the page shown that the pages make now and then, each looked at frame by frame:
// a turn that keeps a view's box, a shadowed view moving, a line taller than its label, a
// picture far larger than its view, a shape drawn past its view, an ancestor's turn and look,
// a fade.
void probe(KeptPictures& pictures) {
  auto window = ui::Window::keyWindow();
  if (!window) return;
  auto stage = box({40, 180, 400, 320}, cg::Color::clear());
  auto mirrored = label({20, 20, 300, 40}, 30, "Мир");
  auto tall = label({20, 80, 300, 8}, 40, "Абв");
  auto far = std::make_shared<ui::ImageView>()->initWithImage(picture({320, 100}));
  far->setFrame({180, 150, 20, 20});
  far->setContentMode(ui::ViewContentMode::center);
  auto cover = box({320, 150, 20, 20}, cg::Color::rgba(0, 0, 0, 0.3));
  auto shadowed = box({20, 230, 100, 60}, cg::Color::rgba(0.2, 0.7, 0.3));
  shadowed->layer()->setShadowOpacity(1);
  shadowed->layer()->setShadowRadius(8);
  shadowed->layer()->setShadowOffset({0, 10});
  auto shaped = box({300, 240, 20, 20}, cg::Color::clear());
  auto shape = std::make_shared<cg::ShapeLayer>();
  shape->setPath(cg::Path::rect({-60, 10, 50, 40}));
  shape->setFillColor(cg::Color::rgba(0.8, 0.4, 0));
  shaped->layer()->addSublayer(shape);
  for (const auto& view :
       std::vector<std::shared_ptr<ui::View>>{mirrored, tall, far, cover, shadowed, shaped})
    stage->addSubview(view);
  // Wholly right of the window: at 70 % the picture's last column reaches over its left edge.
  auto past = box({window->bounds().width(), 300, 40, 40}, cg::Color::rgba(0.9, 0.1, 0.1));
  const std::vector<std::pair<const char*, std::function<void()>>> changes{
      {"probes shown", [&] { window->addSubview(stage); }},
      {"a label mirrored", [&] { mirrored->setTransform(cg::AffineTransform::makeScale(-1, 1)); }},
      {"a shadowed view moving",
       [&] { ui::View::animateWithDuration(0.3, [&] {
               shadowed->setCenter({260, 260});
             }); }},
      {"a line taller than its label", [&] { tall->setText("Эюя"); }},
      {"over a far picture", [&] { cover->setBackgroundColor(ui::Color(cg::Color::rgba(1, 0, 0, 0.3))); }},
      {"a shape past its view", [&] { shape->setFillColor(cg::Color::rgba(0.2, 0.4, 0.8)); }},
      {"an ancestor mirrored", [&] { stage->setTransform(cg::AffineTransform::makeScale(-1, 1)); }},
      {"an ancestor's border", [&] { stage->layer()->setBorderWidth(3); }},
      {"an ancestor fading", [&] { ui::View::animateWithDuration(0.2, [&] { stage->setAlpha(0.5); }); }},
      {"a view just past the right edge", [&] { window->addSubview(past); }},
      {"probes gone",
       [&] {
         stage->removeFromSuperview();
         past->removeFromSuperview();
       }},
  };
  for (const auto& [what, change] : changes) {
    change();
    pictures.frames(what);
  }
}

class PartialRedrawTest : public testsupport::ClientServiceSuite,
                          public ::testing::WithParamInterface<const char*> {
 protected:
  testsupport::TempDir out_;
};

TEST_P(PartialRedrawTest, APictureDrawnAgainWhereItChangedIsTheWholeRendersPicture) {
  testsupport::TempDir scripts;
  const std::string script = scripts.file("walk.vcc");
  // The home page scrolls and, a minute later, the status bar's clock reads another minute; the
  // menu slides out and back, pages are pushed and slide away, the caret blinks in the search
  // field, spinners turn while pages load, an alert comes and goes, a popover fades in and out,
  // a film plays and goes to full screen and back, the device turns, and a sheet slides up over
  // its fading dimming.
  std::ofstream(script) << "drag TLRubricScrollView* 0,-300\n"
                           "drag TLRubricScrollView* -300,0\n"
                           "advance 61\n"
                           "post TLNavigationShowMenu\n"
                           "type \"по\"\n"
                           "search\n"
                           "tap Button \"OK\"\n"
                           "tablet: tap TLNavigationMenuTableViewCell \"Фильмы\"\n"
                           "phone: tap TLNavigationMenuTableViewCell_iphone \"Фильмы\"\n"
                           "tablet: tap Button \"Жанр\"\n"
                           "tablet: tap TableViewCell \"Комедия\"\n"
                           "post TLNavigationShowMenu\n"
                           "clear\n"
                           "type \"Золотой берег\"\n"
                           "search\n"
                           "tap TLVideoItemPriview* \"Золотой берег\"\n"
                           "tap Button \"AKMovieImages.bundle/startPlay\"\n"
                           "advance 9\n"
                           "pinch AKMoviePlayerView 1.6\n"
                           "pinch AKMoviePlayerView 0.6\n"
                           "rotate landscape\n"
                           "rotate portrait\n"
                           "share vk\n"
                           "wait\n";
  std::vector<std::string> args{"--headless", "--device", GetParam(), "--host", server_->hostAndPort(),
                                "--out",      out_.str(), "--script", script};
  KeptPictures kept;
  for (double scale : {0.0, 0.7, 0.75}) kept.pictures.emplace_back(scale);
  int step = 0;
  std::string failure;
  const int exitCode = testsupport::runClientInProcess(
      args,
      [&](ClientSession& session) {
        session.setStepObserver([&] {
          ++step;
          kept.frames(ns::format("after step %d", step));
          if (step == 1) probe(kept);
        });
      },
      &failure);
  ASSERT_EQ(0, exitCode) << failure;
  EXPECT_GE(step, 20);
  for (const KeptPicture& picture : kept.pictures) {
    EXPECT_TRUE(picture.mismatches.empty()) << ::testing::PrintToString(picture.mismatches);
    // Most looks drew only part of the window.
    EXPECT_GT(picture.partial, picture.looks / 2) << picture.partial << " of " << picture.looks;
  }
}

INSTANTIATE_TEST_SUITE_P(Devices, PartialRedrawTest, ::testing::Values("tablet", "phone"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
