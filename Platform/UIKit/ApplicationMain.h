#pragma once

#include <memory>
#include <string>

#include "Foundation/Value.h"
#include "UIKit/Application.h"

namespace ui {

inline constexpr const char* kApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* kApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";

// What the application tells its delegate about its life. Only the launch must be answered.
class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual bool applicationDidFinishLaunchingWithOptions(const std::shared_ptr<Application>& application,
                                                        const ns::Value& launchOptions) = 0;
  virtual void applicationWillResignActive(const std::shared_ptr<Application>&) {}
  virtual void applicationDidEnterBackground(const std::shared_ptr<Application>&) {}
  virtual void applicationWillEnterForeground(const std::shared_ptr<Application>&) {}
  virtual void applicationDidBecomeActive(const std::shared_ptr<Application>&) {}
  virtual void applicationWillTerminate(const std::shared_ptr<Application>&) {}
};

// How a program shows and drives the running application (headless, scripted, in a window). It
// hears when the launch is done, before the main loop runs, and when the loop has ended.
class ApplicationHost {
 public:
  virtual ~ApplicationHost() = default;
  virtual void applicationDidLaunch() {}
  virtual void applicationDidExit(int /*exitCode*/) {}
};

// The application's main: makes the delegate of the class registered under delegateClassName
// (ns::ClassRegistry), lets it launch, makes the application active, runs the main run loop until
// applicationExit, then takes the application through resign-active, background and terminate.
// Every state change calls the delegate and posts the platform's notification (object: the
// application). Returns the exit code, or 1 with a message on standard error when the delegate
// class is unknown or the launch answers false. Only the platform's own application class exists:
// principalClassName must be empty or "UIApplication". Main thread.
int applicationMain(int argc, char** argv, const std::string& principalClassName,
                    const std::string& delegateClassName);

// Ends the run of applicationMain at the main loop's next turn, with the exit code. Any thread.
void applicationExit(int exitCode);

// The host the next applicationMain reports to (none by default).
void setApplicationHost(std::shared_ptr<ApplicationHost> host);

// The delegate of the running application (null outside applicationMain).
std::shared_ptr<ApplicationDelegate> applicationDelegate();

// Takes the running application to a state as the user would (home button, return to it): the
// delegate hears each step (resign active, enter background; enter foreground, become active) and
// the notifications are posted. Main thread.
void moveApplicationToState(ApplicationState state);

}  // namespace ui
