// The desktop window: the one source that speaks to the window system.
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "App/ClientProgram.h"
#include "Foundation/Clock.h"
#include "Foundation/Format.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Timer.h"
#include "Graphics/Context.h"
#include "Graphics/Layer.h"
#include "UIKit/AlertView.h"
#include "UIKit/DamageTracker.h"
#include "UIKit/StatusBar.h"
#include "UIKit/TextInput.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"

// Last: the window system's own headers define names (None, Bool, Status) that others use.
#include <SDL.h>
#include <SDL_syswm.h>

namespace {

// While an animation runs, the window draws this often.
constexpr double kFrameSeconds = 1.0 / 60;
// Window systems with no descriptor to wait on are asked for their events this often.
constexpr double kEventPollSeconds = 1.0 / 30;
// Keys typed by a program come faster than a picture is drawn, each through a key the program
// maps for the moment and maps back a few milliseconds later: they must be read while the mapping
// holds. So while keys come this close together the picture waits for them to pause.
constexpr double kTypingPauseSeconds = 0.1;
// A timer is set no sooner than this: a moment worked out from the clock may fall a hair before
// the change it waits for.
constexpr double kLeastWaitSeconds = 0.001;
// How far one notch of a mouse wheel scrolls, in points; a picker turns a row for each.
constexpr double kWheelStepPoints = ui::kWheelNotchPoints;
// The caret shows, then hides, for this long each; typing shows it at once.
constexpr double kCaretBlinkSeconds = 0.53;
// Room the window system takes around a window (title bar, frame), in pixels.
constexpr int kDecorationPixels = 40;
// A window too big for the display is made smaller in steps of this, down to the smallest scale.
constexpr double kScaleStep = 0.05;
constexpr double kSmallestScale = 0.25;

std::optional<double> earliest(std::optional<double> a, std::optional<double> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

class SDLWindowHost final : public ClientWindowHost, public std::enable_shared_from_this<SDLWindowHost> {
 public:
  SDLWindowHost(const ClientOptions& options, std::shared_ptr<ClientSession> session)
      : options_(options), session_(std::move(session)) {}
  ~SDLWindowHost() override { close(); }

  bool open(std::string& error) {
    // The picture is drawn in software and copied to the window's own surface: no GL context.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      error = std::string("cannot open a window: ") + SDL_GetError();
      return false;
    }
    initialised_ = true;
    cg::Size size = options_.device.screenSize;
    if (ui::isLandscape(options_.orientation)) std::swap(size.width, size.height);
    windowScale_ = options_.windowScale > 0 ? options_.windowScale : fittingScale(size);
    scale_ = options_.device.scale * windowScale_;
    window_ = SDL_CreateWindow(title().c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               pixels(size.width), pixels(size.height), 0);
    if (!window_) {
      error = std::string("cannot open a window: ") + SDL_GetError();
      return false;
    }
    SDL_StartTextInput();
    return true;
  }

  void applicationDidLaunch() override {
    if (session_)
      session_->applicationDidLaunch();
    else if (ui::isLandscape(options_.orientation))
      ui::simulateRotation(options_.orientation);
    // Added after the key window's layout pass: it draws laid-out trees.
    std::weak_ptr<SDLWindowHost> weak = weak_from_this();
    auto loop = ns::RunLoop::mainRunLoop();
    observer_ = loop->addBeforeWaitingObserver([weak] {
      if (auto self = weak.lock()) self->frame();
    });
    observing_ = true;
    watchEvents();
  }

  void applicationDidExit(int exitCode) override {
    auto loop = ns::RunLoop::mainRunLoop();
    if (observing_) loop->removeBeforeWaitingObserver(observer_);
    observing_ = false;
    if (eventSource_) loop->removeFileDescriptorSource(*eventSource_);
    eventSource_.reset();
    for (auto* timer : {&frameTimer_, &pollTimer_}) {
      if (*timer) (*timer)->invalidate();
      timer->reset();
    }
    if (session_) session_->applicationDidExit(exitCode);
    ui::setCaretBlinkOn(true);
    close();
  }

  void postMouse(Mouse what, double x, double y) override {
    SDL_Event event{};
    if (what == Mouse::move) {
      event.type = SDL_MOUSEMOTION;
      event.motion.windowID = windowId();
      event.motion.x = static_cast<int>(x);
      event.motion.y = static_cast<int>(y);
      event.motion.state = SDL_BUTTON_LMASK;
    } else {
      event.type = what == Mouse::down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      event.button.windowID = windowId();
      event.button.button = SDL_BUTTON_LEFT;
      event.button.state = what == Mouse::down ? SDL_PRESSED : SDL_RELEASED;
      event.button.x = static_cast<int>(x);
      event.button.y = static_cast<int>(y);
    }
    post(event);
  }

  void postWheel(double x, double y, double dx, double dy) override {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = windowId();
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    event.wheel.x = static_cast<Sint32>(dx);
    event.wheel.y = static_cast<Sint32>(dy);
    event.wheel.preciseX = static_cast<float>(dx);
    event.wheel.preciseY = static_cast<float>(dy);
    event.wheel.mouseX = static_cast<Sint32>(x);
    event.wheel.mouseY = static_cast<Sint32>(y);
    post(event);
  }

  void postText(const std::string& text) override {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = windowId();
    std::strncpy(event.text.text, text.c_str(), sizeof event.text.text - 1);
    post(event);
  }

  void postKey(Key key) override {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = windowId();
    event.key.state = SDL_PRESSED;
    struct Code {
      SDL_Keycode sym;
      SDL_Scancode scancode;
    };
    static constexpr Code kCodes[] = {
        {SDLK_RETURN, SDL_SCANCODE_RETURN},       {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE},
        {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE}, {SDLK_DELETE, SDL_SCANCODE_DELETE},
        {SDLK_LEFT, SDL_SCANCODE_LEFT},           {SDLK_RIGHT, SDL_SCANCODE_RIGHT},
        {SDLK_HOME, SDL_SCANCODE_HOME},           {SDLK_END, SDL_SCANCODE_END},
    };
    // In the order of Key's values.
    const Code& code = kCodes[static_cast<int>(key)];
    event.key.keysym.sym = code.sym;
    event.key.keysym.scancode = code.scancode;
    post(event);
  }

  void postClose() override {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId();
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    post(event);
  }

  void postExpose() override {
    if (SDL_Surface* surface = window_ ? SDL_GetWindowSurface(window_) : nullptr)
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId();
    event.window.event = SDL_WINDOWEVENT_EXPOSED;
    post(event);
  }

  double windowScale() const override { return windowScale_; }

  bool readPixels(int& width, int& height, std::vector<std::uint32_t>& out) override {
    SDL_Surface* surface = window_ ? SDL_GetWindowSurface(window_) : nullptr;
    if (!surface) return false;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!argb) return false;
    width = argb->w;
    height = argb->h;
    out.resize(static_cast<std::size_t>(width) * height);
    SDL_LockSurface(argb);
    for (int y = 0; y < height; ++y)
      std::memcpy(
          out.data() + static_cast<std::size_t>(y) * width,
          static_cast<const std::uint8_t*>(argb->pixels) + static_cast<std::ptrdiff_t>(y) * argb->pitch,
          static_cast<std::size_t>(width) * 4);
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return true;
  }

  void setFrameObserver(std::function<void()> observer) override { frameObserver_ = std::move(observer); }
  std::uint64_t framesDrawn() const override { return framesDrawn_; }
  double lastFrameTime() const override { return lastFrameTime_; }

 private:
  int pixels(double points) const { return static_cast<int>(points * scale_ + 0.5); }
  Uint32 windowId() const { return window_ ? SDL_GetWindowID(window_) : 0; }

  // The largest scale, in steps down from 1, at which the window and its frame fit the display's
  // usable area; the smallest when none does.
  double fittingScale(cg::Size points) const {
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return 1;
    for (int step = 0;; ++step) {
      double scale = 1 - step * kScaleStep;
      if (scale < kSmallestScale + kScaleStep / 2) return kSmallestScale;
      double factor = options_.device.scale * scale;
      if (points.width * factor <= usable.w && points.height * factor + kDecorationPixels <= usable.h)
        return scale;
    }
  }

  std::string title() const {
    std::string text = "Video catalogue client: " + options_.deviceName;
    if (windowScale_ != 1) text += ns::format(" at %g%%", windowScale_ * 100);
    return text;
  }

  void close() {
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (initialised_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    initialised_ = false;
  }

  // Queues an event as the window system would and has it handled at the run loop's next pass.
  void post(SDL_Event& event) {
    SDL_PushEvent(&event);
    std::weak_ptr<SDLWindowHost> weak = weak_from_this();
    ns::RunLoop::mainRunLoop()->performBlock([weak] {
      if (auto self = weak.lock()) self->drainEvents();
    });
  }

  // Events are read as they arrive: an X11 connection's descriptor wakes the main run loop; other
  // window systems are asked at a steady pace. The offscreen and dummy drivers have only the
  // events posted to them.
  void watchEvents() {
    std::weak_ptr<SDLWindowHost> weak = weak_from_this();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
      eventSource_ = ns::RunLoop::mainRunLoop()->addFileDescriptorSource(
          ConnectionNumber(info.info.x11.display), POLLIN, [weak](short) {
            if (auto self = weak.lock()) self->drainEvents();
          });
      return;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) return;
    pollTimer_ =
        ns::Timer::scheduledTimerWithTimeInterval(kEventPollSeconds, true, [weak](const ns::TimerPtr&) {
          if (auto self = weak.lock()) self->drainEvents();
        });
  }

  void drainEvents() {
    SDL_Event event;
    while (window_ && SDL_PollEvent(&event)) handle(event);
  }

  // At the end of each pass of the main run loop: draws the key window when anything it shows
  // has changed (a view noted a change, a turning spinner or a playing video moved on, the caret
  // blinked, the status bar's minute or spinner turned), or once a frame's time while an
  // animation runs, and sets one timer for the next moment something will change by itself;
  // none while all stands still.
  void frame() {
    if (!window_) return;
    drainEvents();
    if (!window_) return;
    const double now = ns::clockNow();
    ui::Window::layoutKeyWindow();
    auto window = ui::Window::keyWindow();
    blinkCaret(now);
    std::optional<double> next = nextBlink(now);
    std::optional<double> motion;
    if (window) {
      // A shot may have refreshed the bar since the last frame: what counts is what was drawn.
      auto& bar = window->statusBar();
      bar->refresh();
      next = earliest(next, bar->nextChange(now));
      // Asked before the count is read: an animation that ended notes a change for its last frame.
      motion = ui::nextPresentationChange(*window, now);
    }
    // A picture that moves by itself has moved once the moment it named has come; a running
    // animation moves all the time, and is drawn once a frame's time.
    const bool changed = exposed_ || cg::displayGeneration() != drawnGeneration_;
    const bool moved = motionDue_ && *motionDue_ <= now;
    const bool animating = motion && *motion <= now;
    const bool paced = animating && now >= lastFrameTime_ + kFrameSeconds;
    if (window && (changed || moved || paced) && now < lastKeyEventSeconds_ + kTypingPauseSeconds) {
      schedule(lastKeyEventSeconds_ + kTypingPauseSeconds, now);
      return;
    }
    if (window && (changed || moved || paced)) redraw(window, now);
    motionDue_ = animating ? std::nullopt : motion;
    next = earliest(next, animating ? std::optional<double>(lastFrameTime_ + kFrameSeconds) : motion);
    schedule(next, now);
    // The window system's library may have read events while the picture went out.
    SDL_PumpEvents();
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
      std::weak_ptr<SDLWindowHost> weak = weak_from_this();
      ns::RunLoop::mainRunLoop()->performBlock([weak] {
        if (auto self = weak.lock()) self->drainEvents();
      });
    }
    if (frameObserver_) frameObserver_();
  }

  // One timer for the next moment to look again; its firing makes the pass that draws.
  void schedule(std::optional<double> at, double now) {
    if (!at) {
      if (frameTimer_) frameTimer_->invalidate();
      frameTimer_.reset();
      return;
    }
    const double when = std::max(*at, now + kLeastWaitSeconds);
    if (frameTimer_ && frameTimer_->isValid()) {
      if (frameTimer_->fireDate().timeIntervalSince1970() != when) frameTimer_->setFireDate(ns::Date(when));
      return;
    }
    frameTimer_ = ns::Timer::timerWithTimeInterval(when - now, false, [](const ns::TimerPtr&) {});
    frameTimer_->setFireDate(ns::Date(when));
    // It paces the picture; a script waiting for the client to settle does not wait for it.
    frameTimer_->setCountsAsPendingWork(false);
    ns::RunLoop::mainRunLoop()->addTimer(frameTimer_, ns::kDefaultRunLoopMode);
  }

  // The text input that holds the keyboard in the key window: the one caret drawn.
  std::shared_ptr<ui::View> caretInput() const {
    auto input = ui::currentTextInput();
    auto window = ui::Window::keyWindow();
    return input && window && input->window() == window ? input : nullptr;
  }

  // The caret's blink, started afresh by each key and when an input takes the keyboard; on while
  // no caret shows.
  void blinkCaret(double now) {
    auto input = caretInput();
    if (input && input != blinkingInput_.lock()) lastKeySeconds_ = now;
    blinkingInput_ = input;
    ui::setCaretBlinkOn(!input ||
                        std::fmod(now - lastKeySeconds_, 2 * kCaretBlinkSeconds) < kCaretBlinkSeconds);
  }

  std::optional<double> nextBlink(double now) const {
    if (!blinkingInput_.lock()) return std::nullopt;
    return lastKeySeconds_ +
           (std::floor((now - lastKeySeconds_) / kCaretBlinkSeconds) + 1) * kCaretBlinkSeconds;
  }

  // Mouse positions are window pixels; the view tree takes points.
  cg::Point point(int x, int y) const { return {x / scale_, y / scale_}; }
  // When an event happened, on the platform clock: moves that queued up behind a slow frame keep
  // the speed they were made at. SDL stamps events in milliseconds as they are queued.
  static double eventTime(Uint32 stamp) {
    Uint32 age = SDL_GetTicks() - stamp;
    return ns::clockNow() - std::min<Uint32>(age, 1000) / 1000.0;
  }

  void handle(const SDL_Event& event) {
    auto window = ui::Window::keyWindow();
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP || event.type == SDL_TEXTINPUT ||
        event.type == SDL_TEXTEDITING)
      lastKeyEventSeconds_ = ns::clockNow();
    switch (event.type) {
      case SDL_QUIT:
        ui::applicationExit(0);
        return;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) ui::applicationExit(0);
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) exposed_ = true;
        return;
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT && window) {
          touch_.reset();
          touch_ = std::make_unique<ui::SimulatedTouch>(window, point(event.button.x, event.button.y),
                                                        eventTime(event.button.timestamp));
        }
        return;
      case SDL_MOUSEMOTION:
        if (touch_ && (event.motion.state & SDL_BUTTON_LMASK))
          touch_->moveTo(point(event.motion.x, event.motion.y), eventTime(event.motion.timestamp));
        return;
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && touch_) {
          double at = eventTime(event.button.timestamp);
          touch_->moveTo(point(event.button.x, event.button.y), at);
          touch_->end(at);
          touch_.reset();
        }
        return;
      case SDL_MOUSEWHEEL:
        if (window && !touch_) wheel(window, event.wheel);
        return;
      case SDL_TEXTINPUT:
        if (!ui::AlertView::frontAlert()) type(event.text.text);
        return;
      case SDL_KEYDOWN:
        key(event.key.keysym.sym);
        return;
      default:
        return;
    }
  }

  void wheel(const std::shared_ptr<ui::Window>& window, const SDL_MouseWheelEvent& wheel) {
    double dx = wheel.preciseX, dy = wheel.preciseY;
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
      dx = -dx;
      dy = -dy;
    }
    // A wheel turned away moves the content down: the offset goes up. Shift turns it sideways.
    cg::Point distance{dx * kWheelStepPoints, -dy * kWheelStepPoints};
    if (SDL_GetModState() & KMOD_SHIFT) distance = {distance.x + distance.y, 0};
    ui::scrollWheelAtPoint(window, point(wheel.mouseX, wheel.mouseY), distance);
  }

  void type(const std::string& text) {
    lastKeySeconds_ = ns::clockNow();
    auto responder = ui::Responder::currentFirstResponder();
    if (auto* input = dynamic_cast<ui::TextInput*>(responder.get())) input->insertText(text);
  }

  void key(SDL_Keycode code) {
    const bool enter = code == SDLK_RETURN || code == SDLK_KP_ENTER;
    // An alert takes the keyboard: Return picks its answer, Escape its cancel button.
    if (auto alert = ui::AlertView::frontAlert()) {
      if (enter) alert->tapButtonAtIndex(alert->returnKeyButtonIndex());
      if (code == SDLK_ESCAPE) alert->tapButtonAtIndex(alert->cancelButtonIndex());
      return;
    }
    lastKeySeconds_ = ns::clockNow();
    auto responder = ui::Responder::currentFirstResponder();
    auto* input = dynamic_cast<ui::TextInput*>(responder.get());
    if (!input) return;
    switch (code) {
      case SDLK_RETURN:
      case SDLK_KP_ENTER:
        input->returnKey();
        break;
      case SDLK_BACKSPACE:
        input->deleteBackward();
        break;
      case SDLK_DELETE:
        input->deleteForward();
        break;
      case SDLK_LEFT:
        input->moveCaret(ui::CaretMove::left);
        break;
      case SDLK_RIGHT:
        input->moveCaret(ui::CaretMove::right);
        break;
      case SDLK_HOME:
        input->moveCaret(ui::CaretMove::lineStart);
        break;
      case SDLK_END:
        input->moveCaret(ui::CaretMove::lineEnd);
        break;
      default:
        break;
    }
  }

  // The window shows what the renderer draws for the key window at this moment, and follows its
  // size (rotation). The picture is kept from frame to frame and drawn again only where it changed.
  void redraw(const std::shared_ptr<ui::Window>& window, double now) {
    int w = pixels(window->bounds().size.width), h = pixels(window->bounds().size.height);
    int cw = 0, ch = 0;
    SDL_GetWindowSize(window_, &cw, &ch);
    bool whole = exposed_;
    if (cw != w || ch != h) {
      SDL_SetWindowSize(window_, w, h);
      whole = true;
    }
    if (!canvas_ || canvas_->size() != window->bounds().size || canvas_->scale() != scale_) {
      canvas_ = cg::Context::makeBitmap(window->bounds().size, false, scale_);
      whole = true;
    }
    if (whole) damage_.invalidate();
    std::vector<cg::PixelRect> damage;
    if (canvas_) {
      damage = damage_.damage(*window, now, scale_);
      ui::renderViewAgain(window, now, *canvas_, damage, damage_);
    }
    // What the picture shows, including what drawing it settled (the status bar's frame).
    drawnGeneration_ = cg::displayGeneration();
    exposed_ = false;
    lastFrameTime_ = now;
    ++framesDrawn_;
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (!canvas_ || !target || damage.empty()) return;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint32_t*>(canvas_->pixelData()), canvas_->pixelWidth(), canvas_->pixelHeight(), 32,
        canvas_->pixelStride(), SDL_PIXELFORMAT_ARGB8888);
    if (!source) return;
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    std::vector<SDL_Rect> rects;
    for (const cg::PixelRect& r : damage) {
      SDL_Rect rect{r.x, r.y, r.width, r.height};
      SDL_Rect to = rect;
      SDL_BlitSurface(source, &rect, target, &to);
      rects.push_back(rect);
    }
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurfaceRects(window_, rects.data(), int(rects.size()));
  }

  ClientOptions options_;
  std::shared_ptr<ClientSession> session_;
  SDL_Window* window_ = nullptr;
  bool initialised_ = false;
  // Window pixels per point: the device's scale times the window's.
  double scale_ = 1;
  double windowScale_ = 1;
  double lastKeySeconds_ = 0;
  // When the last key event came, typed or not (see kTypingPauseSeconds).
  double lastKeyEventSeconds_ = -1;
  std::weak_ptr<ui::View> blinkingInput_;
  ns::RunLoop::ObserverId observer_ = 0;
  bool observing_ = false;
  std::optional<ns::RunLoop::SourceId> eventSource_;
  ns::TimerPtr pollTimer_;
  ns::TimerPtr frameTimer_;
  std::unique_ptr<ui::SimulatedTouch> touch_;
  // The display generation the window's picture shows; set again when it is drawn.
  std::uint64_t drawnGeneration_ = 0;
  // When a view that moves by itself said, at the last look, that its picture changes next.
  std::optional<double> motionDue_;
  bool exposed_ = true;
  std::uint64_t framesDrawn_ = 0;
  double lastFrameTime_ = 0;
  std::function<void()> frameObserver_;
  // The window's picture, drawn again where the tracker finds it changed.
  std::unique_ptr<cg::Context> canvas_;
  ui::DamageTracker damage_;
};

}  // namespace

std::shared_ptr<ClientWindowHost> makeWindowHost(const ClientOptions& options,
                                                 std::shared_ptr<ClientSession> session, std::string& error) {
  auto host = std::make_shared<SDLWindowHost>(options, std::move(session));
  if (!host->open(error)) return nullptr;
  return host;
}
