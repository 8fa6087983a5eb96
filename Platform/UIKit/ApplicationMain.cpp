#include "UIKit/ApplicationMain.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "Foundation/ClassRegistry.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"

namespace ui {
namespace {

struct MainState {
  std::mutex mutex;
  std::shared_ptr<ApplicationHost> host;
  std::shared_ptr<ApplicationDelegate> delegate;
  std::atomic<bool> exitRequested{false};
  std::atomic<int> exitCode{0};
};

MainState& mainState() {
  static MainState* state = new MainState();
  return *state;
}

void post(const char* name) {
  auto application = Application::sharedApplication();
  ns::NotificationCenter::defaultCenter()->postNotificationName(name, ns::Value(application));
}

}  // namespace

void setApplicationHost(std::shared_ptr<ApplicationHost> host) {
  std::lock_guard lock(mainState().mutex);
  mainState().host = std::move(host);
}

std::shared_ptr<ApplicationDelegate> applicationDelegate() {
  std::lock_guard lock(mainState().mutex);
  return mainState().delegate;
}

void applicationExit(int exitCode) {
  MainState& state = mainState();
  state.exitCode.store(exitCode);
  state.exitRequested.store(true);
  ns::RunLoop::mainRunLoop()->stop();
  ns::RunLoop::mainRunLoop()->wakeUp();
}

void moveApplicationToState(ApplicationState state) {
  auto application = Application::sharedApplication();
  auto delegate = applicationDelegate();
  ApplicationState current = application->applicationState();
  if (current == state) return;
  // Leaving the background passes through inactive, and so does leaving the active state.
  if (current == ApplicationState::background) {
    if (delegate) delegate->applicationWillEnterForeground(application);
    post(kApplicationWillEnterForegroundNotification);
    application->setApplicationState(ApplicationState::inactive);
    current = ApplicationState::inactive;
  }
  if (current == ApplicationState::active) {
    if (delegate) delegate->applicationWillResignActive(application);
    application->setApplicationState(ApplicationState::inactive);
    current = ApplicationState::inactive;
  }
  if (state == ApplicationState::active) {
    if (delegate) delegate->applicationDidBecomeActive(application);
    application->setApplicationState(ApplicationState::active);
  } else if (state == ApplicationState::background) {
    if (delegate) delegate->applicationDidEnterBackground(application);
    application->setApplicationState(ApplicationState::background);
  }
}

int applicationMain(int /*argc*/, char** /*argv*/, const std::string& principalClassName,
                    const std::string& delegateClassName) {
  if (!principalClassName.empty() && principalClassName != "UIApplication") {
    std::fprintf(stderr, "applicationMain: unknown application class %s\n", principalClassName.c_str());
    return 1;
  }
  auto delegate =
      std::dynamic_pointer_cast<ApplicationDelegate>(ns::ClassRegistry::shared().make(delegateClassName));
  if (!delegate) {
    std::fprintf(stderr, "applicationMain: no application delegate class named \"%s\"\n",
                 delegateClassName.c_str());
    return 1;
  }
  MainState& state = mainState();
  std::shared_ptr<ApplicationHost> host;
  {
    std::lock_guard lock(state.mutex);
    state.delegate = delegate;
    host = state.host;
  }
  state.exitRequested.store(false);
  state.exitCode.store(0);
  auto application = Application::sharedApplication();
  if (!delegate->applicationDidFinishLaunchingWithOptions(application, ns::Value())) {
    std::fprintf(stderr, "applicationMain: the application did not launch\n");
    std::lock_guard lock(state.mutex);
    state.delegate.reset();
    return 1;
  }
  if (host) host->applicationDidLaunch();
  moveApplicationToState(ApplicationState::active);

  auto loop = ns::RunLoop::mainRunLoop();
  while (!state.exitRequested.load()) loop->run();

  moveApplicationToState(ApplicationState::background);
  delegate->applicationWillTerminate(application);
  post(kApplicationWillTerminateNotification);
  const int exitCode = state.exitCode.load();
  if (host) host->applicationDidExit(exitCode);
  {
    std::lock_guard lock(state.mutex);
    state.delegate.reset();
  }
  return exitCode;
}

}  // namespace ui
