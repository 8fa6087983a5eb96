// The desktop window: the one source that speaks to the window system.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "App/ClientProgram.h"
#include "Foundation/Timer.h"
#include "UIKit/SearchBar.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"

namespace {

// The tree is looked at (and drawn when it changed) thirty times a second.
constexpr double kFrameSeconds = 1.0 / 30;

class SDLWindowHost final : public ClientWindowHost, public std::enable_shared_from_this<SDLWindowHost> {
 public:
  SDLWindowHost(const ClientOptions& options, std::shared_ptr<ClientSession> session)
      : options_(options), session_(std::move(session)) {}
  ~SDLWindowHost() override { close(); }

  bool open(std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      error = std::string("cannot open a window: ") + SDL_GetError();
      return false;
    }
    initialised_ = true;
    cg::Size size = options_.device.screenSize;
    if (ui::isLandscape(options_.orientation)) std::swap(size.width, size.height);
    scale_ = options_.device.scale;
    window_ = SDL_CreateWindow("Video catalogue client", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
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

  void postText(const std::string& text) override {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    event.text.windowID = windowId();
    std::strncpy(event.text.text, text.c_str(), sizeof event.text.text - 1);
    SDL_PushEvent(&event);
  }

  void postReturnKey() override {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = windowId();
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = SDLK_RETURN;
    event.key.keysym.scancode = SDL_SCANCODE_RETURN;
    SDL_PushEvent(&event);
  }

  void postClose() override {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId();
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&event);
  }

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
    redrawIfChanged();
    if (frameObserver_) frameObserver_();
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
      case SDL_TEXTINPUT:
        if (auto field = std::dynamic_pointer_cast<ui::SearchBar>(ui::Responder::currentFirstResponder()))
          field->simulateTyping(event.text.text);
        return;
      case SDL_KEYDOWN:
        if (auto field = std::dynamic_pointer_cast<ui::SearchBar>(ui::Responder::currentFirstResponder())) {
          if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER) {
            field->simulateSearchKey();
          } else if (event.key.keysym.sym == SDLK_BACKSPACE && !field->text().empty()) {
            std::string text = field->text();
            // Drops the last character, with all its bytes.
            std::size_t cut = text.size() - 1;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
            field->setText(text.substr(0, cut));
          }
        }
        return;
      default:
        return;
    }
  }

  // The window shows what the renderer draws for the key window; it is drawn again when the tree's
  // dump changes (which covers images arriving, as they are described in it) and follows the key
  // window's size (rotation).
  void redrawIfChanged() {
    auto window = ui::Window::keyWindow();
    if (!window) return;
    std::string dump = ui::dumpViewTree(window);
    if (dump == dump_) return;
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
  double scale_ = 1;
  ns::TimerPtr frameTimer_;
  std::unique_ptr<ui::SimulatedTouch> touch_;
  std::string dump_;
  std::function<void()> frameObserver_;
};

}  // namespace

std::shared_ptr<ClientWindowHost> makeWindowHost(const ClientOptions& options,
                                                 std::shared_ptr<ClientSession> session, std::string& error) {
  auto host = std::make_shared<SDLWindowHost>(options, std::move(session));
  if (!host->open(error)) return nullptr;
  return host;
}
