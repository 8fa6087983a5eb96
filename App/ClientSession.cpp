#include "App/ClientSession.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Classes/TLSettings.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/Thread.h"
#include "Foundation/URLLoader.h"
#include "Foundation/WorkerPool.h"
#include "UIKit/AlertView.h"
#include "UIKit/SearchBar.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"

namespace {

// How often the session looks at the process while it waits (real time).
constexpr double kTickSeconds = 0.01;

// The search field that typing goes to: the first responder when it is one, else the first shown.
std::shared_ptr<ui::SearchBar> findSearchField(const std::shared_ptr<ui::View>& root) {
  if (auto current = std::dynamic_pointer_cast<ui::SearchBar>(ui::Responder::currentFirstResponder()))
    return current;
  std::function<std::shared_ptr<ui::SearchBar>(const std::shared_ptr<ui::View>&)> find =
      [&](const std::shared_ptr<ui::View>& v) -> std::shared_ptr<ui::SearchBar> {
    if (v->isHidden() || v->alpha() < 0.01) return nullptr;
    if (auto bar = std::dynamic_pointer_cast<ui::SearchBar>(v)) return bar;
    for (const auto& sub : v->subviews())
      if (auto found = find(sub)) return found;
    return nullptr;
  };
  return root ? find(root) : nullptr;
}

}  // namespace

ProcessActivity ProcessActivity::current() {
  ProcessActivity activity;
  activity.busy =
      ns::WorkerPool::shared().unfinishedJobCount() > 0 || ns::URLLoader::shared().activeLoadCount() > 0;
  for (const auto& loop : ns::RunLoop::allRunLoops()) {
    auto work = loop->pendingWork();
    activity.busy = activity.busy || work.postedCalls;
    if (work.oneShotTimer && (!activity.oneShotTimer || work.nextOneShotDate < activity.nextOneShotDate)) {
      activity.oneShotTimer = true;
      activity.nextOneShotDate = work.nextOneShotDate;
    }
  }
  return activity;
}

ClientSession::ClientSession(Settings settings, std::vector<ScriptStep> steps)
    : settings_(std::move(settings)), steps_(std::move(steps)) {}

ClientSession::~ClientSession() {
  if (tickerStop_) tickerStop_->store(true);
  if (observing_) ns::RunLoop::mainRunLoop()->removeBeforeWaitingObserver(observer_);
}

void ClientSession::applicationDidLaunch() {
  clock_ = std::make_unique<ns::SkippingClock>();
  if (ui::isLandscape(settings_.orientation)) ui::simulateRotation(settings_.orientation);
  waitStart_ = std::chrono::steady_clock::now();
  std::weak_ptr<ClientSession> weak = weak_from_this();
  observer_ = ns::RunLoop::mainRunLoop()->addBeforeWaitingObserver([weak] {
    if (auto self = weak.lock()) self->tick();
  });
  observing_ = true;
  // The main loop may sleep while other threads work; a ticker wakes it to look again.
  tickerStop_ = std::make_shared<std::atomic<bool>>(false);
  // It holds the loop itself: it may outlast the process's static objects by one tick.
  auto ticker =
      std::make_shared<ns::Thread>()->initWithBlock([stop = tickerStop_, loop = ns::RunLoop::mainRunLoop()] {
        while (!stop->load()) {
          ns::Thread::sleepForTimeInterval(kTickSeconds);
          loop->wakeUp();
        }
      });
  ticker->setName("client.session");
  ticker->start();
}

void ClientSession::applicationDidExit(int) {
  tickerStop_->store(true);
  if (observing_) ns::RunLoop::mainRunLoop()->removeBeforeWaitingObserver(observer_);
  observing_ = false;
  clock_.reset();
}

void ClientSession::fail(const std::string& message) {
  if (finished_) return;
  finished_ = true;
  failure_ = message;
  std::fprintf(stderr, "vcc: %s\n", message.c_str());
  ui::applicationExit(1);
}

void ClientSession::finish() {
  if (settings_.requireHomeLoaded) {
    auto alerts = ui::AlertView::visibleAlerts();
    std::string shown = alerts.empty() ? std::string()
                                       : ns::format("; the client shows \"%@: %@\"", alerts.front()->title(),
                                                    alerts.front()->message());
    if (TLSettings::isMainPageNeedUpdate()) {
      fail(ns::format("the service at http://%@ cannot be reached: the category list did not load%@",
                      settings_.serviceHost, shown));
      return;
    }
    if (!alerts.empty()) {
      fail(ns::format("the home page did not load from http://%@%@", settings_.serviceHost, shown));
      return;
    }
  }
  if (!settings_.exitWhenDone) return;
  finished_ = true;
  ui::applicationExit(0);
}

void ClientSession::tick() {
  if (finished_ || next_ > steps_.size()) return;
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - waitStart_).count();
  if (waited > settings_.timeLimitSeconds) {
    std::string what = next_ == 0 ? std::string("the home page")
                                  : "the client after \"" + steps_[next_ - 1].describe() + "\"";
    fail(ns::format("%@ did not settle within %g s", what, settings_.timeLimitSeconds));
    return;
  }
  if (!settled()) return;
  if (next_ == steps_.size()) {
    ++next_;
    finish();
    return;
  }
  const ScriptStep step = steps_[next_++];
  runStep(step);
  waitStart_ = std::chrono::steady_clock::now();
  if (stepObserver_ && !finished_) stepObserver_();
}

// True once the process has looked idle on two looks in a row (work handed between threads is
// seen on one of them), and no one-shot timer waits. Skips the clock over such waits, and over an
// advance step's time, timer by timer.
bool ClientSession::settled() {
  ProcessActivity activity = ProcessActivity::current();
  if (activity.busy) {
    idleOnce_ = false;
    return false;
  }
  if (!idleOnce_) {
    idleOnce_ = true;
    return false;
  }
  idleOnce_ = false;
  const double now = ns::clockNow();
  if (advancing_) {
    double next = advanceTarget_;
    for (const auto& loop : ns::RunLoop::allRunLoops()) {
      double date = 0;
      if (loop->nextTimerDate(date) && date > now && date < next) next = date;
    }
    clock_->skipTo(next);
    if (next >= advanceTarget_) advancing_ = false;
    return false;
  }
  if (activity.oneShotTimer) {
    if (settings_.skipTime && activity.nextOneShotDate > now) clock_->skipTo(activity.nextOneShotDate);
    return false;
  }
  return true;
}

void ClientSession::runStep(const ScriptStep& step) {
  auto window = ui::Window::keyWindow();
  auto where = [&] { return ns::format("line %d: %@", step.line, step.describe()); };
  switch (step.kind) {
    case ScriptStep::Kind::wait:
      return;
    case ScriptStep::Kind::tap:
    case ScriptStep::Kind::drag: {
      cg::Point point;
      if (step.point) {
        point = *step.point;
      } else {
        auto view = findScriptView(window, step);
        if (!view) {
          fail(where() + ": no such view on the screen");
          return;
        }
        point = view->convertPointToView(view->bounds().center(), window.get());
      }
      if (step.kind == ScriptStep::Kind::tap) {
        ui::tapAtPoint(window, point);
        return;
      }
      ui::SimulatedTouch touch(window, point);
      constexpr int kMoves = 8;
      for (int i = 1; i <= kMoves; ++i)
        touch.moveTo({point.x + step.offset.x * i / kMoves, point.y + step.offset.y * i / kMoves});
      touch.end();
      return;
    }
    case ScriptStep::Kind::type:
    case ScriptStep::Kind::search: {
      auto field = findSearchField(window);
      if (!field) {
        fail(where() + ": no search field on the screen");
        return;
      }
      if (step.kind == ScriptStep::Kind::type) {
        field->becomeFirstResponder();
        field->simulateTyping(step.argument);
      } else {
        field->simulateSearchKey();
      }
      return;
    }
    case ScriptStep::Kind::rotate: {
      auto orientation = step.argument == "landscape" ? ui::InterfaceOrientation::landscapeLeft
                                                      : ui::InterfaceOrientation::portrait;
      // A page that does not turn is no failure: the device turned, the interface did not.
      ui::simulateRotation(orientation);
      return;
    }
    case ScriptStep::Kind::advance:
      advancing_ = true;
      advanceTarget_ = ns::clockNow() + step.seconds;
      return;
    case ScriptStep::Kind::post:
      ns::NotificationCenter::defaultCenter()->postNotificationName(step.argument);
      return;
    case ScriptStep::Kind::shot: {
      std::string error;
      if (!writeShot(settings_.outFolder, settings_.shotPrefix + step.argument, written_, error))
        fail(where() + ": " + error);
      return;
    }
  }
}

bool ClientSession::writeShot(const std::string& folder, const std::string& fileStem,
                              std::vector<std::string>& written, std::string& error) {
  auto window = ui::Window::keyWindow();
  if (!window) {
    error = "no window to take";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string base = (std::filesystem::path(folder) / fileStem).string();
  std::string dump = ui::dumpViewTree(window);
  for (const auto& alert : ui::AlertView::visibleAlerts()) {
    dump += ui::dumpViewTree(alert);
    if (dump.back() != '\n') dump += '\n';
  }
  {
    std::ofstream out(base + ".txt", std::ios::binary | std::ios::trunc);
    out << dump;
    if (!out.flush()) {
      error = "cannot write " + base + ".txt";
      return false;
    }
  }
  written.push_back(base + ".txt");
  if (!ui::renderViewToPNG(window, base + ".png")) {
    error = "cannot write " + base + ".png";
    return false;
  }
  written.push_back(base + ".png");
  return true;
}
