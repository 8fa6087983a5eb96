#include "support/RunLoopSpin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "Foundation/RunLoop.h"
#include "Foundation/URLLoader.h"
#include "Foundation/WorkerPool.h"

namespace testsupport {
namespace {
// Conditions may be made true by other threads without waking this loop; look again this often.
constexpr double kPollSeconds = 0.005;
}  // namespace

bool spinUntil(const std::function<bool()>& condition, double timeoutSeconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeoutSeconds));
  auto loop = ns::RunLoop::currentRunLoop();
  for (;;) {
    if (condition()) return true;
    auto now = Clock::now();
    if (now >= deadline) {
      ADD_FAILURE() << "spinUntil: condition not met within " << timeoutSeconds << " s";
      return false;
    }
    double left = std::chrono::duration<double>(deadline - now).count();
    loop->runOnce(std::min(left, kPollSeconds));
  }
}

bool nothingLoadingOrRunning() {
  return ns::URLLoader::shared().activeLoadCount() == 0 && ns::WorkerPool::shared().unfinishedJobCount() == 0;
}

}  // namespace testsupport
