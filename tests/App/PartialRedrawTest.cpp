// The window's picture kept from frame to frame and drawn again only where the damage tracker
// finds a change: along a walk through the client's screens, at moments along each step's
// animations, the kept picture is the one a whole new render draws, pixel for pixel.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ClientTestSupport.h"
#include "Foundation/Clock.h"
#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "UIKit/DamageTracker.h"
#include "UIKit/Screen.h"
#include "UIKit/SearchBar.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/TempDir.h"

namespace {

// The window's picture as the desktop window keeps it, and what looking at it again found.
struct KeptPicture {
  std::unique_ptr<cg::Context> canvas;
  ui::DamageTracker tracker;
  int looks = 0, partial = 0;
  std::vector<std::string> mismatches;

  // Draws the moment again into the kept picture, and compares it with a whole render.
  void look(double time, const std::string& where) {
    auto window = ui::Window::keyWindow();
    if (!window) return;
    ui::Window::layoutKeyWindow();
    const double scale = ui::Screen::mainScreen()->scale();
    if (!canvas || canvas->size() != window->bounds().size) {
      canvas = cg::Context::makeBitmap(window->bounds().size, false, scale);
      tracker.invalidate();
    }
    ASSERT_TRUE(canvas);
    auto damage = tracker.damage(*window, time, scale);
    ui::renderViewAgain(window, time, *canvas, damage, tracker);
    auto whole = ui::renderView(window, ui::RenderOptions{scale, time});
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->pixelWidth(), canvas->pixelWidth());
    ASSERT_EQ(whole->pixelHeight(), canvas->pixelHeight());
    ++looks;
    long area = 0;
    for (const auto& r : damage) area += long(r.width) * r.height;
    if (area < long(canvas->pixelWidth()) * canvas->pixelHeight()) ++partial;
    const auto& expected = whole->pixels();
    const std::uint32_t* kept = canvas->pixelData();
    const int stride = canvas->pixelStride() / 4;
    int differ = 0, x0 = 0, y0 = 0;
    for (int y = 0; y < canvas->pixelHeight(); ++y)
      for (int x = 0; x < canvas->pixelWidth(); ++x)
        if (kept[std::size_t(y) * stride + x] != expected[std::size_t(y) * canvas->pixelWidth() + x] &&
            differ++ == 0) {
          x0 = x;
          y0 = y;
        }
    if (differ > 0)
      mismatches.push_back(ns::format("%@ at +%.3f s: %d pixels differ, the first at %d,%d", where,
                                      time - ns::clockNow(), differ, x0, y0));
  }
};

class PartialRedrawTest : public testsupport::ClientServiceSuite,
                          public ::testing::WithParamInterface<const char*> {
 protected:
  testsupport::TempDir out_;
};

TEST_P(PartialRedrawTest, APictureDrawnAgainWhereItChangedIsTheWholeRendersPicture) {
  testsupport::TempDir scripts;
  const std::string script = scripts.file("walk.vcc");
  // The menu slides out and back, pages are pushed and slide away, the caret blinks in the
  // search field, spinners turn while pages load, the home page scrolls, an alert comes and
  // goes, a popover fades in and out, a film plays and goes to full screen and back, the device
  // turns, and a sheet slides up over its fading dimming.
  std::ofstream(script) << "drag TLRubricScrollView* 0,-300\n"
                           "drag TLRubricScrollView* -300,0\n"
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
  KeptPicture picture;
  int step = 0;
  std::string failure;
  const int exitCode = testsupport::runClientInProcess(
      args,
      [&](ClientSession& session) {
        session.setStepObserver([&] {
          ++step;
          const double now = ns::clockNow();
          // Moments along the animations the step started (slides last about 0.3-0.5 s), a
          // spinner's steps apart, the caret shown and hidden in turn.
          bool caret = true;
          for (double later : {0.0, 0.04, 0.1, 0.17, 0.25, 0.33, 0.5, 0.8}) {
            ui::setCaretBlinkOn(caret);
            caret = !caret;
            picture.look(now + later, ns::format("after step %d", step));
          }
          ui::setCaretBlinkOn(true);
        });
      },
      &failure);
  ASSERT_EQ(0, exitCode) << failure;
  EXPECT_GE(step, 19);
  EXPECT_TRUE(picture.mismatches.empty()) << ::testing::PrintToString(picture.mismatches);
  // Most looks drew only part of the window.
  EXPECT_GT(picture.partial, picture.looks / 2) << picture.partial << " of " << picture.looks;
}

INSTANTIATE_TEST_SUITE_P(Devices, PartialRedrawTest, ::testing::Values("tablet", "phone"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
