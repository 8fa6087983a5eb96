// Starts the tracker as the application does, then dies of an uncaught exception.
//   analytics-crash-helper <main | worker | second | held-elsewhere | held-here>
// The collection URL comes from VCC_COLLECT_URL. The handler that was installed before the tracker's
// prints "previous handler: <reason>" on standard error.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "Analytics/Library/MAI.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/Exception.h"
#include "Foundation/RunLoop.h"

namespace {

void previousHandler(const ns::Exception& exception) {
  std::fprintf(stderr, "previous handler: %s\n", exception.reason().c_str());
}

}  // namespace

// Outside any namespace, so the crash report can name it.
[[gnu::noinline]] void crashTheHelper(const char* reason) {
  throw ns::Exception(ns::kRangeException, reason);
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string mode = argv[1];
  ns::setUncaughtExceptionHandler(previousHandler);
  MAI::sharedInstance()->setTrackUncaughtExceptions(true);
  MAI::sharedInstance()->setDispatchInterval(20.0);
  MAI::sharedInstance()->trackerWithTrackingId(std::string("UA-CRASH-1"));
  auto mai = MAI::sharedInstance();

  if (mode == "main") {
    dispatch::async(dispatch::mainQueue(), [] { crashTheHelper("index 5 beyond bounds"); });
  } else if (mode == "worker") {
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
                    [] { crashTheHelper("crashed on a worker"); });
  } else if (mode == "second") {
    dispatch::async(dispatch::mainQueue(), [] { crashTheHelper("first"); });
    dispatch::after(dispatch::time(dispatch::TIME_NOW, 500 * dispatch::NSEC_PER_MSEC), dispatch::mainQueue(),
                    [] { crashTheHelper("second"); });
  } else if (mode == "held-elsewhere") {
    // Another thread makes a tracker and never comes back, holding the facade's lock.
    static std::atomic<bool> inside{false};
    mai->setTrackerImplClass([](const MAIDispatcherPtr&, const std::string&, const std::string&,
                                const std::optional<std::string>&) -> std::shared_ptr<MAITracker> {
      inside = true;
      for (;;) pause();
    });
    std::thread([mai] { mai->trackerWithTrackingId(std::string("UA-STUCK")); }).detach();
    while (!inside) std::this_thread::yield();
    crashTheHelper("while the facade is busy");
  } else if (mode == "held-here") {
    // The exception leaves the facade's lock held by the crashing thread: nothing catches it on the way.
    mai->setTrackerImplClass([](const MAIDispatcherPtr&, const std::string&, const std::string&,
                                const std::optional<std::string>&) -> std::shared_ptr<MAITracker> {
      crashTheHelper("inside the facade");
      return nullptr;
    });
    mai->trackerWithTrackingId(std::string("UA-OTHER"));
  } else {
    return 2;
  }
  ns::RunLoop::mainRunLoop()->run();
  return 0;
}
