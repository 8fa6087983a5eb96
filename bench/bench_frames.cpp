// Frames as the window makes them while a person drags: the tablet home page dragged down over its
// rows and back, the tablet's category grid paged and back, and the phone home page at 2x. Each
// frame moves the finger, lays the tree out and draws the key window into a new surface at the
// screen's scale, as the window does. The floor is the same frame drawn with Cairo and Pango
// alone, with no view tree: the images and texts visible in that frame, at the same positions,
// onto a surface of the same size.
// Then the client in its window (SDL's offscreen driver), as a person runs it, on the tablet's
// home, title and category pages: once a page has settled, the processor time its process takes
// over a few seconds of nobody doing anything, against a budget of 1 % of a core; last, a category
// page waiting for a service that holds its titles back, its spinner and the status bar's turning.
// The client runs in a process of its own (this program started again with --idle), apart from
// the service.
// Last, one frame of a spinner turning over the settled tablet home page, as the window makes it
// (damage found, drawn again into the kept picture), against the same over an empty window.
#include <cairo.h>
#include <pango/pangocairo.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "App/AppDelegate.h"
#include "App/ClientProgram.h"
#include "App/ClientScript.h"
#include "Foundation/ClassRegistry.h"
#include "Foundation/Clock.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/Timer.h"
#include "Foundation/URLLoader.h"
#include "Foundation/WorkerPool.h"
#include "Graphics/Context.h"
#include "SampleServer.h"
#include "SelfProcess.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/AlertView.h"
#include "UIKit/DamageTracker.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/Screen.h"
#include "UIKit/StatusBar.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// What one frame shows, for the floor: images and texts with their rectangles in window points.
struct FloorImage {
  cg::ImagePtr bitmap;
  cg::Rect rect, clip;
};
struct FloorText {
  std::string text, fontName;
  double pointSize;
  cg::Rect rect, clip;
};
struct FrameContent {
  std::vector<FloorImage> images;
  std::vector<FloorText> texts;
};

void collect(const std::shared_ptr<ui::View>& view, const std::shared_ptr<ui::View>& window, cg::Rect clip,
             FrameContent& content) {
  if (view->isHidden() || view->alpha() <= 0.01) return;
  cg::Rect frame = view->convertRectToView(view->bounds(), window.get());
  if (view->clipsToBounds()) clip = clip.intersection(frame);
  if (clip.isEmpty()) return;
  if (!frame.intersection(clip).isEmpty()) {
    if (auto imageView = std::dynamic_pointer_cast<ui::ImageView>(view); imageView && imageView->image())
      content.images.push_back({imageView->image()->CGImage(), frame, clip});
    if (auto label = std::dynamic_pointer_cast<ui::Label>(view);
        label && !label->text().empty() && label->font())
      content.texts.push_back(
          {label->text(), label->font()->fontName(), label->font()->pointSize(), frame, clip});
  }
  for (const auto& sub : view->subviews()) collect(sub, window, clip, content);
}

// The floor's frame: the same pictures and texts painted plainly.
void drawFloor(const FrameContent& content, cg::Size size, double scale) {
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(size.width * scale), int(size.height * scale));
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  for (const auto& item : content.images) {
    const cg::Image& image = *item.bitmap;
    auto pixels = image.pixelBuffer();
    cairo_surface_t* source = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels->data())), CAIRO_FORMAT_ARGB32,
        image.pixelWidth(), image.pixelHeight(), image.pixelWidth() * 4);
    cairo_save(cr);
    cairo_rectangle(cr, item.clip.x(), item.clip.y(), item.clip.width(), item.clip.height());
    cairo_clip(cr);
    cairo_translate(cr, item.rect.x(), item.rect.y());
    cairo_scale(cr, item.rect.width() / image.pixelWidth(), item.rect.height() / image.pixelHeight());
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(source);
  }
  for (const auto& item : content.texts) {
    cairo_save(cr);
    cairo_rectangle(cr, item.clip.x(), item.clip.y(), item.clip.width(), item.clip.height());
    cairo_clip(cr);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string(item.fontName.c_str());
    pango_font_description_set_absolute_size(font, item.pointSize * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, item.text.c_str(), int(item.text.size()));
    pango_layout_set_width(layout, int(item.rect.width() * PANGO_SCALE));
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, item.rect.x(), item.rect.y());
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    g_object_unref(layout);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
}

struct Scene {
  std::string name;
  std::vector<double> client, floor;
};

// One drag of the finger from a point by a distance, a frame every step.
struct Drag {
  cg::Point from;
  cg::Point by;
  int frames;
};

void runFrames(Scene& scene, const std::vector<Drag>& drags) {
  auto window = ui::Window::keyWindow();
  if (!window) return;
  const double scale = ui::Screen::mainScreen()->scale();
  for (const Drag& drag : drags) {
    ui::SimulatedTouch touch(window, drag.from);
    for (int i = 1; i <= drag.frames; ++i) {
      double f = double(i) / drag.frames;
      auto start = Clock::now();
      touch.moveTo({drag.from.x + drag.by.x * f, drag.from.y + drag.by.y * f});
      window->layoutIfNeeded();
      auto picture = ui::renderView(window, scale);
      scene.client.push_back(msSince(start));
      if (!picture) std::fprintf(stderr, "bench_frames: nothing drawn\n");

      FrameContent content;
      collect(window, window, window->bounds(), content);
      auto floorStart = Clock::now();
      drawFloor(content, window->bounds().size, scale);
      scene.floor.push_back(msSince(floorStart));
    }
    touch.end();
  }
}

// The least time of a frame, in ms, over batches of frames of the key window in which only a
// spinner in its middle turns, each frame as the window makes it: the layout asked for, the bar's
// clock read, the next change asked, the damage found and drawn again into the kept picture.
double spinnerFrameMs() {
  auto window = ui::Window::keyWindow();
  if (!window) return 0;
  auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::gray);
  spinner->setCenter({window->bounds().width() / 2, window->bounds().height() / 2});
  window->addSubview(spinner);
  spinner->startAnimating();
  const double scale = ui::Screen::mainScreen()->scale();
  auto canvas = cg::Context::makeBitmap(window->bounds().size, false, scale);
  ui::DamageTracker tracker;
  double t = ns::clockNow();
  auto frame = [&] {
    ui::Window::layoutKeyWindow();
    window->statusBar()->refresh();
    t = ui::nextPresentationChange(*window, t).value_or(t + 0.1);
    auto damage = tracker.damage(*window, t, scale);
    ui::renderViewAgain(window, t, *canvas, damage, tracker);
  };
  frame();
  constexpr int kFrames = 300;
  double best = 1e9;
  for (int batch = 0; batch < 5; ++batch) {
    auto start = Clock::now();
    for (int i = 0; i < kFrames; ++i) frame();
    best = std::min(best, msSince(start) / kFrames);
  }
  spinner->removeFromSuperview();
  return best;
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  std::size_t at = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
  return values[at];
}

// Starts the client on a device, runs the script, and calls onStep after each step.
bool runClient(sampleservice::Server& server, const std::string& device, const fs::path& data,
               const fs::path& script, std::function<void(std::size_t step)> onStep) {
  ui::Application::sharedApplication()->reset();
  ui::AlertView::dismissAll();
  ClientProgram program;
  if (program.configure({"--headless", "--host", server.hostAndPort(), "--device", device, "--data",
                         data.string(), "--script", script.string(), "--out", (data / "out").string()}))
    return false;
  std::size_t steps = 0;
  program.session()->setStepObserver([&] { onStep(++steps); });
  char name[] = "vcc";
  char* argv[] = {name, nullptr};
  return ui::applicationMain(1, argv, "", ns::ClassRegistry::shared().registerClassIfNeeded<AppDelegate>()) ==
         0;
}

// One page of the idle measurement: how to get there from the page before, what shows it has
// come, and the share of a core the process took while it stood still.
struct IdlePage {
  std::string name;
  std::vector<std::string> steps;  // script steps: "tap ...", or "post NAME"
  std::string shown;               // a script target present once the page is up
  // Measured while its requests are still out (the service holds its answers), not once they end.
  bool busy = false;
  double share = -1;
  double framesPerSecond = -1;  // pictures the window drew meanwhile
};

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double wallSeconds() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

constexpr int kSpinnerTag = 4711;
// Сериалы, whose titles the slow category page waits for.
constexpr const char* kSlowCategoryId = "2";

std::shared_ptr<ui::View> findTarget(const std::string& target) {
  std::vector<ScriptStep> steps;
  std::string error;
  if (!parseScript("tap " + target, steps, error) || steps.empty()) return nullptr;
  return findScriptView(ui::Window::keyWindow(), steps[0]);
}

// Walks the pages one after another with one-shot timers (so that nothing wakes the client while
// it is measured), measures each, and ends the application after the last.
class IdleWalk : public std::enable_shared_from_this<IdleWalk> {
 public:
  IdleWalk(std::vector<IdlePage>& pages, std::shared_ptr<ClientWindowHost> host)
      : pages_(pages), host_(std::move(host)) {}

  void start() { later(kLookSeconds); }

 private:
  static constexpr double kLookSeconds = 0.2;
  static constexpr double kSettleSeconds = 1.5;
  static constexpr double kMeasureSeconds = 3;
  static constexpr double kGiveUpSeconds = 30;

  void later(double seconds) {
    std::weak_ptr<IdleWalk> weak = weak_from_this();
    ns::Timer::scheduledTimerWithTimeInterval(seconds, false, [weak](const ns::TimerPtr&) {
      if (auto self = weak.lock()) self->look();
    });
  }

  static bool quiet() {
    return ns::URLLoader::shared().activeLoadCount() == 0 &&
           ns::WorkerPool::shared().unfinishedJobCount() == 0;
  }

  void look() {
    if (page_ >= pages_.size()) return ui::applicationExit(0);
    IdlePage& page = pages_[page_];
    const double now = wallSeconds();
    if (pageStart_ == 0) pageStart_ = now;
    if (now - pageStart_ > kGiveUpSeconds) {
      std::fprintf(stderr, "bench_frames: the %s page did not settle\n", page.name.c_str());
      return ui::applicationExit(1);
    }
    if (measureStart_ > 0) {
      page.share = (processSeconds() - cpuStart_) / (now - measureStart_);
      page.framesPerSecond = double(frames() - framesStart_) / (now - measureStart_);
      ++page_;
      step_ = 0;
      pageStart_ = measureStart_ = quietSince_ = 0;
      return later(kLookSeconds);
    }
    if (!quiet() && !(page.busy && step_ >= page.steps.size())) {
      quietSince_ = 0;
      return later(kLookSeconds);
    }
    if (step_ < page.steps.size()) {
      const std::string& step = page.steps[step_];
      if (step.rfind("post ", 0) == 0) {
        ns::NotificationCenter::defaultCenter()->postNotificationName(step.substr(5));
        ++step_;
      } else if (step == "resign") {
        if (auto responder = ui::Responder::currentFirstResponder()) responder->resignFirstResponder();
        ++step_;
      } else if (step == "spinner") {
        addSpinner();
        ++step_;
      } else if (step == "unspin") {
        if (auto window = ui::Window::keyWindow())
          if (auto spinner = window->viewWithTag(kSpinnerTag)) spinner->removeFromSuperview();
        ++step_;
      } else if (auto view = findTarget(step.substr(4))) {
        ui::tap(view);
        ++step_;
      }
      return later(kLookSeconds);
    }
    if (!findTarget(page.shown)) return later(kLookSeconds);
    if (quietSince_ == 0) quietSince_ = now;
    if (now - quietSince_ < kSettleSeconds) return later(kLookSeconds);
    measureStart_ = now;
    cpuStart_ = processSeconds();
    framesStart_ = frames();
    later(kMeasureSeconds);
  }

  // One spinner turning in the middle of the key window, over the page.
  static void addSpinner() {
    auto window = ui::Window::keyWindow();
    if (!window) return;
    auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        ui::ActivityIndicatorViewStyle::gray);
    spinner->setCenter({window->bounds().width() / 2, window->bounds().height() / 2});
    spinner->setTag(kSpinnerTag);
    window->addSubview(spinner);
    spinner->startAnimating();
  }

  std::uint64_t frames() const { return host_ ? host_->framesDrawn() : 0; }

  std::vector<IdlePage>& pages_;
  std::shared_ptr<ClientWindowHost> host_;
  std::uint64_t framesStart_ = 0;
  std::size_t page_ = 0, step_ = 0;
  double pageStart_ = 0, quietSince_ = 0, measureStart_ = 0, cpuStart_ = 0;
};

std::vector<IdlePage> idlePages() {
  return {
      {"home", {}, "TLRubricScrollView"},
      {"title", {"tap TLVideoItemPriview"}, "TLTitleFilmView"},
      {"category",
       {"post TLNavigationShowMenu", "tap TLNavigationMenuTableViewCell \"Фильмы\""},
       "CategoryView"},
      // The menu's search field with the caret blinking in it, nothing else changing.
      {"caret", {"post TLNavigationShowMenu", "tap SearchBar"}, "SearchBar"},
      // The same page with the keyboard gone and one spinner turning.
      {"spinner", {"resign", "spinner"}, "ActivityIndicatorView"},
      // A category whose titles the service holds back: the page's spinner and the status bar's
      // turn together, as behind a slow service.
      {"slow_category",
       {"unspin", "post TLNavigationShowMenu", "tap TLNavigationMenuTableViewCell \"Сериалы\""},
       "CategoryView",
       true},
  };
}

// In the process started with --idle: the tablet client in its window against the service at the
// host, through the pages; prints "idle <page> <share of a core>" for each.
int runIdle(const std::string& host, const std::string& data) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("VCC_COLLECT_URL", "http://127.0.0.1:9/collect", 1);
  auto pages = idlePages();
  ClientProgram program;
  if (program.configure({"--window", "--host", host, "--device", "tablet", "--data", data, "--scale", "1"}))
    return 1;
  auto walk = std::make_shared<IdleWalk>(pages, program.window());
  walk->start();
  char name[] = "vcc";
  char* argv[] = {name, nullptr};
  int exitCode =
      ui::applicationMain(1, argv, "", ns::ClassRegistry::shared().registerClassIfNeeded<AppDelegate>());
  for (const IdlePage& page : pages)
    std::printf("idle %s %.6f %.3f\n", page.name.c_str(), page.share, page.framesPerSecond);
  return exitCode;
}

// The idle pages measured in a process of their own; false when it failed.
bool measureIdle(sampleservice::Server& server, const fs::path& data, std::vector<IdlePage>& pages) {
  std::vector<std::string> arguments{"bench_frames", "--idle", server.hostAndPort(), data.string()};
  auto output = outputOfSelf(arguments);
  if (!output) return false;
  const std::string& text = *output;
  for (IdlePage& page : pages) {
    auto at = text.find("idle " + page.name + " ");
    if (at == std::string::npos) return false;
    if (std::sscanf(text.c_str() + at + page.name.size() + 6, "%lf %lf", &page.share,
                    &page.framesPerSecond) != 2)
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--idle") return runIdle(argv[2], argv[3]);

  const fs::path root = fs::temp_directory_path() / ("bench-frames-" + std::to_string(::getpid()));
  fs::create_directories(root);
  setenv("VCC_COLLECT_URL", "http://127.0.0.1:9/collect", 1);
  sampleservice::Server server;
  server.start();

  {
    std::ofstream(root / "tablet.vcc") << "wait\n"
                                          "tap Button \"Навигация\"\n"
                                          "tap TLNavigationMenuTableViewCell \"Фильмы\"\n"
                                          "wait\n";
    std::ofstream(root / "phone.vcc") << "wait\n";
  }
  Scene home, grid, phone;
  double spinnerBig = 0, spinnerEmpty = 0;
  home.name = "tablet_home";
  grid.name = "tablet_grid";
  phone.name = "phone_home";
  // A first start with cold caches fetches the posters; the measured starts show them from files.
  runClient(server, "tablet", root / "tablet", root / "phone.vcc", [](std::size_t) {});
  runClient(server, "phone", root / "phone", root / "phone.vcc", [](std::size_t) {});
  bool ok = runClient(server, "tablet", root / "tablet", root / "tablet.vcc", [&](std::size_t step) {
    // Down over the rows and back up: the finger moves up, then down.
    if (step == 1) runFrames(home, {{{384, 900}, {0, -600}, 60}, {{384, 300}, {0, 600}, 60}});
    // The settled home page, then an empty window of its size in its place.
    if (step == 1) {
      spinnerBig = spinnerFrameMs();
      auto page = ui::Window::keyWindow();
      auto empty = std::make_shared<ui::Window>()->initWithFrame(page->bounds());
      empty->makeKeyAndVisible();
      spinnerEmpty = spinnerFrameMs();
      page->makeKeyAndVisible();
    }
    // Two pages to the left and back.
    if (step == 4)
      runFrames(grid, {{{700, 600}, {-500, 0}, 25},
                       {{700, 600}, {-500, 0}, 25},
                       {{200, 600}, {500, 0}, 25},
                       {{200, 600}, {500, 0}, 25}});
  });
  ok = runClient(server, "phone", root / "phone", root / "phone.vcc",
                 [&](std::size_t step) {
                   if (step == 1) runFrames(phone, {{{160, 400}, {0, -300}, 60}, {{160, 100}, {0, 300}, 60}});
                 }) &&
       ok;
  auto idle = idlePages();
  sampleservice::Override held;
  held.held = true;
  server.setOverride("/api/mobile.pl", "get_category_titles", {{"category_id", kSlowCategoryId}}, held);
  ok = measureIdle(server, root / "tablet", idle) && ok;
  server.stop();
  fs::remove_all(root);
  if (!ok) std::fprintf(stderr, "bench_frames: a client run failed\n");

  std::vector<Scene*> scenes{&home, &grid, &phone};
  for (Scene* s : scenes)
    std::printf(
        "%s: %zu frames; client p50 %.2f ms, p95 %.2f ms, worst %.2f ms; floor p50 %.2f ms, p95 %.2f ms, "
        "worst %.2f ms\n",
        s->name.c_str(), s->client.size(), percentile(s->client, 0.5), percentile(s->client, 0.95),
        percentile(s->client, 1), percentile(s->floor, 0.5), percentile(s->floor, 0.95),
        percentile(s->floor, 1));
  for (const IdlePage& page : idle)
    std::printf("the %s page standing still in the window: %.3f %% of a core, %.1f pictures a second\n",
                page.name.c_str(), page.share * 100, page.framesPerSecond);
  for (Scene* s : scenes) {
    double floorP95 = percentile(s->floor, 0.95);
    std::printf("ratio frame_p95_%s = %.2f (target <= 2.0)\n", s->name.c_str(),
                floorP95 > 0 ? percentile(s->client, 0.95) / floorP95 : 0);
  }
  for (Scene* s : scenes)
    std::printf("ratio frame_budget_%s = %.2f (target <= 1.0)\n", s->name.c_str(),
                percentile(s->client, 0.95) / 16.7);
  std::printf("a spinner's frame: %.4f ms over the tablet home page, %.4f ms over an empty window\n",
              spinnerBig, spinnerEmpty);
  for (const IdlePage& page : idle)
    std::printf("ratio idle_cpu_%s = %.2f (target <= 1)\n", page.name.c_str(), page.share / 0.01);
  std::printf("ratio spinner_frame_big_page = %.2f (target <= 2)\n",
              spinnerEmpty > 0 ? spinnerBig / spinnerEmpty : 0);
  return 0;
}
