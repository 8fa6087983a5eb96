// A window's picture drawn again only where the damage tracker finds a change is the picture a
// whole render draws, for changes that reach past a view's bounds or hide in its presentation.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "Graphics/Context.h"
#include "Graphics/Layer.h"
#include "ScreenTestSupport.h"
#include "UIKit/DamageTracker.h"
#include "UIKit/Image.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/ViewRenderer.h"

namespace {

// A layer that fills the size it is shown at, as a video picture fits its frame.
class FittingLayer final : public cg::Layer {
 public:
  void drawInContextAtSize(cg::Context& context, cg::Size shown) override {
    context.setFillColor(cg::Color::rgba(0.9, 0.2, 0.1));
    context.fillRect({4, 4, std::max(0.0, shown.width - 8), std::max(0.0, shown.height - 8)});
  }
};
class FittingView final : public ui::View {
 public:
  FittingView() : View(ui::layerClassOf<FittingLayer>()) {}
};

std::shared_ptr<ui::View> box(const cg::Rect& frame, const cg::Color& color) {
  auto view = std::make_shared<ui::View>()->initWithFrame(frame);
  view->setBackgroundColor(ui::Color(color));
  return view;
}

std::shared_ptr<ui::Image> picture(cg::Size size) {
  constexpr double kScale = 1;
  auto ctx = cg::Context::makeBitmap(size, false, kScale);
  ctx->setFillColor(cg::Color::rgba(0.1, 0.3, 0.9));
  ctx->fillRect({0, 0, size.width, size.height});
  ctx->setFillColor(cg::Color::rgba(1, 0.8, 0));
  ctx->fillEllipseInRect({0, 0, size.width, size.height});
  return ui::Image::imageWithCGImage(ctx->takeImage(), kScale);
}

std::shared_ptr<ui::Label> label(const cg::Rect& frame, double size, const std::string& text) {
  auto view = std::make_shared<ui::Label>()->initWithFrame(frame);
  view->setBackgroundColor(ui::Color::clearColor());
  view->setFont(ui::Font::boldSystemFontOfSize(size));
  view->setText(text);
  return view;
}

struct Stage {
  double scale;
  testsupport::ScreenScope screen;
  ns::ManualClock clock;
  std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
  std::shared_ptr<ui::Window> window;
  std::unique_ptr<cg::Context> canvas;
  ui::DamageTracker tracker;

  explicit Stage(double pictureScale) : scale(pictureScale) {
    root->view()->setBackgroundColor(ui::Color(cg::Color::white(1)));
    window = screen.showWindow(root);
    canvas = cg::Context::makeBitmap(window->bounds().size, false, scale);
  }
  std::shared_ptr<ui::View> page() const { return root->view(); }

  // Draws the moment again into the kept picture; the count of its pixels unlike a whole render's,
  // and the share of the window drawn.
  std::pair<int, double> look(double later = 0) {
    ui::Window::layoutKeyWindow();
    const double time = ns::clockNow() + later;
    auto damage = tracker.damage(*window, time, scale);
    ui::renderViewAgain(window, time, *canvas, damage, tracker);
    auto whole = ui::renderView(window, ui::RenderOptions{scale, time});
    const auto& expected = whole->pixels();
    const std::uint32_t* kept = canvas->pixelData();
    const int stride = canvas->pixelStride() / 4, width = canvas->pixelWidth();
    int differ = 0;
    for (int y = 0; y < canvas->pixelHeight(); ++y)
      for (int x = 0; x < width; ++x)
        differ += kept[std::size_t(y) * stride + x] != expected[std::size_t(y) * width + x];
    double area = 0;
    for (const auto& r : damage) area += double(r.width) * r.height;
    return {differ, area / (double(width) * canvas->pixelHeight())};
  }
};

struct Case {
  const char* name;
  // Builds the scene; returns what changes it.
  std::function<std::function<void()>(Stage&)> build;
  // Moments after the change looked at, as shares of kDuration.
  std::vector<double> moments{0};
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

constexpr double kDuration = 0.4;

void animated(const std::function<void()>& change) { ui::View::animateWithDuration(kDuration, change); }

const Case kCases[] = {
    {"AnImageLargerThanItsViewCentredMoves",
     [](Stage& s) {
       auto view = std::make_shared<ui::ImageView>()->initWithImage(picture({160, 120}));
       view->setFrame({200, 200, 40, 40});
       view->setContentMode(ui::ViewContentMode::center);
       s.page()->addSubview(view);
       return std::function<void()>([view] { view->setCenter({420, 260}); });
     }},
    {"APictureFarPastItsViewUnderAChange",
     [](Stage& s) {
       auto view = std::make_shared<ui::ImageView>()->initWithImage(picture({300, 100}));
       view->setFrame({300, 300, 20, 20});
       view->setContentMode(ui::ViewContentMode::center);
       s.page()->addSubview(view);
       auto cover = box({420, 300, 20, 20}, cg::Color::rgba(0, 0, 0, 0.3));
       s.page()->addSubview(cover);
       return std::function<void()>(
           [cover] { cover->setBackgroundColor(ui::Color(cg::Color::rgba(1, 0, 0, 0.3))); });
     }},
    {"ALineTallerThanItsLabelChanges",
     [](Stage& s) {
       auto view = label({100, 400, 200, 8}, 40, "Абв");
       s.page()->addSubview(view);
       return std::function<void()>([view] { view->setText("Эюя"); });
     }},
    {"AViewIsMirrored",
     [](Stage& s) {
       auto view = label({100, 400, 200, 50}, 30, "Мир");
       s.page()->addSubview(view);
       return std::function<void()>([view] { view->setTransform(cg::AffineTransform::makeScale(-1, 1)); });
     }},
    {"AnAncestorIsMirrored",
     [](Stage& s) {
       auto outer = box({100, 400, 300, 60}, cg::Color::clear());
       auto inner = box({0, 0, 300, 60}, cg::Color::clear());
       inner->addSubview(label({0, 0, 300, 60}, 30, "Мир"));
       outer->addSubview(inner);
       s.page()->addSubview(outer);
       return std::function<void()>([outer] { outer->setTransform(cg::AffineTransform::makeScale(-1, 1)); });
     }},
    {"AShadowedViewMoves",
     [](Stage& s) {
       auto view = box({100, 300, 120, 80}, cg::Color::rgba(0.2, 0.7, 0.3));
       view->layer()->setShadowOpacity(1);
       view->layer()->setShadowRadius(8);
       view->layer()->setShadowOffset({0, 10});
       s.page()->addSubview(view);
       return std::function<void()>([view] { view->setCenter({400, 420}); });
     }},
    {"ATurnedViewTurnsOnHalfWay",
     [](Stage& s) {
       auto view = box({300, 300, 200, 40}, cg::Color::rgba(0.5, 0.1, 0.6));
       view->setTransform(cg::AffineTransform::makeRotation(0.3));
       s.page()->addSubview(view);
       return std::function<void()>(
           [view] { animated([view] { view->setTransform(cg::AffineTransform::makeRotation(1.4)); }); });
     },
     {0, 0.3, 0.6, 1}},
    {"AClippingViewScrollsItsContent",
     [](Stage& s) {
       auto clip = box({100, 100, 300, 200}, cg::Color::white(0.9));
       clip->setClipsToBounds(true);
       clip->addSubview(box({250, 150, 200, 200}, cg::Color::rgba(0.9, 0.5, 0.1)));
       s.page()->addSubview(clip);
       return std::function<void()>([clip] { clip->setBounds({{-60, -40}, clip->bounds().size}); });
     }},
    {"AParentFadesWithAChildPastItsBounds",
     [](Stage& s) {
       auto parent = box({100, 500, 100, 100}, cg::Color::rgba(0.1, 0.5, 0.9));
       parent->addSubview(box({150, 150, 120, 60}, cg::Color::rgba(0.9, 0.1, 0.4)));
       s.page()->addSubview(parent);
       return std::function<void()>([parent] { animated([parent] { parent->setAlpha(0.2); }); });
     },
     {0, 0.5, 1}},
    {"ASubviewFadesOutAsItIsRemoved",
     [](Stage& s) {
       auto cover = box({0, 0, 600, 700}, cg::Color::rgba(0, 0, 0, 0.5));
       s.page()->addSubview(cover);
       auto page = s.page();
       return std::function<void()>(
           [page, cover] { animated([page, cover] { page->removeSubviewFadingOut(cover); }); });
     },
     {0, 0.25, 0.75, 1.1}},
    {"ASubviewRemovedWhileItMovesAway",
     [](Stage& s) {
       auto sheet = box({50, 200, 400, 300}, cg::Color::rgba(0.3, 0.3, 0.8));
       s.page()->addSubview(sheet);
       auto page = s.page();
       return std::function<void()>([page, sheet] {
         animated([page, sheet] { page->removeSubviewMovingBy(sheet, {500, 0}); });
       });
     },
     {0, 0.25, 0.5, 0.75, 1.1}},
    {"AViewGrowsWithItsLayerFittedToTheShownSize",
     [](Stage& s) {
       auto view = std::make_shared<FittingView>();
       view->initWithFrame({100, 100, 160, 90});
       s.page()->addSubview(view);
       return std::function<void()>([view] { animated([view] { view->setFrame({0, 0, 640, 360}); }); });
     },
     {0, 0.3, 0.6, 1}},
    {"ABorderWidens",
     [](Stage& s) {
       auto view = box({300, 600, 100, 100}, cg::Color::white(0.8));
       view->layer()->setBorderWidth(1);
       s.page()->addSubview(view);
       return std::function<void()>([view] { view->layer()->setBorderWidth(12); });
     }},
    {"AViewComesToTheFrontOfAnOverlappingSibling",
     [](Stage& s) {
       auto under = box({200, 200, 150, 150}, cg::Color::rgba(1, 0, 0));
       s.page()->addSubview(under);
       s.page()->addSubview(box({260, 260, 150, 150}, cg::Color::rgba(0, 0, 1)));
       auto page = s.page();
       return std::function<void()>([page, under] { page->bringSubviewToFront(under); });
     }},
    {"AHiddenViewShows",
     [](Stage& s) {
       auto view = box({500, 100, 80, 80}, cg::Color::rgba(0, 0.6, 0));
       view->setHidden(true);
       s.page()->addSubview(view);
       return std::function<void()>([view] { view->setHidden(false); });
     }},
    {"AMasksGradientTurns",
     [](Stage& s) {
       auto view = box({100, 700, 300, 100}, cg::Color::rgba(0.6, 0.2, 0.2));
       auto mask = std::make_shared<cg::GradientLayer>();
       mask->setFrame({0, 0, 300, 100});
       mask->setColors({cg::Color::white(1, 1), cg::Color::white(1, 0)});
       view->layer()->setMask(mask);
       s.page()->addSubview(view);
       return std::function<void()>([mask] {
         mask->setStartPoint({0, 0.5});
         mask->setEndPoint({1, 0.5});
       });
     }},
};

// Each change at the scale of the device and at fractions of it, where points fall between pixels.
class DamageTrackerTest : public ::testing::TestWithParam<std::tuple<Case, double>> {};

TEST_P(DamageTrackerTest, DrawsAgainWhatTheWholeRenderDraws) {
  const auto& [c, scale] = GetParam();
  Stage stage(scale);
  auto change = c.build(stage);
  EXPECT_EQ(0, stage.look().first);
  EXPECT_EQ(0, stage.look().first);
  EXPECT_EQ(0.0, stage.look().second) << "nothing changed";
  change();
  for (double moment : c.moments) {
    auto [differ, share] = stage.look(moment * kDuration);
    EXPECT_EQ(0, differ) << "at " << moment;
    EXPECT_LT(share, 1.0) << "at " << moment;
  }
}

INSTANTIATE_TEST_SUITE_P(Changes, DamageTrackerTest,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Values(1.0, 0.7, 0.75)),
                         [](const auto& param) {
                           return std::string(std::get<0>(param.param).name) + "_" +
                                  std::to_string(int(std::get<1>(param.param) * 100));
                         });

}  // namespace
