#include "App/ClientSession.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/Thread.h"
#include "Foundation/URLLoader.h"
#include "Foundation/WorkerPool.h"
#include "Media/Player.h"
#include "UIKit/AlertView.h"
#include "UIKit/GestureRecognizer.h"
#include "UIKit/NavigationController.h"
#include "UIKit/PickerView.h"
#include "UIKit/SearchBar.h"
#include "UIKit/StatusBar.h"
#include "UIKit/TextView.h"
#include "UIKit/TouchSimulation.h"
#include "UIKit/ViewDump.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/WebView.h"
#include "UIKit/Window.h"

namespace {

// How often the session looks at the process while it waits (real time).
constexpr double kTickSeconds = 0.01;
// While a clip plays, a wait for a timer further off than this counts as settled.
constexpr double kPlayingPatienceSeconds = 1.0;

// The first shown view of the type under root, depth first.
template <typename T>
std::shared_ptr<T> findShown(const std::shared_ptr<ui::View>& root) {
  std::function<std::shared_ptr<T>(const std::shared_ptr<ui::View>&)> find =
      [&](const std::shared_ptr<ui::View>& v) -> std::shared_ptr<T> {
    if (v->isHidden() || v->alpha() < 0.01) return nullptr;
    if (auto match = std::dynamic_pointer_cast<T>(v)) return match;
    for (const auto& sub : v->subviews())
      if (auto found = find(sub)) return found;
    return nullptr;
  };
  return root ? find(root) : nullptr;
}

// The search field that typing goes to: the first responder when it is one, else the first shown.
std::shared_ptr<ui::SearchBar> findSearchField(const std::shared_ptr<ui::View>& root) {
  if (auto current = std::dynamic_pointer_cast<ui::SearchBar>(ui::Responder::currentFirstResponder()))
    return current;
  return findShown<ui::SearchBar>(root);
}

// The web view being edited, the first responder when it is one, else the first shown.
std::shared_ptr<ui::WebView> findWebView(const std::shared_ptr<ui::View>& root) {
  if (auto current = std::dynamic_pointer_cast<ui::WebView>(ui::Responder::currentFirstResponder()))
    return current;
  return findShown<ui::WebView>(root);
}

// The page on the screen: the top page of the window's navigation, else the window's own page.
std::shared_ptr<ui::View> pageOnScreen(const std::shared_ptr<ui::Window>& window) {
  auto root = window->rootViewController();
  if (auto navigation = std::dynamic_pointer_cast<ui::NavigationController>(root))
    if (auto top = navigation->topViewController()) return top->view();
  return root ? root->view() : std::static_pointer_cast<ui::View>(window);
}

// A sample title's poster: the cached poster of the sample title, else the first one cached.
// Whether a TCP connection to host[:port] opens within a couple of seconds; the reason when not.
bool serviceAnswers(const std::string& hostAndPort, std::string& reason) {
  std::string host = hostAndPort, port = "80";
  if (auto colon = hostAndPort.rfind(':'); colon != std::string::npos) {
    host = hostAndPort.substr(0, colon);
    port = hostAndPort.substr(colon + 1);
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (int status = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); status != 0) {
    reason = "the host name " + host + " does not resolve (" + std::to_string(status) + ")";
    return false;
  }
  bool answered = false;
  reason = "no address";
  for (addrinfo* a = found; a && !answered; a = a->ai_next) {
    int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int status = connect(fd, a->ai_addr, a->ai_addrlen);
    if (status != 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      if (poll(&p, 1, 2000) == 1) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        status = error == 0 ? 0 : -1;
        errno = error;
      } else {
        errno = ETIMEDOUT;
      }
    }
    if (status == 0)
      answered = true;
    else
      reason = std::strerror(errno);
    close(fd);
  }
  freeaddrinfo(found);
  return answered;
}

// Why a person could not type into the field: empty when a touch at its centre reaches the
// field or a view inside it, else what takes that touch instead (a menu slid over the page).
std::string coveringView(const std::shared_ptr<ui::Window>& window, const ui::View& field) {
  const cg::Point centre = field.convertPointToView(field.bounds().center(), window.get());
  auto hit = window->hitTest(centre, nullptr);
  if (hit && (hit.get() == &field || hit->isDescendantOfView(&field))) return {};
  const std::string kind = field.className();
  if (!hit) return ns::format("the %@ it types into takes no touch at its centre", kind);
  // The outermost view of the covering branch names what covers the field better than the
  // button or plain view hit inside it.
  auto top = hit;
  while (top->superview() && !field.isDescendantOfView(top->superview().get())) top = top->superview();
  std::string by = hit->className();
  if (top != hit) by += " in " + top->className();
  return ns::format("the %@ it types into is covered by %@ at its centre", kind, by);
}

std::string describeAlert(const ui::AlertView& alert) {
  return alert.title().empty() ? "\"" + alert.message() + "\""
                               : ns::format("\"%@: %@\"", alert.title(), alert.message());
}

}  // namespace

ProcessActivity ProcessActivity::current() {
  ProcessActivity activity;
  const av::Player::Activity media = av::Player::activity();
  activity.playing = media.playing;
  activity.pictureBehind = media.pictureBehind;
  activity.busy = ns::WorkerPool::shared().unfinishedJobCount() > 0 ||
                  ns::URLLoader::shared().activeLoadCount() > 0 || media.loading;
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
  std::string reason;
  if (!settings_.serviceHost.empty() && !serviceAnswers(settings_.serviceHost, reason) &&
      message.find("cannot be reached") == std::string::npos)
    failure_ +=
        ns::format("; the service at http://%@ cannot be reached (%@)", settings_.serviceHost, reason);
  // The screen as it was, for the person who reads the message.
  std::string error;
  std::vector<std::string> written;
  if (writeShot(settings_.outFolder, settings_.shotPrefix + "failed", written, error))
    failure_ += "\n  the screen as it was: " + written.back();
  std::fprintf(stderr, "vcc: %s\n", failure_.c_str());
  ui::applicationExit(1);
}

std::string ClientSession::place(const ScriptStep& step) const {
  return ns::format("%@:%d: ", settings_.scriptName.empty() ? std::string("script") : settings_.scriptName,
                    step.line);
}

std::shared_ptr<ui::View> ClientSession::stepView(const ScriptStep& step, std::string& missing) {
  // What a person would see: the screen as the next drawing lays it out.
  ui::Window::layoutKeyWindow();
  auto window = ui::Window::keyWindow();
  // An alert takes every touch: a step can reach only what it shows.
  auto alert = ui::AlertView::frontAlert();
  if (alert && alert->window() == window) {
    if (auto view = findScriptView(alert, step)) return view;
    missing = ns::format("no such view in the alert %@ on the screen (answer it first: tap Button \"%@\")",
                         describeAlert(*alert), alert->buttonTitleAtIndex(alert->returnKeyButtonIndex()));
    return nullptr;
  }
  if (auto view = findScriptView(window, step)) return view;
  missing = "no such view on the screen";
  return nullptr;
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
    if (next_ == 0)
      fail(ns::format("the home page did not settle within %g s", settings_.timeLimitSeconds));
    else
      fail(ns::format("%@the client did not settle within %g s after \"%@\"", place(steps_[next_ - 1]),
                      settings_.timeLimitSeconds, steps_[next_ - 1].describe()));
    return;
  }
  if (!settled()) return;
  if (next_ == steps_.size()) {
    ++next_;
    finish();
    return;
  }
  const ScriptStep step = steps_[next_++];
  const bool other = step.idiom == (ui::isPad() ? ScriptStep::Idiom::phone : ScriptStep::Idiom::tablet);
  // The step itself takes none of the client's time: a slow screenshot does not let a playing
  // clip's bars hide before the next step.
  clock_->freeze();
  if (!other) runStep(step);
  waitStart_ = std::chrono::steady_clock::now();
  if (stepObserver_ && !finished_) stepObserver_();
  clock_->thaw();
}

// True once the process has looked idle on two looks in a row (work handed between threads is
// seen on one of them), and no one-shot timer waits. Skips the clock over such waits, and over an
// advance step's time, timer by timer.
bool ClientSession::settled() {
  ProcessActivity activity = ProcessActivity::current();
  // A playing clip settles once the picture of its time is there, not at each mark an advance
  // passes. Headless, a clip whose decoding lags behind its time (a loaded machine) waits for
  // its picture with the time stopped, as it would play on a device that keeps up.
  const bool waitForPicture = activity.pictureBehind && !advancing_;
  if (settings_.skipTime) {
    if (waitForPicture)
      clock_->freeze();
    else
      clock_->thaw();
  }
  if (activity.busy || waitForPicture) {
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
    if (activity.playing) return activity.nextOneShotDate - now > kPlayingPatienceSeconds;
    if (settings_.skipTime && activity.nextOneShotDate > now) clock_->skipTo(activity.nextOneShotDate);
    return false;
  }
  return true;
}

void ClientSession::runStep(const ScriptStep& step) {
  auto window = ui::Window::keyWindow();
  auto where = [&] { return place(step) + step.describe(); };
  switch (step.kind) {
    case ScriptStep::Kind::wait:
      return;
    case ScriptStep::Kind::tap:
    case ScriptStep::Kind::drag:
    case ScriptStep::Kind::wheel: {
      cg::Point point;
      if (step.point) {
        point = *step.point;
      } else {
        std::string missing;
        auto view = stepView(step, missing);
        if (!view) {
          fail(where() + ": " + missing);
          return;
        }
        point = view->convertPointToView(view->bounds().center(), window.get());
      }
      if (step.kind == ScriptStep::Kind::tap) {
        ui::tapAtPoint(window, point);
        return;
      }
      if (step.kind == ScriptStep::Kind::wheel) {
        if (!ui::scrollWheelAtPoint(window, point, step.offset))
          fail(where() + ": nothing under the pointer scrolls that way");
        return;
      }
      ui::SimulatedTouch touch(window, point);
      constexpr int kMoves = 8;
      for (int i = 1; i <= kMoves; ++i)
        touch.moveTo({point.x + step.offset.x * i / kMoves, point.y + step.offset.y * i / kMoves});
      touch.end();
      return;
    }
    case ScriptStep::Kind::pinch: {
      std::string missing;
      auto view = stepView(step, missing);
      if (!view) {
        fail(where() + ": " + missing);
        return;
      }
      constexpr int kSteps = 4;
      std::vector<double> scales;
      for (int i = 1; i <= kSteps; ++i) scales.push_back(1 + (step.scale - 1) * i / kSteps);
      ui::simulatePinch(view, scales);
      return;
    }
    case ScriptStep::Kind::type:
    case ScriptStep::Kind::clear:
      if (auto editor = std::dynamic_pointer_cast<ui::TextView>(ui::Responder::currentFirstResponder())) {
        if (step.kind == ScriptStep::Kind::clear) {
          editor->setText("");
        } else if (std::string covered = coveringView(window, *editor); !covered.empty()) {
          fail(where() + ": " + covered);
        } else {
          editor->simulateTyping(step.argument);
        }
        return;
      }
      if (auto web = std::dynamic_pointer_cast<ui::WebView>(ui::Responder::currentFirstResponder());
          web && step.kind == ScriptStep::Kind::type) {
        if (std::string covered = coveringView(window, *web); !covered.empty())
          fail(where() + ": " + covered);
        else
          web->simulateTyping(step.argument);
        return;
      }
      [[fallthrough]];
    case ScriptStep::Kind::search: {
      auto field = findSearchField(window);
      if (!field) {
        fail(where() + ": no search field on the screen");
        return;
      }
      if (step.kind == ScriptStep::Kind::type) {
        if (std::string covered = coveringView(window, *field); !covered.empty()) {
          fail(where() + ": " + covered);
          return;
        }
        field->becomeFirstResponder();
        field->simulateTyping(step.argument);
      } else if (step.kind == ScriptStep::Kind::clear) {
        field->setText("");
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
    case ScriptStep::Kind::spin: {
      auto picker = findShown<ui::PickerView>(window);
      if (!picker) {
        fail(where() + ": no picker on the screen");
        return;
      }
      int row = step.row;
      if (step.text && step.component < picker->numberOfComponents()) {
        row = -1;
        for (int r = 0; r < picker->numberOfRowsInComponent(step.component) && row < 0; ++r)
          if (picker->titleForRow(r, step.component) == *step.text) row = r;
      }
      if (step.component >= picker->numberOfComponents() || row < 0 ||
          row >= picker->numberOfRowsInComponent(step.component)) {
        fail(where() + ": the picker has no such wheel or row");
        return;
      }
      picker->spinComponentToRow(step.component, row);
      return;
    }
    case ScriptStep::Kind::share: {
      auto page = pageOnScreen(window);
      // One of the sample service's films, its title, address and poster from the same record.
      const int titleId = 1033;
      // The message the title page itself would give its sheet.
      const std::string message =
          TitlePageViewController::shareMessageForTitle("Тень ночного поезда", step.argument == "vk");
      // A share address with a query of its own, as the service's are.
      const std::string link =
          "http://" + settings_.serviceHost + ns::format("/films/%d?from=app&kind=film", titleId);
      const std::string poster = sharedTitlePosterPath(titleId);
      // The sheets a title page of the device opens.
      const bool phone = !ui::isPad();
      if (step.argument == "vk")
        TitlePageViewController::openVkontakteSheet(*page, phone, message, link, poster);
      else
        TitlePageViewController::openFacebookSheet(*page, phone, message, link, poster);
      return;
    }
    case ScriptStep::Kind::fill:
    case ScriptStep::Kind::press: {
      auto web = findWebView(window);
      bool done = web && (step.kind == ScriptStep::Kind::fill ? web->fillField(step.argument, step.value)
                                                              : web->pressButton(step.argument));
      if (!done)
        fail(where() + (web ? ": the web page has no such field or button" : ": no web page on the screen"));
      return;
    }
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
  // The bar shows the time of the shot.
  window->statusBar()->refresh();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string base = (std::filesystem::path(folder) / fileStem).string();
  std::string dump = ui::dumpViewTree(window);
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

std::string sharedTitlePosterPath(long long titleId) {
  std::error_code ec;
  for (const std::string& path :
       {TLSettings::posterForBaseVideo(titleId), TLSettings::posterBigForBaseVideo(titleId)})
    if (std::filesystem::is_regular_file(path, ec)) return path;
  return {};
}
