// The desktop window: the one source that speaks to the window system.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "App/ClientProgram.h"
#include "Foundation/Format.h"
#include "Foundation/Timer.h"
#include "UIKit/AlertView.h"
#include "UIKit/SearchBar.h"
#include "UIKit/StatusBar.h"
#include "UIKit/TextView.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/WebView.h"
#include "UIKit/Window.h"

namespace {

// The tree is looked at (and drawn when it changed) thirty times a second.
constexpr double kFrameSeconds = 1.0 / 30;
// How far one notch of a mouse wheel scrolls, in points.
constexpr double kWheelStepPoints = 40;
// The caret shows, then hides, for this long each; typing shows it at once.
constexpr double kCaretBlinkSeconds = 0.53;
// Room the window system takes around a window (title bar, frame), in pixels.
constexpr int kDecorationPixels = 40;

double secondsNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
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
    std::weak_ptr<SDLWindowHost> weak = weak_from_this();
    frameTimer_ = ns::Timer::scheduledTimerWithTimeInterval(kFrameSeconds, true, [weak](const ns::TimerPtr&) {
      if (auto self = weak.lock()) self->frame();
    });
  }

  void applicationDidExit(int exitCode) override {
    if (frameTimer_) frameTimer_->invalidate();
    frameTimer_.reset();
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
    SDL_PushEvent(&event);
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
    SDL_PushEvent(&event);
  }

  void postText(const std::string& text) override {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = windowId();
    std::strncpy(event.text.text, text.c_str(), sizeof event.text.text - 1);
    SDL_PushEvent(&event);
  }

  void postKey(Key key) override {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = windowId();
    event.key.state = SDL_PRESSED;
    switch (key) {
      case Key::returnKey:
        event.key.keysym.sym = SDLK_RETURN;
        event.key.keysym.scancode = SDL_SCANCODE_RETURN;
        break;
      case Key::escape:
        event.key.keysym.sym = SDLK_ESCAPE;
        event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
        break;
      case Key::backspace:
        event.key.keysym.sym = SDLK_BACKSPACE;
        event.key.keysym.scancode = SDL_SCANCODE_BACKSPACE;
        break;
    }
    SDL_PushEvent(&event);
  }

  void postClose() override {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId();
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&event);
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

 private:
  int pixels(double points) const { return static_cast<int>(points * scale_ + 0.5); }
  Uint32 windowId() const { return window_ ? SDL_GetWindowID(window_) : 0; }

  // The largest of 1, 0.75 and 0.5 at which the window and its frame fit the display's usable
  // area; 0.5 when none does.
  double fittingScale(cg::Size points) const {
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return 1;
    for (double scale : {1.0, 0.75, 0.5}) {
      double factor = options_.device.scale * scale;
      if (points.width * factor <= usable.w && points.height * factor + kDecorationPixels <= usable.h)
        return scale;
    }
    return 0.5;
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

  void frame() {
    if (!window_) return;
    SDL_Event event;
    while (window_ && SDL_PollEvent(&event)) handle(event);
    if (!window_) return;
    bool changed = blinkCaret();
    if (auto window = ui::Window::keyWindow()) {
      // A shot may have refreshed the bar since the last frame: what counts is what was drawn.
      auto& bar = window->statusBar();
      bar->refresh();
      std::string shown = bar->timeText() + " " + std::to_string(bar->spinnerStep());
      changed = shown != barShown_ || changed;
      barShown_ = std::move(shown);
    }
    redraw(changed);
    if (frameObserver_) frameObserver_();
  }

  // The caret's blink, started afresh by each key; true when a shown caret changed.
  bool blinkCaret() {
    bool on = std::fmod(secondsNow() - lastKeySeconds_, 2 * kCaretBlinkSeconds) < kCaretBlinkSeconds;
    if (on == ui::isCaretBlinkOn()) return false;
    ui::setCaretBlinkOn(on);
    return ui::Responder::isKeyboardShown();
  }

  // Mouse positions are window pixels; the view tree takes points.
  cg::Point point(int x, int y) const { return {x / scale_, y / scale_}; }

  void handle(const SDL_Event& event) {
    auto window = ui::Window::keyWindow();
    switch (event.type) {
      case SDL_QUIT:
        ui::applicationExit(0);
        return;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) ui::applicationExit(0);
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) dump_.clear();
        return;
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT && window) {
          touch_.reset();
          touch_ = std::make_unique<ui::SimulatedTouch>(window, point(event.button.x, event.button.y));
        }
        return;
      case SDL_MOUSEMOTION:
        if (touch_ && (event.motion.state & SDL_BUTTON_LMASK))
          touch_->moveTo(point(event.motion.x, event.motion.y));
        return;
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && touch_) {
          touch_->moveTo(point(event.button.x, event.button.y));
          touch_->end();
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
    lastKeySeconds_ = secondsNow();
    auto responder = ui::Responder::currentFirstResponder();
    if (auto field = std::dynamic_pointer_cast<ui::SearchBar>(responder))
      field->simulateTyping(text);
    else if (auto editor = std::dynamic_pointer_cast<ui::TextView>(responder))
      editor->simulateTyping(text);
    else if (auto web = std::dynamic_pointer_cast<ui::WebView>(responder))
      web->simulateTyping(text);
  }

  void key(SDL_Keycode code) {
    const bool enter = code == SDLK_RETURN || code == SDLK_KP_ENTER;
    // An alert takes the keyboard: Return picks its answer, Escape its cancel button.
    if (auto alert = ui::AlertView::frontAlert()) {
      if (enter) alert->tapButtonAtIndex(alert->returnKeyButtonIndex());
      if (code == SDLK_ESCAPE) alert->tapButtonAtIndex(alert->cancelButtonIndex());
      return;
    }
    lastKeySeconds_ = secondsNow();
    auto responder = ui::Responder::currentFirstResponder();
    if (auto field = std::dynamic_pointer_cast<ui::SearchBar>(responder)) {
      if (enter) field->simulateSearchKey();
      if (code == SDLK_BACKSPACE) field->simulateDeleteBackward();
    } else if (auto editor = std::dynamic_pointer_cast<ui::TextView>(responder)) {
      if (enter) editor->simulateReturnKey();
    }
  }

  // The window shows what the renderer draws for the key window; it is drawn again when the tree's
  // dump changes (which covers images arriving, as they are described in it) or when `changed`
  // says the status bar or the caret did, and follows the key window's size (rotation).
  void redraw(bool changed) {
    auto window = ui::Window::keyWindow();
    if (!window) return;
    std::string dump = ui::dumpViewTree(window);
    if (dump == dump_ && !changed) return;
    int w = pixels(window->bounds().size.width), h = pixels(window->bounds().size.height);
    int cw = 0, ch = 0;
    SDL_GetWindowSize(window_, &cw, &ch);
    if (cw != w || ch != h) SDL_SetWindowSize(window_, w, h);
    auto picture = ui::renderView(window, scale_);
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (!picture || !target) return;
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint32_t*>(picture->pixels().data()), picture->pixelWidth(), picture->pixelHeight(),
        32, picture->pixelWidth() * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!source) return;
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window_);
    dump_ = std::move(dump);
  }

  ClientOptions options_;
  std::shared_ptr<ClientSession> session_;
  SDL_Window* window_ = nullptr;
  bool initialised_ = false;
  // Window pixels per point: the device's scale times the window's.
  double scale_ = 1;
  double windowScale_ = 1;
  double lastKeySeconds_ = 0;
  ns::TimerPtr frameTimer_;
  std::unique_ptr<ui::SimulatedTouch> touch_;
  std::string dump_;
  std::string barShown_;
  std::function<void()> frameObserver_;
};

}  // namespace

std::shared_ptr<ClientWindowHost> makeWindowHost(const ClientOptions& options,
                                                 std::shared_ptr<ClientSession> session, std::string& error) {
  auto host = std::make_shared<SDLWindowHost>(options, std::move(session));
  if (!host->open(error)) return nullptr;
  return host;
}
