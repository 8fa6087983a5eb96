#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/ClientOptions.h"
#include "App/ClientSession.h"
#include "UIKit/Device.h"

// The client in a desktop window: what the PNG renderer draws for the key window (the keyboard's
// panel and the status bar over it) is shown as the screen shows it at that moment, drawn again
// only when something it shows has changed (a view noted a change, an animation or a spinner
// moved on, the caret blinked, the bar's minute or spinner turned); mouse presses,
// drags and releases are touches, and the mouse wheel scrolls the scroll view under the pointer
// (sideways with Shift held, or with a sideways wheel); typed text, Backspace, Delete, the arrows
// left and right, Home, End and Return go to the text input that is first responder, or while an
// alert is up Return and Escape answer it.
// The window is the device's size, or smaller when that does not fit the display (clicks are
// mapped back), follows its orientation, names the device in its title, and closing it ends the
// run. A session, when given, runs its script in the window. The window system's own types stay
// in its source; what is here lets tests feed it input as the window system would and read back
// what it shows.
class ClientWindowHost : public ui::ApplicationHost {
 public:
  enum class Mouse { down, move, up };
  enum class Key { returnKey, escape, backspace, deleteKey, left, right, home, end };
  // Queued as window-system events, handled at the main run loop's next pass. Points in window
  // pixels.
  virtual void postMouse(Mouse what, double x, double y) = 0;
  // A wheel turned by notches with the pointer at a point: dy above 0 turns it away from the
  // user (the content moves down), dx above 0 to the right.
  virtual void postWheel(double x, double y, double dx, double dy) = 0;
  virtual void postText(const std::string& text) = 0;
  virtual void postKey(Key key) = 0;
  virtual void postClose() = 0;
  // The desktop uncovered the window and lost what it showed there: the window's pixels are
  // cleared and an expose event is queued, as the window system sends it.
  virtual void postExpose() = 0;
  // The window's size against the device's (1, or smaller to fit the display, or --scale).
  virtual double windowScale() const = 0;
  // What the window shows: its size in pixels and premultiplied ARGB pixels, rows top down.
  virtual bool readPixels(int& width, int& height, std::vector<std::uint32_t>& pixels) = 0;
  // Called on the main thread after every frame: each time the window has handled its events and
  // shows the tree as it is (drawn again if anything it shows had changed).
  virtual void setFrameObserver(std::function<void()> observer) = 0;
  // How many pictures the window has drawn, and the moment (process clock) the last one shows.
  virtual std::uint64_t framesDrawn() const = 0;
  virtual double lastFrameTime() const = 0;
};

// The client as a program: reads its options and readies the process for the application's main
// (device profile, service host, sandbox folder, analytics collection URL, and the host that runs
// it headless, scripted or in a window). What it changed is put back when it is destroyed, so a
// test can run the program in-process more than once.
class ClientProgram {
 public:
  ClientProgram() = default;
  ~ClientProgram();
  ClientProgram(const ClientProgram&) = delete;
  ClientProgram& operator=(const ClientProgram&) = delete;

  // Nothing when the application should run; otherwise the exit code (0 after --help, 2 with a
  // message on standard error for bad options or a bad script).
  std::optional<int> configure(int argc, char** argv);
  std::optional<int> configure(const std::vector<std::string>& arguments);

  const ClientOptions& options() const { return options_; }
  // The headless or scripted session, when there is one.
  const std::shared_ptr<ClientSession>& session() const { return session_; }
  // The desktop window, in window mode.
  const std::shared_ptr<ClientWindowHost>& window() const { return window_; }

 private:
  void setEnvironment(const char* name, const std::string& value);

  ClientOptions options_;
  std::shared_ptr<ClientSession> session_;
  std::shared_ptr<ui::ApplicationHost> host_;
  std::shared_ptr<ClientWindowHost> window_;
  std::optional<ui::DeviceProfile> previousProfile_;
  std::optional<bool> previousIndicatorEnabled_;
  std::vector<std::pair<std::string, std::optional<std::string>>> previousEnvironment_;
};

// Opens the window (SDL; the driver SDL_VIDEODRIVER names, when set). Null, with the reason in
// `error`, when no window can be opened.
std::shared_ptr<ClientWindowHost> makeWindowHost(const ClientOptions& options,
                                                 std::shared_ptr<ClientSession> session, std::string& error);
