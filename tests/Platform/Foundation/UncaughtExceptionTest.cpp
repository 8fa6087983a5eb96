#include <gtest/gtest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>

#include "Foundation/Exception.h"
#include "Foundation/RunLoop.h"
#include "Foundation/String.h"
#include "Foundation/Thread.h"
#include "Foundation/Timer.h"
#include "Foundation/WorkerPool.h"
#include "support/RunLoopSpin.h"

// Outside any namespace so its name shows in call stacks as it is.
[[gnu::noinline]] void throwFromANamedFunction() { throw ns::Exception(ns::kRangeException, "out of range"); }

namespace {

using testsupport::spinUntil;

TEST(UncaughtExceptionTest, AnExceptionListsItsCallStackBelowTwoFramesOfMaking) {
  std::vector<std::string> stack;
  try {
    throwFromANamedFunction();
  } catch (const ns::Exception& e) {
    stack = e.callStackSymbols();
    EXPECT_EQ(e.callStackReturnAddresses().size(), stack.size());
  }
  ASSERT_GT(stack.size(), 3u);
  for (const auto& line : stack) {
    std::vector<std::string> pieces;
    for (const auto& piece : ns::componentsSeparatedByString(line, " "))
      if (!piece.empty()) pieces.push_back(piece);
    ASSERT_GE(pieces.size(), 6u) << line;
    EXPECT_EQ(pieces[4], "+") << line;
    EXPECT_TRUE(pieces[2].starts_with("0x")) << line;
  }
  EXPECT_NE(stack[0].find("captureCallStack"), std::string::npos) << stack[0];
  EXPECT_NE(stack[1].find("ns::Exception::Exception"), std::string::npos) << stack[1];
  EXPECT_NE(stack[2].find(" throwFromANamedFunction() + "), std::string::npos) << stack[2];
}

// What the handler of the death tests prints: which exception, and whether on the main thread.
void printingHandler(const ns::Exception& exception) {
  std::fprintf(stderr, "handled %s: %s on %s thread\n", exception.name().c_str(), exception.reason().c_str(),
               ns::Thread::isMainThread() ? "the main" : "another");
  if (exception.name() == "std::runtime_error") {
    auto stack = exception.callStackSymbols();
    std::fprintf(stderr, "frame 2: %s\n", stack.size() > 2 ? stack[2].c_str() : "none");
  }
}

[[noreturn]] void spinForever() {
  spinUntil([] { return false; }, 60);
  std::abort();
}

TEST(UncaughtExceptionDeathTest, AnEscapingExceptionReachesTheHandlerOnItsThreadAndEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* path;
    std::function<void()> escape;
    const char* expected;
  } cases[] = {
      {"posted call", [] { ns::RunLoop::currentRunLoop()->performBlock([] { throwFromANamedFunction(); }); },
       "handled NSRangeException: out of range on the main thread"},
      {"timer",
       [] {
         ns::Timer::scheduledTimerWithTimeInterval(
             0.01, false, [](const ns::TimerPtr&) { throw std::runtime_error("tick"); });
       },
       "handled std::runtime_error: tick on the main thread\nframe 2: 2 +FoundationTests "},
      {"descriptor source",
       [] {
         int fd = eventfd(1, 0);
         ns::RunLoop::currentRunLoop()->addFileDescriptorSource(fd, POLLIN,
                                                                [](short) { throwFromANamedFunction(); });
       },
       "handled NSRangeException: out of range on the main thread"},
      {"worker job",
       [] {
         ns::WorkerPool::shared().submit(ns::WorkerPool::Priority::Default,
                                         [] { throwFromANamedFunction(); });
       },
       "handled NSRangeException: out of range on another thread"},
      {"thread body", [] { ns::Thread::detachNewThreadWithBlock([] { throw 42; }); },
       "handled NSGenericException: an exception of unknown type on another thread"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_DEATH(
        {
          ns::setUncaughtExceptionHandler(printingHandler);
          c.escape();
          spinForever();
        },
        c.expected);
  }
}

}  // namespace
