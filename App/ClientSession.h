#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "App/ClientScript.h"
#include "Foundation/Clock.h"
#include "Foundation/RunLoop.h"
#include "UIKit/ApplicationMain.h"

// What the process still has to do: calls posted to (or running on) a run loop, background jobs,
// loads in flight, media loading (or playing ahead of its decoded picture), and one-shot timers
// waiting (delayed calls, animations). Repeating timers, such as the slider's, and a playing
// clip's own timer do not count: a page that only waits for them has settled, and a playing
// player counts as settled once its present picture shows.
struct ProcessActivity {
  bool busy = false;
  bool oneShotTimer = false;
  double nextOneShotDate = 0;
  // A clip plays; it may be ahead of its decoded picture.
  bool playing = false;
  bool pictureBehind = false;
  static ProcessActivity current();
};

// The poster a scripted share sheet shows for the title: its small poster as the pages stored it,
// else its big one, else empty (the sheet's own stand-in picture), never another title's.
std::string sharedTitlePosterPath(long long titleId);

// Drives the running client without a person: waits until it settles, runs the script's steps one
// at a time on the settled client, writes dumps and screenshots, and ends the run with 0 once
// every step is done, or with 1 and a message when a step fails or the client does not settle in
// time. A failure names the script's file and line, says so when the service cannot be reached,
// and leaves a last dump and screenshot of the screen as it was ("<prefix>failed"). Headless, it skips the
// clock ahead whenever the process only waits for one-shot timers, except while a clip plays: the clip would
// play on unseen. Then it lets short waits (animations) pass in real time and counts longer ones (controls
// hiding after a while) as settled; and while a playing clip's decoding lags behind its time, it stops the
// time until the picture is there.
class ClientSession : public ui::ApplicationHost, public std::enable_shared_from_this<ClientSession> {
 public:
  struct Settings {
    std::string outFolder = "out";
    // File names are "<prefix><shot name>.txt" and ".png".
    std::string shotPrefix;
    double timeLimitSeconds = 60;
    bool skipTime = true;
    // Ends the run after the last step (headless); otherwise it goes on until quit (window).
    bool exitWhenDone = true;
    ui::InterfaceOrientation orientation = ui::InterfaceOrientation::portrait;
    // Checked after the last step: the home page loaded (no alert, no refresh flag).
    bool requireHomeLoaded = false;
    std::string serviceHost;
    // The script's file, for messages ("<file>:<line>: ...").
    std::string scriptName;
  };

  ClientSession(Settings settings, std::vector<ScriptStep> steps);
  ~ClientSession() override;

  void applicationDidLaunch() override;
  void applicationDidExit(int exitCode) override;

  // Why the run failed; empty when it did not.
  const std::string& failure() const { return failure_; }
  // The dump and PNG files written so far, in order.
  const std::vector<std::string>& writtenFiles() const { return written_; }
  // Called on the main thread after each step ran (a window redraws then), the client's time
  // still stopped as it is while a step runs.
  void setStepObserver(std::function<void()> observer) { stepObserver_ = std::move(observer); }

  // Writes "<prefix><name>.txt" (the key window's tree, then the alerts shown) and "<prefix><name>.png"
  // (the window at the screen's scale) into the folder. False with the reason in `error`.
  static bool writeShot(const std::string& folder, const std::string& fileStem,
                        std::vector<std::string>& written, std::string& error);

 private:
  void tick();
  void runStep(const ScriptStep& step);
  // The view a step names: in the alert on the screen when there is one, else in the window.
  std::shared_ptr<ui::View> stepView(const ScriptStep& step, std::string& missing);
  // "<file>:<line>: " for a step of the script.
  std::string place(const ScriptStep& step) const;
  void fail(const std::string& message);
  void finish();
  bool settled();

  Settings settings_;
  std::vector<ScriptStep> steps_;
  std::size_t next_ = 0;
  std::string failure_;
  std::vector<std::string> written_;
  std::function<void()> stepObserver_;
  std::unique_ptr<ns::SkippingClock> clock_;
  ns::RunLoop::ObserverId observer_ = 0;
  bool observing_ = false;
  std::shared_ptr<std::atomic<bool>> tickerStop_;
  bool finished_ = false;
  // Settling: the process looked idle once already, and when the current wait began.
  bool idleOnce_ = false;
  std::chrono::steady_clock::time_point waitStart_;
  // An advance in progress: the date it goes to.
  bool advancing_ = false;
  double advanceTarget_ = 0;
};
