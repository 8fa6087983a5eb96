#include "Analytics/Library/MAIUncaughtExceptionHandler.h"

#include <atomic>
#include <chrono>
#include <cstdint>

#include "Analytics/Library/MAI.h"
#include "Analytics/Library/MAIConstants.h"
#include "Analytics/Library/MAILock.h"
#include "Analytics/Library/MAILog.h"
#include "Foundation/Format.h"
#include "Foundation/RunLoop.h"

namespace {

std::atomic<ns::UncaughtExceptionHandler> previousHandler{nullptr};
std::atomic<std::uint32_t> entered{0};
constexpr std::chrono::seconds kSendingTime{5};
constexpr std::chrono::milliseconds kRedispatchEvery{100};

// The handler's own lines carry no level word.
void handlerLog(const char* format, int line, const ns::Exception& exception) {
  ns::logLine(ns::formatForLog(format, kMAIProduct, kMAIVersion, "MAIUncaughtExceptionHandler",
                               "MAIUncaughtExceptionHandler.cpp", line, exception.reason()));
}

}  // namespace

void MAIInstallUncaughtExceptionHandler() {
  auto current = ns::getUncaughtExceptionHandler();
  if (current == MAIUncaughtExceptionHandler) return;
  previousHandler.store(current);
  ns::setUncaughtExceptionHandler(MAIUncaughtExceptionHandler);
}

void MAIUninstallUncaughtExceptionHandler() {
  if (ns::getUncaughtExceptionHandler() != MAIUncaughtExceptionHandler) return;
  ns::setUncaughtExceptionHandler(previousHandler.load());
}

void MAIUncaughtExceptionHandler(const ns::Exception& exception) {
  std::uint32_t expected = 0;
  if (!entered.compare_exchange_strong(expected, 1, std::memory_order_seq_cst)) {
    handlerLog("%@ %@ %s (%@:%d): Bailing on multiple uncaught exceptions: %@", __LINE__, exception);
    return;
  }
  handlerLog("%@ %@ %s (%@:%d): Uncaught exception: %@", __LINE__, exception);
  bool sent = false;
  {
    MAICrashReportScope reporting;
    auto mai = MAI::sharedInstance();
    if (auto tracker = mai->defaultTracker()) {
      sent = tracker->sendException(true, exception);
      mai->dispatch();
    }
    if (sent) {
      // Real time, whatever clock is installed: a crash report must never hang. The hit reaches the
      // store by way of other queues, possibly after the dispatch above found the store empty, so
      // dispatch is asked for again while waiting.
      auto loop = ns::RunLoop::currentRunLoop();
      auto start = std::chrono::steady_clock::now();
      auto nextDispatch = start + kRedispatchEvery;
      while (std::chrono::steady_clock::now() - start < kSendingTime) {
        // One short pass per mode of the loop (every source runs in every mode here).
        for (std::size_t modes = loop->allModes().size(); modes > 0; --modes) loop->runOnce(0.01);
        if (std::chrono::steady_clock::now() >= nextDispatch) {
          mai->dispatch();
          nextDispatch += kRedispatchEvery;
        }
      }
    }
  }
  if (auto previous = previousHandler.load()) previous(exception);
}
